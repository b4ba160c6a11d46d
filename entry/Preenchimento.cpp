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
    if (std::find(aguardando_.begin(), aguardando_.end(), &campo) != aguardando_.end()) return true;
    if (!AindaVem(frm_.CamposLidos(campo.FieldName()))) return false;
    aguardando_.push_back(&campo);
    return true;
}

void TPreenchimento::Preenchido(std::string_view campo) {
    // Of a field filled twice only the last filling is awaited.
    auto it = std::find_if(aVir_.begin(), aVir_.end(),
                           [campo](const std::string& c) { return SameText(c, campo); });
    if (it != aVir_.end()) aVir_.erase(it);
    std::sort(aguardando_.begin(), aguardando_.end(),
              [](const TField* a, const TField* b) { return a->Index() < b->Index(); });
    const TDM& dm = frm_.dm_;
    for (size_t i = 0; i < aguardando_.size();) {
        TField* f = aguardando_[i];
        if (AindaVem(frm_.CamposLidos(f->FieldName()))) {
            ++i;
            continue;
        }
        aguardando_.erase(aguardando_.begin() + std::ptrdiff_t(i));
        frm_.JulgaMudancaAdiada(*f);
        // Unattended, the first refusal ends the request: a later one would take its place.
        if (dm.ModoSilencioso && !dm.UltimoErro.empty()) return;
    }
}

}  // namespace kova
