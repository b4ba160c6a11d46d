// The locks on Windows: LockFileEx on one byte far past the end of the lock file. Windows locks
// forbid others to read what they cover, and the writer's file must stay readable to tell a
// second writer who holds it. The system drops the locks of a program that dies.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <string>
#include <utility>

#include "TTrava.h"

namespace kova {

namespace {

constexpr DWORD kPosicao = 0x7FFFFFFF;

bool Trava(int fd, DWORD modo) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED o{};
    o.Offset = kPosicao;
    return LockFileEx(h, modo, 0, 1, 0, &o) != 0;
}

void Destrava(int fd) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED o{};
    o.Offset = kPosicao;
    UnlockFileEx(h, 0, 1, 0, &o);
}

}  // namespace

int TTrava::Abrir(const std::string& path) {
    int fd = _open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    // A folder closed to writing still lets a lock be taken on a file already there.
    if (fd < 0 && errno == EACCES) fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    return fd;
}

TTrava TTrava::Aguardar(const std::string& dirDados, TModo modo) {
    TTrava t;
    t.fd_ = Abrir(dirDados + kArquivo);
    t.obtida_ = true;
    if (t.fd_ >= 0 && !Trava(t.fd_, modo == TModo::Exclusiva ? LOCKFILE_EXCLUSIVE_LOCK : 0)) {
        // A file system without locks works as before, unguarded.
        _close(t.fd_);
        t.fd_ = -1;
    }
    return t;
}

TTrava TTrava::TentarExclusiva(const std::string& dirDados) {
    TTrava t;
    t.fd_ = Abrir(dirDados + kArquivo);
    if (t.fd_ < 0) return t;
    if (Trava(t.fd_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY)) {
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
    if (!Trava(t.fd_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY)) {
        if (GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING) {
            char texto[256];
            _lseek(t.fd_, 0, SEEK_SET);
            const int n = _read(t.fd_, texto, sizeof texto - 1);
            t.ocupante_.assign(texto, n > 0 ? size_t(n) : 0);
            while (!t.ocupante_.empty() &&
                   (t.ocupante_.back() == '\n' || t.ocupante_.back() == '\r' || t.ocupante_.back() == '\0')) {
                t.ocupante_.pop_back();
            }
            _close(t.fd_);
            t.fd_ = -1;
            return t;
        }
        _close(t.fd_);
        t.fd_ = -1;
        t.obtida_ = true;
        return t;
    }
    t.obtida_ = true;
    // Who holds it, for the message a second writer gets; a read-only file simply stays as it was.
    const std::string quem = programa + " (processo " + std::to_string(GetCurrentProcessId()) + ")\n";
    if (_chsize(t.fd_, 0) == 0 && _lseek(t.fd_, 0, SEEK_SET) == 0 &&
        _write(t.fd_, quem.data(), unsigned(quem.size())) < 0) {
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

// A shared hold taken over the exclusive one, then the exclusive released: the first unlock of a
// range held both ways releases the exclusive hold, so no other save gets in between.
void TTrava::Compartilhar() {
    if (fd_ < 0 || !obtida_) return;
    if (Trava(fd_, 0)) Destrava(fd_);
}

void TTrava::Liberar() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
    obtida_ = false;
}

}  // namespace kova
