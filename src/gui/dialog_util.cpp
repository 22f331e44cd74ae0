// What the commands share: the model, modal dialogs and alerts that the
// close button ends, the status line, number fields.
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
    // do_dialog's own loop, which also looks at the close button.
    DIALOG_PLAYER* player = init_dialog(dialog, focus);
    while (update_dialog(player))
        if (close_button_clicked)
            end_program();
    return shutdown_dialog(player);
}

int modal_alert(const char* s1, const char* s2, const char* s3, const char* b1, const char* b2, int c1, int c2)
{
    const int button = alert(s1, s2, s3, b1, b2, c1, c2);
    if (close_button_clicked)
        end_program();
    return button;
}

int modal_file_select(const char* message, char* path, const char* ext, int size, int w, int h)
{
    const int chosen = file_select_ex(message, path, ext, size, w, h);
    if (close_button_clicked)
        end_program();
    return chosen;
}

// The text, cut in the middle to "..." when it is too wide for an alert on
// this screen.
std::string fit_alert(const std::string& text)
{
    // An alert is its widest line and a margin on either side.
    const int room = SCREEN_W - 64;
    const char* s = text.c_str();
    const int chars = ustrlen(s);
    for (int keep = chars; keep > 0; --keep) {
        const int head = keep / 2, tail = keep - head;
        const std::string fitted = keep == chars ? text
                                                 : std::string(s, std::size_t(uoffset(s, head))) + "..." +
                                                       std::string(s + uoffset(s, chars - tail));
        if (text_length(font, fitted.c_str()) <= room)
            return fitted;
    }
    return "...";
}

void show_status()
{
    uszprintf(status_text, sizeof status_text, "%s", current_status().c_str());
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
    modal_alert("This figure is too large.", need, have, "OK", nullptr, 0, 0);
}

namespace {

constexpr int title_entry = 1;   // of every command dialog

// The alert of a refused field under the dialog's title, the dialog still
// on screen behind it: what is wrong with the text, then the field's rule.
void refuse(const DIALOG* dialog, const number_field& field, verdict why)
{
    const char* text = static_cast<const char*>(dialog[field.entry].dp);
    const char* label = field.label;
    char line[256];
    switch (why) {
    case verdict::not_a_number:
        if (*text)
            uszprintf(line, sizeof line, "%s is not a number: %s", label, text);
        else
            uszprintf(line, sizeof line, "%s is empty: it needs a number.", label);
        break;
    case verdict::not_whole: uszprintf(line, sizeof line, "%s = %s is not a whole number.", label, text); break;
    case verdict::out_of_range: uszprintf(line, sizeof line, "%s = %s is out of range.", label, text); break;
    case verdict::needs_complete: uszprintf(line, sizeof line, "%s = %s: decimals need complete mode.", label, text); break;
    case verdict::unreachable: uszprintf(line, sizeof line, "%s = %s is never reached by the step.", label, text); break;
    case verdict::too_long:
        uszprintf(line, sizeof line, "%s takes at most %d characters.", label, dialog[field.entry].d1 - 1);
        break;
    case verdict::excluded:
    case verdict::taken: uszprintf(line, sizeof line, "%s cannot be %s.", label, text); break;
    }
    modal_alert(static_cast<const char*>(dialog[title_entry].dp), line, field.rule, "OK", nullptr, 0, 0);
}

// The first shown field whose text the field refuses, or null.
const number_field* first_refused(DIALOG* dialog, const std::vector<number_field>& fields, const void* context,
                                  verdict& why)
{
    for (const number_field& field : fields) {
        const DIALOG& entry = dialog[field.entry];
        const char* text = static_cast<const char*>(entry.dp);
        why = field.judge(text, context);
        // A full field may hold the start of a longer text: whatever it
        // holds, it is not taken.
        if (why == verdict::taken && ustrlen(text) >= entry.d1)
            why = verdict::too_long;
        if (!(entry.flags & D_HIDDEN) && why != verdict::taken)
            return &field;
    }
    return nullptr;
}

}

int run_number_dialog(DIALOG* dialog, const std::vector<number_field>& fields, const void* context,
                      int (*run)(DIALOG*, int))
{
    for (int focus = -1;;) {
        const int exit = run(dialog, focus);
        verdict why;
        const number_field* refused = exit == ok_entry ? first_refused(dialog, fields, context, why) : nullptr;
        if (!refused)
            return exit;
        refuse(dialog, *refused, why);
        focus = refused->entry;
    }
}

BITMAP* create_view_bitmap(int w, int h)
{
    // create_bitmap at 32 bits rather than create_bitmap_ex, which the tests'
    // refusals of bitmaps would not see.
    const int depth = get_color_depth();
    set_color_depth(32);
    BITMAP* bitmap = create_bitmap(w, h);
    set_color_depth(depth);
    return bitmap;
}

int d_shortcut_proc(int msg, DIALOG* d, int)
{
    const MENU& item = *static_cast<const MENU*>(d->dp);
    return msg == MSG_KEY && !(item.flags & D_DISABLED) ? item.proc() : D_O_K;
}
