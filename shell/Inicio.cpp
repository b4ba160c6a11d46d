#include "Inicio.h"

#include <cstring>

#include "Diretorios.h"

namespace kova {

std::unique_ptr<TDM> CriaModuloDeDados() {
    auto dm = std::make_unique<TDM>();
    // The desktop shows amounts without a currency symbol.
    FormatSettings().CurrencyString.clear();
    // The desktop writes the slips file: one such program at a time on a data directory.
    dm->Escritor = true;
    dm->DMCreate();
    if (dm->TerminacaoSolicitada) return nullptr;
    dm->GravarAposAlteracao = true;
    return dm;
}

bool ArgumentoDeImportacao(int argc, char** argv) {
    if (argc < 2 || !ExisteArquivoDisco(argv[1])) return false;
    return std::strcmp(argv[1], "C:\\Arquivos de Programas\\KOVA\\KOVA.exe") != 0 &&
           std::strcmp(argv[1], "C:\\Arquiv~1\\KOVA\\KOVA.exe") != 0;
}

}  // namespace kova
