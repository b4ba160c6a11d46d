#include "FrmImprimir.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include "Ajuda.h"
#include "DialogosQt.h"
#include "Dialogs.h"
#include "Janela.h"
#include "Navegacao.h"
#include "PintorQt.h"
#include "QtTexto.h"
#include "SaidasImpressao.h"
#include "TDM.h"

namespace kova {

bool ConfigurarImpressora(QWidget* pai) {
    TImpressoraEscolhida& escolha = ImpressoraEscolhida();
    QPrinter impressora(QPrinter::HighResolution);
    if (!escolha.impressora.empty()) {
        const QPrinterInfo info =
            QPrinterInfo::printerInfo(QString::fromStdString(escolha.impressora));
        if (!info.isNull()) impressora.setPrinterName(info.printerName());
    }
    if (!escolha.arquivoPDF.empty()) {
        impressora.setOutputFormat(QPrinter::PdfFormat);
        impressora.setOutputFileName(QString::fromStdString(escolha.arquivoPDF));
    }
    QPrintDialog dialogo(&impressora, pai);
    dialogo.setWindowTitle(Q("Configurar impressora"));
    // The dialog only chooses the printer of the next prints: its button says so, not "Imprimir".
    for (QDialogButtonBox* botoes : dialogo.findChildren<QDialogButtonBox*>()) {
        if (QPushButton* ok = botoes->button(QDialogButtonBox::Ok)) ok->setText(Q("&OK"));
    }
    if (dialogo.exec() != QDialog::Accepted) return false;
    if (impressora.outputFormat() == QPrinter::PdfFormat &&
        !impressora.outputFileName().isEmpty()) {
        escolha = {std::string(), impressora.outputFileName().toStdString()};
    } else {
        escolha = {impressora.printerName().toStdString(), std::string()};
    }
    return true;
}

namespace {

// Files in the print folder, noted once one of them is written.
class TPastaAvisada : public TSaidaPastaPDF {
public:
    TPastaAvisada(const std::string& pasta, std::string& gravada)
        : TSaidaPastaPDF(pasta), gravada_(gravada) {}
    bool Envia(const std::vector<TPagina>& paginas) override {
        TSaidaPastaPDF::Envia(paginas);
        gravada_ = Pasta();
        return true;
    }

private:
    std::string& gravada_;
};

}  // namespace

std::unique_ptr<TSaidaImpressao> TImpressaoDaMesa::Abre() {
    pastaUsada_.clear();
    const std::string pasta =
        DM->PastaImpressao.empty() ? DM->DirDados + "Impressoes/" : DM->PastaImpressao;
    auto saida = AbreSaidaDaMesa(std::string(), pasta);
    if (dynamic_cast<TSaidaPastaPDF*>(saida.get()))
        return std::make_unique<TPastaAvisada>(pasta, pastaUsada_);
    return saida;
}

void TImpressaoDaMesa::Avisa() {
    if (pastaUsada_.empty()) return;
    const std::string pasta = pastaUsada_;
    pastaUsada_.clear();
    MessageDlg("Não há impressora instalada: as KOVA foram gravadas em PDF na pasta\r\r" + pasta,
               TMsgDlgType::mtInformation);
}

QAction* AcaoComAtalho(QToolBar* barra, const char* legenda, const char* dica) {
    QAction* a = new QAction(Q(legenda), barra);
    // The button shows the caption as given, its letter underlined; Alt and that letter is the
    // action's own shortcut (the button's would not reach it from a toolbar).
    a->setIconText(a->text());
    a->setShortcut(QKeySequence::mnemonic(a->text()));
    barra->addAction(a);
    if (auto* botao = qobject_cast<QAbstractButton*>(barra->widgetForAction(a)))
        botao->setShortcut(QKeySequence());
    if (dica) a->setStatusTip(Q(dica));
    return a;
}

FrmVisualizar::FrmVisualizar(const std::vector<TPagina>& paginas, TFluxosImpressao& fluxos,
                             QWidget* pai)
    : QDialog(pai) {
    setWindowTitle(Q("Visualizar KOVA"));
    DefineTopicoAjuda(*this, kAjudaImpressao);
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
    btnImprimir = AcaoComAtalho(barra, "&Imprimir", "Imprimir esta KOVA na impressora");
    btnFechar = AcaoComAtalho(barra, "&Fechar", "Fechar a visualização desta KOVA");
    layout->addWidget(barra);
    connect(btnImprimir, &QAction::triggered, this, [this, &fluxos] {
        btnImprimir->setEnabled(false);
        Protege([&] { fluxos.Imprimir(); });
        btnImprimir->setEnabled(true);
        if (AposImprimir) AposImprimir();
    });
    connect(btnFechar, &QAction::triggered, this, &QDialog::close);
    CabeNaTela(*this, QSize(1040, 760));
}

FrmImprimir::FrmImprimir(TqrpKOVA& relatorio, QWidget* pai) : QDialog(pai), fluxos_(relatorio) {
    setWindowTitle(Q("Imprimir KOVA"));
    DefineTopicoAjuda(*this, kAjudaImpressao);
    auto* layout = new QVBoxLayout(this);
    auto* barra = new QToolBar;
    btnVisualizar = AcaoComAtalho(barra, "&Visualizar");
    btnImprimir = AcaoComAtalho(barra, "&Imprimir", "Imprimir KOVA");
    btnTodos = AcaoComAtalho(barra, "&Todos", "Imprimir todos os KOVAs não impressos");
    barra->addSeparator();
    btnConfigurar = AcaoComAtalho(barra, "&Configurar");
    barra->addSeparator();
    btnAjuda = AcaoComAtalho(barra, "&Ajuda");
    connect(btnAjuda, &QAction::triggered, this,
            [this] { Protege([this] { AbrirAjuda(kAjudaImpressao, this); }); });
    btnFechar = AcaoComAtalho(barra, "&Fechar", "Fechar");
    layout->addWidget(barra);

    modelo = new ModeloGrade(DM->cdsKOVA, ColunasDaKOVA(), this);
    dbgSolicitacaoKOVA = new QTableView;
    dbgSolicitacaoKOVA->setModel(modelo);
    dbgSolicitacaoKOVA->horizontalHeader()->setMaximumSectionSize(kLarguraMaximaColunaKOVA);
    dbgSolicitacaoKOVA->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgSolicitacaoKOVA->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgSolicitacaoKOVA->verticalHeader()->hide();
    layout->addWidget(dbgSolicitacaoKOVA);
    ckbNaoImpressos = new QCheckBox(Q("Visualizar apenas as KOVA's não impressas"));
    layout->addWidget(ckbNaoImpressos);

    connect(dbgSolicitacaoKOVA->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& atual) { Protege([&] { modelo->IrPara(atual.row()); }); });
    connect(ckbNaoImpressos, &QCheckBox::clicked, this,
            [this] { Protege([this] { ckbNaoImpressosClick(); }); });
    connect(btnVisualizar, &QAction::triggered, this,
            [this] { Protege([this] { btnVisualizarClick(); }); });
    connect(btnImprimir, &QAction::triggered, this,
            [this] { Protege([this] { btnImprimirClick(); }); });
    connect(btnTodos, &QAction::triggered, this,
            [this] { Protege([this] { btnImprimirTodosClick(); }); });
    connect(btnConfigurar, &QAction::triggered, this,
            [this] { Protege([this] { ConfigurarImpressora(this); }); });
    connect(btnFechar, &QAction::triggered, this, &QDialog::close);

    fluxos_.AbrirSaida = [this] { return saida_.Abre(); };
    fluxos_.AbrirVisualizacao = [this](const std::vector<TPagina>& paginas) {
        auto* previa = new FrmVisualizar(paginas, fluxos_, this);
        previa->AposImprimir = [this] {
            Atualizar();
            Protege([this] { saida_.Avisa(); });
        };
        previa->show();
    };

    ckbNaoImpressos->setChecked(true);
    ckbNaoImpressosClick();
    CabeNaTela(*this, QSize(1000, 520));
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
    AjustaColunas(*dbgSolicitacaoKOVA);
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
    btnImprimir->setEnabled(false);
    Protege([this] { fluxos_.Imprimir(); });
    Atualizar();
    saida_.Avisa();
}

void FrmImprimir::btnImprimirTodosClick() {
    Protege([this] { fluxos_.ImprimirTodos(); });
    Atualizar();
    saida_.Avisa();
}

}  // namespace kova
