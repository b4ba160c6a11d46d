#include "FrmImprimir.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include "DialogosQt.h"
#include "Navegacao.h"
#include "PintorQt.h"
#include "QtTexto.h"
#include "TDM.h"

namespace kova {

void EnviaParaImpressora(const std::vector<TPagina>& paginas, QPrinter& impressora) {
    ImprimePaginas(paginas, impressora);
}

FrmVisualizar::FrmVisualizar(const std::vector<TPagina>& paginas, TFluxosImpressao& fluxos, QWidget* pai)
    : QDialog(pai) {
    setWindowTitle(Q("Visualizar KOVA"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* area = new QScrollArea;
    auto* folhas = new QWidget;
    auto* lista = new QVBoxLayout(folhas);
    // 120 % of the paper: 96 dots an inch on screen, times 1.2.
    for (const TPagina& p : paginas) {
        auto* folha = new QLabel;
        folha->setPixmap(QPixmap::fromImage(ImagemDaPagina(p, 96 * 1.2)));
        lista->addWidget(folha);
    }
    area->setWidget(folhas);
    layout->addWidget(area);
    auto* barra = new QToolBar;
    QAction* imprimir = barra->addAction(Q("&Imprimir"));
    imprimir->setStatusTip(Q("Imprimir esta KOVA na impressora"));
    QAction* fechar = barra->addAction(Q("&Fechar"));
    fechar->setStatusTip(Q("Fechar a visualização desta KOVA"));
    layout->addWidget(barra);
    connect(imprimir, &QAction::triggered, this, [imprimir, &fluxos] {
        imprimir->setEnabled(false);
        Protege([&] { fluxos.Imprimir(); });
        imprimir->setEnabled(true);
    });
    connect(fechar, &QAction::triggered, this, &QDialog::close);
    resize(1040, 760);
}

FrmImprimir::FrmImprimir(TqrpKOVA& relatorio, QWidget* pai) : QDialog(pai), fluxos_(relatorio) {
    setWindowTitle(Q("Imprimir KOVA"));
    auto* layout = new QVBoxLayout(this);
    auto* barra = new QToolBar;
    btnVisualizar = barra->addAction(Q("&Visualizar"));
    btnImprimir = barra->addAction(Q("&Imprimir"));
    btnImprimir->setStatusTip(Q("Imprimir KOVA"));
    btnTodos = barra->addAction(Q("&Todos"));
    btnTodos->setStatusTip(Q("Imprimir todos os KOVAs não impressos"));
    barra->addSeparator();
    QAction* configurar = barra->addAction(Q("&Configurar"));
    barra->addSeparator();
    QAction* ajuda = barra->addAction(Q("&Ajuda"));
    connect(ajuda, &QAction::triggered, this, [] { Protege([] { AbrirAjuda(27); }); });
    QAction* fechar = barra->addAction(Q("&Fechar"));
    fechar->setStatusTip(Q("Fechar"));
    layout->addWidget(barra);

    modelo = new ModeloGrade(DM->cdsKOVA, ColunasDaKOVA(), this);
    dbgSolicitacaoKOVA = new QTableView;
    dbgSolicitacaoKOVA->setModel(modelo);
    dbgSolicitacaoKOVA->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgSolicitacaoKOVA->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgSolicitacaoKOVA->verticalHeader()->hide();
    layout->addWidget(dbgSolicitacaoKOVA);
    ckbNaoImpressos = new QCheckBox(Q("Visualizar apenas as KOVA's não impressas"));
    layout->addWidget(ckbNaoImpressos);

    connect(dbgSolicitacaoKOVA->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& atual) { Protege([&] { modelo->IrPara(atual.row()); }); });
    connect(ckbNaoImpressos, &QCheckBox::clicked, this, [this] { Protege([this] { ckbNaoImpressosClick(); }); });
    connect(btnVisualizar, &QAction::triggered, this, [this] { Protege([this] { btnVisualizarClick(); }); });
    connect(btnImprimir, &QAction::triggered, this, [this] { Protege([this] { btnImprimirClick(); }); });
    connect(btnTodos, &QAction::triggered, this, [this] { Protege([this] { btnImprimirTodosClick(); }); });
    connect(configurar, &QAction::triggered, this, [this] {
        if (!impressora_) impressora_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPrintDialog(impressora_.get(), this).exec();
    });
    connect(fechar, &QAction::triggered, this, &QDialog::close);

    EscolherImpressora = [this] {
        if (!impressora_) impressora_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPrintDialog dialogo(impressora_.get(), this);
        return dialogo.exec() == QDialog::Accepted;
    };
    fluxos_.EnviarImpressora = [this](const std::vector<TPagina>& paginas) { EnviaParaImpressora(paginas, *impressora_); };
    fluxos_.AbrirVisualizacao = [this](const std::vector<TPagina>& paginas) {
        (new FrmVisualizar(paginas, fluxos_, this))->show();
    };

    ckbNaoImpressos->setChecked(true);
    ckbNaoImpressosClick();
    resize(1000, 520);
}

FrmImprimir::~FrmImprimir() {
    // The list leaves the slips table as it found it: unfiltered.
    if (DM && DM->cdsKOVA.Active()) DM->cdsKOVA.SetFiltered(false);
}

void FrmImprimir::Atualizar() {
    modelo->Atualizar();
    const bool tem = modelo->rowCount() > 0;
    btnVisualizar->setEnabled(tem);
    btnImprimir->setEnabled(tem);
    btnTodos->setEnabled(tem);
    dbgSolicitacaoKOVA->resizeColumnsToContents();
    const int linha = modelo->LinhaAtual();
    if (linha >= 0) dbgSolicitacaoKOVA->selectRow(linha);
}

void FrmImprimir::ckbNaoImpressosClick() {
    DM->cdsKOVA.SetFiltered(ckbNaoImpressos->isChecked());
    Atualizar();
}

void FrmImprimir::btnVisualizarClick() {
    btnVisualizar->setEnabled(false);
    Protege([this] { fluxos_.Visualizar(); });
    Atualizar();
}

void FrmImprimir::btnImprimirClick() {
    if (!EscolherImpressora()) return;
    btnImprimir->setEnabled(false);
    Protege([this] { fluxos_.Imprimir(); });
    Atualizar();
}

void FrmImprimir::btnImprimirTodosClick() {
    if (!EscolherImpressora()) return;
    Protege([this] { fluxos_.ImprimirTodos(); });
    Atualizar();
}

}  // namespace kova
