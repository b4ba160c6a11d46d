// The machine's directories and file operations on Linux: XDG folders stand in for the Windows
// and system directories, files are made durable with fsync, addresses open in the desktop's browser.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "Dialogs.h"
#include "Diretorios.h"
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

// Installed from the package, the component every user shares stands in the library folder.
std::string DiretorioComponentes() { return KOVA_DIR_COMPONENTE_INSTALADO; }

std::string CaminhoPrograma() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string DiretorioPrograma() {
    std::string p = PastaDe(CaminhoPrograma());
    return p.empty() ? std::string("./") : p;
}

bool ExisteArquivoDisco(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ExisteDiretorio(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

bool SubstituiArquivo(const std::string& origem, const std::string& destino) {
    return std::rename(origem.c_str(), destino.c_str()) == 0;
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
