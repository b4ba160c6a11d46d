#include "ConfereRegras.h"

#include <map>
#include <tuple>

#include "Conversoes.h"
#include "RegrasDocumento.h"

namespace kova {
namespace {

std::string Linhas(int a, int b) {
    return "linhas " + std::to_string(a) + " e " + std::to_string(b);
}

// Characters i..i+n-1 (from 1) of the rule text read as a number; false when they are not one.
bool Numero(const std::string& texto, size_t i, size_t n, int& valor) {
    int32_t v;
    if (texto.size() < i + n - 1 || !TryStrToInt(texto.substr(i - 1, n), v)) return false;
    valor = v;
    return true;
}

// Characters of the rule text read as a number; false when they are not one.
bool Numero(const TRegraUF& regra, TTrecho t, int& valor) {
    return Numero(regra.texto, t.inicio, t.fim - t.inicio + 1, valor);
}

// Why no document can satisfy both the "DO" row and the "MD" row; empty when one can.
std::string DocumentoImpossivel(const TRegraLida& regraDO) {
    int maximo, tipo;
    if (!Numero(regraDO.regra, LeiauteDO::kTamanhoMaximo, maximo) ||
        !Numero(regraDO.regra, LeiauteDO::kTipoFormato, tipo)) {
        return {};
    }
    const std::string inicio(kInicioDocumentoMD);
    const std::string DO(Sigla(TFlagRegra::DO)), MD(Sigla(TFlagRegra::MD));
    if (maximo > 0 && maximo < int(inicio.size())) {
        return "a regra " + DO + " limita o documento de origem a " + std::to_string(maximo) +
               " caracteres e a regra " + MD + " exige que ele comece com " + inicio;
    }
    if (!FormatoAdmiteInicio(tipo, inicio)) {
        return "o formato " + std::to_string(tipo) + " da regra " + DO +
               " não aceita documento de origem que comece com " + inicio + ", como a regra " + MD +
               " exige";
    }
    return {};
}

}  // namespace

std::vector<std::string> RegrasContraditorias(const std::vector<TRegraLida>& regras) {
    std::vector<std::string> avisos;
    std::map<std::tuple<std::string, std::string, TFlagRegra>, const TRegraLida*> primeira;
    for (const TRegraLida& r : regras) {
        auto [it, nova] =
            primeira.emplace(std::make_tuple(r.regra.uf, r.regra.receita, r.flag), &r);
        if (!nova && it->second->regra.texto != r.regra.texto) {
            avisos.push_back("UFReceita.csv, " + Linhas(it->second->linha, r.linha) + ": a regra " +
                             std::string(Sigla(r.flag)) + " de " + r.regra.uf + " " +
                             r.regra.receita +
                             " aparece duas vezes com textos diferentes; só a da linha " +
                             std::to_string(it->second->linha) + " vale");
        }
    }
    for (const auto& [chave, md] : primeira) {
        if (std::get<2>(chave) != TFlagRegra::MD) continue;
        auto regraDO =
            primeira.find(std::make_tuple(std::get<0>(chave), std::get<1>(chave), TFlagRegra::DO));
        if (regraDO == primeira.end()) continue;
        if (const std::string porque = DocumentoImpossivel(*regraDO->second); !porque.empty()) {
            avisos.push_back("UFReceita.csv, " + Linhas(regraDO->second->linha, md->linha) +
                             ": regras contraditórias para " + md->regra.uf + " " +
                             md->regra.receita + ": " + porque +
                             "; nenhuma KOVA dessa UF e receita passa");
        }
    }
    return avisos;
}

}  // namespace kova
