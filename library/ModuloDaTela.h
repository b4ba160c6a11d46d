#pragma once
// Loading the screen and printing module (Tela.h), shared by the library's hosted calls and by
// kovacli, which prints an import's slips through it: neither holds Qt nor the print system until
// it is loaded. The module is trusted as the state-registration component is: never through a
// link, never a file or folder another user could have written.

#include <string>

namespace kovadll {

struct TTela;

// The folder of the library or program that holds `endereco` (one of its functions), with its
// final "/"; empty when it cannot be told.
std::string PastaDoArquivoCom(const void* endereco);
// The folder of the engine library (libkovamotor.so); the module is beside it, or in the folder
// "kova" beside it, as installed.
std::string PastaDoMotor();

// The module's table, loaded from `pasta` or its folder "kova/" on the first call that finds it;
// null with the reason in `motivo`, and the next call tries again. Never unloaded: Qt cannot be.
const TTela* CarregaModuloDaTela(const std::string& pasta, std::string& motivo);

}  // namespace kovadll
