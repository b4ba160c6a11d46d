#pragma once
// What the printed boxes show instead of a field's stored text: the state code with its check
// digit, the revenue code, the masked CNPJ or CPF, the reference period as a range of days, the
// product with its description, the validity line and the version texts. They read the current
// slip and the reference tables of DM.

#include <string>

namespace kova {

std::string TextoCodigoUF(const std::string& uf);      // box 01: "26-1 - Pernambuco"
std::string TextoNomeUF(const std::string& uf);        // box 13: "PE - Pernambuco"
std::string TextoReceita(const std::string& receita);  // box 02: "10005-6"
std::string FormataCIC(const std::string& cic);        // box 03
std::string TextoDocumento(const std::string& doc);    // box 04: zero prints blank
std::string TextoReferencia(const std::string& referencia, const std::string& uf);  // box 05
// Box 23: the product; leaves the product table filtered on the slip's state and revenue.
std::string TextoProduto(const std::string& produto, const std::string& uf,
                         const std::string& receita);
std::string TextoValidade();    // box 23
std::string TextoVersao();      // identification line
std::string TextoTipoVersao();  // box 24

}  // namespace kova
