// Runs a program and makes one of its writes fail, once, as a disk that reports an error for one
// request and serves the next ones: the N-th write (counting from 1, in any of its threads) into a
// file whose path holds TRECHO gets EIO, and every other call goes on as it would:
//
//   kova_falha_na_escrita RELATO TRECHO N programa [argumentos...]
//
// RELATO receives "escritas=<writes into such files> falhou=<1|0>"; with N = 0 nothing fails and
// the writes are counted. The exit status is the program's (128 + the signal when one ended it);
// 77 where the failure cannot be made (a processor this tool does not know). The failure comes
// from the tracer (ptrace), not from anything inside the program, so the program under test is
// the one that ships.

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

bool EhEscrita(long nr) {
    return nr == SYS_write || nr == SYS_pwrite64 || nr == SYS_writev || nr == SYS_pwritev ||
           nr == SYS_pwritev2;
}

std::string CaminhoDe(pid_t tarefa, unsigned long long fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/fd/%llu", int(tarefa), fd);
    char alvo[PATH_MAX];
    const ssize_t n = ::readlink(link, alvo, sizeof alvo - 1);
    return n > 0 ? std::string(alvo, size_t(n)) : std::string();
}

#if defined(__x86_64__)
// At the entry of the call: it is not made. At its exit: it answers EIO.
bool Anula(pid_t tarefa) {
    user_regs_struct r{};
    if (ptrace(PTRACE_GETREGS, tarefa, nullptr, &r) != 0) return false;
    r.orig_rax = static_cast<unsigned long long>(-1);
    return ptrace(PTRACE_SETREGS, tarefa, nullptr, &r) == 0;
}
bool RespondeEIO(pid_t tarefa) {
    user_regs_struct r{};
    if (ptrace(PTRACE_GETREGS, tarefa, nullptr, &r) != 0) return false;
    r.rax = static_cast<unsigned long long>(-EIO);
    return ptrace(PTRACE_SETREGS, tarefa, nullptr, &r) == 0;
}
constexpr bool kSabeFalhar = true;
#else
bool Anula(pid_t) { return false; }
bool RespondeEIO(pid_t) { return false; }
constexpr bool kSabeFalhar = false;
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "uso: %s RELATO TRECHO N PROGRAMA [ARGUMENTOS...]\n", argv[0]);
        return 2;
    }
    const std::string trecho = argv[2];
    const int alvo = std::atoi(argv[3]);
    if (alvo > 0 && !kSabeFalhar) return 77;
    const pid_t filho = fork();
    if (filho < 0) return 2;
    if (filho == 0) {
        // The leak checker of sanitizer builds cannot run under a tracer.
        std::string opcoes = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        opcoes += opcoes.empty() ? "detect_leaks=0" : ":detect_leaks=0";
        setenv("ASAN_OPTIONS", opcoes.c_str(), 1);
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0 || raise(SIGSTOP) != 0) _exit(126);
        execvp(argv[4], argv + 4);
        _exit(127);
    }
    int estado = 0;
    if (waitpid(filho, &estado, 0) != filho || !WIFSTOPPED(estado)) return 2;
    ptrace(PTRACE_SETOPTIONS, filho, nullptr,
           PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL | PTRACE_O_TRACEEXEC | PTRACE_O_TRACECLONE);
    ptrace(PTRACE_SYSCALL, filho, nullptr, 0);
    int escritas = 0;
    bool falhou = false;
    int fim = 2;
    std::set<pid_t> aguardandoSaida;  // the tasks whose call was not made and must answer EIO
    for (;;) {
        const pid_t tarefa = waitpid(-1, &estado, __WALL);
        if (tarefa < 0) break;  // no task left
        if (WIFEXITED(estado) || WIFSIGNALED(estado)) {
            if (tarefa == filho)
                fim = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
            continue;
        }
        if (!WIFSTOPPED(estado)) continue;
        int sinal = 0;
        if (WSTOPSIG(estado) == (SIGTRAP | 0x80)) {
            __ptrace_syscall_info info{};
            if (ptrace(PTRACE_GET_SYSCALL_INFO, tarefa, sizeof info, &info) > 0) {
                if (info.op == PTRACE_SYSCALL_INFO_ENTRY &&
                    EhEscrita(static_cast<long>(info.entry.nr)) &&
                    CaminhoDe(tarefa, info.entry.args[0]).find(trecho) != std::string::npos &&
                    ++escritas == alvo && Anula(tarefa)) {
                    aguardandoSaida.insert(tarefa);
                } else if (info.op == PTRACE_SYSCALL_INFO_EXIT && aguardandoSaida.erase(tarefa)) {
                    falhou = RespondeEIO(tarefa);
                }
            }
        } else if ((estado >> 16) == 0 && WSTOPSIG(estado) != SIGSTOP) {
            // An ordinary signal goes on to the program; the stops of a new thread or program do
            // not.
            sinal = WSTOPSIG(estado);
        }
        ptrace(PTRACE_SYSCALL, tarefa, nullptr, sinal);
    }
    if (FILE* relato = std::fopen(argv[1], "w")) {
        std::fprintf(relato, "escritas=%d falhou=%d\n", escritas, falhou ? 1 : 0);
        std::fclose(relato);
    }
    return fim;
}
