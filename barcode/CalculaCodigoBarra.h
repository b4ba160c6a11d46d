#pragma once
// The 44-digit barcode content of the current slip: 858, the general check digit, the amount in
// cents, the state's number, the version digit, the revenue's number and 22 positions packed by
// the layout chosen for the revenue in the state (1 to 30). The build assumes a slip that passed
// the field checks and checks nothing itself; a value that does not convert where a layout needs
// it stops the build with EConvertError and stores nothing.

#include <string>

namespace kova {

// Builds the content of the current slip of DM->cdsKOVA, stores it in CodigoBarra and saves the
// slip without running the field checks or the DataHora stamp (a browsing slip becomes "A").
// Sets DM->AnoBase and DM->VersaoCodigoBarras. Returns the content.
std::string CalculaCodigoBarra();

// The content without storing it (the same build, for callers that only need the digits).
std::string MontaCodigoBarra();

// Empty when the current slip's barcode can be built from its taxpayer; otherwise why not: a
// CNPJ with letters cannot be carried by a layout that packs the taxpayer's digits.
std::string RecusaContribuinteNoCodigoBarra();

}  // namespace kova
