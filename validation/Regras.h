#pragma once
// What every field rule works on: the slip under check, the normalised field name, the value
// being judged (rules may rewrite it), and the single message the check may end with. Internal to
// the check engine; each group of rules has its own source file.

#include <optional>
#include <string>

#include "Mensagens.h"
#include "RegrasDaUF.h"
#include "TDataSet.h"

namespace kova {

class TDM;

struct TCritica {
    TDM& dm;
    TDataSet& kova;
    const std::string& campo;  // blanks trimmed, upper case
    std::string v;             // the field's text, trimmed
    std::string mensagem;
    bool encerrada = false;  // ended early without a message: the courier rule is not applied

    bool Silencioso() const;
    void Erro(const char* numero) { mensagem = Mensagem(numero); }
    void ErroPar(const char* numero, const char* numeroSilencioso);
    // Another field of the slip, as text, trimmed.
    std::string Campo(const char* nome) const;
    // The rule for the slip's own state and revenue code.
    std::optional<TRegraUF> RegraDaKOVA(TFlagRegra flag);
};

using TRegra = void (*)(TCritica&);

// Identification of the slip.
void RegraUFFavorecida(TCritica& c);
void RegraReceita(TCritica& c);
void RegraSubReceita(TCritica& c);
// The taxpayer.
void RegraCICContribuinte(TCritica& c);
void RegraInscricaoEstadual(TCritica& c);
// The document of origin and its state formats.
void RegraDocumentoOrigem(TCritica& c);
// The reference period or instalment.
void RegraReferencia(TCritica& c);
// The amounts.
void RegraValorPrincipal(TCritica& c);
void RegraAtualizacaoMonetaria(TCritica& c);
void RegraJuros(TCritica& c);
void RegraMulta(TCritica& c);
void RegraPrincipalOuMulta(TCritica& c);
void RegraTotalRecolher(TCritica& c);
// Dates, the payer and the product.
void RegraDataVencimento(TCritica& c);
void RegraDataPagamento(TCritica& c);
void RegraRazaoSocial(TCritica& c);
void RegraEndereco(TCritica& c);
void RegraUF(TCritica& c);
void RegraCEP(TCritica& c);
void RegraProduto(TCritica& c);
// Applied at the end of every field's check while a courier company code is set.
void RegraCourier(TCritica& c);

}  // namespace kova
