#pragma once
// A table file changed row by row instead of being written whole: the slips file, which grows for
// years, so that a save costs the same at 1,000 slips and at 300,000. Beside the records the file
// holds its own check, changed in the same transaction as the rows it covers: each row carries the
// CRC-32 of its values (column crc_linha), and the table "selo" holds the number of rows and the
// sum of their CRCs. A kill at any instant leaves the rows and the seal of before the save or
// those of after it (SQLite's journal puts a half-made change back at the next open), so the check
// never locks anyone out.
//
// An index over the resident fields (those a table orders, filters and lists by) lets a program
// read only those, check the seal against them and find the greatest number, without reading the
// rows. The other fields of a record are read, and its CRC checked, when they are first asked for.
//
// A file written whole by an earlier version (no seal) is read as it stands; a program that writes
// it gives it its CRCs, seal and index in the transaction of its first save (GravaAlteracoes).
//
// Create it with std::make_shared: a table loaded through it keeps it as the source of its records.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Errors.h"
#include "TDataSet.h"
#include "TFonteRegistros.h"

namespace kova {

// A file whose seal or a row's CRC does not match what it holds: changed by other means.
class ESeloInvalido : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

class TArquivoTabela : public TFonteRegistros, public std::enable_shared_from_this<TArquivoTabela> {
public:
    // Opens the file of the table `definicao` (whose fields every row must have) for reading and,
    // with escrita, for writing. Throws EDatabaseError when it cannot be opened or is not a table
    // file of that table.
    TArquivoTabela(std::string path, const TDataSet& definicao, bool escrita);
    ~TArquivoTabela() override;
    TArquivoTabela(const TArquivoTabela&) = delete;
    TArquivoTabela& operator=(const TArquivoTabela&) = delete;

    const std::string& Path() const { return path_; }
    // True when the file carries its seal (it may be changed row by row).
    bool Selado() const { return selado_; }
    // The number of rows (the seal's, without reading them, in a sealed file).
    int64_t Linhas();
    // The greatest value of the field over every row, null when there is none.
    TValue Maximo(const std::string& campo);
    // Checks the seal against the rows the file holds (their number and the sum of their CRCs),
    // reading only the column of the CRCs: what a program that writes the file without loading
    // its rows checks first. ESeloInvalido when they do not match; nothing in a file without a
    // seal.
    void ConfereSelo();
    // The same check on a file of any layout (an earlier version's, whose fields a table no
    // longer matches): a file that carries a seal must match it. Opened and closed here.
    static void ConfereSeloDoArquivo(const std::string& path);
    // Copies the file as it stands, whole, into a new private file at destino (which must not
    // exist), through SQLite's backup of this connection: a table file that opens on its own,
    // sealed (a file without a seal gets its CRCs, seal and index over `residentes` in the copy),
    // and flushed to the disk. Throws EErroGravacao with the reason; the copy is then removed.
    void CopiaPara(const std::string& destino, const std::vector<std::string>& residentes);
    // Opens the table over every row of the file with only the resident fields in memory, after
    // checking them against the seal (ESeloInvalido when they do not match). The table reads its
    // other fields here.
    void CarregaResidentes(TDataSet& tabela, const std::vector<std::string>& residentes);
    std::vector<TValue> Ler(int64_t linha, const std::vector<TValue>& residentes) override;
    // The rows whose values of the named fields (in that order) meet the criterion: one pass over
    // the file reading those columns only, the slips themselves never read whole.
    std::vector<int64_t> LinhasQue(const std::vector<std::string>& campos,
                                   const std::function<bool(const std::vector<TValue>&)>& criterio);
    // Writes the table's pending changes (rows inserted, updated, deleted, and the seal) in one
    // transaction and confirms them to the table; nothing when none is pending. A file written
    // whole by an earlier version gets its CRCs, seal and index (over `residentes`) in the same
    // transaction. Throws EErroGravacao with the reason, the file left as it was.
    void GravaAlteracoes(TDataSet& tabela, const std::vector<std::string>& residentes);

private:
    struct TEstado;
    void LeSelo(int64_t& linhas, uint64_t& soma);
    // Adds the CRCs, the seal and the index inside the running transaction.
    void Sela(const std::vector<std::string>& residentes);

    std::string path_;
    const TDataSet& definicao_;
    std::unique_ptr<TEstado> e_;  // the connection and its statements
    bool selado_ = false;
    std::vector<int> gravados_;            // the stored fields, in field order
    std::vector<std::string> residentes_;  // as the table was loaded
    std::vector<int> camposResidentes_;
};

}  // namespace kova
