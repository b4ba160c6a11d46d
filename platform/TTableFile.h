#pragma once
// The table files (*.cds): one SQLite database per table, holding the field definitions (name,
// type, size, order) in "campos" and the records, in table order, in "registros", one column per
// field. Texts are stored as their Windows-1252 bytes. A file describes itself, so a table without
// declared fields takes them from the file, and `sqlite3 KOVA.cds` lets an administrator look
// inside. Loading reads the whole file; saving writes a complete new file beside the old one,
// flushes it and renames it over the old one. The slips file, which grows for years, is instead
// changed row by row (TArquivoTabela).

#include <string>
#include <vector>

#include "TDataSet.h"

namespace kova {

// Replaces the table's records with the file's (the table is opened). A table with declared fields
// needs each stored one in the file (matched by name without regard to case; other columns of the
// file are ignored); a table without fields takes the file's. Throws EDatabaseError with the
// reason, in Portuguese, when the file cannot be read, is not a table file of the plain shape the
// system writes (tabela::TConexao), or holds values its fields cannot take; such a file is refused
// at once.
void LoadFromFile(TDataSet& table, const std::string& path);

// Writes every stored record of the table (whatever its filter) to a new file at path, which must
// not exist yet (a link left at its name is not followed: the write fails), and flushes it to the
// disk. A private file (slips) is made 0600 whatever the umask; others as the folder's files.
// Throws kova::Exception on failure.
void WriteTableFile(const TDataSet& table, const std::string& path, bool privado = false);

// Writes the table whole as a new private file in the shape of a file changed row by row
// (TArquivoTabela): each row with its CRC, the seal, and an index over the resident fields.
void WriteTableFileSelado(const TDataSet& table, const std::string& path,
                          const std::vector<std::string>& residentes);

// Saves the table to path atomically: the old file stays whole until the new one is complete, and
// the new one keeps its mode.
void SaveToFile(const TDataSet& table, const std::string& path);

}  // namespace kova
