#include "DialogosQt.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTranslator>
#include <QVBoxLayout>
#include <algorithm>

#include "DialogosDigitar.h"
#include "Errors.h"
#include "ModeloGrade.h"
#include "QtTexto.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TfrmDigitar.h"

namespace kova {

TraducaoQt::TraducaoQt() : tradutor_(std::make_unique<QTranslator>()) {
    carregada_ =
        tradutor_->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (carregada_) carregada_ = QCoreApplication::installTranslator(tradutor_.get());
}

TraducaoQt::~TraducaoQt() {
    if (carregada_ && QCoreApplication::instance())
        QCoreApplication::removeTranslator(tradutor_.get());
}

TModalResult DialogosQt::MessageDlg(const std::string& text, TMsgDlgType kind,
                                    TMsgDlgButtons buttons) {
    const TFormaMensagem forma = FormaDaMensagem(kind, buttons);
    QMessageBox caixa(QApplication::activeWindow());
    caixa.setWindowTitle(Q(forma.titulo));
    std::string texto = text;
    for (char& c : texto) {
        if (c == '\r') c = '\n';
    }
    caixa.setText(Q(texto));
    caixa.setIcon(kind == TMsgDlgType::mtError          ? QMessageBox::Critical
                  : kind == TMsgDlgType::mtWarning      ? QMessageBox::Warning
                  : kind == TMsgDlgType::mtConfirmation ? QMessageBox::Question
                                                        : QMessageBox::Information);
    std::vector<std::pair<QAbstractButton*, TModalResult>> botoes;
    for (const TModalResult b : forma.botoes) {
        QPushButton* botao =
            b == TModalResult::mrOk    ? caixa.addButton(QMessageBox::Ok)
            : b == TModalResult::mrYes ? caixa.addButton(Q("&Sim"), QMessageBox::YesRole)
            : b == TModalResult::mrNo  ? caixa.addButton(Q("&Não"), QMessageBox::NoRole)
                                       : caixa.addButton(Q("&Cancelar"), QMessageBox::RejectRole);
        if (forma.botoes.size() > 1 && b == forma.padrao) caixa.setDefaultButton(botao);
        botoes.emplace_back(botao, b);
    }
    caixa.exec();
    for (const auto& [botao, resposta] : botoes) {
        if (caixa.clickedButton() == botao) return resposta;
    }
    return forma.semEscolha;
}

namespace {

// The product and sub-code pickers: a grid over the table, its chosen row the table's current
// record; Enter or a double click confirms.
bool EscolheNaGrade(const TPedidoDialogo& pedido, std::vector<TColunaGrade> colunas) {
    TDataSet& tabela = *pedido.fonte->DataSet();
    QDialog dialogo(QApplication::activeWindow());
    dialogo.setWindowTitle(Q(pedido.titulo));
    auto* layout = new QVBoxLayout(&dialogo);
    auto* grade = new QTableView;
    auto* modelo = new ModeloGrade(tabela, std::move(colunas), grade);
    grade->setModel(modelo);
    grade->setSelectionBehavior(QAbstractItemView::SelectRows);
    grade->setSelectionMode(QAbstractItemView::SingleSelection);
    grade->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grade->verticalHeader()->hide();
    // The description (first column) as wide as its longest text; it takes any room left over.
    grade->resizeColumnsToContents();
    grade->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    if (modelo->LinhaAtual() >= 0) grade->selectRow(modelo->LinhaAtual());
    layout->addWidget(grade);
    auto* botoes = new QDialogButtonBox;
    QPushButton* selecionar = botoes->addButton(Q("&Selecionar"), QDialogButtonBox::AcceptRole);
    botoes->addButton(Q("&Fechar"), QDialogButtonBox::RejectRole);
    selecionar->setDefault(true);
    layout->addWidget(botoes);
    QObject::connect(botoes, &QDialogButtonBox::accepted, &dialogo, &QDialog::accept);
    QObject::connect(botoes, &QDialogButtonBox::rejected, &dialogo, &QDialog::reject);
    QObject::connect(grade, &QTableView::doubleClicked, &dialogo, &QDialog::accept);
    grade->setFocus();
    int largura = grade->frameWidth() * 2 + grade->verticalScrollBar()->sizeHint().width() + 40;
    for (int c = 0; c < modelo->columnCount(); ++c) largura += grade->columnWidth(c);
    const QRect livre =
        dialogo.screen() ? dialogo.screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    dialogo.resize(std::clamp(largura, 520, std::max(520, livre.width() - 40)), 360);
    if (dialogo.exec() != QDialog::Accepted) return false;
    const QModelIndexList linhas = grade->selectionModel()->selectedRows();
    if (!linhas.isEmpty()) modelo->IrPara(linhas.front().row());
    return true;
}

// The payment-date dialog: its box is bound to the slip's payment date, so a complete date is
// written at once (and checked there); Enter in the box confirms.
bool DataPagamento(const TPedidoDialogo& pedido) {
    TField& campo = pedido.fonte->DataSet()->FieldByName("DataPagamento");
    QDialog dialogo(QApplication::activeWindow());
    dialogo.setWindowTitle(Q(pedido.titulo));
    auto* layout = new QVBoxLayout(&dialogo);
    auto* linha = new QHBoxLayout;
    linha->addWidget(new QLabel(Q(pedido.texto)));
    auto* data = new QLineEdit;
    data->setObjectName(QStringLiteral("dbeDataPagamento"));
    data->setInputMask(QStringLiteral("99/99/9999;_"));
    data->setText(Q(campo.Text()));
    linha->addWidget(data);
    layout->addLayout(linha);
    auto* botoes = new QDialogButtonBox;
    QPushButton* ok = botoes->addButton(Q("&Ok"), QDialogButtonBox::AcceptRole);
    botoes->addButton(Q("&Cancelar"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    layout->addWidget(botoes);
    // A date is written once it is one: the days and months passed through while a date is typed
    // over another ("00/12/2026") are no date, and are told only if the person confirms them.
    auto grava = [&campo, data] {
        const std::string texto = C(data->text());
        TDate d;
        if (!data->hasAcceptableInput() || texto == campo.Text() || !TryStrToDate(texto, d)) return;
        Protege([&] { campo.SetText(texto); });
    };
    QObject::connect(data, &QLineEdit::textEdited, &dialogo, grava);
    QObject::connect(botoes, &QDialogButtonBox::accepted, &dialogo, [&] {
        const std::string texto = C(data->text());
        TDate d;
        if (data->hasAcceptableInput() && !TryStrToDate(texto, d)) {
            kova::MessageDlg("'" + texto + "' não é uma data válida", TMsgDlgType::mtError);
            data->setFocus();
            data->selectAll();
            return;
        }
        grava();
        dialogo.accept();
    });
    QObject::connect(botoes, &QDialogButtonBox::rejected, &dialogo, &QDialog::reject);
    data->setFocus();
    // What is typed replaces the date proposed.
    data->selectAll();
    return dialogo.exec() == QDialog::Accepted;
}

// The notice of a state that issues its slips in a program of its own, with the page's address
// as a link.
void MsgLink(const TPedidoDialogo& pedido) {
    QDialog dialogo(QApplication::activeWindow());
    dialogo.setWindowTitle(Q(pedido.titulo));
    auto* layout = new QVBoxLayout(&dialogo);
    auto* corpo = new QHBoxLayout;
    auto* figura = new QLabel;
    figura->setPixmap(
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(40, 40));
    figura->setAlignment(Qt::AlignTop);
    corpo->addWidget(figura);
    std::string texto = pedido.texto;
    texto.erase(std::remove(texto.begin(), texto.end(), '\r'), texto.end());
    auto* rotulo = new QLabel(Q(texto));
    rotulo->setWordWrap(true);
    corpo->addWidget(rotulo, 1);
    layout->addLayout(corpo);
    auto* link = new QLabel(Q(pedido.link));
    link->setObjectName(QStringLiteral("lblLink"));
    link->setAlignment(Qt::AlignCenter);
    link->setStyleSheet(QStringLiteral("color: navy; text-decoration: underline;"));
    link->setCursor(Qt::PointingHandCursor);
    layout->addWidget(link);
    auto* botoes = new QDialogButtonBox;
    QPushButton* ok = botoes->addButton(Q("Ok"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    layout->addWidget(botoes);
    QObject::connect(botoes, &QDialogButtonBox::accepted, &dialogo, &QDialog::accept);
    // A click on the link opens the page; the dialog stays.
    struct Clique : QObject {
        std::string endereco;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonRelease) Protege([this] { AbrirPagina(endereco); });
            return false;
        }
    } clique;
    clique.endereco = pedido.link;
    link->installEventFilter(&clique);
    dialogo.resize(440, dialogo.sizeHint().height());
    dialogo.exec();
}

}  // namespace

bool DialogosQt::Executar(const TPedidoDialogo& pedido) {
    const TDialogoDigitar d = DialogoDigitar(pedido);
    switch (d.forma) {
        case TFormaDialogo::Escolha: {
            std::vector<TColunaGrade> colunas;
            for (const TColunaEscolha& c : d.colunas) {
                colunas.push_back(
                    c.centrada ? TColunaGrade{c.campo, c.titulo, Qt::AlignCenter, Qt::AlignCenter}
                               : TColunaGrade{c.campo, c.titulo});
            }
            return EscolheNaGrade(pedido, std::move(colunas));
        }
        case TFormaDialogo::DataPagamento:
            return DataPagamento(pedido);
        case TFormaDialogo::AvisoComLink:
            MsgLink(pedido);
            return true;
        case TFormaDialogo::Texto:
            break;
    }
    // Any other request: its text and Ok / Cancel.
    QDialog dialogo(QApplication::activeWindow());
    dialogo.setWindowTitle(Q(pedido.titulo));
    auto* layout = new QVBoxLayout(&dialogo);
    auto* rotulo = new QLabel(Q(pedido.texto));
    rotulo->setWordWrap(true);
    layout->addWidget(rotulo);
    auto* botoes = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(botoes);
    QObject::connect(botoes, &QDialogButtonBox::accepted, &dialogo, &QDialog::accept);
    QObject::connect(botoes, &QDialogButtonBox::rejected, &dialogo, &QDialog::reject);
    return dialogo.exec() == QDialog::Accepted;
}

void DialogosQt::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace kova
