#include "Preenchimento.h"

#include <algorithm>

#include "TDM.h"
#include "TField.h"
#include "Texto.h"
#include "TfrmDigitar.h"

namespace kova {

TPreenchimento::TPreenchimento(TfrmDigitar& frm, std::vector<std::string> campos)
    : frm_(frm), anterior_(frm.preenchimento_), aVir_(std::move(campos)) {
    frm_.preenchimento_ = this;
}

TPreenchimento::~TPreenchimento() { frm_.preenchimento_ = anterior_; }

bool TPreenchimento::AindaVem(const std::vector<std::string>& lidos) const {
    for (const std::string& lido : lidos) {
        for (const std::string& campo : aVir_) {
            if (SameText(campo, lido)) return true;
        }
    }
    return false;
}

bool TPreenchimento::Adia(TField& campo) {
    if (&campo == julgando_) return false;
    if (std::find(aguardando_.begin(), aguardando_.end(), &campo) != aguardando_.end()) return true;
    if (aguardando_.empty() && !AindaVem(frm_.CamposLidos(campo.FieldName()))) return false;
    aguardando_.push_back(&campo);
    return true;
}

void TPreenchimento::Preenchido(std::string_view campo) {
    // Of a field filled twice only the last filling is awaited.
    auto it = std::find_if(aVir_.begin(), aVir_.end(),
                           [campo](const std::string& c) { return SameText(c, campo); });
    if (it != aVir_.end()) aVir_.erase(it);
    const TDM& dm = frm_.dm_;
    // Unattended, the first refusal ends the request: a later one would take its place.
    auto recusado = [&dm] { return dm.ModoSilencioso && !dm.UltimoErro.empty(); };
    while (!aguardando_.empty() && !recusado()) {
        TField* f = aguardando_.front();
        if (AindaVem(frm_.CamposLidos(f->FieldName()))) return;
        aguardando_.erase(aguardando_.begin());
        julgando_ = f;
        try {
            frm_.JulgaMudancaAdiada(*f);
        } catch (...) {
            julgando_ = nullptr;
            throw;
        }
        julgando_ = nullptr;
    }
}

}  // namespace kova
