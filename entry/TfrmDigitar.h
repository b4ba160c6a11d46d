#pragma once
// The entry form object: the one object (frmDigitar) through which every change of a slip is
// checked, whether a person types it, the import reads it or a library request sends it. It holds
// the data link dtsPadrao to the slips table for its whole life (automatic editing off), the
// link's two notifications, the library's request state and the control-state model of the entry
// screen, which the Qt view mirrors when the screen is shown and feeds back through the
// operations below (clicks, exits, entries, keys). Creating it starts no editing and checks
// nothing. Needs the data module (DM) to exist for its whole life.
//
// Three modes change what it may show: interactive (the desktop), hosted (a library request that
// shows the screen to a person) and unattended (a library request without any screen).

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RegrasDaUF.h"
#include "TChecksum.h"
#include "TControlModel.h"
#include "TDataSource.h"
#include "TField.h"
#include "TValue.h"

namespace kova {

class TDM;
class TPreenchimento;

class TfrmDigitar {
public:
    explicit TfrmDigitar(TDM& dm);
    ~TfrmDigitar();
    TfrmDigitar(const TfrmDigitar&) = delete;
    TfrmDigitar& operator=(const TfrmDigitar&) = delete;

    TDataSource dtsPadrao{"dtsPadrao"};
    TChecksum Checksum;
    TControlModel Controles;

    // Library request state: the request on entry, the reply on exit; slips saved in the request.
    std::string Requisicao;
    int QtdeIncluidas = 0;
    // Calendar month of the clock's last reading: each new or changed slip reads it again.
    int MesAtual = 0;
    // The year picker lists this many years before this one, so this year (the period's default)
    // stands at this position.
    static constexpr int kAnosAntes = 6;
    // True while the screen is shown (it is then the active window).
    bool Visivel = false;
    // The page in front: "tbsKOVA" (the slip) or "tbsPesquisar" (the search grid).
    std::string PaginaAtiva = "tbsKOVA";
    int HelpContext = 0;
    bool TimerAtivo = false;
    // The grid's selected column on the search page.
    int ColunaGrade = 0;
    static constexpr int kColunasGrade = 15;

    // Requests to the view: the screen closed (ends a modal display), bring the window to the
    // front, run the slip report for the current slip.
    std::function<void()> OnFechar;
    std::function<void()> OnTrazerParaFrente;
    std::function<void()> OnImprimir;
    // The hosted display: shows the screen modally and returns when it has closed.
    std::function<void()> OnExibirModal;

    // --- Notifications of the data link ---
    void dtsPadraoDataChange(TDataSource& sender, TField* field);
    void dtsPadraoStateChange(TDataSource& sender);

    // --- Field checks ---
    // The other fields of the slip that judging a change of this field reads: its rules' and
    // those of what the change refuses or shows (a slip filled from outside judges a field once
    // they are in, Preenchimento.h).
    std::vector<std::string> CamposLidos(std::string_view campo) const;
    bool CriticaField(const std::string& campo, bool sempre);
    bool CriticaCampoAlterado(TDataSource& fonte, TField* campo);
    // The whole slip before it is stored: each field in field order with its own rules and then
    // the rules that run when it changes (so that no rule depends on the order the fields were
    // filled in), then the barcode, which must come out as 44 digits. True when refused.
    bool CriticaTodos(TDataSet& tabela);
    // The barcode content the last whole-slip check built; empty when that check refused the slip.
    std::string CodigoBarraConferido;

    // --- Operations of the screen ---
    void FormShow();
    // Shows the screen. Hosted, the person's typing starts at once: the focus is in the first box
    // that takes input, and what the slip holds then (the request's values) is not theirs to be
    // asked about before it is discarded.
    void Mostrar();
    // Closes the screen after the close prompt; false when it stays open.
    bool Fechar();
    void IniciarNovaKOVA();
    void AbrirPesquisa();
    void btnIncluirClick();
    void btnAlterarClick();
    // A new slip from the one in front: its taxpayer, state, revenue and amounts; the dates and the
    // period to be typed (the focus in the due date's box).
    void btnNovaAPartirClick();
    void btnExcluirClick();
    void btnSalvarClick();
    void btnDesfazerClick();
    // The Cancel action without its question: the slip being edited is cancelled and, hosted, the
    // screen closed (the hosted display ended by other means leaves nothing half-done).
    void Descartar();
    void btnFecharClick() { Fechar(); }
    void btnImprimirClick();
    void rdbKOVAClick();
    void RDGCICContribuinteClick();
    void dbgSolicitacaoKOVADblClick() { PaginaAtiva = "tbsKOVA"; }
    void TimerTimer();
    // Enter: in the grid the next column, elsewhere the next box, as Tab.
    void TeclaEnter();

    // --- Exits and entries of single boxes ---
    void dblcUFFavorecidaExit();
    void dblcReceitaExit();
    void dbeDataVencimentoExit();
    // Before box 14 writes a due date typed there: a date before today is usually mistyped, so
    // the person at the desktop is asked whether to correct it (the state's own overdue messages
    // aside). False when they will: the box keeps the text and the focus, nothing is written.
    bool ConfirmaVencimento(const std::string& texto);
    void dbeReferenciaEnter();
    void dbeDocumentoOrigemEnter();
    void cbxPeriodoDiaChange();
    void dblcProdutoEnter() { Controles.SetFocus("btnProduto"); }
    void btnProdutoClick();
    // The product picker over the slip's products, its title followed by the given text; a
    // confirmed choice goes into the slip being edited. True when confirmed.
    bool EscolherProduto(const std::string& complementoTitulo);

    // --- Key filters: the character typed, or '\0' when it is dropped ---
    static char dbeCICContribuinteKeyPress(char c);
    static char dbeMunicipioKeyPress(char c);
    static char dbeCEPKeyPress(char c);

    void AtualizarCores();

private:
    friend class TPreenchimento;
    // The slip being filled from outside, if one is.
    TPreenchimento* preenchimento_ = nullptr;
    // What a change of a field runs after its check has passed: the steps of the data
    // notification; false when they end the processing of the change (a check or a step refused
    // it, or a dialog was declined).
    bool JulgaMudanca(TDataSource& sender, TField* field);
    // The judgement of a change that waited for the fields its rules read (the total the change
    // of an amount adds up was taken at the change itself).
    void JulgaMudancaAdiada(TField& field);
    // An amount changed: the total becomes the sum of the four.
    void SomaTotal(const TField* field);
    // The bank logos last laid out, by state, while the bank tables stay unchanged: the layout runs
    // on every change of a slip being checked.
    struct TLogosDaUF {
        std::string uf;
        uint64_t versaoUFBanco = 0, versaoBanco = 0;
        std::vector<TControlState> controles;
        std::string ultimoBanco;
        bool valido = false;
        // They are the bank controls in the screen now.
        bool postos = false;
    } logos_;
    bool LogosValidos(const std::string& uf) const;
    void FormCreate();
    void CriarControles();
    // The month and the year list of the period pickers follow the clock: a screen or a library
    // that has run since last month offers what a new one would.
    void LerRelogio();
    int anoLido_ = 0;
    bool somandoTotal_ = false;
    // The fields of the slip found sound in the slips table's current edit session, by position:
    // the stamp the slip had reached when each was judged, plus one (0: not judged since). The
    // whole-slip check judges again only a field that, or whose read fields, changed since.
    // Two judgements are kept: the field's rules, and what its change refuses.
    enum class TJulgamento { Regras, Mudanca };
    uint64_t sessaoJulgada_ = 0;
    std::vector<std::array<uint64_t, 2>> julgadoAte_;
    void MarcaJulgado(const TField& campo, uint64_t carimbo, TJulgamento j);
    // What a change of a field sets off besides its rules, told by the field once.
    enum class TPapel {
        Outro,
        UFFavorecida,
        Receita,
        DataVencimento,
        CICContribuinte,
        DocumentoOrigem,
        Referencia,
        Situacao,
        Valor,  // an amount the total adds up
    };
    // The positions in the slips table of the fields CamposLidos names, worked out once a field,
    // and whether the whole-slip check judges the field even when nothing changed.
    struct TLidos {
        const TField* campo = nullptr;
        std::string nome;
        TPapel papel = TPapel::Outro;
        std::vector<int> posicoes;
        bool sempreJulgado = false;
        bool subReceita = false;
        bool mudancaGuardavel = false;
    };
    // Asked at every change of every field: the field's entry is found by its position at once.
    const TLidos& PosicoesLidas(const TField& campo) const {
        const size_t i = size_t(campo.Index());
        if (i < lidosPorPosicao_.size() && lidosPorPosicao_[i].campo == &campo)
            return lidosPorPosicao_[i];
        return CalculaLidos(campo);
    }
    const TLidos& CalculaLidos(const TField& campo) const;
    // Each field's entry, by position (the rules and the table's layout are fixed).
    mutable std::vector<TLidos> lidosPorPosicao_;
    bool JulgadoSemMudanca(const TDataSet& tabela, int indice, const TLidos& lidos, TJulgamento j);
    // Reports a message the way the modes ask; throws ECritica while importing.
    void Reportar(const std::string& mensagem);
    // The last message shown to the person (a box's refusal told while typing is not told again
    // when the box is confirmed).
    std::string ultimoReportado_;
    // Puts the focus on the box of a field (on screen).
    void FocarCampo(const std::string& campo);
    bool Editando() const;
    bool Hospedado() const;
    bool Desassistido() const;
    // Unattended and not shown: nothing drawn is seen by anyone.
    bool SemTela() const;
    bool ReceitaEncontrada();
    // Opens or closes a box; on screen its colour follows at once.
    void Abre(const char* controle, bool aberto = true);
    std::string Campo(const char* nome) const;
    std::optional<TRegraUF> Regra(const std::string& uf, const std::string& receita,
                                  TFlagRegra flag);
    // A rule's text as a person reads it: its "#13" are line breaks.
    static std::string TextoRegra(const TRegraUF& regra);

    // The steps of the data notification; false when the processing of the change ends.
    bool PassoUFFavorecida(TField* field);
    bool PassoReceita(TField* field);
    bool PassoVencimento();
    bool PassoCaixasDependentes();
    bool PassoContribuinte();
    // A taxpayer typed on screen who has earlier slips: the boxes of their name, address, town,
    // state, CEP and phone still empty take the values of their latest slip.
    void PreencheContribuinte();
    bool PassoDocumento();
    bool PassoReferencia();
    void RemoverLogos();
    void CriarLogos(const std::string& uf);
    void MontarPeriodos(const std::string& periodicidade);
    void RotularPeriodos(const std::string& periodicidade);
    // The three pickers set from a reference DMMAAAA (no entry chosen where the list has none).
    void PosicionarPeriodos(const std::string& referencia, const std::string& periodicidade);
    // The payment-date checks of the calendar; false when refused.
    bool ConferePagamento();

    // What the rules that run on a change of a field refuse in the current slip, worded for the
    // current mode; empty when they pass. The change of the field and the whole-slip check both
    // ask them. The whole-slip check reads once whether the revenue exists and its reference kind.
    std::string RecusaDaMudanca(std::string_view campo, bool receitaEncontrada,
                                const std::string& tipoReferencia);
    std::string RecusaReceita(const std::string& uf, const std::string& receita);
    std::string RecusaVencimento(bool receitaEncontrada);
    std::string RecusaPagamento();
    // What the calendar and the late-payment rule refuse in the payment date itself (what typing
    // another payment date can mend).
    std::string RecusaDaDataDePagamento();
    std::string RecusaContribuinte();
    std::string RecusaDocumento();
    // The year of an import declaration against the year of the reference period.
    std::string RecusaAnoDaDeclaracao(const std::string& referencia);
    // The state's notice for a future period, when the reference names a month and year the
    // pickers list, after this month, and the state has that notice; none otherwise.
    std::optional<TRegraUF> PeriodoFuturo(const std::string& referencia, const std::string& uf);
    // The slip's barcode built for the whole-slip check (kept in CodigoBarraConferido); when it
    // cannot be built, the numbered message of the field it cannot carry (whose box takes the
    // focus).
    std::string RecusaDoCodigoBarra();

    // --- Dialogs ---
    bool DialogoDataPagamento();
    // The payment-date box, opened on the first date the state's calendar accepts from the one
    // proposed, until the date typed there passes its checks (the person is told why it does not)
    // or the person cancels it; false when cancelled.
    bool PerguntaDataPagamento();
    bool DialogoSubReceita();
    void MostrarMsgLink(const std::string& endereco);

    // Whether the slip being edited holds what the person typed since New or Change (hosted, since
    // the screen was shown), which the Cancel action then asks before discarding.
    bool TemDadosDigitados() const;
    void GuardaInicio();
    // Gives the focus to the first box, in tab order, that takes input; false when none does.
    bool FocarPrimeiraCaixa();
    // The state's own overdue message for a due date (empty when none applies).
    std::string MensagemVencidaDoEstado(TDate vencimento);

    TDM& dm_;
    bool fechando_ = false;
    // The slip's values when the person began (New or Change); empty while that moment is not
    // past.
    std::vector<TValue> inicio_;
    // Hosted: the due date whose payment date the person has confirmed on leaving box 14, while
    // the slip is being edited. Leaving the box again with that date asks nothing more.
    std::optional<std::string> pagamentoConfirmadoPara_;
};

// The one entry form object of the process, or null before it is created.
extern TfrmDigitar* frmDigitar;

// Asks the system to open a web address; reports "Impossível abrir esta página: " when it fails.
void AbrirPagina(const std::string& endereco);

}  // namespace kova
