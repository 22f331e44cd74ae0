// Quorvane, a chryzode explorer.
#include <cstdio>
#include <cstring>

#include "gui.h"

namespace {

const char usage[] =
    "Usage: quorvane [FILE | --help | --version]\n"
    "Explores chryzodes in a window: figures drawn by the crossings of the chords\n"
    "of a multiplication on a circle. It needs an X display. With FILE, a picture\n"
    "Quorvane saved as PNG or a settings file, it starts on the figure FILE holds.\n"
    "\n"
    "Keys in the window:\n"
    "  Alt+F, Alt+C, Alt+Z, Alt+H  the File, Chryzode, Zoom and Help menus\n"
    "  Ctrl+N, Ctrl+R  New chryzode, Rerender\n"
    "  Ctrl+S, Ctrl+Q  Save image as, Quit\n"
    "  Right, Left     n + 1, n - 1 (Shift: by 0.01 in complete mode)\n"
    "  Up, Down        m + 1, m - 1 (Shift: by 100)\n"
    "  Space           start, pause and resume the animation of n\n"
    "  h               hide or show the menu bar and the status bar\n"
    "  Escape          close a menu or a dialog; stop a computation or the animation\n"
    "\n"
    "quorvane-render draws the same pictures into files from the command line\n"
    "(quorvane-render --help).\n";

bool is(const char* arg, const char* short_form, const char* long_form)
{
    return !std::strcmp(arg, short_form) || !std::strcmp(arg, long_form);
}

}

int main(int argc, char** argv)
{
    if (argc == 2 && is(argv[1], "-V", "--version")) {
        std::printf("quorvane %s\n", QUORVANE_VERSION);
        return 0;
    }
    if (argc == 2 && is(argv[1], "-h", "--help")) {
        std::fputs(usage, stdout);
        return 0;
    }
    figure_settings opened;
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "quorvane: %s: unknown argument (see --help)\n", argv[argc - 1]);
        return 2;
    }
    if (argc == 2 && !read_start_settings(argv[1], opened))
        return 2;
    if (!start_up())
        return 1;
    if (argc == 2)
        open_figure(opened);
    run_main_dialog();
    shut_down();
    return 0;
}
END_OF_MAIN()
