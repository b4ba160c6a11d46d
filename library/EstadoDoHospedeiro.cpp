#include "EstadoDoHospedeiro.h"

#include <clocale>

namespace kova {
namespace {

bool Iguais(const struct sigaction& a, const struct sigaction& b) {
    if (a.sa_handler != b.sa_handler || a.sa_flags != b.sa_flags) return false;
    for (int s = 1; s < NSIG; ++s) {
        if (sigismember(&a.sa_mask, s) != sigismember(&b.sa_mask, s)) return false;
    }
    return true;
}

}  // namespace

TEstadoDoHospedeiro::TEstadoDoHospedeiro() {
    // All categories at once: glibc names each one when they differ, in a form it takes back.
    if (const char* l = std::setlocale(LC_ALL, nullptr)) localidade_ = l;
    // Those the system reserves or will not let change answer with an error and are left out.
    for (int s = 1; s < NSIG; ++s)
        anotado_[size_t(s)] = sigaction(s, nullptr, &sinais_[size_t(s)]) == 0;
    if (anotado_[SIGPIPE] && sinais_[SIGPIPE].sa_handler != SIG_IGN) {
        struct sigaction ignorado {};
        ignorado.sa_handler = SIG_IGN;
        sigemptyset(&ignorado.sa_mask);
        sigaction(SIGPIPE, &ignorado, nullptr);
    }
}

TEstadoDoHospedeiro::~TEstadoDoHospedeiro() {
    for (int s = 1; s < NSIG; ++s) {
        struct sigaction agora {};
        if (anotado_[size_t(s)] && sigaction(s, nullptr, &agora) == 0 &&
            !Iguais(agora, sinais_[size_t(s)])) {
            sigaction(s, &sinais_[size_t(s)], nullptr);
        }
    }
    const char* agora = std::setlocale(LC_ALL, nullptr);
    if (!localidade_.empty() && (!agora || localidade_ != agora)) {
        std::setlocale(LC_ALL, localidade_.c_str());
    }
}

}  // namespace kova
