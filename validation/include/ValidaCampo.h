#pragma once
// The field check engine: given the name of a field of the slip being edited, it runs that
// field's rules against the current slip and answers with at most one message. It reads the slip
// through the entry form object's data link (registered with the data module); with no entry form,
// or with the slip neither inserted nor edited, nothing is checked.

#include <string>
#include <string_view>
#include <vector>

#include "Errors.h"

namespace kova {

// The failure a check raises while an import file is read: it carries the message.
class ECritica : public Exception {
public:
    using Exception::Exception;
};

enum class TTipoMensagem { Nenhuma, Erro };

// True when a message was produced (then its kind is Erro). Changes nothing but the fields that
// the document-of-origin and instalment rules write back and the positions of the reference
// tables it looks up.
bool ValidaCampo(const std::string& campo, std::string& mensagem, TTipoMensagem& tipo);

// The message the favoured state's own rules give for a value the field would hold (trimmed),
// empty when it passes: they read nothing else of the slip, so a slip need not be open. Leaves the
// states table where ValidaCampo would.
std::string RecusaUFFavorecida(const std::string& valor);

// The other fields of the slip that the rules of a field read (field names as the slips table
// spells them; any case for the name asked): the field can be judged only once they hold what
// they will hold. The courier rule, which ends every field's check while a courier company is
// given, reads the revenue code besides.
const std::vector<std::string>& CamposLidos(std::string_view campo);

}  // namespace kova
