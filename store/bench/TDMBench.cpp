// Timings of the data module on the shipped tables: creating it (configuration and the load of
// the twelve files) and writing the slips file with 10,000 slips (and 100,000).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "Clock.h"
#include "Dialogs.h"
#include "InstalacaoDeBench.h"
#include "TDM.h"

using namespace kova;

namespace {

using bench::Instalacao;

void AcrescentaKOVAs(TDM& dm, int64_t quantas) {
    for (int64_t i = 0; i < quantas; ++i) {
        dm.cdsKOVA.Append();
        dm.CriandoRegistro = true;
        dm.cdsKOVA.FieldByName("UFFavorecida").SetAsString("SP");
        dm.cdsKOVA.FieldByName("Receita").SetAsString("100048");
        dm.cdsKOVA.FieldByName("CICContribuinte").SetAsString("12345678000195");
        dm.cdsKOVA.FieldByName("RazaoSocial").SetAsString("EMPRESA DE TESTE LTDA");
        dm.cdsKOVA.FieldByName("Endereco").SetAsString("RUA DAS FLORES, 100");
        dm.cdsKOVA.FieldByName("ValorPrincipal").SetAsFloat(1234.56);
        dm.CriandoRegistro = false;
        dm.cdsKOVA.Post();
    }
}

// The data module on the shipped tables, with a slips file of 0, 10,000 or 100,000 slips.
void CriarDM(benchmark::State& state) {
    Instalacao inst;
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    if (state.range(0) > 0) {
        TDM dm;
        dm.DirPrograma = inst.raiz + "programa/";
        dm.DMCreate();
        AcrescentaKOVAs(dm, state.range(0));
        dm.SalvarKOVA();
    }
    for (auto _ : state) {
        TDM dm;
        dm.DirPrograma = inst.raiz + "programa/";
        dm.DMCreate();
        if (dm.TerminacaoSolicitada) state.SkipWithError("load failed");
    }
}
BENCHMARK(CriarDM)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void GravarKOVAs(benchmark::State& state) {
    Instalacao inst;
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    TDM dm;
    dm.DirPrograma = inst.raiz + "programa/";
    dm.DMCreate();
    AcrescentaKOVAs(dm, state.range(0));
    for (auto _ : state) dm.SalvarKOVA();
}
// 10,000 slips, and ten times as many to show how it grows.
BENCHMARK(GravarKOVAs)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
