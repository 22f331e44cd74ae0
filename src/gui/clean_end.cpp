// The end of the program when it is told to stop from outside: a signal
// whose default action ends a process, the X display gone, or the window's
// close button while a dialog of its own is open.
//
// Allegro's own signal handlers run allegro_exit on whatever thread the
// signal reaches, and Xlib's default reaction to a lost display calls exit,
// whose atexit handlers run allegro_exit too, on Allegro's X thread. Either
// tears the library down while the main thread draws: crashes and dead locks.
// So these signals are blocked in every thread and taken by a thread of our
// own, and a lost display ends the process at once; neither path calls
// Allegro or Xlib, nor runs the atexit handlers.
#include <csignal>

#include <unistd.h>
#include <X11/Xlib.h>

#include "ending.h"
#include "gui.h"
#include "picture_file.h"

namespace {

int display_lost(Display*)
{
    remove_unfinished_picture();
    const char message[] = "quorvane: the connection to the X display was lost\n";
    // When even this cannot be written, nothing more can be done.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

}

void end_on_signals_and_display_loss()
{
    end_on_signals();
    // A write to a closed X connection must come back as an error for Xlib
    // to see, not end the process; a picture past the file size limit is
    // reported as any failed save.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    XSetIOErrorHandler(display_lost);
}

// Allegro calls this on its X thread. The main loop sees the flag only while
// the main window is the active dialog: a modal dialog, an alert or the file
// selector runs a loop of its own, so then the program ends here, as on a
// signal. A picture being saved is the main window's work, done before the
// main loop looks at the flag again.
void close_button_callback()
{
    if (__atomic_load_n(&active_dialog, __ATOMIC_ACQUIRE) != main_dialog) {
        remove_unfinished_picture();
        _exit(0);
    }
    close_button_clicked = 1;
}
