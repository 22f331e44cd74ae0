// quorvane-render: draws one chryzode, or one per multiplier, into picture
// files from the command line, at any size the memory allows, with no display.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <allegro.h>

#include "ending.h"
#include "film.h"
#include "options.h"
#include "poster.h"
#include "progress.h"

namespace {

// --help and --version on a full disk or a closed pipe fail as any write.
int flushed_stdout()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail(1, std::string("cannot write standard output: ") + std::strerror(errno));
    return 0;
}

// A run stopped by a signal ends the progress line and leaves no film.
void last_words()
{
    end_progress_line();
    remove_unfinished_film();
}

}

int main(int argc, char** argv)
{
    // A stopped run leaves no temporary file and ends as the signal asks,
    // for the shell to see; past a file size limit, writes fail and are
    // reported like any other.
    end_on_signals(last_words);
    std::signal(SIGXFSZ, SIG_IGN);
    render_options options;
    try {
        switch (parse_options(argc, argv, options)) {
        case action::help:
            print_help(stdout);
            return flushed_stdout();
        case action::print_settings:
            std::fputs(settings_text({options.figure, options.w, options.h}).c_str(), stdout);
            return flushed_stdout();
        case action::version:
            std::printf("quorvane-render %s\n", QUORVANE_VERSION);
            return flushed_stdout();
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
    take_fault_signals();
    set_color_depth(32);
    return make_poster(options);
}
