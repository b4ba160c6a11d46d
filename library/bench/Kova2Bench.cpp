// Unattended requests through the exported kova2: valid 20-item ones, the same with a state
// registration, and ones refused at their first item; and the memory each stored slip keeps
// (resident size grown over many requests, divided by their number).
//
// By default the requests run on the library's test tables, one state and revenue; with
// --dados-distribuidos, on a copy of the shipped tables over twelve states and revenues, with a due
// date ahead of today so that the requests stay valid.

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

// The request of one state and revenue with its reference period (PMMAAAA) and due date
// (DD/MM/AAAA).
std::string Requisicao(const std::string& uf, const std::string& receita,
                       const std::string& referencia, const std::string& vencimento) {
    return "VERSAO=1;UFFAVORECIDA=" + uf + ";RECEITA=" + receita +
           ";CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM=1234567890;"
           "REFERENCIA=" +
           referencia +
           ";VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
           "DATAVENCIMENTO=" +
           vencimento +
           ";RAZAOSOCIAL=EMPRESA DE TESTE LTDA;ENDERECO=RUA DAS FLORES, 100;"
           "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37;TELEFONE=1999999999;CONVENIO=X;"
           "INFORMACOES=Y";
}

// States and revenues of the shipped tables with no rule of their own that a plain slip would
// break: periods of months, ten days and fortnights, several barcode layouts. The first twelve
// that take the slip are used (a rule may refuse a due date of some months).
constexpr size_t kParesUsados = 12;
const char* const kPares[][2] = {
    {"SP", "100013"}, {"AC", "100013"}, {"AL", "100021"}, {"BA", "100030"}, {"CE", "100072"},
    {"DF", "100099"}, {"ES", "100102"}, {"GO", "100013"}, {"MG", "100021"}, {"PA", "100072"},
    {"PE", "100099"}, {"PR", "100030"}, {"MT", "100013"}, {"MS", "100021"}, {"PB", "100030"},
    {"PI", "100099"}, {"RN", "100102"}, {"TO", "100013"}, {"SE", "100021"}, {"RO", "100030"},
};

bool dadosDistribuidos = false;
// One request of each state and revenue used, every one accepted.
std::vector<std::string> modelos;
// What a host sends: the requests of the states and revenues in turn, each for its own taxpayer
// (companies and persons alternately), as an office issuing slips for its clients sends them.
std::vector<std::string> requisicoes;
// The same requests with a state registration, and refused at their first item.
std::vector<std::string> comInscricao;
std::vector<std::string> recusadas;

// The two check digits of a CNPJ (12 digits) or a CPF (9 digits) appended.
std::string ComDigitos(std::string c) {
    const bool cnpj = c.size() == 12;
    const size_t tamanho = c.size() + 2;
    while (c.size() < tamanho) {
        const size_t n = c.size();
        int soma = 0;
        for (size_t i = 0; i < n; ++i) {
            const int peso = cnpj ? int((n - 1 - i) % 8 + 2) : int(n + 1 - i);
            soma += (c[i] - '0') * peso;
        }
        const int resto = soma % 11;
        c += char('0' + (resto < 2 ? 0 : 11 - resto));
    }
    return c;
}

std::string Digitos(uint64_t valor, int tamanho) {
    char texto[24];
    std::snprintf(texto, sizeof texto, "%0*llu", tamanho, static_cast<unsigned long long>(valor));
    return texto;
}

// A nine-digit state registration whose two check digits fit, taken in every state.
std::string Inscricao(uint64_t base) {
    std::string v = Digitos(base % 9000000 + 1000000, 7);
    int s1 = 0, s2 = 0;
    for (int i = 1; i <= 7; ++i) {
        s1 += (v[size_t(i - 1)] - '0') * (9 - i);
        s2 += (v[size_t(i - 1)] - '0') * (10 - i);
    }
    int r = s1 % 11;
    const int d1 = r < 2 ? 0 : 11 - r;
    r = (s2 + d1 * 2) % 11;
    const int d2 = r < 2 ? 0 : 11 - r;
    return v + std::to_string(d1) + std::to_string(d2);
}

// The last reply of Aceita.
char resposta[2048];

bool Aceita(const std::string& r) {
    std::snprintf(resposta, sizeof resposta, "%s", r.c_str());
    kova2(resposta);
    return std::strstr(resposta, ";Retorno=000;") != nullptr;
}

std::string Troca(std::string r, const std::string& de, const std::string& para) {
    const size_t pos = r.find(de);
    if (pos != std::string::npos) r.replace(pos, de.size(), para);
    return r;
}

void VariaContribuintes() {
    uint64_t x = 88172645463325252ULL;
    requisicoes.clear();
    comInscricao.clear();
    recusadas.clear();
    for (size_t i = 0; i < 1024 && !modelos.empty(); ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        const std::string cic = i % 2 == 0
                                    ? ComDigitos(Digitos(x % 900000000000ULL + 100000000000ULL, 12))
                                    : ComDigitos(Digitos(x % 900000000ULL + 100000000ULL, 9));
        const std::string r = Troca(modelos[i % modelos.size()], "CICCONTRIBUINTE=12345678000195",
                                    "CICCONTRIBUINTE=" + cic);
        requisicoes.push_back(r);
        comInscricao.push_back(r + ";INSCRICAOESTADUAL=" + Inscricao(x >> 20));
        // No state of that name: the check of the favoured state, the first item, refuses it.
        recusadas.push_back(Troca(r, "UFFAVORECIDA=", "UFFAVORECIDA=X"));
    }
}

// The shipped tables refuse a due date already past, a weekend or a holiday: the first working
// day from six weeks ahead (on the 16th to the 28th, after any period's end) that is accepted.
std::string RequisicaoDistribuida(const std::string& uf, const std::string& receita) {
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
        const std::string r = Requisicao(uf, receita, referencia, vencimento);
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
    modelos.clear();
    if (!dadosDistribuidos) {
        PreparaKovaIni(KOVA_DADOS_TESTE);
        modelos.push_back(Requisicao("SP", "100013", "1052009", "15/06/2009"));
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
    for (const auto& par : kPares) {
        if (modelos.size() == kParesUsados) break;
        const std::string r = RequisicaoDistribuida(par[0], par[1]);
        if (r.empty()) continue;
        modelos.push_back(r);
        std::fprintf(stderr, "%s %s ", par[0], par[1]);
    }
    std::fprintf(stderr, "\n");
    if (modelos.size() < kParesUsados) {
        std::fprintf(stderr, "only %zu states and revenues took a slip (the last reply: %s)\n",
                     modelos.size(), resposta);
        modelos.clear();
        return;
    }
    VariaContribuintes();
}

// Every request of the set gets the answer the case expects (this also creates the data module
// before timing); an empty text when they all do, else the first reply that did not.
std::string Confere(const std::vector<std::string>& pedidos, bool aceitas) {
    char buffer[2048];
    for (const std::string& r : pedidos) {
        std::strcpy(buffer, r.c_str());
        kova2(buffer);
        const bool aceita = std::strstr(buffer, ";Retorno=000;") != nullptr;
        if (aceita != aceitas) return buffer;
    }
    return {};
}

enum class Caso { Valida, ComInscricao, Recusada };

const std::vector<std::string>& Pedidos(Caso caso) {
    switch (caso) {
        case Caso::ComInscricao:
            return comInscricao;
        case Caso::Recusada:
            return recusadas;
        default:
            return requisicoes;
    }
}

void Kova2(benchmark::State& state, Caso caso) {
    Prepara();
    char buffer[2048];
    if (modelos.empty()) {
        state.SkipWithError("no due date ahead was accepted by the shipped tables");
        return;
    }
    const std::vector<std::string>& pedidos = Pedidos(caso);
    const std::string falha = Confere(pedidos, caso != Caso::Recusada);
    if (!falha.empty()) {
        state.SkipWithError(falha.c_str());
        return;
    }
    const long antes = Residente();
    size_t i = 0;
    for (auto _ : state) {
        std::strcpy(buffer, pedidos[i++ % pedidos.size()].c_str());
        kova2(buffer);
        benchmark::DoNotOptimize(buffer);
    }
    state.counters["pedidos/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    if (caso == Caso::Valida)
        state.counters["bytes/KOVA"] = double(Residente() - antes) / double(state.iterations());
}
// Five runs summed up by their median: the build machine is shared and its speed varies.
BENCHMARK_CAPTURE(Kova2, Valida, Caso::Valida)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(3.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(Kova2, ComInscricao, Caso::ComInscricao)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(3.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(Kova2, Recusada, Caso::Recusada)
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
    // --memoria, the resident memory after each tenth of them; --caso inscricao or recusada: the
    // requests with a state registration or refused at their first item instead of the valid ones.
    const char* pedidos = nullptr;
    const char* nomeCaso = nullptr;
    const bool memoria = TiraOpcao(argc, argv, "--memoria");
    Caso caso = Caso::Valida;
    if (TiraOpcao(argc, argv, "--caso", &nomeCaso)) {
        if (std::strcmp(nomeCaso, "inscricao") == 0) {
            caso = Caso::ComInscricao;
        } else if (std::strcmp(nomeCaso, "recusada") == 0) {
            caso = Caso::Recusada;
        } else if (std::strcmp(nomeCaso, "valida") != 0) {
            std::fprintf(stderr, "--caso: valida, inscricao or recusada\n");
            return 2;
        }
    }
    if (TiraOpcao(argc, argv, "--pedidos", &pedidos)) {
        Prepara();
        if (modelos.empty()) return 1;
        const std::vector<std::string>& lista = Pedidos(caso);
        const std::string falha = Confere(lista, caso != Caso::Recusada);
        if (!falha.empty()) {
            std::fprintf(stderr, "%s\n", falha.c_str());
            return 1;
        }
        char buffer[2048];
        const long n = std::atol(pedidos);
        for (long i = n; i > 0; --i) {
            if (memoria && n >= 10 && (n - i) % (n / 10) == 0) {
                std::printf("%ld pedidos: %.1f MB residentes\n", n - i, double(Residente()) / 1e6);
            }
            std::strcpy(buffer, lista[size_t(i) % lista.size()].c_str());
            kova2(buffer);
            if ((std::strstr(buffer, ";Retorno=000;") != nullptr) != (caso != Caso::Recusada)) {
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
