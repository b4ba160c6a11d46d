// Loading the component on Linux: the folder and the file are opened once (the file never through a
// link), the open ones are checked, and the loader is given the open file itself through
// /proc/self/fd, so that the inode checked is the inode loaded whatever happens to the names.

#include "TBibliotecaDinamica.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Diretorios.h"

namespace kova {

namespace {

// Neither the user nor the administrator: whoever owns it decides what it holds.
bool DeOutro(const struct stat& st) { return st.st_uid != ::geteuid() && st.st_uid != 0; }

}  // namespace

TBibliotecaDinamica::TBibliotecaDinamica(const std::string& path, const TGancho& gancho) {
    const auto passo = [&](TPasso p) {
        if (gancho) gancho(p);
    };
    const std::string pasta = PastaDe(path).empty() ? std::string("./") : PastaDe(path);
    passo(TPasso::Abertura);
    const int dir = ::open(pasta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    // A link at the component's name is never followed: whoever made it may point it elsewhere at
    // any moment. Neither is a pipe waited on.
    const int fd =
        ::openat(dir, NomeArquivo(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const int erro = errno;
    struct stat stPasta;
    const bool pastaLida = ::fstat(dir, &stPasta) == 0;
    ::close(dir);
    if (fd < 0) {
        if (erro == ELOOP) recusa_ = path + " é um link simbólico";
        return;
    }
    arquivo_ = fd;
    passo(TPasso::Conferencia);
    struct stat st;
    if (!pastaLida || ::fstat(fd, &st) != 0) {
        Fechar();
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        recusa_ = path + " não é um arquivo comum";
    } else if (DeOutro(st)) {
        recusa_ = path + " pertence a outro usuário";
    } else if (st.st_mode & 022) {
        recusa_ = path + " pode ser alterado por outros usuários";
    } else if (DeOutro(stPasta)) {
        recusa_ = "a pasta " + pasta + " pertence a outro usuário";
    } else if ((stPasta.st_mode & 022) && !(stPasta.st_mode & S_ISVTX)) {
        // Others may add to a sticky folder (as /tmp), never replace what is there.
        recusa_ = "a pasta " + pasta + " pode ser alterada por outros usuários";
    }
    if (!recusa_.empty()) {
        Fechar();
        return;
    }
    passo(TPasso::Carga);
    // The descriptor stays open while the library is loaded: its name is unique meanwhile, and the
    // loader, which knows a library by its name, never takes another file for this one.
    const std::string aberto = "/proc/self/fd/" + std::to_string(fd);
    handle_ = dlopen(aberto.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) Fechar();
}

TBibliotecaDinamica::~TBibliotecaDinamica() {
    if (handle_) dlclose(handle_);
    Fechar();
}

void TBibliotecaDinamica::Fechar() {
    if (arquivo_ >= 0) ::close(int(arquivo_));
    arquivo_ = -1;
}

void* TBibliotecaDinamica::Funcao(const char* nome) const {
    return handle_ ? dlsym(handle_, nome) : nullptr;
}

}  // namespace kova
