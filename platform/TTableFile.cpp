#include "TTableFile.h"

#include <sqlite3.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Diretorios.h"
#include "Errors.h"
#include "Texto.h"

namespace kova {
namespace {

struct FechaBanco {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FechaComando {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Banco = std::unique_ptr<sqlite3, FechaBanco>;
using Comando = std::unique_ptr<sqlite3_stmt, FechaComando>;

// Milliseconds a load waits for the locks other readers hold: they are held for microseconds, so
// reaching this means something else keeps the file.
constexpr int kEsperaLeitura = 10000;

// SQLite takes file names in UTF-8; on Linux the bytes go to the system as they are.
std::string NomeParaSQLite(const std::string& path) {
#ifdef _WIN32
    return Cp1252ToUtf8(path);
#else
    return path;
#endif
}

[[noreturn]] void FalhaBanco(sqlite3* db, const std::string& path, const char* acao) {
    throw EDatabaseError(std::string(acao) + " " + NomeArquivo(path) + ": " +
                         (db ? sqlite3_errmsg(db) : "out of memory"));
}

Comando Preparar(sqlite3* db, const std::string& sql, const std::string& path, const char* acao) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &s, nullptr) != SQLITE_OK) {
        FalhaBanco(db, path, acao);
    }
    return Comando(s);
}

std::string Aspas(const std::string& nome) {
    std::string r = "\"";
    for (char c : nome) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

std::string DataISO(TDate d) {
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02u-%02u", YearOf(d), MonthOf(d), DayOf(d));
    return b;
}

bool LerDataISO(const std::string& s, TDateTime& out) {
    int y, m, d, h = 0, n = 0, sec = 0, ms = 0;
    int lidos = std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &m, &d, &h, &n, &sec, &ms);
    if (lidos < 3 || m < 1 || m > 12 || d < 1 || d > 31 || h < 0 || h > 23 || n < 0 || n > 59 ||
        sec < 0 || sec > 59 || ms < 0 || ms > 999) {
        return false;
    }
    auto ymd = std::chrono::year(y) / unsigned(m) / unsigned(d);
    if (!ymd.ok()) return false;
    out = TDateTime(std::chrono::sys_days(ymd)) + std::chrono::hours(h) + std::chrono::minutes(n) +
          std::chrono::seconds(sec) + std::chrono::milliseconds(ms);
    return true;
}

const char* TipoSQL(TFieldType t) {
    switch (t) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftBoolean: return "INTEGER";
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency: return "REAL";
        case TFieldType::ftGraphic: return "BLOB";
        default: return "TEXT";
    }
}

TValue LerValor(sqlite3_stmt* s, int col, const TField& f, const std::string& path, int registro) {
    int tipo = sqlite3_column_type(s, col);
    if (tipo == SQLITE_NULL) return TValue{};
    auto texto = [&] {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
        return std::string(p ? p : "", size_t(sqlite3_column_bytes(s, col)));
    };
    auto invalido = [&]() -> EDatabaseError {
        return EDatabaseError(NomeArquivo(path) + ": invalid value for field '" + f.FieldName() +
                              "' in record " + std::to_string(registro));
    };
    switch (f.DataType()) {
        case TFieldType::ftString: {
            std::string t = texto();
            if (f.Size() > 0 && int(t.size()) > f.Size()) t.resize(size_t(f.Size()));
            return t;
        }
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger: {
            if (tipo != SQLITE_INTEGER) throw invalido();
            sqlite3_int64 v = sqlite3_column_int64(s, col);
            long long min = f.DataType() == TFieldType::ftSmallint ? -32768 : -2147483648LL;
            long long max = f.DataType() == TFieldType::ftSmallint ? 32767 : 2147483647LL;
            if (v < min || v > max) throw invalido();
            return int32_t(v);
        }
        case TFieldType::ftBoolean:
            if (tipo != SQLITE_INTEGER) throw invalido();
            return sqlite3_column_int64(s, col) != 0;
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
            if (tipo != SQLITE_INTEGER && tipo != SQLITE_FLOAT) throw invalido();
            return sqlite3_column_double(s, col);
        case TFieldType::ftDate:
        case TFieldType::ftDateTime: {
            TDateTime dt;
            if (tipo != SQLITE_TEXT || !LerDataISO(texto(), dt)) throw invalido();
            if (f.DataType() == TFieldType::ftDate) return DateOf(dt);
            return dt;
        }
        case TFieldType::ftGraphic: {
            const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s, col));
            return TBytes(p, p + sqlite3_column_bytes(s, col));
        }
    }
    return TValue{};
}

int Vincular(sqlite3_stmt* s, int col, const TValue& v) {
    if (IsNull(v)) return sqlite3_bind_null(s, col);
    if (auto p = std::get_if<std::string>(&v)) {
        return sqlite3_bind_text(s, col, p->data(), int(p->size()), SQLITE_TRANSIENT);
    }
    if (auto p = std::get_if<int32_t>(&v)) return sqlite3_bind_int64(s, col, *p);
    if (auto p = std::get_if<double>(&v)) return sqlite3_bind_double(s, col, *p);
    if (auto p = std::get_if<bool>(&v)) return sqlite3_bind_int(s, col, *p ? 1 : 0);
    if (auto p = std::get_if<TDate>(&v)) {
        std::string t = DataISO(*p);
        return sqlite3_bind_text(s, col, t.data(), int(t.size()), SQLITE_TRANSIENT);
    }
    if (auto p = std::get_if<TDateTime>(&v)) {
        TDate d = DateOf(*p);
        long long ms = (*p - TDateTime(d)).count();
        char b[40];
        std::snprintf(b, sizeof b, "%s %02lld:%02lld:%02lld.%03lld", DataISO(d).c_str(), ms / 3600000,
                      ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        return sqlite3_bind_text(s, col, b, -1, SQLITE_TRANSIENT);
    }
    const auto& b = std::get<TBytes>(v);
    return sqlite3_bind_blob(s, col, b.data(), int(b.size()), SQLITE_TRANSIENT);
}

}  // namespace

void LoadFromFile(TDataSet& table, const std::string& path) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(NomeParaSQLite(path).c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Banco db(raw);
    if (rc != SQLITE_OK) FalhaBanco(raw, path, "Cannot open");
    // Programs loading one data directory at once read the same files. On Windows a reader passes
    // through a brief exclusive lock on its way to a shared one, so two readers meeting there find
    // the file busy: the later one waits its turn instead of failing.
    sqlite3_busy_timeout(db.get(), kEsperaLeitura);

    struct Coluna {
        std::string nome;
        TFieldType tipo;
        int tamanho;
    };
    std::vector<Coluna> colunas;
    {
        Comando c = Preparar(db.get(), "SELECT nome, tipo, tamanho FROM campos ORDER BY posicao", path,
                             "Not a table file:");
        while ((rc = sqlite3_step(c.get())) == SQLITE_ROW) {
            const char* nome = reinterpret_cast<const char*>(sqlite3_column_text(c.get(), 0));
            const char* tipo = reinterpret_cast<const char*>(sqlite3_column_text(c.get(), 1));
            Coluna col{nome ? nome : "", TFieldType::ftString, sqlite3_column_int(c.get(), 2)};
            if (col.nome.empty() || !tipo || !FieldTypeFromName(tipo, col.tipo) || col.tamanho < 0) {
                throw EDatabaseError(NomeArquivo(path) + ": invalid field definition");
            }
            colunas.push_back(col);
        }
        if (rc != SQLITE_DONE) FalhaBanco(db.get(), path, "Cannot read");
    }
    if (colunas.empty()) throw EDatabaseError(NomeArquivo(path) + ": the file defines no fields");

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
        if (!achou) {
            throw EDatabaseError(NomeArquivo(path) + ": field '" + f.FieldName() + "' not found in the file");
        }
    }
    std::vector<std::vector<TValue>> registros;
    if (n > 0) {
        Comando c = Preparar(db.get(), "SELECT " + selecao + " FROM registros ORDER BY rowid", path,
                             "Not a table file:");
        int registro = 0;
        while ((rc = sqlite3_step(c.get())) == SQLITE_ROW) {
            ++registro;
            std::vector<TValue> valores(size_t(table.FieldCount()));
            for (int i = 0; i < table.FieldCount(); ++i) {
                if (origem[size_t(i)] >= 0) {
                    valores[size_t(i)] = LerValor(c.get(), origem[size_t(i)], table.Fields(i), path, registro);
                }
            }
            registros.push_back(std::move(valores));
        }
        if (rc != SQLITE_DONE) FalhaBanco(db.get(), path, "Cannot read");
    }
    table.CreateDataSet();
    table.LoadRecords(std::move(registros));
}

void WriteTableFile(const TDataSet& table, const std::string& path) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(NomeParaSQLite(path).c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Banco db(raw);
    auto falha = [&]() {
        // The cause as a person reads it: a full disk, a folder closed to writing, or the disk itself.
        std::string causa = db ? sqlite3_errmsg(db.get()) : "sem memória";
        switch (db ? sqlite3_errcode(db.get()) & 0xff : SQLITE_NOMEM) {
            case SQLITE_FULL: causa = "o disco está cheio"; break;
            case SQLITE_IOERR: causa = "falha de gravação no disco (disco cheio ou com defeito)"; break;
            case SQLITE_CANTOPEN:
            case SQLITE_READONLY:
            case SQLITE_PERM: causa = "a pasta não permite gravar"; break;
            default:
                causa = "falha do banco de dados (código " + std::to_string(sqlite3_errcode(db.get())) + ")";
                break;
        }
        throw EErroGravacao(path, causa);
    };
    if (rc != SQLITE_OK) falha();
    auto executar = [&](const std::string& sql) {
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) falha();
    };
    // The file is complete before it is renamed into place, so SQLite's own journal adds nothing.
    // The layout is set here rather than left to how the SQLite at hand was built, so that every
    // system writes the same bytes, and the same CRC, for the same table.
    executar("PRAGMA page_size=4096; PRAGMA auto_vacuum=NONE; PRAGMA secure_delete=ON; "
             "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;");
    executar("CREATE TABLE campos(posicao INTEGER PRIMARY KEY, nome TEXT NOT NULL, tipo TEXT NOT NULL, "
             "tamanho INTEGER NOT NULL)");
    std::vector<int> gravados;
    std::string colunas, marcas;
    {
        Comando c(nullptr);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db.get(), "INSERT INTO campos VALUES(?,?,?,?)", -1, &s, nullptr) != SQLITE_OK) {
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
            colunas += (gravados.empty() ? "" : ", ") + Aspas(f.FieldName()) + " " + TipoSQL(f.DataType());
            marcas += gravados.empty() ? "?" : ",?";
            gravados.push_back(i);
        }
    }
    executar("CREATE TABLE registros(" + colunas + ")");
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db.get(), ("INSERT INTO registros VALUES(" + marcas + ")").c_str(), -1, &s,
                               nullptr) != SQLITE_OK) {
            falha();
        }
        Comando c(s);
        for (size_t r = 0; r < table.StoredCount(); ++r) {
            const auto& valores = table.StoredValues(r);
            for (size_t k = 0; k < gravados.size(); ++k) {
                if (Vincular(s, int(k) + 1, valores[size_t(gravados[k])]) != SQLITE_OK) falha();
            }
            if (sqlite3_step(s) != SQLITE_DONE) falha();
            sqlite3_reset(s);
        }
    }
    executar("COMMIT");
    if (sqlite3_close(db.release()) != SQLITE_OK) throw EErroGravacao(path, "falha ao fechar o arquivo");
    SincronizarCaminho(path);
}

void SaveToFile(const TDataSet& table, const std::string& path) {
    std::string temporario = path + ".XXXXXX";
    int fd = ::mkstemp(temporario.data());
    if (fd < 0) throw EErroGravacao(path, DescricaoErroSistema(errno));
    ::close(fd);
    ::unlink(temporario.c_str());
    try {
        WriteTableFile(table, temporario);
        if (!SubstituiArquivo(temporario, path)) {
            throw EErroGravacao(path, DescricaoErroSistema(errno));
        }
    } catch (...) {
        ::unlink(temporario.c_str());
        throw;
    }
    const std::string dir = PastaDe(path);
    SincronizarCaminho(dir.empty() ? "." : dir);
}

}  // namespace kova
