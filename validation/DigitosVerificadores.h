#pragma once
// Check-digit routines of the taxpayer numbers and the documents of origin. Each takes digits
// and gives digits as text; a character that is not a digit throws EConvertError (a conversion
// failure, reported without a numbered message).

#include <cstdint>
#include <string>

#include "Digitos.h"

namespace kova {

// Modulo11(base, m) followed by Modulo11(base + that digit, m).
std::string DoisDigitosModulo11(const std::string& base, int m);
bool ConfereCPF(const std::string& cpf);
bool ConfereCNPJ(const std::string& cnpj);
// 1: two modulo-11 digits; 2: the last two are (x - 100) mod 97; 3: one modulo-11 digit; 0: none.
int ClasseDocumento(const std::string& numero, int comprimento);
// Nine positions: seven digits and two modulo-11 digits (weights 8..2, then 9..3 plus 2 x d1).
bool ConfereInscricaoNoveDigitos(const std::string& inscricao);

// Weights 2, 1, 2, ... from the last digit; with reduce a product of 10 or more counts its digits.
std::string Modulo10(const std::string& digitos, bool reduz);
// As Modulo10, but a remainder of 0 gives 1 and of 1 gives 0.
std::string Modulo10Variante(const std::string& digitos, bool reduz);
// Weights 2..11 from the last digit; remainder 0 or 1 gives 1, 10 gives 0, otherwise 11 - r.
std::string Modulo11Pesos2a11(const std::string& digitos);
// Weights as Modulo11; remainder 0 gives 0, 1 gives 1, otherwise 11 - r.
std::string Modulo11Resto1(const std::string& digitos, int m);
std::string DigitoTipo23(const std::string& v);
bool ConfereTipo22(const std::string& v);

// (x - 100) mod 97 written as two digits ("-05" for a negative remainder).
std::string Resto97(const std::string& base);
// A text read as a whole number; throws EConvertError when it is not one.
int32_t InteiroOuFalha(const std::string& texto);

}  // namespace kova
