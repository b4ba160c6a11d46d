#include "DialogosQt.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "Errors.h"
#include "ModeloGrade.h"
#include "QtTexto.h"
#include "TDataSet.h"
#include "TDataSource.h"

namespace kova {

TModalResult DialogosQt::MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
    QMessageBox caixa(QApplication::activeWindow());
    caixa.setWindowTitle(Q(kind == TMsgDlgType::mtError         ? "Erro"
                           : kind == TMsgDlgType::mtWarning     ? "Aviso"
                           : kind == TMsgDlgType::mtConfirmation ? "Confirmação"
                                                                : "Informação"));
    std::string texto = text;
    for (char& c : texto) {
        if (c == '\r') c = '\n';
    }
    caixa.setText(Q(texto));
    caixa.setIcon(kind == TMsgDlgType::mtError         ? QMessageBox::Critical
                  : kind == TMsgDlgType::mtWarning     ? QMessageBox::Warning
                  : kind == TMsgDlgType::mtConfirmation ? QMessageBox::Question
                                                       : QMessageBox::Information);
    QPushButton* sim = nullptr;
    QPushButton* nao = nullptr;
    QPushButton* cancelar = nullptr;
    if (buttons == TMsgDlgButtons::mbOK) {
        caixa.addButton(QMessageBox::Ok);
    } else {
        sim = caixa.addButton(Q("&Sim"), QMessageBox::YesRole);
        if (buttons != TMsgDlgButtons::mbYesCancel) nao = caixa.addButton(Q("&Não"), QMessageBox::NoRole);
        if (buttons != TMsgDlgButtons::mbYesNo) cancelar = caixa.addButton(Q("&Cancelar"), QMessageBox::RejectRole);
        caixa.setDefaultButton(sim);
    }
    caixa.exec();
    if (buttons == TMsgDlgButtons::mbOK) return TModalResult::mrOk;
    if (caixa.clickedButton() == sim) return TModalResult::mrYes;
    if (nao && caixa.clickedButton() == nao) return TModalResult::mrNo;
    (void)cancelar;
    return buttons == TMsgDlgButtons::mbYesNo ? TModalResult::mrNo : TModalResult::mrCancel;
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
    grade->horizontalHeader()->setStretchLastSection(true);
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
    dialogo.resize(520, 360);
    if (dialogo.exec() != QDialog::Accepted) return false;
    const QModelIndexList linhas = grade->selectionModel()->selectedRows();
    if (!linhas.isEmpty()) modelo->IrPara(linhas.front().row());
    return true;
}

}  // namespace

bool DialogosQt::Executar(const TPedidoDialogo& pedido) {
    if (pedido.fonte && pedido.fonte->DataSet()) {
        if (pedido.nome == "TfrmSelecionaProduto") {
            return EscolheNaGrade(pedido, {{"Descricao", "Produto"},
                                           {"Produto", "Código", Qt::AlignCenter, Qt::AlignCenter}});
        }
        if (pedido.nome == "TfrmSelecionaSubReceita") {
            return EscolheNaGrade(pedido, {{"Descricao", "Detalhamento da Receita"}});
        }
    }
    QDialog dialogo(QApplication::activeWindow());
    dialogo.setWindowTitle(Q(pedido.titulo));
    auto* layout = new QVBoxLayout(&dialogo);
    QDateEdit* data = nullptr;
    if (pedido.nome == "TfrmDataPagamento" && pedido.fonte && pedido.fonte->DataSet()) {
        auto* linha = new QHBoxLayout;
        linha->addWidget(new QLabel(Q(pedido.texto)));
        data = new QDateEdit;
        data->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        data->setCalendarPopup(true);
        const TField& f = pedido.fonte->DataSet()->FieldByName("DataPagamento");
        if (!f.IsNull()) data->setDate(QDate(YearOf(f.AsDate()), int(MonthOf(f.AsDate())), int(DayOf(f.AsDate()))));
        linha->addWidget(data);
        layout->addLayout(linha);
    } else {
        auto* rotulo = new QLabel(Q(pedido.texto + (pedido.link.empty() ? "" : "\n\n" + pedido.link)));
        rotulo->setWordWrap(true);
        layout->addWidget(rotulo);
    }
    auto* botoes = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(botoes);
    QObject::connect(botoes, &QDialogButtonBox::accepted, &dialogo, &QDialog::accept);
    QObject::connect(botoes, &QDialogButtonBox::rejected, &dialogo, &QDialog::reject);
    const bool ok = dialogo.exec() == QDialog::Accepted;
    if (ok && data) {
        const QDate d = data->date();
        pedido.fonte->DataSet()->FieldByName("DataPagamento").SetAsDate(
            MakeDate(d.year(), unsigned(d.month()), unsigned(d.day())));
    }
    return ok;
}

void DialogosQt::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void Protege(const std::function<void()>& acao) {
    try {
        acao();
    } catch (const EAbort&) {
        // A silent abort: the user has been told already, or nothing needs telling.
    } catch (const std::exception& e) {
        kova::MessageDlg(e.what(), TMsgDlgType::mtError);
    }
}

}  // namespace kova
