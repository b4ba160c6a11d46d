#pragma once
// The system's print queues (CUPS): which one is the default, and one job sent to a queue. A job
// counts as printed only once the queue has taken it: a queue that is missing, stopped or not
// taking jobs is told apart with its own message, and nothing is sent to it.

#include <string>

namespace kova {

// The default queue of the user, or empty when the machine has none (or no print service runs).
std::string ImpressoraPadrao();

// Sends the PDF file to the queue as one job titled titulo, on A4 paper, one copy. Returns the
// job's number once the queue accepted it; throws kova::Exception with the reason otherwise.
int EnviaParaFila(const std::string& impressora, const std::string& arquivoPDF,
                  const std::string& titulo);

}  // namespace kova
