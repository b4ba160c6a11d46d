#pragma once
// Text conversions of the front end, apart from the library's header (its export named kova
// cannot share a translation unit with the engine's namespace).

#include <string>

std::string ParaCp1252(const std::string& utf8);
std::string ParaUtf8(const std::string& cp1252);
