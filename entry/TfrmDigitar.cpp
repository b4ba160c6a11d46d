#include "TfrmDigitar.h"

#include <algorithm>
#include <stdexcept>

#include "CaixasDigitar.h"
#include "CalculaCodigoBarra.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Errors.h"
#include "Predicados.h"
#include "TDM.h"
#include "Texto.h"
#include "ValidaCampo.h"

namespace kova {

TfrmDigitar* frmDigitar = nullptr;

namespace {

bool EditandoOuChave(TDataSetState s) {
    return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert ||
           s == TDataSetState::dsSetKey;
}

const char* TextoDoEstado(TDataSetState s) {
    switch (s) {
        case TDataSetState::dsInactive:
            return "Inativo";
        case TDataSetState::dsBrowse:
            return "";
        case TDataSetState::dsEdit:
            return "Alterando";
        case TDataSetState::dsInsert:
            return "Incluindo";
        case TDataSetState::dsSetKey:
            return "Atribuindo chaves";
        case TDataSetState::dsCalcFields:
            return "Calculando campos";
        case TDataSetState::dsFilter:
            return "Filtrando";
    }
    return "<?>";
}

}  // namespace

bool TfrmDigitar::Hospedado() const { return dm_.ModoBiblioteca && !dm_.ModoSilencioso; }
bool TfrmDigitar::Desassistido() const { return dm_.ModoBiblioteca && dm_.ModoSilencioso; }

TfrmDigitar::TfrmDigitar(TDM& dm) : dm_(dm) {
    if (frmDigitar) throw std::logic_error("only one entry form object may exist");
    CriarControles();
    dtsPadrao.AutoEdit = false;
    dtsPadrao.SetDataSet(&dm_.cdsKOVA);
    dtsPadrao.OnDataChange = [this](TDataSource& s, TField* f) { dtsPadraoDataChange(s, f); };
    dtsPadrao.OnStateChange = [this](TDataSource& s) { dtsPadraoStateChange(s); };
    dm_.dtsEntrada = &dtsPadrao;
    dm_.CriticaTodos = [this](TDataSet& t) { return CriticaTodos(t); };
    dm_.FocarControle = [this](const std::string& controle) { Controles.SetFocus(controle); };
    Checksum.ErrorResult = "********";
    Checksum.UseLFNs = true;
    FormCreate();
    frmDigitar = this;
}

TfrmDigitar::~TfrmDigitar() {
    if (frmDigitar == this) frmDigitar = nullptr;
    // The data module may have gone first (a test ends it); then there is nothing to unhook.
    if (DM == &dm_) {
        if (dm_.dtsEntrada == &dtsPadrao) dm_.dtsEntrada = nullptr;
        dm_.CriticaTodos = nullptr;
        dm_.FocarControle = nullptr;
    }
}

namespace {

TControlState Controle(std::string nome, TControlKind tipo, std::string pai = {},
                       std::string legenda = {}) {
    TControlState c;
    c.name = std::move(nome);
    c.kind = tipo;
    c.parent = std::move(pai);
    c.caption = std::move(legenda);
    return c;
}

}  // namespace

void TfrmDigitar::CriarControles() {
    using K = TControlKind;
    auto botao = [&](const char* nome, const char* legenda, const char* dica) {
        Controles.Add(Controle(nome, K::Button, "tlbFerramentas", legenda)).hint = dica;
    };
    Controles.Add(Controle("tlbFerramentas", K::Panel));
    botao("btnIncluir", "&Nova", "Incluir nova KOVA");
    botao("btnAlterar", "&Alterar", "Alterar KOVA");
    botao("btnNovaAPartir", "Nova a &partir desta",
          "Nova KOVA a partir desta: o mesmo contribuinte, UF, receita e valores");
    botao("btnExcluir", "&Excluir", "Excluir KOVA");
    botao("btnSalvar", "&Salvar", "Salvar atualizações da KOVA");
    botao("btnDesfazer", "&Cancelar", "Desfazer atualizações");
    Controles.Add(Controle("dbnNavegador", K::Navigator, "tlbFerramentas"));
    botao("btnImprimir", "&Imprimir", "Imprimir KOVA");
    botao("btnAjuda", "A&juda", "Ajuda");
    botao("btnFechar", "&Fechar", "Fechar");

    Controles.Add(Controle("tbsKOVA", K::Tab, "", "KOVA"));
    struct Caixa {
        const char* nome;
        TControlKind tipo;
        const char* campo;
        bool ligada;
        const char* legenda;
    };
    // Boxes are made in the order of their groups, so a failed field focuses its typing box
    // (box 01) before its display copy (box 13).
    auto caixas = [&](const char* grupo, std::initializer_list<Caixa> lista) {
        if (!Controles.Find(grupo)) Controles.Add(Controle(grupo, K::Group, "tbsKOVA"));
        for (const Caixa& c : lista) {
            Controles.Add(Controle(std::string("lbl") + c.nome, K::Label, grupo, c.legenda));
            TControlState& caixa = Controles.Add(Controle(c.nome, c.tipo, grupo, c.legenda));
            caixa.field = c.campo;
            caixa.enabled = c.ligada;
        }
    };
    caixas(
        "GBValores",
        {
            {"dblcUFFavorecida", K::LookupCombo, "UFFavorecida", false,
             "01-Código da UF Favorecida"},
            {"dblcReceita", K::LookupCombo, "Receita", false, "02-Código da Receita"},
            {"dbeCICContribuinte", K::Edit, "CICContribuinte", false,
             "03-CNPJ / CPF do Contribuinte"},
            {"dbeDocumentoOrigem", K::Edit, "DocumentoOrigem", false, "04-Nº do Documento Origem"},
            {"dbeReferencia", K::Edit, "Referencia", false, "05-Período de Ref. ou Nº Parcela"},
        });
    // The period pickers stand in box 05's place, in the tab order too: box 06 follows them.
    for (const char* periodo : {"cbxPeriodoDia", "cbxPeriodoMes", "cbxPeriodoAno"}) {
        Controles.Add(Controle(periodo, K::ComboBox, "GBValores")).visible = false;
    }
    caixas("GBValores",
           {
               {"dbeValorPrincipal", K::Edit, "ValorPrincipal", false, "06-Valor Principal"},
               {"dbeAtualizacaoMonetaria", K::Edit, "AtualizacaoMonetaria", false,
                "07-Atualização Monetária"},
               {"dbeJuros", K::Edit, "Juros", false, "08-Juros"},
               {"dbeMulta", K::Edit, "Multa", false, "09-Multa"},
               {"dbeTotalReceber", K::Edit, "TotalRecolher", false, "10-Total a Recolher"},
           });
    Controles.Get("dblcUFFavorecida").hint = "Selecione o código da UF favorecida";
    std::vector<std::string> meses;
    for (int m = 1; m <= 12; ++m) meses.push_back(FormatFloat("00", m));
    Controles.SetItems("cbxPeriodoMes", std::move(meses), -1);
    caixas(
        "GBGuia",
        {
            {"dblcUFFavorecida2", K::LookupCombo, "UFFavorecida", true, "13-UF Favorecida"},
            {"dbeDataVencimento", K::Edit, "DataVencimento", false, "14-Data Vencimento"},
            {"dbeConvenio", K::Edit, "Convenio", false,
             "15-Nº do Convênio ou Protocolo / Especificação da Mercadoria"},
            {"dbeRazaoSocial", K::Edit, "RazaoSocial", false, "16-Nome da Firma ou Razão Social"},
            {"dbeInscricaoEstadual", K::Edit, "InscricaoEstadual", false,
             "17-Insc.Estadual na UF Favorecida"},
            {"dbeEndereco", K::Edit, "Endereco", false, "18-Endereço Completo"},
            {"dbeMunicipio", K::Edit, "Municipio", false, "19-Município"},
            {"dblcUF", K::LookupCombo, "UF", true, "20-UF"},
            {"dbeCEP", K::Edit, "CEP", false, "21-CEP"},
            {"dbeTelefone", K::Edit, "Telefone", false, "22-Telefone"},
            {"dbeInformacoes", K::Edit, "Informacoes", false, "23-Informações Complementares"},
        });
    Controles.Add(Controle("pnlProduto", K::Panel, "GBGuia")).visible = false;
    Controles.Add(Controle("lblProduto", K::Label, "pnlProduto", "Produto do convênio:"));
    Controles.Add(Controle("dblcProduto", K::LookupCombo, "pnlProduto")).field = "Produto";
    Controles.Add(Controle("btnProduto", K::Button, "pnlProduto"));
    Controles.Add(Controle("GBAutenticacao", K::Group, "tbsKOVA", "25-Autenticação "));
    Controles.Add(Controle("GBBancos", K::Group, "tbsKOVA", "Bancos Credenciados:")).visible =
        false;
    Controles.Add(Controle("PanelBancos", K::Panel, "GBBancos"));
    Controles.Add(Controle("dbtRegistro", K::Label)).field = "IdKOVA";
    Controles.Add(Controle("lblState", K::Label));

    Controles.Add(Controle("tbsPesquisar", K::Tab, "", "Pesquisar"));
    Controles.Add(Controle("dbgSolicitacaoKOVA", K::Grid, "tbsPesquisar"));
    Controles.Add(Controle("rdbKOVA", K::Button, "tbsPesquisar", "KOVA")).itemIndex = 1;
    Controles
        .Add(Controle("RDGCICContribuinte", K::Button, "tbsPesquisar",
                      "CNPJ ou CPF do Contribuinte"))
        .itemIndex = 0;
    Controles.Add(Controle("btnCancel", K::Button)).visible = false;
}

void TfrmDigitar::FormCreate() {
    PaginaAtiva = "tbsKOVA";
    AtualizarCores();
    LerRelogio();
}

void TfrmDigitar::LerRelogio() {
    const TDate hoje = Clock::Today();
    const int ano = YearOf(hoje);
    const int mes = int(MonthOf(hoje));
    if (ano == anoLido_ && mes == MesAtual) return;
    anoLido_ = ano;
    MesAtual = mes;
    // The year picker lists the last six years and this one; in December next year as well.
    std::vector<std::string> anos;
    for (int a = ano - kAnosAntes; a <= ano + (MesAtual == 12 ? 1 : 0); ++a)
        anos.push_back(FormatFloat("0000", a));
    Controles.SetItems("cbxPeriodoAno", std::move(anos), 0);
}

bool TfrmDigitar::SemTela() const { return Desassistido() && !Visivel; }

void TfrmDigitar::Abre(const char* controle, bool aberto) {
    // Which boxes take input is for a person: an unattended request has nobody to type, and a
    // screen shown later sets its boxes as it appears.
    if (SemTela()) return;
    Controles.SetEnabled(controle, aberto);
    if (!Visivel) return;
    const TControlState& c = Controles.Get(controle);
    if (c.kind == TControlKind::Edit || c.kind == TControlKind::LookupCombo ||
        c.kind == TControlKind::ComboBox) {
        Controles.SetColor(controle, aberto ? TColor::Window : TColor::ButtonFace);
    }
}

void TfrmDigitar::AtualizarCores() {
    for (const auto& c : Controles.Controls()) {
        if (c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo ||
            c->kind == TControlKind::ComboBox) {
            Controles.SetColor(c->name, c->enabled ? TColor::Window : TColor::ButtonFace);
        }
    }
}

void TfrmDigitar::dtsPadraoStateChange(TDataSource& sender) {
    const TDataSetState estado = sender.State();
    const bool editando = EditandoOuChave(estado);
    // The state's caption and buttons are for a person; a screen shown later sets them as it
    // appears.
    if (!SemTela()) {
        const bool temKOVA = !dm_.cdsKOVA.IsEmpty();
        Controles.SetCaption("lblState", TextoDoEstado(estado));
        Controles.SetEnabled("btnIncluir", !editando);
        Controles.SetEnabled("btnFechar", !editando);
        for (const char* nome :
             {"btnAlterar", "btnNovaAPartir", "btnExcluir", "btnImprimir", "dbnNavegador"}) {
            Controles.SetEnabled(nome, !editando && temKOVA);
        }
        Controles.SetEnabled("btnSalvar", editando);
        Controles.SetEnabled("btnDesfazer", editando);
    }
    // Outside editing the revenue lookup shows every code again.
    if (!editando && dm_.cdsReceita.Active()) dm_.cdsReceita.SetFiltered(false);
    if (editando) PaginaAtiva = "tbsKOVA";
    Controles.SetVisible("tbsPesquisar", !editando);
    if (!editando) {
        inicio_.clear();
        pagamentoConfirmadoPara_.reset();
    }
    if (estado == TDataSetState::dsInsert || estado == TDataSetState::dsEdit) LerRelogio();
    // A new record's boxes are set by the data notification that Append sends once its defaults
    // are in; run here too, before them, it did the same work a second time.
}

bool TfrmDigitar::Editando() const {
    const TDataSetState s = dm_.cdsKOVA.State();
    return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert;
}

std::string TfrmDigitar::Campo(const char* nome) const {
    const TField& f = dm_.cdsKOVA.FieldByName(nome);
    if (const std::string* texto = f.TextoGuardado()) return Trim(std::string_view(*texto));
    return Trim(f.AsString());
}

std::optional<TRegraUF> TfrmDigitar::Regra(const std::string& uf, const std::string& receita,
                                           TFlagRegra flag) {
    return RegraUF(dm_, uf, receita, flag);
}

std::string TfrmDigitar::TextoRegra(const TRegraUF& regra) { return ConverterQuebras(regra.texto); }

bool TfrmDigitar::ReceitaEncontrada() {
    return dm_.cdsReceita.Active() && dm_.cdsReceita.FindKey({Campo("Receita")});
}

void TfrmDigitar::Reportar(const std::string& mensagem) {
    if (dm_.ModoImportacao) throw ECritica(mensagem);
    if (!dm_.ModoSilencioso) {
        ultimoReportado_ = mensagem;
        MessageDlg(mensagem, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    } else {
        dm_.UltimoErro = mensagem;
    }
}

bool TfrmDigitar::CriticaField(const std::string& campo, bool sempre) {
    std::string mensagem;
    TTipoMensagem tipo;
    try {
        ValidaCampo(campo, mensagem, tipo);
    } catch (const EConvertError& e) {
        // A part of the value that its format rules let through and still does not convert (a
        // period the state's month does not have): the check's own failure, told as its message.
        mensagem = e.what();
        tipo = TTipoMensagem::Erro;
    }
    if (mensagem.empty() || !(sempre || tipo == TTipoMensagem::Erro)) return false;
    // The total is the sum of the amounts, which nobody types: the person mends it in the first
    // amount box open, and is told which.
    if (Visivel && SameText(Trim(campo), "TotalRecolher")) {
        for (const char* caixa : kCaixasDeValor) {
            const TControlState& c = Controles.Get(caixa);
            if (!c.enabled || SameText(c.field, "TotalRecolher")) continue;
            Reportar(mensagem + "\r\rCorrija os valores a partir da caixa \"" +
                     Controles.Get(std::string("lbl") + caixa).caption + "\".");
            Controles.SetFocus(caixa);
            return true;
        }
    }
    Reportar(mensagem);
    FocarCampo(Trim(campo));
    return true;
}

void TfrmDigitar::FocarCampo(const std::string& campo) {
    if (!Visivel) return;
    for (const auto& c : Controles.Controls()) {
        if ((c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo) &&
            SameText(c->field, campo)) {
            // The period is typed in its pickers while they cover box 05: the person goes there.
            if (!Controles.SetFocus(c->name) && SameText(campo, "Referencia"))
                Controles.SetFocus("cbxPeriodoDia");
            break;
        }
    }
}

bool TfrmDigitar::CriticaCampoAlterado(TDataSource& fonte, TField* campo) {
    if (dm_.CriandoRegistro || !campo || campo->Calculated()) return false;
    if (fonte.State() != TDataSetState::dsInsert && fonte.State() != TDataSetState::dsEdit)
        return false;
    const uint64_t carimbo = campo->DataSet().Carimbo();
    if (CriticaField(campo->FieldName(), true)) return true;
    MarcaJulgado(*campo, carimbo, TJulgamento::Regras);
    return false;
}

void TfrmDigitar::MarcaJulgado(const TField& campo, uint64_t carimbo, TJulgamento j) {
    const TDataSet& k = campo.DataSet();
    // The rules judge the slip of the entry link, whose fields these are.
    if (&k != &dm_.cdsKOVA || !dm_.dtsEntrada || dm_.dtsEntrada->DataSet() != &k) return;
    if (sessaoJulgada_ != k.Sessao()) {
        sessaoJulgada_ = k.Sessao();
        julgadoAte_.assign(size_t(k.FieldCount()), {0, 0});
    }
    if (size_t(campo.Index()) < julgadoAte_.size())
        julgadoAte_[size_t(campo.Index())][size_t(j)] = carimbo + 1;
}

const TfrmDigitar::TLidos& TfrmDigitar::CalculaLidos(const TField& campo) const {
    std::vector<TLidos>& porPosicao = lidosPorPosicao_;
    const size_t i = size_t(campo.Index());
    // Made whole at once: an entry handed out stays where it is while others are worked out.
    if (porPosicao.size() <= i)
        porPosicao.resize(std::max(i + 1, size_t(campo.DataSet().FieldCount())));
    TLidos& l = porPosicao[i];
    if (l.campo != &campo) {
        l.campo = &campo;
        l.nome = campo.FieldName();
        l.posicoes.clear();
        for (const std::string& lido : CamposLidos(l.nome)) {
            if (const TField* f = dm_.cdsKOVA.FindField(lido)) l.posicoes.push_back(f->Index());
        }
        // Checks that leave a table as later ones expect it run again: the favoured state's and
        // the payer's state's lookups leave the states table on them, the product's filter the
        // products; the payment date's rules read the clock.
        l.sempreJulgado = false;
        for (const char* c : {"UFFavorecida", "UF", "Produto", "DataPagamento"})
            l.sempreJulgado = l.sempreJulgado || l.nome == c;
        l.subReceita = l.nome == "SubReceita";
        // What a change refuses is told again unless it reads only fields of the slip and the
        // tables: the revenue's and the taxpayer's refusals, the due date's calendar.
        l.mudancaGuardavel = false;
        for (const char* c : {"Receita", "CICContribuinte", "DataVencimento"})
            l.mudancaGuardavel = l.mudancaGuardavel || l.nome == c;
        static constexpr std::pair<const char*, TPapel> kPapeis[] = {
            {"UFFavorecida", TPapel::UFFavorecida},
            {"Receita", TPapel::Receita},
            {"DataVencimento", TPapel::DataVencimento},
            {"CICContribuinte", TPapel::CICContribuinte},
            {"DocumentoOrigem", TPapel::DocumentoOrigem},
            {"Referencia", TPapel::Referencia},
            {"Situacao", TPapel::Situacao},
            {"ValorPrincipal", TPapel::Valor},
            {"AtualizacaoMonetaria", TPapel::Valor},
            {"Juros", TPapel::Valor},
            {"Multa", TPapel::Valor},
        };
        l.papel = TPapel::Outro;
        for (const auto& [nome, papel] : kPapeis) {
            if (l.nome == nome) l.papel = papel;
        }
    }
    return l;
}

bool TfrmDigitar::JulgadoSemMudanca(const TDataSet& tabela, int indice, const TLidos& lidos,
                                    TJulgamento j) {
    if (sessaoJulgada_ != tabela.Sessao() || &tabela != &dm_.cdsKOVA) return false;
    const uint64_t ate =
        size_t(indice) < julgadoAte_.size() ? julgadoAte_[size_t(indice)][size_t(j)] : 0;
    if (ate == 0) return false;
    if (j == TJulgamento::Regras) {
        // The courier's rule ends every field's check once its company is given; a sub-code
        // chosen in a picker is checked once more.
        if (!dm_.CodigoCourier.empty() || lidos.sempreJulgado ||
            (lidos.subReceita && dm_.SelecionarSubReceita == 1)) {
            return false;
        }
    } else if (!lidos.mudancaGuardavel) {
        return false;
    }
    if (tabela.CarimboDoCampo(indice) >= ate) return false;
    for (int p : lidos.posicoes) {
        if (tabela.CarimboDoCampo(p) >= ate) return false;
    }
    return true;
}

bool TfrmDigitar::CriticaTodos(TDataSet& tabela) {
    CodigoBarraConferido.clear();
    const bool receita = ReceitaEncontrada();
    const std::string tipoReferencia = receita ? UpperCase(dm_.TipoReferencia()) : std::string();
    for (int i = 0; i < tabela.FieldCount(); ++i) {
        const std::string& campo = tabela.Fields(i).FieldName();
        const TLidos& lidos = PosicoesLidas(tabela.Fields(i));
        // A field judged sound in this session, whose value and read fields have not changed
        // since, would be judged the same.
        if (!JulgadoSemMudanca(tabela, i, lidos, TJulgamento::Regras) &&
            CriticaField(campo, false)) {
            return true;
        }
        // What a change of the field would have refused, whatever order the fields were filled in.
        if (JulgadoSemMudanca(tabela, i, lidos, TJulgamento::Mudanca)) continue;
        if (const std::string recusa = RecusaDaMudanca(campo, receita, tipoReferencia);
            !recusa.empty()) {
            Reportar(recusa);
            FocarCampo(campo);
            return true;
        }
    }
    // A slip that passes every field but whose barcode cannot carry its taxpayer is not stored.
    if (const std::string motivo = RecusaContribuinteNoCodigoBarra(); !motivo.empty()) {
        Reportar(motivo);
        FocarCampo("CICContribuinte");
        return true;
    }
    // Nor one whose barcode would not be 44 digits: it could never be printed.
    if (const std::string motivo = RecusaDoCodigoBarra(); !motivo.empty()) {
        Reportar(motivo);
        return true;
    }
    return false;
}

}  // namespace kova
