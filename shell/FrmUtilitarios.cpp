#include "FrmUtilitarios.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "Ajuda.h"
#include "Clock.h"
#include "DialogosQt.h"
#include "Dialogs.h"
#include "Janela.h"
#include "ModeloGrade.h"
#include "QtTexto.h"
#include "RestauracaoCopia.h"
#include "TDM.h"
#include "Utilitarios.h"

namespace kova {

FrmRemoverKOVA::FrmRemoverKOVA(QWidget* pai) : QDialog(pai) {
    setWindowTitle(Q("Remover KOVA impressas"));
    DefineTopicoAjuda(*this, kAjudaRemocao);
    auto* layout = new QVBoxLayout(this);
    auto* linha = new QHBoxLayout;
    linha->addWidget(new QLabel(Q("Remover KOVA impressas até o dia:")));
    dtpData = new QDateEdit;
    dtpData->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    dtpData->setCalendarPopup(true);
    const TDate ontem = Clock::Today() - std::chrono::days(1);
    dtpData->setDate(QDate(YearOf(ontem), int(MonthOf(ontem)), int(DayOf(ontem))));
    linha->addWidget(dtpData);
    layout->addLayout(linha);
    lblPrevisao = new QLabel;
    lblPrevisao->setWordWrap(true);
    layout->addWidget(lblPrevisao);
    auto preve = [this] {
        const QDate d = dtpData->date();
        lblPrevisao->setText(Q(TextoPrevisaoRemocao(
            PrevisaoRemocao(*DM, MakeDate(d.year(), unsigned(d.month()), unsigned(d.day()))))));
    };
    connect(dtpData, &QDateEdit::dateChanged, this, [preve] { Protege(preve); });
    Protege(preve);
    auto* botoes = new QHBoxLayout;
    btnRemover = new QPushButton(Q("&Remover"));
    btnRemover->setDefault(true);
    auto* btnFechar = new QPushButton(Q("Cancelar"));
    botoes->addStretch();
    botoes->addWidget(btnRemover);
    botoes->addWidget(btnFechar);
    layout->addLayout(botoes);
    connect(btnRemover, &QPushButton::clicked, this,
            [this] { Protege([this] { btnRemoverClick(); }); });
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmRemoverKOVA::btnRemoverClick() {
    btnRemover->setEnabled(false);
    TResultadoRemocao r;
    try {
        BusyCursor ampulheta;
        const QDate d = dtpData->date();
        r = RemoverKOVAImpressas(*DM, MakeDate(d.year(), unsigned(d.month()), unsigned(d.day())));
    } catch (...) {
        btnRemover->setEnabled(true);
        throw;
    }
    MessageDlg(MensagemRemocao(r), TMsgDlgType::mtInformation);
    btnRemover->setEnabled(true);
    accept();
}

FrmRestaurarCopia::FrmRestaurarCopia(TDM& dm, QWidget* pai)
    : QDialog(pai), restauracao_(std::make_unique<TRestauracaoCopia>(dm)) {
    setWindowTitle(Q("Restaurar cópia de segurança"));
    DefineTopicoAjuda(*this, kAjudaAdministracao);
    auto* layout = new QVBoxLayout(this);
    auto* explicacao =
        new QLabel(Q("O KOVA guarda uma cópia do arquivo de KOVA de cada dia em que ele mudou (as "
                     "sete mais recentes), em " +
                     PastaDasCopias(dm.DirDados) +
                     ". Escolha a cópia que deve voltar a ser o arquivo de KOVA."));
    explicacao->setWordWrap(true);
    layout->addWidget(explicacao);
    grdCopias = new QTableWidget;
    grdCopias->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCopias->setSelectionMode(QAbstractItemView::SingleSelection);
    grdCopias->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCopias->verticalHeader()->hide();
    layout->addWidget(grdCopias);
    auto* botoes = new QHBoxLayout;
    btnRestaurar = new QPushButton(Q("&Restaurar"));
    btnRestaurar->setDefault(true);
    auto* btnFechar = new QPushButton(Q("&Fechar"));
    botoes->addStretch();
    botoes->addWidget(btnRestaurar);
    botoes->addWidget(btnFechar);
    layout->addLayout(botoes);
    connect(btnRestaurar, &QPushButton::clicked, this,
            [this] { Protege([this] { btnRestaurarClick(); }); });
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::reject);
    connect(grdCopias, &QTableWidget::itemSelectionChanged, this, [this] {
        const int linha = grdCopias->currentRow();
        btnRestaurar->setEnabled(linha >= 0 && restauracao_->Restauravel(size_t(linha)));
    });
    Mostra();
    resize(640, 320);
}

FrmRestaurarCopia::~FrmRestaurarCopia() = default;

void FrmRestaurarCopia::Mostra() {
    const auto& titulos = TRestauracaoCopia::Titulos();
    const size_t copias = restauracao_->Copias().size();
    grdCopias->clear();
    grdCopias->setColumnCount(int(titulos.size()));
    grdCopias->setRowCount(int(copias));
    for (size_t c = 0; c < titulos.size(); ++c)
        grdCopias->setHorizontalHeaderItem(int(c), new QTableWidgetItem(Q(titulos[c])));
    for (size_t i = 0; i < copias; ++i) {
        const std::vector<std::string> linha = restauracao_->Linha(i);
        for (size_t c = 0; c < linha.size(); ++c) {
            auto* item = new QTableWidgetItem(Q(linha[c]));
            item->setTextAlignment(Qt::AlignVCenter |
                                   (c == 0 || c == 4 ? Qt::AlignLeft : Qt::AlignRight));
            grdCopias->setItem(int(i), int(c), item);
        }
    }
    grdCopias->horizontalHeader()->setStretchLastSection(true);
    grdCopias->resizeColumnsToContents();
    if (copias > 0) grdCopias->selectRow(0);
    const int linha = grdCopias->currentRow();
    btnRestaurar->setEnabled(linha >= 0 && restauracao_->Restauravel(size_t(linha)));
}

void FrmRestaurarCopia::btnRestaurarClick() {
    const int linha = grdCopias->currentRow();
    if (linha < 0) return;
    if (restauracao_->Restaurar(size_t(linha))) {
        accept();
    } else {
        Mostra();
    }
}

FrmConsulta::FrmConsulta(Tipo tipo, QWidget* pai) : QDialog(pai), tipo_(tipo) {
    DefineTopicoAjuda(*this, kAjudaConsultas);
    auto* layout = new QVBoxLayout(this);
    const auto centro = Qt::AlignCenter;
    const auto esquerda = Qt::AlignLeft | Qt::AlignVCenter;
    TDataSet* tabela = nullptr;
    std::vector<TColunaGrade> colunas;
    if (tipo == Tipo::UF) {
        setWindowTitle(Q("Relação de Unidades da Federação"));
        tabela = &DM->cdsUF;
        colunas = {{"UF", "UF", centro, esquerda},
                   {"Descricao", "Nome", esquerda, esquerda},
                   {"ImprimeCodigoBarras", "Imprime Código de Barras?", centro, esquerda},
                   {"ImprimeCodigoBarrasVencido", "Imprime quando vencida?", centro, esquerda}};
    } else {
        auto* linha = new QHBoxLayout;
        linha->addWidget(new QLabel(Q("UF:")));
        cbxUF = new QComboBox;
        cbxUF->setMaxVisibleItems(20);
        linha->addWidget(cbxUF);
        linha->addStretch();
        layout->addLayout(linha);
        if (tipo == Tipo::UFReceita) {
            setWindowTitle(Q("Relação de Receitas por Unidade da Federação"));
            tabela = &DM->cdsReceita;
            colunas = {{"Codigo", "Receita", centro, esquerda},
                       {"Descricao", "Descrição", esquerda, esquerda},
                       {"LayoutCodigoBarra2", "LayOut", centro, esquerda}};
            DM->cdsUF.SetFiltered(false);
            for (TBookmark b : DM->cdsUF.VisibleRecords()) {
                cbxUF->addItem(
                    Q(ValueToString(DM->cdsUF.ValueAt(b, DM->cdsUF.FieldByName("UF").Index()))));
            }
        } else {
            setWindowTitle(Q("Relação de Produtos por Unidade da Federação"));
            tabela = &DM->cdsUFProduto;
            colunas = {{"Receita", "Receita", centro, esquerda},
                       {"Descricao", "Produto", esquerda, esquerda},
                       {"Produto", "Código", centro, esquerda}};
            for (const std::string& uf : UFsDosProdutos(*DM)) cbxUF->addItem(Q(uf));
        }
    }
    modelo = new ModeloGrade(*tabela, colunas, this);
    dbgSolicitacaoKOVA = new QTableView;
    dbgSolicitacaoKOVA->setModel(modelo);
    dbgSolicitacaoKOVA->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgSolicitacaoKOVA->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgSolicitacaoKOVA->verticalHeader()->hide();
    layout->addWidget(dbgSolicitacaoKOVA);
    auto* fechar = new QPushButton(Q("&Fechar"));
    fechar->setDefault(true);
    auto* rodape = new QHBoxLayout;
    rodape->addStretch();
    rodape->addWidget(fechar);
    layout->addLayout(rodape);
    connect(fechar, &QPushButton::clicked, this, &QDialog::reject);
    if (cbxUF) {
        connect(cbxUF, &QComboBox::currentIndexChanged, this,
                [this] { Protege([this] { cbxUFChange(); }); });
        cbxUF->setCurrentIndex(0);
        cbxUFChange();
    }
    dbgSolicitacaoKOVA->resizeColumnsToContents();
    CabeNaTela(*this, QSize(720, 480));
}

FrmConsulta::~FrmConsulta() {
    if (!DM) return;
    if (tipo_ == Tipo::UFReceita) FechaConsultaReceitas(*DM);
    if (tipo_ == Tipo::UFProduto) DM->cdsUFProduto.SetFiltered(false);
}

void FrmConsulta::cbxUFChange() {
    const std::string uf = C(cbxUF->currentText());
    if (tipo_ == Tipo::UFReceita) ConsultaReceitasDaUF(*DM, uf);
    if (tipo_ == Tipo::UFProduto) ConsultaProdutosDaUF(*DM, uf);
    modelo->Atualizar();
    dbgSolicitacaoKOVA->resizeColumnsToContents();
}

}  // namespace kova
