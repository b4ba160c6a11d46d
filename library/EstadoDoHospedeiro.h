#pragma once
// What a call of the library must leave in the host's process as it found it. Making the Qt
// application sets the C library's locale to the environment's (a host that printed 1234.5 as
// "1234.50" would print "1234,50" under pt_BR from then on), and the print system ignores SIGPIPE
// for good on its first use. Neither is the library's to change.

#include <signal.h>

#include <array>
#include <string>

namespace kova {

// Notes the locale of every category and the disposition of every signal when made, and puts back
// whatever differs when it goes. In between SIGPIPE is ignored: a print queue that drops its
// connection fails the print instead of ending the host. Locale and dispositions belong to the
// whole process: what another of the host's threads changes while such a call runs is put back too.
class TEstadoDoHospedeiro {
public:
    TEstadoDoHospedeiro();
    ~TEstadoDoHospedeiro();
    TEstadoDoHospedeiro(const TEstadoDoHospedeiro&) = delete;
    TEstadoDoHospedeiro& operator=(const TEstadoDoHospedeiro&) = delete;

private:
    std::string localidade_;
    std::array<struct sigaction, NSIG> sinais_{};
    std::array<bool, NSIG> anotado_{};
};

}  // namespace kova
