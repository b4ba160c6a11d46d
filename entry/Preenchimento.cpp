#include "Preenchimento.h"

#include <algorithm>

#include "TDM.h"
#include "TField.h"
#include "Texto.h"
#include "TfrmDigitar.h"

namespace kova {

namespace {

// The position of a field of the slips table, or -1 when it has no such field.
int Posicao(const TDataSet& k, std::string_view nome) {
    const TField* f = k.FindField(nome);
    return f ? f->Index() : -1;
}

}  // namespace

TPreenchimento::TPreenchimento(TfrmDigitar& frm, std::vector<std::string> campos)
    : frm_(frm), anterior_(frm.preenchimento_), aVir_(std::move(campos)) {
    frm_.preenchimento_ = this;
}

TPreenchimento::~TPreenchimento() { frm_.preenchimento_ = anterior_; }

const std::vector<int>& TPreenchimento::Lidos(const TField& campo) const {
    return frm_.PosicoesLidas(campo).posicoes;
}

bool TPreenchimento::AindaVem(const std::vector<int>& lidos) const {
    if (lidos.empty()) return false;
    if (!contado_) {
        const TDataSet& k = frm_.dm_.cdsKOVA;
        porVir_.assign(size_t(k.FieldCount()), 0);
        for (const std::string& c : aVir_) {
            if (const int i = Posicao(k, c); i >= 0) ++porVir_[size_t(i)];
        }
        contado_ = true;
    }
    for (int p : lidos) {
        if (size_t(p) < porVir_.size() && porVir_[size_t(p)] > 0) return true;
    }
    return false;
}

bool TPreenchimento::Adia(TField& campo) {
    if (&campo == julgando_) return false;
    if (std::find(aguardando_.begin(), aguardando_.end(), &campo) != aguardando_.end()) return true;
    if (aguardando_.empty() && !AindaVem(Lidos(campo))) return false;
    aguardando_.push_back(&campo);
    return true;
}

void TPreenchimento::Preenchido(std::string_view campo) {
    // Of a field filled twice only the last filling is awaited.
    auto it = std::find_if(aVir_.begin(), aVir_.end(),
                           [campo](const std::string& c) { return SameText(c, campo); });
    if (it != aVir_.end()) {
        if (contado_) {
            const int p = Posicao(frm_.dm_.cdsKOVA, *it);
            if (p >= 0 && porVir_[size_t(p)] > 0) --porVir_[size_t(p)];
        }
        aVir_.erase(it);
    }
    const TDM& dm = frm_.dm_;
    // Unattended, the first refusal ends the request: a later one would take its place.
    auto recusado = [&dm] { return dm.ModoSilencioso && !dm.UltimoErro.empty(); };
    while (!aguardando_.empty() && !recusado()) {
        TField* f = aguardando_.front();
        if (AindaVem(Lidos(*f))) return;
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
