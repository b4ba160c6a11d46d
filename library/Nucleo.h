#pragma once
// What every build of the library shares: the data module and the entry form made on the first
// call, the guard that turns any failure into a kept text, and the slips kept in memory. The
// hosted requests (screen and printing) build on it where the build has them.

#include <functional>
#include <string>
#include <vector>

#include "Errors.h"
#include "TRelatorio.h"

namespace kova {

class TDataSet;
class TfrmDigitar;

// The entry form over the data module, both created on the first call; throws when the data
// directory does not load, leaving nothing behind so that the next call tries again (EPastaEmUso
// when another program held it past the bound of the wait).
TfrmDigitar& Objetos();

class EPastaEmUso : public Exception {
public:
    using Exception::Exception;
};

// Objetos(), or null when another program held the data directory past the bound of the wait: the
// reply is then a refusal that says so, after `pedido` (kova's request and ";", nothing for
// kova2), signed, and kova_ultimo_erro gives the whole message. Throws as Objetos() otherwise.
TfrmDigitar* ObjetosOuEmUso(const std::string& pedido);

// Runs the body; a failure becomes the text kovadll::UltimoErro gives (in Portuguese) and false.
bool Protegido(const std::function<void()>& corpo);

// Keeps the current slip of a stored request among the slips held in memory.
void Guarda(TDataSet& k);

// The last reply, which the exports copy into the host's buffer.
std::string& Resposta();

// The pages imprime prints: the three copies of the current slip, with the three texts of the
// request kept with the report. Throws when there is no slip or its copies do not fit the page.
std::vector<TPagina> PaginasDaImpressao(const char* texto1, const char* texto2, const char* texto3);

}  // namespace kova
