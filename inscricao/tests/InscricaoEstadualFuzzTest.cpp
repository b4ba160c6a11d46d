#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../InscricaoEstadual.h"

namespace {

// Each text lives in a buffer of exactly its size, so that reading one byte past its end is
// caught by AddressSanitizer.
int32_t Chamar(const std::string& ie, const std::string& uf) {
    std::unique_ptr<char[]> a(new char[ie.size() + 1]);
    std::unique_ptr<char[]> b(new char[uf.size() + 1]);
    std::copy(ie.begin(), ie.end(), a.get());
    a[ie.size()] = '\0';
    std::copy(uf.begin(), uf.end(), b.get());
    b[uf.size()] = '\0';
    return ConsisteInscricaoEstadual(a.get(), b.get());
}

TEST(InscricaoFuzz, UmMilhaoDeChamadasGeradasSemFalha) {
    const char* estados[] = {"AC", "AL", "AP", "AM", "BA", "CE", "DF", "ES", "GO",  "MA",      "MT",
                             "MS", "MG", "PA", "PB", "PR", "PE", "PI", "RJ", "RN",  "RS",      "RO",
                             "RR", "SC", "SP", "SE", "TO", "sp", "X",  "",   "SPX", "\xE3\xE3"};
    const std::string alfabeto = "0123456789012345678901234567890123456789 .-/Pp\xE9x";
    std::mt19937 gerador(12345);
    long validas = 0;
    for (int i = 0; i < 1000000; ++i) {
        size_t tamanho = gerador() % 24;
        std::string ie;
        for (size_t k = 0; k < tamanho; ++k) ie += alfabeto[gerador() % alfabeto.size()];
        int32_t r = Chamar(ie, estados[gerador() % (sizeof estados / sizeof *estados)]);
        ASSERT_TRUE(r == 0 || r == 1);
        validas += r == 0;
    }
    EXPECT_GT(validas, 0);
}

TEST(InscricaoFuzz, VariasThreadsAoMesmoTempo) {
    std::vector<std::thread> threads;
    std::vector<int> erros(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &erros] {
            for (int i = 0; i < 20000; ++i) {
                if (ConsisteInscricaoEstadual("0199341148631", "AC") != 0) ++erros[size_t(t)];
                if (ConsisteInscricaoEstadual("0199341148632", "AC") != 1) ++erros[size_t(t)];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int e : erros) EXPECT_EQ(e, 0);
}

}  // namespace
