#pragma once
// Digit and padding helpers shared by the barcode and the field rules.

#include <string>

#include "Conversoes.h"

namespace kova {

// Puts pad (a blank when empty) in front while shorter than n, then keeps the rightmost n.
std::string CompletaEsquerda(const std::string& texto, const std::string& pad, int n);
// Appends pad (a blank when empty) while shorter than n, then keeps the first n.
std::string CompletaDireita(const std::string& texto, const std::string& pad, int n);
std::string SomenteDigitos(const std::string& texto);
// Day of the year as 3 digits followed by the year modulo 100 as 2 digits.
std::string DataJuliana(TDate data);
// Modulo-11 check digit: weights 2, 3, ... from the last digit (from the first when m < 0),
// starting again at 2 after |m| (never when m = 0); remainder 0 or 1 gives 0, else 11 - r.
// The empty text gives "0"; a character that is not a digit throws EConvertError.
std::string Modulo11(const std::string& digitos, int m);

}  // namespace kova
