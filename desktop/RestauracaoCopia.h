#pragma once
// The restore of a copy of the slips file as the desktop offers it ("Utilitários | Restaurar cópia
// de segurança", and at the start when the slips file cannot be read): the copies kept and what
// each holds, the person's confirmation, the restore and what the person is then told. Headless:
// the window shows Linha() for each copy and passes on the one chosen.

#include <string>
#include <vector>

#include "CopiasDeSeguranca.h"

namespace kova {

class TDM;

class TRestauracaoCopia {
public:
    // Reads the copies of the module's data directory.
    explicit TRestauracaoCopia(TDM& dm);

    const std::vector<TCopiaKOVA>& Copias() const { return copias_; }
    // The columns of the list and, for each copy, their texts.
    static const std::vector<std::string>& Titulos();
    std::vector<std::string> Linha(size_t copia) const;
    // Whether the copy can be restored (it opens and its seal matches).
    bool Restauravel(size_t copia) const;

    // Asks the person to confirm, restores the copy and tells what was done (through the dialog
    // service); a refusal or failure is told as an error. True when the copy is in place.
    bool Restaurar(size_t copia);
    // Reads the copies again.
    void Atualiza();

private:
    TDM& dm_;
    std::vector<TCopiaKOVA> copias_;
};

}  // namespace kova
