// The end of the program when it is told to stop from outside: SIGTERM,
// SIGINT or SIGHUP, or the X display gone.
//
// Allegro's own signal handlers run allegro_exit on whatever thread the
// signal reaches, and Xlib's default reaction to a lost display calls exit,
// whose atexit handlers run allegro_exit too, on Allegro's X thread. Either
// tears the library down while the main thread draws: crashes and dead locks.
// So these signals are blocked in every thread and taken by a thread of our
// own, and a lost display ends the process at once; neither path calls
// Allegro or Xlib, nor runs the atexit handlers.
#include <csignal>
#include <cstring>
#include <thread>

#include <pthread.h>
#include <unistd.h>
#include <X11/Xlib.h>

#include "gui.h"
#include "picture_file.h"

namespace {

sigset_t ending_signals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// Ends the process as the signal's default action would.
[[noreturn]] void die_of(int sig)
{
    remove_unfinished_picture();
    std::signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig);
}

void take_ending_signals()
{
    const sigset_t set = ending_signals();
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
    die_of(sig);
}

int display_lost(Display*)
{
    remove_unfinished_picture();
    const char message[] = "quorvane: the connection to the X display was lost\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

}

void end_on_signals_and_display_loss()
{
    // Threads started from here on, Allegro's and the worker, inherit the mask.
    const sigset_t set = ending_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(take_ending_signals).detach();
    // A write to a closed X connection must come back as an error for Xlib
    // to see, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    XSetIOErrorHandler(display_lost);
}
