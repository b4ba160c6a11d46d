#pragma once
// How long a program waits for what another program holds in the data directory (its locks, a
// table file in the middle of a save) before it gives up with "o arquivo está em uso por outro
// programa". Every such wait is bounded: a program stopped in the middle of a save, or someone
// holding a lock on purpose, makes the others fail with that message instead of hanging them, a
// library host's threads included.

#include <chrono>

namespace kova {

// Generous: a load holds the directory for milliseconds and a save of the slips file for
// milliseconds more; the longest holds (a slips file of 300,000 slips written whole, a removal of
// all of them) take a second or two, three times that on a loaded machine.
inline constexpr std::chrono::milliseconds kEsperaMaxima{10000};
inline constexpr const char* kEmUsoPorOutroPrograma = "o arquivo está em uso por outro programa";

// The tries of something another program holds. Pausa() sleeps a little (longer as the wait goes
// on, up to a fiftieth of a second) and is false, without sleeping, once the wait's deadline has
// passed; a last try follows the sleep that reaches it. The deadline is kEsperaMaxima after the
// start of the wait, or the deadline of the thread's call when that comes first.
class TEspera {
public:
    TEspera();
    bool Pausa();

private:
    std::chrono::steady_clock::time_point fim_;
    std::chrono::milliseconds pausa_{1};
};

// For the length of a library call: the waits of this thread end one bound after the call began,
// however long the call waited for its turn behind other threads' calls, so every call of a host's
// threads answers within the bound. Not nested: the first one on a thread holds until it ends.
void IniciaPrazoDaChamada();
void EncerraPrazoDaChamada();

// Tests only: the bound of every wait (kEsperaMaxima unless set).
void DefineEsperaMaxima(std::chrono::milliseconds espera);

}  // namespace kova
