#pragma once
// The state of a window's controls without a display: every named control in creation order with
// its kind, bound field, enabled and visible flags, caption, hint, list entries, chosen position
// and colour, plus which control has the focus. Screen rules act on this model; a toolkit view
// mirrors it into real widgets (it hears every change through OnChange) and feeds the person's
// input back.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "NomesLembrados.h"

namespace kova {

enum class TControlKind {
    Edit,         // data-bound edit box
    LookupCombo,  // data-bound lookup list
    ComboBox,     // drop-down list
    Button,
    Label,
    Panel,
    Group,
    Tab,
    Grid,
    Navigator,
    Other,
};

enum class TColor { Window, ButtonFace };

struct TControlState {
    std::string name;
    TControlKind kind = TControlKind::Other;
    std::string field;   // bound field, for data-bound controls
    std::string parent;  // containing control, "" for the window itself
    bool enabled = true;
    bool visible = true;
    std::string caption;
    std::string hint;
    std::vector<std::string> items;
    int itemIndex = -1;
    TColor color = TColor::Window;
    int left = 0;
    int width = 0;
};

class TControlModel {
public:
    using TChange = std::function<void(const TControlState&)>;

    TControlState& Add(TControlState state);
    // Throws std::out_of_range for an unknown name.
    TControlState& Get(std::string_view name) {
        TControlState* c = Find(name);
        if (!c) ControleInexistente(name);
        return *c;
    }
    const TControlState& Get(std::string_view name) const {
        return const_cast<TControlModel*>(this)->Get(name);
    }
    TControlState* Find(std::string_view name) {
        // The screen rules name controls by literals: their address finds the control again.
        if (TControlState* c = lembrados_.Fixo(name)) return c;
        return Procura(name);
    }
    const std::vector<std::unique_ptr<TControlState>>& Controls() const { return controls_; }
    // Removes the controls created inside a container (the bank logos are made anew).
    void RemoveChildren(std::string_view parent);

    void SetEnabled(std::string_view name, bool enabled);
    void SetVisible(std::string_view name, bool visible);
    void SetItems(std::string_view name, std::vector<std::string> items, int index = -1);
    void SetItemIndex(std::string_view name, int index);
    void SetCaption(std::string_view name, std::string caption);
    void SetColor(std::string_view name, TColor color);
    // Visible itself and inside visible containers.
    bool Showing(std::string_view name) const;
    // Gives the focus when the control is showing and enabled; false otherwise.
    bool SetFocus(std::string_view name);
    const std::string& Focused() const { return focused_; }

    TChange OnChange;
    std::function<void(const std::string&)> OnFocus;

private:
    void Changed(const TControlState& s);

    std::vector<std::unique_ptr<TControlState>> controls_;
    // Looked up by the names the screen rules write as literals, without making a string of them.
    struct HashNome {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, TControlState*, HashNome, std::equal_to<>> byName_;
    TNomesLembrados<TControlState, 10> lembrados_;
    TControlState* Procura(std::string_view name);
    [[noreturn]] static void ControleInexistente(std::string_view name);
    std::string focused_;
};

}  // namespace kova
