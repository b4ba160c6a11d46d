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

TPreenchimento::TPreenchimento(TfrmDigitar& frm, const std::vector<std::string>& campos)
    : TPreenchimento(frm, [&frm, &campos] {
          std::vector<int> p;
          p.reserve(campos.size());
          for (const std::string& c : campos) p.push_back(Posicao(frm.dm_.cdsKOVA, c));
          return p;
      }()) {}

TPreenchimento::TPreenchimento(TfrmDigitar& frm, std::vector<int> posicoes)
    : frm_(frm), anterior_(frm.preenchimento_), aVir_(std::move(posicoes)) {
    porVir_.assign(size_t(frm_.dm_.cdsKOVA.FieldCount()), 0);
    for (int p : aVir_) {
        if (p >= 0 && size_t(p) < porVir_.size()) ++porVir_[size_t(p)];
    }
    frm_.preenchimento_ = this;
}

TPreenchimento::~TPreenchimento() { frm_.preenchimento_ = anterior_; }

const std::vector<int>& TPreenchimento::Lidos(const TField& campo) const {
    return frm_.PosicoesLidas(campo).posicoes;
}

bool TPreenchimento::AindaVem(const std::vector<int>& lidos) const {
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
    Preenchido(Posicao(frm_.dm_.cdsKOVA, campo));
}

void TPreenchimento::Preenchido(int posicao) {
    // Of a field filled twice only the last filling is awaited.
    if (auto it = std::find(aVir_.begin(), aVir_.end(), posicao); it != aVir_.end()) {
        if (posicao >= 0 && size_t(posicao) < porVir_.size() && porVir_[size_t(posicao)] > 0)
            --porVir_[size_t(posicao)];
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
