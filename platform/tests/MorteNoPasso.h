#pragma once
// Kills a child process at an exact point of its work, for crash tests that must not depend on
// timing. The child calls ComecaPassos() when the work to be killed begins; from there the parent
// traces it (ptrace) and counts its steps: the system calls that can change a file (opening for
// writing, writing, renaming, removing, truncating, syncing). MataNoPasso(filho, n) lets the child
// run up to its n-th step and kills it with SIGKILL just before the call is made. On disk nothing
// changes between two steps, so a kill before every step and one after the last cover every state
// a kill -9 can leave, on a busy machine as on an idle one.
//
// Only the child's first thread is traced: the steps of threads it starts are not counted. A child
// forked from a test ends with _exit(); a program may also be started traced (see
// programs/tests/MataNoPasso.cpp).

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

namespace kova::teste {

// In the child: stops until the parent takes over, with every later step counted.
inline bool ComecaPassos() {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) return false;
    return raise(SIGSTOP) == 0;
}

// True for a system call that may change what a file holds or which files there are.
inline bool EhPasso(const __ptrace_syscall_info& info) {
    static const std::set<long> sempre = {
        SYS_write,     SYS_pwrite64, SYS_writev,    SYS_pwritev,  SYS_pwritev2, SYS_renameat,
        SYS_renameat2, SYS_unlinkat, SYS_ftruncate, SYS_truncate, SYS_fsync,    SYS_fdatasync,
        SYS_mkdirat,   SYS_linkat,   SYS_fallocate, SYS_fchmod,   SYS_fchmodat, SYS_symlinkat,
#ifdef SYS_rename
        SYS_rename,    SYS_unlink,   SYS_rmdir,     SYS_mkdir,    SYS_link,     SYS_creat,
        SYS_chmod,     SYS_symlink,
#endif
    };
    const long nr = static_cast<long>(info.entry.nr);
    if (sempre.count(nr)) return true;
    // Opening only for reading changes nothing.
    const auto escreve = [](unsigned long long flags) {
        return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
    };
    if (nr == SYS_openat) return escreve(info.entry.args[2]);
#ifdef SYS_open
    if (nr == SYS_open) return escreve(info.entry.args[1]);
#endif
    return false;
}

// What became of a traced child.
struct TFimDoPasso {
    bool morto = false;    // killed before the step asked for
    bool parado = false;   // stopped before the step asked for, still traced (ParaNoPasso)
    int passos = 0;        // steps made before the end (all of them when it was not killed)
    int estado = 0;        // the wait status when it ended by itself
    bool rastreou = true;  // false when the child could not be traced at all
};

// Takes over a child stopped in ComecaPassos() and kills it before its step n (n = 0: before the
// first); with n < 0, or n past its last step, it runs to its end and the steps are counted. With
// parar, the child is left stopped before step n instead, holding whatever it holds, until the
// caller kills it (a program frozen in the middle of its work).
inline TFimDoPasso MataNoPasso(pid_t filho, int n, bool parar = false) {
    TFimDoPasso fim;
    int estado = 0;
    if (waitpid(filho, &estado, 0) != filho || !WIFSTOPPED(estado)) {
        fim.rastreou = false;
        fim.estado = estado;
        return fim;
    }
    ptrace(PTRACE_SETOPTIONS, filho, nullptr,
           PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL | PTRACE_O_TRACEEXEC);
    int sinal = 0;
    for (;;) {
        if (ptrace(PTRACE_SYSCALL, filho, nullptr, sinal) != 0) break;
        sinal = 0;
        if (waitpid(filho, &estado, 0) != filho) break;
        if (WIFEXITED(estado) || WIFSIGNALED(estado)) {
            fim.estado = estado;
            return fim;
        }
        if (!WIFSTOPPED(estado)) continue;
        if (WSTOPSIG(estado) != (SIGTRAP | 0x80)) {
            // An ordinary signal is handed on to the child; the stop at a new program (exec) is not
            // a signal.
            const bool evento = (estado >> 16) != 0;
            sinal = evento || WSTOPSIG(estado) == SIGSTOP ? 0 : WSTOPSIG(estado);
            continue;
        }
        __ptrace_syscall_info info{};
        if (ptrace(PTRACE_GET_SYSCALL_INFO, filho, sizeof info, &info) <= 0) continue;
        if (info.op != PTRACE_SYSCALL_INFO_ENTRY || !EhPasso(info)) continue;
        if (fim.passos == n && parar) {
            fim.parado = true;
            return fim;
        }
        if (fim.passos == n) {
            kill(filho, SIGKILL);
            waitpid(filho, &estado, 0);
            fim.morto = true;
            fim.estado = estado;
            return fim;
        }
        ++fim.passos;
    }
    kill(filho, SIGKILL);
    waitpid(filho, &estado, 0);
    fim.rastreou = false;
    fim.estado = estado;
    return fim;
}

}  // namespace kova::teste
