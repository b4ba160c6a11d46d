// What a person's actions cost as the slips file grows, measured inside the real program's code on
// a data directory made by the import (bench/volume.py drives it and tells the figures):
//
//   kova_volume_bench inicio PASTA    the desktop's start up to its main window on screen
//   kova_volume_bench salvar PASTA    the desktop loaded, then one slip marked printed and saved
//   kova_volume_bench remover PASTA   the desktop loaded, every slip marked printed (one save),
//                                     then "Remover KOVA impressas" of them all
//
// PASTA holds Config.ini naming the data directory. For salvar and remover the process prints one
// line "cpu=<s> escrito=<bytes>": the CPU and the bytes written of the action alone; for inicio,
// the CPU, peak memory and bytes written of the process when its main window is up.

#include <sys/resource.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "Clock.h"
#include "Dialogs.h"
#include "FrmPrincipal.h"
#include "Inicio.h"
#include "TDM.h"
#include "TqrpKOVA.h"
#include "Utilitarios.h"

using namespace kova;

namespace {

double Cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Bytes the process has handed to write calls so far.
long long Escrito() {
    std::ifstream io("/proc/self/io");
    std::string chave;
    long long valor = 0;
    while (io >> chave >> valor) {
        if (chave == "wchar:") return valor;
    }
    return 0;
}

// Every dialog answered as a person who goes on would answer it.
class Adiante : public IDialogService {
public:
    TModalResult MessageDlg(const std::string&, TMsgDlgType, TMsgDlgButtons botoes) override {
        return botoes == TMsgDlgButtons::mbOK ? TModalResult::mrOk : TModalResult::mrYes;
    }
    bool Executar(const TPedidoDialogo&) override { return false; }
    bool AbrirEndereco(const std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "uso: %s inicio|salvar|remover PASTA\n", argv[0]);
        return 2;
    }
    const std::string acao = argv[1];
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Adiante dialogos;
    ScopedDialogService servico(dialogos);
    TDM* criado = nullptr;
    std::unique_ptr<TDM> dm;
    {
        // The module reads Config.ini beside the program: here, the folder given.
        dm = std::make_unique<TDM>();
        dm->DirPrograma = std::string(argv[2]) + "/";
        FormatSettings().CurrencyString.clear();
        dm->Escritor = true;
        dm->DMCreate();
        if (dm->TerminacaoSolicitada) return 1;
        dm->GravarAposAlteracao = true;
        criado = dm.get();
    }
    if (acao == "inicio") {
        TqrpKOVA relatorio;
        FrmPrincipal principal(relatorio);
        principal.show();
        app.processEvents();
        // The start ends with the main window on screen; the end of the program is another cost.
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        std::printf("cpu=%.6f memoria=%ld escrito=%lld\n", Cpu(), u.ru_maxrss, Escrito());
        std::fflush(stdout);
        std::_Exit(0);
    }
    TDataSet& k = criado->cdsKOVA;
    k.SetFiltered(false);
    if (acao == "salvar") {
        const double cpu = Cpu();
        const long long escrito = Escrito();
        k.Last();
        criado->MarcaImpressa();
        std::printf("cpu=%.6f escrito=%lld\n", Cpu() - cpu, Escrito() - escrito);
        return 0;
    }
    if (acao == "remover") {
        {
            TDM::TAdiaGravacao umaGravacao(*criado);
            for (k.First(); !k.Eof(); k.Next()) criado->MarcaImpressa();
        }
        const double cpu = Cpu();
        const long long escrito = Escrito();
        const TResultadoRemocao r = RemoverKOVAImpressas(*criado, Clock::Today());
        std::printf("cpu=%.6f escrito=%lld removidas=%d\n", Cpu() - cpu, Escrito() - escrito,
                    r.removidas);
        return 0;
    }
    return 2;
}
