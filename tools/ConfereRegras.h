#pragma once
// Rule rows of one state and revenue that cannot hold together, found where the table tool can
// tell: a rule given twice with different texts (only the first is ever read), and a document
// format ("DO") that no document beginning as the state's "MD" rule demands can pass, so that no
// slip of that state and revenue is ever issued. The tool warns and writes the tables all the same.

#include <string>
#include <vector>

#include "RegrasDaUF.h"

namespace kova {

// A row of UFReceita.csv as the tool read it; its flag is one the system knows.
struct TRegraLida {
    int linha = 0;
    TFlagRegra flag;
    TRegraUF regra;
};

// One warning a contradiction, in Portuguese (Windows-1252), naming the lines; none when the
// rows agree.
std::vector<std::string> RegrasContraditorias(const std::vector<TRegraLida>& regras);

}  // namespace kova
