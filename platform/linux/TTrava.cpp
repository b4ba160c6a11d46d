// The locks on Linux: flock() on the whole lock file.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "TTrava.h"

namespace kova {

int TTrava::Abrir(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // A folder closed to writing still lets a lock be taken on a file already there.
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

void TTrava::Fechar(int fd) { ::close(fd); }

TTrava::TResultado TTrava::Travar(int fd, bool exclusiva, bool esperar) {
    const int operacao = (exclusiva ? LOCK_EX : LOCK_SH) | (esperar ? 0 : LOCK_NB);
    for (;;) {
        if (::flock(fd, operacao) == 0) return TResultado::Obtida;
        if (errno != EINTR) return errno == EWOULDBLOCK ? TResultado::Ocupada : TResultado::SemTrava;
    }
}

// flock converts a hold in place.
void TTrava::TornarCompartilhada(int fd) { Travar(fd, false, true); }

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
