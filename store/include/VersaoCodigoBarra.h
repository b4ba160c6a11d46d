#pragma once
// Which barcode layout a slip gets, from its own data alone (no table is read).

#include <string>

namespace kova {

// The barcode's version digit and base year of a slip. Both follow the slip's own year (that of its
// reference period; for Minas Gerais that of its due date), never a slip built before it.
struct TVersaoCodigoBarra {
    int versao = 4;
    int anoBase = 1999;
};
// referencia as stored (its last four characters are the year); anoVencimento the due date's
// year (1899 when the slip has none).
TVersaoCodigoBarra VersaoCodigoBarra(const std::string& uf, const std::string& referencia,
                                     int anoVencimento);

}  // namespace kova
