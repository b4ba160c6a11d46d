#include "PesquisaKOVA.h"

#include <cctype>

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

std::vector<TBookmark> PesquisaKOVA(TDataSet& kova, const std::string& texto) {
    std::vector<TBookmark> visiveis = kova.VisibleRecords();
    const std::string procurado = UpperCase(Trim(texto));
    if (procurado.empty()) return visiveis;
    const std::string documento = SemPontuacao(procurado);
    const bool numero = SoDigitos(documento);
    const bool cnpj = SoLetrasOuDigitos(documento);
    const bool uf = procurado.size() == 2 && std::isalpha(static_cast<unsigned char>(procurado[0])) &&
                    std::isalpha(static_cast<unsigned char>(procurado[1]));
    const int campoId = kova.FieldByName("IdKOVA").Index();
    const int campoCIC = kova.FieldByName("CICContribuinte").Index();
    const int campoUF = kova.FieldByName("UFFavorecida").Index();
    const int campoNome = kova.FieldByName("RazaoSocial").Index();

    std::vector<TBookmark> achados;
    for (TBookmark b : visiveis) {
        bool achou = false;
        if (numero) achou = ValueToString(kova.ValueAt(b, campoId)).rfind(documento, 0) == 0;
        if (!achou && cnpj) {
            const std::string* cic = std::get_if<std::string>(&kova.ValueAt(b, campoCIC));
            achou = cic && cic->find(documento) != std::string::npos;
        }
        if (!achou && uf) {
            const std::string* estado = std::get_if<std::string>(&kova.ValueAt(b, campoUF));
            achou = estado && UpperCase(*estado) == procurado;
        }
        if (!achou) {
            const std::string* nome = std::get_if<std::string>(&kova.ValueAt(b, campoNome));
            achou = nome && UpperCase(*nome).find(procurado) != std::string::npos;
        }
        if (achou) achados.push_back(b);
    }
    return achados;
}

}  // namespace kova
