#include "ControladorDigitar.h"

#include <algorithm>
#include <cctype>

#include "Dialogs.h"
#include "Errors.h"
#include "TDM.h"
#include "TfrmDigitar.h"

namespace kova {

void Protege(const std::function<void()>& acao) {
    try {
        acao();
    } catch (const EAbort&) {
        // A silent abort: the user has been told already, or nothing needs telling.
    } catch (const std::exception& e) {
        kova::MessageDlg(e.what(), TMsgDlgType::mtError);
    }
}

TControladorDigitar::TControladorDigitar(TfrmDigitar& form, TDM& dm, IVistaDigitar& vista)
    : form_(form), dm_(dm), vista_(vista) {
    form_.Controles.OnFocus = [this](const std::string& nome) {
        ++focosDoForm_;
        vista_.Foca(nome);
    };
}

TControladorDigitar::~TControladorDigitar() { form_.Controles.OnFocus = nullptr; }

bool TControladorDigitar::Editando() const {
    const TDataSetState s = dm_.cdsKOVA.State();
    return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert;
}

void TControladorDigitar::Executa(const std::function<void()>& acao) {
    {
        const Ocupado ocupado(*this);
        Protege(acao);
    }
    vista_.SincronizaPagina();
    if (ocupado_ > 0 || !vista_.Visivel()) return;
    SegueFocoDoForm();
}

void TControladorDigitar::SegueFocoDoForm() {
    // The focus the form chose, unless the person's own move already put it there.
    const std::string& foco = form_.Controles.Focused();
    if (!foco.empty() && vista_.Aberta(foco) && vista_.CaixaComFoco() != foco) vista_.Foca(foco);
}

void TControladorDigitar::FocoMudou(const std::string& saiu, const std::string& entrou,
                                    bool deFora) {
    const std::string anterior = caixaAtual_;
    if (!entrou.empty()) caixaAtual_ = entrou;
    if (ocupado_ > 0) return;
    // The focus given back by a dialog or another window to the box it left is no move of the
    // person: neither the box's exit nor its entry runs again (a notice shown on entry would come
    // back after every OK).
    if (deFora && entrou == anterior) return;
    const std::string deixada = deFora ? anterior : saiu;
    {
        const Ocupado ocupado(*this);
        if (!deixada.empty()) Protege([&] { Saida(deixada); });
    }
    if (entrou.empty() || vista_.CaixaComFoco() != entrou) return;
    {
        const Ocupado ocupado(*this);
        form_.Controles.SetFocus(entrou);
        Protege([&] { Entrada(entrou); });
    }
    vista_.SincronizaPagina();
    SegueFocoDoForm();
}

bool TControladorDigitar::Tecla(const std::string& caixa, TTeclaDigitar tecla, char caractere) {
    // Enter, like Tab, leaves the box first (its field written, its exit run) and then moves to the
    // next box that is open after that: leaving a box may open the ones after it.
    if (tecla == TTeclaDigitar::Enter || tecla == TTeclaDigitar::Tab) {
        ProximaCaixa(caixa);
        return true;
    }
    if (tecla == TTeclaDigitar::AltBaixo && caixa == "btnProduto") {
        Executa([this] { form_.btnProdutoClick(); });
        return true;
    }
    if (caractere != '\0' && static_cast<unsigned char>(caractere) < 128) {
        const TFiltroTecla filtro = FiltroDeTeclas(caixa);
        if (filtro && filtro(caractere) == '\0') return true;
    }
    return false;
}

void TControladorDigitar::EnterNaGrade() { form_.TeclaEnter(); }

void TControladorDigitar::Escolheu(const std::string& lista, const std::string& chave) {
    Executa([this, &lista, &chave] {
        if (!Editando()) return;
        const TControlState* s = form_.Controles.Find(lista);
        if (s && !s->field.empty()) dm_.cdsKOVA.FieldByName(s->field).SetAsString(chave);
    });
}

void TControladorDigitar::EscolheuPeriodo(const std::string& picker, int indice) {
    Executa([this, &picker, indice] {
        form_.Controles.SetItemIndex(picker, indice);
        form_.cbxPeriodoDiaChange();
    });
}

void TControladorDigitar::OrdenaPorKOVA() {
    Executa([this] {
        form_.Controles.Get("rdbKOVA").itemIndex = 1;
        form_.Controles.Get("RDGCICContribuinte").itemIndex = 0;
        form_.rdbKOVAClick();
    });
}

void TControladorDigitar::OrdenaPorContribuinte() {
    Executa([this] {
        form_.Controles.Get("rdbKOVA").itemIndex = 0;
        form_.Controles.Get("RDGCICContribuinte").itemIndex = 1;
        form_.RDGCICContribuinteClick();
    });
}

void TControladorDigitar::Salvar() {
    Executa([this] {
        if (GravaCaixas()) form_.btnSalvarClick();
    });
}

void TControladorDigitar::Cancelar() {
    Executa([this] { form_.btnDesfazerClick(); });
}

bool TControladorDigitar::Fechar() {
    if (!form_.Visivel) return true;
    bool fechou = false;
    Executa([this, &fechou] {
        if (GravaCaixas()) fechou = form_.Fechar();
    });
    return fechou;
}

void TControladorDigitar::ProximaCaixa(const std::string& nome) {
    std::string destino;
    bool moveu = false;
    {
        const Ocupado ocupado(*this);
        form_.Controles.SetFocus(nome);
        const int focos = focosDoForm_;
        bool gravou = true;
        Protege([&] { gravou = Saida(nome); });
        if (!gravou) {
            // A refused text: the person stays in the box, which shows its field again.
            vista_.Foca(nome);
            return;
        }
        // The form may have placed the focus itself (a refused field, the boxes opened by a due
        // date).
        moveu = focosDoForm_ != focos;
        if (!moveu) Protege([this] { form_.TeclaEnter(); });
    }
    vista_.SincronizaPagina();
    destino = form_.Controles.Focused();
    vista_.Foca(destino);
    if (!moveu && destino != nome) {
        {
            const Ocupado ocupado(*this);
            Protege([&] { Entrada(destino); });
        }
        vista_.Foca(form_.Controles.Focused());
    }
}

bool TControladorDigitar::Saida(const std::string& nome) {
    if (!ConfereCaixa(nome) || !GravaCaixa(nome)) return false;
    if (nome == "dblcUFFavorecida") form_.dblcUFFavorecidaExit();
    if (nome == "dblcReceita") form_.dblcReceitaExit();
    if (nome == "dbeDataVencimento") form_.dbeDataVencimentoExit();
    // Leaving a period picker writes the period of a new slip even when nothing was chosen.
    if (nome.rfind("cbxPeriodo", 0) == 0 && dm_.cdsKOVA.State() == TDataSetState::dsInsert &&
        form_.Controles.Get(nome).enabled) {
        form_.cbxPeriodoDiaChange();
    }
    return true;
}

bool TControladorDigitar::ConfereCaixa(const std::string& nome) {
    if (nome != "dbeDataVencimento" || !Editando() || !vista_.Aberta(nome)) return true;
    if (form_.ConfirmaVencimento(vista_.Texto(nome))) return true;
    // The date is typed again over the one shown.
    vista_.SelecionaTudo(nome);
    return false;
}

bool TControladorDigitar::GravaCaixas() {
    // The box with the focus first, as leaving it would; then any picker whose shown period was
    // changed without being confirmed (the wheel over it).
    const std::string foco = vista_.CaixaComFoco();
    if (!foco.empty() && (!ConfereCaixa(foco) || !GravaCaixa(foco))) return false;
    for (const char* picker : {"cbxPeriodoDia", "cbxPeriodoMes", "cbxPeriodoAno"}) {
        if (picker != foco) GravaCaixa(picker);
    }
    return true;
}

void TControladorDigitar::Entrada(const std::string& nome) {
    // An entry handler never runs inside itself: a notice it shows cannot bring itself back.
    if (entrando_) return;
    entrando_ = true;
    struct Fim {
        bool& b;
        ~Fim() { b = false; }
    } fim{entrando_};
    if (nome == "dbeReferencia") form_.dbeReferenciaEnter();
    if (nome == "dbeDocumentoOrigem") form_.dbeDocumentoOrigemEnter();
    if (nome == "dblcProduto") form_.dblcProdutoEnter();
}

bool TControladorDigitar::GravaCaixa(const std::string& nome) {
    const TControlState* c = form_.Controles.Find(nome);
    if (!c || !Editando()) return true;
    if (c->kind == TControlKind::ComboBox && nome.rfind("cbxPeriodo", 0) == 0) {
        // The period shown is the period taken; a stored period is rewritten only by a choice the
        // person made.
        const int i = vista_.Indice(nome);
        if (vista_.Aberta(nome) && i != c->itemIndex) {
            form_.Controles.SetItemIndex(nome, i);
            form_.cbxPeriodoDiaChange();
        }
        return true;
    }
    if (c->field.empty() || !vista_.Aberta(nome)) return true;
    TField& campo = dm_.cdsKOVA.FieldByName(c->field);
    if (c->kind == TControlKind::LookupCombo) {
        // The highlighted entry becomes the choice when the person confirms it.
        const std::string chave = vista_.Chave(nome);
        if (!chave.empty() && chave != campo.AsString()) campo.SetAsString(chave);
        return true;
    }
    if (c->kind != TControlKind::Edit) return true;
    std::string texto = vista_.Texto(nome);
    // A masked box left blank holds only the mask's separators.
    if (!campo.EditMask().empty() && std::none_of(texto.begin(), texto.end(), [](unsigned char ch) {
            return std::isalnum(ch);
        })) {
        texto.clear();
    }
    if (!MascaraCompleta(campo.EditMask(), texto)) {
        // A box its mask says is not filled (a CEP short of a digit) is not written half.
        const TControlState* rotulo = form_.Controles.Find("lbl" + nome);
        MessageDlg("A caixa \"" + (rotulo ? rotulo->caption : nome) +
                       "\" está incompleta: digite todos os seus caracteres.",
                   TMsgDlgType::mtError);
        vista_.Foca(nome);
        vista_.SelecionaTudo(nome);
        return false;
    }
    if (texto != campo.Text()) {
        try {
            campo.SetText(texto);
        } catch (const std::exception& e) {
            // A text the field cannot take (a negative amount, a date that does not exist): the
            // field keeps its value, and the box shows that value again for the person to retype.
            MessageDlg(e.what(), TMsgDlgType::mtError);
            vista_.MostraTexto(nome, campo.Text());
            vista_.Foca(nome);
            vista_.SelecionaTudo(nome);
            return false;
        }
    }
    // The box shows what the field holds (an amount rounded, a text cut to its size).
    const std::string mostrado = vista_.Texto(nome);
    if (mostrado != campo.Text() && !(texto.empty() && campo.Text().empty()))
        vista_.MostraTexto(nome, campo.Text());
    return true;
}

}  // namespace kova
