#include "InscricaoEstadual.h"

#include "ComponenteInscricao.h"
#include "DM.h"
#include "Dialogs.h"

namespace kova {

bool ValidaInscricaoEstadual(const std::string& uf, const std::string& inscricao) {
    BusyCursor ampulheta;
    const TConsisteInscricao consiste = ComponenteInscricao(DirProgramaDoModulo());
    return consiste(inscricao.c_str(), uf.c_str()) == 0;
}

}  // namespace kova
