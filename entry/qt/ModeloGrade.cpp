#include "ModeloGrade.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include "ColunasKOVA.h"
#include "QtTexto.h"

namespace kova {

ModeloGrade::ModeloGrade(TDataSet& tabela, std::vector<TColunaGrade> colunas, QObject* pai)
    : QAbstractTableModel(pai), tabela_(tabela), colunas_(std::move(colunas)) {
    Atualizar();
}

int ModeloGrade::rowCount(const QModelIndex& pai) const {
    return pai.isValid() ? 0 : int(linhas_.size());
}

int ModeloGrade::columnCount(const QModelIndex& pai) const {
    return pai.isValid() ? 0 : int(colunas_.size());
}

QVariant ModeloGrade::data(const QModelIndex& indice, int papel) const {
    if (!indice.isValid()) return {};
    const TColunaGrade& coluna = colunas_[size_t(indice.column())];
    if (papel == Qt::TextAlignmentRole) return int(coluna.alinhamento);
    if (papel != Qt::DisplayRole) return {};
    TField* f = tabela_.FindField(coluna.campo);
    if (!f) return {};
    const std::string texto =
        const_cast<TDataSet&>(tabela_).DisplayTextAt(linhas_[size_t(indice.row())], f->Index());
    return Q(coluna.formata ? coluna.formata(texto) : texto);
}

QVariant ModeloGrade::headerData(int secao, Qt::Orientation orientacao, int papel) const {
    if (orientacao != Qt::Horizontal) return {};
    if (papel == Qt::DisplayRole) return Q(colunas_[size_t(secao)].titulo);
    if (papel == Qt::TextAlignmentRole) return int(colunas_[size_t(secao)].alinhamentoTitulo);
    return {};
}

void ModeloGrade::Atualizar() {
    beginResetModel();
    linhas_ = Linhas ? Linhas(tabela_) : tabela_.VisibleRecords();
    versaoLida_ = tabela_.Versao();
    endResetModel();
}

int ModeloGrade::LinhaAtual() const {
    const TBookmark atual = tabela_.GetBookmark();
    for (size_t i = 0; i < linhas_.size(); ++i) {
        if (linhas_[i] == atual) return int(i);
    }
    return -1;
}

void ModeloGrade::IrPara(int linha) {
    if (linha >= 0 && linha < int(linhas_.size()) &&
        linhas_[size_t(linha)] != tabela_.GetBookmark()) {
        tabela_.GotoBookmark(linhas_[size_t(linha)]);
    }
}

namespace {

// Kept by a grid whose columns follow its contents: measures them when the grid shows, and widens a
// column that rows scrolled into view need wider (slip numbers grow down the list).
class AjusteDeColunas : public QObject {
public:
    explicit AjusteDeColunas(QTableView& grade) : QObject(&grade), grade_(grade) {
        grade.installEventFilter(this);
        connect(grade.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { Alarga(); });
    }
    bool pendente = false;
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (objeto == &grade_ && evento->type() == QEvent::Show && pendente) {
            pendente = false;
            grade_.resizeColumnsToContents();
        }
        return false;
    }
    static AjusteDeColunas* De(QTableView& grade) {
        for (QObject* filho : grade.children()) {
            if (auto* a = dynamic_cast<AjusteDeColunas*>(filho)) return a;
        }
        return new AjusteDeColunas(grade);
    }

private:
    void Alarga() {
        if (pendente || !grade_.isVisible()) return;
        for (int c = 0; c < grade_.model()->columnCount(); ++c) {
            const int largura = static_cast<QAbstractItemView&>(grade_).sizeHintForColumn(c);
            if (largura > grade_.columnWidth(c)) grade_.setColumnWidth(c, largura);
        }
    }
    QTableView& grade_;
};

}  // namespace

void AjustaColunas(QTableView& grade) {
    // Both headers: which one bounds the rows measured for a column differs between Qt versions.
    grade.horizontalHeader()->setResizeContentsPrecision(0);
    grade.verticalHeader()->setResizeContentsPrecision(0);
    AjusteDeColunas* ajuste = AjusteDeColunas::De(grade);
    if (grade.isVisible()) {
        grade.resizeColumnsToContents();
    } else {
        ajuste->pendente = true;
    }
}

std::vector<TColunaGrade> ColunasDaKOVA() {
    std::vector<TColunaGrade> colunas;
    for (const TColunaKOVA& c : ColunasGradeKOVA()) {
        const Qt::Alignment horizontal =
            c.alinhamento == TColunaKOVA::Alinhamento::Centro    ? Qt::AlignHCenter
            : c.alinhamento == TColunaKOVA::Alinhamento::Direita ? Qt::AlignRight
                                                                 : Qt::AlignLeft;
        // A title over figures reads from the right with them, the others from the left.
        const Qt::Alignment titulo = horizontal == Qt::AlignRight ? Qt::AlignRight : Qt::AlignLeft;
        colunas.push_back({c.campo, c.titulo, horizontal | Qt::AlignVCenter,
                           titulo | Qt::AlignVCenter, c.formata});
    }
    return colunas;
}

}  // namespace kova
