// The entry screen on the shipped tables, as a person opens it: the screen made and shown with a
// new slip, then a new slip begun again (the "Nova" button, Alt+N) after the first is undone.
// Run under callgrind with --toggle-collect on AbreATela or on NovaKOVA for their instructions;
// alone, it prints their times.

#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "FrmDigitar.h"
#include "InstalacaoDeBench.h"
#include "TDM.h"
#include "TfrmDigitar.h"

using namespace kova;

namespace {

using bench::Instalacao;

struct TTela {
    std::unique_ptr<TfrmDigitar> form;
    std::unique_ptr<FrmDigitar> tela;
};

__attribute__((noinline)) void AbreATela(TDM& dm, TTela& t) {
    t.form = std::make_unique<TfrmDigitar>(dm);
    t.tela = std::make_unique<FrmDigitar>(*t.form, dm);
    t.tela->IniciarNovaKOVA();
    QApplication::processEvents();
}

__attribute__((noinline)) void NovaKOVA(TTela& t) {
    t.tela->Controle<QAbstractButton>("btnIncluir")->click();
    QApplication::processEvents();
}

double Segundos(std::chrono::steady_clock::time_point desde) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - desde).count();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Instalacao inst;
    setenv("KOVA_SYSDIR", (inst.raiz + "windows").c_str(), 1);
    QApplication app(argc, argv);
    TDM dm;
    dm.DirPrograma = inst.raiz + "programa/";
    dm.DMCreate();
    if (dm.TerminacaoSolicitada) {
        std::fprintf(stderr, "as tabelas não carregaram\n");
        return 1;
    }
    TTela t;
    auto inicio = std::chrono::steady_clock::now();
    AbreATela(dm, t);
    std::printf("abrir a tela: %.1f ms\n", Segundos(inicio) * 1000);
    for (int i = 0; i < 3; ++i) {
        // The slip begun is undone, with nothing typed in it: no question is asked.
        t.tela->Controle<QAbstractButton>("btnDesfazer")->click();
        QApplication::processEvents();
        inicio = std::chrono::steady_clock::now();
        NovaKOVA(t);
        std::printf("nova KOVA: %.1f ms\n", Segundos(inicio) * 1000);
    }
    t.tela.reset();
    t.form.reset();
    return 0;
}
