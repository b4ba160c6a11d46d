#pragma once
// The search box of the search page: the slips whose number, taxpayer (CNPJ or CPF), name or
// favoured state answer what the clerk typed. It reads only those four fields of each slip, from
// the slips file's columns (the slips not yet saved as memory holds them), so it stays quick
// however many slips are kept.

#include <string>
#include <vector>

#include "TDataSet.h"

namespace kova {

class TDM;

// The visible slips of the slips table, in its current order, that match `texto`:
// - a number (dots, slash, dash and spaces ignored): slips whose number begins with it, and those
//   whose CNPJ/CPF holds it (a CNPJ may carry capital letters);
// - two letters: also the slips of that favoured state;
// - any text: the slips whose name (Razão Social) holds it, capitals or not.
// An empty text gives every visible slip.
std::vector<TBookmark> PesquisaKOVA(TDM& dm, const std::string& texto);

}  // namespace kova
