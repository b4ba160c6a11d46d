// Valid 20-item unattended requests through the exported kova2, and the memory each stored slip
// keeps (resident size grown over many requests, divided by their number).
//
// By default the requests run on the library's test tables; with --dados-distribuidos, on a copy of
// the shipped tables, with a due date ahead of today so that the request stays valid.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KovaIniDeTeste.h"
#include "kovadll.h"

namespace {

// The request with its reference period (PMMAAAA) and due date (DD/MM/AAAA).
std::string Requisicao(const std::string& referencia, const std::string& vencimento) {
    return "VERSAO=1;UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM="
           "1234567890;"
           "REFERENCIA=" +
           referencia +
           ";VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
           "DATAVENCIMENTO=" +
           vencimento +
           ";RAZAOSOCIAL=EMPRESA DE TESTE LTDA;ENDERECO=RUA DAS FLORES, 100;"
           "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37;TELEFONE=1999999999;CONVENIO=X;"
           "INFORMACOES=Y";
}

bool dadosDistribuidos = false;
std::string requisicao;
// The same request for distinct taxpayers, as a company issuing slips in bulk sends them: each
// stored slip then takes its own place in the taxpayer index.
std::vector<std::string> requisicoes;

std::string Cnpj(uint64_t base) {
    char texto[16];
    std::snprintf(texto, sizeof texto, "%012llu",
                  static_cast<unsigned long long>(base % 1000000000000ULL));
    std::string c = texto;
    for (int n : {12, 13}) {
        int soma = 0;
        for (int i = 0; i < n; ++i) soma += (c[size_t(i)] - '0') * ((n - 1 - i) % 8 + 2);
        const int resto = soma % 11;
        c += char('0' + (resto < 2 ? 0 : 11 - resto));
    }
    return c;
}

void VariaContribuintes() {
    const std::string modelo = "CICCONTRIBUINTE=12345678000195";
    const size_t pos = requisicao.find(modelo);
    uint64_t x = 88172645463325252ULL;
    requisicoes.clear();
    for (int i = 0; i < 1024 && pos != std::string::npos; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::string r = requisicao;
        r.replace(pos, modelo.size(),
                  "CICCONTRIBUINTE=" + Cnpj(x % 900000000000ULL + 100000000000ULL));
        requisicoes.push_back(std::move(r));
    }
    if (requisicoes.empty()) requisicoes.push_back(requisicao);
}

bool Aceita(const std::string& r) {
    char buffer[2048];
    std::snprintf(buffer, sizeof buffer, "%s", r.c_str());
    kova2(buffer);
    return std::strstr(buffer, ";Retorno=000;") != nullptr;
}

// The shipped tables refuse a due date already past, a weekend or a holiday: the first working
// day from six weeks ahead (on the 16th to the 28th, after any period's end) that is accepted.
std::string RequisicaoDistribuida() {
    using namespace std::chrono;
    const sys_days hoje = floor<days>(system_clock::now());
    for (int d = 42; d < 42 + 120; ++d) {
        const year_month_day data{hoje + days(d)};
        if (unsigned(data.day()) < 16 || unsigned(data.day()) > 28) continue;
        char vencimento[16], referencia[16];
        std::snprintf(vencimento, sizeof vencimento, "%02u/%02u/%04d", unsigned(data.day()),
                      unsigned(data.month()), int(data.year()));
        std::snprintf(referencia, sizeof referencia, "1%02u%04d", unsigned(data.month()),
                      int(data.year()));
        const std::string r = Requisicao(referencia, vencimento);
        if (Aceita(r)) return r;
    }
    return {};
}

long Residente() {
    std::ifstream statm("/proc/self/statm");
    long total = 0, residente = 0;
    statm >> total >> residente;
    return residente * sysconf(_SC_PAGESIZE);
}

void Prepara() {
    static bool feito = false;
    if (feito) return;
    feito = true;
    if (!dadosDistribuidos) {
        PreparaKovaIni(KOVA_DADOS_TESTE);
        requisicao = Requisicao("1052009", "15/06/2009");
        VariaContribuintes();
        return;
    }
    // A copy: the shipped directory stays as it was built.
    char modelo[] = "/tmp/kova-dados-XXXXXX";
    const char* dir = mkdtemp(modelo);
    if (!dir) abort();
    const std::string copia = std::string(dir) + "/Dados/";
    std::filesystem::copy(KOVA_DADOS_DISTRIBUIDOS, copia, std::filesystem::copy_options::recursive);
    PreparaKovaIni(copia);
    requisicao = RequisicaoDistribuida();
    VariaContribuintes();
}

void Kova2Valida(benchmark::State& state) {
    Prepara();
    char buffer[2048];
    if (requisicao.empty()) {
        state.SkipWithError("no due date ahead was accepted by the shipped tables");
        return;
    }
    // Every taxpayer's request is accepted (this also creates the data module before timing).
    for (const std::string& r : requisicoes) {
        std::strcpy(buffer, r.c_str());
        kova2(buffer);
        if (std::strstr(buffer, ";Retorno=000;") == nullptr) {
            state.SkipWithError(buffer);
            return;
        }
    }
    const long antes = Residente();
    size_t i = 0;
    for (auto _ : state) {
        std::strcpy(buffer, requisicoes[i++ % requisicoes.size()].c_str());
        kova2(buffer);
        benchmark::DoNotOptimize(buffer);
    }
    state.counters["pedidos/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/KOVA"] = double(Residente() - antes) / double(state.iterations());
}
// Five runs summed up by their median: the build machine is shared and its speed varies.
BENCHMARK(Kova2Valida)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(3.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

// Takes an option of this program (and its value, when it has one) out of the arguments.
bool TiraOpcao(int& argc, char** argv, const char* nome, const char** valor = nullptr) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], nome) != 0) continue;
        const int n = valor ? 2 : 1;
        if (i + n > argc) return false;
        if (valor) *valor = argv[i + 1];
        for (int j = i; j + n < argc; ++j) argv[j] = argv[j + n];
        argc -= n;
        return true;
    }
    return false;
}

int main(int argc, char** argv) {
    dadosDistribuidos = TiraOpcao(argc, argv, "--dados-distribuidos");
    // --pedidos N: just N requests, untimed, for an instruction count under callgrind; with
    // --memoria, the resident memory after each tenth of them.
    const char* pedidos = nullptr;
    const bool memoria = TiraOpcao(argc, argv, "--memoria");
    if (TiraOpcao(argc, argv, "--pedidos", &pedidos)) {
        Prepara();
        if (requisicao.empty()) return 1;
        char buffer[2048];
        const long n = std::atol(pedidos);
        for (long i = n; i > 0; --i) {
            if (memoria && n >= 10 && (n - i) % (n / 10) == 0) {
                std::printf("%ld pedidos: %.1f MB residentes\n", n - i, double(Residente()) / 1e6);
            }
            std::strcpy(buffer, requisicoes[size_t(i) % requisicoes.size()].c_str());
            kova2(buffer);
            if (std::strstr(buffer, ";Retorno=000;") == nullptr) {
                std::fprintf(stderr, "%s\n", buffer);
                return 1;
            }
        }
        if (memoria) std::printf("%ld pedidos: %.1f MB residentes\n", n, double(Residente()) / 1e6);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
