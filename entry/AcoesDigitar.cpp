// The operations of the entry screen (create, change, delete, save, cancel, close, sort, print)
// and its small dialogs (payment date, product, sub-code, link notice).

#include "CalculaCodigoBarra.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Errors.h"
#include "Mensagens.h"
#include "TDM.h"
#include "Texto.h"
#include "TfrmDigitar.h"

namespace kova {

void TfrmDigitar::FormShow() {
    HelpContext = 30;
    const TDataSetState s = dm_.cdsKOVA.State();
    if (s != TDataSetState::dsEdit && s != TDataSetState::dsInsert &&
        s != TDataSetState::dsSetKey) {
        dm_.cdsKOVA.Last();
    }
    dtsPadraoStateChange(dtsPadrao);
    dtsPadraoDataChange(dtsPadrao, nullptr);
}

void TfrmDigitar::Mostrar() {
    // A screen already shown comes forward as it is: its slip, its boxes and its questions stay
    // where the person left them.
    if (Visivel) return;
    Visivel = true;
    FormShow();
    if (Hospedado()) {
        // Keys typed as the screen appears go into the slip, not into a window without focus.
        FocarPrimeiraCaixa();
        GuardaInicio();
    }
}

bool TfrmDigitar::FocarPrimeiraCaixa() {
    for (const auto& c : Controles.Controls()) {
        const bool caixa = c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo ||
                           c->kind == TControlKind::ComboBox;
        if (caixa && Controles.SetFocus(c->name)) return true;
    }
    return false;
}

bool TfrmDigitar::Fechar() {
    // A close already under way (its prompt saving or cancelling the slip) finishes by itself.
    if (!Visivel || fechando_) return true;
    const TDataSetState s = dm_.cdsKOVA.State();
    if (s == TDataSetState::dsEdit || s == TDataSetState::dsInsert ||
        s == TDataSetState::dsSetKey) {
        const TModalResult r =
            MessageDlg("Existe uma KOVA em edição\r\rDeseja salvar as informações?",
                       TMsgDlgType::mtInformation, TMsgDlgButtons::mbYesNoCancel);
        if (r == TModalResult::mrYes) {
            fechando_ = true;
            try {
                btnSalvarClick();
            } catch (...) {
                fechando_ = false;
                throw;
            }
            fechando_ = false;
            if (Editando()) return false;
        } else if (r == TModalResult::mrNo) {
            fechando_ = true;
            btnDesfazerClick();
            fechando_ = false;
        } else {
            return false;
        }
    }
    // Other screens see every revenue code again.
    if (dm_.cdsReceita.Active()) dm_.cdsReceita.SetFiltered(false);
    Visivel = false;
    TimerAtivo = false;
    if (OnFechar) OnFechar();
    return true;
}

void TfrmDigitar::IniciarNovaKOVA() {
    PaginaAtiva = "tbsKOVA";
    dm_.ModoBiblioteca = false;
    Mostrar();
    if (!Editando()) btnIncluirClick();
}

void TfrmDigitar::AbrirPesquisa() {
    // The search page is there only while no slip is being typed.
    if (!Editando()) PaginaAtiva = "tbsPesquisar";
    Mostrar();
}

void TfrmDigitar::btnIncluirClick() {
    const bool aberta = Controles.Get("dblcUFFavorecida").enabled;
    Abre("dblcUFFavorecida");
    AtualizarCores();
    Controles.SetFocus("dblcUFFavorecida");
    Controles.SetVisible("pnlProduto", false);
    inicio_.clear();
    try {
        dm_.cdsKOVA.Append();
    } catch (...) {
        // No slip was begun (the numbering is at its greatest): nothing is open to type into.
        Abre("dblcUFFavorecida", aberta);
        AtualizarCores();
        throw;
    }
    GuardaInicio();
}

void TfrmDigitar::btnNovaAPartirClick() {
    TDataSet& k = dm_.cdsKOVA;
    if (Editando() || k.IsEmpty()) return;
    static const char* const kCopiados[] = {"CICContribuinte",
                                            "InscricaoEstadual",
                                            "RazaoSocial",
                                            "Endereco",
                                            "Municipio",
                                            "UF",
                                            "CEP",
                                            "Telefone",
                                            "Convenio",
                                            "ValorPrincipal",
                                            "AtualizacaoMonetaria",
                                            "Juros",
                                            "Multa"};
    const std::string uf = Campo("UFFavorecida");
    const std::string receita = Campo("Receita");
    std::vector<std::pair<const char*, TValue>> valores;
    for (const char* campo : kCopiados) valores.emplace_back(campo, k.FieldByName(campo).Value());
    btnIncluirClick();
    // The state and the revenue as if chosen in their lists and left, each judged as typed: their
    // notices and pickers come as they would.
    k.FieldByName("UFFavorecida").SetAsString(uf);
    if (!Editando() || Campo("UFFavorecida") != uf) return;
    dblcUFFavorecidaExit();
    k.FieldByName("Receita").SetAsString(receita);
    if (!Editando() || Campo("Receita") != receita) return;
    dblcReceitaExit();
    for (const auto& [campo, valor] : valores) {
        if (!Editando()) return;
        TField& f = k.FieldByName(campo);
        if (ValueToString(valor).empty() || f.Value() == valor) continue;
        f.SetValue(valor);
    }
    if (Editando()) Controles.SetFocus("dbeDataVencimento");
}

void TfrmDigitar::btnAlterarClick() {
    inicio_.clear();
    dm_.cdsKOVA.Edit();
    GuardaInicio();
    const std::string uf = Campo("UFFavorecida");
    if (uf == "TO" || uf == "CE" || uf == "SC") {
        const std::string referencia = Campo("Referencia");
        int32_t d;
        if (!TryStrToInt(referencia.substr(0, 1), d)) {
            throw EConvertError("'" + referencia.substr(0, 1) + "' não é um número inteiro válido");
        }
        Controles.SetItemIndex("cbxPeriodoDia", d - 1);
    }
    if (Controles.Get("dblcUFFavorecida").enabled) {
        Controles.SetFocus("dblcUFFavorecida");
    } else if (Controles.Get("dbeDataVencimento").enabled) {
        Controles.SetFocus("dbeDataVencimento");
    }
}

void TfrmDigitar::btnExcluirClick() {
    Controles.SetCaption("lblState", "Excluindo");
    if (MessageDlg("Confirma exclusão desta KOVA", TMsgDlgType::mtConfirmation,
                   TMsgDlgButtons::mbYesNo) == TModalResult::mrYes) {
        dm_.cdsKOVA.Delete();
        dtsPadraoStateChange(dtsPadrao);
    }
    Controles.SetCaption("lblState", "");
}

void TfrmDigitar::btnSalvarClick() {
    if (dm_.ModoBiblioteca) {
        if (dm_.PedirDataPagamento == 1 && !PerguntaDataPagamento()) {
            btnDesfazerClick();
            return;
        }
        if (dm_.SelecionarSubReceita == 1) {
            TDataSet& subs = dm_.cdsSubReceita;
            // The filter reads the "SR" row this leaves current.
            Regra(Campo("UFFavorecida"), Campo("Receita"), TFlagRegra::SR);
            subs.SetFiltered(true);
            const bool escolhido = DialogoSubReceita();
            if (escolhido && dm_.cdsKOVA.State() != TDataSetState::dsBrowse) {
                dm_.cdsKOVA.FieldByName("SubReceita")
                    .SetAsInteger(subs.FieldByName("SubReceita").AsInteger());
            }
            subs.SetFiltered(false);
            dm_.SelecionarSubReceita = 0;
            if (!escolhido) {
                btnDesfazerClick();
                return;
            }
        }
        if (CriticaTodos(dm_.cdsKOVA)) return;
        GuardaCodigoBarra(CodigoBarraConferido);
        Fechar();
        dm_.ConfirmarDataPagamento = 0;
    }
    if (Controles.Get("btnSalvar").enabled) {
        try {
            dm_.cdsKOVA.Post();
        } catch (const EAbort&) {
            // The check has already told what is wrong; the slip stays in edit.
            return;
        }
        // The footer says which slip the save kept, until the next change of state.
        if (dm_.cdsKOVA.State() == TDataSetState::dsBrowse) {
            Controles.SetCaption(
                "lblState", "KOVA nº " + dm_.cdsKOVA.FieldByName("IdKOVA").AsString() + " salva");
        }
    }
    ++QtdeIncluidas;
}

void TfrmDigitar::GuardaInicio() {
    inicio_.clear();
    if (!Editando()) return;
    for (int i = 0; i < dm_.cdsKOVA.FieldCount(); ++i)
        inicio_.push_back(dm_.cdsKOVA.Fields(i).Value());
}

bool TfrmDigitar::TemDadosDigitados() const {
    if (inicio_.empty() || !Editando()) return false;
    for (int i = 0; i < dm_.cdsKOVA.FieldCount() && size_t(i) < inicio_.size(); ++i) {
        if (!(dm_.cdsKOVA.Fields(i).Value() == inicio_[size_t(i)])) return true;
    }
    return false;
}

void TfrmDigitar::btnDesfazerClick() {
    // What a person typed, at the desktop or on a host's screen, is never thrown away by one key:
    // Escape, Cancel or a declined payment date ask first (the close prompt has asked already).
    if (Controles.Get("btnDesfazer").enabled && Visivel && !fechando_ && !Desassistido() &&
        !dm_.ModoImportacao && TemDadosDigitados() &&
        MessageDlg("Esta KOVA tem informações digitadas que ainda não foram salvas.\r\rDeseja "
                   "descartá-las?",
                   TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbNoYes) != TModalResult::mrYes) {
        return;
    }
    Descartar();
}

void TfrmDigitar::Descartar() {
    if (Controles.Get("btnDesfazer").enabled) {
        dm_.cdsKOVA.Cancel();
        Controles.SetVisible("GBBancos", false);
    } else {
        Fechar();
    }
    if (dm_.ModoBiblioteca) Fechar();
}

void TfrmDigitar::btnImprimirClick() {
    BusyCursor ampulheta;
    Abre("btnImprimir", false);
    try {
        if (OnImprimir) OnImprimir();
    } catch (...) {
        Abre("btnImprimir");
        throw;
    }
    Abre("btnImprimir");
}

void TfrmDigitar::rdbKOVAClick() { dm_.cdsKOVA.SetIndexName("pk_IdKOVA"); }

void TfrmDigitar::RDGCICContribuinteClick() { dm_.cdsKOVA.SetIndexName("pk_CICContribuinte"); }

void TfrmDigitar::TimerTimer() {
    TimerAtivo = false;
    for (int i = 0; i < 2; ++i) {
        if (OnTrazerParaFrente) OnTrazerParaFrente();
    }
}

void TfrmDigitar::TeclaEnter() {
    const std::string atual = Controles.Focused();
    if (atual == "dbgSolicitacaoKOVA") {
        ColunaGrade = (ColunaGrade + 1) % kColunasGrade;
        return;
    }
    // The next box in tab order that can take the focus, from the one after the focused one.
    const auto& controles = Controles.Controls();
    size_t inicio = 0;
    for (size_t i = 0; i < controles.size(); ++i) {
        if (controles[i]->name == atual) inicio = i + 1;
    }
    for (size_t k = 0; k < controles.size(); ++k) {
        const TControlState& c = *controles[(inicio + k) % controles.size()];
        const bool caixa = c.kind == TControlKind::Edit || c.kind == TControlKind::LookupCombo ||
                           c.kind == TControlKind::ComboBox;
        if (caixa && c.name != atual && Controles.SetFocus(c.name)) return;
    }
}

// ------------------------------------------------------------------ exits and entries

void TfrmDigitar::dblcUFFavorecidaExit() {
    if (!Campo("UFFavorecida").empty()) Abre("dblcUFFavorecida", false);
}

void TfrmDigitar::dblcReceitaExit() {
    if (!Campo("Receita").empty()) Abre("dblcReceita", false);
}

std::string TfrmDigitar::MensagemVencidaDoEstado(TDate vencimento) {
    const std::string receita = Campo("Receita");
    if (Campo("UFFavorecida") != "CE" || !(vencimento < Clock::Today())) return {};
    const bool icms =
        !receita.empty() && std::string("100048|100099").find(receita) != std::string::npos;
    const bool importacao =
        !receita.empty() && std::string("100056").find(receita) != std::string::npos;
    return icms || importacao ? MensagemCE(!icms, dm_.EnderecoFazendaCE) : std::string();
}

bool TfrmDigitar::ConfirmaVencimento(const std::string& texto) {
    if (!Visivel || dm_.ModoBiblioteca || dm_.ModoImportacao || !Editando()) return true;
    TDate vencimento;
    if (!TryStrToDate(texto, vencimento)) return true;  // the field's own check tells what is wrong
    const TField& venc = dm_.cdsKOVA.FieldByName("DataVencimento");
    const TDate hoje = Clock::Today();
    if (!(vencimento < hoje) || (!venc.IsNull() && venc.AsDate() == vencimento) ||
        !MensagemVencidaDoEstado(vencimento).empty()) {
        return true;
    }
    if (MessageDlg("A Data de Vencimento informada, " + DateToStr(vencimento) +
                       ", é anterior à data de hoje, " + DateToStr(hoje) +
                       ".\r\rDeseja corrigi-la?",
                   TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) != TModalResult::mrYes) {
        return true;
    }
    Controles.SetFocus("dbeDataVencimento");
    return false;
}

void TfrmDigitar::dbeDataVencimentoExit() {
    const TField& venc = dm_.cdsKOVA.FieldByName("DataVencimento");
    if (!venc.IsNull()) {
        if (const std::string ce = MensagemVencidaDoEstado(venc.AsDate()); !ce.empty()) {
            MessageDlg(ce, TMsgDlgType::mtError);
            Controles.SetFocus("dbeDataVencimento");
            return;
        }
    }
    // Hosted, the payment date is asked for each due date once: the box left again with the same
    // date (or left twice by one move of the person) asks nothing more, and keeps the payment date
    // the person gave.
    if (Hospedado() && pagamentoConfirmadoPara_ != venc.AsString()) {
        dm_.ConfirmarDataPagamento = 1;
        dtsPadraoDataChange(dtsPadrao, nullptr);
        dm_.ConfirmarDataPagamento = 0;
    }
    if (!venc.IsNull() && Controles.Get("dbeCICContribuinte").enabled)
        Abre("dbeDataVencimento", false);
}

void TfrmDigitar::dbeReferenciaEnter() {
    if (Controles.Get("cbxPeriodoDia").visible) Controles.SetFocus("cbxPeriodoDia");
}

void TfrmDigitar::dbeDocumentoOrigemEnter() {
    const std::string uf = Campo("UFFavorecida");
    if (uf != "MG") return;
    if (const auto aviso = Regra(uf, Campo("Receita"), TFlagRegra::M))
        MessageDlg(TextoRegra(*aviso), TMsgDlgType::mtWarning);
}

void TfrmDigitar::cbxPeriodoDiaChange() {
    if (!Editando()) return;
    auto escolhido = [&](const char* picker) {
        const TControlState& c = Controles.Get(picker);
        return c.itemIndex >= 0 && c.itemIndex < int(c.items.size()) ? c.items[size_t(c.itemIndex)]
                                                                     : std::string();
    };
    const std::string candidata = std::to_string(Controles.Get("cbxPeriodoDia").itemIndex + 1) +
                                  escolhido("cbxPeriodoMes") + escolhido("cbxPeriodoAno");
    if (candidata != dm_.cdsKOVA.FieldByName("Referencia").AsString()) {
        dm_.cdsKOVA.FieldByName("Referencia").SetAsString(candidata);
    }
}

// ------------------------------------------------------------------ key filters

char TfrmDigitar::dbeCICContribuinteKeyPress(char c) {
    return c == '-' || c == '.' || c == '/' ? '\0' : c;
}

char TfrmDigitar::dbeMunicipioKeyPress(char c) { return c >= '0' && c <= '9' ? '\0' : c; }

char TfrmDigitar::dbeCEPKeyPress(char c) { return c == '-' ? '\0' : c; }

// ------------------------------------------------------------------ dialogs

bool TfrmDigitar::DialogoDataPagamento() {
    TPedidoDialogo pedido;
    pedido.nome = "TfrmDataPagamento";
    pedido.titulo = "Data de Pagamento";
    pedido.texto = "Cálculo para pagamento em:";
    pedido.fonte = &dtsPadrao;
    return ExecutarDialogo(pedido);
}

void TfrmDigitar::btnProdutoClick() { EscolherProduto(""); }

bool TfrmDigitar::EscolherProduto(const std::string& complementoTitulo) {
    bool confirmado = false;
    TDataSet& produtos = dm_.cdsUFProduto;
    produtos.SetIndexName("sk_Descricao");
    try {
        try {
            produtos.Locate("Produto", {dm_.cdsKOVA.FieldByName("Produto").AsInteger()});
        } catch (const std::exception&) {
            // A product that cannot be found leaves the list where it was.
        }
        TPedidoDialogo pedido;
        pedido.nome = "TfrmSelecionaProduto";
        pedido.titulo = "Selecione Produto" + complementoTitulo;
        pedido.fonte = &dm_.dtsUFProduto;
        const TDataSetState s = dm_.cdsKOVA.State();
        confirmado = ExecutarDialogo(pedido);
        if (confirmado && (s == TDataSetState::dsEdit || s == TDataSetState::dsInsert ||
                           s == TDataSetState::dsSetKey)) {
            dm_.cdsKOVA.FieldByName("Produto").SetAsInteger(
                produtos.FieldByName("Produto").AsInteger());
        }
    } catch (...) {
        produtos.SetIndexName("pk_UFProduto");
        throw;
    }
    produtos.SetIndexName("pk_UFProduto");
    return confirmado;
}

void TfrmDigitar::MostrarMsgLink(const std::string& endereco) {
    TPedidoDialogo pedido;
    pedido.nome = "TfrmMsgLink";
    pedido.titulo = "Atenção";
    pedido.texto =
        "Emissão da KOVA desta UF deverá ser efetuada em programa específico desenvolvido pela "
        "mesma.\r\n\r\n"
        "Para mais informações e emissão, consulte a página:";
    pedido.link = endereco;
    ExecutarDialogo(pedido);
}

void AbrirPagina(const std::string& endereco) {
    BusyCursor ampulheta;
    if (!Dialogs().AbrirEndereco(endereco)) {
        MessageDlg("Impossível abrir esta página: " + endereco, TMsgDlgType::mtError);
    }
}

}  // namespace kova
