#include "FrmDigitar.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QValidator>
#include <QWheelEvent>
#include <algorithm>
#include <cctype>

#include "Ajuda.h"
#include "CaixasDigitar.h"
#include "DialogosQt.h"
#include "Janela.h"
#include "ModeloGrade.h"
#include "Navegacao.h"
#include "PesquisaKOVA.h"
#include "QtTexto.h"
#include "TDM.h"
#include "TfrmDigitar.h"

namespace kova {
namespace {

// A list whose typed search and arrow keys only move the highlight: the choice is taken when the
// person confirms it (Enter, Tab, leaving the list, a click in its open list), so the entries
// passed on the way commit nothing.
class Lista : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void keyPressEvent(QKeyEvent* evento) override {
        const QSignalBlocker bloqueio(this);
        QComboBox::keyPressEvent(evento);
    }
    void wheelEvent(QWheelEvent* evento) override {
        const QSignalBlocker bloqueio(this);
        QComboBox::wheelEvent(evento);
    }
};

// The search box: it narrows the grid as the clerk types; the arrows move along the rows found and
// Enter takes the one highlighted; Escape empties it first.
class CaixaPesquisa : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void(int passo)> Mover;
    std::function<void()> Escolher;

protected:
    void keyPressEvent(QKeyEvent* evento) override {
        switch (evento->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
                Mover(evento->key() == Qt::Key_Up ? -1 : 1);
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                Escolher();
                return;
            case Qt::Key_Escape:
                if (!text().isEmpty()) {
                    clear();
                    return;
                }
                break;
            default:
                break;
        }
        QLineEdit::keyPressEvent(evento);
    }
};

class Maiusculas : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& texto, int&) const override {
        texto = texto.toUpper();
        return Acceptable;
    }
};

// An edit mask of a field as Qt reads it: the same layout, with required and optional digits
// swapped ('0' must be typed in a field's mask, '9' in Qt's).
QString MascaraQt(const std::string& mascara) {
    const std::string m = mascara.substr(0, mascara.find(';'));
    QString r;
    for (size_t i = 0; i < m.size(); ++i) {
        const char c = m[i];
        if (c == '!' && i == 0) continue;
        if (c == '\\' && i + 1 < m.size()) {
            r += '\\';
            r += QChar(m[++i]);
        } else {
            r += QChar(c == '0' ? '9' : c == '9' ? '0' : c);
        }
    }
    return r + ";_";
}

bool Editando(const TDataSet& t) {
    return t.State() == TDataSetState::dsEdit || t.State() == TDataSetState::dsInsert;
}

QIcon Icone(QStyle::StandardPixmap p) { return QApplication::style()->standardIcon(p); }

}  // namespace

FrmDigitar::FrmDigitar(TfrmDigitar& form, TDM& dm, QWidget* pai)
    : QDialog(pai), form_(form), dm_(dm) {
    setWindowTitle(Q("Digitação de KOVA"));
    DefineTopicoAjuda(*this, kAjudaDigitacao);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    MontaBarra(*layout);
    abas_ = new QTabWidget;
    // Each page scrolls inside the window, so the window fits a small screen.
    abas_->addTab(Rolavel("tbsKOVA", MontaPaginaKOVA()), Q("KOVA"));
    abas_->addTab(Rolavel("tbsPesquisar", MontaPesquisa()), Q("Pesquisar"));
    layout->addWidget(abas_, 1);
    connect(abas_, &QTabWidget::currentChanged, this,
            [this](int i) { form_.PaginaAtiva = NomeDe(abas_->widget(i)); });
    auto* rodape = new QHBoxLayout;
    auto* registro = new QLabel;
    QFont negrito = registro->font();
    negrito.setBold(true);
    registro->setFont(negrito);
    Registra("dbtRegistro", registro);
    rodape->addWidget(registro);
    auto* estado = new QLabel;
    estado->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Registra("lblState", estado);
    rodape->addWidget(estado, 1);
    layout->addLayout(rodape);

    // Tab order is the form's creation order, whatever the layout.
    QWidget* anterior = nullptr;
    for (const auto& c : form_.Controles.Controls()) {
        QWidget* w = Controle(c->name);
        const bool caixa = c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo ||
                           c->kind == TControlKind::ComboBox || c->name == "btnProduto";
        if (!w || !caixa) continue;
        if (anterior) setTabOrder(anterior, w);
        anterior = w;
    }

    for (const auto& c : form_.Controles.Controls()) Aplica(*c);
    form_.Controles.OnChange = [this](const TControlState& c) { Aplica(c); };
    form_.OnFechar = [this] { Fechou(); };
    form_.OnTrazerParaFrente = [this] {
        raise();
        activateWindow();
    };
    vinculo_.SetDataSet(&dm_.cdsKOVA);
    vinculo_.OnDataChange = [this](TDataSource&, TField* campo) { DadosMudaram(campo); };
    vinculo_.OnStateChange = [this](TDataSource&) { EstadoMudou(); };
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget* a, QWidget* n) { FocoMudou(a, n); });
    for (const auto& [w, nome] : nomes_) const_cast<QWidget*>(w)->installEventFilter(this);
    EstadoMudou();
    DadosMudaram(nullptr);
    // The title and the bank strip that covers it share one height (their captions are set by
    // now), so nothing below moves when the strip appears.
    const int alturaTopo =
        std::max(titulo_->sizeHint().height(), Controle("GBBancos")->sizeHint().height());
    titulo_->setFixedHeight(alturaTopo);
    Controle("GBBancos")->setFixedHeight(alturaTopo);
    // As large as the slip page whole, where the screen allows (Reabre): it scrolls only on a
    // screen too small for it.
    auto* area = static_cast<QScrollArea*>(Controle("tbsKOVA"));
    const QSize moldura = sizeHint() - area->sizeHint();
    resize((area->widget()->sizeHint() + moldura + QSize(4, 4)).expandedTo(QSize(980, 640)));
}

void FrmDigitar::Reabre() {
    // The box left when the screen last closed belongs to that showing: getting the focus back on
    // opening is no exit from it (leaving a period picker would write its period into the new
    // slip, and its refusal would take the keys the person is typing).
    controlador_.Reabre();
    CabeNaTela(*this, size());
}

FrmDigitar::~FrmDigitar() {
    // The widgets outlive this part of the window while they are destroyed: nothing of theirs may
    // call back into it.
    QObject::disconnect(qApp, nullptr, this, nullptr);
    for (QObject* o : findChildren<QObject*>()) QObject::disconnect(o, nullptr, this, nullptr);
    form_.Controles.OnChange = nullptr;
    form_.Controles.OnFocus = nullptr;
    form_.OnFechar = nullptr;
    form_.OnTrazerParaFrente = nullptr;
    vinculo_.SetDataSet(nullptr);
}

void FrmDigitar::Registra(const std::string& nome, QWidget* w) {
    widgets_[nome] = w;
    nomes_[w] = nome;
    w->setObjectName(QString::fromStdString(nome));
}

QWidget* FrmDigitar::Rolavel(const std::string& nome, QWidget* pagina) {
    auto* area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(pagina);
    // The page of the form is what its tab shows.
    nomes_.erase(pagina);
    pagina->setObjectName(QString());
    Registra(nome, area);
    return area;
}

QWidget* FrmDigitar::Controle(const std::string& nome) const {
    auto it = widgets_.find(nome);
    return it == widgets_.end() ? nullptr : it->second;
}

std::string FrmDigitar::NomeDe(QWidget* w) const {
    auto it = nomes_.find(w);
    return it == nomes_.end() ? std::string() : it->second;
}

// ------------------------------------------------------------------ building

void FrmDigitar::MontaBarra(QBoxLayout& layout) {
    auto* barra = new QToolBar;
    barra->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    barra->setIconSize(QSize(22, 22));
    // A button runs a form operation through the controller, or a step of the controller's own.
    auto botao = [&](const char* nome, QStyle::StandardPixmap icone, std::function<void()> clique) {
        auto* b = new QToolButton;
        b->setIcon(Icone(icone));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        Registra(nome, b);
        barra->addWidget(b);
        connect(b, &QToolButton::clicked, this, clique);
    };
    auto executa = [this](std::function<void()> acao) {
        return [this, acao = std::move(acao)] { Executa(acao); };
    };
    botao("btnIncluir", QStyle::SP_FileIcon, executa([this] { form_.btnIncluirClick(); }));
    botao("btnAlterar", QStyle::SP_FileDialogDetailedView,
          executa([this] { form_.btnAlterarClick(); }));
    botao("btnNovaAPartir", QStyle::SP_FileLinkIcon,
          executa([this] { form_.btnNovaAPartirClick(); }));
    botao("btnExcluir", QStyle::SP_TrashIcon, executa([this] { form_.btnExcluirClick(); }));
    barra->addSeparator();
    botao("btnSalvar", QStyle::SP_DialogSaveButton, [this] { controlador_.Salvar(); });
    botao("btnDesfazer", QStyle::SP_DialogCancelButton, [this] { controlador_.Cancelar(); });
    navegador_ = new NavegadorRegistros(dm_.cdsKOVA);
    for (QWidget* b : navegador_->findChildren<QWidget*>()) b->setFocusPolicy(Qt::NoFocus);
    Registra("dbnNavegador", navegador_);
    barra->addWidget(navegador_);
    barra->addSeparator();
    botao("btnImprimir", QStyle::SP_FileDialogContentsView,
          executa([this] { form_.btnImprimirClick(); }));
    botao("btnAjuda", QStyle::SP_DialogHelpButton,
          executa([this] { AbrirAjuda(kAjudaDigitacao, this); }));
    botao("btnFechar", QStyle::SP_DialogCloseButton, executa([this] { close(); }));
    layout.addWidget(barra);
}

QWidget* FrmDigitar::MontaPaginaKOVA() {
    auto* pagina = new QWidget;
    Registra("tbsKOVA", pagina);
    auto* layout = new QVBoxLayout(pagina);

    // The slip's name, with the accredited banks' logos over it once a state is chosen.
    auto* topo = new QGridLayout;
    auto* titulo = new QGroupBox;
    titulo_ = titulo;
    auto* tituloLayout = new QHBoxLayout(titulo);
    auto* nome = new QLabel(Q("FENNOLAR - KOVA"));
    QFont grande = nome->font();
    grande.setPointSize(grande.pointSize() + 6);
    grande.setBold(true);
    nome->setFont(grande);
    nome->setAlignment(Qt::AlignCenter);
    tituloLayout->addWidget(nome);
    topo->addWidget(titulo, 0, 0);
    auto* bancos = new QGroupBox;
    bancos->setAutoFillBackground(true);
    Registra("GBBancos", bancos);
    auto* bancosLayout = new QHBoxLayout(bancos);
    bancosLayout->setContentsMargins(4, 4, 4, 4);
    faixaBancos_ = new QScrollArea;
    faixaBancos_->setFrameShape(QFrame::NoFrame);
    faixaBancos_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    faixaBancos_->setFixedHeight(titulo->sizeHint().height());
    painelBancos_ = new QWidget;
    Registra("PanelBancos", painelBancos_);
    faixaBancos_->setWidget(painelBancos_);
    bancosLayout->addWidget(faixaBancos_);
    topo->addWidget(bancos, 0, 0);
    layout->addLayout(topo);

    // One box: its numbered caption over the widget.
    auto caixa = [&](const char* nomeCaixa, QWidget* w) {
        auto* celula = new QWidget;
        auto* v = new QVBoxLayout(celula);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(1);
        auto* rotulo = new QLabel;
        Registra(std::string("lbl") + nomeCaixa, rotulo);
        rotulo->setBuddy(w);
        v->addWidget(rotulo);
        v->addWidget(w);
        return celula;
    };
    auto edicao = [&](const char* nomeCaixa) {
        auto* e = new QLineEdit;
        Registra(nomeCaixa, e);
        return caixa(nomeCaixa, e);
    };
    auto lista = [&](const char* nomeCaixa) {
        const TListaDigitar* l = ListaDigitar(nomeCaixa);
        auto* c = new Lista;
        auto* vista = new QTableView;
        vista->setSelectionBehavior(QAbstractItemView::SelectRows);
        vista->verticalHeader()->hide();
        vista->horizontalHeader()->hide();
        vista->horizontalHeader()->setStretchLastSection(true);
        vista->setShowGrid(false);
        c->setModel(new QStandardItemModel(c));
        c->setView(vista);
        c->setMaxVisibleItems(l->linhas);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        Registra(nomeCaixa, c);
        connect(c, &QComboBox::activated, this, [this, c, l](int i) {
            controlador_.Escolheu(l->nome, C(c->itemData(i).toString()));
        });
        return caixa(nomeCaixa, c);
    };

    auto* corpo = new QHBoxLayout;
    auto* guia = new QGroupBox;
    Registra("GBGuia", guia);
    auto* g = new QGridLayout(guia);
    g->addWidget(lista("dblcUFFavorecida2"), 0, 0, 1, 2);
    g->addWidget(edicao("dbeDataVencimento"), 0, 2, 1, 2);
    g->addWidget(edicao("dbeConvenio"), 1, 0, 1, 4);
    g->addWidget(edicao("dbeRazaoSocial"), 2, 0, 1, 4);
    g->addWidget(edicao("dbeInscricaoEstadual"), 3, 0, 1, 2);
    g->addWidget(edicao("dbeEndereco"), 4, 0, 1, 4);
    g->addWidget(edicao("dbeMunicipio"), 5, 0);
    g->addWidget(lista("dblcUF"), 5, 1);
    g->addWidget(edicao("dbeCEP"), 5, 2);
    g->addWidget(edicao("dbeTelefone"), 5, 3);
    g->addWidget(edicao("dbeInformacoes"), 6, 0, 1, 4);
    auto* produto = new QWidget;
    Registra("pnlProduto", produto);
    auto* p = new QHBoxLayout(produto);
    p->setContentsMargins(0, 0, 0, 0);
    auto* rotuloProduto = new QLabel;
    Registra("lblProduto", rotuloProduto);
    p->addWidget(rotuloProduto);
    p->addWidget(lista("dblcProduto"), 1);
    auto* btnProduto = new QToolButton;
    btnProduto->setText(QStringLiteral("..."));
    btnProduto->setFocusPolicy(Qt::StrongFocus);
    Registra("btnProduto", btnProduto);
    connect(btnProduto, &QToolButton::clicked, this,
            [this] { Executa([this] { form_.btnProdutoClick(); }); });
    p->addWidget(btnProduto);
    g->addWidget(produto, 7, 0, 1, 4);
    // The authentication group fills the foot of the left-hand side, so the window stays low
    // enough for a small screen.
    auto* autenticacao = new QGroupBox;
    Registra("GBAutenticacao", autenticacao);
    autenticacao->setMinimumHeight(60);
    g->addWidget(autenticacao, 8, 0, 1, 4);
    g->setRowStretch(8, 1);
    for (int col = 0; col < 4; ++col) g->setColumnStretch(col, 1);
    corpo->addWidget(guia, 3);

    auto* direita = new QVBoxLayout;
    auto* valores = new QGroupBox;
    Registra("GBValores", valores);
    auto* v = new QVBoxLayout(valores);
    v->setSpacing(3);
    v->addWidget(lista("dblcUFFavorecida"));
    v->addWidget(lista("dblcReceita"));
    v->addWidget(edicao("dbeCICContribuinte"));
    v->addWidget(edicao("dbeDocumentoOrigem"));
    // Box 05 with its three period pickers, which cover it when shown.
    QWidget* referencia = edicao("dbeReferencia");
    auto* periodos = new QHBoxLayout;
    for (const char* nomePicker : {"cbxPeriodoDia", "cbxPeriodoMes", "cbxPeriodoAno"}) {
        auto* c = new Lista;
        Registra(nomePicker, c);
        periodos->addWidget(c, std::string(nomePicker) == "cbxPeriodoDia" ? 2 : 1);
        connect(c, &QComboBox::activated, this,
                [this, nomePicker](int i) { controlador_.EscolheuPeriodo(nomePicker, i); });
    }
    static_cast<QVBoxLayout*>(referencia->layout())->addLayout(periodos);
    v->addWidget(referencia);
    for (const char* valor : kCaixasDeValor) v->addWidget(edicao(valor));
    v->addStretch();
    direita->addWidget(valores);
    corpo->addLayout(direita, 2);
    layout->addLayout(corpo, 1);

    // What each box accepts.
    for (const auto& c : form_.Controles.Controls()) {
        auto* e = Controle<QLineEdit>(c->name);
        if (!e || c->field.empty()) continue;
        const TRegraCaixa regra = RegraDaCaixa(*c, dm_.cdsKOVA);
        if (!regra.mascara.empty()) e->setInputMask(MascaraQt(regra.mascara));
        if (regra.comprimento > 0) e->setMaxLength(regra.comprimento);
        if (regra.maiusculas) e->setValidator(new Maiusculas(this));
    }
    return pagina;
}

QWidget* FrmDigitar::MontaPesquisa() {
    auto* pagina = new QWidget;
    Registra("tbsPesquisar", pagina);
    auto* layout = new QVBoxLayout(pagina);
    auto* busca = new QHBoxLayout;
    auto* rotulo = new QLabel(Q("&Localizar:"));
    busca->addWidget(rotulo);
    auto* pesquisa = new CaixaPesquisa;
    pesquisa_ = pesquisa;
    pesquisa_->setObjectName(QStringLiteral("edtPesquisa"));
    pesquisa_->setPlaceholderText(Q("Nº da KOVA, CNPJ/CPF, nome ou UF"));
    pesquisa_->setClearButtonEnabled(true);
    rotulo->setBuddy(pesquisa_);
    busca->addWidget(pesquisa_, 1);
    layout->addLayout(busca);
    grade_ = new QTableView;
    Registra("dbgSolicitacaoKOVA", grade_);
    modeloGrade_ = new ModeloGrade(dm_.cdsKOVA, ColunasDaKOVA(), grade_);
    modeloGrade_->Linhas = [this](TDataSet&) { return PesquisaKOVA(dm_, C(pesquisa_->text())); };
    connect(pesquisa_, &QLineEdit::textChanged, this, [this] {
        // The rows found change; the current slip does not until the clerk takes one.
        {
            const TControladorDigitar::Ocupado ocupado(controlador_);
            modeloGrade_->Atualizar();
        }
        RefrescaGrade();
    });
    pesquisa->Mover = [this](int passo) {
        const int linhas = modeloGrade_->rowCount();
        if (linhas == 0) return;
        const int atual = grade_->currentIndex().isValid() ? grade_->currentIndex().row() : -1;
        const int linha = atual < 0 ? 0 : std::clamp(atual + passo, 0, linhas - 1);
        grade_->setCurrentIndex(
            modeloGrade_->index(linha, std::max(0, grade_->currentIndex().column())));
    };
    pesquisa->Escolher = [this] {
        if (modeloGrade_->rowCount() == 0) return;
        const int linha = grade_->currentIndex().isValid() ? grade_->currentIndex().row() : 0;
        Executa([this, linha] {
            modeloGrade_->IrPara(linha);
            form_.dbgSolicitacaoKOVADblClick();
        });
        RefrescaGrade();
    };
    grade_->setModel(modeloGrade_);
    grade_->horizontalHeader()->setMaximumSectionSize(kLarguraMaximaColunaKOVA);
    grade_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grade_->setSelectionMode(QAbstractItemView::SingleSelection);
    grade_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grade_->verticalHeader()->hide();
    connect(grade_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& atual) {
                if (controlador_.EstaOcupado() || !atual.isValid()) return;
                form_.ColunaGrade = atual.column();
                Executa([this, linha = atual.row()] { modeloGrade_->IrPara(linha); });
            });
    connect(grade_, &QTableView::doubleClicked, this,
            [this] { Executa([this] { form_.dbgSolicitacaoKOVADblClick(); }); });
    layout->addWidget(grade_, 1);
    auto* ordem = new QHBoxLayout;
    ordem->addWidget(new QLabel(Q("Classificar por:")));
    auto radio = [&](const char* nome, std::function<void()> acao) {
        auto* r = new QRadioButton;
        Registra(nome, r);
        ordem->addWidget(r);
        connect(r, &QRadioButton::toggled, this, [this, acao](bool marcado) {
            if (!marcado || controlador_.EstaOcupado()) return;
            acao();
            RefrescaGrade();
        });
    };
    radio("rdbKOVA", [this] { controlador_.OrdenaPorKOVA(); });
    radio("RDGCICContribuinte", [this] { controlador_.OrdenaPorContribuinte(); });
    ordem->addStretch();
    layout->addLayout(ordem);
    return pagina;
}

// ------------------------------------------------------------------ model to widgets

void FrmDigitar::Aplica(const TControlState& c) {
    if (c.parent == "PanelBancos") {
        RefrescaLogos();
        return;
    }
    QWidget* w = Controle(c.name);
    if (!w) return;
    if (c.kind == TControlKind::Tab) {
        const int i = abas_->indexOf(w);
        abas_->setTabVisible(i, c.visible);
        abas_->setTabText(i, Q(c.caption));
        return;
    }
    w->setEnabled(c.enabled);
    w->setHidden(!c.visible);
    if (!c.hint.empty()) w->setToolTip(Q(c.hint));
    if (c.name == "cbxPeriodoDia") {
        // The pickers cover box 05.
        if (QWidget* r = Controle("dbeReferencia")) r->setHidden(c.visible);
    }
    if (auto* rotulo = qobject_cast<QLabel*>(w); rotulo && c.field.empty())
        rotulo->setText(Q(c.caption));
    if (auto* grupo = qobject_cast<QGroupBox*>(w)) grupo->setTitle(Q(c.caption));
    if (auto* radio = qobject_cast<QRadioButton*>(w)) {
        radio->setText(Q(c.caption));
        const QSignalBlocker bloqueio(radio);
        radio->setChecked(c.itemIndex == 1);
    } else if (auto* botao = qobject_cast<QToolButton*>(w); botao && !c.caption.empty()) {
        botao->setText(Q(c.caption));
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const QSignalBlocker bloqueio(combo);
        if (c.kind == TControlKind::ComboBox) {
            QStringList itens;
            for (const std::string& i : c.items) itens << Q(i);
            QStringList atuais;
            for (int i = 0; i < combo->count(); ++i) atuais << combo->itemText(i);
            if (itens != atuais) {
                combo->clear();
                combo->addItems(itens);
            }
            combo->setCurrentIndex(c.itemIndex < combo->count() ? c.itemIndex : -1);
        } else if (c.kind == TControlKind::LookupCombo && c.itemIndex < 0 &&
                   combo->currentIndex() >= 0 && dm_.cdsKOVA.Active()) {
            // The form cleared the shown choice: it stays clear until the field takes another
            // value.
            combo->setCurrentIndex(-1);
            controlador_.Escolhas().Limpa(c.name, dm_.cdsKOVA.FieldByName(c.field).AsString());
        }
    }
    if (c.kind == TControlKind::Edit || c.kind == TControlKind::LookupCombo ||
        c.kind == TControlKind::ComboBox) {
        const QColor cor = QApplication::palette().color(
            c.color == TColor::Window ? QPalette::Base : QPalette::Button);
        QPalette paleta = w->palette();
        for (auto grupo : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            paleta.setColor(grupo, QPalette::Base, cor);
        }
        // A closed box still shows a slip to be read: its text stays dark (the grey of the box
        // says it cannot be typed in), not the faint text of a disabled widget.
        const QColor texto = QApplication::palette().color(QPalette::Active, QPalette::Text);
        const QColor fechado = QColor::fromRgbF(0.75f * texto.redF() + 0.25f * cor.redF(),
                                                0.75f * texto.greenF() + 0.25f * cor.greenF(),
                                                0.75f * texto.blueF() + 0.25f * cor.blueF());
        paleta.setColor(QPalette::Disabled, QPalette::Text, fechado);
        paleta.setColor(QPalette::Disabled, QPalette::ButtonText, fechado);
        w->setPalette(paleta);
    }
}

void FrmDigitar::Foca(const std::string& nome) {
    QWidget* w = Controle(nome);
    if (!w || QApplication::focusWidget() == w) return;
    {
        const TControladorDigitar::Ocupado ocupado(controlador_);
        w->setFocus(Qt::OtherFocusReason);
    }
    // While a dialog is in front the window is not told of the focus it gives: the box is where
    // the person stands all the same, and the focus coming back to it with the window is no move
    // of theirs (the box they left would be left a second time).
    if (focusWidget() == w) controlador_.Focou(nome);
    // What is typed replaces the box's text; an empty masked box is typed from its start.
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (!e->inputMask().isEmpty() &&
            !e->text().contains(QRegularExpression(QStringLiteral("[0-9A-Za-z]")))) {
            e->setCursorPosition(0);
        } else {
            e->selectAll();
        }
    }
}

void FrmDigitar::DadosMudaram(TField* campo) {
    for (const auto& c : form_.Controles.Controls()) {
        if (c->field.empty() || c->parent == "PanelBancos") continue;
        if (!campo || SameText(c->field, campo->FieldName())) RefrescaCaixa(*c);
    }
    for (const TListaDigitar& l : ListasDigitar()) RefrescaLista(l.nome);
    RefrescaLogos();
    if (!campo) {
        navegador_->Atualizar();
        RefrescaGrade();
    }
}

void FrmDigitar::EstadoMudou() {
    modeloGrade_->Atualizar();
    // Columns as wide as their titles and contents; the grid shows only outside editing.
    if (!Editando(dm_.cdsKOVA)) AjustaColunas(*grade_);
    RefrescaGrade();
    navegador_->Atualizar();
    SincronizaPagina();
}

void FrmDigitar::RefrescaCaixa(const TControlState& c) {
    QWidget* w = Controle(c.name);
    if (!w || !dm_.cdsKOVA.Active()) return;
    const TField& f = dm_.cdsKOVA.FieldByName(c.field);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        const QString texto =
            Q(Editando(dm_.cdsKOVA) || e->hasFocus() ? f.Text() : f.DisplayText());
        if (e->text() != texto) {
            e->setText(texto);
            e->setCursorPosition(0);
        }
    } else if (auto* rotulo = qobject_cast<QLabel*>(w)) {
        rotulo->setText(Q(f.DisplayText()));
    } else if (qobject_cast<QComboBox*>(w)) {
        RefrescaLista(c.name);
    }
}

void FrmDigitar::RefrescaLista(const std::string& nome) {
    const TListaDigitar* l = ListaDigitar(nome);
    auto* combo = Controle<QComboBox>(nome);
    if (!l || !combo) return;
    TDataSet& tabela = dm_.*(l->tabela);
    if (!tabela.Active()) return;
    const QSignalBlocker bloqueio(combo);
    auto* modelo = static_cast<QStandardItemModel*>(combo->model());
    // Rebuilt when its rows differ: a filter switched off and on again leaves them as they were.
    if (auto [v, nova] = visiveisListas_.try_emplace(nome);
        nova || v->second != tabela.Visiveis()) {
        v->second = tabela.Visiveis();
        modelo->clear();
        const int chave = tabela.FieldByName(l->chave).Index();
        for (TBookmark b : tabela.VisibleRecords()) {
            QList<QStandardItem*> linha;
            for (const char* coluna : l->colunas) {
                linha << new QStandardItem(
                    Q(tabela.DisplayTextAt(b, tabela.FieldByName(coluna).Index())));
            }
            linha.front()->setData(Q(ValueToString(tabela.ValueAt(b, chave))), Qt::UserRole);
            modelo->appendRow(linha);
        }
        auto* vista = static_cast<QTableView*>(combo->view());
        vista->resizeColumnsToContents();
        vista->setMinimumWidth(vista->horizontalHeader()->length() + 24);
    }
    TControlState& c = form_.Controles.Get(nome);
    const std::string atual =
        dm_.cdsKOVA.Active() ? dm_.cdsKOVA.FieldByName(c.field).AsString() : std::string();
    combo->setCurrentIndex(
        controlador_.Escolhas().Mostra(nome, atual) ? combo->findData(Q(atual), Qt::UserRole) : -1);
    // The model knows the shown choice, so that the form clearing it is told apart.
    c.itemIndex = combo->currentIndex();
}

void FrmDigitar::RefrescaLogos() {
    std::string assinatura;
    std::vector<const TControlState*> logos;
    for (const auto& c : form_.Controles.Controls()) {
        if (c->parent != "PanelBancos") continue;
        logos.push_back(c.get());
        assinatura += c->name + "=" + c->caption + ";";
    }
    if (assinatura == logosMostrados_) return;
    logosMostrados_ = assinatura;
    qDeleteAll(painelBancos_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly));
    TDataSet& bancos = dm_.cdsBanco;
    int altura = 1;
    if (bancos.Active()) {
        const int id = bancos.FieldByName("ID").Index();
        const int logo = bancos.FieldByName("LogoTipo").Index();
        for (const TControlState* c : logos) {
            for (TBookmark b : bancos.VisibleRecords()) {
                if (ValueToString(bancos.ValueAt(b, id)) != c->caption) continue;
                const auto* bytes = std::get_if<TBytes>(&bancos.ValueAt(b, logo));
                if (!bytes) break;
                QImage imagem = QImage::fromData(bytes->data(), int(bytes->size()), "BMP");
                auto* rotulo = new QLabel(painelBancos_);
                rotulo->setPixmap(QPixmap::fromImage(imagem));
                rotulo->setToolTip(Q(c->hint));
                rotulo->setGeometry(c->left, 0, imagem.width(), imagem.height());
                rotulo->show();
                altura = std::max(altura, imagem.height());
                break;
            }
        }
    }
    const TControlState* painel = form_.Controles.Find("PanelBancos");
    painelBancos_->setFixedSize(std::max(1, painel ? painel->width : 1), altura);
}

void FrmDigitar::RefrescaGrade() {
    if (!dm_.cdsKOVA.Active()) return;
    // A search shows some of the slips: its rows are read again only when the slips change.
    const bool pesquisando = !pesquisa_->text().trimmed().isEmpty();
    if (pesquisando ? !modeloGrade_->Atual()
                    : modeloGrade_->rowCount() != dm_.cdsKOVA.RecordCount() ||
                          modeloGrade_->LinhaAtual() < 0) {
        modeloGrade_->Atualizar();
        AjustaColunas(*grade_);
    }
    grade_->viewport()->update();
    const TControladorDigitar::Ocupado ocupado(controlador_);
    const int l = modeloGrade_->LinhaAtual();
    if (l >= 0) {
        grade_->setCurrentIndex(modeloGrade_->index(
            l, std::clamp(form_.ColunaGrade, 0, TfrmDigitar::kColunasGrade - 1)));
    }
}

void FrmDigitar::SincronizaPagina() {
    QWidget* pagina = Controle(form_.PaginaAtiva);
    if (pagina && abas_->currentWidget() != pagina) {
        const QSignalBlocker bloqueio(abas_);
        abas_->setCurrentWidget(pagina);
    }
}

// ------------------------------------------------------------------ the person to the form

void FrmDigitar::Executa(const std::function<void()>& acao) { controlador_.Executa(acao); }

void FrmDigitar::FocoMudou(QWidget* antigo, QWidget* novo) {
    // Only moves inside this window are the person's: activating another window is no exit.
    if (!novo || novo->window() != this) return;
    const bool deFora = !antigo || antigo->window() != this;
    controlador_.FocoMudou(deFora ? std::string() : NomeDe(antigo), NomeDe(novo), deFora);
}

// ------------------------------------------------------------------ what the controller asks

std::string FrmDigitar::Texto(const std::string& caixa) const {
    auto* e = Controle<QLineEdit>(caixa);
    return e ? C(e->text()) : std::string();
}

void FrmDigitar::MostraTexto(const std::string& caixa, const std::string& texto) {
    if (auto* e = Controle<QLineEdit>(caixa)) e->setText(Q(texto));
}

void FrmDigitar::SelecionaTudo(const std::string& caixa) {
    if (auto* e = Controle<QLineEdit>(caixa)) e->selectAll();
}

int FrmDigitar::Indice(const std::string& lista) const {
    auto* c = Controle<QComboBox>(lista);
    return c ? c->currentIndex() : -1;
}

std::string FrmDigitar::Chave(const std::string& lista) const {
    auto* c = Controle<QComboBox>(lista);
    if (!c || c->currentIndex() < 0) return std::string();
    return C(c->itemData(c->currentIndex()).toString());
}

bool FrmDigitar::Aberta(const std::string& caixa) const {
    QWidget* w = Controle(caixa);
    return w && w->isEnabled() && w->isVisible();
}

std::string FrmDigitar::CaixaComFoco() const { return NomeDe(QApplication::focusWidget()); }

bool FrmDigitar::Visivel() const { return isVisible(); }

bool FrmDigitar::eventFilter(QObject* objeto, QEvent* evento) {
    if (evento->type() != QEvent::KeyPress) return QDialog::eventFilter(objeto, evento);
    auto* w = qobject_cast<QWidget*>(objeto);
    const std::string nome = NomeDe(w);
    if (nome.empty()) return QDialog::eventFilter(objeto, evento);
    auto* tecla = static_cast<QKeyEvent*>(evento);
    const bool enter = tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter;
    if (enter && w == grade_) {
        controlador_.EnterNaGrade();
        RefrescaGrade();
        return true;
    }
    TTeclaDigitar t = TTeclaDigitar::Outra;
    if (enter) t = TTeclaDigitar::Enter;
    if (tecla->key() == Qt::Key_Tab && tecla->modifiers() == Qt::NoModifier) t = TTeclaDigitar::Tab;
    if (tecla->key() == Qt::Key_Down && (tecla->modifiers() & Qt::AltModifier))
        t = TTeclaDigitar::AltBaixo;
    const QString texto = tecla->text();
    const char c = texto.size() == 1 && texto[0].unicode() < 128 ? char(texto[0].unicode()) : '\0';
    if (w != grade_ && controlador_.Tecla(nome, t, c)) return true;
    return QDialog::eventFilter(objeto, evento);
}

// ------------------------------------------------------------------ showing and closing

void FrmDigitar::IniciarNovaKOVA() {
    if (!isVisible()) Reabre();
    show();
    raise();
    activateWindow();
    Executa([this] { form_.IniciarNovaKOVA(); });
}

void FrmDigitar::AbrirPesquisa() {
    if (!isVisible()) Reabre();
    show();
    raise();
    activateWindow();
    Executa([this] { form_.AbrirPesquisa(); });
    // The clerk types what they look for at once.
    if (abas_->currentWidget() == Controle("tbsPesquisar")) {
        pesquisa_->setFocus(Qt::OtherFocusReason);
        pesquisa_->selectAll();
    }
}

void FrmDigitar::ExibirModal() {
    if (form_.TimerAtivo) {
        QTimer::singleShot(500, this, [this] {
            if (form_.TimerAtivo) form_.TimerTimer();
        });
    }
    SincronizaPagina();
    DadosMudaram(nullptr);
    Reabre();
    // The box the form chose has the focus as the window appears: keys typed at once go into it.
    Foca(form_.Controles.Focused());
    QTimer::singleShot(0, this, [this] { Foca(form_.Controles.Focused()); });
    exec();
}

void FrmDigitar::Fechou() {
    const TControladorDigitar::Ocupado ocupado(controlador_);
    done(QDialog::Accepted);
}

void FrmDigitar::reject() { controlador_.Cancelar(); }

void FrmDigitar::closeEvent(QCloseEvent* evento) {
    if (controlador_.Fechar()) {
        evento->accept();
    } else {
        evento->ignore();
    }
}

}  // namespace kova
