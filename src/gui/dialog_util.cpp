#include <algorithm>

#include "chryzode.h"
#include "gui.h"
#include "memory.h"

Cchryzode& the_model()
{
    return *static_cast<Cchryzode*>(main_dialog[view_entry].dp2);
}

int run_dialog(DIALOG* dialog, int focus)
{
    set_dialog_color(dialog, gui_fg_color, gui_bg_color);
    centre_dialog(dialog);
    return do_dialog(dialog, focus);
}

void show_status()
{
    the_model().status(static_cast<char*>(main_dialog[status_bar_entry].dp));
    fit_status_bar();
}

void fit_status_bar()
{
    // The text box wraps its text to its width, counts the lines into d1 at
    // MSG_START, and shows (h - 8) / text_height lines with no scroll bar.
    constexpr int one_line = 20;
    DIALOG& bar = main_dialog[status_bar_entry];
    bar.w = SCREEN_W;
    bar.d2 = 0;
    object_message(&bar, MSG_START, 0);
    bar.h = std::max(one_line, bar.d1 * text_height(font) + 8);
    bar.y = SCREEN_H - bar.h;
}

void redraw_main()
{
    broadcast_dialog_message(MSG_DRAW, 0);
}

void report_out_of_memory(std::uint64_t bytes)
{
    const unsigned long long mb = 1024 * 1024;
    char need[128], have[128];
    uszprintf(need, sizeof need, "It needs %llu MB of memory,", bytes / mb);
    uszprintf(have, sizeof have, "and %llu MB are available.", available_memory() / mb);
    alert("This figure is too large.", need, have, "OK", nullptr, 0, 0);
}
