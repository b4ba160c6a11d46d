#pragma once
// A file system in memory for tests: the table files (through an SQLite VFS of its own) and every
// other file the seam touches live here, and any step that changes them can be made to fail, or to
// be the moment the machine goes down.
//
// Each file has the content written so far and the content last flushed to the disk. A step is
// every call that changes the disk or flushes it: a write, a truncation, a flush, making, renaming
// or removing a file. Making, renaming and removing last at once (as a journalled file system
// keeps its folders); content lasts only once flushed. So a file renamed into place before its
// content was flushed comes back empty after a crash, as it may on a real disk.
//
//   FalhaNoPasso(n): step n fails (a write as a full disk, the others as a disk error); the rest go
//   on. CaiNoPasso(n):   step n and every later one fail and change nothing, as if the machine
//   stopped
//                    there; Religa() then brings back what the disk had flushed, as the next start
//                    finds it. Religa(guardados) lets some files keep what was written to them
//                    after their last flush (file k, in name order, when bit k is set): a disk
//                    writes out its cache in any order, and a crash may come when part of it is
//                    out.
//
// One at a time; not for use by several threads.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "SistemaDeArquivos.h"

struct sqlite3_vfs;

namespace kova {

class TArquivosEmMemoria : public ISistemaDeArquivos {
public:
    TArquivosEmMemoria();
    ~TArquivosEmMemoria() override;
    TArquivosEmMemoria(const TArquivosEmMemoria&) = delete;
    TArquivosEmMemoria& operator=(const TArquivosEmMemoria&) = delete;

    // The steps taken since the start (or the last ZeraPassos).
    int Passos() const { return passos_; }
    void ZeraPassos() { passos_ = 0; }
    void FalhaNoPasso(int n) { falha_ = n; }
    void CaiNoPasso(int n) { queda_ = n; }
    // True once the machine went down at the step CaiNoPasso named.
    bool Caiu() const { return caiu_; }
    // The next start: every file as the disk flushed it; no failure or crash set.
    void Religa(unsigned guardados = 0);
    // The whole disk as it stands (to start each case from the same files) and back.
    struct TArquivo {
        std::string atual, gravado;
    };
    using TDisco = std::map<std::string, TArquivo>;
    const TDisco& Disco() const { return disco_; }
    void Restaura(const TDisco& disco) { disco_ = disco; }

    const char* Vfs() const override;
    bool Existe(const std::string& path) override;
    bool Gravavel(const std::string& path) override;
    uint64_t Tamanho(const std::string& path) override;
    bool Ler(const std::string& path, std::string& conteudo, size_t limite = SIZE_MAX) override;
    void GravaAtomico(const std::string& path, const std::string& conteudo) override;
    void CriaNovo(const std::string& path, bool privado) override;
    std::string CriaTemporario(const std::string& path) override;
    void Sincroniza(const std::string& path) override;
    bool Renomeia(const std::string& origem, const std::string& destino) override;
    bool Remove(const std::string& path) override;
    // Each write is a step; so are the flush and the rename of Conclui.
    std::unique_ptr<IArquivoEmPartes> CriaEmPartes(const std::string& destino) override;

    // For the VFS. What step n does: Segue (goes on), Falha (fails alone), Parado (the machine is
    // down).
    enum class TPasso { Segue, Falha, Parado };
    TPasso Passo();
    TArquivo* Acha(const std::string& path);
    TArquivo& Cria(const std::string& path);
    void Apaga(const std::string& path) { disco_.erase(path); }
    int NovoNumero() { return ++temporarios_; }

private:
    TDisco disco_;
    int passos_ = 0;
    int falha_ = 0;
    int queda_ = 0;
    bool caiu_ = false;
    int temporarios_ = 0;
    std::unique_ptr<sqlite3_vfs> vfs_;
};

}  // namespace kova
