// quorvane-render: draws one chryzode into a BMP file from the command line,
// at any size the memory allows, with no display.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <allegro.h>

#include "options.h"
#include "poster.h"

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
    // The "none" system driver: memory bitmaps only, no display needed.
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return fail(1, "cannot start Allegro");
    set_color_depth(32);
    return make_poster(options);
}
