// The locks on Windows: LockFileEx on one byte far past the end of the lock file, never waited for
// in the call itself. Windows locks forbid others to read what they cover, and the writer's file
// must stay readable to tell a second writer who holds it. The system drops the locks of a program
// that dies.

#include "TTrava.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <string>

namespace kova {

namespace {

constexpr DWORD kPosicao = 0x7FFFFFFF;

HANDLE Arquivo(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

int TTrava::Abrir(const std::string& path) {
    int fd =
        _open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    // A folder closed to writing still lets a lock be taken on a file already there.
    if (fd < 0 && errno == EACCES) fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd >= 0) return fd;
    // A lock file that is there but not this user's to open: another user's hold.
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? kInacessivel : kSemArquivo;
}

void TTrava::Fechar(int fd) { _close(fd); }

TTrava::TResultado TTrava::Travar(int fd, bool exclusiva) {
    HANDLE h = Arquivo(fd);
    if (h == INVALID_HANDLE_VALUE) return TResultado::SemTrava;
    OVERLAPPED o{};
    o.Offset = kPosicao;
    const DWORD modo = (exclusiva ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY;
    if (LockFileEx(h, modo, 0, 1, 0, &o)) return TResultado::Obtida;
    const DWORD erro = GetLastError();
    return erro == ERROR_LOCK_VIOLATION || erro == ERROR_IO_PENDING ? TResultado::Ocupada
                                                                    : TResultado::SemTrava;
}

// A shared hold taken over the exclusive one, then one unlock: the first unlock of a range held
// both ways releases the exclusive hold, so no other save gets in between.
TTrava::TResultado TTrava::TornarCompartilhada(int fd) {
    const TResultado r = Travar(fd, false);
    if (r != TResultado::Obtida) return r;
    OVERLAPPED o{};
    o.Offset = kPosicao;
    UnlockFileEx(Arquivo(fd), 0, 1, 0, &o);
    return r;
}

std::string TTrava::LerOcupante(int fd) {
    char texto[256];
    _lseek(fd, 0, SEEK_SET);
    const int n = _read(fd, texto, sizeof texto - 1);
    return std::string(texto, n > 0 ? size_t(n) : 0);
}

void TTrava::GravarOcupante(int fd, const std::string& texto) {
    if (_chsize(fd, 0) == 0 && _lseek(fd, 0, SEEK_SET) == 0 &&
        _write(fd, texto.data(), unsigned(texto.size())) < 0) {
        // Only the message loses its detail.
    }
}

long TTrava::Processo() { return long(GetCurrentProcessId()); }

}  // namespace kova
