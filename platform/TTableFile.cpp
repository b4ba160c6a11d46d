#include "TTableFile.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Diretorios.h"
#include "Errors.h"
#include "SistemaDeArquivos.h"
#include "TabelaSQLite.h"
#include "Texto.h"

namespace kova {

using namespace tabela;

namespace {
// A table of the system has a few dozen fields.
constexpr int kMaximoCampos = 400;
}  // namespace

void LoadFromFile(TDataSet& table, const std::string& path) {
    // A file of any shape but the system's own is refused here, before a record is read. Programs
    // loading one data directory at once read the same files; on Windows a reader passes through a
    // brief exclusive lock on its way to a shared one, and the later one waits its turn.
    TConexao conexao(path, false);
    sqlite3* db = conexao.get();
    int rc;

    struct Coluna {
        std::string nome;
        TFieldType tipo;
        int tamanho;
    };
    std::vector<Coluna> colunas;
    {
        Comando c = Preparar(db, "SELECT nome, tipo, tamanho FROM campos ORDER BY posicao", path);
        while ((rc = sqlite3_step(c.get())) == SQLITE_ROW) {
            const char* nome = reinterpret_cast<const char*>(sqlite3_column_text(c.get(), 0));
            const char* tipo = reinterpret_cast<const char*>(sqlite3_column_text(c.get(), 1));
            Coluna col{nome ? nome : "", TFieldType::ftString, sqlite3_column_int(c.get(), 2)};
            if (col.nome.empty() || col.nome.size() > 64 || !tipo ||
                !FieldTypeFromName(tipo, col.tipo) || col.tamanho < 0 || col.tamanho > 65535) {
                Recusa(path, "definição de campo inválida");
            }
            if (colunas.size() >= size_t(kMaximoCampos)) Recusa(path, "campos demais");
            colunas.push_back(col);
        }
        if (rc != SQLITE_DONE) FalhaBanco(db, path);
    }
    if (colunas.empty()) Recusa(path, "o arquivo não define campos");

    table.Close();
    if (table.FieldCount() == 0) {
        for (const Coluna& c : colunas) table.AddField(TFieldDef(c.nome, c.tipo, c.tamanho));
    }
    // Which file column feeds each stored field of the table.
    std::vector<int> origem(size_t(table.FieldCount()), -1);
    std::string selecao;
    int n = 0;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const TField& f = table.Fields(i);
        if (f.Calculated()) continue;
        bool achou = false;
        for (const Coluna& c : colunas) {
            if (SameText(c.nome, f.FieldName())) {
                achou = true;
                selecao += (n ? ", " : "") + Aspas(c.nome);
                origem[size_t(i)] = n++;
                break;
            }
        }
        if (!achou) Recusa(path, "falta o campo " + f.FieldName());
    }
    std::vector<std::vector<TValue>> registros;
    std::vector<int64_t> linhas;
    if (n > 0) {
        Comando c =
            Preparar(db, "SELECT rowid, " + selecao + " FROM registros ORDER BY rowid", path);
        int registro = 0;
        while ((rc = sqlite3_step(c.get())) == SQLITE_ROW) {
            ++registro;
            std::vector<TValue> valores(size_t(table.FieldCount()));
            for (int i = 0; i < table.FieldCount(); ++i) {
                if (origem[size_t(i)] >= 0) {
                    valores[size_t(i)] =
                        LerValor(c.get(), origem[size_t(i)] + 1, table.Fields(i), path, registro);
                }
            }
            registros.push_back(std::move(valores));
            linhas.push_back(sqlite3_column_int64(c.get(), 0));
        }
        if (rc != SQLITE_DONE) FalhaBanco(db, path);
    }
    table.CreateDataSet();
    table.LoadRecords(std::move(registros), std::move(linhas));
}

namespace {

// How the new file comes to be: made here, private to the user or as the folder's other files, or
// made already by the caller (empty, with its mode).
enum class TCriacao { Publico, Privado, Feito };

// Writes the table whole as a new file; with resident fields named, in the shape of a file changed
// row by row (each row's CRC, the seal, the index over the resident fields).
void EscreveArquivo(const TDataSet& table, const std::string& path,
                    const std::vector<std::string>* residentes, TCriacao criacao) {
    // Made new before SQLite opens it: never through a link left at its name, with its mode set.
    if (criacao != TCriacao::Feito) Arquivos().CriaNovo(path, criacao == TCriacao::Privado);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(NomeParaSQLite(path).c_str(), &raw,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, Arquivos().Vfs());
    Banco db(raw);
    auto falha = [&]() { throw EErroGravacao(path, CausaDaFalha(db.get())); };
    if (rc != SQLITE_OK) falha();
    auto executar = [&](const std::string& sql) {
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) falha();
    };
    // The file is complete before it is renamed into place, so SQLite's own journal adds nothing.
    // The layout is set here rather than left to how the SQLite at hand was built, so that every
    // system writes the same bytes, and the same CRC, for the same table.
    executar(
        "PRAGMA page_size=4096; PRAGMA auto_vacuum=NONE; PRAGMA secure_delete=ON; "
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;");
    executar(
        "CREATE TABLE campos(posicao INTEGER PRIMARY KEY, nome TEXT NOT NULL, tipo TEXT NOT NULL, "
        "tamanho INTEGER NOT NULL)");
    std::vector<int> gravados;
    std::string colunas, marcas;
    {
        Comando c(nullptr);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db.get(), "INSERT INTO campos VALUES(?,?,?,?)", -1, &s, nullptr) !=
            SQLITE_OK) {
            falha();
        }
        c.reset(s);
        for (int i = 0; i < table.FieldCount(); ++i) {
            const TField& f = table.Fields(i);
            if (f.Calculated()) continue;
            sqlite3_bind_int(s, 1, int(gravados.size()));
            sqlite3_bind_text(s, 2, f.FieldName().c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 3, FieldTypeName(f.DataType()), -1, SQLITE_STATIC);
            sqlite3_bind_int(s, 4, f.Size());
            if (sqlite3_step(s) != SQLITE_DONE) falha();
            sqlite3_reset(s);
            colunas +=
                (gravados.empty() ? "" : ", ") + Aspas(f.FieldName()) + " " + TipoSQL(f.DataType());
            marcas += gravados.empty() ? "?" : ",?";
            gravados.push_back(i);
        }
    }
    if (residentes) {
        colunas += std::string(", ") + kColunaCrc + " INTEGER";
        marcas += ",?";
    }
    executar("CREATE TABLE registros(" + colunas + ")");
    uint64_t soma = 0;
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db.get(), ("INSERT INTO registros VALUES(" + marcas + ")").c_str(),
                               -1, &s, nullptr) != SQLITE_OK) {
            falha();
        }
        Comando c(s);
        for (size_t r = 0; r < table.StoredCount(); ++r) {
            const auto& valores = table.StoredValues(r);
            for (size_t k = 0; k < gravados.size(); ++k) {
                if (Vincular(s, int(k) + 1, valores[size_t(gravados[k])]) != SQLITE_OK) falha();
            }
            if (residentes) {
                const uint32_t crc = CrcDaLinha(valores, gravados);
                soma += crc;
                sqlite3_bind_int64(s, int(gravados.size()) + 1, crc);
            }
            if (sqlite3_step(s) != SQLITE_DONE) falha();
            sqlite3_reset(s);
        }
    }
    if (residentes) {
        executar("CREATE TABLE selo(linhas INTEGER NOT NULL, soma INTEGER NOT NULL)");
        executar("INSERT INTO selo VALUES(" + std::to_string(table.StoredCount()) + ", " +
                 std::to_string(soma & 0xFFFFFFFFu) + ")");
        executar(IndiceResidentes(*residentes));
    }
    executar("COMMIT");
    if (sqlite3_close(db.release()) != SQLITE_OK)
        throw EErroGravacao(path, "falha ao fechar o arquivo");
    Arquivos().Sincroniza(path);
}

}  // namespace

void WriteTableFile(const TDataSet& table, const std::string& path, bool privado) {
    EscreveArquivo(table, path, nullptr, privado ? TCriacao::Privado : TCriacao::Publico);
}

void WriteTableFileSelado(const TDataSet& table, const std::string& path,
                          const std::vector<std::string>& residentes) {
    EscreveArquivo(table, path, &residentes, TCriacao::Privado);
}

void SaveToFile(const TDataSet& table, const std::string& path) {
    ISistemaDeArquivos& arquivos = Arquivos();
    const std::string temporario = arquivos.CriaTemporario(path);
    try {
        EscreveArquivo(table, temporario, nullptr, TCriacao::Feito);
        if (!arquivos.Renomeia(temporario, path))
            throw EErroGravacao(path, DescricaoErroSistema(errno));
    } catch (...) {
        arquivos.Remove(temporario);
        throw;
    }
    const std::string dir = PastaDe(path);
    arquivos.Sincroniza(dir.empty() ? "." : dir);
}

}  // namespace kova
