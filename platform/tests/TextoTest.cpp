#include <gtest/gtest.h>

#include "Texto.h"

using namespace kova;

TEST(Texto, MaiusculasEComparacaoConhecemOsAcentos) {
    EXPECT_EQ(UpperCase("não é ação"), "NÃO É AÇÃO");
    EXPECT_EQ(LowerCase("NÃO"), "não");
    EXPECT_TRUE(SameText("Instalação", "INSTALAÇÃO"));
    EXPECT_FALSE(SameText("Instalacao", "Instalação"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_LT(CompareText("ab", "abc"), 0);
    EXPECT_EQ(Trim("  a b \t"), "a b");
}

TEST(Texto, SoLiteraisDoProgramaSaoTextosFixos) {
    EXPECT_TRUE(TextoFixo("UFFavorecida"));
    const std::string noHeap(40, 'x');
    EXPECT_FALSE(TextoFixo(noHeap.data()));
    char naPilha[] = "Receita";
    EXPECT_FALSE(TextoFixo(naPilha));
    EXPECT_FALSE(TextoFixo(nullptr));
}

TEST(Texto, TrimDeTextoDescartadoIgualAoDeCopia) {
    for (const char* t :
         {"", "   ", " a", "a ", "  um texto longo o bastante para o heap  ", "\tx\t"}) {
        EXPECT_EQ(Trim(std::string(t)), Trim(std::string_view(t))) << t;
    }
}

TEST(Texto, Utf8IdaEVolta) {
    std::string cp = "Digitação de € e “aspas”";
    std::string u = Cp1252ToUtf8(cp);
    EXPECT_EQ(u, reinterpret_cast<const char*>(u8"Digitação de € e “aspas”"));
    EXPECT_EQ(Utf8ToCp1252(u), cp);
    EXPECT_EQ(Cp1252ToUtf8("\xE3"), "\xC3\xA3");
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // a character Windows-1252 lacks
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");          // cut sequence
}

#include "Diretorios.h"

namespace {

TEST(Caminhos, TrocaExtensaoSoNoNomeDoArquivo) {
    EXPECT_EQ(kova::TrocaExtensao("/dados/KOVA.txt", ".pdf"), "/dados/KOVA.pdf");
    EXPECT_EQ(kova::TrocaExtensao("/dados.2026/KOVA", ".pdf"), "/dados.2026/KOVA.pdf");
    EXPECT_EQ(kova::TrocaExtensao("lote.1.txt", ".pdf"), "lote.1.pdf");
}

}  // namespace
