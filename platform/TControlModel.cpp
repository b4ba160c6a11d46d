#include "TControlModel.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "Texto.h"

namespace kova {

TControlState& TControlModel::Add(TControlState state) {
    if (Find(state.name)) throw std::logic_error("duplicate control " + state.name);
    controls_.push_back(std::make_unique<TControlState>(std::move(state)));
    byName_[controls_.back()->name] = controls_.back().get();
    return *controls_.back();
}

TControlState* TControlModel::Procura(std::string_view name) {
    if (TControlState* c = lembrados_.Conferido(
            name, [](const TControlState& s) -> const std::string& { return s.name; }))
        return c;
    auto it = byName_.find(name);
    if (it == byName_.end()) return nullptr;
    lembrados_.Guarda(name, it->second, TextoFixo(name.data()));
    return it->second;
}

void TControlModel::ControleInexistente(std::string_view name) {
    throw std::out_of_range("no control " + std::string(name));
}

void TControlModel::RemoveChildren(std::string_view parent) {
    lembrados_.Esquece();
    for (const auto& c : controls_) {
        if (c->parent == parent) byName_.erase(c->name);
    }
    controls_.erase(std::remove_if(controls_.begin(), controls_.end(),
                                   [&](const auto& c) { return c->parent == parent; }),
                    controls_.end());
}

void TControlModel::Changed(const TControlState& s) {
    if (OnChange) OnChange(s);
}

void TControlModel::SetEnabled(std::string_view name, bool enabled) {
    TControlState& c = Get(name);
    if (c.enabled == enabled) return;
    c.enabled = enabled;
    Changed(c);
}

void TControlModel::SetVisible(std::string_view name, bool visible) {
    TControlState& c = Get(name);
    if (c.visible == visible) return;
    c.visible = visible;
    Changed(c);
}

void TControlModel::SetItems(std::string_view name, std::vector<std::string> items, int index) {
    TControlState& c = Get(name);
    c.items = std::move(items);
    c.itemIndex = index;
    Changed(c);
}

void TControlModel::SetItemIndex(std::string_view name, int index) {
    TControlState& c = Get(name);
    if (c.itemIndex == index) return;
    c.itemIndex = index;
    Changed(c);
}

void TControlModel::SetCaption(std::string_view name, std::string caption) {
    TControlState& c = Get(name);
    if (c.caption == caption) return;
    c.caption = std::move(caption);
    Changed(c);
}

void TControlModel::SetColor(std::string_view name, TColor color) {
    TControlState& c = Get(name);
    if (c.color == color) return;
    c.color = color;
    Changed(c);
}

bool TControlModel::Showing(std::string_view name) const {
    std::string_view n = name;
    // Containers are few levels deep; the bound guards against a cycle in a bad layout.
    for (int depth = 0; !n.empty() && depth < 32; ++depth) {
        const TControlState& c = Get(n);
        if (!c.visible) return false;
        n = c.parent;
    }
    return true;
}

bool TControlModel::SetFocus(std::string_view name) {
    const TControlState& c = Get(name);
    if (!c.enabled || !Showing(name)) return false;
    focused_ = name;
    if (OnFocus) OnFocus(focused_);
    return true;
}

}  // namespace kova
