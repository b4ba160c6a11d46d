#include "Espera.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace kova {

namespace {

using Relogio = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kMaiorPausa{20};

std::atomic<long long> esperaMaxima{kEsperaMaxima.count()};

thread_local bool temPrazo = false;
thread_local Relogio::time_point prazo;

Relogio::time_point FimDeUmaEspera() {
    return Relogio::now() + std::chrono::milliseconds(esperaMaxima.load());
}

}  // namespace

TEspera::TEspera() : fim_(FimDeUmaEspera()) {
    if (temPrazo) fim_ = std::min(fim_, prazo);
}

bool TEspera::Pausa() {
    const Relogio::time_point agora = Relogio::now();
    if (agora >= fim_) return false;
    std::this_thread::sleep_for(std::min<Relogio::duration>(pausa_, fim_ - agora));
    pausa_ = std::min(pausa_ * 2, kMaiorPausa);
    return true;
}

void IniciaPrazoDaChamada() {
    if (temPrazo) return;
    prazo = FimDeUmaEspera();
    temPrazo = true;
}

void EncerraPrazoDaChamada() { temPrazo = false; }

void DefineEsperaMaxima(std::chrono::milliseconds espera) { esperaMaxima = espera.count(); }

}  // namespace kova
