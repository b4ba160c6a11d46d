#pragma once
// The request handlers of the library, working on the entry form object: the items of a request
// are applied to a new slip as a program would type them, checked as the screen checks them, and
// answered with a reply signed by a CRC-32.

#include <string>
#include <string_view>

#include "TfrmDigitar.h"

namespace kova {

// The unattended request (kova2): reads frm.Requisicao, leaves the reply there; true when a slip
// was stored. A value a field cannot take raises a failure after the open slip is cancelled.
bool ValidaRequisicao(TfrmDigitar& frm);

// The hosted request (kova, teste): fills a new slip from frm.Requisicao (or takes up the slip left
// open by a failed call), shows the screen modally through frm.OnExibirModal for a person to
// complete and save, and leaves the reply in frm.Requisicao; true when a slip was saved.
bool ProcessaRequisicao(TfrmDigitar& frm);

// Assigns the value of an item to a slip field as kova does, then closes the boxes a person may no
// longer change: all but the amounts, the due date, the agreement number and the two selectors.
void PreencheCampoHospedado(TfrmDigitar& frm, std::string_view campo, std::string_view item,
                            size_t posicao);

// Assigns the value of an item to a slip field as kova2 does; false when the value is empty and
// nothing was assigned.
bool PreencheCampo(TfrmDigitar& frm, std::string_view campo, std::string_view item, size_t posicao);

// The reply signed: text + ";CRC=" + its checksum.
std::string AssinaResposta(TfrmDigitar& frm, const std::string& texto);

}  // namespace kova
