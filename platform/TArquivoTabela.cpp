#include "TArquivoTabela.h"

#include <sqlite3.h>

#include <algorithm>

#include "Diretorios.h"
#include "SistemaDeArquivos.h"
#include "TabelaSQLite.h"
#include "Texto.h"

namespace kova {

using namespace tabela;

struct TArquivoTabela::TEstado {
    // Declared first: the statements are finalized before their connection closes.
    std::unique_ptr<TConexao> conexao;
    tabela::Comando ler, crcDe, inserir, atualizar, remover;

    sqlite3* db() const { return conexao->get(); }
    void Executa(const std::string& sql, const std::string& path) {
        if (sqlite3_exec(db(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw EErroGravacao(path, CausaDaFalha(db()));
        }
    }
    // A statement prepared once for the life of the connection.
    sqlite3_stmt* Guardado(tabela::Comando& guardado, const std::string& sql,
                           const std::string& path) {
        if (!guardado) guardado = Preparar(db(), sql, path);
        sqlite3_reset(guardado.get());
        sqlite3_clear_bindings(guardado.get());
        return guardado.get();
    }
};

namespace {

// A write of this table's file that failed: the transaction is undone and the reason told.
class TTransacao {
public:
    TTransacao(sqlite3* db, const std::string& path) : db_(db), path_(path) {
        if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) Falha();
    }
    ~TTransacao() {
        if (!concluida_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    TTransacao(const TTransacao&) = delete;
    TTransacao& operator=(const TTransacao&) = delete;
    void Conclui() {
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) Falha();
        concluida_ = true;
    }
    [[noreturn]] void Falha() {
        // The cause is read before the rollback changes it.
        const std::string causa = CausaDaFalha(db_);
        if (!concluida_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        concluida_ = true;
        throw EErroGravacao(path_, causa);
    }

private:
    sqlite3* db_;
    std::string path_;
    bool concluida_ = false;
};

// The reads of one look at the file: the seal and the rows it covers, as one save left them. A save
// of another program comes before or after it, never between (SQLite's own locks), so no lock of
// the directory is needed to read the slips file.
class TLeitura {
public:
    explicit TLeitura(sqlite3* db)
        : db_(sqlite3_get_autocommit(db) &&
                      sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK
                  ? db
                  : nullptr) {}
    ~TLeitura() {
        if (db_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }
    TLeitura(const TLeitura&) = delete;
    TLeitura& operator=(const TLeitura&) = delete;

private:
    sqlite3* db_;
};

bool Existe(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return false;
    const bool r = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    return r;
}

uint32_t Crc32Guardado(sqlite3_int64 v) { return uint32_t(uint64_t(v) & 0xFFFFFFFFu); }

// Whether the file carries the check of a file changed row by row.
bool TemSelo(sqlite3* db) {
    return Existe(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'selo'") &&
           Existe(db, std::string("SELECT 1 FROM pragma_table_info('registros') WHERE name = '") +
                          kColunaCrc + "'");
}

// The rows against the seal: their number, and the sum of their CRCs, summed inside SQLite over
// the index of the resident fields, which holds the CRCs too, so the rows are not read and none
// crosses into the program. A sum of CRCs below 2^32 reaches the limit of SQLite's integers only
// past two thousand million rows.
void ConfereSeloNaConexao(sqlite3* db, const std::string& path) {
    tabela::Comando selo = Preparar(db, "SELECT linhas, soma FROM selo", path);
    if (sqlite3_step(selo.get()) != SQLITE_ROW)
        throw ESeloInvalido(NomeArquivo(path) + ": sem selo");
    const int64_t linhas = sqlite3_column_int64(selo.get(), 0);
    const uint64_t soma = uint64_t(sqlite3_column_int64(selo.get(), 1));
    tabela::Comando c = Preparar(
        db, std::string("SELECT count(*), sum(") + kColunaCrc + " & 4294967295) FROM registros",
        path);
    if (sqlite3_step(c.get()) != SQLITE_ROW) FalhaBanco(db, path);
    if (sqlite3_column_int64(c.get(), 0) != linhas ||
        (uint64_t(sqlite3_column_int64(c.get(), 1)) & 0xFFFFFFFFu) != (soma & 0xFFFFFFFFu)) {
        throw ESeloInvalido(NomeArquivo(path) + ": o selo não confere com os registros");
    }
}

}  // namespace

TArquivoTabela::TArquivoTabela(std::string path, const TDataSet& definicao, bool escrita)
    : path_(std::move(path)), definicao_(definicao), e_(std::make_unique<TEstado>()) {
    // A reader opens for writing too when it may: SQLite then puts back a change that a killed
    // writer left half made, which a read-only connection could not. Never through a link.
#ifdef _WIN32
    const bool gravavel = escrita;
#else
    const bool gravavel = escrita || (Arquivos().Gravavel(path_) && !EhLinkSimbolico(path_));
#endif
    // Refused here, before a row is read, when the file is not a plain table file of the system.
    e_->conexao = std::make_unique<TConexao>(path_, gravavel);
    sqlite3* db = e_->db();
    if (sqlite3_exec(db, "PRAGMA secure_delete=ON; PRAGMA synchronous=FULL", nullptr, nullptr,
                     nullptr) != SQLITE_OK) {
        FalhaBanco(db, path_);
    }
    // Every stored field of the table must be a column of the file.
    std::vector<std::string> colunas;
    {
        tabela::Comando c = Preparar(db, "SELECT nome FROM campos ORDER BY posicao", path_);
        int passo;
        while ((passo = sqlite3_step(c.get())) == SQLITE_ROW) {
            const char* nome = reinterpret_cast<const char*>(sqlite3_column_text(c.get(), 0));
            colunas.emplace_back(nome ? nome : "");
            if (colunas.size() > 400) Recusa(path_, "campos demais");
        }
        if (passo != SQLITE_DONE) FalhaBanco(db, path_);
    }
    for (int i = 0; i < definicao_.FieldCount(); ++i) {
        const TField& f = definicao_.Fields(i);
        if (f.Calculated()) continue;
        if (std::none_of(colunas.begin(), colunas.end(),
                         [&](const std::string& c) { return SameText(c, f.FieldName()); })) {
            Recusa(path_, "falta o campo " + f.FieldName());
        }
        gravados_.push_back(i);
    }
    selado_ = TemSelo(db);
}

TArquivoTabela::~TArquivoTabela() = default;

void TArquivoTabela::LeSelo(int64_t& linhas, uint64_t& soma) {
    tabela::Comando c = Preparar(e_->db(), "SELECT linhas, soma FROM selo", path_);
    if (sqlite3_step(c.get()) != SQLITE_ROW) throw ESeloInvalido(NomeArquivo(path_) + ": sem selo");
    linhas = sqlite3_column_int64(c.get(), 0);
    soma = uint64_t(sqlite3_column_int64(c.get(), 1));
}

void TArquivoTabela::Sela(const std::vector<std::string>& residentes) {
    sqlite3* db = e_->db();
    e_->Executa(std::string("ALTER TABLE registros ADD COLUMN ") + kColunaCrc + " INTEGER", path_);
    std::string selecao = "rowid";
    for (int f : gravados_) selecao += ", " + Aspas(definicao_.Fields(f).FieldName());
    uint64_t soma = 0;
    int64_t linhas = 0;
    {
        tabela::Comando le = Preparar(db, "SELECT " + selecao + " FROM registros", path_);
        tabela::Comando grava = Preparar(
            db, std::string("UPDATE registros SET ") + kColunaCrc + " = ? WHERE rowid = ?", path_);
        std::vector<TValue> valores(size_t(definicao_.FieldCount()));
        int passo;
        while ((passo = sqlite3_step(le.get())) == SQLITE_ROW) {
            const int64_t linha = sqlite3_column_int64(le.get(), 0);
            for (size_t k = 0; k < gravados_.size(); ++k) {
                valores[size_t(gravados_[k])] =
                    LerValor(le.get(), int(k) + 1, definicao_.Fields(gravados_[k]), path_, linha);
            }
            const uint32_t crc = CrcDaLinha(valores, gravados_);
            soma += crc;
            ++linhas;
            sqlite3_reset(grava.get());
            sqlite3_bind_int64(grava.get(), 1, crc);
            sqlite3_bind_int64(grava.get(), 2, linha);
            if (sqlite3_step(grava.get()) != SQLITE_DONE)
                throw EErroGravacao(path_, CausaDaFalha(db));
        }
        if (passo != SQLITE_DONE) throw EErroGravacao(path_, CausaDaFalha(db));
    }
    e_->Executa("CREATE TABLE selo(linhas INTEGER NOT NULL, soma INTEGER NOT NULL)", path_);
    e_->Executa("INSERT INTO selo VALUES(" + std::to_string(linhas) + ", " +
                    std::to_string(soma & 0xFFFFFFFFu) + ")",
                path_);
    e_->Executa(IndiceResidentes(residentes), path_);
}

int64_t TArquivoTabela::Linhas() {
    e_->conexao->LimitaAoArquivo();
    if (selado_) {
        int64_t linhas = 0;
        uint64_t soma = 0;
        LeSelo(linhas, soma);
        return linhas;
    }
    tabela::Comando c = Preparar(e_->db(), "SELECT count(*) FROM registros", path_);
    if (sqlite3_step(c.get()) != SQLITE_ROW) FalhaBanco(e_->db(), path_);
    return sqlite3_column_int64(c.get(), 0);
}

TValue TArquivoTabela::Maximo(const std::string& campo) {
    const TField& f = definicao_.FieldByName(campo);
    e_->conexao->LimitaAoArquivo();
    tabela::Comando c =
        Preparar(e_->db(), "SELECT max(" + Aspas(f.FieldName()) + ") FROM registros", path_);
    if (sqlite3_step(c.get()) != SQLITE_ROW) FalhaBanco(e_->db(), path_);
    return LerValor(c.get(), 0, f, path_, 0);
}

void TArquivoTabela::ConfereSelo() {
    if (!selado_) return;
    e_->conexao->LimitaAoArquivo();
    ConfereSeloNaConexao(e_->db(), path_);
}

void TArquivoTabela::ConfereSeloDoArquivo(const std::string& path) {
    // Opened for writing where it may, as any reader: a change a killed writer left half made is
    // put back first.
#ifdef _WIN32
    const bool gravavel = false;
#else
    const bool gravavel = Arquivos().Gravavel(path) && !EhLinkSimbolico(path);
#endif
    TConexao conexao(path, gravavel);
    if (TemSelo(conexao.get())) ConfereSeloNaConexao(conexao.get(), path);
}

void TArquivoTabela::CopiaPara(const std::string& destino,
                               const std::vector<std::string>& residentes) {
    // Made new before SQLite opens it: private, never through a link left at its name.
    Arquivos().CriaNovo(destino, true);
    try {
        {
            sqlite3* raw = nullptr;
            const int rc = sqlite3_open_v2(NomeParaSQLite(destino).c_str(), &raw,
                                           SQLITE_OPEN_READWRITE, Arquivos().Vfs());
            tabela::Banco copia(raw);
            if (rc != SQLITE_OK) throw EErroGravacao(destino, CausaDaFalha(copia.get()));
            // Nothing else uses the copy before it is complete: SQLite's own journal adds nothing.
            if (sqlite3_exec(copia.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF",
                             nullptr, nullptr, nullptr) != SQLITE_OK) {
                throw EErroGravacao(destino, CausaDaFalha(copia.get()));
            }
            sqlite3_backup* b = sqlite3_backup_init(copia.get(), "main", e_->db(), "main");
            if (!b) throw EErroGravacao(destino, CausaDaFalha(copia.get()));
            const int passo = sqlite3_backup_step(b, -1);
            const int fim = sqlite3_backup_finish(b);
            if (passo != SQLITE_DONE || fim != SQLITE_OK)
                throw EErroGravacao(destino, CausaDaFalha(copia.get()));
            if (sqlite3_close(copia.release()) != SQLITE_OK)
                throw EErroGravacao(destino, "falha ao fechar o arquivo");
        }
        if (!selado_) {
            TArquivoTabela copia(destino, definicao_, true);
            TTransacao t(copia.e_->db(), destino);
            try {
                copia.Sela(residentes);
            } catch (const EErroGravacao&) {
                t.Falha();
            }
            t.Conclui();
        }
        Arquivos().Sincroniza(destino);
    } catch (...) {
        Arquivos().Remove(destino);
        throw;
    }
}

void TArquivoTabela::CarregaResidentes(TDataSet& tabela,
                                       const std::vector<std::string>& residentes) {
    residentes_ = residentes;
    camposResidentes_.clear();
    e_->conexao->LimitaAoArquivo();
    std::string selecao = "rowid";
    for (const std::string& r : residentes) {
        camposResidentes_.push_back(definicao_.FieldByName(r).Index());
        selecao += ", " + Aspas(r);
    }
    if (selado_) selecao += std::string(", ") + kColunaCrc;
    std::vector<TDataSet::TRegistroResidente> registros;
    uint64_t soma = 0;
    int64_t linhas = 0;
    uint64_t selo = 0;
    TLeitura leitura(e_->db());
    if (selado_) {
        LeSelo(linhas, selo);
        registros.reserve(size_t(std::clamp<int64_t>(linhas, 0, int64_t(1) << 24)));
    }
    {
        tabela::Comando c = Preparar(e_->db(), "SELECT " + selecao + " FROM registros", path_);
        int passo;
        while ((passo = sqlite3_step(c.get())) == SQLITE_ROW) {
            TDataSet::TRegistroResidente r;
            r.linha = sqlite3_column_int64(c.get(), 0);
            r.valores.reserve(residentes.size());
            for (size_t k = 0; k < residentes.size(); ++k) {
                r.valores.push_back(LerValor(
                    c.get(), int(k) + 1, definicao_.Fields(camposResidentes_[k]), path_, r.linha));
            }
            if (selado_)
                soma += Crc32Guardado(sqlite3_column_int64(c.get(), int(residentes.size()) + 1));
            registros.push_back(std::move(r));
        }
        if (passo != SQLITE_DONE) FalhaBanco(e_->db(), path_);
    }
    if (selado_) {
        if (linhas != int64_t(registros.size()) || (soma & 0xFFFFFFFFu) != selo) {
            throw ESeloInvalido(NomeArquivo(path_) + ": o selo não confere com os registros");
        }
    }
    // The index gives the rows in its own order; the table keeps the order of the file.
    const auto antes = [](const TDataSet::TRegistroResidente& a,
                          const TDataSet::TRegistroResidente& b) { return a.linha < b.linha; };
    // Numbers mostly follow the rows: the order is mostly right already.
    if (!std::is_sorted(registros.begin(), registros.end(), antes))
        std::sort(registros.begin(), registros.end(), antes);
    tabela.LoadResidentRecords(shared_from_this(), residentes, std::move(registros));
}

std::vector<TValue> TArquivoTabela::Ler(int64_t linha, const std::vector<TValue>& residentes) {
    std::string sql = "SELECT ";
    for (size_t k = 0; k < gravados_.size(); ++k) {
        sql += (k ? ", " : "") + Aspas(definicao_.Fields(gravados_[k]).FieldName());
    }
    sql += std::string(", ") + (selado_ ? kColunaCrc : "NULL") + " FROM registros WHERE rowid = ?";
    e_->conexao->LimitaAoArquivo();
    sqlite3_stmt* s = e_->Guardado(e_->ler, sql, path_);
    sqlite3_bind_int64(s, 1, linha);
    const int passo = sqlite3_step(s);
    if (passo != SQLITE_ROW) {
        if (passo != SQLITE_DONE) FalhaBanco(e_->db(), path_);
        throw EDatabaseError("O registro " + std::to_string(linha) + " de " + path_ +
                             " foi removido por outro programa depois de carregado.");
    }
    std::vector<TValue> valores(size_t(definicao_.FieldCount()));
    for (size_t k = 0; k < gravados_.size(); ++k) {
        valores[size_t(gravados_[k])] =
            LerValor(s, int(k), definicao_.Fields(gravados_[k]), path_, linha);
    }
    for (size_t k = 0; k < camposResidentes_.size() && k < residentes.size(); ++k) {
        if (CompareValues(valores[size_t(camposResidentes_[k])], residentes[k], false) != 0) {
            throw EDatabaseError("O registro " + std::to_string(linha) + " de " + path_ +
                                 " foi alterado por outro programa depois de carregado.");
        }
    }
    if (selado_ && CrcDaLinha(valores, gravados_) !=
                       Crc32Guardado(sqlite3_column_int64(s, int(gravados_.size())))) {
        throw ESeloInvalido("Erro na abertura dos arquivos\r\rCRC não confere: \r" + path_);
    }
    sqlite3_reset(s);
    return valores;
}

std::vector<int64_t> TArquivoTabela::LinhasQue(
    const std::vector<std::string>& campos,
    const std::function<bool(const std::vector<TValue>&)>& criterio) {
    std::string selecao = "rowid";
    std::vector<const TField*> lidos;
    for (const std::string& c : campos) {
        lidos.push_back(&definicao_.FieldByName(c));
        selecao += ", " + Aspas(lidos.back()->FieldName());
    }
    e_->conexao->LimitaAoArquivo();
    tabela::Comando c = Preparar(e_->db(), "SELECT " + selecao + " FROM registros", path_);
    std::vector<int64_t> linhas;
    std::vector<TValue> valores(campos.size());
    int passo;
    while ((passo = sqlite3_step(c.get())) == SQLITE_ROW) {
        const int64_t linha = sqlite3_column_int64(c.get(), 0);
        for (size_t k = 0; k < lidos.size(); ++k)
            valores[k] = LerValor(c.get(), int(k) + 1, *lidos[k], path_, linha);
        if (criterio(valores)) linhas.push_back(linha);
    }
    if (passo != SQLITE_DONE) FalhaBanco(e_->db(), path_);
    return linhas;
}

void TArquivoTabela::GravaAlteracoes(TDataSet& tabela, const std::vector<std::string>& residentes) {
    if (!tabela.TemPendencias()) return;
    const TDataSet::TPendencias p = tabela.Pendencias();
    sqlite3* db = e_->db();
    // Each slip written takes a few hundred steps; the conversion of an old file, a pass over it.
    e_->conexao->LimitaAoArquivo(20000 * uint64_t(p.gravar.size() + p.removidas.size()));
    TTransacao t(db, path_);
    if (!selado_) {
        try {
            Sela(residentes);
        } catch (const EErroGravacao&) {
            t.Falha();
        }
    }
    int64_t linhas = 0;
    uint64_t soma = 0;
    LeSelo(linhas, soma);
    // The CRC a row has in the file now (false when the row is not there).
    auto crcAtual = [&](int64_t linha, uint32_t& crc) {
        sqlite3_stmt* s = e_->Guardado(
            e_->crcDe, std::string("SELECT ") + kColunaCrc + " FROM registros WHERE rowid = ?",
            path_);
        sqlite3_bind_int64(s, 1, linha);
        const int passo = sqlite3_step(s);
        if (passo == SQLITE_ROW) {
            crc = Crc32Guardado(sqlite3_column_int64(s, 0));
            return true;
        }
        if (passo != SQLITE_DONE) t.Falha();
        return false;
    };
    for (int64_t linha : p.removidas) {
        uint32_t crc = 0;
        if (!crcAtual(linha, crc)) continue;
        sqlite3_stmt* s = e_->Guardado(e_->remover, "DELETE FROM registros WHERE rowid = ?", path_);
        sqlite3_bind_int64(s, 1, linha);
        if (sqlite3_step(s) != SQLITE_DONE) t.Falha();
        soma -= crc;
        --linhas;
    }
    std::string colunas, marcas, atribuicoes;
    for (size_t k = 0; k < gravados_.size(); ++k) {
        const std::string nome = Aspas(definicao_.Fields(gravados_[k]).FieldName());
        colunas += nome + ", ";
        marcas += "?, ";
        atribuicoes += nome + " = ?, ";
    }
    std::vector<std::pair<TBookmark, int64_t>> novas;
    std::vector<TValue> valores(size_t(tabela.FieldCount()));
    const int n = int(gravados_.size());
    for (TBookmark b : p.gravar) {
        for (int f : gravados_) valores[size_t(f)] = tabela.ValueAt(b, f);
        const uint32_t crc = CrcDaLinha(valores, gravados_);
        const int64_t linha = tabela.RowOf(b);
        uint32_t anterior = 0;
        const bool existe = linha != 0 && crcAtual(linha, anterior);
        sqlite3_stmt* s = existe ? e_->Guardado(e_->atualizar,
                                                "UPDATE registros SET " + atribuicoes + kColunaCrc +
                                                    " = ? WHERE rowid = ?",
                                                path_)
                                 : e_->Guardado(e_->inserir,
                                                "INSERT INTO registros(" + colunas + kColunaCrc +
                                                    ") VALUES(" + marcas + "?)",
                                                path_);
        for (int k = 0; k < n; ++k) {
            if (Vincular(s, k + 1, valores[size_t(gravados_[size_t(k)])]) != SQLITE_OK) t.Falha();
        }
        sqlite3_bind_int64(s, n + 1, crc);
        if (existe) sqlite3_bind_int64(s, n + 2, linha);
        if (sqlite3_step(s) != SQLITE_DONE) t.Falha();
        if (existe) {
            soma -= anterior;
        } else {
            novas.emplace_back(b, sqlite3_last_insert_rowid(db));
            ++linhas;
        }
        soma += crc;
    }
    const std::string selo = "UPDATE selo SET linhas = " + std::to_string(linhas) +
                             ", soma = " + std::to_string(soma & 0xFFFFFFFFu);
    if (sqlite3_exec(db, selo.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) t.Falha();
    t.Conclui();
    selado_ = true;
    tabela.ConfirmaGravacao(p, novas);
}

}  // namespace kova
