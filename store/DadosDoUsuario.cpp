#include "DadosDoUsuario.h"

#include <filesystem>
#include <system_error>

#include "Diretorios.h"
#include "Errors.h"
#include "TIniFile.h"

namespace kova {

namespace fs = std::filesystem;

std::string DadosInstalados() { return KOVA_DIR_DADOS_INSTALADOS; }

std::string PreparaDadosDoUsuario(const std::string& dirPrograma, const std::string& dirWindows,
                                  const std::string& dirUsuario, const std::string& instalados) {
    std::error_code ec;
    if (fs::is_directory(dirPrograma + "Dados", ec) || !fs::is_directory(instalados, ec)) return {};
    const std::string dados = IncluiBarra(dirUsuario) + "Dados/";
    // A directory the user already has keeps its slips: only a missing one is made.
    if (!fs::exists(dados + "ControleCRC.cds", ec)) {
        // Copied under a temporary name and renamed whole, so that a start killed half-way leaves
        // no half directory behind to be taken for a data directory.
        const std::string temporario = IncluiBarra(dirUsuario) + "Dados.novo";
        fs::remove_all(temporario, ec);
        fs::create_directories(temporario, ec);
        if (!ec) fs::copy(instalados, temporario, fs::copy_options::recursive, ec);
        if (!ec) {
            fs::remove_all(dados, ec);
            fs::rename(temporario, dados, ec);
        }
        if (ec) {
            throw Exception("Não foi possível criar a pasta de dados do usuário\r\r" + dados);
        }
    }
    fs::create_directories(dirWindows, ec);
    TIniFile(IncluiBarra(dirWindows) + "KOVA.INI").WriteString("KOVA", "DirDados", dados);
    if (!ExisteArquivoDisco(IncluiBarra(dirWindows) + "KOVA.INI")) {
        throw Exception("Não foi possível gravar a configuração do usuário\r\r" + IncluiBarra(dirWindows) + "KOVA.INI");
    }
    return dados;
}

}  // namespace kova
