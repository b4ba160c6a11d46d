#include "Texto.h"

#include <array>
#include <cstdint>

#include "FaixasFixas.h"

namespace kova {
namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252 (0 where the byte is undefined).
constexpr std::array<char32_t, 32> kAlto = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool EhBranco(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

namespace {

char UpperCharCalculado(char ch) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 32);
    switch (c) {
        case 0x9A:
            return static_cast<char>(0x8A);  // š
        case 0x9C:
            return static_cast<char>(0x8C);  // œ
        case 0x9E:
            return static_cast<char>(0x8E);  // ž
        case 0xFF:
            return static_cast<char>(0x9F);  // ÿ
        default:
            return ch;
    }
}

struct TabelaMaiusculas {
    char c[256];
    TabelaMaiusculas() {
        for (int i = 0; i < 256; ++i) c[i] = UpperCharCalculado(static_cast<char>(i));
    }
};

const TabelaMaiusculas kMaiusculas;

}  // namespace

char UpperChar(char ch) { return kMaiusculas.c[static_cast<unsigned char>(ch)]; }

char LowerChar(char ch) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char>(c + 32);
    switch (c) {
        case 0x8A:
            return static_cast<char>(0x9A);
        case 0x8C:
            return static_cast<char>(0x9C);
        case 0x8E:
            return static_cast<char>(0x9E);
        case 0x9F:
            return static_cast<char>(0xFF);
        default:
            return ch;
    }
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = UpperChar(c);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = LowerChar(c);
    return r;
}

std::string TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && EhBranco(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && EhBranco(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

bool TextoFixo(const void* texto) {
    static const FaixasFixas faixas = LerFaixasFixas();
    const auto p = reinterpret_cast<uintptr_t>(texto);
    for (int i = 0; i < faixas.n; ++i) {
        if (p >= faixas.inicio[i] && p < faixas.fim[i]) return true;
    }
    return false;
}

std::string Trim(std::string_view s) {
    size_t i = 0, n = s.size();
    while (n > 0 && EhBranco(s[n - 1])) --n;
    while (i < n && EhBranco(s[i])) ++i;
    return std::string(s.substr(i, n - i));
}

std::string Trim(std::string&& s) {
    size_t i = 0, n = s.size();
    while (n > 0 && EhBranco(s[n - 1])) --n;
    while (i < n && EhBranco(s[i])) ++i;
    s.resize(n);
    s.erase(0, i);
    return std::move(s);
}

int CompareText(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(UpperChar(a[i]));
        auto y = static_cast<unsigned char>(UpperChar(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareStr(std::string_view a, std::string_view b) {
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool StartsText(std::string_view prefix, std::string_view s) {
    return s.size() >= prefix.size() && SameText(prefix, s.substr(0, prefix.size()));
}

std::string Cp1252ToUtf8(std::string_view s) {
    std::string r;
    r.reserve(s.size() + s.size() / 4);
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        char32_t cp = c;
        if (c >= 0x80 && c <= 0x9F) cp = kAlto[c - 0x80] ? kAlto[c - 0x80] : c;
        if (cp < 0x80) {
            r += static_cast<char>(cp);
        } else if (cp < 0x800) {
            r += static_cast<char>(0xC0 | (cp >> 6));
            r += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            r += static_cast<char>(0xE0 | (cp >> 12));
            r += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return r;
}

bool EhUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80             ? 1
                   : (c & 0xE0) == 0xC0 ? 2
                   : (c & 0xF0) == 0xE0 ? 3
                   : (c & 0xF8) == 0xF0 ? 4
                                        : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

std::string Utf8ToCp1252(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            r += '?';
            ++i;
            continue;
        }
        if (i + len > s.size()) {
            r += '?';
            break;
        }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            r += '?';
            ++i;
            continue;
        }
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            r += static_cast<char>(cp);
            continue;
        }
        char sub = '?';
        for (size_t k = 0; k < kAlto.size(); ++k) {
            if (kAlto[k] == cp) {
                sub = static_cast<char>(0x80 + k);
                break;
            }
        }
        r += sub;
    }
    return r;
}

}  // namespace kova
