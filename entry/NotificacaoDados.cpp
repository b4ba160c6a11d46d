// The entry screen's data notification: run after every change of a slip field and every change
// of record, it checks the field, opens and closes the boxes in their progression, shows the
// notices of the rule table, fills the pickers, the payment date and the total, and applies the
// calendar and import-declaration checks.

#include <algorithm>

#include "CalculaCodigoBarra.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Errors.h"
#include "Mensagens.h"
#include "Predicados.h"
#include "Preenchimento.h"
#include "RegrasDatas.h"
#include "RegrasDocumento.h"
#include "TDM.h"
#include "Texto.h"
#include "TfrmDigitar.h"
#include "ValidaCampo.h"

namespace kova {
namespace {

bool FimDeSemana(TDate d, const std::string& uf) {
    const int dia = DayOfWeek(d);
    return dia == 1 || (dia == 7 && uf != "BA");
}

int UltimoDiaDoMes(int mes, int ano) {
    if (mes == 0) return 0;
    if (mes == 2) return ano % 4 == 0 ? 29 : 28;
    if (mes == 4 || mes == 6 || mes == 9 || mes == 11) return 30;
    return 31;
}

// Whether a revenue code is one of a "|"-separated list (as a part of its text).
bool Ocorre(const std::string& receita, const char* lista) {
    return !receita.empty() && std::string(lista).find(receita) != std::string::npos;
}

const char* const kCaixasDependentes[] = {"dbeCICContribuinte",
                                          "dbeDocumentoOrigem",
                                          "dbeReferencia",
                                          "dbeValorPrincipal",
                                          "dbeAtualizacaoMonetaria",
                                          "dbeJuros",
                                          "dbeMulta",
                                          "dbeTotalReceber",
                                          "dblcUFFavorecida2",
                                          "dbeConvenio",
                                          "dbeRazaoSocial",
                                          "dbeInscricaoEstadual",
                                          "dbeEndereco",
                                          "dbeMunicipio",
                                          "dblcUF",
                                          "dbeCEP",
                                          "dbeTelefone",
                                          "dbeInformacoes",
                                          "cbxPeriodoDia",
                                          "cbxPeriodoMes",
                                          "cbxPeriodoAno",
                                          "dblcProduto",
                                          "btnProduto"};

}  // namespace

void TfrmDigitar::dtsPadraoDataChange(TDataSource& sender, TField* field) {
    if (frmDigitar != this || somandoTotal_) return;
    if (field && preenchimento_ && preenchimento_->Adia(*field)) {
        SomaTotal(field);
        return;
    }
    if (!JulgaMudanca(sender, field)) return;
    SomaTotal(field);
    if (Visivel) AtualizarCores();
}

void TfrmDigitar::JulgaMudancaAdiada(TField& field) {
    if (JulgaMudanca(dtsPadrao, &field) && Visivel) AtualizarCores();
}

bool TfrmDigitar::JulgaMudanca(TDataSource& sender, TField* field) {
    const uint64_t carimbo = field ? field->DataSet().Carimbo() : 0;
    if (CriticaCampoAlterado(sender, field)) return false;
    const TPapel papel = field ? PosicoesLidas(*field).papel : TPapel::Outro;

    if (papel == TPapel::UFFavorecida || (!field && sender.State() == TDataSetState::dsEdit)) {
        if (!PassoUFFavorecida(field)) return false;
    }
    if ((papel == TPapel::Receita || (!field && sender.State() == TDataSetState::dsEdit)) &&
        Editando() && ReceitaEncontrada()) {
        if (!PassoReceita(field)) return false;
    }
    if (papel == TPapel::DataVencimento || !field) {
        if (!PassoVencimento()) return false;
        if (!PassoCaixasDependentes()) return false;
    }
    if (papel == TPapel::CICContribuinte) {
        if (!PassoContribuinte()) return false;
        PreencheContribuinte();
    }
    if (papel == TPapel::DocumentoOrigem && !PassoDocumento()) return false;
    if (papel == TPapel::Referencia && !PassoReferencia()) return false;
    if (papel == TPapel::Situacao && !Editando()) {
        const std::string situacao = Campo("Situacao");
        Abre("btnImprimir", situacao == "N" || situacao == "A");
    }
    // What the change refuses has been found not to: the whole-slip check tells it again only if
    // something it reads changes.
    if (field) MarcaJulgado(*field, carimbo, TJulgamento::Mudanca);
    return true;
}

void TfrmDigitar::SomaTotal(const TField* field) {
    if (!field || PosicoesLidas(*field).papel != TPapel::Valor || !Editando()) return;
    TDataSet& k = dm_.cdsKOVA;
    const double soma =
        ArredondaValor(k.FieldByName("ValorPrincipal").AsFloat() +
                       k.FieldByName("AtualizacaoMonetaria").AsFloat() +
                       k.FieldByName("Juros").AsFloat() + k.FieldByName("Multa").AsFloat());
    // A slip filled from outside has its total judged once all its amounts are in (by its own
    // field or by the check of the whole slip): a principal of zero before the charges that
    // follow it is no empty total.
    somandoTotal_ = preenchimento_ != nullptr;
    try {
        k.FieldByName("TotalRecolher").SetAsFloat(soma);
    } catch (...) {
        somandoTotal_ = false;
        throw;
    }
    somandoTotal_ = false;
}

std::vector<std::string> TfrmDigitar::CamposLidos(std::string_view campo) const {
    std::vector<std::string> lidos = kova::CamposLidos(campo);
    // What a change refuses or shows reads these besides its rules.
    auto le = [&lidos](std::initializer_list<const char*> campos) {
        for (const char* c : campos) {
            if (std::find(lidos.begin(), lidos.end(), c) == lidos.end()) lidos.emplace_back(c);
        }
    };
    if (SameText(campo, "Receita")) le({"UFFavorecida"});
    if (SameText(campo, "CICContribuinte")) le({"UFFavorecida", "Receita"});
    // The declaration's year against the reference period's, both ways.
    if (SameText(campo, "DocumentoOrigem")) le({"Referencia"});
    if (SameText(campo, "Referencia")) le({"DocumentoOrigem"});
    if (SameText(campo, "DataVencimento")) le({"UFFavorecida"});
    return lidos;
}

// ------------------------------------------------------------------ A: the favoured state

void TfrmDigitar::RemoverLogos() {
    if (Controles.Find("Banco0")) Controles.RemoveChildren("PanelBancos");
    logos_.postos = false;
}

bool TfrmDigitar::LogosValidos(const std::string& uf) const {
    return logos_.valido && logos_.uf == uf && logos_.versaoUFBanco == dm_.cdsUFBanco.Versao() &&
           logos_.versaoBanco == dm_.cdsBanco.Versao();
}

void TfrmDigitar::CriarLogos(const std::string& uf) {
    TDataSet& ufBanco = dm_.cdsUFBanco;
    if (LogosValidos(uf)) {
        // Already laid out for this state: they stay as they are.
        if (logos_.postos) {
            if (!logos_.ultimoBanco.empty()) dm_.cdsBanco.FindKey({logos_.ultimoBanco});
            Controles.SetVisible("GBBancos", !logos_.controles.empty());
            return;
        }
        logos_.postos = true;
        for (const TControlState& c : logos_.controles) {
            Controles.Add(TControlState(c));
            Controles.Get("PanelBancos").width = c.left + c.width;
        }
        if (!logos_.ultimoBanco.empty()) dm_.cdsBanco.FindKey({logos_.ultimoBanco});
        Controles.SetVisible("GBBancos", !logos_.controles.empty());
        return;
    }
    logos_.valido = false;
    logos_.controles.clear();
    logos_.ultimoBanco.clear();
    int n = 0;
    const int campoUF = ufBanco.FieldByName("UFID").Index();
    const int campoBanco = ufBanco.FieldByName("BancoID").Index();
    const TField& campoLogo = dm_.cdsBanco.FieldByName("LogoTipo");
    for (TBookmark b : ufBanco.VisibleRecords()) {
        const std::string* ufid = std::get_if<std::string>(&ufBanco.ValueAt(b, campoUF));
        if (!ufid || *ufid != uf) continue;
        const std::string id = ValueToString(ufBanco.ValueAt(b, campoBanco));
        if (!dm_.cdsBanco.FindKey({id})) continue;
        logos_.ultimoBanco = id;
        // Read in place: a logo is a whole bitmap, and this runs on every change of state.
        const TBytes* bytes = std::get_if<TBytes>(&campoLogo.Value());
        if (!bytes || bytes->empty()) continue;
        const TBytes& logo = *bytes;
        // The logo is a bitmap: its width is in its header.
        int largura = logo.size() >= 22
                          ? logo[18] | (logo[19] << 8) | (logo[20] << 16) | (logo[21] << 24)
                          : 0;
        TControlState c;
        c.name = "Banco" + std::to_string(n);
        c.kind = TControlKind::Other;
        c.parent = "PanelBancos";
        c.hint = dm_.cdsBanco.FieldByName("Nome").AsString();
        c.caption = id;  // the bank whose logo a view draws
        c.left = n * (largura + 5);
        c.width = largura;
        logos_.controles.push_back(c);
        Controles.Add(std::move(c));
        Controles.Get("PanelBancos").width = n * (largura + 5) + largura;
        ++n;
    }
    Controles.SetVisible("GBBancos", n > 0);
    logos_.uf = uf;
    logos_.versaoUFBanco = ufBanco.Versao();
    logos_.versaoBanco = dm_.cdsBanco.Versao();
    logos_.valido = true;
    logos_.postos = true;
}

void TfrmDigitar::MontarPeriodos(const std::string& periodicidade) {
    std::vector<std::string> itens;
    if (periodicidade == "D") {
        itens = {"01 a 10", "11 a 20", "21 a 31"};
    } else if (periodicidade == "Q") {
        itens = {"01 a 15", "16 a 31"};
    } else if (periodicidade == "M") {
        itens = {"01 a 31"};
    } else if (periodicidade == "T") {
        itens = {"01 a 10", "01 a 15", "01 a 31", "11 a 20", "16 a 31", "21 a 31"};
    } else if (periodicidade == "DM") {
        itens = {"01 a 10", "11 a 20", "21 a 31", "01 a 31"};
    }
    Controles.SetItems("cbxPeriodoDia", std::move(itens), -1);
}

bool TfrmDigitar::PassoUFFavorecida(TField* field) {
    const std::string uf = Campo("UFFavorecida");
    if (!dm_.cdsUF.FindKey({uf})) {
        Abre("dblcReceita", false);
        return true;
    }
    // The logos of the state already laid out stay: the change of state lays them out again.
    if (!(field && !Desassistido() && logos_.postos && LogosValidos(uf))) RemoverLogos();
    if (field && !Desassistido()) {
        if (const auto link = Regra(uf, kTodasAsReceitas, TFlagRegra::LK)) {
            MostrarMsgLink(TextoRegra(*link));
            return false;
        }
        CriarLogos(uf);
        if (const auto aviso = Regra(uf, kTodasAsReceitas, TFlagRegra::M)) {
            MessageDlg(TextoRegra(*aviso), TMsgDlgType::mtWarning);
        }
        if (const auto recusa = Regra(uf, kTodasAsReceitas, TFlagRegra::E)) {
            Reportar(TextoRegra(*recusa));
            return false;
        }
    }
    dm_.cdsReceita.SetFiltered(false);
    dm_.cdsReceita.SetFiltered(true);
    Abre("dblcReceita", dm_.cdsKOVA.State() == TDataSetState::dsInsert);
    dm_.cdsUF.FindKey({uf});
    MontarPeriodos(dm_.cdsUF.FieldByName("Periodicidade").AsString());
    return true;
}

// ------------------------------------------------------------------ B: the revenue code

bool TfrmDigitar::DialogoSubReceita() {
    TPedidoDialogo pedido;
    pedido.nome = "TfrmSelecionaSubReceita";
    pedido.titulo = "Selecione Sub-Código da Receita";
    pedido.texto = "Detalhamento da Receita";
    pedido.fonte = &dm_.dtsSubReceita;
    return ExecutarDialogo(pedido);
}

bool TfrmDigitar::PassoReceita(TField*) {
    const std::string uf = Campo("UFFavorecida");
    const std::string receita = Campo("Receita");
    const bool inserindo = dm_.cdsKOVA.State() == TDataSetState::dsInsert;
    if (const auto aviso = Desassistido() ? std::nullopt : Regra(uf, receita, TFlagRegra::M)) {
        MessageDlg(TextoRegra(*aviso), TMsgDlgType::mtWarning);
        if (uf == "RJ" && Ocorre(receita, "100064|100072|500011"))
            Controles.SetItemIndex("dblcReceita", -1);
    }
    if (const std::string recusa = RecusaReceita(uf, receita); !recusa.empty()) {
        if (Controles.Get("dbeDataVencimento").enabled) {
            Abre("dbeDataVencimento", false);
            AtualizarCores();
        }
        Reportar(recusa);
        return false;
    }
    TDataSet& produtos = dm_.cdsUFProduto;
    produtos.AplicaFiltro("UF='" + uf + "' and Receita ='" + receita + "'");
    Controles.SetVisible("pnlProduto", !produtos.IsEmpty());

    // The sub-code filter below reads the "SR" row this leaves current.
    if (const auto sr = Regra(uf, receita, TFlagRegra::SR)) {
        const std::string& texto = sr->texto;
        TDataSet& subs = dm_.cdsSubReceita;
        if (!inserindo) {
            const int sub = dm_.cdsKOVA.FieldByName("SubReceita").AsInteger();
            if (sub != 0 && !Desassistido() &&
                subs.Locate("Codigo;SubReceita", {receita, int32_t(sub)})) {
                MessageDlg("Esta KOVA deverá ser utilizada para:\r\r" +
                               subs.FieldByName("Descricao").AsString(),
                           TMsgDlgType::mtInformation);
            }
        } else if (texto.rfind(LeiauteSR::kUnica, 0) == 0) {
            if (dm_.ModoBiblioteca) {
                dm_.SelecionarSubReceita = 1;
            } else {
                int32_t sub;
                if (TryStrToInt(texto.substr(LeiauteSR::kInicioDaUnica - 1, 2), sub) &&
                    subs.Locate("Codigo;SubReceita", {receita, sub})) {
                    MessageDlg("Esta receita deverá ser utilizada apenas para:\r\r" +
                                   subs.FieldByName("Descricao").AsString(),
                               TMsgDlgType::mtInformation);
                    dm_.cdsKOVA.FieldByName("SubReceita").SetAsInteger(sub);
                }
            }
        } else {
            subs.SetFiltered(true);
            bool cancelar = false;
            if (dm_.ModoBiblioteca) {
                dm_.SelecionarSubReceita = 1;
            } else if (DialogoSubReceita()) {
                dm_.cdsKOVA.FieldByName("SubReceita")
                    .SetAsInteger(subs.FieldByName("SubReceita").AsInteger());
            } else {
                cancelar = true;
            }
            subs.SetFiltered(false);
            if (cancelar) {
                dm_.cdsKOVA.Cancel();
                return false;
            }
        }
    }

    dm_.cdsReceita.FindKey({receita});
    if (UpperCase(dm_.TipoReferencia()) == "D") {
        Abre("dbeReferencia", false);
        for (const char* p : {"cbxPeriodoDia", "cbxPeriodoMes", "cbxPeriodoAno"})
            Controles.SetVisible(p, true);
        Controles.SetItemIndex("cbxPeriodoDia", 0);
        Controles.SetItemIndex("cbxPeriodoMes", MesAtual - 1);
        // This year, also in December when next year is listed: that would be a future period and
        // refuse a slip the person never touched.
        Controles.SetItemIndex("cbxPeriodoAno", kAnosAntes);
        // Unattended, nobody sees the pickers: a period the caller did not give is left empty and
        // refused as missing instead of being issued with a month nobody chose.
        if (inserindo && !dm_.ModoSilencioso) {
            cbxPeriodoDiaChange();
        } else if (const std::string guardada = Campo("Referencia");
                   !inserindo && !guardada.empty()) {
            // A stored slip shows its own period: the defaults would rewrite it on the way through.
            const std::string periodicidade =
                dm_.cdsUF.FindKey({uf}) ? dm_.cdsUF.FieldByName("Periodicidade").AsString() : "";
            PosicionarPeriodos(guardada, periodicidade);
            if (!periodicidade.empty()) RotularPeriodos(periodicidade);
            dm_.cdsReceita.FindKey({receita});
        }
    } else {
        for (const char* p : {"cbxPeriodoDia", "cbxPeriodoMes", "cbxPeriodoAno"})
            Controles.SetVisible(p, false);
        if (inserindo && !Campo("Referencia").empty())
            dm_.cdsKOVA.FieldByName("Referencia").Clear();
    }
    Abre("dbeDataVencimento");
    return true;
}

// ------------------------------------------------------------------ C: the due date

bool TfrmDigitar::PassoVencimento() {
    if (dm_.cdsKOVA.FieldByName("DataVencimento").IsNull()) return true;
    const std::string recusa = RecusaVencimento(ReceitaEncontrada());
    if (recusa.empty()) return true;
    // The hosted screen lets the person type another date without a word.
    if (!Hospedado()) Reportar(recusa);
    return false;
}

std::string TfrmDigitar::RecusaVencimento(bool receitaEncontrada) {
    const TField& venc = dm_.cdsKOVA.FieldByName("DataVencimento");
    if (venc.IsNull() || !Editando() || !receitaEncontrada) return {};
    const std::string uf = Campo("UFFavorecida");
    if (!Regra(uf, kTodasAsReceitas, TFlagRegra::FE)) return {};
    const TDate d = venc.AsDate();
    if (FimDeSemana(d, uf)) return Mensagem(Desassistido() ? "138" : "143");
    if (dm_.cdsFeriado.FindKey({d})) return Mensagem(Desassistido() ? "139" : "144");
    return {};
}

// ------------------------------------------------------------------ D: the dependent boxes

bool TfrmDigitar::ConferePagamento() {
    const std::string recusa = RecusaPagamento();
    if (recusa.empty()) return true;
    Reportar(recusa);
    return false;
}

std::string TfrmDigitar::RecusaDaDataDePagamento() {
    TDataSet& k = dm_.cdsKOVA;
    const std::string uf = Campo("UFFavorecida");
    const TField& pag = k.FieldByName("DataPagamento");
    if (!pag.IsNull() && Regra(uf, kTodasAsReceitas, TFlagRegra::FE) && !Hospedado()) {
        if (FimDeSemana(pag.AsDate(), uf)) return Mensagem("142");
        if (uf != "BA" && dm_.cdsFeriado.FindKey({pag.AsDate()})) return kErro143Pagamento;
    }
    return RecusaPagamentoAposVencimento(dm_, uf, Campo("Receita"), k.FieldByName("DataVencimento"),
                                         pag);
}

bool TfrmDigitar::PerguntaDataPagamento() {
    // The box opens on the first day from the proposed one that the state's calendar accepts.
    TField& pag = dm_.cdsKOVA.FieldByName("DataPagamento");
    const std::string uf = Campo("UFFavorecida");
    if (!pag.IsNull() && Regra(uf, kTodasAsReceitas, TFlagRegra::FE) && !Hospedado()) {
        TDate d = pag.AsDate();
        for (int i = 0;
             i < 31 && (FimDeSemana(d, uf) || (uf != "BA" && dm_.cdsFeriado.FindKey({d}))); ++i) {
            d += std::chrono::days(1);
        }
        if (d != pag.AsDate()) pag.SetAsDate(d);
    }
    for (;;) {
        ultimoReportado_.clear();
        if (!DialogoDataPagamento()) return false;
        std::string recusa;
        if (!pag.IsNull() && Clock::Today() > pag.AsDate()) {
            recusa = Mensagem("120");
        } else {
            recusa = RecusaDaDataDePagamento();
        }
        if (recusa.empty()) return true;
        if (recusa != ultimoReportado_) Reportar(recusa);
    }
}

std::string TfrmDigitar::RecusaPagamento() {
    TDataSet& k = dm_.cdsKOVA;
    const std::string uf = Campo("UFFavorecida");
    const std::string receita = Campo("Receita");
    const TField& venc = k.FieldByName("DataVencimento");
    if (std::string recusa = RecusaDaDataDePagamento(); !recusa.empty()) return recusa;
    if (dm_.cdsUF.FindKey({uf}) && dm_.cdsUF.FieldByName("CodigoBarraVencidos").AsString() == "N" &&
        !venc.IsNull() && venc.AsDate() < Clock::Today()) {
        if (const auto ev = Regra(uf, receita, TFlagRegra::EV)) return TextoRegra(*ev);
    }
    return {};
}

bool TfrmDigitar::PassoCaixasDependentes() {
    TDataSet& k = dm_.cdsKOVA;
    const bool hospedado = Hospedado();
    if (!(Visivel && Editando() && ReceitaEncontrada())) {
        if (SemTela()) return true;
        if (!hospedado) {
            Abre("dblcReceita", false);
            Abre("dbeDataVencimento", false);
        }
        for (const char* c : kCaixasDependentes) Abre(c, false);
        if (Controles.Get("cbxPeriodoDia").itemIndex < 0) {
            for (const char* p : {"cbxPeriodoDia", "cbxPeriodoMes", "cbxPeriodoAno"})
                Controles.SetVisible(p, false);
        }
        return true;
    }
    const std::string uf = Campo("UFFavorecida");
    const std::string receita = Campo("Receita");
    const TField& venc = k.FieldByName("DataVencimento");
    const TDate hoje = Clock::Today();

    if (!venc.IsNull() && hoje < venc.AsDate())
        k.FieldByName("DataPagamento").SetAsDate(venc.AsDate());
    if (!venc.IsNull() && venc.AsDate() < hoje) {
        if (const auto aviso = RegraDaReceitaOuDoEstado(dm_, uf, receita, TFlagRegra::MA)) {
            MessageDlg(TextoRegra(*aviso), TMsgDlgType::mtInformation);
        }
    }
    bool pagamentoPerguntado = false;
    if (dm_.cdsUF.FindKey({uf}) && dm_.cdsUF.FieldByName("DataPagamentoIgual").AsString() == "S") {
        k.FieldByName("DataPagamento").SetAsDate(hoje);
    } else if (dm_.ConfirmarDataPagamento == 1 || !hospedado) {
        if (!PerguntaDataPagamento()) {
            btnDesfazerClick();
            return false;
        }
        pagamentoPerguntado = true;
    }
    if (!ConferePagamento()) return false;
    if (pagamentoPerguntado && hospedado) pagamentoConfirmadoPara_ = venc.AsString();

    dm_.cdsReceita.FindKey({receita});
    if (!hospedado) Abre("dbeCICContribuinte");
    bool documento = dm_.cdsReceita.FieldByName("DocumentoOrigem").AsString() == "S";
    if (const auto regra = Regra(uf, receita, TFlagRegra::DO)) {
        documento = !regra->Posicao(LeiauteDO::kObrigatorio, 'N');
    }
    if (documento && hospedado) documento = Campo("DocumentoOrigem").empty();
    Abre("dbeDocumentoOrigem", documento);
    dm_.cdsReceita.FindKey({receita});
    const std::string tipo = UpperCase(dm_.TipoReferencia());
    Abre("dbeReferencia", tipo == "D" || tipo == "P");
    for (const char* p : {"cbxPeriodoDia", "cbxPeriodoMes", "cbxPeriodoAno"}) Abre(p);
    const auto vl = Regra(uf, receita, TFlagRegra::VL);
    Abre("dbeValorPrincipal", !(vl && vl->Posicao(LeiauteVL::kPrincipalAberto, 'N')));
    if (hospedado) Abre("dblcReceita");
    Abre("dblcUFFavorecida2", false);
    for (const char* c : {"dbeRazaoSocial", "dbeInscricaoEstadual", "dbeEndereco", "dbeMunicipio",
                          "dblcUF", "dbeCEP", "dbeTelefone"}) {
        Abre(c, !hospedado);
    }
    for (const char* c : {"dbeAtualizacaoMonetaria", "dbeJuros", "dbeMulta"}) Abre(c, uf != "GO");
    for (const char* c : {"dbeConvenio", "dbeInformacoes", "dblcProduto", "btnProduto"}) Abre(c);
    if (Controles.Get("dbeCICContribuinte").enabled) Controles.SetFocus("dbeCICContribuinte");
    return true;
}

// ------------------------------------------------------------------ E, F, G: taxpayer, document,
// reference

bool TfrmDigitar::PassoContribuinte() {
    const std::string recusa = RecusaContribuinte();
    if (recusa.empty()) return true;
    Reportar(recusa);
    return false;
}

void TfrmDigitar::PreencheContribuinte() {
    // Only a person typing on screen is offered the taxpayer's earlier data; a request or an import
    // line brings its own.
    if (!Visivel || Desassistido() || preenchimento_ || dm_.ModoImportacao || !Editando()) return;
    TDataSet& k = dm_.cdsKOVA;
    const std::string cic = k.FieldByName("CICContribuinte").AsString();
    if (cic.empty()) return;
    static const char* const kDadosDoContribuinte[] = {"RazaoSocial", "Endereco", "Municipio",
                                                       "UF",          "CEP",      "Telefone"};
    bool faltaAlgum = false;
    for (const char* campo : kDadosDoContribuinte)
        faltaAlgum |= k.FieldByName(campo).AsString().empty();
    if (!faltaAlgum) return;
    // The taxpayer's latest slip: the one saved or printed last, the newest of those.
    const int id = k.FieldByName("IdKOVA").Index();
    const int quando = k.FieldByName("DataHora").Index();
    const int32_t atual = k.FieldByName("IdKOVA").AsInteger();
    std::optional<TBookmark> ultima;
    std::pair<TDateTime, int32_t> maior{};
    for (TBookmark b : dm_.KOVAsQue({"CICContribuinte"}, [&](const std::vector<TValue>& v) {
             return ValueToString(v[0]) == cic;
         })) {
        const auto* n = std::get_if<int32_t>(&k.ValueAt(b, id));
        if (!n || *n == atual) continue;
        const auto* momento = std::get_if<TDateTime>(&k.ValueAt(b, quando));
        const std::pair<TDateTime, int32_t> chave{momento ? *momento : TDateTime{}, *n};
        if (!ultima || maior < chave) {
            ultima = b;
            maior = chave;
        }
    }
    if (!ultima) return;
    std::vector<std::pair<const char*, TValue>> valores;
    for (const char* campo : kDadosDoContribuinte) {
        valores.emplace_back(campo, k.ValueAt(*ultima, k.FieldByName(campo).Index()));
    }
    // Each goes in as if typed, and is checked as typed; a box the person filled keeps its text.
    for (const auto& [campo, valor] : valores) {
        TField& f = k.FieldByName(campo);
        if (!Editando() || !f.AsString().empty() || ValueToString(valor).empty()) continue;
        f.SetValue(valor);
    }
}

std::string TfrmDigitar::RecusaContribuinte() {
    const std::string uf = Campo("UFFavorecida");
    const std::string receita = Campo("Receita");
    if (receita != "100080" || dm_.cdsKOVA.FieldByName("CICContribuinte").AsString().size() != 11)
        return {};
    const auto recusa = Regra(uf, receita, TFlagRegra::MC);
    return recusa ? TextoRegra(*recusa) : std::string();
}

bool TfrmDigitar::PassoDocumento() {
    const std::string receita = Campo("Receita");
    const std::string doc = dm_.cdsKOVA.FieldByName("DocumentoOrigem").AsString();
    const std::string referencia = dm_.cdsKOVA.FieldByName("Referencia").AsString();
    const std::string anoRef = referencia.size() > 5 ? referencia.substr(5, 2) : std::string();
    // The revenue code is read as a number even when the slip has none yet.
    int32_t numero;
    if (!TryStrToInt(receita, numero))
        throw EConvertError("'" + receita + "' não é um número inteiro válido");
    if (numero == 100056 && !Desassistido()) {
        if (doc.size() == 10 && doc.substr(0, 2) != anoRef &&
            Controles.Get("dbeReferencia").enabled) {
            MessageDlg(Mensagem("147"), TMsgDlgType::mtWarning);
        } else if (doc.size() == 11 && doc.substr(1, 2) != anoRef) {
            MessageDlg(Mensagem("148"), TMsgDlgType::mtWarning);
        }
    }
    const std::string recusa = RecusaDocumento();
    if (recusa.empty()) return true;
    Reportar(recusa);
    return false;
}

std::string TfrmDigitar::RecusaDocumento() {
    const std::string doc = dm_.cdsKOVA.FieldByName("DocumentoOrigem").AsString();
    const bool inicioExigido = doc.substr(0, kInicioDocumentoMD.size()) == kInicioDocumentoMD;
    if (!inicioExigido) {
        if (const auto recusa = Regra(Campo("UFFavorecida"), Campo("Receita"), TFlagRegra::MD))
            return TextoRegra(*recusa);
    }
    // A document the barcode cannot carry is refused where it is given, not when the slip is
    // printed.
    if (!CodigoBarraComportaDocumento()) return Mensagem(Trim(doc).empty() ? "15" : "30");
    return {};
}

void TfrmDigitar::RotularPeriodos(const std::string& periodicidade) {
    TControlState& dia = Controles.Get("cbxPeriodoDia");
    const TControlState& mes = Controles.Get("cbxPeriodoMes");
    const TControlState& ano = Controles.Get("cbxPeriodoAno");
    int m = mes.itemIndex >= 0 ? std::stoi(mes.items[size_t(mes.itemIndex)]) : 0;
    int32_t a = 0;
    bool temAno = ano.itemIndex >= 0 && TryStrToInt(ano.items[size_t(ano.itemIndex)], a);
    int ultimo = UltimoDiaDoMes(m, temAno ? a : 1);
    if (m == 2 && !temAno) ultimo = 28;
    const std::string L = FormatFloat("00", ultimo);
    std::vector<std::string> itens = dia.items;
    auto rotula = [&](size_t pos, const char* inicio) {
        if (pos < itens.size()) itens[pos] = std::string(inicio) + L;
    };
    if (periodicidade == "D") {
        rotula(2, "21 a ");
    } else if (periodicidade == "Q") {
        rotula(1, "16 a ");
    } else if (periodicidade == "M") {
        rotula(0, "01 a ");
    } else if (periodicidade == "T") {
        rotula(2, "01 a ");
        rotula(4, "16 a ");
        rotula(5, "21 a ");
    } else if (periodicidade == "DM") {
        rotula(2, "21 a ");
        rotula(3, "01 a ");
    }
    Controles.SetItems("cbxPeriodoDia", std::move(itens), dia.itemIndex);
}

void TfrmDigitar::PosicionarPeriodos(const std::string& referencia,
                                     const std::string& periodicidade) {
    const bool periodoCodificado = dm_.ModoBiblioteca || dm_.ModoImportacao;
    int32_t d = 0;
    TryStrToInt(referencia.substr(0, 1), d);
    int posicao = Controles.Get("cbxPeriodoDia").itemIndex;
    if (periodoCodificado) {
        static const int kT[] = {2, 1, 4, 0, 3, 5};
        static const int kDM[] = {3, -9, -9, 0, 1, 2};
        if (periodicidade == "Q") {
            posicao = d - 1;
        } else if (periodicidade == "D") {
            posicao = d - 3;
        } else if (periodicidade == "T" && d >= 0 && d <= 5) {
            posicao = kT[d];
        } else if (periodicidade == "DM" && d >= 0 && d <= 5 && kDM[d] >= 0) {
            posicao = kDM[d];
        }
    } else {
        posicao = d - 1;
    }
    const auto& dias = Controles.Get("cbxPeriodoDia").items;
    Controles.SetItemIndex("cbxPeriodoDia",
                           posicao >= 0 && posicao < int(dias.size()) ? posicao : -1);
    auto posicionar = [&](const char* picker, const std::string& valor) {
        const auto& itens = Controles.Get(picker).items;
        auto it = std::find(itens.begin(), itens.end(), valor);
        Controles.SetItemIndex(picker, it == itens.end() ? -1 : int(it - itens.begin()));
    };
    posicionar("cbxPeriodoMes", referencia.size() >= 3 ? referencia.substr(1, 2) : "");
    posicionar("cbxPeriodoAno", referencia.size() >= 7 ? referencia.substr(3, 4) : "");
}

bool TfrmDigitar::PassoReferencia() {
    const std::string referencia = Campo("Referencia");
    if (referencia.empty() || !ReceitaEncontrada() || UpperCase(dm_.TipoReferencia()) != "D")
        return true;
    if (const std::string recusa = RecusaAnoDaDeclaracao(referencia); !recusa.empty()) {
        Reportar(recusa);
        return false;
    }
    if (Desassistido() && !dm_.UltimoErro.empty()) return false;

    const std::string uf = Campo("UFFavorecida");
    const std::string periodicidade =
        dm_.cdsUF.FindKey({uf}) ? dm_.cdsUF.FieldByName("Periodicidade").AsString() : "";
    PosicionarPeriodos(referencia, periodicidade);
    if (const auto aviso = PeriodoFuturo(referencia, uf)) {
        if (Desassistido()) {
            dm_.UltimoErro = TextoRegra(*aviso);
        } else {
            MessageDlg(TextoRegra(*aviso), TMsgDlgType::mtWarning);
            Controles.SetFocus("cbxPeriodoDia");
        }
        return false;
    }
    if (dm_.cdsUF.FindKey({uf})) RotularPeriodos(periodicidade);
    return true;
}

std::string TfrmDigitar::RecusaAnoDaDeclaracao(const std::string& referencia) {
    if (Campo("Receita") != "100056") return {};
    const std::string doc = dm_.cdsKOVA.FieldByName("DocumentoOrigem").AsString();
    const std::string anoRef = referencia.size() > 5 ? referencia.substr(5, 2) : std::string();
    if (doc.size() == 10 && doc.substr(0, 2) != anoRef)
        return Mensagem(Desassistido() ? "149" : "150");
    if (doc.size() == 11 && doc.substr(1, 2) != anoRef)
        return Mensagem(Desassistido() ? "151" : "152");
    return {};
}

std::optional<TRegraUF> TfrmDigitar::PeriodoFuturo(const std::string& referencia,
                                                   const std::string& uf) {
    // The month and the year the pickers take from the reference, when they list them.
    auto item = [this](const char* picker, const std::string& valor) {
        const auto& itens = Controles.Get(picker).items;
        return std::find(itens.begin(), itens.end(), valor) != itens.end();
    };
    if (referencia.size() < 7) return std::nullopt;
    const std::string mes = referencia.substr(1, 2);
    const std::string ano = referencia.substr(3, 4);
    if (!item("cbxPeriodoMes", mes) || !item("cbxPeriodoAno", ano)) return std::nullopt;
    const TDate hoje = Clock::Today();
    const int atual = YearOf(hoje) * 100 + int(MonthOf(hoje));
    if (std::stoi(ano + mes) <= atual) return std::nullopt;
    return Regra(uf, kTodasAsReceitas, TFlagRegra::MA);
}

// ------------------------------------------------------------------ the whole slip

std::string TfrmDigitar::RecusaDaMudanca(std::string_view campo, bool receitaEncontrada,
                                         const std::string& tipoReferencia) {
    if (campo == "UFFavorecida") {
        // A person is refused the state where its rule says so; the unattended request is not.
        const std::string uf = Campo("UFFavorecida");
        if (Desassistido() || !dm_.cdsUF.FindKey({uf})) return {};
        const auto recusa = Regra(uf, kTodasAsReceitas, TFlagRegra::E);
        return recusa ? TextoRegra(*recusa) : std::string();
    }
    if (campo == "Receita") {
        if (!Editando() || !receitaEncontrada) return {};
        return RecusaReceita(Campo("UFFavorecida"), Campo("Receita"));
    }
    if (campo == "CICContribuinte") return RecusaContribuinte();
    if (campo == "DocumentoOrigem") return RecusaDocumento();
    if (campo == "Referencia") {
        const std::string referencia = Campo("Referencia");
        if (referencia.empty() || !receitaEncontrada || tipoReferencia != "D") return {};
        if (std::string recusa = RecusaAnoDaDeclaracao(referencia); !recusa.empty()) return recusa;
        // A future period is a notice on screen; the unattended request refuses it.
        if (!Desassistido()) return {};
        const auto aviso = PeriodoFuturo(referencia, Campo("UFFavorecida"));
        return aviso ? TextoRegra(*aviso) : std::string();
    }
    if (campo == "DataVencimento") return RecusaVencimento(receitaEncontrada);
    // The payment date is checked by the calendar only where the screen asks for it.
    if (campo == "DataPagamento") {
        return Visivel && Editando() && receitaEncontrada ? RecusaPagamento() : std::string();
    }
    return {};
}

std::string TfrmDigitar::RecusaReceita(const std::string& uf, const std::string& receita) {
    // Its notice is a refusal for Rio de Janeiro and Santa Catarina when nobody can read it.
    if (Desassistido() && (uf == "RJ" || uf == "SC")) {
        if (const auto aviso = Regra(uf, receita, TFlagRegra::M)) return TextoRegra(*aviso);
    }
    const auto recusa = Regra(uf, receita, TFlagRegra::E);
    return recusa ? TextoRegra(*recusa) : std::string();
}

namespace {

// The message of a field whose value the barcode cannot carry: the one its own rules give a value
// they do not accept.
struct TMensagemDoCampo {
    const char* campo;
    const char* numero;
};
const TMensagemDoCampo kSemCodigoBarra[] = {
    {"DataVencimento", "116"}, {"InscricaoEstadual", "123"}, {"Juros", "95"},    {"Multa", "101"},
    {"ValorPrincipal", "87"},  {"TotalRecolher", "109"},     {"Produto", "134"},
};

}  // namespace

std::string TfrmDigitar::RecusaDoCodigoBarra() {
    CodigoBarraConferido.clear();
    try {
        CodigoBarraConferido = MontaCodigoBarra();
        return {};
    } catch (const ECodigoBarra& e) {
        const std::string& campo = e.Campo();
        FocarCampo(campo);
        if (campo == "DocumentoOrigem")
            return Mensagem(Campo("DocumentoOrigem").empty() ? "15" : "30");
        if (campo == "Referencia") return MensagemPar("78", "79", dm_.ModoSilencioso);
        if (campo == "CICContribuinte") return e.what();
        for (const TMensagemDoCampo& m : kSemCodigoBarra) {
            if (campo == m.campo) return Mensagem(m.numero);
        }
        return std::string("Não foi possível calcular o código de barras da KOVA: ") + e.what();
    }
}

}  // namespace kova
