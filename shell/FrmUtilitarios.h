#pragma once
// The removal of printed slips, the restore of a copy of the slips file and the three reference
// browsers.

#include <QDialog>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;

namespace kova {

class ModeloGrade;
class TDM;
class TRestauracaoCopia;

class FrmRemoverKOVA : public QDialog {
public:
    explicit FrmRemoverKOVA(QWidget* pai = nullptr);
    void btnRemoverClick();
    QDateEdit* dtpData;
    // What the day chosen removes, printed and not printed, before anything is removed.
    QLabel* lblPrevisao;
    QPushButton* btnRemover;
};

// The copies of the slips file and what each holds; "Restaurar" puts the chosen one in place
// (TRestauracaoCopia asks and tells). Accepted when a copy was restored.
class FrmRestaurarCopia : public QDialog {
public:
    FrmRestaurarCopia(TDM& dm, QWidget* pai = nullptr);
    ~FrmRestaurarCopia() override;
    void btnRestaurarClick();
    QTableWidget* grdCopias;
    QPushButton* btnRestaurar;

private:
    void Mostra();
    std::unique_ptr<TRestauracaoCopia> restauracao_;
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
