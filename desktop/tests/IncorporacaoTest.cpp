#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "DiretorioDeTeste.h"
#include "Errors.h"
#include "Incorporacao.h"
#include "TTableFile.h"
#include "TabelasDeTeste.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"

using namespace kova;
using namespace kova::teste;

namespace {

TEST(SeparaCampos, CortaNosTabsSemCampoFinalVazio) {
    EXPECT_TRUE(SeparaCampos("").empty());
    EXPECT_EQ(SeparaCampos("a\tb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SeparaCampos("a\t\tb\t"), (std::vector<std::string>{"a", "", "b"}));
    // Leading blanks stay, trailing blanks and control characters go.
    EXPECT_EQ(SeparaCampos("  a \x01\t b  "), (std::vector<std::string>{"  a", " b"}));
    EXPECT_EQ(RetiraMascara("11.222.333/0001-81"), "11222333000181");
}

// Fields of a line that passes every check on the reference rows of ReferenciasBasicas
// (15/03/2024 is today).
std::vector<std::string> LinhaValida() {
    return {"SP",
            "100048",
            "11.222.333/0001-81",
            "",
            "001",
            "100,00",
            "0",
            "0",
            "0",
            "100,00",
            "25/03/2024",
            "",
            "EMPRESA DE TESTE LTDA",
            "",
            "RUA DAS FLORES, 100",
            "CAMPINAS",
            "SP",
            "13010-000",
            "",
            "PEDIDO 1"};
}

std::string Junta(const std::vector<std::string>& campos) {
    std::string s;
    for (size_t i = 0; i < campos.size(); ++i) s += (i ? "\t" : "") + campos[i];
    return s;
}

class IncorporacaoTest : public ::testing::Test {
protected:
    // A printer (each slip's pages exist at once) or one PDF file for the run (they exist once
    // it is complete); the slips marked when each page arrives are noted.
    struct Saida : TSaidaImpressao {
        explicit Saida(IncorporacaoTest& t) : t(t) {}
        bool Envia(const std::vector<TPagina>& p) override {
            if (t.falharImpressao) throw Exception("Impressora desligada");
            t.paginas += int(p.size());
            return !t.arquivo;
        }
        void Conclui() override { t.marcadasAoConcluir = t.Marcadas(); }
        IncorporacaoTest& t;
    };
    int Marcadas() {
        int n = 0;
        for (TBookmark b : dm->cdsKOVA.VisibleRecords()) {
            n += std::get<std::string>(dm->cdsKOVA.ValueAt(b, F("Situacao").Index())) == "I";
        }
        return n;
    }
    void SetUp() override {
        dm = ModuloDeTeste();
        // Two slips from before the import.
        for (int i = 0; i < 2; ++i) {
            dm->cdsKOVA.Append();
            PreencheKOVAValida(*dm);
            dm->cdsKOVA.Post();
        }
        form = std::make_unique<TfrmDigitar>(*dm);
        relatorio = std::make_unique<TqrpKOVA>();
        imp = std::make_unique<TIncorporacao>(*dm, *form, *relatorio);
        imp->AbrirSaida = [this] { return std::make_unique<Saida>(*this); };
        imp->AtualizaMenus = [this] { ++menus; };
        imp->FecharPrincipal = [this] { ++fechamentos; };
    }
    void TearDown() override {
        imp.reset();
        relatorio.reset();
        form.reset();
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty());
    }
    // Writes the lines (Windows-1252) with the given line ending; the last line has none when
    // semFinal is set.
    std::string Arquivo(const std::vector<std::string>& linhas, const char* fim = "\r\n",
                        bool semFinal = false) {
        const std::string nome = dir.Raiz() + "KOVA.txt";
        std::ofstream f(nome, std::ios::binary);
        for (size_t i = 0; i < linhas.size(); ++i) {
            f << linhas[i];
            if (!(semFinal && i + 1 == linhas.size())) f << fim;
        }
        return nome;
    }
    TField& F(const char* nome) { return dm->cdsKOVA.FieldByName(nome); }
    bool Vai(int id) { return dm->cdsKOVA.Locate("IdKOVA", {id}); }
    std::string Falha(const std::string& arquivo, bool desassistido = false) {
        try {
            imp->IncorporarArquivo(arquivo, desassistido);
        } catch (const EAbort&) {
            return "abort";
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    DiretorioDeTeste dir;
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> form;
    std::unique_ptr<TqrpKOVA> relatorio;
    std::unique_ptr<TIncorporacao> imp;
    bool falharImpressao = false, arquivo = false;
    int paginas = 0, menus = 0, fechamentos = 0, marcadasAoConcluir = -1;
};

TEST_F(IncorporacaoTest, TresLinhasNumeradasDepoisDaMaiorEMensagem) {
    auto l = LinhaValida();
    dialogs.Answer(TModalResult::mrNo);  // no print
    const std::string nome = Arquivo({Junta(l), Junta(l), Junta(l)}, "\n", true);
    EXPECT_EQ(Falha(nome), "");
    EXPECT_EQ(imp->Incorporadas, 3);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 5);
    for (int id = 3; id <= 5; ++id) {
        ASSERT_TRUE(Vai(id));
        EXPECT_EQ(F("Situacao").AsString(), "N");
        // Masks go from the CNPJ; the CEP stays as written.
        EXPECT_EQ(F("CICContribuinte").AsString(), "11222333000181");
        EXPECT_EQ(F("CEP").AsString(), "13010-000");
        EXPECT_EQ(F("Produto").AsInteger(), 0);
    }
    const auto textos = dialogs.Texts();
    ASSERT_EQ(textos.size(), 2u);
    EXPECT_EQ(textos[0], "3 KOVA incorporadas com sucesso");
    EXPECT_EQ(textos[1], "Deseja imprimir todas as KOVA incorporadas?");
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(fechamentos, 0);
    EXPECT_FALSE(dm->ModoImportacao);
}

TEST_F(IncorporacaoTest, QuantidadeDeCamposDecideALinha) {
    auto l = LinhaValida();
    auto com19 = l;
    com19.pop_back();
    // 20 fields and a trailing tab is a line of 20 fields; 22 to 24 ignore the extras.
    auto com24 = l;
    for (const char* extra : {"", "x", "y", "z"}) com24.push_back(extra);
    com24[20] = "0";
    dialogs.Answer(TModalResult::mrYes);  // keep the two saved
    dialogs.Answer(TModalResult::mrNo);   // no print
    const std::string nome = Arquivo({Junta(l) + "\t", Junta(com24), Junta(com19)});
    const std::string erro = Falha(nome);
    EXPECT_EQ(erro, "Registro Nº 3 inválido para incorporação\r\rNúmero de campos inválido\r\r" +
                        Junta(com19));
    EXPECT_EQ(imp->Incorporadas, 2);
    const auto textos = dialogs.Texts();
    ASSERT_EQ(textos.size(), 3u);
    EXPECT_EQ(textos[0], "Erro na incorporação das KOVA.\r\rRegistro Nº 3 com problemas");
    EXPECT_EQ(textos[1],
              "Foram incorporadas com sucesso as primeiras 2 KOVA\r\rDeseja preservá-las?");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 4);

    auto com25 = com24;
    com25.push_back("w");
    dialogs.Clear();
    EXPECT_NE(Falha(Arquivo({Junta(com25)})).find("Registro Nº 1 inválido"), std::string::npos);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 4);
}

TEST_F(IncorporacaoTest, ProdutoDataDePagamentoEValoresVazios) {
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(36)},
                               {"Descricao", T("Zinco")}});
    auto l = LinhaValida();
    l.push_back("36");
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_EQ(Falha(Arquivo({Junta(l)})), "");
    ASSERT_TRUE(Vai(3));
    EXPECT_EQ(F("Produto").AsInteger(), 36);
    // Today + validity is before the due date: the payment date is raised to it.
    EXPECT_EQ(F("DataPagamento").AsString(), "25/03/2024");

    // A line without a product for a revenue that needs one: the person picks it.
    l.pop_back();
    dialogs.Clear();
    dialogs.ResponderDialogo(true, [this](const TPedidoDialogo& p) {
        EXPECT_EQ(p.nome, "TfrmSelecionaProduto");
        EXPECT_EQ(p.titulo, "Selecione Produto - Reg Nº 1 - SP - 100048 - 25/03/2024 - 100,00");
        EXPECT_EQ(dm->cdsUFProduto.IndexName(), "sk_Descricao");
        dm->cdsUFProduto.Locate("Produto", {int32_t(36)});
    });
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_EQ(Falha(Arquivo({Junta(l)})), "");
    ASSERT_TRUE(Vai(4));
    EXPECT_EQ(F("Produto").AsInteger(), 36);
    EXPECT_EQ(dm->cdsUFProduto.IndexName(), "pk_UFProduto");

    // Declining the pick ends the import silently after the validation message.
    dialogs.Clear();
    dialogs.ResponderDialogo(false);
    EXPECT_EQ(Falha(Arquivo({Junta(l)})), "abort");
    const auto textos = dialogs.Texts();
    ASSERT_EQ(textos.size(), 2u);
    EXPECT_EQ(textos[0], "[Erro: 133] Informe produto para esta receita");
    EXPECT_EQ(textos[1], "Erro na incorporação das KOVA.\r\rRegistro Nº 1 com problemas");
    EXPECT_EQ(dm->UltimoIdKOVA, 4);

    // An empty principal leaves it without a value; a text that is no number stops the line.
    Inserir(dm->cdsUFProduto, {{"UF", T("MG")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(1)},
                               {"Descricao", T("x")}});
    dm->cdsUFProduto.SetFiltered(false);
    auto semValor = LinhaValida();
    semValor[5] = "1O,00";
    dialogs.Clear();
    EXPECT_EQ(Falha(Arquivo({Junta(semValor)})), "'1O,00' não é um número válido");
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
}

// Each field of a line is judged with the columns its rules read, also those after it: the total
// once the fine that follows a principal of zero is in, the document once the product that
// spares it is.
TEST_F(IncorporacaoTest, CampoJulgadoComAsColunasQueVemDepois) {
    Inserir(dm->cdsReceita, {{"Codigo", T("100099")},
                             {"Descricao", T("ICMS substituição")},
                             {"CodigoBarra", int32_t(9)},
                             {"DocumentoOrigem", T("S")},
                             {"Referencia", T("P")},
                             {"LayoutCodigoBarra", 1.0},
                             {"TipoDocumento", T("0")}});
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100099")},
                               {"Produto", int32_t(99)},
                               {"Descricao", T("Outros")}});
    auto multa = LinhaValida();
    multa[5] = "0";
    multa[8] = "100,00";
    auto produto = LinhaValida();
    produto[1] = "100099";
    produto.push_back("99");
    dialogs.Answer(TModalResult::mrNo);  // no print
    EXPECT_EQ(Falha(Arquivo({Junta(multa), Junta(produto)})), "");
    EXPECT_EQ(imp->Incorporadas, 2);
    ASSERT_TRUE(Vai(3));
    EXPECT_EQ(F("TotalRecolher").AsFloat(), 100.0);
    ASSERT_TRUE(Vai(4));
    EXPECT_TRUE(F("DocumentoOrigem").IsNull());
    EXPECT_EQ(F("Produto").AsInteger(), 99);
}

TEST_F(IncorporacaoTest, RecusarPreservarDesfazAsNovasEDevolveOsNumeros) {
    auto l = LinhaValida();
    auto ruim = l;
    ruim[0] = "XX";
    dialogs.Answer(TModalResult::mrNo);  // do not keep
    const std::string erro = Falha(Arquivo({Junta(l), Junta(l), Junta(l), Junta(l), Junta(ruim)}));
    EXPECT_EQ(erro, "[Erro: 2] Informe UF Favorecida válida");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 2);
    EXPECT_EQ(dm->UltimoIdKOVA, 2);
    EXPECT_EQ(dialogs.Texts().size(), 2u);  // no print question: nothing new remains
    dm->cdsKOVA.Append();
    EXPECT_EQ(F("IdKOVA").AsInteger(), 3);
    dm->cdsKOVA.Cancel();
}

TEST_F(IncorporacaoTest, DesassistidaImprimeMarcaEFecha) {
    auto l = LinhaValida();
    const std::string nome = Arquivo({Junta(l), Junta(l)});
    EXPECT_EQ(Falha(nome, true), "");
    EXPECT_EQ(imp->Impressas, 2);
    EXPECT_GT(paginas, 0);
    for (int id : {3, 4}) {
        ASSERT_TRUE(Vai(id));
        EXPECT_EQ(F("Situacao").AsString(), "I");
    }
    ASSERT_TRUE(Vai(1));
    EXPECT_EQ(F("Situacao").AsString(), "N");  // older slips are not printed
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"2 KOVA impressas com sucesso"});
    EXPECT_EQ(fechamentos, 1);

    // A printer failure is told and the program still ends.
    falharImpressao = true;
    dialogs.Clear();
    EXPECT_EQ(Falha(Arquivo({Junta(l)}), true),
              "A KOVA Nº 5 não foi impressa\r\rImpressora desligada");
    EXPECT_EQ(fechamentos, 2);
    ASSERT_TRUE(Vai(5));
    EXPECT_NE(F("Situacao").AsString(), "I");
}

// An import that reaches the greatest slip number stops at the line that would pass it, as at a
// refused line: the slips before it are kept and printed, none gets a number that wrapped.
TEST_F(IncorporacaoTest, NumeracaoEsgotadaParaNaLinhaQueAPassaria) {
    auto l = LinhaValida();
    dm->UltimoIdKOVA = kMaiorIdKOVA - 1;
    dialogs.Answer(TModalResult::mrYes);  // the slip before it is kept
    const std::string motivo = Falha(Arquivo({Junta(l), Junta(l), Junta(l)}), true);
    EXPECT_EQ(motivo,
              "Não é possível incluir uma nova KOVA: a última KOVA tem o número 2147483647, o "
              "maior que a numeração das KOVA permite.");
    EXPECT_EQ(imp->Linha, 2);
    EXPECT_EQ(imp->Incorporadas, 1);
    EXPECT_EQ(imp->Impressas, 1);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 3);
    ASSERT_TRUE(Vai(kMaiorIdKOVA));
    EXPECT_EQ(F("Situacao").AsString(), "I");
    for (TBookmark b : dm->cdsKOVA.VisibleRecords())
        EXPECT_GT(std::get<int32_t>(dm->cdsKOVA.ValueAt(b, F("IdKOVA").Index())), 0);
    ASSERT_FALSE(dialogs.Texts().empty());
    EXPECT_EQ(dialogs.Texts()[0], "Erro na incorporação das KOVA.\r\rRegistro Nº 2 com problemas");
}

TEST_F(IncorporacaoTest, SemImpressoraCadaKOVAMarcadaTemSuaPaginaNoArquivo) {
    arquivo = true;
    auto l = LinhaValida();
    EXPECT_EQ(Falha(Arquivo({Junta(l), Junta(l), Junta(l)}), true), "");
    EXPECT_EQ(paginas, 3);             // three slips, one page each
    EXPECT_EQ(marcadasAoConcluir, 0);  // nothing marked before the file is complete
    EXPECT_EQ(imp->Impressas, 3);
    EXPECT_EQ(Marcadas(), 3);
}

TEST_F(IncorporacaoTest, TextosAcentuadosEFinaisDeLinha) {
    auto l = LinhaValida();
    l[12] = "  AÇÚCAR & CAFÉ Ltda  ";
    l[15] = "SÃO JOÃO";
    dialogs.Answer(TModalResult::mrNo);
    // LF alone, and a last line without an ending.
    EXPECT_EQ(Falha(Arquivo({Junta(l), Junta(l)}, "\n", true)), "");
    ASSERT_TRUE(Vai(4));
    EXPECT_EQ(F("RazaoSocial").AsString(), "AÇÚCAR & CAFÉ Ltda");
    EXPECT_EQ(F("Municipio").AsString(), "SÃO JOÃO");

    dialogs.Clear();
    EXPECT_NE(Falha(dir.Raiz() + "nao-existe.txt").find("nao-existe.txt"), std::string::npos);
    EXPECT_EQ(dialogs.Texts().front(),
              "Erro na incorporação das KOVA.\r\rRegistro Nº 0 com problemas");
}

TEST_F(IncorporacaoTest, ValoresNoCentavoEstadosEmMaiusculasEBrancasNoFim) {
    auto l = LinhaValida();
    l[0] = "sp";
    l[16] = "sp";
    l[5] = "9,995";  // 10,00 in the check and on the slip alike
    l[9] = "10,00";
    auto m = LinhaValida();
    m[5] = "1,005";
    m[7] = "2,005";
    m[9] = "3,02";
    dialogs.Answer(TModalResult::mrNo);  // no print
    // Blank lines after the last slip are no slips.
    EXPECT_EQ(Falha(Arquivo({Junta(l), Junta(m), "", "  ", ""})), "");
    EXPECT_EQ(imp->Incorporadas, 2);
    ASSERT_TRUE(Vai(3));
    EXPECT_EQ(F("UFFavorecida").AsString(), "SP");
    EXPECT_EQ(F("UF").AsString(), "SP");
    EXPECT_EQ(F("ValorPrincipal").AsString(), "10");
    ASSERT_TRUE(Vai(4));
    EXPECT_EQ(F("ValorPrincipal").AsString(), "1,01");
    EXPECT_EQ(F("Juros").AsString(), "2,01");

    // A blank line between slips still stops the import at its own number.
    dialogs.Clear();
    dialogs.Answer(TModalResult::mrYes);  // keep the first
    dialogs.Answer(TModalResult::mrNo);   // no print
    const std::string erro = Falha(Arquivo({Junta(LinhaValida()), "", "", Junta(LinhaValida())}));
    EXPECT_EQ(erro.rfind("Registro Nº 2 inválido para incorporação", 0), 0u) << erro;
    EXPECT_EQ(imp->Incorporadas, 1);
}

// A refused line is quoted by its start, however long it is; a field holding a control character
// is refused by line and field, and nothing of either line is stored.
TEST_F(IncorporacaoTest, LinhaRecusadaCitadaPeloInicioECaracteresDeControleRecusados) {
    const std::string enorme(10'000'000, 'A');
    std::string erro = Falha(Arquivo({enorme}));
    EXPECT_LT(erro.size(), 700u);
    EXPECT_EQ(erro, "Registro Nº 1 inválido para incorporação\r\rNúmero de campos inválido\r\r" +
                        enorme.substr(0, 500) + " [...] (linha de 10000000 caracteres)");
    for (const std::string& texto : dialogs.Texts()) EXPECT_LT(texto.size(), 700u);

    // A number 10 MB long is refused as any bad number is, quoted by its start.
    auto l = LinhaValida();
    l[5] = std::string(10'000'000, '9');
    dialogs.Clear();
    erro = Falha(Arquivo({Junta(l)}));
    EXPECT_EQ(erro.rfind("'" + std::string(64, '9') + "...'", 0), 0u) << erro.substr(0, 200);
    EXPECT_LT(erro.size(), 700u);
    for (const std::string& texto : dialogs.Texts()) EXPECT_LT(texto.size(), 700u);

    const struct {
        size_t campo;
        std::string texto;
        const char* nome;
    } casos[] = {
        {12, std::string("EMPRESA\0OCULTA", 14), "13 (RazaoSocial)"},
        {14, "RUA \x1b[2JDAS FLORES", "15 (Endereco)"},
        {19, "PEDIDO\r1", "20 (Informacoes)"},
        {15, "CAMPINAS\x7f", "16 (Municipio)"},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.nome);
        auto linha = LinhaValida();
        linha[caso.campo] = caso.texto;
        dialogs.Clear();
        dialogs.Answer(TModalResult::mrYes);  // keep the first
        dialogs.Answer(TModalResult::mrNo);   // no print
        EXPECT_EQ(Falha(Arquivo({Junta(LinhaValida()), Junta(linha)})),
                  std::string("Registro Nº 2 inválido para incorporação\r\rO campo ") + caso.nome +
                      " contém caracteres de controle");
        EXPECT_EQ(imp->Incorporadas, 1);
    }
}

// An import in December: the period written in the file is the one kept, this month's passes and
// an empty one is asked for.
TEST(IncorporacaoDezembro, PeriodoDoArquivoPassaEVazioEhPedido) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    DiretorioDeTeste dir;
    Clock::Set(MakeDateTime(2026, 12, 9, 10, 0));
    TDM dm;
    dm.AbrirTabelasVazias();
    ReferenciasBasicas(dm);
    Inserir(dm.cdsReceita, {{"Codigo", T("100013")},
                            {"Descricao", T("ICMS comunicação")},
                            {"CodigoBarra", int32_t(1)},
                            {"Referencia", T("D")},
                            {"LayoutCodigoBarra", 1.0},
                            {"TipoDocumento", T("0")}});
    Regra(dm, "SP", "000000", "MA", "KOVA vencida");
    TfrmDigitar form(dm);
    TqrpKOVA relatorio;
    TIncorporacao imp(dm, form, relatorio);
    auto l = LinhaValida();
    l[1] = "100013";
    l[4] = "1122026";
    l[10] = "15/12/2026";
    auto vazia = l;
    vazia[4] = "";
    const std::string nome = dir.Raiz() + "dezembro.txt";
    std::ofstream(nome, std::ios::binary) << Junta(l) << "\r\n" << Junta(vazia) << "\r\n";
    dialogs.Answer(TModalResult::mrYes);  // keep the first
    dialogs.Answer(TModalResult::mrNo);   // no print
    std::string erro;
    try {
        imp.IncorporarArquivo(nome, false);
    } catch (const std::exception& e) {
        erro = e.what();
    }
    EXPECT_EQ(erro.rfind("[Erro: 75] ", 0), 0u) << erro;
    EXPECT_EQ(imp.Incorporadas, 1);
    ASSERT_TRUE(dm.cdsKOVA.Locate("IdKOVA", {int32_t(1)}));
    EXPECT_EQ(dm.cdsKOVA.FieldByName("Referencia").AsString(), "1122026");
    Clock::Reset();
}

}  // namespace

namespace {

// Slips and printed marks on disk at every moment a person or the printer is told of the import.
class DiscoAoAvisar : public IDialogService {
public:
    DiscoAoAvisar(IDialogService& pessoa, std::function<std::string()> disco)
        : pessoa_(pessoa), disco_(disco) {}
    TModalResult MessageDlg(const std::string& texto, TMsgDlgType tipo,
                            TMsgDlgButtons botoes) override {
        Vistos.push_back(texto + " | " + disco_());
        return pessoa_.MessageDlg(texto, tipo, botoes);
    }
    bool Executar(const TPedidoDialogo& pedido) override { return pessoa_.Executar(pedido); }
    std::vector<std::string> Vistos;

private:
    IDialogService& pessoa_;
    std::function<std::string()> disco_;
};

TEST_F(IncorporacaoTest, KOVANoDiscoAntesDeQualquerAvisoOuImpressaoEMarcasLogoDepois) {
    dm->DirDados = dir.Dados();
    dm->GravarAposAlteracao = true;
    auto disco = [&] {
        TDataSet t;
        LoadFromFile(t, dir.Dados() + "KOVA.cds");
        int impressas = 0;
        for (t.First(); !t.Eof(); t.Next())
            impressas += t.FieldByName("Situacao").AsString() == "I";
        return std::to_string(t.RecordCount()) + " no disco, " + std::to_string(impressas) +
               " impressas";
    };
    DiscoAoAvisar observador(dialogs, disco);
    ScopedDialogService s(observador);
    std::vector<std::string> impressora;
    // A printer that notes what the disk holds as each slip's pages reach it.
    struct Anota : TSaidaImpressao {
        explicit Anota(std::function<void()> f) : anota(std::move(f)) {}
        bool Envia(const std::vector<TPagina>&) override {
            anota();
            return true;
        }
        std::function<void()> anota;
    };
    imp->AbrirSaida = [&] {
        return std::make_unique<Anota>([&] { impressora.push_back(disco()); });
    };
    auto l = LinhaValida();

    // From the menu: told, asked, printed on request.
    dialogs.Answer(TModalResult::mrYes);
    EXPECT_EQ(Falha(Arquivo({Junta(l), Junta(l), Junta(l)})), "");
    EXPECT_EQ(observador.Vistos,
              (std::vector<std::string>{
                  "3 KOVA incorporadas com sucesso | 5 no disco, 0 impressas",
                  "Deseja imprimir todas as KOVA incorporadas? | 5 no disco, 0 impressas",
                  "3 KOVA impressas com sucesso | 5 no disco, 3 impressas"}));
    EXPECT_EQ(impressora, (std::vector<std::string>(3, "5 no disco, 0 impressas")));

    // Unattended, and with a line that fails after two good ones (kept).
    observador.Vistos.clear();
    impressora.clear();
    auto ruim = l;
    ruim[0] = "XX";
    dialogs.Answer(TModalResult::mrYes);  // keep
    Falha(Arquivo({Junta(l), Junta(l), Junta(ruim)}), true);
    ASSERT_EQ(observador.Vistos.size(), 3u);
    EXPECT_EQ(observador.Vistos[0],
              "Erro na incorporação das KOVA.\r\rRegistro Nº 3 com problemas | "
              "7 no disco, 3 impressas");
    EXPECT_EQ(observador.Vistos[1],
              "Foram incorporadas com sucesso as primeiras 2 KOVA\r\rDeseja preservá-las? | "
              "7 no disco, 3 impressas");
    EXPECT_EQ(observador.Vistos[2], "2 KOVA impressas com sucesso | 7 no disco, 5 impressas");
    EXPECT_EQ(impressora, (std::vector<std::string>(2, "7 no disco, 3 impressas")));

    // Declining to keep them takes them off the disk too, before the failure is told.
    observador.Vistos.clear();
    dialogs.Answer(TModalResult::mrNo);
    Falha(Arquivo({Junta(l), Junta(ruim)}), true);
    EXPECT_EQ(disco(), "7 no disco, 5 impressas");
}

}  // namespace
