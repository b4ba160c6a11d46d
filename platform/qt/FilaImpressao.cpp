#include "FilaImpressao.h"

#include <cups/cups.h>

#include <memory>

#include "Errors.h"

namespace kova {
namespace {

struct LiberaDestino {
    void operator()(cups_dest_t* d) const { cupsFreeDests(1, d); }
};
using Destino = std::unique_ptr<cups_dest_t, LiberaDestino>;

std::string Opcao(const cups_dest_t& d, const char* nome) {
    const char* v = cupsGetOption(nome, d.num_options, d.options);
    return v ? v : "";
}

// The queue's name as the person reads it: texts of the system are Windows-1252, queue names are
// plain ASCII in practice.
std::string Aspas(const std::string& nome) { return "\"" + nome + "\""; }

}  // namespace

std::string ImpressoraPadrao() {
    // The default read from the list of queues, as the print dialogs read it: asking the print
    // service for the unnamed default leaves the process in a state that the leak checker of the
    // sanitizer builds cannot walk at exit.
    cups_dest_t* destinos = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &destinos);
    const cups_dest_t* padrao = cupsGetDest(nullptr, nullptr, n, destinos);
    std::string nome = padrao ? padrao->name : "";
    cupsFreeDests(n, destinos);
    return nome;
}

int EnviaParaFila(const std::string& impressora, const std::string& arquivoPDF,
                  const std::string& titulo) {
    Destino d(cupsGetNamedDest(CUPS_HTTP_DEFAULT, impressora.c_str(), nullptr));
    if (!d) throw Exception("A impressora " + Aspas(impressora) + " não foi encontrada");
    // A stopped queue would keep the job and print it some day, long after the slip was left
    // unprinted: it gets nothing.
    if (Opcao(*d, "printer-state") == "5") {
        throw Exception("A impressora " + Aspas(impressora) + " está parada");
    }
    if (Opcao(*d, "printer-is-accepting-jobs") == "false") {
        throw Exception("A impressora " + Aspas(impressora) + " não está aceitando impressões");
    }
    cups_option_t* opcoes = nullptr;
    int n = 0;
    n = cupsAddOption("media", "A4", n, &opcoes);
    n = cupsAddOption("copies", "1", n, &opcoes);
    const int trabalho = cupsPrintFile2(CUPS_HTTP_DEFAULT, impressora.c_str(), arquivoPDF.c_str(),
                                        titulo.c_str(), n, opcoes);
    cupsFreeOptions(n, opcoes);
    if (trabalho <= 0) {
        const char* motivo = cupsLastErrorString();
        throw Exception("A impressora " + Aspas(impressora) + " recusou a impressão" +
                        (motivo && *motivo ? std::string(" (") + motivo + ")" : std::string()));
    }
    return trabalho;
}

}  // namespace kova
