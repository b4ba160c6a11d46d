// Slips rendered to PDF: each slip laid out in its three copies and painted into one PDF file, as
// an import's print run without a printer does; 100 and 1,000 slips show how it grows.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <memory>
#include <string>

#include "Dialogs.h"
#include "PintorQt.h"
#include "TabelasDeTeste.h"
#include "TqrpKOVA.h"

using namespace kova;

namespace {

void KOVAsEmPDF(benchmark::State& state) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    auto dm = teste::ModuloDeTeste();
    // Slips of different taxpayers and amounts, as a print run has them: each its own barcode.
    TDataSet& k = dm->cdsKOVA;
    for (int64_t i = 0; i < state.range(0); ++i) {
        k.Append();
        teste::PreencheKOVAValida(*dm);
        dm->CriandoRegistro = true;
        k.FieldByName("ValorPrincipal").SetAsFloat(100 + double(i));
        k.FieldByName("TotalRecolher").SetAsFloat(100 + double(i));
        k.FieldByName("RazaoSocial").SetAsString("EMPRESA DE TESTE " + std::to_string(i) + " LTDA");
        dm->CriandoRegistro = false;
        k.Post();
    }
    TqrpKOVA relatorio;
    const std::string caminho = "/tmp/kova-bench-" + std::to_string(state.range(0)) + ".pdf";
    for (auto _ : state) {
        TArquivoPDF pdf(caminho);
        k.First();
        for (int64_t i = 0; i < state.range(0); ++i, k.Next()) pdf.Acrescenta(relatorio.Executa(3));
        pdf.Conclui();
    }
    state.counters["KOVA/s"] = benchmark::Counter(double(state.iterations() * state.range(0)),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(KOVAsEmPDF)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
