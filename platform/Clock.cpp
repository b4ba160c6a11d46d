#include "Clock.h"

#include <ctime>

namespace kova {

std::optional<TDateTime> Clock::fixed_;

TDateTime Clock::Now() {
    if (fixed_) return *fixed_;
    // Local wall-clock time: the slips speak of the user's day, not of UTC.
    std::time_t t = std::time(nullptr);
    // The calendar of a second is worked out once: slips ask for the date many times a second.
    thread_local std::time_t segundo = -1;
    thread_local std::tm local{};
    if (t != segundo) {
#ifdef _WIN32
        localtime_s(&local, &t);
#else
        localtime_r(&t, &local);
#endif
        segundo = t;
    }
    auto agora = std::chrono::system_clock::now();
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(agora.time_since_epoch()) % 1000;
    return MakeDateTime(local.tm_year + 1900, unsigned(local.tm_mon + 1), unsigned(local.tm_mday),
                        unsigned(local.tm_hour), unsigned(local.tm_min),
                        unsigned(local.tm_sec > 59 ? 59 : local.tm_sec)) +
           ms;
}

TDate Clock::Today() { return DateOf(Now()); }

void Clock::Set(TDateTime moment) { fixed_ = moment; }

void Clock::Reset() { fixed_.reset(); }

}  // namespace kova
