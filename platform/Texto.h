#pragma once
// Text helpers for the system's Windows-1252 strings: one byte per character, upper and lower
// case that know the accented letters, trimming, case-insensitive comparison, and conversion to
// and from UTF-8 for the edges that speak it (Qt, the readable table sources).

#include <string>
#include <string_view>

namespace kova {

char UpperChar(char c);
char LowerChar(char c);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Whether a text lies in this program's read-only data (a literal of its own): the text at that
// address is then the same for as long as the program runs.
bool TextoFixo(const void* texto);

std::string Trim(std::string_view s);
// The same on a text that is no longer needed: trimmed where it stands, without a copy.
std::string Trim(std::string&& s);
inline std::string Trim(const char* s) { return Trim(std::string_view(s)); }
inline std::string Trim(const std::string& s) { return Trim(std::string_view(s)); }
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// <0, 0, >0 like strcmp, ignoring case (accented letters included).
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// Byte-wise comparison, <0, 0, >0.
int CompareStr(std::string_view a, std::string_view b);

bool StartsText(std::string_view prefix, std::string_view s);

// Windows-1252 <-> UTF-8. Characters that Windows-1252 lacks become "?".
std::string Cp1252ToUtf8(std::string_view s);
std::string Utf8ToCp1252(std::string_view s);
// Whether the bytes have the shape of UTF-8 (one to four bytes per character; overlong forms are
// not looked for). Text with accents written in Windows-1252 does not.
bool EhUtf8(std::string_view s);

}  // namespace kova
