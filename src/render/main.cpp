// quorvane-render: draws one chryzode, or one per multiplier, into picture
// files from the command line, at any size the memory allows, with no display.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <allegro.h>

#include "options.h"
#include "picture_file.h"
#include "poster.h"

namespace {

extern "C" void interrupted(int sig)
{
    remove_unfinished_picture();
    _exit(128 + sig);
}

// An interrupted run leaves no temporary file behind; past a file size
// limit, writes fail and are reported like any other.
void handle_signals()
{
    struct sigaction action = {};
    action.sa_handler = interrupted;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
}

}

int main(int argc, char** argv)
{
    render_options options;
    try {
        switch (parse_options(argc, argv, options)) {
        case action::help:
            print_help(stdout);
            return 0;
        case action::version:
            std::printf("quorvane-render %s\n", QUORVANE_VERSION);
            return 0;
        case action::render:
            break;
        }
    } catch (const usage_error& e) {
        return fail(2, e.what());
    }
    if (options.to_stdout && isatty(STDOUT_FILENO))
        return fail(2, "-o -: standard output is a terminal, not a picture file");
    // The "none" system driver: memory bitmaps only, no display needed.
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return fail(1, "cannot start Allegro");
    handle_signals();
    set_color_depth(32);
    return make_poster(options);
}
