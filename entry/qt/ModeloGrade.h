#pragma once
// A grid's view of a table: the visible records in the current order, chosen columns with titles
// and alignment, and the selected row kept on the table's current record.

#include <QAbstractTableModel>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

#include "TDataSet.h"

namespace kova {

struct TColunaGrade {
    std::string campo;
    std::string titulo;
    Qt::Alignment alinhamento = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::Alignment alinhamentoTitulo = Qt::AlignLeft | Qt::AlignVCenter;
    // What a person reads instead of the stored text (a revenue with its dash), or null.
    std::string (*formata)(const std::string&) = nullptr;
};

class ModeloGrade : public QAbstractTableModel {
public:
    ModeloGrade(TDataSet& tabela, std::vector<TColunaGrade> colunas, QObject* pai = nullptr);

    int rowCount(const QModelIndex& pai = QModelIndex()) const override;
    int columnCount(const QModelIndex& pai = QModelIndex()) const override;
    QVariant data(const QModelIndex& indice, int papel) const override;
    QVariant headerData(int secao, Qt::Orientation orientacao, int papel) const override;

    // Reads the table again (after a filter, index or data change).
    void Atualizar();
    // The row of the table's current record, or -1.
    int LinhaAtual() const;
    // Makes the record of a row the table's current record.
    void IrPara(int linha);
    // The rows shown, when not every visible record (a search): read again by each Atualizar.
    std::function<std::vector<TBookmark>(TDataSet&)> Linhas;
    // Whether the rows were read at the table's present version (records, order and filter).
    bool Atual() const { return versaoLida_ == tabela_.Versao(); }

private:
    TDataSet& tabela_;
    std::vector<TColunaGrade> colunas_;
    std::vector<TBookmark> linhas_;
    uint64_t versaoLida_ = 0;
};

// Columns as wide as their titles and the rows on screen. A grid not on screen yet is measured when
// it shows: measured before, every row would be (with many slips, every slip read from the file).
void AjustaColunas(QTableView& grade);

// The columns of a grid of slips (the entry screen's search page, the print list), those of
// ColunasGradeKOVA, the list every view shows, aligned in Qt's terms.
std::vector<TColunaGrade> ColunasDaKOVA();
// The widest a column of a grid of slips is made to fit its contents (a long name is cut).
constexpr int kLarguraMaximaColunaKOVA = 240;

}  // namespace kova
