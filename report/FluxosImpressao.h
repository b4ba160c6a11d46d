#pragma once
// How a slip reaches paper on the desktop: a preview of one copy, a print of three copies of the
// current slip or of every listed slip, each print followed by the printed mark. A slip is marked
// only once its copies exist: a queue took the job, or the file holding them is complete. A run
// whose copies would fall outside the page, or that fails, marks nothing.

#include <functional>
#include <memory>
#include <vector>

#include "TDataSet.h"
#include "TqrpKOVA.h"

namespace kova {

// Where the copies of one print command go (a print queue, a PDF file), opened when the command
// starts and concluded when it ends.
class TSaidaImpressao {
public:
    virtual ~TSaidaImpressao() = default;
    // One slip's pages. True when they exist once this returns (the queue accepted the job, a
    // file of their own is written); false when they wait in a file that Conclui completes.
    virtual bool Envia(const std::vector<TPagina>& paginas) = 0;
    // Completes what was held; after it returns every page sent exists.
    virtual void Conclui() {}
};

class TFluxosImpressao {
public:
    explicit TFluxosImpressao(TqrpKOVA& relatorio) : relatorio_(relatorio) {}

    // The output of the next print command; it may throw (no place to print), and nothing is
    // printed then.
    std::function<std::unique_ptr<TSaidaImpressao>()> AbrirSaida;
    std::function<void(const std::vector<TPagina>&)> AbrirVisualizacao;

    // One copy of the current slip in the preview window (the slip becomes "A", not printed).
    void Visualizar();
    // Three copies of the current slip, then the printed mark.
    void Imprimir();
    // Every slip the list shows when the command starts, in list order.
    void ImprimirTodos();
    // The given slips in order, each marked once its copies exist. A failure ends the run with a
    // message naming the slip; the slips whose copies exist stay marked, the table's filter is as
    // it was. Returns how many were marked.
    int ImprimirLista(const std::vector<TBookmark>& kovas);
    // Slips marked by the last print command, also when it failed.
    int Marcadas = 0;

private:
    TqrpKOVA& relatorio_;
};

// Throws when the laid-out copies are not all on the paper (a top margin that pushes them off).
void ConfereViasNaPagina(const TRelatorio& relatorio, const std::vector<TPagina>& paginas);

}  // namespace kova
