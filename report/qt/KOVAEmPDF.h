#pragma once
// The slip report of the current slip written to a PDF file: what a printed run gives, for the
// tests and the command-line front end.

#include <string>

#include "TqrpKOVA.h"

namespace kova {

void KOVAEmPDF(TqrpKOVA& relatorio, int vias, const std::string& caminho);

}  // namespace kova
