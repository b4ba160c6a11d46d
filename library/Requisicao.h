#pragma once
// The request handlers of the library, working on the entry form object: the items of a request
// are applied to a new slip as a program would type them, checked as the screen checks them, and
// answered with a reply signed by a CRC-32.

#include <string>

#include "TfrmDigitar.h"

namespace kova {

// The unattended request (kova2): reads frm.Requisicao, leaves the reply there; true when a slip
// was stored. A value a field cannot take raises a failure after the open slip is cancelled.
bool ValidaRequisicao(TfrmDigitar& frm);

// Assigns the value of an item to a slip field as kova2 does.
void PreencheCampo(TfrmDigitar& frm, const std::string& campo, const std::string& item, size_t posicao);

// The reply signed: text + ";CRC=" + its checksum.
std::string AssinaResposta(TfrmDigitar& frm, const std::string& texto);

}  // namespace kova
