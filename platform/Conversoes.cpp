#include "Conversoes.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>

#include "Texto.h"

namespace kova {

using namespace std::chrono;

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

void DefinirFormatosRegionais() {
    TFormatSettings& f = FormatSettings();
    f.ShortDateFormat = "dd/mm/yyyy";
    f.ShortTimeFormat = "hh:nn:ss";
    f.DateSeparator = '/';
    f.TimeSeparator = ':';
    f.DecimalSeparator = ',';
    f.ThousandSeparator = '.';
}

TDate MakeDate(int year, unsigned month, unsigned day) {
    return sys_days(std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day));
}

TDateTime MakeDateTime(int year, unsigned month, unsigned day, unsigned h, unsigned n, unsigned s) {
    return TDateTime(MakeDate(year, month, day)) + hours(h) + minutes(n) + seconds(s);
}

TDate DateOf(TDateTime dt) { return floor<days>(dt); }

int YearOf(TDate d) { return int(year_month_day(d).year()); }
unsigned MonthOf(TDate d) { return unsigned(year_month_day(d).month()); }
unsigned DayOf(TDate d) { return unsigned(year_month_day(d).day()); }

int DayOfWeek(TDate d) { return int(weekday(d).c_encoding()) + 1; }

namespace {

std::string Dois(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02u", v % 100);
    return b;
}

// Reads an unsigned run of digits; returns false when there is none or it is too long.
bool LerNumero(std::string_view s, size_t& i, int maxDigitos, int& out) {
    size_t ini = i;
    long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        ++i;
        if (int(i - ini) > maxDigitos) return false;
    }
    if (i == ini) return false;
    out = int(v);
    return true;
}

bool DataValida(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    return year_month_day(std::chrono::year(y) / m / d).ok();
}

// Parses "d/m/y" at s[i..]; a two-digit year falls in the 50-year window around today.
bool LerData(std::string_view s, size_t& i, TDate& out) {
    const char sep = FormatSettings().DateSeparator;
    int d, m, y;
    if (!LerNumero(s, i, 2, d) || i >= s.size() || s[i] != sep) return false;
    ++i;
    if (!LerNumero(s, i, 2, m) || i >= s.size() || s[i] != sep) return false;
    ++i;
    size_t ini = i;
    if (!LerNumero(s, i, 4, y)) return false;
    if (i - ini <= 2) {
        int atual = YearOf(floor<days>(system_clock::now()));
        int seculo = atual - atual % 100;
        y += seculo;
        if (y > atual + 50) y -= 100;
        if (y <= atual - 50) y += 100;
    }
    if (!DataValida(y, m, d)) return false;
    out = MakeDate(y, unsigned(m), unsigned(d));
    return true;
}

}  // namespace

std::string DateToStr(TDate d) {
    year_month_day ymd(d);
    const char sep = FormatSettings().DateSeparator;
    const int ano = int(ymd.year());
    if (ano < 0 || ano > 9999) {
        char b[32];
        std::snprintf(b, sizeof b, "%02u%c%02u%c%04d", unsigned(ymd.day()), sep,
                      unsigned(ymd.month()), sep, ano);
        return b;
    }
    // Dates are written on every check of a slip: by hand, not through printf.
    const unsigned dia = unsigned(ymd.day()), mes = unsigned(ymd.month()), a = unsigned(ano);
    const char b[10] = {char('0' + dia / 10), char('0' + dia % 10),     sep,
                        char('0' + mes / 10), char('0' + mes % 10),     sep,
                        char('0' + a / 1000), char('0' + a / 100 % 10), char('0' + a / 10 % 10),
                        char('0' + a % 10)};
    return std::string(b, 10);
}

std::string TimeToStr(TDateTime dt) {
    auto t = dt - floor<days>(dt);
    hh_mm_ss<milliseconds> h(t);
    const char sep = FormatSettings().TimeSeparator;
    return Dois(unsigned(h.hours().count())) + sep + Dois(unsigned(h.minutes().count())) + sep +
           Dois(unsigned(h.seconds().count()));
}

std::string DateTimeToStr(TDateTime dt) {
    TDate d = DateOf(dt);
    if (dt == TDateTime(d)) return DateToStr(d);
    return DateToStr(d) + " " + TimeToStr(dt);
}

bool TryStrToDate(std::string_view text, TDate& out) {
    std::string s = Trim(text);
    size_t i = 0;
    TDate d;
    if (!LerData(s, i, d) || i != s.size()) return false;
    out = d;
    return true;
}

bool TryStrToDateTime(std::string_view text, TDateTime& out) {
    std::string s = Trim(text);
    size_t i = 0;
    TDate d;
    if (!LerData(s, i, d)) return false;
    TDateTime r(d);
    if (i < s.size()) {
        if (s[i] != ' ') return false;
        while (i < s.size() && s[i] == ' ') ++i;
        const char sep = FormatSettings().TimeSeparator;
        int h = 0, n = 0, sec = 0;
        if (!LerNumero(s, i, 2, h)) return false;
        if (i < s.size() && s[i] == sep) {
            ++i;
            if (!LerNumero(s, i, 2, n)) return false;
            if (i < s.size() && s[i] == sep) {
                ++i;
                if (!LerNumero(s, i, 2, sec)) return false;
            }
        }
        if (i != s.size() || h > 23 || n > 59 || sec > 59) return false;
        r += hours(h) + minutes(n) + seconds(sec);
    }
    out = r;
    return true;
}

std::string IntToStr(long long v) { return std::to_string(v); }

bool TryStrToInt(std::string_view text, int32_t& out) {
    std::string s = Trim(text);
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        neg = s[i] == '-';
        ++i;
    }
    if (i >= s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > 2147483648LL) return false;
    }
    if (neg) v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min()) {
        return false;
    }
    out = int32_t(v);
    return true;
}

std::string FloatToStr(double v) {
    // Amounts of whole cents are written without going through printf.
    if (std::fabs(v) < 1e13) {
        const long long centavos = std::llround(v * 100);
        if (double(centavos) / 100 == v) {
            const unsigned long long a =
                centavos < 0 ? 0ULL - (unsigned long long)centavos : (unsigned long long)centavos;
            std::string r = (centavos < 0 ? "-" : "") + std::to_string(a / 100);
            const unsigned frac = unsigned(a % 100);
            if (frac != 0) {
                r += FormatSettings().DecimalSeparator;
                r += char('0' + frac / 10);
                if (frac % 10) r += char('0' + frac % 10);
            }
            return r;
        }
    }
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    char b[64];
    std::snprintf(b, sizeof b, "%.15G", v);
    std::string s(b);
    std::string mant = s, exp;
    size_t e = s.find('E');
    if (e != std::string::npos) {
        mant = s.substr(0, e);
        int ev = std::atoi(s.c_str() + e + 1);
        exp = "E" + std::string(ev < 0 ? "-" : "") + std::to_string(std::abs(ev));
    }
    size_t p = mant.find('.');
    if (p != std::string::npos) {
        while (!mant.empty() && mant.back() == '0') mant.pop_back();
        if (!mant.empty() && mant.back() == '.') mant.pop_back();
        p = mant.find('.');
        if (p != std::string::npos) mant[p] = FormatSettings().DecimalSeparator;
    }
    if (mant == "-0") mant = "0";
    return mant + exp;
}

namespace {

constexpr double kPotenciasExatas[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A plain decimal of at most 15 digits: its digits as a whole number divided by a power of ten
// are both exact in a double, and the division rounds as strtod does. False when the text is
// anything else (an exponent, more digits, stray characters).
bool DecimalSimples(std::string_view text, char separador, double& out) {
    size_t i = 0, fim = text.size();
    while (fim > 0 && static_cast<unsigned char>(text[fim - 1]) <= ' ') --fim;
    while (i < fim && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negativo = false;
    if (i < fim && (text[i] == '-' || text[i] == '+')) negativo = text[i++] == '-';
    long long inteiro = 0;
    int digitos = 0, casas = 0;
    bool fracao = false, algum = false;
    for (; i < fim; ++i) {
        const char ch = text[i];
        if (ch >= '0' && ch <= '9') {
            algum = true;
            if (inteiro != 0 || ch != '0') ++digitos;
            if (digitos > 15) return false;
            inteiro = inteiro * 10 + (ch - '0');
            if (fracao) ++casas;
        } else if (ch == separador && !fracao) {
            fracao = true;
        } else {
            return false;
        }
    }
    if (!algum || casas > 22) return false;
    const double v = double(inteiro) / kPotenciasExatas[casas];
    out = negativo ? -v : v;
    return true;
}

}  // namespace

bool TryStrToFloat(std::string_view text, double& out) {
    if (DecimalSimples(text, FormatSettings().DecimalSeparator, out)) return true;
    std::string s = Trim(text);
    const char dec = FormatSettings().DecimalSeparator;
    std::string c;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) c += s[i++];
    bool digitos = false, ponto = false;
    for (; i < s.size(); ++i) {
        char ch = s[i];
        if (ch >= '0' && ch <= '9') {
            c += ch;
            digitos = true;
        } else if (ch == dec && !ponto) {
            c += '.';
            ponto = true;
        } else {
            break;
        }
    }
    if (!digitos) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        c += 'e';
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) c += s[i++];
        bool expDig = false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            c += s[i];
            expDig = true;
        }
        if (!expDig) return false;
    }
    if (i != s.size()) return false;
    char* end = nullptr;
    double v = std::strtod(c.c_str(), &end);
    if (end == nullptr || *end != '\0' || std::isinf(v)) return false;
    out = v;
    return true;
}

namespace {

// The digits of |x| at `casas` decimals, read from its shortest decimal text (the text a person
// typed, for a number read from text): 9,995 is 9.99499... in binary and still rounds to 10,00.
// Half up when `arredondar`, otherwise the further decimals are cut. False when x is not finite.
bool DigitosDecimais(double x, int casas, bool arredondar, std::string& inteiro,
                     std::string& fracao) {
    if (!std::isfinite(x)) return false;
    char b[400];
    const auto [fim, erro] = std::to_chars(b, b + sizeof b, std::fabs(x), std::chars_format::fixed);
    if (erro != std::errc()) return false;
    const std::string_view texto(b, size_t(fim - b));
    const size_t ponto = texto.find('.');
    inteiro.assign(texto.substr(0, ponto));
    const std::string_view resto =
        ponto == std::string_view::npos ? std::string_view() : texto.substr(ponto + 1);
    fracao.assign(resto.substr(0, size_t(casas)));
    fracao.resize(size_t(casas), '0');
    if (arredondar && resto.size() > size_t(casas) && resto[size_t(casas)] >= '5') {
        // Carry one through the fraction and then the whole part.
        int i = casas - 1;
        for (; i >= 0 && fracao[size_t(i)] == '9'; --i) fracao[size_t(i)] = '0';
        if (i >= 0) {
            ++fracao[size_t(i)];
        } else {
            int j = int(inteiro.size()) - 1;
            for (; j >= 0 && inteiro[size_t(j)] == '9'; --j) inteiro[size_t(j)] = '0';
            if (j >= 0) {
                ++inteiro[size_t(j)];
            } else {
                inteiro.insert(inteiro.begin(), '1');
            }
        }
    }
    return true;
}

}  // namespace

std::string FormatFloat(std::string_view pattern, double v) {
    // A pattern of zeros alone on a small whole number (day and month labels) needs no printf.
    if (!pattern.empty() && pattern.size() <= 18 &&
        pattern.find_first_not_of('0') == std::string_view::npos && v >= 0 && v < 1e15 &&
        v == std::trunc(v)) {
        std::string r = std::to_string(static_cast<long long>(v));
        if (r == "0") r.clear();
        if (r.size() < pattern.size()) r.insert(0, pattern.size() - r.size(), '0');
        return r;
    }
    std::string p(pattern.substr(0, pattern.find(';')));
    size_t dp = p.find('.');
    std::string inteira = p.substr(0, dp);
    std::string frac = dp == std::string::npos ? "" : p.substr(dp + 1);
    bool milhar = inteira.find(',') != std::string::npos;
    int fracMin = 0, fracMax = 0;
    for (char c : frac) {
        if (c == '0') ++fracMin, ++fracMax;
        if (c == '#') ++fracMax;
    }
    int minInt = 0;
    bool zeroVisto = false;
    for (char c : inteira) {
        if (c == '0') zeroVisto = true;
        if (zeroVisto && (c == '0' || c == '#')) ++minInt;
    }

    std::string digInt, digFrac;
    if (!DigitosDecimais(v, fracMax, true, digInt, digFrac)) {
        char b[512];
        std::snprintf(b, sizeof b, "%.*f", fracMax, std::fabs(v));
        std::string num(b);
        digInt = num.substr(0, num.find('.'));
        digFrac = num.find('.') == std::string::npos ? "" : num.substr(num.find('.') + 1);
    }
    while (int(digFrac.size()) > fracMin && !digFrac.empty() && digFrac.back() == '0') {
        digFrac.pop_back();
    }
    bool negativo = v < 0 && (digInt.find_first_not_of('0') != std::string::npos ||
                              digFrac.find_first_not_of('0') != std::string::npos);
    size_t nz = digInt.find_first_not_of('0');
    digInt = nz == std::string::npos ? "" : digInt.substr(nz);
    while (int(digInt.size()) < minInt) digInt.insert(digInt.begin(), '0');

    std::string parteInt;
    const char sepMil = FormatSettings().ThousandSeparator;
    if (milhar) {
        std::string prefixo, sufixo;
        size_t a = inteira.find_first_of("0#,");
        size_t z = inteira.find_last_of("0#,");
        if (a != std::string::npos) {
            prefixo = inteira.substr(0, a);
            sufixo = inteira.substr(z + 1);
        }
        std::string g;
        int n = int(digInt.size());
        for (int i = 0; i < n; ++i) {
            g += digInt[i];
            int resto = n - 1 - i;
            if (resto > 0 && resto % 3 == 0) g += sepMil;
        }
        parteInt = prefixo + g + sufixo;
    } else {
        // Digits fill the placeholders from the right; literals stay where they stand and any
        // extra digits go before the leftmost placeholder.
        int k = int(digInt.size()) - 1;
        std::string r;
        int primeiro = -1;
        for (int i = int(inteira.size()) - 1; i >= 0; --i) {
            char c = inteira[i];
            if (c == '0' || c == '#') {
                primeiro = i;
                if (k >= 0) r.insert(r.begin(), digInt[k--]);
            } else {
                r.insert(r.begin(), c);
            }
        }
        if (k >= 0) {
            std::string resto = digInt.substr(0, size_t(k + 1));
            size_t pos = 0;
            for (int i = 0; i < primeiro; ++i) {
                char c = inteira[i];
                if (c != '0' && c != '#') ++pos;
            }
            r.insert(pos, resto);
        }
        parteInt = r;
    }
    std::string r = (negativo ? "-" : "") + parteInt;
    if (!digFrac.empty()) r += FormatSettings().DecimalSeparator + digFrac;
    return r;
}

std::string FormatarMoeda(double valor) {
    std::string numero = FormatFloat("#,##0.00", valor);
    const std::string& simbolo = FormatSettings().CurrencyString;
    if (simbolo.empty()) return numero;
    if (!numero.empty() && numero[0] == '-') return "-" + simbolo + " " + numero.substr(1);
    return simbolo + " " + numero;
}

double Arredonda(int n, double x) {
    // Almost every value is decided by its binary digits alone: only a remainder within the
    // binary error of one half (or, below zero, of a whole number) needs the decimal text.
    if (n >= 0 && n <= 15 && std::isfinite(x) && std::fabs(x * kPotenciasExatas[n]) < 1e9) {
        const double f = kPotenciasExatas[n];
        const double xf = x * f;
        const double tolerancia = 1e-6;  // well above the binary error of a product below 1e9
        if (x >= 0) {
            const double inteiro = std::floor(xf);
            const double resto = xf - inteiro;
            if (std::fabs(resto - 0.5) > tolerancia)
                return (resto > 0.5 ? inteiro + 1 : inteiro) / f;
        } else {
            const double inteiro = std::trunc(xf);
            const double resto = inteiro - xf;  // 0 to 1, toward minus infinity
            if (resto > tolerancia && resto < 1 - tolerancia) return inteiro / f;
        }
    }
    std::string inteiro, fracao;
    if (n < 0 || n > 15 || !DigitosDecimais(x, n, x >= 0, inteiro, fracao)) {
        const double f = std::pow(10.0, n);
        const double xf = x * f;
        double parte = std::trunc(xf);
        if (xf - parte >= 0.5) parte += 1;
        return parte / f;
    }
    std::string texto = (x < 0 ? "-" : "") + inteiro;
    if (n > 0) texto += "." + fracao;
    double r = x;
    std::from_chars(texto.data(), texto.data() + texto.size(), r);
    return r;
}

double ArredondaValor(double v) { return v >= 0 ? Arredonda(2, v) : v; }

}  // namespace kova
