// A signal ends the program from a thread of its own, after the unfinished picture is removed.
#include "ending.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "picture_file.h"

namespace {

const int fault_signals[] = {SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGSEGV, SIGSYS};
// SIGPIPE is left to each program: it is what stops a writer into a closed pipe.
const int outside_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                               SIGPROF, SIGXCPU, SIGIO, SIGPWR, SIGSTKFLT};

void (*words)() = nullptr;
pthread_t ender;
struct sigaction fault_handlers[SIGSYS + 1];

// Everything the ending thread takes; sets it in what.
void ending_set(sigset_t& what, bool with_faults)
{
    sigemptyset(&what);
    for (int sig : outside_signals)
        sigaddset(&what, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        sigaddset(&what, sig);
    if (with_faults)
        for (int sig : fault_signals)
            sigaddset(&what, sig);
}

[[noreturn]] void die_of(int sig)
{
    remove_unfinished_picture();
    if (words)
        words();
    signal(sig, SIG_DFL);
    sigset_t just;
    sigemptyset(&just);
    sigaddset(&just, sig);
    pthread_sigmask(SIG_UNBLOCK, &just, nullptr);
    raise(sig);
    _exit(128 + sig);
}

void take_signals()
{
    sigset_t taken;
    ending_set(taken, true);
    pthread_sigmask(SIG_BLOCK, &taken, nullptr);
    int sig = 0;
    while (sigwait(&taken, &sig) != 0) {
    }
    die_of(sig);
}

// A fault signal sent on purpose goes to the ending thread; a real fault, on
// its way back to the instruction, finds the handler it had before.
extern "C" void fault_signal(int sig, siginfo_t* info, void*)
{
    if (info->si_code <= 0)
        pthread_kill(ender, sig);
    else
        sigaction(sig, &fault_handlers[sig], nullptr);
}

}

void end_on_signals(void (*last_words)())
{
    words = last_words;
    sigset_t outside;
    ending_set(outside, false);
    pthread_sigmask(SIG_BLOCK, &outside, nullptr);
    std::thread thread(take_signals);
    ender = thread.native_handle();
    thread.detach();
}

void take_fault_signals()
{
    struct sigaction action = {};
    action.sa_sigaction = fault_signal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int sig : fault_signals)
        sigaction(sig, &action, &fault_handlers[sig]);
}
