#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Consiste = int32_t (*)(const char*, const char*);

// The component loaded exactly as the system loads it: by path, with dlopen.
class Componente : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        handle_ = dlopen(KOVA_DLL_INSCRICAO, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        consiste_ = reinterpret_cast<Consiste>(dlsym(handle_, "ConsisteInscricaoEstadual"));
        ASSERT_NE(consiste_, nullptr) << dlerror();
    }
    static void TearDownTestSuite() {
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
    }
    static int32_t Consistir(const std::string& ie, const std::string& uf) {
        return consiste_(ie.c_str(), uf.c_str());
    }

    struct Vetor {
        std::string uf, numero;
        bool valido;
        std::string concordam;
    };
    static std::vector<Vetor> Vetores() {
        std::vector<Vetor> v;
        std::ifstream in(KOVA_VETORES_IE);
        std::string linha;
        std::getline(in, linha);
        while (std::getline(in, linha)) {
            std::stringstream s(linha);
            Vetor x;
            std::string valido;
            std::getline(s, x.uf, ',');
            std::getline(s, x.numero, ',');
            std::getline(s, valido, ',');
            std::getline(s, x.concordam, ',');
            x.valido = valido == "true";
            v.push_back(x);
        }
        return v;
    }

    static inline void* handle_ = nullptr;
    static inline Consiste consiste_ = nullptr;
};

TEST_F(Componente, TodosOsVetoresDeReferencia) {
    auto vetores = Vetores();
    ASSERT_GT(vetores.size(), 800u);
    std::map<std::string, int> porEstado;
    for (const auto& v : vetores) {
        EXPECT_EQ(Consistir(v.numero, v.uf), v.valido ? 0 : 1) << v.uf << " " << v.numero;
        ++porEstado[v.uf];
    }
    EXPECT_EQ(porEstado.size(), 27u);
}

TEST_F(Componente, ComprimentoErradoEDigitoErradoPorEstado) {
    // States with two forms accept two lengths; a wrong length is one that neither form has.
    const std::map<std::string, std::vector<size_t>> comprimentos = {
        {"BA", {8, 9}}, {"RN", {9, 10}}, {"TO", {9, 11}}, {"RO", {9, 14}}, {"PE", {9, 14}}};
    std::map<std::string, int> testados;
    for (const auto& v : Vetores()) {
        if (!v.valido || v.numero[0] == 'p' || v.numero.rfind("11094402", 0) == 0) continue;
        auto permitido = [&](size_t n) {
            auto it = comprimentos.find(v.uf);
            if (it == comprimentos.end()) return n == v.numero.size();
            for (size_t c : it->second) {
                if (c == n) return true;
            }
            return false;
        };
        std::string errado = v.numero;
        while (permitido(errado.size())) errado += "0";
        std::string curto = v.numero;
        while (!curto.empty() && permitido(curto.size())) curto.pop_back();
        // The producer form's only check digit is the ninth after the "P".
        std::string digito = v.numero;
        char& dv = v.numero[0] == 'P' ? digito[9] : digito.back();
        dv = char('0' + (dv - '0' + 1) % 10);
        EXPECT_EQ(Consistir(errado, v.uf), 1) << v.uf << " " << errado;
        EXPECT_EQ(Consistir(curto, v.uf), 1) << v.uf << " " << curto;
        EXPECT_EQ(Consistir(digito, v.uf), 1) << v.uf << " " << digito;
        ++testados[v.uf];
    }
    EXPECT_EQ(testados.size(), 27u);
}

TEST_F(Componente, MascarasCaixaEEntradasInvalidas) {
    EXPECT_EQ(Consistir("01.993.411/486-31", "ac"), 0);
    EXPECT_EQ(Consistir("0199341148631", "Ac"), 0);
    EXPECT_EQ(Consistir(" 24.566.325-8 ", "AL"), 0);
    EXPECT_EQ(Consistir("P-01899906.4/402", "SP"), 0);
    EXPECT_EQ(Consistir("p018999064402", "sp"), 0);
    EXPECT_EQ(Consistir("P018999064402", "MG"), 1);  // the producer form is São Paulo's alone
    EXPECT_EQ(Consistir("01899906P4402", "SP"), 1);
    EXPECT_EQ(Consistir("", "SP"), 1);
    EXPECT_EQ(Consistir(" .-/", "SP"), 1);
    EXPECT_EQ(Consistir("0199341148631", "XX"), 1);
    EXPECT_EQ(Consistir("0199341148631", ""), 1);
    EXPECT_EQ(Consistir("0199341148631", "ACR"), 1);
    EXPECT_EQ(Consistir("0199341148631,", "AC"), 1);
    EXPECT_EQ(Consistir("01993411486310000000000", "AC"), 1);
    EXPECT_EQ(consiste_(nullptr, "AC"), 1);
    EXPECT_EQ(consiste_("0199341148631", nullptr), 1);
}

TEST_F(Componente, CasosDasRegrasPublicadas) {
    EXPECT_EQ(Consistir("110944021", "GO"), 0);  // both check digits are listed for this number
    EXPECT_EQ(Consistir("110944020", "GO"), 0);
    EXPECT_EQ(Consistir("101159201", "GO"), 0);  // remainder 1 inside the range gives 1
    EXPECT_EQ(Consistir("030179591", "AP"), 0);
    EXPECT_EQ(Consistir("0155530470880", "MG"), 0);
    EXPECT_EQ(Consistir("4884796950", "PR"), 0);
    EXPECT_EQ(Consistir("18449282100458", "PE"), 0);  // the old 14-digit form
    EXPECT_EQ(Consistir("000000000", "AM"), 0);       // all zeros pass on arithmetic alone
}

}  // namespace
