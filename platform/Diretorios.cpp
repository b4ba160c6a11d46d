#include "Diretorios.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

namespace kova {

std::string NomeArquivo(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string TrocaExtensao(const std::string& path, const std::string& extensao) {
    const size_t ponto = path.find_last_of('.');
    const size_t barra = path.find_last_of("/\\");
    const bool temExtensao =
        ponto != std::string::npos && (barra == std::string::npos || ponto > barra);
    return (temExtensao ? path.substr(0, ponto) : path) + extensao;
}

std::string IncluiBarra(const std::string& dir) {
    if (!dir.empty() && (dir.back() == kBarra || dir.back() == '/')) return dir;
    return dir + kBarra;
}

std::string PastaDe(const std::string& path) {
    const size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

bool CopiaArquivo(const std::string& origem, const std::string& destino) {
    std::ifstream in(origem, std::ios::binary);
    if (!in) return false;
    std::ostringstream conteudo;
    conteudo << in.rdbuf();
    if (in.bad()) return false;
    try {
        EscreverArquivoAtomico(destino, conteudo.str());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

std::string DescricaoErroSistema(int erro) {
    switch (erro) {
        case ENOSPC:
            return "o disco está cheio";
#ifdef EDQUOT
        case EDQUOT:
            return "a cota de disco do usuário acabou";
#endif
        case EFBIG:
            return "o arquivo excede o tamanho permitido";
        case EACCES:
        case EPERM:
            return "a pasta não permite gravar";
        case EROFS:
            return "o disco só permite leitura";
        case ENOENT:
            return "a pasta não existe";
        case ENOTDIR:
            return "o caminho não é uma pasta";
        case EISDIR:
            return "já existe uma pasta com esse nome";
        case EIO:
            return "falha de gravação no disco (disco cheio ou com defeito)";
        case EMFILE:
        case ENFILE:
            return "arquivos abertos demais";
        case EBUSY:
            return "o arquivo está em uso por outro programa";
        default:
            return "erro do sistema " + std::to_string(erro);
    }
}

}  // namespace kova
