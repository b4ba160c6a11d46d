#include "InscricaoEstadual.h"

#include "ComponenteInscricao.h"
#include "DM.h"
#include "Dialogs.h"
#include "TDM.h"

namespace kova {

bool ValidaInscricaoEstadual(const std::string& uf, const std::string& inscricao) {
    BusyCursor ampulheta;
    // The program folder as the data module holds it, not a copy of it at every check.
    const TConsisteInscricao consiste =
        DM ? ComponenteInscricao(DM->DirPrograma) : ComponenteInscricao(DirProgramaDoModulo());
    return consiste(inscricao.c_str(), uf.c_str()) == 0;
}

}  // namespace kova
