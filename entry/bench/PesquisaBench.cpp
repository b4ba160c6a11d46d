// The search box's narrowing over many slips: one search over every slip kept, as each key typed
// runs it.
#include <benchmark/benchmark.h>

#include <string>

#include "PesquisaKOVA.h"
#include "TabelasDeTeste.h"

using namespace kova;

namespace {

void Pesquisa(benchmark::State& estado, const char* texto) {
    auto dm = teste::ModuloDeTeste();
    auto& k = dm->cdsKOVA;
    const int n = int(estado.range(0));
    for (int i = 0; i < n; ++i) {
        k.Append();
        k.FieldByName("UFFavorecida").SetAsString(i % 3 ? "SP" : "MG");
        k.FieldByName("CICContribuinte").SetAsString(std::to_string(10000000000000LL + i * 7919LL));
        k.FieldByName("RazaoSocial").SetAsString("EMPRESA " + std::to_string(i));
        k.FieldByName("Situacao").SetAsString("N");
        k.Post();
    }
    size_t achados = 0;
    for (auto _ : estado) achados = PesquisaKOVA(*dm, texto).size();
    estado.counters["achadas"] = double(achados);
}

BENCHMARK_CAPTURE(Pesquisa, cnpj, "10.000.079")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pesquisa, nome, "empresa 4242")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
