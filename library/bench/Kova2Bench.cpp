// Valid 20-item unattended requests through the exported kova2, and the memory each stored slip
// keeps (resident size grown over many requests, divided by their number).

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "KovaIniDeTeste.h"
#include "kovadll.h"

namespace {

const char* kRequisicao =
    "VERSAO=1;UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM=1234567890;"
    "REFERENCIA=1052009;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
    "DATAVENCIMENTO=15/06/2009;RAZAOSOCIAL=EMPRESA DE TESTE LTDA;ENDERECO=RUA DAS FLORES, 100;"
    "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37;TELEFONE=1999999999;CONVENIO=X;INFORMACOES=Y";

long Residente() {
    std::ifstream statm("/proc/self/statm");
    long total = 0, residente = 0;
    statm >> total >> residente;
    return residente * sysconf(_SC_PAGESIZE);
}

void Prepara() {
    static bool feito = false;
    if (feito) return;
    PreparaKovaIni(KOVA_DADOS_TESTE);
    feito = true;
}

void Kova2Valida(benchmark::State& state) {
    Prepara();
    char buffer[2048];
    std::strcpy(buffer, kRequisicao);
    kova2(buffer);  // creates the data module before timing
    if (std::strstr(buffer, ";Retorno=000;") == nullptr) state.SkipWithError(buffer);
    const long antes = Residente();
    for (auto _ : state) {
        std::strcpy(buffer, kRequisicao);
        kova2(buffer);
        benchmark::DoNotOptimize(buffer);
    }
    state.counters["pedidos/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/KOVA"] = double(Residente() - antes) / double(state.iterations());
}
BENCHMARK(Kova2Valida)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
