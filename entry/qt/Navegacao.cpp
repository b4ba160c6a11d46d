#include "Navegacao.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "DialogosQt.h"
#include "Diretorios.h"
#include "QtTexto.h"
#include "TfrmDigitar.h"

namespace kova {

NavegadorRegistros::NavegadorRegistros(TDataSet& tabela, QWidget* pai)
    : QWidget(pai), tabela_(tabela) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto botao = [&](const char* texto, const char* dica, void (TDataSet::*mover)()) {
        auto* b = new QToolButton;
        b->setText(Q(texto));
        b->setToolTip(Q(dica));
        layout->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, mover] {
            TDataSet* tabela = &tabela_;
            Protege([tabela, mover] { (tabela->*mover)(); });
            Atualizar();
        });
        return b;
    };
    primeiro = botao("|<", "Primeiro", &TDataSet::First);
    anterior = botao("<", "Anterior", &TDataSet::Prior);
    proximo = botao(">", "Próximo", &TDataSet::Next);
    ultimo = botao(">|", "Último", &TDataSet::Last);
    Atualizar();
}

void NavegadorRegistros::Atualizar() {
    const int n = tabela_.RecordCount();
    const int posicao = tabela_.RecNo();
    primeiro->setEnabled(n > 0 && posicao > 1);
    anterior->setEnabled(n > 0 && posicao > 1);
    proximo->setEnabled(n > 0 && posicao < n);
    ultimo->setEnabled(n > 0 && posicao < n);
}

void PreencheLookup(QComboBox& lista, TDataSet& tabela, const std::string& chave,
                    const std::vector<std::string>& mostrados, const std::string& atual) {
    lista.clear();
    const int campoChave = tabela.FieldByName(chave).Index();
    for (TBookmark b : tabela.VisibleRecords()) {
        std::string texto;
        for (const std::string& m : mostrados) {
            if (!texto.empty()) texto += " - ";
            texto += tabela.DisplayTextAt(b, tabela.FieldByName(m).Index());
        }
        const std::string valor = ValueToString(tabela.ValueAt(b, campoChave));
        lista.addItem(Q(texto), Q(valor));
        if (valor == atual) lista.setCurrentIndex(lista.count() - 1);
    }
}

}  // namespace kova
