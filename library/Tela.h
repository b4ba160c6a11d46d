#pragma once
// What the screen and printing module (libkovadll_tela.so, made with Qt) offers the library. The
// library loads it on the first call that shows the screen or prints, so that a host that only
// sends unattended requests never loads Qt nor the print system. Both are built together: the
// table has no version of its own.

#include <cstddef>
#include <string>

namespace kova {
class TSaidaImpressao;
}

namespace kovadll {

struct TTela {
    bool (*Teste)();
    bool (*Kova)(const char* requisicao, const char** resposta, size_t* tamanho);
    bool (*Imprime)(const char* texto1, const char* texto2, const char* texto3);
    void (*DefineRoteiro)(const char* texto);
    const char* (*Relato)();
    // One PDF file for a whole run of a program without a screen (kovacli incorporar), made with
    // an application that needs no display; null with the reason in `erro`. The caller owns it.
    kova::TSaidaImpressao* (*SaidaPDF)(const char* caminho, std::string* erro);
};

}  // namespace kovadll

// The module's one export: its table, the same for the life of the process.
#define KOVA_TELA_ENTRADA "kova_tela"
extern "C" const kovadll::TTela* kova_tela();
