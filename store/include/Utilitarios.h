#pragma once
// Work on the whole slips table and the reference browsers: the removal of printed and old slips,
// and the positioning the three browsers need.

#include <string>
#include <vector>

#include "Conversoes.h"

namespace kova {

class TDM;

struct TResultadoRemocao {
    int removidas = 0;
    int mantidas = 0;
};

// What a removal up to the day given would take: the printed slips and the others (not saved or
// printed for more than 360 days), counted without removing anything.
struct TPrevisaoRemocao {
    int impressas = 0;
    int naoImpressas = 0;
};
TPrevisaoRemocao PrevisaoRemocao(TDM& dm, TDate ate);
// "Serão removidas..." for the removal window, before the person removes anything.
std::string TextoPrevisaoRemocao(const TPrevisaoRemocao& p);

// Removes the slips printed up to the day given (the time of day ignored) and every slip not
// saved or printed for more than 360 days; the slips file is written once at the end.
TResultadoRemocao RemoverKOVAImpressas(TDM& dm, TDate ate);
// "Remoção concluida com sucesso..." with the counts.
std::string MensagemRemocao(const TResultadoRemocao& r);

// The revenue browser on a state: the revenues offered there with their layout column.
void ConsultaReceitasDaUF(TDM& dm, const std::string& uf);
void FechaConsultaReceitas(TDM& dm);
// The states of the product table in the order they first appear, and the filter on one state.
std::vector<std::string> UFsDosProdutos(TDM& dm);
void ConsultaProdutosDaUF(TDM& dm, const std::string& uf);

}  // namespace kova
