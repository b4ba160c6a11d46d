#include "TabelaSQLite.h"

#include <cerrno>
#include <charconv>
#include <string_view>
#include <cstdio>

#include "Crc32.h"
#include "Diretorios.h"
#include "Errors.h"
#include "Texto.h"

namespace kova::tabela {
namespace {
std::string DataISO(TDate d) {
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02u-%02u", YearOf(d), MonthOf(d), DayOf(d));
    return b;
}

// The layout the files are written in, read without the cost of sscanf (a start reads one such
// date for every slip): "yyyy-mm-dd" and, for a date and time, " hh:nn:ss.zzz".
bool LerDataISORapido(std::string_view s, int& y, int& m, int& d, int& h, int& n, int& sec, int& ms) {
    auto num = [&s](size_t ini, size_t tam, int& v) {
        if (ini + tam > s.size()) return false;
        v = 0;
        for (size_t i = ini; i < ini + tam; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            v = v * 10 + (s[i] - '0');
        }
        return true;
    };
    if (!(num(0, 4, y) && s.size() >= 10 && s[4] == '-' && num(5, 2, m) && s[7] == '-' && num(8, 2, d))) return false;
    h = n = sec = ms = 0;
    if (s.size() == 10) return true;
    return s.size() == 23 && s[10] == ' ' && num(11, 2, h) && s[13] == ':' && num(14, 2, n) && s[16] == ':' &&
           num(17, 2, sec) && s[19] == '.' && num(20, 3, ms);
}

bool LerDataISO(std::string_view s, TDateTime& out) {
    int y, m, d, h = 0, n = 0, sec = 0, ms = 0;
    int lidos = LerDataISORapido(s, y, m, d, h, n, sec, ms)
                    ? 7
                    : std::sscanf(std::string(s).c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &m, &d, &h, &n, &sec, &ms);
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
    char b[40];
    std::snprintf(b, sizeof b, "%s %02lld:%02lld:%02lld.%03lld", DataISO(d).c_str(), ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
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

TValue LerValor(sqlite3_stmt* s, int col, const TField& f, const std::string& path, int64_t registro) {
    int tipo = sqlite3_column_type(s, col);
    if (tipo == SQLITE_NULL) return TValue{};
    // The column's text in place: a start reads a few of them for every slip.
    auto texto = [&] {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
        return std::string_view(p ? p : "", size_t(sqlite3_column_bytes(s, col)));
    };
    auto invalido = [&]() -> EDatabaseError {
        return EDatabaseError(NomeArquivo(path) + ": invalid value for field '" + f.FieldName() +
                              "' in record " + std::to_string(registro));
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

std::string CausaDaFalha(sqlite3* db) {
    if (!db) return "sem memória";
    // A file that cannot be made (the journal beside the file) says why in the system's terms.
    const int erro = sqlite3_system_errno(db);
    const bool naoCria = erro == EISDIR || erro == ENOTDIR || erro == ENOENT || erro == EACCES || erro == EPERM ||
                         erro == EROFS;
    switch (sqlite3_errcode(db) & 0xff) {
        case SQLITE_FULL: return "o disco está cheio";
        case SQLITE_IOERR:
            if (naoCria) return DescricaoErroSistema(erro);
            return "falha de gravação no disco (disco cheio ou com defeito)";
        case SQLITE_CANTOPEN:
            if (naoCria) return DescricaoErroSistema(erro);
            return "a pasta não permite gravar";
        case SQLITE_READONLY:
        case SQLITE_PERM: return "a pasta não permite gravar";
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return "o arquivo está em uso por outro programa";
        default: return "falha do banco de dados (código " + std::to_string(sqlite3_errcode(db)) + ")";
    }
}

uint32_t CrcDaLinha(const std::vector<TValue>& valores, const std::vector<int>& campos) {
    // Each value with its kind, separated by a byte no text of the system holds.
    std::string t;
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
