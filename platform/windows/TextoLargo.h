#pragma once
// The system's texts are Windows-1252 whatever the code page of the machine: the Windows API gets
// them in their wide form, and what it gives back wide is read in the same code page.

#include <windows.h>

#include <string>
#include <string_view>

namespace kova {

inline std::wstring Largo(std::string_view texto) {
    if (texto.empty()) return {};
    const int n = MultiByteToWideChar(1252, 0, texto.data(), int(texto.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(1252, 0, texto.data(), int(texto.size()), w.data(), n);
    return w;
}

inline std::string Estreito(std::wstring_view texto) {
    if (texto.empty()) return {};
    const int n =
        WideCharToMultiByte(1252, 0, texto.data(), int(texto.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(1252, 0, texto.data(), int(texto.size()), s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace kova
