#include "Conversao.h"

#include "Texto.h"

std::string ParaCp1252(const std::string& utf8) { return kova::Utf8ToCp1252(utf8); }
std::string ParaUtf8(const std::string& cp1252) { return kova::Cp1252ToUtf8(cp1252); }
