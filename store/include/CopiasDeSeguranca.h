#pragma once
// Copies of the slips file, one for each day it changed, so that years of slips outlive a damaged
// file (a journal deleted by hand after a crash, a disk that went bad).
//
// When: at the first save of a day, before anything is written, when the file was last changed on
// an earlier day (its modification time) and that day has no copy yet. The file has not changed
// since, so the copy holds it as that day left it; a day without changes needs none.
// How: SQLite's backup of the writer's own connection, as a whole table file that opens on its
// own and carries its seal, written beside its name and renamed into place once complete.
// Where: the folder "Copias" of the data directory (0700; each copy 0600, like the slips file),
// one file a day named after it ("KOVA-2024-03-14.cds"); the newest kCopiasGuardadas stay.
//
// A copy is put back by TDM::RestaurarCopia (`kovacli restaurar`, the desktop's "Utilitários |
// Restaurar cópia de segurança"): the file it replaces is kept in the same folder, never removed.

#include <cstdint>
#include <string>
#include <vector>

#include "Conversoes.h"

namespace kova {

class TDataSet;

inline constexpr int kCopiasGuardadas = 7;

struct TCopiaKOVA {
    std::string caminho;
    TDate dia;  // the day whose end it holds
    int64_t kovas = 0;
    int64_t impressas = 0;
    int64_t naoImpressas = 0;
    // Why it cannot be restored (it does not open, its seal does not match); empty when it can.
    std::string problema;
};

// The folder of the copies of a data directory, with its separator.
std::string PastaDasCopias(const std::string& dirDados);
// The name of the copy of a day, "KOVA-2024-03-14.cds".
std::string NomeDaCopia(TDate dia);
// The copies of dirDados, the newest first, each opened (never changed) to tell what it holds;
// definicao is the slips table, whose fields every copy must have.
std::vector<TCopiaKOVA> ListaCopias(const std::string& dirDados, const TDataSet& definicao);
// What a copy holds, in a person's words: "1.234 KOVA: 1.000 impressas, 234 não impressas".
std::string ConteudoDaCopia(const TCopiaKOVA& copia);
// What ends the message that says the slips file cannot be read: where its copies are (the newest
// one's day) and how to restore one. Empty when dirDados has none.
std::string AvisoDeCopias(const std::string& dirDados);
// Removes the copies past the newest kCopiasGuardadas, and what a copy that died left.
void PodaCopias(const std::string& dirDados);

}  // namespace kova
