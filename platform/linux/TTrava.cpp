// The locks on Linux: flock() on the whole lock file, never waited for in the call itself.

#include "TTrava.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Diretorios.h"

namespace kova {

namespace {

// As private as the slips file beside it: the owner reads and writes; group and others may read
// only where they may read the slips.
mode_t ModoDaTrava(const std::string& path) {
    struct stat st;
    const std::string kova = PastaDe(path) + "KOVA.cds";
    if (::stat(kova.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return mode_t(kModoPrivado | (st.st_mode & 044));
    return kModoPrivado;
}

bool HaAlgo(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

int TTrava::Abrir(const std::string& path) {
    // A writer writes its name into the file: never through a link left at its name (it would
    // overwrite what the link points to), and never a pipe or a device, which could hold the open.
    const int sempre = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    const mode_t modo = ModoDaTrava(path);
    for (int tentativa = 0; tentativa < 2; ++tentativa) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | sempre, modo);
        // A folder closed to writing still lets a lock be taken on a file already there.
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
            fd = ::open(path.c_str(), O_RDONLY | sempre);
        if (fd >= 0) {
            struct stat st;
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
                // Made under another umask, by an earlier version (open to everyone) or before the
                // slips file changed hands: made as private as the slips file again.
                if (st.st_uid == ::geteuid() && (st.st_mode & 07777) != modo) ::fchmod(fd, modo);
                return fd;
            }
            ::close(fd);
        } else if (errno != ELOOP) {
            // A lock file that is there but not this user's to open: another user's hold.
            return HaAlgo(path) ? kInacessivel : kSemArquivo;
        }
        // Something no program of the system makes stands at its name: it goes (what a link points
        // to is never touched) and the lock file is made in its place.
        if (::unlink(path.c_str()) != 0) return HaAlgo(path) ? kInacessivel : kSemArquivo;
    }
    return kInacessivel;
}

void TTrava::Fechar(int fd) { ::close(fd); }

TTrava::TResultado TTrava::Travar(int fd, bool exclusiva) {
    const int operacao = (exclusiva ? LOCK_EX : LOCK_SH) | LOCK_NB;
    for (;;) {
        if (::flock(fd, operacao) == 0) return TResultado::Obtida;
        if (errno != EINTR)
            return errno == EWOULDBLOCK ? TResultado::Ocupada : TResultado::SemTrava;
    }
}

// flock converts a hold in place; nothing else can hold the file while this one holds it whole.
TTrava::TResultado TTrava::TornarCompartilhada(int fd) { return Travar(fd, false); }

std::string TTrava::LerOcupante(int fd) {
    char texto[256];
    const ssize_t n = ::pread(fd, texto, sizeof texto - 1, 0);
    return std::string(texto, n > 0 ? size_t(n) : 0);
}

void TTrava::GravarOcupante(int fd, const std::string& texto) {
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, texto.data(), texto.size(), 0) < 0) {
        // Only the message loses its detail.
    }
}

long TTrava::Processo() { return long(::getpid()); }

}  // namespace kova
