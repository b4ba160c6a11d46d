#pragma once
// The removal of printed slips and the three reference browsers.

#include <QDialog>

class QComboBox;
class QDateEdit;
class QPushButton;
class QTableView;

namespace kova {

class ModeloGrade;

class FrmRemoverKOVA : public QDialog {
public:
    explicit FrmRemoverKOVA(QWidget* pai = nullptr);
    void btnRemoverClick();
    QDateEdit* dtpData;
    QPushButton* btnRemover;
};

class FrmConsulta : public QDialog {
public:
    enum class Tipo { UF, UFReceita, UFProduto };
    FrmConsulta(Tipo tipo, QWidget* pai = nullptr);
    ~FrmConsulta() override;
    void cbxUFChange();
    QComboBox* cbxUF = nullptr;
    QTableView* dbgSolicitacaoKOVA;
    ModeloGrade* modelo;

private:
    Tipo tipo_;
};

}  // namespace kova
