#pragma once
// How a slip reaches paper on the desktop: a preview of one copy, a print of three copies of the
// current slip or of every listed slip, each print followed by the printed mark. The pages go to
// whatever the screen gives as printer and preview window; a failed run marks nothing.

#include <functional>
#include <vector>

#include "TqrpKOVA.h"

namespace kova {

class TFluxosImpressao {
public:
    explicit TFluxosImpressao(TqrpKOVA& relatorio) : relatorio_(relatorio) {}

    std::function<void(const std::vector<TPagina>&)> EnviarImpressora;
    std::function<void(const std::vector<TPagina>&)> AbrirVisualizacao;

    // One copy of the current slip in the preview window (the slip becomes "A", not printed).
    void Visualizar();
    // Three copies of the current slip, then the printed mark.
    void Imprimir();
    // Every slip the list shows when the command starts, in list order; a failure ends the run
    // and the slips printed before it stay marked.
    void ImprimirTodos();

private:
    TqrpKOVA& relatorio_;
};

}  // namespace kova
