#pragma once
// The version of KOVA (programs, library, packages), set once in the build: the window, the About
// box, kovacli --versao and the package all say the same. The reference tables have their own
// version, kept in Controle.cds.

namespace kova {

// "1.1.0"
const char* VersaoKOVA();

}  // namespace kova
