// Every state and revenue of the shipped tables through the unattended request: whatever the
// document of origin, a slip is either refused with a reason or stored with a barcode of 44
// digits, never left to fail when it is printed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Clock.h"
#include "Dialogs.h"
#include "Digitos.h"
#include "KovaIniDeTeste.h"
#include "Predicados.h"
#include "Requisicao.h"
#include "TDM.h"
#include "Texto.h"

using namespace kova;

namespace {

bool SoDigitos(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

class TabelasDistribuidasTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2026, 6, 15, 10, 0));
        char modelo[] = "/tmp/kova-tabelas-XXXXXX";
        ASSERT_TRUE(mkdtemp(modelo));
        pasta = modelo;
        std::filesystem::copy(KOVA_DADOS_DISTRIBUIDOS, pasta + "/Dados",
                              std::filesystem::copy_options::recursive);
        PreparaKovaIni(pasta + "/Dados/");
        dm = std::make_unique<TDM>();
        dm->DMCreate();
        ASSERT_FALSE(dm->TerminacaoSolicitada);
        frm = std::make_unique<TfrmDigitar>(*dm);
    }
    void TearDown() override {
        frm.reset();
        dm.reset();
        Clock::Reset();
        std::filesystem::remove_all(pasta);
        EXPECT_TRUE(dialogs.History().empty());
    }

    std::string Pede(const std::string& r) {
        frm->Requisicao = r;
        ValidaRequisicao(*frm);
        return frm->Requisicao;
    }
    bool Regra(const std::string& uf, const std::string& receita, const char* flag,
               std::string* texto = nullptr) {
        if (!dm->cdsUFReceita.FindKey({uf, receita, flag})) return false;
        if (texto) *texto = dm->cdsUFReceita.FieldByName("Texto").AsString();
        return true;
    }

    // A slip of the state and revenue that every rule but the document's accepts: the reference
    // of the revenue's kind, the charges its "VL" row asks for, its sub-code and product.
    std::string Pedido(const std::string& uf, const std::string& receita) {
        std::string tipo;
        if (!Regra(uf, receita, "RE", &tipo) && dm->cdsReceita.FindKey({receita})) {
            tipo = dm->cdsReceita.FieldByName("Referencia").AsString();
        }
        tipo = UpperCase(tipo.substr(0, std::min<size_t>(1, tipo.size())));
        std::string vl;
        Regra(uf, receita, "VL", &vl);
        auto chave = [&](size_t posicao) { return vl.size() >= posicao && vl[posicao - 1] == 'S'; };
        const int multa = chave(7) ? 1 : 0;
        const int juros = chave(8) ? 1 : 0;
        const int principal = chave(6) && multa ? 0 : 100;
        std::string r =
            "UFFAVORECIDA=" + uf + ";RECEITA=" + receita + ";CICCONTRIBUINTE=11222333000181";
        if (tipo == "D") r += ";REFERENCIA=1052026";
        if (tipo == "P") r += ";REFERENCIA=001";
        r += ";VALORPRINCIPAL=" + std::to_string(principal) + ";JUROS=" + std::to_string(juros) +
             ";MULTA=" + std::to_string(multa) +
             ";TOTALRECOLHER=" + std::to_string(principal + juros + multa);
        // A Monday, no holiday, after every period of May.
        r += ";DATAVENCIMENTO=22/06/2026;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA "
             "A;MUNICIPIO=CIDADE;CEP=13010-000";
        r += std::string(";UF=") + (uf == "SP" ? "RJ" : "SP");
        // Goiás asks for the state registration of this revenue: one whose two check digits fit.
        if (uf == "GO" && receita == "100048") r += ";INSCRICAOESTADUAL=123456797";
        std::string sr;
        if (Regra(uf, receita, "SR", &sr)) {
            const std::vector<std::string> itens = DivideTexto(' ', sr);
            if (itens.size() > 1) r += ";SUBRECEITA=" + itens[1];
        }
        TDataSet& produtos = dm->cdsUFProduto;
        produtos.SetFiltered(false);
        if (produtos.Locate("UF;Receita", {uf, receita}))
            r += ";PRODUTO=" + produtos.FieldByName("Produto").AsString();
        return r;
    }

    // Documents of every kind a host may send, and for a "DO" format or an import declaration
    // numbers drawn until the format takes one.
    std::vector<std::string> Documentos(const std::string& uf, const std::string& receita,
                                        std::mt19937& g) {
        std::vector<std::string> docs = {
            "", "0", "1234567890", "CTE4455", "12.345-6", "123456789012345678", "ABC"};
        if (receita == "100056") {
            const std::string di = "260000001";
            docs.push_back(di + Modulo11("2" + di, 9));
            const std::string dsi = "2260000001";
            docs.push_back(dsi + Modulo11(dsi, 9));
            docs.push_back("9000000009");  // a declaration of 1990 for a reference of 2026
        }
        std::string regra;
        if (Regra(uf, receita, "DO", &regra) && regra.size() >= 7) {
            int tamanho = std::stoi(regra.substr(0, 3));
            if (tamanho == 0) tamanho = 10;
            const char* inicios[] = {"",     "0000", "00001", "00006", "111",
                                     "1995", "2000", "95",    "01",    "16000"};
            for (int i = 0; i < 6000; ++i) {
                std::string doc = inicios[g() % std::size(inicios)];
                while (int(doc.size()) < tamanho) doc += char('0' + g() % 10);
                docs.push_back(doc.substr(0, size_t(tamanho)));
            }
        }
        return docs;
    }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::string pasta;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> frm;
};

TEST_F(TabelasDistribuidasTest, TodoDocumentoAceitoDaUmaKOVAComCodigoDe44Digitos) {
    std::vector<std::string> ufs, receitas;
    for (TDataSet* t : {&dm->cdsUF, &dm->cdsReceita}) {
        t->SetFiltered(false);
        for (t->First(); !t->Eof(); t->Next()) {
            (t == &dm->cdsUF ? ufs : receitas).push_back(t->Fields(0).AsString());
        }
    }
    ASSERT_EQ(ufs.size(), 27u);
    std::mt19937 g(34);
    int guardadas = 0;
    std::set<std::string> semKOVA;
    for (const std::string& uf : ufs) {
        for (const std::string& receita : receitas) {
            const std::string pedido = Pedido(uf, receita);
            const std::vector<std::string> docs = Documentos(uf, receita, g);
            int aceitas = 0;
            for (size_t i = 0; i < docs.size(); ++i) {
                // The drawn numbers only until one is taken.
                if (i >= 10 && aceitas > 0 && receita != "100056") break;
                const std::string& doc = docs[i];
                const std::string r = Pede(pedido + (doc.empty() ? "" : ";DOCUMENTOORIGEM=" + doc));
                const std::string motivo = r.substr(0, r.find(";CRC="));
                SCOPED_TRACE(uf + " " + receita + " " + doc + ": " + r);
                if (r.substr(44, 13) == ";Retorno=000;") {
                    ++aceitas;
                    const std::string codigo = dm->cdsKOVA.FieldByName("CodigoBarra").AsString();
                    EXPECT_EQ(codigo, r.substr(0, 44));
                    EXPECT_TRUE(SoDigitos(codigo) && codigo.size() == 44u);
                    EXPECT_EQ(dm->cdsKOVA.FieldByName("DocumentoOrigem")
                                  .AsString()
                                  .find_first_not_of(" "),
                              doc.empty() ? std::string::npos : 0u);
                } else {
                    ASSERT_EQ(motivo.rfind("Retorno=001;Mensagem_Retorno=", 0), 0u);
                    EXPECT_GT(motivo.size(), 29u) << "a refusal without its reason";
                    EXPECT_EQ(motivo.find("código de barras"), std::string::npos)
                        << "the barcode's own text";
                }
            }
            guardadas += aceitas;
            if (aceitas == 0) semKOVA.insert(uf + " " + receita);
        }
    }
    // Only the pairs the rule table refuses whatever the slip holds issue nothing: a revenue
    // blocked for the state ("BL") or refused by it ("E"), and Rio de Janeiro's notice that nobody
    // can read.
    std::set<std::string> recusadas;
    TDataSet& regras = dm->cdsUFReceita;
    for (regras.First(); !regras.Eof(); regras.Next()) {
        const std::string flag = regras.FieldByName("Flag").AsString();
        const std::string uf = regras.FieldByName("UF").AsString();
        if (flag == "BL" || flag == "E" ||
            (flag == "M" && (uf == "RJ" || uf == "SC") &&
             regras.FieldByName("Receita").AsString() != "000000")) {
            recusadas.insert(uf + " " + regras.FieldByName("Receita").AsString());
        }
    }
    EXPECT_EQ(semKOVA, recusadas);
    EXPECT_GT(guardadas, 27 * 17);
}

// The document of RJ's transport revenue, which its layout packs as typed, and the declarations
// the barcode cannot date: numbered messages where the slip is sent, never the engine's text.
TEST_F(TabelasDistribuidasTest, DocumentoEDeclaracaoQueOCodigoNaoLeva) {
    const std::string rj = Pedido("RJ", "100030");
    std::string r = Pede(rj + ";DOCUMENTOORIGEM=CTE4455");
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              "Retorno=001;Mensagem_Retorno=[Erro: 30] Informe apenas campo numérico no documento "
              "origem");
    r = Pede(rj + ";DOCUMENTOORIGEM=4455");
    EXPECT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    const std::string di = "900000000";
    r = Pede(Pedido("SP", "100056") + ";REFERENCIA=1051990;DOCUMENTOORIGEM=" + di +
             Modulo11("2" + di, 9));
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              "Retorno=001;Mensagem_Retorno=[Erro: 79] Período de referência inválido.Informe o "
              "período de referência "
              "no formato DMMAAAA,onde: D=Período, MM=mês e AAAA=ano [Dd]");
}

// A request with some items replaced or added: each key once.
std::string Com(const std::string& pedido, const std::string& itens) {
    std::vector<std::string> r = DivideTexto(';', pedido);
    for (const std::string& item : DivideTexto(';', itens)) {
        const std::string chave = item.substr(0, item.find('=') + 1);
        auto igual = [&chave](const std::string& i) { return i.rfind(chave, 0) == 0; };
        r.erase(std::remove_if(r.begin(), r.end(), igual), r.end());
        r.push_back(item);
    }
    std::string texto;
    for (const std::string& i : r) texto += (texto.empty() ? "" : ";") + i;
    return texto;
}

// Each rule that reads a field the slip holds after its own judges the whole request, in every
// order of its items: the courier company with the revenue, the period with the due date, the
// document with the period, the charges with the dates, the principal with the fine.
TEST_F(TabelasDistribuidasTest, RegraQueLeCampoSeguinteJulgaOPedidoInteiro) {
    const std::string di = "260012345";
    const std::string declaracao = "DOCUMENTOORIGEM=" + di + Modulo11("2" + di, 9);
    const std::string sp = Com(Pedido("SP", "100013"), "DOCUMENTOORIGEM=123");
    struct Caso {
        std::string pedido;
        std::string inicio;  // of the reply; empty: the slip is stored
    };
    const std::vector<Caso> casos = {
        {Com(Pedido("SP", "100056"), declaracao + ";EMPRESACOURIER=05"), ""},
        {Com(Pedido("SP", "100056"), declaracao + ";EMPRESACOURIER=09"),
         "Retorno=001;Mensagem_Retorno=[Erro: 136] A Empresa de Courier informada não existe"},
        {Com(sp, "EMPRESACOURIER=05"),
         "Retorno=001;Mensagem_Retorno=[Erro: 135] O campo Empresa Courier só pode ser utilizado "
         "com a receita 10005-6"},
        // Espírito Santo's third ten days of June end after the due date.
        {Com(Pedido("ES", "100013"), "DOCUMENTOORIGEM=123;REFERENCIA=3062026"),
         "Retorno=001;Mensagem_Retorno=[Erro: 84] "},
        // A period digit the state's month does not have: told in Portuguese.
        {Com(Pedido("ES", "100013"), "DOCUMENTOORIGEM=123;REFERENCIA=4052026"),
         "Retorno=001;Mensagem_Retorno=Período de referência inválido: a UF favorecida divide o "
         "mês em três decêndios (períodos 1 a 3) e não tem o período 4;CRC="},
        // A year the document's format accepts for a period before 2008, not for one of 2026.
        {Com(Pedido("AM", "100064"), "DOCUMENTOORIGEM=0000012004;REFERENCIA=1052026"),
         "Retorno=001;Mensagem_Retorno=[Erro: 35] "},
        {Com(Pedido("GO", "100072"), "DOCUMENTOORIGEM=123;JUROS=1;TOTALRECOLHER=101"),
         "Retorno=001;Mensagem_Retorno=[Erro: 100] "},
        {Com(Pedido("AC", "100013"), "DOCUMENTOORIGEM=123;DATAPAGAMENTO=25/06/2026"),
         "Retorno=001;Mensagem_Retorno=[Erro: 98] "},
        {Com(Pedido("AC", "100013"),
             "DOCUMENTOORIGEM=123;DATAPAGAMENTO=25/06/2026;JUROS=2;TOTALRECOLHER=102"),
         ""},
        {Com(Pedido("SP", "100064"), "DOCUMENTOORIGEM=123;VALORPRINCIPAL=100;TOTALRECOLHER=111"),
         "Retorno=001;Mensagem_Retorno=[Erro: 107] "},
    };
    for (const Caso& c : casos) {
        std::vector<std::string> itens = DivideTexto(';', c.pedido);
        const std::string primeira = Pede(c.pedido);
        SCOPED_TRACE(c.pedido);
        if (c.inicio.empty()) {
            ASSERT_EQ(primeira.substr(44, 13), ";Retorno=000;") << primeira;
        } else {
            EXPECT_EQ(primeira.rfind(c.inicio, 0), 0u) << primeira;
        }
        for (bool inverso : {false, true}) {
            if (inverso) std::reverse(itens.begin(), itens.end());
            for (size_t volta = 0; volta < itens.size(); ++volta) {
                std::rotate(itens.begin(), itens.begin() + 1, itens.end());
                std::string r;
                for (const std::string& i : itens) r += (r.empty() ? "" : ";") + i;
                EXPECT_EQ(Pede(r), primeira) << r;
            }
        }
    }
}

// A courier slip is issued with the courier layout: the import revenue's number 14, the period's
// year and month, the company's code.
TEST_F(TabelasDistribuidasTest, KOVADeCourierNoLeiauteDoCourier) {
    const std::string di = "260012345";
    const std::string r =
        Pede("EMPRESACOURIER=12;" +
             Com(Pedido("SP", "100056"), "DOCUMENTOORIGEM=" + di + Modulo11("2" + di, 9)));
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(r.substr(20, 2), "14");
    EXPECT_EQ(r.substr(22, 2), "26");  // 1052026: the year's last two digits
    EXPECT_EQ(r.substr(24, 2), "05");
    EXPECT_EQ(r.substr(26, 2), "12");
}

}  // namespace
