#include "TabelaSQLite.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "Crc32.h"
#include "Diretorios.h"
#include "Errors.h"
#include "SistemaDeArquivos.h"
#include "Texto.h"

namespace kova::tabela {
namespace {
// Writes v in the n characters at p, with zeros in front.
void Digitos(char* p, long long v, int n) {
    for (int i = n - 1; i >= 0; --i, v /= 10) p[i] = char('0' + v % 10);
}

std::string DataISO(TDate d) {
    const int ano = YearOf(d);
    if (ano < 0 || ano > 9999) {
        char b[24];
        std::snprintf(b, sizeof b, "%04d-%02u-%02u", ano, MonthOf(d), DayOf(d));
        return b;
    }
    // Every row's dates are written at every save: without the cost of snprintf.
    std::string b = "0000-00-00";
    Digitos(&b[0], ano, 4);
    Digitos(&b[5], MonthOf(d), 2);
    Digitos(&b[8], DayOf(d), 2);
    return b;
}

// The layout the files are written in, read without the cost of sscanf (a start reads one such
// date for every slip): "yyyy-mm-dd" and, for a date and time, " hh:nn:ss.zzz".
bool LerDataISORapido(std::string_view s, int& y, int& m, int& d, int& h, int& n, int& sec,
                      int& ms) {
    auto num = [&s](size_t ini, size_t tam, int& v) {
        if (ini + tam > s.size()) return false;
        v = 0;
        for (size_t i = ini; i < ini + tam; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            v = v * 10 + (s[i] - '0');
        }
        return true;
    };
    if (!(num(0, 4, y) && s.size() >= 10 && s[4] == '-' && num(5, 2, m) && s[7] == '-' &&
          num(8, 2, d)))
        return false;
    h = n = sec = ms = 0;
    if (s.size() == 10) return true;
    return s.size() == 23 && s[10] == ' ' && num(11, 2, h) && s[13] == ':' && num(14, 2, n) &&
           s[16] == ':' && num(17, 2, sec) && s[19] == '.' && num(20, 3, ms);
}

bool LerDataISO(std::string_view s, TDateTime& out) {
    int y, m, d, h = 0, n = 0, sec = 0, ms = 0;
    int lidos = LerDataISORapido(s, y, m, d, h, n, sec, ms)
                    ? 7
                    : std::sscanf(std::string(s).c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &m, &d, &h,
                                  &n, &sec, &ms);
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

// The stored text of a date and time: milliseconds are the finest the files keep.
std::string TextoDataHora(TDateTime t) {
    TDate d = DateOf(t);
    long long ms = (t - TDateTime(d)).count();
    std::string b = DataISO(d);
    if (b.size() != 10 || ms < 0 || ms >= 24 * 3600000LL) {
        char t[64];
        std::snprintf(t, sizeof t, "%s %02lld:%02lld:%02lld.%03lld", b.c_str(), ms / 3600000,
                      ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        return t;
    }
    b += " 00:00:00.000";
    Digitos(&b[11], ms / 3600000, 2);
    Digitos(&b[14], ms / 60000 % 60, 2);
    Digitos(&b[17], ms / 1000 % 60, 2);
    Digitos(&b[20], ms % 1000, 3);
    return b;
}

}  // namespace

std::string NomeParaSQLite(const std::string& path) {
#ifdef _WIN32
    return Cp1252ToUtf8(path);
#else
    return path;
#endif
}

[[noreturn]] void FalhaBanco(sqlite3* db, const std::string& path) {
    const int codigo = db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM;
    if (codigo == SQLITE_BUSY || codigo == SQLITE_LOCKED)
        throw EArquivoEmUso(NomeArquivo(path) + ": " + kEmUsoPorOutroPrograma);
    throw EDatabaseError(NomeArquivo(path) + ": " + CausaDaLeitura(db));
}

[[noreturn]] void Recusa(const std::string& path, const std::string& motivo) {
    throw EDatabaseError(NomeArquivo(path) + ": o arquivo não é uma tabela do KOVA (" + motivo +
                         ")");
}

Comando Preparar(sqlite3* db, const std::string& sql, const std::string& path) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &s, nullptr) != SQLITE_OK)
        FalhaBanco(db, path);
    return Comando(s);
}

namespace {

// The largest value a table file holds is a bank's logo; nothing of the system comes near this.
constexpr int kMaiorValor = 16 * 1024 * 1024;
// Steps of SQLite's machine a read may take for each byte of the file, and on top of that: reading
// every row of a table takes about one step a byte, so this bounds a plain table's read only far
// beyond what it needs, and stops at once whatever would loop.
constexpr uint64_t kPassosPorByte = 64;
constexpr uint64_t kPassosMinimos = 20'000'000;
constexpr int kPassosEntreConferencias = 1000;

uint64_t TamanhoDoArquivo(const std::string& path) { return Arquivos().Tamanho(path); }

bool Comeca(const std::string& texto, const char* inicio) {
    const std::string t = UpperCase(TrimLeft(texto));
    return t.rfind(inicio, 0) == 0;
}

// The file's header names the journal it is written with; a write-ahead log would make SQLite keep
// files of its own beside it, which the system never does.
bool DiarioComum(const std::string& path) {
    std::string cabecalho;
    if (!Arquivos().Ler(path, cabecalho, 20) || cabecalho.size() < 20)
        return true;  // too short to say; SQLite judges it
    if (cabecalho.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0) return true;
    return cabecalho[18] == 1 && cabecalho[19] == 1;
}

}  // namespace

TConexao::TConexao(const std::string& path, bool escrita) : path_(path) {
    if (escrita && EhLinkSimbolico(path_)) {
        throw EDatabaseError(NomeArquivo(path_) +
                             ": é um link simbólico; o KOVA não grava através de links");
    }
    // SQLite never makes a link: one at the journal's name was left by someone, and would make
    // every open fail. It goes; what it points to is never opened.
    const std::string diario = path_ + "-journal";
    if (EhLinkSimbolico(diario) && std::remove(diario.c_str()) != 0) {
        throw EDatabaseError(
            NomeArquivo(path_) + ": " + NomeArquivo(diario) +
            " é um link simbólico que não pôde ser retirado; remova-o (o KOVA não o segue)");
    }
    if (!DiarioComum(path_))
        Recusa(path_, "o arquivo usa um diário de gravação que o KOVA não aceita");
    sqlite3* raw = nullptr;
    // One thread at a time uses a connection: SQLite need not lock it around every call.
    const int rc = sqlite3_open_v2(
        NomeParaSQLite(path_).c_str(), &raw,
        (escrita ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX,
        Arquivos().Vfs());
    db_.reset(raw);
    if (rc != SQLITE_OK) FalhaBanco(raw, path_);
    sqlite3* db = db_.get();
    // Another program's save is waited for, not taken for a failure, up to the bound of every wait.
    sqlite3_busy_handler(db, &TConexao::Ocupado, this);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    for (int opcao : {SQLITE_DBCONFIG_ENABLE_TRIGGER, SQLITE_DBCONFIG_ENABLE_VIEW,
                      SQLITE_DBCONFIG_TRUSTED_SCHEMA, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION,
                      SQLITE_DBCONFIG_ENABLE_FKEY}) {
        sqlite3_db_config(db, opcao, 0, nullptr);
    }
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaiorValor);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 1024 * 1024);
    sqlite3_limit(db, SQLITE_LIMIT_COLUMN, 500);
    sqlite3_limit(db, SQLITE_LIMIT_EXPR_DEPTH, 100);
    sqlite3_limit(db, SQLITE_LIMIT_COMPOUND_SELECT, 8);
    sqlite3_limit(db, SQLITE_LIMIT_FUNCTION_ARG, 8);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 100);
    sqlite3_limit(db, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
    sqlite3_progress_handler(db, kPassosEntreConferencias, &TConexao::Progresso, this);
    // Sorting and the like stay in memory: nothing of the slips reaches a shared temporary folder.
    if (sqlite3_exec(db, "PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr) != SQLITE_OK)
        FalhaBanco(db, path_);
    LimitaAoArquivo();
    ConfereEsquema();
}

int TConexao::Ocupado(void* conexao, int vezes) {
    auto* c = static_cast<TConexao*>(conexao);
    if (vezes == 0) c->espera_ = TEspera();
    return c->espera_.Pausa() ? 1 : 0;
}

int TConexao::Progresso(void* conexao) {
    auto* c = static_cast<TConexao*>(conexao);
    c->passos_ += kPassosEntreConferencias;
    return c->passos_ > c->limite_ ? 1 : 0;
}

void TConexao::LimitaAoArquivo(uint64_t extra) {
    passos_ = 0;
    limite_ = kPassosMinimos + kPassosPorByte * TamanhoDoArquivo(path_) + extra;
}

void TConexao::ConfereEsquema() {
    sqlite3* db = db_.get();
    bool campos = false, registros = false;
    std::vector<std::pair<std::string, std::string>> indices;  // name, table
    {
        Comando c = Preparar(db, "SELECT type, name, tbl_name, sql FROM sqlite_master", path_);
        int passo;
        int objetos = 0;
        while ((passo = sqlite3_step(c.get())) == SQLITE_ROW) {
            auto texto = [&](int col) {
                const char* p = reinterpret_cast<const char*>(sqlite3_column_text(c.get(), col));
                return std::string(p ? p : "");
            };
            const std::string tipo = texto(0), nome = texto(1), tabela = texto(2), sql = texto(3);
            if (++objetos > 32) Recusa(path_, "objetos demais no arquivo");
            const bool nossa = nome == "campos" || nome == "registros" || nome == "selo";
            if (tipo == "table") {
                if (nossa) {
                    if (!Comeca(sql, "CREATE TABLE"))
                        Recusa(path_, nome + " não é uma tabela comum");
                    campos = campos || nome == "campos";
                    registros = registros || nome == "registros";
                } else if (nome.rfind("sqlite_stat", 0) != 0 && nome != "sqlite_sequence") {
                    Recusa(path_, "a tabela " + nome + " não pertence a uma tabela do KOVA");
                }
            } else if (tipo == "index") {
                if (tabela != "campos" && tabela != "registros" && tabela != "selo") {
                    Recusa(path_, "o índice " + nome + " não pertence a uma tabela do KOVA");
                }
                // Those SQLite makes for a table's own constraints have no statement.
                if (sqlite3_column_type(c.get(), 3) != SQLITE_NULL)
                    indices.emplace_back(nome, tabela);
            } else if (tipo == "view") {
                Recusa(path_, nome + " é uma visão, não uma tabela");
            } else if (tipo == "trigger") {
                Recusa(path_, "o arquivo contém o gatilho " + nome);
            } else {
                Recusa(path_, "objeto desconhecido " + nome);
            }
        }
        if (passo != SQLITE_DONE) FalhaBanco(db, path_);
    }
    if (!campos) Recusa(path_, "falta a tabela campos");
    if (!registros) Recusa(path_, "falta a tabela registros");
    // Every column of the records is stored as it is: none computed when read. Asked by the pragma
    // itself (name in column 1, hidden in column 6): its table-valued form costs a virtual table
    // made and planned at every load of every table.
    {
        Comando c = Preparar(db, "PRAGMA table_xinfo('registros')", path_);
        int passo;
        while ((passo = sqlite3_step(c.get())) == SQLITE_ROW) {
            if (sqlite3_column_int(c.get(), 6) == 0) continue;
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(c.get(), 1));
            Recusa(path_, std::string("a coluna ") + (p ? p : "") + " de registros é calculada");
        }
        if (passo != SQLITE_DONE) FalhaBanco(db, path_);
    }
    // Indexes over columns as they are: nothing computed when a row is written.
    for (const auto& [indice, tabela] : indices) {
        Comando c =
            Preparar(db,
                     "SELECT (SELECT count(*) FROM pragma_index_xinfo(?1) WHERE cid = -2) + "
                     "(SELECT count(*) FROM pragma_index_list(?2) WHERE name = ?1 AND partial)",
                     path_);
        sqlite3_bind_text(c.get(), 1, indice.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(c.get(), 2, tabela.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(c.get()) != SQLITE_ROW) FalhaBanco(db, path_);
        if (sqlite3_column_int(c.get(), 0) != 0)
            Recusa(path_, "o índice " + indice + " calcula o que guarda");
    }
}

std::string Aspas(const std::string& nome) {
    std::string r = "\"";
    for (char c : nome) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

const char* TipoSQL(TFieldType t) {
    switch (t) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftBoolean:
            return "INTEGER";
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
            return "REAL";
        case TFieldType::ftGraphic:
            return "BLOB";
        default:
            return "TEXT";
    }
}

TValue LerValor(sqlite3_stmt* s, int col, const TField& f, const std::string& path,
                int64_t registro) {
    int tipo = sqlite3_column_type(s, col);
    if (tipo == SQLITE_NULL) return TValue{};
    // The column's text in place: a start reads a few of them for every slip.
    auto texto = [&] {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
        return std::string_view(p ? p : "", size_t(sqlite3_column_bytes(s, col)));
    };
    auto invalido = [&]() -> EDatabaseError {
        return EDatabaseError(NomeArquivo(path) + ": valor inválido no campo '" + f.FieldName() +
                              "' do registro " + std::to_string(registro));
    };
    switch (f.DataType()) {
        case TFieldType::ftString: {
            std::string_view t = texto();
            if (f.Size() > 0 && int(t.size()) > f.Size()) t = t.substr(0, size_t(f.Size()));
            return TValue(std::in_place_type<std::string>, t);
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
        std::string t = TextoDataHora(*p);
        return sqlite3_bind_text(s, col, t.data(), int(t.size()), SQLITE_TRANSIENT);
    }
    const auto& b = std::get<TBytes>(v);
    return sqlite3_bind_blob(s, col, b.data(), int(b.size()), SQLITE_TRANSIENT);
}

std::string IndiceResidentes(const std::vector<std::string>& residentes) {
    std::string colunas;
    for (const std::string& r : residentes) colunas += Aspas(r) + ", ";
    return "CREATE INDEX IF NOT EXISTS residentes ON registros(" + colunas + kColunaCrc + ")";
}

std::string CausaDaLeitura(sqlite3* db) {
    if (!db) return "memória insuficiente";
    const std::string mensagem = sqlite3_errmsg(db);
    auto depois = [&](const char* inicio) {
        return mensagem.substr(std::char_traits<char>::length(inicio));
    };
    switch (sqlite3_errcode(db) & 0xff) {
        case SQLITE_NOTADB:
            return "o arquivo não é uma tabela do KOVA (nem um banco de dados SQLite)";
        case SQLITE_CORRUPT:
            return "o arquivo está danificado";
        case SQLITE_CANTOPEN: {
            const int erro = sqlite3_system_errno(db);
            return "não foi possível abrir o arquivo" +
                   (erro ? " (" + DescricaoErroSistema(erro) + ")" : std::string());
        }
        case SQLITE_INTERRUPT:
            return "a leitura passou do trabalho que um arquivo deste tamanho pede e foi "
                   "interrompida";
        case SQLITE_TOOBIG:
            return "um valor do arquivo passa do tamanho permitido";
        case SQLITE_NOMEM:
            return "memória insuficiente";
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "o arquivo está em uso por outro programa";
        case SQLITE_IOERR:
            return "falha de leitura no disco";
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_READONLY:
            return "acesso negado";
        case SQLITE_ERROR:
            if (mensagem.rfind("no such table: ", 0) == 0) {
                return "o arquivo não é uma tabela do KOVA (falta a tabela " +
                       depois("no such table: ") + ")";
            }
            if (mensagem.rfind("no such column: ", 0) == 0) {
                return "o arquivo não é uma tabela do KOVA (falta a coluna " +
                       depois("no such column: ") + ")";
            }
            return "o arquivo não tem a forma de uma tabela do KOVA";
        default:
            return "falha do banco de dados (código " + std::to_string(sqlite3_errcode(db)) + ")";
    }
}

std::string CausaDaFalha(sqlite3* db) {
    if (!db) return "sem memória";
    // A file that cannot be made (the journal beside the file) says why in the system's terms.
    const int erro = sqlite3_system_errno(db);
    const bool naoCria = erro == EISDIR || erro == ENOTDIR || erro == ENOENT || erro == EACCES ||
                         erro == EPERM || erro == EROFS;
    switch (sqlite3_errcode(db) & 0xff) {
        case SQLITE_FULL:
            return "o disco está cheio";
        case SQLITE_IOERR:
            if (naoCria) return DescricaoErroSistema(erro);
            return "falha de gravação no disco (disco cheio ou com defeito)";
        case SQLITE_CANTOPEN:
            if (naoCria) return DescricaoErroSistema(erro);
            return "a pasta não permite gravar";
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return "a pasta não permite gravar";
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "o arquivo está em uso por outro programa";
        default:
            return "falha do banco de dados (código " + std::to_string(sqlite3_errcode(db)) + ")";
    }
}

uint32_t CrcDaLinha(const std::vector<TValue>& valores, const std::vector<int>& campos) {
    // Each value with its kind, separated by a byte no text of the system holds.
    std::string t;
    t.reserve(512);
    for (int c : campos) {
        const TValue& v = valores[size_t(c)];
        char numero[64];
        if (IsNull(v)) {
            t += 'N';
        } else if (auto p = std::get_if<std::string>(&v)) {
            t += 'S';
            t += *p;
        } else if (auto p = std::get_if<int32_t>(&v)) {
            t += 'I';
            t += std::to_string(*p);
        } else if (auto p = std::get_if<double>(&v)) {
            // The shortest text that reads back as the same number, whatever the locale.
            auto [fim, erro] = std::to_chars(numero, numero + sizeof numero, *p);
            t += 'F';
            t.append(numero, erro == std::errc() ? fim : numero);
        } else if (auto p = std::get_if<bool>(&v)) {
            t += *p ? "B1" : "B0";
        } else if (auto p = std::get_if<TDate>(&v)) {
            t += 'D';
            t += DataISO(*p);
        } else if (auto p = std::get_if<TDateTime>(&v)) {
            t += 'T';
            t += TextoDataHora(*p);
        } else {
            const auto& b = std::get<TBytes>(v);
            t += 'X';
            t.append(reinterpret_cast<const char*>(b.data()), b.size());
        }
        t += '\x1f';
    }
    return ~Crc32(0xFFFFFFFFu, t.data(), t.size());
}

}  // namespace kova::tabela
