#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "Errors.h"
#include "NomesLembrados.h"
#include "TControlModel.h"
#include "TDataSet.h"
#include "TDataSource.h"

using namespace kova;

namespace {

// A small table of state/revenue/flag rows, like the rule table, with a value and an amount.
class TabelaTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.AddField({"UF", TFieldType::ftString, 2});
        t.AddField({"Receita", TFieldType::ftString, 6});
        t.AddField({"Flag", TFieldType::ftString, 2});
        t.AddField({"Texto", TFieldType::ftString, 10});
        t.AddField({"Numero", TFieldType::ftInteger});
        t.AddField({"Valor", TFieldType::ftCurrency});
        t.AddField({"Data", TFieldType::ftDate});
        t.AddIndex("pk_Regra", "UF;Receita;Flag");
        t.AddIndex("sk_Numero", "Numero");
        t.CreateDataSet();
    }

    void Linha(const std::string& uf, const std::string& rec, const std::string& flag,
               const std::string& texto, int numero) {
        t.AppendRecord({uf, rec, flag, texto, int32_t(numero)});
    }

    std::vector<std::string> Ordem(const char* campo = "Texto") {
        std::vector<std::string> r;
        for (t.First(); !t.Eof(); t.Next()) r.push_back(t.FieldByName(campo).AsString());
        return r;
    }

    TDataSet t{"cdsTeste"};
};

TEST_F(TabelaTest, IndiceMultiCampoSemCaixaOrdenaPorTodosOsCampos) {
    Linha("sp", "100048", "T", "a", 1);
    Linha("MG", "100056", "LY", "b", 2);
    Linha("SP", "100013", "BL", "c", 3);
    Linha("Sp", "100013", "ab", "d", 4);
    Linha("mg", "100056", "Ly", "e", 5);
    t.SetIndexName("pk_Regra");
    // Case is ignored in every key field; equal keys keep the order they were added in.
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"b", "e", "d", "c", "a"}));
    t.SetIndexName("");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST_F(TabelaTest, IndiceComCaixaSeparaMaiusculas) {
    t.Close();
    t.AddIndex("ix_Caixa", "Texto", false);
    t.CreateDataSet();
    Linha("SP", "1", "T", "b", 1);
    Linha("SP", "1", "T", "B", 2);
    Linha("SP", "1", "T", "a", 3);
    t.SetIndexName("ix_Caixa");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"B", "a", "b"}));
}

TEST_F(TabelaTest, FindKeyNoIndiceCorrenteComChaveParcialESemCaixa) {
    Linha("SP", "100048", "T", "a", 1);
    Linha("SP", "100048", "RE", "b", 2);
    Linha("MG", "100048", "T", "c", 3);
    t.SetIndexName("pk_Regra");
    EXPECT_TRUE(t.FindKey({"sp", "100048", "t"}));
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "a");
    // A shorter key matches the first record that begins with it.
    EXPECT_TRUE(t.FindKey({"SP"}));
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "b");
    // A failed search does not move.
    EXPECT_FALSE(t.FindKey({"RJ", "100048", "T"}));
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "b");
    // Keys convert to the field's type.
    t.SetIndexName("sk_Numero");
    EXPECT_TRUE(t.FindKey({"3"}));
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "c");
}

TEST_F(TabelaTest, IndiceForaDeUsoSeOrdenaAoSerEscolhidoEBuscasSeguemAsMudancas) {
    t.SetIndexName("sk_Numero");
    Linha("SP", "100013", "B", "b", 30);
    Linha("MG", "100013", "A", "a", 20);
    Linha("RJ", "100013", "C", "c", 10);
    // The rule index took the rows out of order while another one was in use.
    t.SetIndexName("pk_Regra");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"a", "c", "b"}));
    t.SetIndexName("sk_Numero");
    ASSERT_TRUE(t.FindKey(std::vector<TValue>{int32_t(30)}));
    t.Delete();  // removed from the rule index while it is out of use
    Linha("AC", "100013", "D", "d", 40);
    EXPECT_TRUE(t.FindKey(std::vector<TValue>{int32_t(40)}));
    EXPECT_FALSE(t.FindKey(std::vector<TValue>{int32_t(30)}));  // a remembered answer gives way
    t.SetIndexName("pk_Regra");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"d", "a", "c"}));
    // Editing a key field moves the row and the search answers follow it.
    EXPECT_TRUE(t.FindKey({"MG", "100013", "A"}));
    t.Edit();
    t.FieldByName("UF").SetAsString("TO");
    t.Post();
    EXPECT_FALSE(t.FindKey({"MG", "100013", "A"}));
    EXPECT_TRUE(t.FindKey({"TO", "100013", "A"}));
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"d", "c", "a"}));
}

TEST_F(TabelaTest, FindKeySemIndiceFalha) {
    Linha("SP", "1", "T", "a", 1);
    EXPECT_THROW(t.FindKey({"SP"}), EDatabaseError);
}

TEST_F(TabelaTest, FindNearestParaNaPrimeiraChaveMaiorOuNaUltima) {
    for (int n : {10, 30, 20}) Linha("SP", "1", "T", std::to_string(n), n);
    t.SetIndexName("sk_Numero");
    t.FindNearest({int32_t(15)});
    EXPECT_EQ(t.FieldByName("Numero").AsInteger(), 20);
    t.FindNearest({int32_t(30)});
    EXPECT_EQ(t.FieldByName("Numero").AsInteger(), 30);
    t.FindNearest({int32_t(99)});
    EXPECT_EQ(t.FieldByName("Numero").AsInteger(), 30);
    t.FindNearest({int32_t(1)});
    EXPECT_EQ(t.FieldByName("Numero").AsInteger(), 10);
}

TEST_F(TabelaTest, SetKeyGotoKeyProcuraPeloBufferDeChave) {
    Linha("SP", "100048", "T", "a", 1);
    Linha("MG", "100056", "T", "b", 2);
    t.SetIndexName("pk_Regra");
    t.SetKey();
    EXPECT_EQ(t.State(), TDataSetState::dsSetKey);
    t.FieldByName("UF").SetAsString("mg");
    EXPECT_TRUE(t.GotoKey());
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "b");
}

TEST_F(TabelaTest, LocateComESemCaixaEChaveParcial) {
    Linha("SP", "100048", "T", "Alfa", 1);
    Linha("MG", "100056", "T", "beta", 2);
    EXPECT_FALSE(t.Locate("Texto", {std::string("BETA")}));
    EXPECT_TRUE(t.Locate("Texto", {std::string("BETA")}, {.caseInsensitive = true}));
    EXPECT_EQ(t.FieldByName("UF").AsString(), "MG");
    EXPECT_TRUE(
        t.Locate("Texto", {std::string("al")}, {.caseInsensitive = true, .partialKey = true}));
    EXPECT_EQ(t.FieldByName("UF").AsString(), "SP");
    EXPECT_TRUE(t.Locate("UF;Numero", {std::string("MG"), std::string("2")}));
    EXPECT_EQ(t.Lookup("Numero", {int32_t(1)}, "Texto"), TValue(std::string("Alfa")));
    EXPECT_TRUE(IsNull(t.Lookup("Numero", {int32_t(9)}, "Texto")));
}

TEST_F(TabelaTest, ExpressaoDeFiltroComParentesesEOr) {
    Linha("SP", "1", "N", "a", 1);
    Linha("SP", "1", "I", "b", 2);
    Linha("MG", "1", "A", "c", 3);
    Linha("MG", "1", "I", "d", 4);
    t.SetFilter("(Flag = 'N') or (Flag = 'A')");
    EXPECT_EQ(t.RecordCount(), 4);  // not yet switched on
    t.SetFiltered(true);
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(t.RecordCount(), 2);
    t.SetFilter("UF = 'MG' and not (Flag = 'A') or Numero = 1");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"a", "d"}));
    t.SetFilter("Texto <> 'b' and Numero >= 2");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"c", "d"}));
    t.SetFilter("UF = 'sp'");
    EXPECT_TRUE(t.IsEmpty());
    t.FilterCaseInsensitive = true;
    EXPECT_EQ(t.RecordCount(), 2);
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 4);
}

TEST_F(TabelaTest, ExpressaoDeFiltroMalFormadaFalhaClaramente) {
    for (const char* ruim :
         {"(Flag = 'N'", "Flag = 'N' or", "Flag 'N'", "Flag = 'N", "= 'N'",
          "Flag = 'N' xor Flag = 'A'", "Inexistente = 'x'", "Numero = 'abc'", "Flag = N"}) {
        SCOPED_TRACE(ruim);
        EXPECT_THROW(t.SetFilter(ruim), EDatabaseError);
    }
    try {
        t.SetFilter("(Flag = 'N'");
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("Expressão de filtro mal formada"), std::string::npos);
    }
    // A failed expression leaves the previous one in force.
    EXPECT_EQ(t.Filter(), "");
}

// What the table engine says when a value does not fit reaches people (an import line, a host's
// request, the screen): in Portuguese, quoting the value.
TEST_F(TabelaTest, ValorQueOCampoNaoAceitaDitoEmPortugues) {
    t.Append();
    auto mensagem = [this](const char* campo, const std::string& texto) {
        try {
            t.FieldByName(campo).SetAsString(texto);
        } catch (const EConvertError& e) {
            return std::string(e.what());
        }
        return std::string("aceito");
    };
    EXPECT_EQ(mensagem("Data", "31/02/2026"), "'31/02/2026' não é uma data válida");
    EXPECT_EQ(mensagem("Valor", "1O,00"), "'1O,00' não é um número válido");
    EXPECT_EQ(mensagem("Numero", "x"), "'x' não é um número inteiro válido");
    t.Cancel();
    try {
        t.FieldByName("Inexistente");
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()), "cdsTeste: campo 'Inexistente' não encontrado");
    }
}

TEST_F(TabelaTest, CallbackDeFiltroLeOsCamposDoRegistroCandidato) {
    Linha("SP", "1", "T", "a", 1);
    Linha("SP", "1", "T", "b", 2);
    Linha("SP", "1", "T", "c", 3);
    t.OnFilterRecord = [](TDataSet& ds) { return ds.FieldByName("Numero").AsInteger() % 2 == 1; };
    t.SetFiltered(true);
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"a", "c"}));
    t.Last();
    EXPECT_EQ(t.RecNo(), 2);
    t.Prior();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "a");
    t.Prior();
    EXPECT_TRUE(t.Bof());
}

TEST_F(TabelaTest, NomeDeCampoNumTextoReaproveitadoAchaOCampoDoTextoAtual) {
    // A buffer that held one name and then another: the field of the second name comes back.
    char nome[16] = "Texto";
    EXPECT_EQ(t.FindField(nome), &t.FieldByName("Texto"));
    std::strcpy(nome, "Flag");
    EXPECT_EQ(t.FindField(nome), &t.FieldByName("Flag"));
    std::strcpy(nome, "Nada");
    EXPECT_EQ(t.FindField(nome), nullptr);
    std::strcpy(nome, "UF");
    EXPECT_EQ(t.FindField(std::string_view(nome, 2)), &t.FieldByName("UF"));
}

TEST(NomesLembrados, UmParGuardaOsDoisNomesMaisRecentes) {
    struct Objeto {
        std::string nome;
    };
    auto nomeDe = [](const Objeto& o) -> const std::string& { return o.nome; };
    TNomesLembrados<Objeto, 1> lembrados;  // a single pair: every name falls in it
    Objeto a{"alfa"}, b{"beta"}, c{"gama"};
    const char* const alfa = "alfa";
    const char* const beta = "beta";
    const char* const gama = "gama";
    lembrados.Guarda(alfa, &a, true);
    lembrados.Guarda(beta, &b, true);
    EXPECT_EQ(lembrados.Fixo(alfa), &a);
    EXPECT_EQ(lembrados.Fixo(beta), &b);
    lembrados.Guarda(gama, &c, true);
    EXPECT_EQ(lembrados.Fixo(alfa), nullptr);
    EXPECT_EQ(lembrados.Fixo(beta), &b);
    EXPECT_EQ(lembrados.Fixo(gama), &c);
    // A text that is not fixed counts only while it still spells the object's name.
    char texto[] = "beta";
    lembrados.Guarda(texto, &b, false);
    EXPECT_EQ(lembrados.Fixo(texto), nullptr);
    EXPECT_EQ(lembrados.Conferido(texto, nomeDe), &b);
    texto[0] = 'z';
    EXPECT_EQ(lembrados.Conferido(texto, nomeDe), nullptr);
    lembrados.Esquece();
    EXPECT_EQ(lembrados.Fixo(gama), nullptr);
}

TEST(ModeloDeControles, NomeNumTextoReaproveitadoAchaOControleDoTextoAtual) {
    TControlModel m;
    TControlState a;
    a.name = "dbeJuros";
    m.Add(a);
    TControlState b;
    b.name = "dbeMulta";
    m.Add(b);
    char nome[16] = "dbeJuros";
    EXPECT_EQ(m.Find(nome)->name, "dbeJuros");
    std::strcpy(nome, "dbeMulta");
    EXPECT_EQ(m.Find(nome)->name, "dbeMulta");
    std::strcpy(nome, "dbeNada");
    EXPECT_EQ(m.Find(nome), nullptr);
    EXPECT_EQ(m.Find("dbeJuros")->name, "dbeJuros");
    EXPECT_EQ(m.Find("dbeJuros")->name, "dbeJuros");
}

TEST_F(TabelaTest, BuscaSobEventoDeFiltroGuardaARespostaSoEnquantoAsEntradasDoEventoSaoAsMesmas) {
    Linha("SP", "1", "T", "a", 1);
    Linha("RJ", "1", "T", "b", 2);
    t.SetIndexName("pk_Regra");
    std::string permitido = "SP";
    int chamadas = 0;
    t.OnFilterRecord = [&](TDataSet& ds) {
        ++chamadas;
        return ds.FieldByName("UF").AsString() == permitido;
    };
    t.SetFiltered(true);
    // Without a key the event is asked on every search.
    chamadas = 0;
    EXPECT_TRUE(t.FindKey({"SP", "1", "T"}));
    EXPECT_TRUE(t.FindKey({"SP", "1", "T"}));
    EXPECT_EQ(chamadas, 2);

    t.OnFilterKey = [&] { return permitido; };
    chamadas = 0;
    EXPECT_TRUE(t.FindKey({"SP", "1", "T"}));
    EXPECT_FALSE(t.FindKey({"RJ", "1", "T"}));
    t.First();
    const int primeiras = chamadas;
    EXPECT_TRUE(t.FindKey({"SP", "1", "T"}));
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "a");  // a kept answer still moves the cursor
    EXPECT_FALSE(t.FindKey({"RJ", "1", "T"}));
    EXPECT_EQ(chamadas, primeiras);
    // Other inputs: the event is asked again and its new answers count.
    permitido = "RJ";
    EXPECT_FALSE(t.FindKey({"SP", "1", "T"}));
    EXPECT_TRUE(t.FindKey({"RJ", "1", "T"}));
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "b");
    EXPECT_GT(chamadas, primeiras);
}

TEST_F(TabelaTest, EdicaoComIndiceForaDeOrdemMantemCadaRegistroUmaVezNaOrdem) {
    t.SetIndexName("pk_Regra");
    // Numbers arrive out of order while another index is in use: that index is sorted later.
    for (int n : {5, 3, 9, 1}) Linha("SP", std::to_string(n), "N", "t" + std::to_string(n), n);
    t.FindKey({"SP", "3", "N"});
    t.Edit();
    t.FieldByName("Numero").SetAsInteger(7);
    t.Post();
    t.FindKey({"SP", "9", "N"});
    t.Edit();
    t.FieldByName("Numero").SetAsInteger(0);
    t.Post();
    t.SetIndexName("sk_Numero");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"t9", "t1", "t5", "t3"}));
}

TEST_F(TabelaTest, RespostasDeBuscaSeguemOFiltroLigadoDesligadoETrocado) {
    Linha("SP", "1", "N", "a", 1);
    Linha("RJ", "1", "N", "b", 2);
    t.SetIndexName("pk_Regra");
    for (int volta = 0; volta < 2; ++volta) {
        SCOPED_TRACE(volta);
        t.SetFilter("UF='SP'");
        t.SetFiltered(true);
        EXPECT_TRUE(t.FindKey({"SP", "1", "N"}));
        EXPECT_FALSE(t.FindKey({"RJ", "1", "N"}));
        t.SetFiltered(false);
        EXPECT_TRUE(t.FindKey({"RJ", "1", "N"}));
        EXPECT_EQ(t.FieldByName("Texto").AsString(), "b");
        t.SetFiltered(true);
        EXPECT_FALSE(t.FindKey({"RJ", "1", "N"}));
        t.SetFilter("UF='RJ'");
        EXPECT_TRUE(t.FindKey({"RJ", "1", "N"}));
        EXPECT_FALSE(t.FindKey({"SP", "1", "N"}));
        t.FilterCaseInsensitive = true;
        t.SetFilter("UF='rj'");
        EXPECT_TRUE(t.FindKey({"RJ", "1", "N"}));
        t.FilterCaseInsensitive = false;
        EXPECT_FALSE(t.FindKey({"RJ", "1", "N"}));
        t.SetFiltered(false);
    }
}

// An expression set again is read once, but what it shows is what the records hold now: a record
// changed under another filter shows under the earlier one, and past the expressions kept each
// still filters by its own text.
TEST_F(TabelaTest, FiltroDeVoltaMostraOsRegistrosDeAgora) {
    Linha("SP", "1", "N", "a", 1);
    Linha("RJ", "1", "I", "b", 2);
    t.SetIndexName("pk_Regra");
    t.AplicaFiltro("UF='SP'");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"a"}));
    EXPECT_FALSE(t.FindKey({"RJ", "1", "I"}));
    t.AplicaFiltro("UF='RJ'");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"b"}));
    t.First();
    t.Edit();
    t.FieldByName("UF").SetAsString("SP");
    t.Post();
    t.AplicaFiltro("UF='SP'");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"b", "a"}));
    EXPECT_TRUE(t.FindKey({"SP", "1", "I"}));
    t.AplicaFiltro("UF='RJ'");
    EXPECT_TRUE(t.IsEmpty());
    for (int volta = 0; volta < 2; ++volta) {
        for (int n = 0; n < 100; ++n) {
            t.AplicaFiltro("Numero = " + std::to_string(n));
            EXPECT_EQ(t.IsEmpty(), n != 1 && n != 2) << n;
        }
    }
    t.AplicaFiltro("UF='SP'");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"b", "a"}));
}

TEST_F(TabelaTest, FiltroJaEmVigorNaoSeReaplicaEOutroFiltraDeNovo) {
    Linha("SP", "1", "N", "a", 1);
    Linha("SP", "2", "N", "b", 2);
    Linha("RJ", "1", "N", "c", 3);
    int avisos = 0;
    TDataSource ds("dts");
    ds.SetDataSet(&t);
    ds.OnDataChange = [&](TDataSource&, TField*) { ++avisos; };
    t.AplicaFiltro("UF='SP'");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"a", "b"}));
    t.Last();
    avisos = 0;
    t.AplicaFiltro("UF='SP'");
    EXPECT_EQ(avisos, 0);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "b");  // the cursor stays
    t.AplicaFiltro("UF='RJ'");
    EXPECT_GT(avisos, 0);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "c");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"c"}));
}

TEST_F(TabelaTest, VaziaSobFiltroAcompanhaOsDadosEAsEntradasDoEvento) {
    Linha("SP", "1", "N", "a", 1);
    t.AplicaFiltro("UF='MG'");
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_TRUE(t.IsEmpty());
    Linha("MG", "1", "N", "b", 2);  // a record the filter shows
    EXPECT_FALSE(t.IsEmpty());
    t.First();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "b");
    t.Delete();
    EXPECT_TRUE(t.IsEmpty());

    t.SetFiltered(false);
    t.SetFilter("");
    std::string permitido = "XX";
    t.OnFilterRecord = [&](TDataSet& d) { return d.FieldByName("UF").AsString() == permitido; };
    t.OnFilterKey = [&] { return permitido; };
    t.SetFiltered(true);
    EXPECT_TRUE(t.IsEmpty());
    permitido = "SP";
    EXPECT_FALSE(t.IsEmpty());
    t.First();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "a");
}

TEST_F(TabelaTest, BookmarkSobreviveATrocaDeFiltroEFalhaQuandoOculto) {
    Linha("SP", "1", "N", "a", 1);
    Linha("SP", "1", "I", "b", 2);
    Linha("SP", "1", "N", "c", 3);
    t.Locate("Texto", {std::string("c")});
    TBookmark bm = t.GetBookmark();
    t.SetFilter("Flag = 'N'");
    t.SetFiltered(true);
    t.First();
    t.GotoBookmark(bm);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "c");
    t.SetFiltered(false);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "c");  // still visible: the cursor stays
    t.Locate("Texto", {std::string("b")});
    TBookmark oculto = t.GetBookmark();
    t.SetFiltered(true);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "a");  // hidden current record gives way
    EXPECT_THROW(t.GotoBookmark(oculto), EDatabaseError);
    EXPECT_TRUE(t.BookmarkValid(oculto));
    t.SetFiltered(false);
    t.GotoBookmark(oculto);
    t.Delete();
    EXPECT_FALSE(t.BookmarkValid(oculto));
    EXPECT_THROW(t.GotoBookmark(oculto), EDatabaseError);
}

TEST_F(TabelaTest, OrdemDosEventosEmAppendPostECancel) {
    std::vector<std::string> ev;
    TDataSource ds("dts");
    ds.SetDataSet(&t);
    ds.OnStateChange = [&](TDataSource& s) {
        ev.push_back(s.State() == TDataSetState::dsInsert ? "state:insert"
                     : s.State() == TDataSetState::dsEdit ? "state:edit"
                                                          : "state:browse");
    };
    ds.OnDataChange = [&](TDataSource&, TField* f) {
        ev.push_back(f ? "data:" + f->FieldName() : "data");
    };
    t.BeforeInsert = [&](TDataSet&) { ev.push_back("BeforeInsert"); };
    t.OnNewRecord = [&](TDataSet& d) {
        ev.push_back("OnNewRecord");
        d.FieldByName("Numero").SetAsInteger(7);
    };
    t.AfterInsert = [&](TDataSet&) { ev.push_back("AfterInsert"); };
    t.BeforePost = [&](TDataSet&) { ev.push_back("BeforePost"); };
    t.AfterPost = [&](TDataSet&) { ev.push_back("AfterPost"); };
    t.BeforeCancel = [&](TDataSet&) { ev.push_back("BeforeCancel"); };
    t.AfterCancel = [&](TDataSet&) { ev.push_back("AfterCancel"); };
    t.BeforeEdit = [&](TDataSet&) { ev.push_back("BeforeEdit"); };
    t.AfterEdit = [&](TDataSet&) { ev.push_back("AfterEdit"); };

    t.Append();
    t.FieldByName("UF").SetAsString("SP");
    t.Post();
    EXPECT_EQ(ev, (std::vector<std::string>{"BeforeInsert", "state:insert", "OnNewRecord",
                                            "data:Numero", "data", "AfterInsert", "data:UF",
                                            "BeforePost", "state:browse", "data", "AfterPost"}));
    ev.clear();
    t.Edit();
    t.FieldByName("UF").SetAsString("MG");
    t.Cancel();
    EXPECT_EQ(ev,
              (std::vector<std::string>{"BeforeEdit", "state:edit", "data", "AfterEdit", "data:UF",
                                        "BeforeCancel", "state:browse", "data", "AfterCancel"}));
    EXPECT_EQ(t.FieldByName("UF").AsString(), "SP");
}

TEST_F(TabelaTest, AbortNoBeforePostMantemOEstadoDeEdicao) {
    t.BeforePost = [](TDataSet&) { Abort(); };
    t.Append();
    t.FieldByName("UF").SetAsString("SP");
    EXPECT_THROW(t.Post(), EAbort);
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
    EXPECT_EQ(t.FieldByName("UF").AsString(), "SP");
    t.BeforePost = nullptr;
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(TabelaTest, ControlesDesabilitadosNaoNotificamAteReabilitar) {
    Linha("SP", "1", "T", "a", 1);
    int dados = 0, estados = 0;
    TDataSource ds;
    ds.SetDataSet(&t);
    ds.OnDataChange = [&](TDataSource&, TField*) { ++dados; };
    ds.OnStateChange = [&](TDataSource&) { ++estados; };
    t.DisableControls();
    t.DisableControls();
    t.Edit();
    t.FieldByName("Texto").SetAsString("z");
    t.Post();
    t.EnableControls();
    EXPECT_EQ(dados + estados, 0);
    t.EnableControls();
    EXPECT_EQ(dados, 1);
    EXPECT_EQ(estados, 0);  // the state is the same as when controls were disabled
    ds.SetDataSet(nullptr);
    t.First();
    EXPECT_EQ(dados, 1);
}

TEST_F(TabelaTest, NulosEConversoes) {
    t.Append();
    EXPECT_TRUE(t.FieldByName("Numero").IsNull());
    EXPECT_EQ(t.FieldByName("Numero").AsInteger(), 0);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "");
    t.FieldByName("Numero").SetAsString("42");
    EXPECT_EQ(t.FieldByName("Numero").AsInteger(), 42);
    t.FieldByName("Numero").SetAsString("");
    EXPECT_TRUE(t.FieldByName("Numero").IsNull());
    EXPECT_THROW(t.FieldByName("Numero").SetAsString("4x"), EConvertError);
    t.FieldByName("Valor").SetAsString("1234,5");
    EXPECT_DOUBLE_EQ(t.FieldByName("Valor").AsFloat(), 1234.5);
    EXPECT_EQ(t.FieldByName("Valor").AsString(), "1234,5");
    t.FieldByName("Data").SetAsString("31/01/2024");
    EXPECT_EQ(t.FieldByName("Data").AsString(), "31/01/2024");
    EXPECT_THROW(t.FieldByName("Data").SetAsString("31/02/2024"), EConvertError);
    t.FieldByName("Data").Clear();
    EXPECT_TRUE(t.FieldByName("Data").IsNull());
    t.Post();
    // Null sorts before every value.
    Linha("SP", "1", "T", "b", 1);
    t.SetIndexName("sk_Numero");
    t.First();
    EXPECT_TRUE(t.FieldByName("Numero").IsNull());
}

TEST_F(TabelaTest, TextoCortadoNoTamanhoDoCampo) {
    t.Append();
    t.FieldByName("UF").SetAsString("SPX");
    t.FieldByName("Texto").SetAsString("0123456789abc");
    EXPECT_EQ(t.FieldByName("UF").AsString(), "SP");
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "0123456789");
    // A text kept by the caller is copied, and cut the same; one handed over, taken as it is.
    const std::string guardado = "abcdefghijklm";
    t.FieldByName("Texto").SetAsString(guardado);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "abcdefghij");
    EXPECT_EQ(guardado, "abcdefghijklm");
    t.FieldByName("Texto").SetAsString(std::string("curto"));
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "curto");
    t.Cancel();
}

TEST_F(TabelaTest, AtribuicaoForaDeEdicaoFalha) {
    Linha("SP", "1", "T", "a", 1);
    EXPECT_THROW(t.FieldByName("UF").SetAsString("MG"), EDatabaseError);
    t.Close();
    EXPECT_THROW(t.First(), EDatabaseError);
    EXPECT_THROW(t.FindKey({"SP"}), EDatabaseError);
}

TEST_F(TabelaTest, NavegacaoEDelecaoMantemCursorNoVizinho) {
    for (const char* s : {"a", "b", "c"}) Linha("SP", "1", "T", s, 1);
    EXPECT_TRUE(TabelaTest::t.Active());
    t.First();
    EXPECT_TRUE(t.Bof());
    t.Next();
    t.Delete();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "c");
    t.Delete();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "a");
    t.Delete();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_TRUE(t.Eof());
    EXPECT_THROW(t.Delete(), EDatabaseError);
    // Edit on an empty table appends.
    t.Edit();
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
}

TEST_F(TabelaTest, PostDeRegistroQueOFiltroOcultaMoveParaOVizinho) {
    Linha("SP", "1", "N", "a", 1);
    Linha("SP", "1", "N", "b", 2);
    Linha("SP", "1", "N", "c", 3);
    t.SetFilter("Flag = 'N'");
    t.SetFiltered(true);
    t.Locate("Texto", {std::string("b")});
    t.Edit();
    t.FieldByName("Flag").SetAsString("I");
    t.Post();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "c");
    EXPECT_EQ(t.RecordCount(), 2);
}

TEST_F(TabelaTest, CamposCalculadosSaoRecalculadosAoMover) {
    TDataSet c("cdsCalc");
    c.AddField({"N", TFieldType::ftInteger});
    c.AddField({"Dobro", TFieldType::ftString, 10, true});
    c.OnCalcFields = [](TDataSet& d) {
        d.FieldByName("Dobro").SetAsString(IntToStr(d.FieldByName("N").AsInteger() * 2));
    };
    c.CreateDataSet();
    c.AppendRecord({int32_t(2)});
    c.AppendRecord({int32_t(5)});
    c.First();
    EXPECT_EQ(c.FieldByName("Dobro").AsString(), "4");
    c.Next();
    EXPECT_EQ(c.FieldByName("Dobro").AsString(), "10");
    c.Edit();
    c.FieldByName("N").SetAsInteger(6);
    EXPECT_EQ(c.FieldByName("Dobro").AsString(), "12");
    EXPECT_THROW(c.FieldByName("Dobro").SetAsString("x"), EDatabaseError);
    c.Post();
    auto vis = c.VisibleRecords();
    EXPECT_EQ(c.ValueAt(vis[0], 1), TValue(std::string("4")));
}

// What tells the visible records apart moves with the records and the filter's answers only:
// reading calculated fields, a search, or a filter switched off and on again leave it; a lookup
// list drawn from it is not rebuilt for them.
TEST_F(TabelaTest, LinhasVisiveisSoMudamComOsRegistrosOuOFiltro) {
    TDataSet c("cdsCalc");
    c.AddField({"N", TFieldType::ftInteger});
    c.AddField({"Dobro", TFieldType::ftString, 10, true});
    c.AddIndex("pk", "N");
    c.OnCalcFields = [](TDataSet& d) {
        d.FieldByName("Dobro").SetAsString(IntToStr(d.FieldByName("N").AsInteger() * 2));
    };
    std::string permitido = "par";
    c.OnFilterRecord = [&](TDataSet& d) {
        return (d.FieldByName("N").AsInteger() % 2 == 0) == (permitido == "par");
    };
    c.CreateDataSet();
    c.SetIndexName("pk");
    for (int n : {2, 5, 8}) c.AppendRecord({int32_t(n)});
    const TDataSet::TVisiveis antes = c.Visiveis();
    for (TBookmark b : c.VisibleRecords()) c.DisplayTextAt(b, 1);
    c.FindKey({TValue(int32_t(5))});
    EXPECT_EQ(c.Visiveis(), antes);
    // A filter event that does not say what it reads: any switch counts.
    c.SetFiltered(true);
    const TDataSet::TVisiveis semChave = c.Visiveis();
    EXPECT_NE(semChave, antes);
    c.SetFiltered(false);
    EXPECT_EQ(c.Visiveis(), antes);
    c.SetFiltered(true);
    EXPECT_NE(c.Visiveis(), semChave);
    c.SetFiltered(false);
    // One that says: the same answer is the same rows, another one other rows.
    c.OnFilterKey = [&] { return permitido; };
    c.SetFiltered(true);
    const TDataSet::TVisiveis pares = c.Visiveis();
    c.SetFiltered(false);
    c.SetFiltered(true);
    EXPECT_EQ(c.Visiveis(), pares);
    permitido = "impar";
    EXPECT_NE(c.Visiveis(), pares);
    c.AppendRecord({int32_t(7)});
    permitido = "par";
    EXPECT_NE(c.Visiveis(), pares);
}

TEST_F(TabelaTest, GetTextESetTextPassamPelosEventos) {
    t.FieldByName("Texto").OnGetText = [](TField&, std::string& s, bool display) {
        s = (display ? "D:" : "E:") + s;
    };
    t.FieldByName("Texto").OnSetText = [](TField& f, const std::string& s) {
        f.SetAsString(s + "!");
    };
    t.Append();
    t.FieldByName("Texto").SetText("oi");
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "oi!");
    EXPECT_EQ(t.FieldByName("Texto").Text(), "E:oi!");
    EXPECT_EQ(t.FieldByName("Texto").DisplayText(), "D:oi!");
    t.Cancel();
}

TEST_F(TabelaTest, CarregarRegistrosOrdenaOsIndices) {
    t.SetIndexName("sk_Numero");
    std::vector<std::vector<TValue>> regs;
    for (int n : {3, 1, 2})
        regs.push_back(
            {std::string("SP"), std::string("1"), std::string("T"), IntToStr(n), int32_t(n)});
    t.LoadRecords(std::move(regs));
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(t.StoredCount(), 3u);
    EXPECT_EQ(ValueToString(t.StoredValues(0)[3]), "3");
}

}  // namespace

namespace {

// A change that must reach the disk: when the after-post or after-delete handler refuses it, the
// table is as before the change and the record being edited keeps what was typed.
TEST_F(TabelaTest, AposGravarOuApagarQueFalhaDesfazAOperacao) {
    Linha("SP", "100013", "AA", "um", 1);
    Linha("MG", "100013", "AA", "dois", 2);
    t.SetIndexName("pk_Regra");
    bool recusa = true;
    t.AfterPost = [&](TDataSet&) {
        if (recusa) throw Exception("disco cheio");
    };
    t.AfterDelete = t.AfterPost;

    t.Append();
    t.FieldByName("UF").SetAsString("RJ");
    t.FieldByName("Texto").SetAsString("tres");
    EXPECT_THROW(t.Post(), Exception);
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "tres");
    EXPECT_EQ(t.StoredCount(), 2u);
    t.Cancel();
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"dois", "um"}));

    ASSERT_TRUE(t.Locate("Texto", {std::string("um")}));
    t.Edit();
    t.FieldByName("UF").SetAsString("AC");  // moves it first on the current index
    EXPECT_THROW(t.Post(), Exception);
    EXPECT_EQ(t.State(), TDataSetState::dsEdit);
    EXPECT_EQ(t.FieldByName("UF").AsString(), "AC");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "um");
    EXPECT_EQ(t.FieldByName("UF").AsString(), "SP");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"dois", "um"}));

    ASSERT_TRUE(t.Locate("Texto", {std::string("dois")}));
    EXPECT_THROW(t.Delete(), Exception);
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "dois");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"dois", "um"}));

    recusa = false;
    ASSERT_TRUE(t.Locate("Texto", {std::string("dois")}));
    t.Delete();
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"um"}));
}

}  // namespace

// A source of records kept "in a file": counts its reads and can refuse one.
class FonteDeTeste : public TFonteRegistros {
public:
    std::vector<std::vector<TValue>> linhas;  // row n at n - 1
    int leituras = 0;
    int64_t recusada = 0;
    std::vector<TValue> Ler(int64_t linha, const std::vector<TValue>&) override {
        ++leituras;
        if (linha == recusada) throw EDatabaseError("CRC não confere");
        return linhas.at(size_t(linha - 1));
    }
};

TEST_F(TabelaTest, RegistrosNoArquivoSoLidosQuandoUmCampoNaoResidenteEPedido) {
    auto fonte = std::make_shared<FonteDeTeste>();
    std::vector<TDataSet::TRegistroResidente> residentes;
    const int n = int(TDataSet::kRegistrosLidos) * 2 + 10;
    for (int i = 1; i <= n; ++i) {
        const std::string uf = i % 2 ? "SP" : "MG";
        fonte->linhas.push_back({uf, std::string("100013"), std::string("T"),
                                 "linha " + std::to_string(i), int32_t(i)});
        // Index fields and the number stay in memory.
        residentes.push_back({i, {uf, std::string("100013"), std::string("T"), int32_t(i)}});
    }
    t.Close();
    EXPECT_THROW(t.LoadResidentRecords(fonte, {"UF", "Receita", "Flag"}, residentes),
                 EDatabaseError)
        << "an index field not resident would read every record to sort";
    t.LoadResidentRecords(fonte, {"UF", "Receita", "Flag", "Numero"}, residentes);
    t.SetIndexName("sk_Numero");
    EXPECT_EQ(t.RecordCount(), n);
    EXPECT_EQ(fonte->leituras, 0);
    t.SetFilter("UF = 'MG'");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), n / 2);
    EXPECT_EQ(fonte->leituras, 0);
    t.SetFiltered(false);
    // Every record read whole once, memory holding a bounded number of them.
    int i = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        ASSERT_EQ(t.FieldByName("Texto").AsString(), "linha " + std::to_string(++i));
        ASSERT_LE(t.WholeRecordsInMemory(), TDataSet::kRegistrosLidos);
    }
    EXPECT_EQ(fonte->leituras, n);
    // A record that fails its check is refused where it is read, the others are not.
    fonte->recusada = 3;
    t.First();
    t.Next();
    t.Next();
    EXPECT_THROW(t.FieldByName("Texto").AsString(), EDatabaseError);
    t.Next();
    EXPECT_EQ(t.FieldByName("Texto").AsString(), "linha 4");
}

TEST_F(TabelaTest, RegistrosAlteradosFicamInteirosAteGravadosEOsLidosContinuamLimitados) {
    auto fonte = std::make_shared<FonteDeTeste>();
    std::vector<TDataSet::TRegistroResidente> residentes;
    const int n = int(TDataSet::kRegistrosLidos) * 3;
    const int alteradas = int(TDataSet::kRegistrosLidos) * 2;
    for (int i = 1; i <= n; ++i) {
        fonte->linhas.push_back({std::string("SP"), std::string("1"), std::string("T"),
                                 "linha " + std::to_string(i), int32_t(i)});
        residentes.push_back(
            {i, {std::string("SP"), std::string("1"), std::string("T"), int32_t(i)}});
    }
    t.Close();
    t.SetIndexName("sk_Numero");
    t.LoadResidentRecords(fonte, {"UF", "Receita", "Flag", "Numero"}, residentes);
    t.First();
    for (int i = 1; i <= alteradas; ++i, t.Next()) {
        t.Edit();
        t.FieldByName("Texto").SetAsString("mudou " + std::to_string(i));
        t.Post();
    }
    // Every other record read: the changed ones are never let go, the others stay bounded.
    for (; !t.Eof(); t.Next()) ASSERT_EQ(t.FieldByName("Texto").AsString().substr(0, 6), "linha ");
    EXPECT_LE(t.WholeRecordsInMemory(), size_t(alteradas) + TDataSet::kRegistrosLidos);
    int i = 0;
    for (t.First(); i < alteradas; t.Next())
        ASSERT_EQ(t.FieldByName("Texto").AsString(), "mudou " + std::to_string(++i));
    // Written, they may be let go like the rest.
    t.ConfirmaGravacao(t.Pendencias(), {});
    for (t.First(); !t.Eof(); t.Next()) t.FieldByName("Texto").AsString();
    EXPECT_LE(t.WholeRecordsInMemory(), TDataSet::kRegistrosLidos);
}

TEST_F(TabelaTest, IndiceForaDeUsoDepoisDaCargaSaiEmOrdemQuandoEscolhido) {
    // Loaded in number order; the rule index is not kept meanwhile, so edits, additions and
    // removals made before it is chosen must all show in it then.
    auto fonte = std::make_shared<FonteDeTeste>();
    std::vector<TDataSet::TRegistroResidente> residentes;
    const char* ufs[] = {"SP", "AC", "MG", "BA"};
    for (int i = 1; i <= 4; ++i) {
        fonte->linhas.push_back({std::string(ufs[i - 1]), std::string("1"), std::string("T"),
                                 "r" + std::to_string(i), int32_t(i)});
        residentes.push_back(
            {i, {std::string(ufs[i - 1]), std::string("1"), std::string("T"), int32_t(i)}});
    }
    t.Close();
    t.SetIndexName("sk_Numero");
    t.LoadResidentRecords(fonte, {"UF", "Receita", "Flag", "Numero"}, residentes);
    t.FindKey({TValue(int32_t(2))});
    t.Edit();
    t.FieldByName("UF").SetAsString("TO");
    t.Post();
    t.FindKey({TValue(int32_t(3))});
    t.Delete();
    Linha("AM", "1", "T", "novo", 5);
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"r1", "r2", "r4", "novo"}));
    t.SetIndexName("pk_Regra");
    EXPECT_EQ(Ordem("UF"), (std::vector<std::string>{"AM", "BA", "SP", "TO"}));
    // Now in use, it is kept as the records change.
    Linha("AL", "1", "T", "outro", 6);
    t.FindKey({std::string("SP"), std::string("1"), std::string("T")});
    t.Delete();
    EXPECT_EQ(Ordem("UF"), (std::vector<std::string>{"AL", "AM", "BA", "TO"}));
    t.SetIndexName("sk_Numero");
    EXPECT_EQ(Ordem(), (std::vector<std::string>{"r2", "r4", "novo", "outro"}));
}

TEST_F(TabelaTest, AlteracoesPendentesAteConfirmadasEDesfeitasComAOperacao) {
    std::vector<std::vector<TValue>> registros;
    for (int i = 1; i <= 4; ++i)
        registros.push_back({std::string("SP"), std::string("1"), std::string("T"),
                             "r" + std::to_string(i), int32_t(i)});
    t.LoadRecords(registros, {11, 12, 13, 14});
    t.SetIndexName("sk_Numero");
    EXPECT_FALSE(t.TemPendencias());

    t.FindKey({TValue(int32_t(2))});
    t.Edit();
    t.FieldByName("Texto").SetAsString("mudou");
    t.Post();
    t.FindKey({TValue(int32_t(3))});
    t.Delete();
    Linha("MG", "2", "T", "novo", 5);
    auto p = t.Pendencias();
    EXPECT_EQ(p.removidas, (std::vector<int64_t>{13}));
    ASSERT_EQ(p.gravar.size(), 2u);
    EXPECT_EQ(t.RowOf(p.gravar[0]), 12);
    EXPECT_EQ(t.RowOf(p.gravar[1]), 0);

    // Written: the new record has its row, nothing is pending.
    t.ConfirmaGravacao(p, {{p.gravar[1], 15}});
    EXPECT_FALSE(t.TemPendencias());
    EXPECT_EQ(t.RowOf(p.gravar[1]), 15);

    // A post or a deletion that its after-event refuses leaves nothing pending.
    t.AfterPost = [](TDataSet&) { throw EDatabaseError("não gravou"); };
    t.AfterDelete = [](TDataSet&) { throw EDatabaseError("não gravou"); };
    t.FindKey({TValue(int32_t(1))});
    t.Edit();
    t.FieldByName("Texto").SetAsString("x");
    EXPECT_THROW(t.Post(), EDatabaseError);
    t.Cancel();
    EXPECT_THROW(Linha("RJ", "3", "T", "outro", 6), EDatabaseError);
    EXPECT_THROW(t.Delete(), EDatabaseError);
    EXPECT_FALSE(t.TemPendencias());

    // Many deleted in one pass: each row pending, the event once.
    int depois = 0;
    t.AfterDelete = [&depois](TDataSet&) { ++depois; };
    t.AfterPost = nullptr;
    t.DeleteRecords(t.VisibleRecords());
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(depois, 1);
    p = t.Pendencias();
    std::sort(p.removidas.begin(), p.removidas.end());
    EXPECT_EQ(p.removidas, (std::vector<int64_t>{11, 12, 14, 15}));
}
