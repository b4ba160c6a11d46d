#pragma once
// Text conversions of the front end, apart from the library's header (its export named kova
// cannot share a translation unit with the engine's namespace).

#include <string>

std::string ParaCp1252(const std::string& utf8);
std::string ParaUtf8(const std::string& cp1252);
// A message of the engine as a terminal shows it: UTF-8, its line breaks ("\r") as new lines.
std::string Legivel(std::string cp1252);

// Tells once, on the error output, of the reference tables an upgrade of the package replaced
// (in the user's KOVA.INI, by default the one of their settings folder).
void AvisaTabelasAtualizadas(const std::string& kovaIni = std::string());

// The version of KOVA this program belongs to.
std::string VersaoDoKOVA();
