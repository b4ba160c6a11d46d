#include "LinhaDigitavel.h"

#include "Clock.h"
#include "Digitos.h"
#include "Errors.h"
#include "RegrasDaUF.h"
#include "TDM.h"

namespace kova {

std::string LinhaDigitavel(const std::string& conteudo) {
    std::string linha;
    for (size_t bloco = 0; bloco < 4; ++bloco) {
        std::string digitos =
            bloco * 11 < conteudo.size() ? conteudo.substr(bloco * 11, 11) : std::string();
        if (bloco) linha += ' ';
        linha += digitos + "-" + Modulo11(digitos, 9);
    }
    return linha;
}

bool TFaixasCodigoBarra::qrbBarraBeforePrint(int viaAtual) {
    if (viaAtual == 2) return false;
    TDM& dm = *DM;
    const std::string uf = dm.cdsKOVA.FieldByName("UFFavorecida").AsString();
    const std::string receita = dm.cdsKOVA.FieldByName("Receita").AsString();
    std::string conveniada, vencidos;
    if (dm.cdsUF.FindKey({uf})) {
        conveniada = dm.cdsUF.FieldByName("Conveniada").AsString();
        vencidos = dm.cdsUF.FieldByName("CodigoBarraVencidos").AsString();
    }
    const TField& vencimento = dm.cdsKOVA.FieldByName("DataVencimento");
    const bool vencida = !vencimento.IsNull() && Clock::Today() > vencimento.AsDate();
    bool imprime = true;
    if (vencidos == "N" && vencida) imprime = false;
    if (RegraUF(dm, uf, receita, TFlagRegra::CB)) imprime = false;
    if (conveniada != "S") imprime = false;
    SemCodigoBarra = !imprime;
    return imprime;
}

bool TFaixasCodigoBarra::qrbNaoBarraBeforePrint() {
    if (SemCodigoBarra) {
        const std::string uf = DM->cdsKOVA.FieldByName("UFFavorecida").AsString();
        if (RegraDoEstado(*DM, uf, TFlagRegra::SC)) {
            qrlBancoAutorizadoPeq = kAvisoSemCodigoBarra;
            qrlBancoAutorizado = " ";
        }
    }
    return SemCodigoBarra;
}

void TFaixasCodigoBarra::qrbNaoBarraAfterPrint() {
    qrlBancoAutorizado = kAvisoSemCodigoBarra;
    qrlBancoAutorizadoPeq.clear();
}

}  // namespace kova
