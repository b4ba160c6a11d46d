#pragma once
// The 44-digit barcode content of the current slip: 858, the general check digit, the amount in
// cents, the state's number, the version digit, the revenue's number and 22 positions packed by
// the layout chosen for the revenue in the state (1 to 30). The build assumes a slip that passed
// the field checks and checks nothing itself; a value that does not convert where a layout needs
// it stops the build with EConvertError and stores nothing.

#include <string>
#include <utility>

#include "Errors.h"

namespace kova {

// A value of the slip that its barcode cannot write as digits (a document of origin with letters
// where the layout packs it as typed, a reference year before the barcode's base year, a negative
// interest where the layout packs its share...). Campo() names the slip's field; it is empty when
// the fault lies in the reference tables (a layout or document type that is not a number).
class ECodigoBarra : public EConvertError {
public:
    ECodigoBarra(std::string campo, const std::string& mensagem)
        : EConvertError(mensagem), campo_(std::move(campo)) {}
    const std::string& Campo() const { return campo_; }

private:
    std::string campo_;
};

// Builds the content of the current slip of DM->cdsKOVA, stores it in CodigoBarra and saves the
// slip without running the field checks or the DataHora stamp (a browsing slip becomes "A").
// Sets DM->AnoBase and DM->VersaoCodigoBarras. Returns the content.
std::string CalculaCodigoBarra();

// The content without storing it (the same build, for callers that only need the digits). A
// value the barcode cannot carry throws ECodigoBarra.
std::string MontaCodigoBarra();

// Stores a content built for the current slip as CalculaCodigoBarra does, and returns it.
std::string GuardaCodigoBarra(const std::string& conteudo);

// Whether the layout of the current slip can carry its document of origin as it stands: a layout
// that packs the document as typed takes digits only, and the import declaration layouts read a
// year from it, so they need one. Much cheaper than a build, for the check as the document changes.
bool CodigoBarraComportaDocumento();

// Empty when the current slip's barcode can be built from its taxpayer; otherwise why not: a
// CNPJ with letters cannot be carried by a layout that packs the taxpayer's digits.
std::string RecusaContribuinteNoCodigoBarra();

}  // namespace kova
