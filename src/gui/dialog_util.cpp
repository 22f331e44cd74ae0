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
}

void redraw_main()
{
    broadcast_dialog_message(MSG_DRAW, 0);
}

void report_out_of_memory()
{
    const unsigned long long mb = 1024 * 1024;
    char need[128], have[128];
    uszprintf(need, sizeof need, "It needs %llu MB of memory,", the_model().calcul_bytes() / mb);
    uszprintf(have, sizeof have, "and %llu MB are available.", available_memory() / mb);
    alert("This figure is too large.", need, have, "OK", nullptr, 0, 0);
}
