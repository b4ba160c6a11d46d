#pragma once
// The columns of a grid of slips (the entry screen's search page, the print list), the same in
// every view: first what a clerk picks a slip by (its number, state, taxpayer, revenue, period,
// total, due date and situation), as they read it; then the rest. Each view lays them out in its
// own toolkit's terms.

#include <string>
#include <vector>

namespace kova {

struct TColunaKOVA {
    enum class Alinhamento { Esquerda, Centro, Direita };
    const char* campo;
    const char* titulo;
    Alinhamento alinhamento;
    // What a person reads instead of the stored text (a revenue with its dash), or null.
    std::string (*formata)(const std::string&) = nullptr;

    // The text shown in the column for a field's displayed text.
    std::string Texto(const std::string& exibido) const {
        return formata ? formata(exibido) : exibido;
    }
};

const std::vector<TColunaKOVA>& ColunasGradeKOVA();

}  // namespace kova
