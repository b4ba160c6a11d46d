#pragma once
// The catalogue of the field checks' messages: every message is "[Erro: " + its number + "] " +
// its text, Windows-1252, exactly as the users and the programs that read replies know it.
// Where one situation has a pair of numbers, the second (mostly without carriage returns) is used
// while the unattended request is served.

#include <string>
#include <vector>

#include "Conversoes.h"

namespace kova {

struct TMensagemCatalogo {
    const char* numero;  // "7", "72A"
    const char* texto;   // the text after "] "; for messages that carry values, their fixed start
};

// Every entry of the catalogue, in number order.
const std::vector<TMensagemCatalogo>& CatalogoMensagens();

// "[Erro: n] text". Throws std::out_of_range for a number not in the catalogue.
std::string Mensagem(const std::string& numero);
// The first of the pair outside silent mode, the second in silent mode.
std::string MensagemPar(const std::string& numero, const std::string& numeroSilencioso,
                        bool silencioso);

// Two numbers carry two texts each; the second texts are these.
inline constexpr const char* kErro143Pagamento =
    "[Erro: 143] A Data de Pagamento não pode ser em dia de Feriado";

// Messages that carry values.
std::string Mensagem26ou27(bool silencioso, int anoAtual);
std::string Mensagem64(const std::string& secretaria, const std::string& endereco);
std::string Mensagem84(TDate vencimentoReferencia, TDate vencimento);
std::string Mensagem113ou114(bool silencioso, double informado, double soma);
std::string MensagemCE(bool receitaICMSImportacao, const std::string& endereco);

// The finance department of Minas Gerais named in error 64.
inline constexpr const char* kSecretariaFazendaMG =
    "Secretaria de Estado de Fazenda de Minas Gerais";

}  // namespace kova
