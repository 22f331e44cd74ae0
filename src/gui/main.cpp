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
    "Keys in the window (Help > Keys):\n";
const char usage_end[] =
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
        std::fputs(window_keys_text("  ").c_str(), stdout);
        std::fputs(usage_end, stdout);
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
