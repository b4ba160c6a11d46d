#pragma once
// Advisory locks that let several programs share one data directory. Two lock files live in it:
//
// - "KOVA.trava" guards the slips file and its checksum as a pair: a save holds it exclusively, a
//   load holds it shared, so a load sees the pair from before a save or from after it, never half.
//   Crash recovery runs only under an exclusive hold that was granted at once (no other holder).
// - "KOVA.escritor" is held exclusively by the one program that writes the slips file, for its
//   whole run; it names that program's process, so that a second writer can be told who holds it.
//
// The locks are flock() locks on Linux and LockFileEx locks on Windows: the system drops them when
// their holder dies, however it dies, so a killed program never locks the directory for good. A
// directory where the lock file cannot be created (read-only media, a folder that does not exist)
// is used without the lock: nothing there can be written by anyone, so nothing needs coordinating.
// An object releases its hold when it is destroyed. Not for use by two threads at once.

#include <string>

namespace kova {

class TTrava {
public:
    enum class TModo { Compartilhada, Exclusiva };

    // Waits for the lock of the slips pair in dirDados (ending in "/").
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
    // An exclusive hold becomes shared (other loads may join; a save waits for it to end).
    void Compartilhar();
    // The program holding the writer's lock, as it recorded itself ("kova (processo 123)").
    const std::string& Ocupante() const { return ocupante_; }
    void Liberar();

    static constexpr const char* kArquivo = "KOVA.trava";
    static constexpr const char* kArquivoEscritor = "KOVA.escritor";

private:
    // What each system provides (platform/linux, platform/windows) on an open lock file.
    enum class TResultado { Obtida, Ocupada, SemTrava };
    static int Abrir(const std::string& path);
    static void Fechar(int fd);
    // Ocupada: another program holds it (only when not waiting); SemTrava: the file system has
    // none.
    static TResultado Travar(int fd, bool exclusiva, bool esperar);
    // An exclusive hold made shared, with no moment in which another save could take it.
    static void TornarCompartilhada(int fd);
    static std::string LerOcupante(int fd);
    static void GravarOcupante(int fd, const std::string& texto);
    static long Processo();

    int fd_ = -1;
    bool obtida_ = false;
    std::string ocupante_;
};

}  // namespace kova
