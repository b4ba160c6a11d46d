#pragma once
// The date rules a screen judges too, outside the field check: one rule, one place.

#include <string>

namespace kova {

class TDM;
class TField;

// The state's refusal of a slip paid after its due date itself (no weekend shift): the text of
// its "EV" rule for the revenue, or else the state-wide one, with its line breaks; empty when a
// date is missing, the payment is not late or the state has no such rule.
std::string RecusaPagamentoAposVencimento(TDM& dm, const std::string& uf,
                                          const std::string& receita, const TField& vencimento,
                                          const TField& pagamento);

}  // namespace kova
