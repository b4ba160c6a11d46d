#pragma once
// The one clock of the system. Every rule asks it for today and now instead of reading the
// system clock, so that tests (and nothing else) can fix the moment.

#include <optional>

#include "Conversoes.h"

namespace kova {

class Clock {
public:
    static TDate Today();
    static TDateTime Now();
    // Fixes the moment returned by Today and Now until Reset.
    static void Set(TDateTime moment);
    static void Reset();

private:
    static std::optional<TDateTime> fixed_;
};

}  // namespace kova
