#pragma once
// The file access of the table files, of the saves of the data directory and of the PDF files of
// printed slips: reading, writing whole and atomically or a piece at a time, making, flushing,
// renaming and removing files, and the SQLite VFS the table files are opened through. The real one
// is the system's; tests install one that keeps the files in memory and can fail or cut off any
// write (ArquivosEmMemoria), so that what a crash or a full disk leaves behind is checked at every
// step, on every system.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kova {

// A file written a piece at a time (the PDF of a print run) that takes the place of its target
// only once it is complete: made new and private (0600) beside the target, never through a link.
// Every failure (of any write, of the flush, of the rename) throws EErroGravacao naming the target
// and stays: each later call fails with it, and nothing is put in place. Destroyed without
// Conclui, it leaves nothing behind.
class IArquivoEmPartes {
public:
    virtual ~IArquivoEmPartes() = default;
    virtual void Escreve(const char* dados, size_t tamanho) = 0;
    // Flushes it to the disk and renames it over the target (a link there is replaced).
    virtual void Conclui() = 0;
};

class ISistemaDeArquivos {
public:
    virtual ~ISistemaDeArquivos() = default;
    // The name of the SQLite VFS the table files are opened through; nullptr for the system's.
    virtual const char* Vfs() const = 0;
    virtual bool Existe(const std::string& path) = 0;
    // True when the user may write the file.
    virtual bool Gravavel(const std::string& path) = 0;
    // The size in bytes; 0 when the file cannot be read.
    virtual uint64_t Tamanho(const std::string& path) = 0;
    // Up to `limite` bytes from the start of the file into `conteudo`; false when it cannot be
    // read.
    virtual bool Ler(const std::string& path, std::string& conteudo, size_t limite = SIZE_MAX) = 0;
    // As EscreverArquivoAtomico: the file is the old content or the new, never a mixture.
    virtual void GravaAtomico(const std::string& path, const std::string& conteudo) = 0;
    // As CriaArquivoNovo: a new empty file, never over anything already there. Throws
    // EErroGravacao.
    virtual void CriaNovo(const std::string& path, bool privado) = 0;
    // A new empty file beside path, with a name of its own, to be renamed over it later: it has the
    // mode of the file it is to replace (or that of the folder's new files). Throws EErroGravacao.
    virtual std::string CriaTemporario(const std::string& path) = 0;
    // Flushes a file's data (a folder's entries) to the disk.
    virtual void Sincroniza(const std::string& path) = 0;
    // False on failure, errno saying why.
    virtual bool Renomeia(const std::string& origem, const std::string& destino) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // A new file to be written a piece at a time in the place of destino. Throws EErroGravacao.
    virtual std::unique_ptr<IArquivoEmPartes> CriaEmPartes(const std::string& destino) = 0;
};

// The one in force (never null): the system's unless a test installed another.
ISistemaDeArquivos& Arquivos();

// Installs a file system (not owned) for the life of the guard.
class TTrocaSistemaDeArquivos {
public:
    explicit TTrocaSistemaDeArquivos(ISistemaDeArquivos& s);
    ~TTrocaSistemaDeArquivos();
    TTrocaSistemaDeArquivos(const TTrocaSistemaDeArquivos&) = delete;
    TTrocaSistemaDeArquivos& operator=(const TTrocaSistemaDeArquivos&) = delete;

private:
    ISistemaDeArquivos* anterior_;
};

}  // namespace kova
