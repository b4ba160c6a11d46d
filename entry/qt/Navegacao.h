#pragma once
// Data-aware pieces shared by the windows: a record navigator (first, prior, next, last) and a
// lookup list that offers a key field of a table with its shown columns.

#include <QComboBox>
#include <QWidget>
#include <string>
#include <vector>

#include "TDataSet.h"

class QToolButton;

namespace kova {

class NavegadorRegistros : public QWidget {
public:
    NavegadorRegistros(TDataSet& tabela, QWidget* pai = nullptr);
    // Buttons enabled as the table's position allows.
    void Atualizar();
    QToolButton *primeiro, *anterior, *proximo, *ultimo;

private:
    TDataSet& tabela_;
};

// Fills a list with one entry per visible record: the shown fields joined by " - ", the key field
// as the entry's data. Selects the entry of the current key.
void PreencheLookup(QComboBox& lista, TDataSet& tabela, const std::string& chave,
                    const std::vector<std::string>& mostrados, const std::string& atual);

}  // namespace kova
