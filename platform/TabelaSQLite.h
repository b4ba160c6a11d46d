#pragma once
// What the table files share about SQLite: handles that close themselves, the guarded connection
// through which every table file is read, how a field's value is stored in a column and read back,
// the Portuguese cause of a failure, and the CRC-32 of a row. Internal to the table-file layer.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Espera.h"
#include "TDataSet.h"

namespace kova::tabela {

struct FechaBanco {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FechaComando {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Banco = std::unique_ptr<sqlite3, FechaBanco>;
using Comando = std::unique_ptr<sqlite3_stmt, FechaComando>;

// SQLite takes file names in UTF-8; on Linux the bytes go to the system as they are.
std::string NomeParaSQLite(const std::string& path);
// Throws EDatabaseError naming the file and saying, in Portuguese, why SQLite failed.
[[noreturn]] void FalhaBanco(sqlite3* db, const std::string& path);
// A refusal of the file as a table file, with the reason.
[[noreturn]] void Recusa(const std::string& path, const std::string& motivo);
Comando Preparar(sqlite3* db, const std::string& sql, const std::string& path);

// A connection to a table file that the file cannot turn against the program. A table file may come
// from anywhere (a copy, a download, a folder others write), and SQLite would otherwise run what
// its schema holds: a view in place of the records that never ends or makes values of gigabytes, a
// trigger. So SQLite's defensive settings are on (no triggers, no views, no functions of the schema
// that act outside it, nothing loaded), every value is bounded in size, the work of each operation
// is bounded by the size of the file, nothing spills into temporary files, and the schema must be
// the plain tables the system writes (campos, registros and, in the slips file, selo and the index
// over the resident fields) before anything else is read. Anything else is refused at once, in
// Portuguese. A link left at the name of the file's journal is removed, never followed; a file
// opened for writing may not itself be a link.
class TConexao {
public:
    // Throws EDatabaseError (the file's name and why) when the file cannot be opened or is not a
    // table file of that shape.
    TConexao(const std::string& path, bool escrita);
    TConexao(const TConexao&) = delete;
    TConexao& operator=(const TConexao&) = delete;

    sqlite3* get() const { return db_.get(); }
    // Bounds what follows to the work of reading the whole file as it is now, plus `extra` steps;
    // beyond it a statement stops with SQLITE_INTERRUPT.
    void LimitaAoArquivo(uint64_t extra = 0);

private:
    static int Progresso(void* conexao);
    // SQLite's busy handler: waits for another program's hold as every wait does (TEspera).
    static int Ocupado(void* conexao, int vezes);
    void ConfereEsquema();

    std::string path_;
    Banco db_;
    uint64_t passos_ = 0;
    uint64_t limite_ = 0;
    TEspera espera_;
};
// A column name as SQL writes it.
std::string Aspas(const std::string& nome);
const char* TipoSQL(TFieldType t);
// The value of column col as field f holds it; throws EDatabaseError naming the record.
TValue LerValor(sqlite3_stmt* s, int col, const TField& f, const std::string& path,
                int64_t registro);
int Vincular(sqlite3_stmt* s, int col, const TValue& v);
// In a file changed row by row: the column with each row's CRC, and the index over the resident
// fields (and the CRCs) through which they are read without the rows.
inline constexpr const char* kColunaCrc = "crc_linha";
std::string IndiceResidentes(const std::vector<std::string>& residentes);
// Why a write failed, in a person's words (a full disk, a folder closed to writing, ...).
std::string CausaDaFalha(sqlite3* db);
// Why a read failed, in a person's words (not a table file, a damaged file, too much work, ...).
std::string CausaDaLeitura(sqlite3* db);
// The CRC-32 of a record's values in the form they are stored in: the same whether taken from
// memory before a write or from the file after it.
uint32_t CrcDaLinha(const std::vector<TValue>& valores, const std::vector<int>& campos);

}  // namespace kova::tabela
