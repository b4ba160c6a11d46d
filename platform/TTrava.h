#pragma once
// Advisory locks that let several programs share one data directory. Two lock files live in it:
//
// - "KOVA.trava" guards what changes as several files together: the table tool replacing the
//   tables and their checksums, a slips file written whole, the recovery of a crashed save. Those
//   hold it exclusively, a load holds it shared, so a load sees the files from before such a change
//   or from after it, never half. Crash recovery runs only under an exclusive hold that was granted
//   at once (no other holder). A save of the slips file alone is one SQLite transaction, which
//   readers read around through SQLite's own locks: it takes this lock only when it changes more.
// - "KOVA.escritor" is held exclusively by the one program that writes the slips file, for its
//   whole run; it names that program's process, so that a second writer can be told who holds it.
//
// The locks are flock() locks on Linux and LockFileEx locks on Windows: the system drops them when
// their holder dies, however it dies, so a killed program never locks the directory for good. No
// wait for a lock lasts longer than kEsperaMaxima (Espera.h): past it the wait fails with
// ETravaOcupada ("o arquivo está em uso por outro programa").
//
// A lock file is as private as the slips file beside it (its owner reads and writes it; group and
// others read it only where they may read the slips file), whatever the umask: whoever may open it
// may hold it. A lock file that is there but that this user may not open is another user's hold:
// the directory is held. A directory where no lock file can be made (read-only media, a folder
// that does not exist) is used without the lock: nothing there can be written by anyone, so
// nothing needs coordinating. An object releases its hold when it is destroyed. Not for use by two
// threads at once.

#include <string>

#include "Errors.h"

namespace kova {

// A lock of the data directory that another program still held when the wait's bound ran out (or
// whose file this user may not open): "Erro ao gravar o arquivo <lock file>: o arquivo está em uso
// por outro programa".
class ETravaOcupada : public EErroGravacao {
public:
    explicit ETravaOcupada(const std::string& arquivo);
    const std::string& Arquivo() const { return arquivo_; }

private:
    std::string arquivo_;
};

class TTrava {
public:
    enum class TModo { Compartilhada, Exclusiva };

    // Waits for the lock of the slips pair in dirDados (ending in "/"), at most the bound of the
    // wait; throws ETravaOcupada when it is still held then.
    static TTrava Aguardar(const std::string& dirDados, TModo modo);
    // Takes the exclusive lock of the slips pair only when no one else holds it; check Obtida().
    static TTrava TentarExclusiva(const std::string& dirDados);
    // Takes the writer's lock when no other program holds it, and records this process in it.
    // When it is held elsewhere, Obtida() is false and Ocupante() tells who holds it.
    static TTrava TentarEscritor(const std::string& dirDados, const std::string& programa);

    TTrava() = default;
    TTrava(TTrava&& outra) noexcept;
    TTrava& operator=(TTrava&& outra) noexcept;
    TTrava(const TTrava&) = delete;
    TTrava& operator=(const TTrava&) = delete;
    ~TTrava();

    // True when the lock is held, or when the directory has no lock file to hold.
    bool Obtida() const { return obtida_; }
    // True when the lock is really held (false also on a directory without a lock file).
    bool Travada() const { return fd_ >= 0 && obtida_; }
    // An exclusive hold becomes shared (other loads may join; a save waits for it to end). Throws
    // ETravaOcupada in the unlikely case that another program got in between and held on.
    void Compartilhar();
    // The program holding the writer's lock, as it recorded itself ("kova (processo 123)").
    const std::string& Ocupante() const { return ocupante_; }
    void Liberar();

    static constexpr const char* kArquivo = "KOVA.trava";
    static constexpr const char* kArquivoEscritor = "KOVA.escritor";

private:
    // What each system provides (platform/linux, platform/windows) on an open lock file. Abrir
    // gives the open file, or kSemArquivo where none can be made, or kInacessivel where one is
    // there that this user may not open.
    static constexpr int kSemArquivo = -1;
    static constexpr int kInacessivel = -2;
    enum class TResultado { Obtida, Ocupada, SemTrava };
    static int Abrir(const std::string& path);
    static void Fechar(int fd);
    // Never waits. Ocupada: another program holds it; SemTrava: the file system has none.
    static TResultado Travar(int fd, bool exclusiva);
    // An exclusive hold made shared, with no moment in which another save could take it.
    static TResultado TornarCompartilhada(int fd);
    static std::string LerOcupante(int fd);
    static void GravarOcupante(int fd, const std::string& texto);
    static long Processo();

    int fd_ = -1;
    bool obtida_ = false;
    std::string caminho_;
    std::string ocupante_;
};

}  // namespace kova
