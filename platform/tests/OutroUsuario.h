#pragma once
// Runs part of a test in a child process as another ordinary user, as someone else on the same
// machine would act. Permissions do not stop the superuser (the tests run as root in CI): there the
// child takes the user's identity; run by an ordinary user, it stays that user.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <string>

namespace kova::teste {

// "nobody", which every Debian machine has; and a number no user of the machine has.
inline constexpr uid_t kNinguem = 65534;
inline constexpr uid_t kSemCadastro = 65533;

inline bool PodeTrocarDeUsuario() { return ::geteuid() == 0; }

// Runs corpo in a child process (as user `uid` when this process may change users) and gives back
// what it returned: empty for success, otherwise what went wrong.
template <typename F>
std::string NoFilho(F&& corpo, uid_t uid = kNinguem) {
    int canal[2];
    if (::pipe(canal) != 0) return "pipe";
    const pid_t filho = ::fork();
    if (filho == 0) {
        ::close(canal[0]);
        std::string relato;
        try {
            if (PodeTrocarDeUsuario() &&
                (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0)) {
                relato = "não foi possível trocar de usuário";
            } else {
                relato = corpo();
            }
        } catch (const std::exception& e) {
            relato = std::string("exceção: ") + e.what();
        }
        if (::write(canal[1], relato.data(), relato.size()) < 0) ::_exit(2);
        ::_exit(0);
    }
    ::close(canal[1]);
    std::string relato;
    char bloco[512];
    for (ssize_t n; (n = ::read(canal[0], bloco, sizeof bloco)) > 0;)
        relato.append(bloco, size_t(n));
    ::close(canal[0]);
    int estado = 0;
    ::waitpid(filho, &estado, 0);
    if (!WIFEXITED(estado) || WEXITSTATUS(estado) != 0)
        relato += " (o processo filho terminou mal)";
    return relato;
}

}  // namespace kova::teste
