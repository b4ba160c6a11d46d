#include <gtest/gtest.h>

#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "Errors.h"
#include "FluxosImpressao.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

// Counts the copies it is given; a queue (each slip's pages exist at once) or a file (they exist
// when the run is concluded); can be told to fail on a given slip or at the end.
class SaidaDeTeste : public TSaidaImpressao {
public:
    struct Estado {
        bool arquivo = false;
        int falhaNaKOVA = 0;  // IdKOVA whose pages are refused
        bool falhaAoConcluir = false;
        int vias = 0, paginas = 0, concluidas = 0;
        std::vector<std::string> situacoesAoConcluir;
    };
    explicit SaidaDeTeste(Estado& e) : e_(e) {}
    bool Envia(const std::vector<TPagina>& p) override {
        if (DM->cdsKOVA.FieldByName("IdKOVA").AsInteger() == e_.falhaNaKOVA)
            throw Exception("A impressora recusou");
        for (const auto& pagina : p) {
            for (const auto& item : pagina.itens) e_.vias += item.nome == "qrsMoldura" ? 1 : 0;
        }
        e_.paginas += int(p.size());
        return !e_.arquivo;
    }
    void Conclui() override {
        ++e_.concluidas;
        if (e_.falhaAoConcluir) throw Exception("Não foi possível gravar o arquivo");
    }

private:
    Estado& e_;
};

class FluxosTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        for (int i = 0; i < 3; ++i) {
            dm->cdsKOVA.Append();
            PreencheKOVAValida(*dm);
            dm->cdsKOVA.Post();
        }
        relatorio = std::make_unique<TqrpKOVA>();
        fluxos = std::make_unique<TFluxosImpressao>(*relatorio);
        fluxos->AbrirSaida = [this] { return std::make_unique<SaidaDeTeste>(saida); };
        fluxos->AbrirVisualizacao = [this](const std::vector<TPagina>&) { ++previas; };
    }
    void TearDown() override {
        fluxos.reset();
        relatorio.reset();
        dm.reset();
        Clock::Reset();
    }
    std::string Situacao() { return dm->cdsKOVA.FieldByName("Situacao").AsString(); }
    std::string Situacao(int id) {
        const bool filtrado = dm->cdsKOVA.Filtered();
        dm->cdsKOVA.SetFiltered(false);
        EXPECT_TRUE(dm->cdsKOVA.Locate("IdKOVA", {id}));
        std::string s = Situacao();
        dm->cdsKOVA.SetFiltered(filtrado);
        return s;
    }
    std::string Falha(const std::function<void()>& f) {
        try {
            f();
        } catch (const Exception& e) {
            return e.Message();
        }
        return "";
    }
    // The second slip's barcode cannot be built: its state's layout rule is not a number.
    void SegundaSemCodigoBarra() {
        dm->cdsKOVA.SetFiltered(false);
        ASSERT_TRUE(dm->cdsKOVA.Locate("IdKOVA", {2}));
        dm->cdsKOVA.Edit();
        dm->cdsKOVA.FieldByName("UFFavorecida").SetAsString("MG");
        dm->cdsKOVA.Post();
        Regra(*dm, "MG", "100048", "LY", "sete");
    }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TqrpKOVA> relatorio;
    std::unique_ptr<TFluxosImpressao> fluxos;
    SaidaDeTeste::Estado saida;
    int previas = 0;
};

TEST_F(FluxosTest, ImprimirTodasMarcaAsTresEEsvaziaALista) {
    dm->cdsKOVA.SetFiltered(true);
    ASSERT_EQ(dm->cdsKOVA.RecordCount(), 3);
    fluxos->ImprimirTodos();
    EXPECT_EQ(saida.vias, 9);     // three copies of each slip
    EXPECT_EQ(saida.paginas, 3);  // on one page each
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_TRUE(dm->cdsKOVA.Filtered());
    for (int id : {1, 2, 3}) EXPECT_EQ(Situacao(id), "I");
}

TEST_F(FluxosTest, ReimprimirRenovaADataHoraEVisualizarDeixaA) {
    dm->cdsKOVA.First();
    Clock::Set(MakeDateTime(2024, 3, 15, 11, 0));
    fluxos->Imprimir();
    EXPECT_EQ(Situacao(), "I");
    EXPECT_EQ(dm->cdsKOVA.FieldByName("DataHora").AsString(), "15/03/2024 11:00:00");
    Clock::Set(MakeDateTime(2024, 3, 15, 12, 0));
    fluxos->Imprimir();  // a printed slip printed again
    EXPECT_EQ(Situacao(), "I");
    EXPECT_EQ(dm->cdsKOVA.FieldByName("DataHora").AsString(), "15/03/2024 12:00:00");
    fluxos->Visualizar();
    EXPECT_EQ(previas, 1);
    EXPECT_EQ(Situacao(), "A");  // the preview rebuilds the barcode content, not the mark
    EXPECT_EQ(saida.vias, 6);
}

TEST_F(FluxosTest, ImpressoraQueRecusaNaoMarcaEDizQualKOVA) {
    dm->cdsKOVA.First();
    saida.falhaNaKOVA = 1;
    EXPECT_EQ(Falha([&] { fluxos->Imprimir(); }),
              "A KOVA Nº 1 não foi impressa\r\rA impressora recusou");
    EXPECT_NE(Situacao(1), "I");
    fluxos->AbrirSaida = []() -> std::unique_ptr<TSaidaImpressao> {
        throw Exception("Sem impressora");
    };
    EXPECT_EQ(Falha([&] { fluxos->Imprimir(); }), "Sem impressora");
    EXPECT_NE(Situacao(1), "I");
}

TEST_F(FluxosTest, TodosParaNaKOVAQueFalhaEAListaContinuaFiltrada) {
    SegundaSemCodigoBarra();
    dm->cdsKOVA.SetFiltered(true);
    const std::string m = Falha([&] { fluxos->ImprimirTodos(); });
    EXPECT_EQ(m.rfind("A KOVA Nº 2 não foi impressa\r\rValor inválido na KOVA: O leiaute do código "
                      "de barras 'sete'",
                      0),
              0u)
        << m;
    EXPECT_EQ(m.find("is not"), std::string::npos);
    // The first slip left the list of unprinted slips; the list is still that list.
    EXPECT_TRUE(dm->cdsKOVA.Filtered());
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 2);
    EXPECT_EQ(Situacao(1), "I");
    EXPECT_NE(Situacao(2), "I");
    EXPECT_NE(Situacao(3), "I");
    EXPECT_EQ(fluxos->Marcadas, 1);
}

TEST_F(FluxosTest, NumArquivoAsKOVASoSaoMarcadasQuandoEleFica) {
    saida.arquivo = true;
    dm->cdsKOVA.SetFiltered(true);
    EXPECT_EQ(fluxos->ImprimirLista(dm->cdsKOVA.VisibleRecords()), 3);
    EXPECT_EQ(saida.concluidas, 1);
    EXPECT_EQ(saida.paginas, 3);
    for (int id : {1, 2, 3}) EXPECT_EQ(Situacao(id), "I");

    // A failure on the second slip: the file keeps the first one, which is marked.
    for (int id : {1, 2, 3}) {
        dm->cdsKOVA.SetFiltered(false);
        dm->cdsKOVA.Locate("IdKOVA", {id});
        dm->cdsKOVA.Edit();
        dm->cdsKOVA.FieldByName("Situacao").SetAsString("N");
        dm->cdsKOVA.Post();
    }
    dm->cdsKOVA.SetFiltered(true);
    saida.falhaNaKOVA = 2;
    EXPECT_NE(Falha([&] { fluxos->ImprimirTodos(); }), "");
    EXPECT_EQ(Situacao(1), "I");
    EXPECT_NE(Situacao(2), "I");
    EXPECT_NE(Situacao(3), "I");

    // A file that cannot be completed marks nothing.
    saida.falhaNaKOVA = 0;
    saida.falhaAoConcluir = true;
    EXPECT_NE(Falha([&] { fluxos->ImprimirTodos(); }), "");
    EXPECT_NE(Situacao(2), "I");
    EXPECT_NE(Situacao(3), "I");
    EXPECT_EQ(fluxos->Marcadas, 0);
}

TEST_F(FluxosTest, ViasForaDaPaginaNaoSaoImpressas) {
    dm->cdsKOVA.First();
    relatorio->Relatorio.margemSuperior = 100000;
    const std::string m = Falha([&] { fluxos->Imprimir(); });
    EXPECT_NE(m.find("fora da página"), std::string::npos) << m;
    EXPECT_EQ(saida.paginas, 0);
    EXPECT_NE(Situacao(1), "I");
    relatorio->Relatorio.margemSuperior = 0;  // the first band at the paper's top edge
    fluxos->Imprimir();
    EXPECT_EQ(Situacao(1), "I");
    EXPECT_EQ(saida.paginas, 1);
}

TEST_F(FluxosTest, ReferenciaIlegivelNoQuadro05ParaAImpressao) {
    dm->cdsKOVA.First();
    dm->cdsKOVA.Edit();
    dm->cdsKOVA.FieldByName("Referencia").SetAsString("1AB2009");
    dm->cdsKOVA.Post();
    const std::string m = Falha([&] { fluxos->Imprimir(); });
    EXPECT_EQ(
        m,
        "A KOVA Nº 1 não foi impressa\r\rPeríodo de referência inválido para impressão: 1AB2009");
    EXPECT_EQ(saida.paginas, 0);
    EXPECT_NE(Situacao(1), "I");
}

}  // namespace
