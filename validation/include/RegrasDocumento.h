#pragma once
// What the document-of-origin rules demand of a document's first characters, for those who judge
// the rule rows themselves rather than a slip (the table tool).

#include <string_view>

namespace kova {

// The beginning a state's "MD" rule demands of the document of origin.
inline constexpr std::string_view kInicioDocumentoMD = "16000";

// Whether a document that begins with `inicio` can pass format type `tipo` of the "DO" rule: the
// types that fix their first characters (a series, a year, zeros) refuse every other beginning,
// whatever follows it.
bool FormatoAdmiteInicio(int tipo, std::string_view inicio);

}  // namespace kova
