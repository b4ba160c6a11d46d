#pragma once
// The controls of this module in their current look (comctl32 6: list views, themed
// buttons). A host program chooses the look of its own windows; a DLL cannot, so this module
// carries a manifest of its own (ContextoVisual.rc) and activates it around the windows it makes.
//
// A ContextoVisual activates that manifest for the thread for as long as it lives: make one on
// the stack around the creation of a window and of its controls (a dialog's whole modal run).
// Objects nest; they must end in the order opposite to their start, on the thread that made them,
// as stack objects do. Without the manifest (a module linked without ContextoVisual.rc) the
// controls are the system's older ones and everything still works.

#include <cstdint>

namespace kova {

class ContextoVisual {
public:
    ContextoVisual();
    ~ContextoVisual();
    ContextoVisual(const ContextoVisual&) = delete;
    ContextoVisual& operator=(const ContextoVisual&) = delete;

    // Whether the manifest was found and is active.
    bool Ativo() const { return ativo_; }

    // The module (DLL or program) this code was linked into: the owner of its resources and of
    // the dialogs it shows.
    static void* Modulo();

private:
    std::uintptr_t cookie_ = 0;
    bool ativo_ = false;
};

}  // namespace kova
