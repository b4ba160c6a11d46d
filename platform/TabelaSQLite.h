#pragma once
// What the table files share about SQLite: handles that close themselves, how a field's value is
// stored in a column and read back, the Portuguese cause of a failed write, and the CRC-32 of a
// row. Internal to the table-file layer.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
[[noreturn]] void FalhaBanco(sqlite3* db, const std::string& path, const char* acao);
Comando Preparar(sqlite3* db, const std::string& sql, const std::string& path, const char* acao);
// A column name as SQL writes it.
std::string Aspas(const std::string& nome);
const char* TipoSQL(TFieldType t);
// The value of column col as field f holds it; throws EDatabaseError naming the record.
TValue LerValor(sqlite3_stmt* s, int col, const TField& f, const std::string& path, int64_t registro);
int Vincular(sqlite3_stmt* s, int col, const TValue& v);
// In a file changed row by row: the column with each row's CRC, and the index over the resident
// fields (and the CRCs) through which they are read without the rows.
inline constexpr const char* kColunaCrc = "crc_linha";
std::string IndiceResidentes(const std::vector<std::string>& residentes);
// Why a write failed, in a person's words (a full disk, a folder closed to writing, ...).
std::string CausaDaFalha(sqlite3* db);
// The CRC-32 of a record's values in the form they are stored in: the same whether taken from
// memory before a write or from the file after it.
uint32_t CrcDaLinha(const std::vector<TValue>& valores, const std::vector<int>& campos);

}  // namespace kova::tabela
