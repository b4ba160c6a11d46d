#include "TDM.h"

#include <stdexcept>

#include "Clock.h"
#include "Conversoes.h"
#include "Desligado.h"
#include "Diretorios.h"
#include "Errors.h"
#include "GravacaoKOVA.h"
#include "RegrasDaUF.h"
#include "TArquivoTabela.h"
#include "Texto.h"
#include "VersaoCodigoBarra.h"

namespace kova {

TDM* DM = nullptr;

std::string DirProgramaDoModulo() { return DM ? DM->DirPrograma : DiretorioPrograma(); }

namespace {

using F = TFieldType;

TField& Campo(TDataSet& t, const char* nome, TFieldType tipo, int tamanho = 0, int largura = 0,
              const char* mascara = "") {
    TField& f = t.AddField(TFieldDef(nome, tipo, tamanho));
    if (largura) f.SetDisplayWidth(largura);
    if (*mascara) f.SetEditMask(mascara);
    return f;
}

TField& Calculado(TDataSet& t, const char* nome, int tamanho, int largura = 0) {
    TField& f = t.AddField(TFieldDef(nome, F::ftString, tamanho, true));
    if (largura) f.SetDisplayWidth(largura);
    return f;
}

}  // namespace

TDM::TDM() {
    if (DM) throw std::logic_error("only one data module may exist");
    DefinirFormatosRegionais();
    LerRelogio();
    DirPrograma = DiretorioPrograma();
    DefinirTabelas();
    EsqueceChavesDasRegras();
    DM = this;
}

TDM::~TDM() {
    EsqueceChavesDasRegras();
    if (DM == this) DM = nullptr;
}

void TDM::DefinirCamposKOVA(TDataSet& t) {
    Campo(t, "IdKOVA", F::ftInteger);
    Campo(t, "UFFavorecida", F::ftString, 2, 4);
    Campo(t, "Receita", F::ftString, 6);
    Campo(t, "SubReceita", F::ftSmallint);
    Campo(t, "Produto", F::ftSmallint);
    Campo(t, "CICContribuinte", F::ftString, 14);
    Campo(t, "DocumentoOrigem", F::ftString, 18, 15);
    Campo(t, "Referencia", F::ftString, 7);
    Campo(t, "ValorPrincipal", F::ftCurrency);
    Campo(t, "AtualizacaoMonetaria", F::ftCurrency);
    Campo(t, "Juros", F::ftCurrency);
    Campo(t, "Multa", F::ftCurrency);
    Campo(t, "TotalRecolher", F::ftCurrency);
    Campo(t, "DataVencimento", F::ftDate, 0, 0, "!99/99/0000;1;_");
    Campo(t, "DataPagamento", F::ftDate, 0, 0, "!99/99/0000;1;_");
    Campo(t, "Convenio", F::ftString, 50);
    Campo(t, "RazaoSocial", F::ftString, 46);
    Campo(t, "InscricaoEstadual", F::ftString, 14);
    Campo(t, "Endereco", F::ftString, 60);
    Campo(t, "Municipio", F::ftString, 20);
    Campo(t, "UF", F::ftString, 2);
    Campo(t, "CEP", F::ftString, 9, 0, "00000\\-000;1;_");
    Campo(t, "Telefone", F::ftString, 20);
    Campo(t, "Informacoes", F::ftString, 240, 240);
    Campo(t, "CodigoBarra", F::ftString, 44);
    Campo(t, "Situacao", F::ftString, 1);
    Campo(t, "DataHora", F::ftDateTime);
    t.AddIndex("pk_IdKOVA", "IdKOVA");
    t.AddIndex("pk_CICContribuinte", "CICContribuinte;IdKOVA");
}

void TDM::DefinirTabelas() {
    DefinirCamposKOVA(cdsKOVA);
    cdsKOVA.SetFilter(kFiltroKOVANaoImpressas);
    cdsKOVA.OnNewRecord = [this](TDataSet& d) { cdsKOVANewRecord(d); };
    cdsKOVA.BeforePost = [this](TDataSet& d) { cdsKOVABeforePost(d); };
    cdsKOVA.BeforeCancel = [this](TDataSet& d) { cdsKOVABeforeCancel(d); };
    cdsKOVA.AfterEdit = [this](TDataSet& d) { cdsKOVAAfterEdit(d); };
    cdsKOVA.AfterPost = [this](TDataSet&) { KOVAAlterada(); };
    cdsKOVA.AfterDelete = [this](TDataSet&) { KOVAAlterada(); };
    for (const char* valor :
         {"ValorPrincipal", "AtualizacaoMonetaria", "Juros", "Multa", "TotalRecolher"}) {
        cdsKOVA.FieldByName(valor).OnSetText = [this](TField& f, const std::string& s) {
            cdsKOVAValorPrincipalSetText(f, s);
        };
    }

    Campo(cdsUF, "UF", F::ftString, 2, 4);
    Campo(cdsUF, "Descricao", F::ftString, 20);
    Calculado(cdsUF, "UFDescricao", 25, 22);
    Campo(cdsUF, "Codigo", F::ftInteger);
    Calculado(cdsUF, "CodigoDigito", 4, 4);
    Campo(cdsUF, "CodigoBarra", F::ftInteger);
    Campo(cdsUF, "Conveniada", F::ftString, 1);
    Campo(cdsUF, "CodigoBarraVencidos", F::ftString, 1);
    Campo(cdsUF, "Periodicidade", F::ftString, 3);
    Campo(cdsUF, "UFEndIgual", F::ftString, 1);
    Campo(cdsUF, "DataPagamentoIgual", F::ftString, 1);
    Calculado(cdsUF, "ImprimeCodigoBarras", 3);
    Calculado(cdsUF, "ImprimeCodigoBarrasVencido", 3);
    cdsUF.AddIndex("pk_UF", "UF");
    cdsUF.OnCalcFields = [this](TDataSet& d) { cdsUFCalcFields(d); };

    Campo(cdsReceita, "Codigo", F::ftString, 6);
    Campo(cdsReceita, "Descricao", F::ftString, 40);
    Campo(cdsReceita, "CodigoBarra", F::ftSmallint);
    Calculado(cdsReceita, "CodigoDigito", 7);
    Campo(cdsReceita, "TipoDocumento", F::ftString, 1);
    Campo(cdsReceita, "DocumentoOrigem", F::ftString, 1);
    Campo(cdsReceita, "Referencia", F::ftString, 1);
    Campo(cdsReceita, "UFEndIgualFavorec", F::ftString, 1);
    Campo(cdsReceita, "LayoutCodigoBarra", F::ftFloat);
    Calculado(cdsReceita, "LayoutCodigoBarra2", 10);
    cdsReceita.AddIndex("pk_Codigo", "Codigo");
    cdsReceita.OnCalcFields = [this](TDataSet& d) { cdsReceitaCalcFields(d); };
    cdsReceita.OnFilterRecord = [this](TDataSet& d) { return cdsReceitaFilterRecord(d); };
    cdsReceita.OnFilterKey = [this] { return cdsReceitaFilterKey(); };
    cdsReceita.FieldByName("Descricao").OnGetText = [this](TField& f, std::string& s, bool disp) {
        cdsReceitaDescricaoGetText(f, s, disp);
    };

    Campo(cdsSubReceita, "Codigo", F::ftString, 6);
    Campo(cdsSubReceita, "SubReceita", F::ftSmallint);
    Campo(cdsSubReceita, "Descricao", F::ftString, 70);
    Campo(cdsSubReceita, "CodigoBarra", F::ftSmallint);
    cdsSubReceita.AddIndex("pk_SubReceita", "Codigo;SubReceita");
    cdsSubReceita.OnFilterRecord = [this](TDataSet& d) { return cdsSubReceitaFilterRecord(d); };

    Campo(cdsUFReceita, "UF", F::ftString, 2);
    Campo(cdsUFReceita, "Receita", F::ftString, 6);
    Campo(cdsUFReceita, "Flag", F::ftString, 2);
    Campo(cdsUFReceita, "Texto", F::ftString, 200);
    cdsUFReceita.AddIndex("pk_UFReceita", "UF;Receita;Flag");

    Campo(cdsUFProduto, "UF", F::ftString, 2);
    Campo(cdsUFProduto, "Receita", F::ftString, 6);
    Campo(cdsUFProduto, "Produto", F::ftSmallint, 0, 5);
    Campo(cdsUFProduto, "Descricao", F::ftString, 75, 58);
    cdsUFProduto.AddIndex("pk_UFProduto", "Produto;UF;Receita");
    cdsUFProduto.AddIndex("sk_Descricao", "Descricao;Produto;UF;Receita");

    Campo(cdsFeriado, "Data", F::ftDate);
    Campo(cdsFeriado, "Descricao", F::ftString, 50);
    cdsFeriado.AddIndex("pk_Feriado", "Data");

    Campo(cdsEmpresaCourier, "Codigo", F::ftInteger);
    Campo(cdsEmpresaCourier, "Nome", F::ftString, 60);
    cdsEmpresaCourier.AddIndex("pk_Codigo", "Codigo");

    Campo(cdsBanco, "ID", F::ftString, 3);
    Campo(cdsBanco, "Nome", F::ftString, 60);
    Campo(cdsBanco, "LogoTipo", F::ftGraphic);
    cdsBanco.AddIndex("pk_Id", "ID");

    Campo(cdsUFBanco, "UFID", F::ftString, 2);
    Campo(cdsUFBanco, "BancoID", F::ftString, 3);
    cdsUFBanco.AddIndex("pk_UFBanco", "UFID;BancoID");

    Campo(cdsControle, "Versao", F::ftInteger);
    Campo(cdsControle, "VersaoRelease", F::ftString, 2);
    Campo(cdsControle, "VersaoTestes", F::ftInteger);
    Campo(cdsControle, "VersaoCodigoBarras", F::ftInteger);
    Campo(cdsControle, "ValidadeDocumento", F::ftInteger);

    Campo(cdsControleCRC, "NomeTabela", F::ftString, 30);
    Campo(cdsControleCRC, "CRC", F::ftString, 8);
    cdsControleCRC.AddIndex("pk_NomeTabela", "NomeTabela");

    dtsKOVA.SetDataSet(&cdsKOVA);
    dtsUF.SetDataSet(&cdsUF);
    dtsReceita.SetDataSet(&cdsReceita);
    dtsSubReceita.SetDataSet(&cdsSubReceita);
    dtsUFReceita.SetDataSet(&cdsUFReceita);
    dtsUFProduto.SetDataSet(&cdsUFProduto);
    dtsFeriado.SetDataSet(&cdsFeriado);
    dtsEmpresaCourier.SetDataSet(&cdsEmpresaCourier);
    dtsBanco.SetDataSet(&cdsBanco);
    dtsUFBanco.SetDataSet(&cdsUFBanco);
    dtsControleCRC.SetDataSet(&cdsControleCRC);
}

void TDM::AbrirTabelasVazias() {
    for (TDataSet* t :
         {&cdsKOVA, &cdsUF, &cdsReceita, &cdsSubReceita, &cdsUFReceita, &cdsUFProduto, &cdsFeriado,
          &cdsEmpresaCourier, &cdsBanco, &cdsUFBanco, &cdsControle, &cdsControleCRC}) {
        t->CreateDataSet();
        if (!t->IndexDefs().empty()) t->SetIndexName(t->IndexDefs().front().name);
        t->First();
    }
    UltimoIdKOVA = 0;
}

// ------------------------------------------------------------------ slips table

void TDM::cdsKOVANewRecord(TDataSet& ds) {
    LerRelogio();
    // The next number would not fit a slip's number: it would come out negative, and such a slip
    // would never be listed, printed or found after the others.
    if (UltimoIdKOVA >= kMaiorIdKOVA) {
        throw ENumeracaoEsgotada(
            "Não é possível incluir uma nova KOVA: a última KOVA tem o número " +
            std::to_string(kMaiorIdKOVA) + ", o maior que a numeração das KOVA permite.");
    }
    ++UltimoIdKOVA;
    CriandoRegistro = true;
    // The defaults are nobody's change: the sources hear of the new record as a whole when Append
    // announces it, and not of each default on the way (the entry screen's notification ran its
    // whole progression for each of them).
    ds.DisableControls();
    try {
        ds.FieldByName("IdKOVA").SetAsInteger(UltimoIdKOVA);
        ds.FieldByName("DataPagamento")
            .SetAsDate(Clock::Today() + std::chrono::days(ValidadeDocumento));
        ds.FieldByName("SubReceita").SetAsInteger(0);
        ds.FieldByName("Produto").SetAsInteger(0);
        for (const char* valor :
             {"ValorPrincipal", "AtualizacaoMonetaria", "Juros", "Multa", "TotalRecolher"}) {
            ds.FieldByName(valor).SetAsFloat(0);
        }
        ds.FieldByName("Situacao").SetAsString("N");
    } catch (...) {
        ds.EnableControlsSilently();
        CriandoRegistro = false;
        throw;
    }
    ds.EnableControlsSilently();
    CriandoRegistro = false;
}

void TDM::cdsKOVABeforePost(TDataSet& ds) {
    bool erro = CriticaTodos ? CriticaTodos(ds) : false;
    // During an import the check raises its own failure; elsewhere its message was already given.
    if (erro && !ModoImportacao) Abort();
    ds.FieldByName("DataHora").SetAsDateTime(Clock::Now());
}

void TDM::cdsKOVABeforeCancel(TDataSet& ds) {
    if (ds.State() == TDataSetState::dsInsert) --UltimoIdKOVA;
}

void TDM::cdsKOVAAfterEdit(TDataSet& ds) {
    LerRelogio();
    if (ds.State() == TDataSetState::dsEdit) ds.FieldByName("Situacao").SetAsString("A");
}

void TDM::LerRelogio() { AnoAtual = YearOf(Clock::Today()); }

void TDM::cdsKOVAValorPrincipalSetText(TField& field, const std::string& text) {
    if (Trim(text).empty()) {
        field.SetAsFloat(0);
        return;
    }
    double v;
    if (!TryStrToFloat(text, v)) throw Exception("Valor não é um número válido: " + text);
    if (v < 0) throw Exception("Valor negativo não é permitido: " + text);
    field.SetAsFloat(Arredonda(2, v));
}

// ------------------------------------------------------------------ reference tables

void TDM::cdsUFCalcFields(TDataSet& ds) {
    std::string codigo = ds.FieldByName("Codigo").IsNull()
                             ? std::string()
                             : FormatFloat("00-0", ds.FieldByName("Codigo").AsInteger());
    ds.FieldByName("CodigoDigito").SetAsString(codigo);
    ds.FieldByName("UFDescricao")
        .SetAsString(codigo + " " + ds.FieldByName("Descricao").AsString());
    std::string conveniada = UpperCase(ds.FieldByName("Conveniada").AsString());
    if (conveniada == "S") {
        ds.FieldByName("ImprimeCodigoBarras").SetAsString("SIM");
        std::string vencidos = UpperCase(ds.FieldByName("CodigoBarraVencidos").AsString());
        if (vencidos == "S") {
            ds.FieldByName("ImprimeCodigoBarrasVencido").SetAsString("Sim");
        } else if (vencidos == "N") {
            ds.FieldByName("ImprimeCodigoBarrasVencido").SetAsString("NÃO");
        }
    } else if (conveniada == "N") {
        ds.FieldByName("ImprimeCodigoBarras").SetAsString("Não");
        ds.FieldByName("ImprimeCodigoBarrasVencido").SetAsString("");
    }
}

void TDM::cdsReceitaCalcFields(TDataSet& ds) {
    std::string codigo = ds.FieldByName("Codigo").AsString();
    if (!codigo.empty()) {
        ds.FieldByName("CodigoDigito")
            .SetAsString(codigo.substr(0, codigo.size() - 1) + "-" + codigo.back());
    }
    if (!ModoConsultaUFReceita) return;
    try {
        int layout;
        if (const auto ly =
                RegraUF(*this, cdsUF.FieldByName("UF").AsString(), codigo, TFlagRegra::LY)) {
            int32_t v;
            if (!TryStrToInt(ly->texto, v)) return;
            layout = v;
        } else {
            layout = ds.FieldByName("LayoutCodigoBarra").AsInteger();
        }
        ds.FieldByName("LayoutCodigoBarra2")
            .SetAsString(FormatFloat("000", cdsUF.FieldByName("CodigoBarra").AsInteger()) + "." +
                         FormatFloat("00", ds.FieldByName("CodigoBarra").AsInteger()) + "." +
                         FormatFloat("000", layout));
    } catch (const std::exception&) {
        // A browser column only: a bad rule row leaves it empty and is never reported.
    }
}

void TDM::cdsReceitaDescricaoGetText(TField& field, std::string& text, bool) {
    std::string codigo = field.DataSet().FieldByName("Codigo").AsString();
    std::optional<TRegraUF> t;
    if (cdsUFReceita.Active())
        t = RegraUF(*this, cdsKOVA.FieldByName("UFFavorecida").AsString(), codigo, TFlagRegra::T);
    text = t ? t->texto : field.AsString();
}

// The state whose blocked revenue codes the revenue filter hides.
std::string TDM::UFDoFiltroReceita() {
    return ModoConsultaUFReceita ? cdsUF.FieldByName("UF").AsString()
                                 : cdsKOVA.FieldByName("UFFavorecida").AsString();
}

bool TDM::cdsReceitaFilterRecord(TDataSet& ds) {
    return !RegraUF(*this, UFDoFiltroReceita(), ds.FieldByName("Codigo").AsString(),
                    TFlagRegra::BL);
}

// The revenue filter reads the state it filters by and the rule table.
std::string TDM::cdsReceitaFilterKey() {
    std::string chave = ModoConsultaUFReceita ? "C" : "K";
    chave += UFDoFiltroReceita();
    const uint64_t versao = cdsUFReceita.Versao();
    chave += '\x1f';
    chave.append(reinterpret_cast<const char*>(&versao), sizeof versao);
    return chave;
}

bool TDM::cdsSubReceitaFilterRecord(TDataSet& ds) {
    const TRegraUF sr = RegraCorrente(cdsUFReceita);
    if (ds.FieldByName("Codigo").AsString() != sr.receita) return false;
    const std::string resto = sr.Trecho({LeiauteSR::kInicioDaLista, sr.texto.size()});
    return resto.find(FormatFloat("00", ds.FieldByName("SubReceita").AsInteger())) !=
           std::string::npos;
}

TVersaoCodigoBarra VersaoCodigoBarra(const std::string& uf, const std::string& referencia,
                                     int anoVencimento) {
    std::string ano;
    if (uf == "MG") {
        ano = std::to_string(anoVencimento);
        if (ano.size() < 4) ano.insert(0, 4 - ano.size(), '0');
    } else {
        ano = referencia.size() > 4 ? referencia.substr(referencia.size() - 4) : referencia;
    }
    // Compared as texts, character by character, as the barcode has always done.
    TVersaoCodigoBarra v;
    v.versao = ano > "2007" ? 5 : 4;
    v.anoBase = v.versao == 4 && uf != "TO" ? 1999 : 1998;
    return v;
}

std::string TDM::TipoReferencia() {
    if (const auto re = RegraUF(*this, cdsKOVA.FieldByName("UFFavorecida").AsString(),
                                cdsKOVA.FieldByName("Receita").AsString(), TFlagRegra::RE)) {
        return re->Trecho(LeiauteRE::kTipo);
    }
    return cdsReceita.FieldByName("Referencia").AsString().substr(0, 1);
}

void TDM::MarcaImpressa() {
    ControlesSuspensos suspensos(cdsKOVA);
    std::function<void(TDataSource&, TField*)> semUso;
    Desligado<std::function<void(TDataSource&, TField*)>> dadosEntrada(
        dtsEntrada ? dtsEntrada->OnDataChange : semUso);
    Desligado<TDataSet::TEvent> antesGravar(cdsKOVA.BeforePost);
    Desligado<TDataSet::TEvent> depoisEditar(cdsKOVA.AfterEdit);

    const bool filtrado = cdsKOVA.Filtered();
    const TBookmark marca = cdsKOVA.GetBookmark();
    if (filtrado) {
        cdsKOVA.SetFiltered(false);
        cdsKOVA.GotoBookmark(marca);
    }
    const bool editou =
        cdsKOVA.State() != TDataSetState::dsEdit && cdsKOVA.State() != TDataSetState::dsInsert;
    if (editou) cdsKOVA.Edit();
    cdsKOVA.FieldByName("Situacao").SetAsString("I");
    cdsKOVA.FieldByName("DataHora").SetAsDateTime(Clock::Now());
    try {
        cdsKOVA.Post();
    } catch (...) {
        // Not written: the slip stays as the disk has it, not printed.
        if (editou && cdsKOVA.State() == TDataSetState::dsEdit) cdsKOVA.Cancel();
        if (filtrado) cdsKOVA.SetFiltered(true);
        throw;
    }
    if (filtrado) cdsKOVA.SetFiltered(true);
    try {
        cdsKOVA.GotoBookmark(marca);
    } catch (const EDatabaseError&) {
        // The printed slip is no longer in the unprinted view: the cursor stays where it went.
    }
}

}  // namespace kova
