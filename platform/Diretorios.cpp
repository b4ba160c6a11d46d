#include "Diretorios.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Errors.h"

namespace kova {

namespace fs = std::filesystem;

namespace {

std::string DeAmbiente(const char* variavel, const char* xdg, const char* xdgPadrao) {
    if (const char* v = std::getenv(variavel); v && *v) return IncluiBarra(v);
    std::string base;
    if (const char* x = std::getenv(xdg); x && *x) {
        base = x;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + xdgPadrao;
    } else {
        base = "/tmp";
    }
    std::string dir = IncluiBarra(base) + "kova/";
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

}  // namespace

std::string DiretorioWindows() { return DeAmbiente("KOVA_WINDIR", "XDG_CONFIG_HOME", "/.config"); }

std::string DiretorioSistema() { return DeAmbiente("KOVA_SYSDIR", "XDG_DATA_HOME", "/.local/share"); }

std::string CaminhoPrograma() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string DiretorioPrograma() {
    std::string p = CaminhoPrograma();
    size_t barra = p.rfind('/');
    return barra == std::string::npos ? std::string("./") : p.substr(0, barra + 1);
}

bool ExisteArquivoDisco(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ExisteDiretorio(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string NomeArquivo(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string TrocaExtensao(const std::string& path, const std::string& extensao) {
    const size_t ponto = path.find_last_of('.');
    const size_t barra = path.find_last_of("/\\");
    const bool temExtensao = ponto != std::string::npos && (barra == std::string::npos || ponto > barra);
    return (temExtensao ? path.substr(0, ponto) : path) + extensao;
}

std::string IncluiBarra(const std::string& dir) {
    if (!dir.empty() && dir.back() == '/') return dir;
    return dir + "/";
}

bool CopiaArquivo(const std::string& origem, const std::string& destino) {
    std::error_code ec;
    fs::copy_file(origem, destino, fs::copy_options::overwrite_existing, ec);
    return !ec;
}

void SincronizarCaminho(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

namespace {

std::string DiretorioDe(const std::string& path) {
    size_t p = path.rfind('/');
    return p == std::string::npos ? std::string(".") : path.substr(0, p + 1);
}

}  // namespace

std::string DescricaoErroSistema(int erro) {
    switch (erro) {
        case ENOSPC: return "o disco está cheio";
        case EDQUOT: return "a cota de disco do usuário acabou";
        case EFBIG: return "o arquivo excede o tamanho permitido";
        case EACCES:
        case EPERM: return "a pasta não permite gravar";
        case EROFS: return "o disco só permite leitura";
        case ENOENT: return "a pasta não existe";
        case ENOTDIR: return "o caminho não é uma pasta";
        case EISDIR: return "já existe uma pasta com esse nome";
        case EIO: return "falha de gravação no disco (disco cheio ou com defeito)";
        case EMFILE:
        case ENFILE: return "arquivos abertos demais";
        default: return "erro do sistema " + std::to_string(erro);
    }
}

void EscreverArquivoAtomico(const std::string& path, const std::string& content) {
    std::string modelo = path + ".XXXXXX";
    int fd = ::mkstemp(modelo.data());
    if (fd < 0) throw EErroGravacao(path, DescricaoErroSistema(errno));
    const char* p = content.data();
    size_t resto = content.size();
    int erro = 0;
    while (resto > 0) {
        ssize_t n = ::write(fd, p, resto);
        if (n < 0) {
            if (errno == EINTR) continue;
            erro = errno;
            break;
        }
        p += n;
        resto -= size_t(n);
    }
    if (!erro && ::fchmod(fd, 0644) != 0) erro = errno;
    if (!erro && ::fsync(fd) != 0) erro = errno;
    if (::close(fd) != 0 && !erro) erro = errno;
    if (!erro && ::rename(modelo.c_str(), path.c_str()) != 0) erro = errno;
    if (erro) {
        ::unlink(modelo.c_str());
        throw EErroGravacao(path, DescricaoErroSistema(erro));
    }
    SincronizarCaminho(DiretorioDe(path));
}

}  // namespace kova
