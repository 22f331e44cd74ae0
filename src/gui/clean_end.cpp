// The end of the program when it is told to stop from outside: a signal
// whose default action ends a process, the X display gone, or the window's
// close button.
//
// Allegro's own signal handlers run allegro_exit on whatever thread the
// signal reaches, and Xlib's default reaction to a lost display calls exit,
// whose atexit handlers run allegro_exit too, on Allegro's X thread. Either
// tears the library down while the main thread draws: crashes and dead locks.
// So these signals are blocked in every thread and taken by a thread of our
// own, and a lost display ends the process at once; neither path calls
// Allegro or Xlib, nor runs the atexit handlers.
#include <csignal>
#include <cstdlib>

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

// Allegro calls this on its X thread, which must touch nothing of the main
// thread's: it only raises the flag. Every modal loop of the program looks at
// it (run_dialog, modal_alert, modal_file_select) and so does the main loop.
// Allegro's own loops (alerts, the file selector, the menus) are closed by an
// Escape sent every few milliseconds once the flag is up.
void close_button_callback() { close_button_clicked = 1; }

namespace {

void send_escape_once_closing()
{
    if (close_button_clicked)
        simulate_keypress((KEY_ESC << 8) | 27);
}
END_OF_FUNCTION(send_escape_once_closing)

}

void watch_close_button()
{
    LOCK_FUNCTION(send_escape_once_closing);
    install_int(send_escape_once_closing, 20);
}

void end_program()
{
    stop_figure_work();
    delete &the_model();
    main_dialog[view_entry].dp = nullptr;
    main_dialog[view_entry].dp2 = nullptr;
    // Allegro's exit handler runs here, on the main thread.
    std::exit(0);
}
