#include "PesquisaKOVA.h"

#include <cctype>
#include <unordered_set>

#include "TDM.h"
#include "Texto.h"

namespace kova {

namespace {

// What a CNPJ or CPF is typed with but never stored with.
std::string SemPontuacao(const std::string& texto) {
    std::string r;
    for (char c : texto) {
        if (c != '.' && c != '/' && c != '-' && c != ' ') r += c;
    }
    return r;
}

bool SoDigitos(const std::string& s) {
    for (unsigned char c : s) {
        if (!std::isdigit(c)) return false;
    }
    return !s.empty();
}

bool SoLetrasOuDigitos(const std::string& s) {
    for (unsigned char c : s) {
        if (!std::isalnum(c)) return false;
    }
    return !s.empty();
}

}  // namespace

std::vector<TBookmark> PesquisaKOVA(TDM& dm, const std::string& texto) {
    std::vector<TBookmark> visiveis = dm.cdsKOVA.VisibleRecords();
    const std::string procurado = UpperCase(Trim(texto));
    if (procurado.empty()) return visiveis;
    const std::string documento = SemPontuacao(procurado);
    const bool numero = SoDigitos(documento);
    const bool cnpj = SoLetrasOuDigitos(documento);
    const bool uf = procurado.size() == 2 &&
                    std::isalpha(static_cast<unsigned char>(procurado[0])) &&
                    std::isalpha(static_cast<unsigned char>(procurado[1]));
    const std::vector<TBookmark> achados =
        dm.KOVAsQue({"IdKOVA", "CICContribuinte", "UFFavorecida", "RazaoSocial"},
                    [&](const std::vector<TValue>& v) {
                        if (numero && ValueToString(v[0]).rfind(documento, 0) == 0) return true;
                        if (const auto* cic = std::get_if<std::string>(&v[1]);
                            cnpj && cic && cic->find(documento) != std::string::npos) {
                            return true;
                        }
                        if (const auto* estado = std::get_if<std::string>(&v[2]);
                            uf && estado && UpperCase(*estado) == procurado) {
                            return true;
                        }
                        const auto* nome = std::get_if<std::string>(&v[3]);
                        return nome && UpperCase(*nome).find(procurado) != std::string::npos;
                    });
    // In the table's order and filter.
    const std::unordered_set<TBookmark> conjunto(achados.begin(), achados.end());
    std::erase_if(visiveis, [&](TBookmark b) { return !conjunto.count(b); });
    return visiveis;
}

}  // namespace kova
