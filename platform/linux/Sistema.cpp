// The machine's directories and file operations on Linux: XDG folders stand in for the Windows
// and system directories, files are made durable with fsync and created without following links,
// addresses open in the desktop's browser.

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "Texto.h"

namespace kova {

namespace fs = std::filesystem;

namespace {

// The user's home: HOME, else the system's record of the user (services and scheduled jobs often
// run without HOME). Never a folder other users share: with neither, the start is refused.
std::string PastaPessoal() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> memoria(16384);
    struct passwd registro;
    struct passwd* achado = nullptr;
    if (::getpwuid_r(::getuid(), &registro, memoria.data(), memoria.size(), &achado) == 0 &&
        achado && achado->pw_dir && *achado->pw_dir) {
        return achado->pw_dir;
    }
    throw Exception(
        "Não foi possível saber a pasta pessoal do usuário: a variável HOME não está definida e o "
        "usuário " +
        std::to_string(::getuid()) +
        " não consta do cadastro do sistema.\r\r"
        "Defina HOME (ou KOVA_WINDIR e KOVA_SYSDIR) antes de iniciar o KOVA.");
}

std::string DeAmbiente(const char* variavel, const char* xdg, const char* xdgPadrao) {
    if (const char* v = std::getenv(variavel); v && *v) return IncluiBarra(v);
    std::string base;
    if (const char* x = std::getenv(xdg); x && *x) {
        base = x;
    } else {
        base = PastaPessoal() + xdgPadrao;
    }
    std::string dir = IncluiBarra(base) + "kova/";
    // The user's settings and data: an earlier version made the folder open to everyone.
    CriaPastaPrivada(dir);
    TornaPrivado(dir);
    return dir;
}

bool DoUsuario(const struct stat& st) { return st.st_uid == ::geteuid(); }

// Whether the engine running is the one the package installed: the library or program holding this
// code lies in the package's folders (a link to it elsewhere counts where it leads).
bool MotorInstalado() {
    static const bool instalado = [] {
        std::string arquivo;
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void*>(&MotorInstalado), &info) && info.dli_fname &&
            info.dli_fname[0] == '/' &&
            std::string(info.dli_fname).find(".so") != std::string::npos) {
            arquivo = info.dli_fname;
        }
        std::error_code ec;
        // In a program, the program itself, as the system knows it (not the name it was given).
        fs::path real = fs::canonical(arquivo.empty() ? "/proc/self/exe" : arquivo, ec);
        if (ec) return false;
        const std::string pasta = real.parent_path().string() + "/";
        return pasta == KOVA_DIR_PROGRAMAS_INSTALADOS || pasta == KOVA_DIR_BIBLIOTECAS_INSTALADAS;
    }();
    return instalado;
}

}  // namespace

std::string DiretorioWindows() { return DeAmbiente("KOVA_WINDIR", "XDG_CONFIG_HOME", "/.config"); }

std::string DiretorioSistema() {
    return DeAmbiente("KOVA_SYSDIR", "XDG_DATA_HOME", "/.local/share");
}

// The Windows and system directories stand in for a user's folders already.
std::string DiretorioConfiguracao() { return DiretorioWindows(); }

std::string DiretorioDoUsuario() { return DiretorioSistema(); }

std::string KovaIniDaMaquina() { return {}; }

// Installed from the package, the component every user shares stands in the library folder and
// the tables in the package's data folder. They belong to the installed engine alone: a program or
// library built elsewhere (a developer's build, the tests of another copy) on a machine where the
// package is installed keeps to its own folders and settings.
std::string DiretorioComponentes() {
    return MotorInstalado() ? KOVA_DIR_COMPONENTE_INSTALADO : std::string();
}

std::string DiretorioDadosInstalados() {
    return MotorInstalado() ? KOVA_DIR_DADOS_INSTALADOS : std::string();
}

std::string CaminhoPrograma() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string DiretorioPrograma() {
    std::string p = PastaDe(CaminhoPrograma());
    return p.empty() ? std::string("./") : p;
}

std::string CaminhoNoSistema(const std::string& texto) {
    return EhUtf8(texto) ? texto : Cp1252ToUtf8(texto);
}

bool ExisteArquivoDisco(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ExisteDiretorio(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CriaPastaPrivada(const std::string& dir) {
    if (dir.empty()) return false;
    std::string caminho;
    size_t inicio = 0;
    while (inicio < dir.size()) {
        size_t fim = dir.find('/', inicio);
        if (fim == std::string::npos) fim = dir.size();
        caminho = dir.substr(0, fim);
        inicio = fim + 1;
        if (caminho.empty()) continue;  // the root
        if (::mkdir(caminho.c_str(), kModoPastaPrivada) == 0) {
            // The umask may have taken bits away, never added any; the owner's are made sure.
            ::chmod(caminho.c_str(), kModoPastaPrivada);
        } else if (errno != EEXIST) {
            return false;
        }
    }
    if (!ExisteDiretorio(dir)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

void TornaPrivado(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !DoUsuario(st)) return;
    if (S_ISDIR(st.st_mode)) {
        if (st.st_mode & 077) ::chmod(path.c_str(), kModoPastaPrivada);
    } else if (S_ISREG(st.st_mode)) {
        if (st.st_mode & 077) ::chmod(path.c_str(), kModoPrivado);
    }
}

void CriaArquivoNovo(const std::string& path, bool privado) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          privado ? kModoPrivado : 0644);
    if (fd < 0) {
        const int erro = errno;
        throw EErroGravacao(path, erro == EEXIST ? std::string("já existe um arquivo com esse nome")
                                                 : DescricaoErroSistema(erro));
    }
    int erro = 0;
    if (privado && ::fchmod(fd, kModoPrivado) != 0) erro = errno;
    if (::close(fd) != 0 && !erro) erro = errno;
    if (erro) {
        ::unlink(path.c_str());
        throw EErroGravacao(path, DescricaoErroSistema(erro));
    }
}

bool DiaDaAlteracao(const std::string& path, int& ano, unsigned& mes, unsigned& dia) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    std::tm local{};
    if (!localtime_r(&st.st_mtime, &local)) return false;
    ano = local.tm_year + 1900;
    mes = unsigned(local.tm_mon + 1);
    dia = unsigned(local.tm_mday);
    return true;
}

bool EhLinkSimbolico(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string GravavelPorOutros(const std::string& path) {
    // Whoever can write the file, or swap it in its folder, decides what runs.
    const auto alheio = [](const struct stat& st) {
        return st.st_uid != ::geteuid() && st.st_uid != 0;
    };
    std::vector<std::string> caminhos = {path};
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        if (path != real) caminhos.push_back(real);
        std::free(real);
    }
    for (const std::string& c : caminhos) {
        struct stat st;
        // The entry itself too: a link another user made may be pointed elsewhere at any moment,
        // whatever it points to now.
        if (::lstat(c.c_str(), &st) == 0 && alheio(st)) return c + " pertence a outro usuário";
        if (::stat(c.c_str(), &st) != 0) continue;
        if (alheio(st)) return c + " pertence a outro usuário";
        if (st.st_mode & 022) return c + " pode ser alterado por outros usuários";
        const std::string pasta = PastaDe(c).empty() ? std::string(".") : PastaDe(c);
        if (::stat(pasta.c_str(), &st) != 0) continue;
        if (alheio(st)) return "a pasta " + pasta + " pertence a outro usuário";
        if ((st.st_mode & 022) && !(st.st_mode & S_ISVTX)) {
            return "a pasta " + pasta + " pode ser alterada por outros usuários";
        }
    }
    return {};
}

void SincronizarCaminho(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::string VersaoSistema() {
    struct utsname u;
    return uname(&u) == 0 ? std::string(u.release) : std::string();
}

bool LigaArquivo(const std::string& origem, const std::string& destino) {
    return ::link(origem.c_str(), destino.c_str()) == 0;
}

bool SubstituiArquivo(const std::string& origem, const std::string& destino) {
    return std::rename(origem.c_str(), destino.c_str()) == 0;
}

void EscreverArquivoAtomico(const std::string& path, const std::string& content) {
    // A file replaced keeps its mode (a Config.ini every user reads); a new one is the user's.
    struct stat atual;
    const mode_t modo = ::stat(path.c_str(), &atual) == 0 && S_ISREG(atual.st_mode)
                            ? (atual.st_mode & 07777)
                            : kModoPrivado;
    std::string modelo = path + ".XXXXXX";
    // mkstemp makes the file new (never through a link) and private; the rename replaces whatever
    // stands at the target's name without following it.
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
    if (!erro && ::fchmod(fd, modo) != 0) erro = errno;
    if (!erro && ::fsync(fd) != 0) erro = errno;
    if (::close(fd) != 0 && !erro) erro = errno;
    if (!erro && ::rename(modelo.c_str(), path.c_str()) != 0) erro = errno;
    if (erro) {
        ::unlink(modelo.c_str());
        throw EErroGravacao(path, DescricaoErroSistema(erro));
    }
    const std::string pasta = PastaDe(path);
    SincronizarCaminho(pasta.empty() ? std::string(".") : pasta);
}

bool IDialogService::AbrirEndereco(const std::string& endereco) {
    // The desktop's own opener, started on its own so that nothing waits for the browser.
    pid_t filho = fork();
    if (filho < 0) return false;
    if (filho == 0) {
        if (fork() == 0) {
            execlp("xdg-open", "xdg-open", endereco.c_str(), static_cast<char*>(nullptr));
        }
        _exit(0);
    }
    int status = 0;
    waitpid(filho, &status, 0);
    return true;
}

}  // namespace kova
