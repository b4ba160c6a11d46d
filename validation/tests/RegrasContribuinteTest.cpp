#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ComponenteInscricao.h"
#include "DigitosVerificadores.h"
#include "Errors.h"
#include "InscricaoEstadual.h"
#include "Mensagens.h"
#include "OutroUsuario.h"
#include "RegrasValidacaoTeste.h"

using namespace kova;
using namespace kova::teste;
namespace fs = std::filesystem;

namespace {

class ContribuinteTest : public RegrasTest {
protected:
    void SetUp() override {
        RegrasTest::SetUp();
        char modelo[] = "/tmp/kova-ie-XXXXXX";
        raiz = std::string(mkdtemp(modelo)) + "/";
        fs::create_directories(raiz + "sistema");
        fs::create_directories(raiz + "programa");
        setenv("KOVA_SYSDIR", (raiz + "sistema").c_str(), 1);
        dm->DirPrograma = raiz + "programa/";
    }
    void TearDown() override {
        unsetenv("KOVA_SYSDIR");
        fs::remove_all(raiz);
        RegrasTest::TearDown();
    }
    void Componente(const char* arquivo, const std::string& pasta) {
        fs::copy_file(arquivo, raiz + pasta + "/" + kComponenteInscricao,
                      fs::copy_options::overwrite_existing);
    }
    std::string raiz;
};

TEST_F(ContribuinteTest, CPFECNPJConferemComOsVetoresDeReferencia) {
    std::ifstream in(KOVA_VETORES_CIC);
    std::string linha;
    std::getline(in, linha);
    int n = 0;
    while (std::getline(in, linha)) {
        std::stringstream s(linha);
        std::string tipo, numero, valido;
        std::getline(s, tipo, ',');
        std::getline(s, numero, ',');
        std::getline(s, valido, ',');
        // The field holds 14 characters: a longer text is cut before any rule sees it.
        if (numero.size() > 14) continue;
        EXPECT_EQ(Checa("CICContribuinte", numero).empty(), valido == "true")
            << tipo << " " << numero << " " << linha;
        ++n;
    }
    EXPECT_GT(n, 700);
}

// CNPJs with letters in their first twelve positions are checked by their own rule, never ending
// in a conversion failure; a letter where a check digit stands fails as any wrong digit does.
TEST_F(ContribuinteTest, CNPJAlfanumericoConfereComOsVetoresDeReferencia) {
    std::ifstream in(KOVA_VETORES_CNPJ_ALFANUMERICO);
    std::string linha;
    std::getline(in, linha);
    int n = 0;
    while (std::getline(in, linha)) {
        std::stringstream s(linha);
        std::string numero, valido;
        std::getline(s, numero, ',');
        std::getline(s, valido, ',');
        EXPECT_EQ(Checa("CICContribuinte", numero),
                  valido == "true" ? std::string() : Mensagem("11"))
            << linha;
        ++n;
    }
    EXPECT_GE(n, 60);
    EXPECT_EQ(Checa("CICContribuinte", "12abc34501de35"), Mensagem("11"));  // capitals only
}

TEST_F(ContribuinteTest, DigitosRepetidosEComprimentos) {
    EXPECT_EQ(Checa("CICContribuinte", ""), "[Erro: 7] Informe CNPJ/CPF do contribuinte");
    EXPECT_EQ(Checa("CICContribuinte", "11111111111"), "[Erro: 8] CPF fictício não é válido");
    EXPECT_EQ(Checa("CICContribuinte", "11111111199"),
              "[Erro: 8] CPF fictício não é válido");  // whatever its digits
    EXPECT_EQ(Checa("CICContribuinte", "111111111"), "[Erro: 12] CNPJ/CPF inválido");
    EXPECT_EQ(Checa("CICContribuinte", "00000000000000"), "[Erro: 10] CNPJ fictício não é válido");
    EXPECT_EQ(Checa("CICContribuinte", "11222333000182"), "[Erro: 11] CNPJ inválido");
    EXPECT_EQ(Checa("CICContribuinte", "11222333000181"), "");
    EXPECT_EQ(Checa("CICContribuinte", "52998224726"), "[Erro: 9] CPF inválido");
    EXPECT_EQ(Checa("CICContribuinte", "52998224725"), "");
    // 00000000191: d1 from 000000001 is 11 - 2 = 9; d2 from 0000000019 is 11 - (21 mod 11) = 1.
    EXPECT_EQ(Checa("CICContribuinte", "00000000191"), "");
    // A letter inside the part that the check digits cover is a conversion failure, not a message.
    Define("CICContribuinte", std::string("1234567A909"));
    EXPECT_THROW(Valida("CICContribuinte"), EConvertError);
}

TEST_F(ContribuinteTest, CNPJReiniciaOsPesosDepoisDe9) {
    // 11.222.333/0001-81: base 112223330001, weights from the right 2..9 then 2..5.
    EXPECT_EQ(DoisDigitosModulo11("112223330001", 9), "81");
    // Without the restart (weights 2..13) the digits would be others.
    EXPECT_NE(DoisDigitosModulo11("112223330001", 0), "81");
    EXPECT_TRUE(ConfereCNPJ("11222333000181"));
    EXPECT_TRUE(ConfereCPF("52998224725"));
    EXPECT_FALSE(ConfereCPF("5"));
}

TEST_F(ContribuinteTest, IsentoPassaSemChamarOComponente) {
    Define("UFFavorecida", std::string("SP"));
    EXPECT_EQ(Checa("InscricaoEstadual", "isento"), "");
    EXPECT_EQ(Checa("InscricaoEstadual", ""), "");
    // With no component anywhere a real registration cannot be judged; the places tried are named.
    Define("InscricaoEstadual", std::string("110042490114"));
    try {
        Valida("InscricaoEstadual");
        FAIL();
    } catch (const Exception& e) {
        // A build's engine never looks in the package's folder, also where the package is
        // installed: its component would stand in for the one this test leaves out.
        EXPECT_EQ(e.Message(), "DllInscE32.Dll não carregada (procurada em " + raiz +
                                   "sistema/ e " + raiz + "programa/)");
    }
}

TEST_F(ContribuinteTest, ComponenteRejeitaMasNoveDigitosAceita) {
    Componente(KOVA_COMPONENTE_LISTA, "sistema");
    Define("UFFavorecida", std::string("SP"));
    EXPECT_EQ(Checa("InscricaoEstadual", "110042490114"), "");
    EXPECT_EQ(Checa("InscricaoEstadual", "110042490115"),
              "[Erro: 124] Inscrição estadual inválida");
    // 1234567 + 29: s1 = 1*8+2*7+3*6+4*5+5*4+6*3+7*2 = 112, r 2, d1 9; s2 = 18 + 1*9+...+7*3 = 18 +
    // 140 = 158, r 4, d2 7. So 123456797 passes for any state though the component refuses it.
    EXPECT_TRUE(ConfereInscricaoNoveDigitos("123456797"));
    EXPECT_EQ(Checa("InscricaoEstadual", "123456797"), "");
    EXPECT_EQ(Checa("InscricaoEstadual", "12345679700000"),
              "");  // characters after the ninth are not read
    EXPECT_EQ(Checa("InscricaoEstadual", "123456798"), "[Erro: 124] Inscrição estadual inválida");
}

TEST(InscricaoNoveDigitos, CadaBaseSoComSeusDoisDigitos) {
    // The two modulo-11 digits as the rule states them: weights 8..2 over the seven digits, then
    // 9..2 over the seven and the first check digit.
    auto dv = [](const std::string& base) {
        int s = 0;
        for (size_t i = 0; i < base.size(); ++i) s += (base[i] - '0') * int(base.size() + 1 - i);
        const int r = s % 11;
        return r < 2 ? 0 : 11 - r;
    };
    for (int n = 0; n < 10'000'000; n += 9973) {
        char texto[8];
        std::snprintf(texto, sizeof texto, "%07d", n);
        const std::string base = texto;
        const int d1 = dv(base);
        const int d2 = dv(base + char('0' + d1));
        const std::string certa = base + char('0' + d1) + char('0' + d2);
        EXPECT_TRUE(ConfereInscricaoNoveDigitos(certa)) << certa;
        std::string outra = certa;
        outra[8] = char('0' + (d2 + 1) % 10);
        EXPECT_FALSE(ConfereInscricaoNoveDigitos(outra)) << outra;
        outra = certa;
        outra[3] = 'x';
        EXPECT_FALSE(ConfereInscricaoNoveDigitos(outra)) << outra;
    }
}

TEST_F(ContribuinteTest, ComponenteDaPastaDoProgramaSemCopiaCarregadoUmaVez) {
    Componente(KOVA_COMPONENTE_LISTA, "programa");
    EXPECT_TRUE(ValidaInscricaoEstadual("MG", "0623079040081"));
    // Nothing is written into the system directory, which a user may not be allowed to write.
    EXPECT_FALSE(fs::exists(raiz + "sistema/" + kComponenteInscricao));
    EXPECT_GT(dialogs.BusyCalls(), 0);
    EXPECT_FALSE(dialogs.Busy());
    // It stays loaded: the next checks find it without looking at the disk again.
    const std::string caminho = raiz + "programa/" + kComponenteInscricao;
    void* h = dlopen(caminho.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(h, nullptr);
    dlclose(h);
    fs::remove(caminho);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(ValidaInscricaoEstadual("MG", "1"));
    EXPECT_TRUE(ValidaInscricaoEstadual("MG", "0623079040081"));
}

TEST_F(ContribuinteTest, ComponenteDoSistemaVemAntesDoDaPastaDoPrograma) {
    Componente(KOVA_COMPONENTE_SEM_EXPORT, "sistema");
    Componente(KOVA_COMPONENTE_LISTA, "programa");
    try {
        ValidaInscricaoEstadual("SP", "1");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Entrypoint ConsisteInscricaoEstadual não encontrado em DllInscE32.Dll");
    }
    // A system directory that cannot be a folder at all: the program's component is used.
    setenv("KOVA_SYSDIR", (raiz + "sem/pasta").c_str(), 1);
    std::ofstream(raiz + "sem") << "um arquivo onde a pasta deveria estar";
    EXPECT_TRUE(ValidaInscricaoEstadual("MG", "0623079040081"));
    EXPECT_TRUE(dialogs.Texts().empty());
}

// Code that someone else could have put or changed where the component is looked for would run as
// this user: it is refused with the reason and never loaded, not passed over for the next place.
TEST_F(ContribuinteTest, ComponentePlantadoOuAbertoAOutrosNaoEhCarregado) {
    const auto recusa = [&]() -> std::string {
        try {
            ValidaInscricaoEstadual("MG", "0623079040081");
        } catch (const Exception& e) {
            return e.Message();
        }
        return "carregada";
    };
    const auto carregada = [](const std::string& caminho) {
        void* h = dlopen(caminho.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (h) dlclose(h);
        return h != nullptr;
    };
    Componente(KOVA_COMPONENTE_LISTA, "sistema");
    Componente(KOVA_COMPONENTE_LISTA, "programa");
    const std::string sistema = raiz + "sistema/" + kComponenteInscricao;
    ::chmod(sistema.c_str(), 0666);
    EXPECT_EQ(recusa(),
              "DllInscE32.Dll não carregada: " + sistema +
                  " pode ser alterado por outros usuários; por segurança o KOVA não a usa");
    ::chmod(sistema.c_str(), 0644);
    ::chmod((raiz + "sistema").c_str(), 0777);
    EXPECT_EQ(recusa(),
              "DllInscE32.Dll não carregada: a pasta " + raiz +
                  "sistema/ pode ser alterada por outros usuários; por segurança o KOVA não a usa");
    EXPECT_FALSE(carregada(sistema));
    // A link is never followed, not even the user's own to a component they trust.
    ::chmod((raiz + "sistema").c_str(), 0755);
    fs::remove(sistema);
    fs::create_symlink(raiz + "programa/" + kComponenteInscricao, sistema);
    EXPECT_EQ(recusa(), "DllInscE32.Dll não carregada: " + sistema +
                            " é um link simbólico; por segurança o KOVA não a usa");

    // Put in a folder every user may write (as /tmp) by another user of the machine.
    if (!PodeTrocarDeUsuario()) GTEST_SKIP() << "a file of another user needs the superuser";
    ::chmod(raiz.c_str(), 0755);
    const std::string comum = raiz + "comum/";
    fs::create_directory(comum);
    ::chmod(comum.c_str(), 01777);
    std::ifstream in(KOVA_COMPONENTE_LISTA, std::ios::binary);
    const std::string codigo((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(NoFilho([&] {
                  ::umask(022);
                  if (::mkdir((comum + "kova").c_str(), 0755) != 0) return std::string("mkdir");
                  std::ofstream(comum + "kova/" + kComponenteInscricao, std::ios::binary) << codigo;
                  return std::string();
              }),
              "");
    setenv("KOVA_SYSDIR", (comum + "kova").c_str(), 1);
    const std::string plantado = comum + "kova/" + kComponenteInscricao;
    EXPECT_EQ(recusa(), "DllInscE32.Dll não carregada: " + plantado +
                            " pertence a outro usuário; por segurança o KOVA não a usa");
    EXPECT_FALSE(carregada(plantado));
}

// Someone swapping the component's name while it is being loaded, at every step of the load in
// turn: before it is looked for, before it is opened, before what was opened is checked, before it
// is loaded. The code loaded is the file checked, or nothing; another user's never runs.
TEST_F(ContribuinteTest, ComponenteTrocadoEmCadaPassoDaCargaNuncaCarregaCodigoDeOutroUsuario) {
    if (!PodeTrocarDeUsuario()) GTEST_SKIP() << "another user's files need the superuser";
    using TPasso = TBibliotecaDinamica::TPasso;
    struct TSemGancho {
        ~TSemGancho() { DefineGanchoDeCarga(nullptr); }
    } semGancho;
    ::chmod(raiz.c_str(), 0755);
    const std::string nome = kComponenteInscricao;
    // The administrator's component, and another user's code in a folder of theirs.
    fs::create_directory(raiz + "bom");
    const std::string bom = raiz + "bom/" + nome;
    fs::copy_file(KOVA_COMPONENTE_LISTA, bom);
    ::chmod(bom.c_str(), 0644);
    fs::create_directory(raiz + "intruso");
    ASSERT_EQ(::chown((raiz + "intruso").c_str(), kNinguem, kNinguem), 0);
    const std::string intruso = raiz + "intruso/" + nome;
    ASSERT_EQ(NoFilho([&] {
                  fs::copy_file(KOVA_COMPONENTE_INTRUSO, intruso);
                  ::chmod(intruso.c_str(), 0644);
                  return std::string();
              }),
              "");
    const std::string marca = raiz + "marca";
    setenv("KOVA_MARCA_INTRUSO", marca.c_str(), 1);
    const auto intrusoCarregado = [&] {
        void* h = dlopen(intruso.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (h) dlclose(h);
        return h != nullptr || fs::exists(marca);
    };
    // What stands at the component's name after the swap: a link to the other user's code, or
    // that code itself.
    const auto troca = [&](const std::string& pasta, bool comoOutro, bool link) {
        const auto faz = [&] {
            std::error_code ec;
            fs::remove(pasta + "troca", ec);
            if (link) {
                fs::create_symlink(intruso, pasta + "troca");
            } else {
                fs::copy_file(intruso, pasta + "troca");
                if (!comoOutro && ::chown((pasta + "troca").c_str(), kNinguem, kNinguem) != 0)
                    return std::string("chown");
            }
            fs::rename(pasta + "troca", pasta + nome);
            return std::string();
        };
        EXPECT_EQ(comoOutro ? NoFilho(faz) : faz(), "");
    };
    bool trocou = false;
    const auto carga = [&](const std::string& pasta, TPasso quando, bool comoOutro, bool link) {
        dm->DirPrograma = pasta;
        trocou = false;
        DefineGanchoDeCarga([&, pasta, quando, comoOutro, link](TPasso p) {
            if (p != quando) return;
            troca(pasta, comoOutro, link);
            trocou = true;
        });
        std::string r;
        try {
            r = ValidaInscricaoEstadual("MG", "1") ? "aceita" : "recusada pelo componente";
            if (ValidaInscricaoEstadual("MG", "0623079040081") == false) r += " (outro componente)";
        } catch (const Exception& e) {
            r = e.Message();
        }
        DefineGanchoDeCarga(nullptr);
        return r;
    };
    int n = 0;
    for (TPasso quando : {TPasso::Procura, TPasso::Abertura, TPasso::Conferencia, TPasso::Carga}) {
        for (bool link : {true, false}) {
            const std::string caso =
                "step " + std::to_string(int(quando)) + (link ? " link" : " file");
            // A program folder every user may add to, as /tmp: the other user left a link there to
            // the administrator's component, and points it at their own code during the load.
            const std::string comum = raiz + "comum" + std::to_string(++n) + "/";
            fs::create_directory(comum);
            ::chmod(comum.c_str(), 01777);
            ASSERT_EQ(NoFilho([&] {
                          fs::create_symlink(bom, comum + nome);
                          return std::string();
                      }),
                      "");
            const std::string r = carga(comum, quando, true, link);
            // Its own link is refused on opening: the later steps are never reached.
            EXPECT_EQ(trocou, quando == TPasso::Procura || quando == TPasso::Abertura) << caso;
            EXPECT_EQ(r.rfind("DllInscE32.Dll não carregada: " + comum + nome, 0), 0u)
                << caso << ": " << r;
            EXPECT_NE(r.find("; por segurança o KOVA não a usa"), std::string::npos) << caso;
            ASSERT_FALSE(intrusoCarregado()) << caso << ": the other user's code ran";

            // A folder of the user's own, the component swapped from under the load: what is
            // loaded is what was checked.
            const std::string propria = raiz + "propria" + std::to_string(n) + "/";
            fs::create_directory(propria);
            ::chmod(propria.c_str(), 0755);
            fs::copy_file(KOVA_COMPONENTE_LISTA, propria + nome);
            ::chmod((propria + nome).c_str(), 0644);
            const std::string p = carga(propria, quando, false, link);
            EXPECT_TRUE(trocou) << caso;
            if (quando == TPasso::Procura || quando == TPasso::Abertura) {
                EXPECT_EQ(p, "DllInscE32.Dll não carregada: " + propria + nome +
                                 (link ? " é um link simbólico" : " pertence a outro usuário") +
                                 "; por segurança o KOVA não a usa")
                    << caso;
            } else {
                EXPECT_EQ(p, "recusada pelo componente") << caso;
            }
            ASSERT_FALSE(intrusoCarregado()) << caso << ": the other user's code ran";
        }
    }
    unsetenv("KOVA_MARCA_INTRUSO");
}

TEST_F(ContribuinteTest, SantaCatarinaComDocumentoDeUmDigitoExigeInscricao) {
    Componente(KOVA_COMPONENTE_LISTA, "sistema");
    Define("UFFavorecida", std::string("SC"));
    Define("Receita", std::string("100072"));
    // 1234567897 carries two modulo-11 digits (class 1). 12345678900 passes only the single-digit
    // test: Modulo11(1234567890) = 0 (sum 231), while its pair would be 78 and (x - 100) mod 97
    // is 36.
    Define("DocumentoOrigem", std::string("1234567897"));
    EXPECT_EQ(ClasseDocumento("1234567897", 10), 1);
    EXPECT_EQ(Checa("InscricaoEstadual", ""), "");
    Define("DocumentoOrigem", std::string("12345678900"));
    EXPECT_EQ(ClasseDocumento("12345678900", 11), 3);
    EXPECT_EQ(Checa("InscricaoEstadual", ""),
              "[Erro: 122] Informe inscrição estadual na UF favorecida");
    EXPECT_EQ(Checa("InscricaoEstadual", "123456797"), "");
    Define("UFFavorecida", std::string("GO"));
    Define("Receita", std::string("100048"));
    EXPECT_EQ(Checa("InscricaoEstadual", ""),
              "[Erro: 123] Informe inscrição estadual na UF favorecida");
}

}  // namespace
