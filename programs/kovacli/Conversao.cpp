#include "Conversao.h"

#include <iostream>

#include "DadosDoUsuario.h"
#include "Diretorios.h"
#include "Texto.h"
#include "VersaoKOVA.h"

std::string ParaCp1252(const std::string& utf8) { return kova::Utf8ToCp1252(utf8); }
std::string ParaUtf8(const std::string& cp1252) { return kova::Cp1252ToUtf8(cp1252); }

std::string Legivel(std::string texto) {
    for (char& c : texto) {
        if (c == '\r') c = '\n';
    }
    return ParaUtf8(texto);
}

void AvisaTabelasAtualizadas(const std::string& kovaIni) {
    try {
        std::string aviso = kova::RetiraAvisoDeTabelas(
            kovaIni.empty() ? kova::IncluiBarra(kova::DiretorioConfiguracao()) + "KOVA.INI"
                            : kovaIni);
        if (aviso.empty()) return;
        for (char& c : aviso) {
            if (c == '\r') c = '\n';
        }
        std::cerr << "kovacli: " << ParaUtf8(aviso) << "\n";
    } catch (const std::exception&) {
        // Told at the next start.
    }
}

std::string VersaoDoKOVA() { return kova::VersaoKOVA(); }
