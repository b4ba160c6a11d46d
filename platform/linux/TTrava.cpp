#include "TTrava.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace kova {

int TTrava::Abrir(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // A folder closed to writing still lets a lock be taken on a file already there.
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

namespace {

bool Flock(int fd, int operacao) {
    for (;;) {
        if (::flock(fd, operacao) == 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

TTrava TTrava::Aguardar(const std::string& dirDados, TModo modo) {
    TTrava t;
    t.fd_ = Abrir(dirDados + kArquivo);
    t.obtida_ = true;
    if (t.fd_ >= 0 && !Flock(t.fd_, modo == TModo::Exclusiva ? LOCK_EX : LOCK_SH)) {
        // A file system without locks (some network shares) works as before, unguarded.
        ::close(t.fd_);
        t.fd_ = -1;
    }
    return t;
}

TTrava TTrava::TentarExclusiva(const std::string& dirDados) {
    TTrava t;
    t.fd_ = Abrir(dirDados + kArquivo);
    if (t.fd_ < 0) return t;
    if (Flock(t.fd_, LOCK_EX | LOCK_NB)) {
        t.obtida_ = true;
    } else {
        t.Liberar();
    }
    return t;
}

TTrava TTrava::TentarEscritor(const std::string& dirDados, const std::string& programa) {
    TTrava t;
    const std::string path = dirDados + kArquivoEscritor;
    t.fd_ = Abrir(path);
    if (t.fd_ < 0) {
        t.obtida_ = true;
        return t;
    }
    if (!Flock(t.fd_, LOCK_EX | LOCK_NB)) {
        if (errno == EWOULDBLOCK) {
            char texto[256];
            const ssize_t n = ::pread(t.fd_, texto, sizeof texto - 1, 0);
            t.ocupante_.assign(texto, n > 0 ? size_t(n) : 0);
            while (!t.ocupante_.empty() && (t.ocupante_.back() == '\n' || t.ocupante_.back() == '\0')) {
                t.ocupante_.pop_back();
            }
            ::close(t.fd_);
            t.fd_ = -1;
            return t;
        }
        ::close(t.fd_);
        t.fd_ = -1;
        t.obtida_ = true;
        return t;
    }
    t.obtida_ = true;
    // Who holds it, for the message a second writer gets; a read-only file simply stays as it was.
    const std::string quem = programa + " (processo " + std::to_string(::getpid()) + ")\n";
    if (::ftruncate(t.fd_, 0) == 0 && ::pwrite(t.fd_, quem.data(), quem.size(), 0) < 0) {
        // Only the message loses its detail.
    }
    return t;
}

TTrava::TTrava(TTrava&& outra) noexcept
    : fd_(std::exchange(outra.fd_, -1)), obtida_(std::exchange(outra.obtida_, false)),
      ocupante_(std::move(outra.ocupante_)) {}

TTrava& TTrava::operator=(TTrava&& outra) noexcept {
    if (this != &outra) {
        Liberar();
        fd_ = std::exchange(outra.fd_, -1);
        obtida_ = std::exchange(outra.obtida_, false);
        ocupante_ = std::move(outra.ocupante_);
    }
    return *this;
}

TTrava::~TTrava() { Liberar(); }

void TTrava::Compartilhar() {
    if (fd_ >= 0 && obtida_) Flock(fd_, LOCK_SH);
}

void TTrava::Liberar() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    obtida_ = false;
}

}  // namespace kova
