// The New chryzode dialog, which sets the figure's parameters, and the
// Rerender command.
#include <initializer_list>

#include "chryzode.h"
#include "gui.h"

namespace {

// n takes decimals; m, r and zoom whole numbers.
constexpr int n_chars = 12, field_chars = 5;
constexpr int slot_size = edit_buffer_size(n_chars);
constexpr int n_slot = 0, m_slot = 1, r_slot = 2, zoom_slot = 3;

// Entries of new_dialog.
constexpr int r_label = 8, r_field = 9;
constexpr int from_root_button = 14, complete_button = 15, on_the_fly_button = 18, stored_button = 19;

}

// The texts of the four edit fields, one slot each.
char new_string[4 * slot_size];

DIALOG new_dialog[] = {
    /* proc           x    y    w    h    fg bg key flags       d1           d2 dp                                  dp2      dp3 */
    { d_box_proc,     0,   0,   400, 300, 0, 0, 0,  0,          0,           0, nullptr,                            nullptr, nullptr },
    { d_textbox_proc, 0,   0,   400, 16,  0, 0, 0,  0,          0,           0, (void*)"New chryzode",              nullptr, nullptr },
    { d_button_proc,  70,  260, 100, 20,  0, 0, 13, D_EXIT,     0,           0, (void*)"OK",                        nullptr, nullptr },
    { d_button_proc,  230, 260, 100, 20,  0, 0, 0,  D_EXIT,     0,           0, (void*)"Cancel",                    nullptr, nullptr },
    { d_text_proc,    30,  50,  30,  16,  0, 0, 0,  0,          0,           0, (void*)"n =",                       nullptr, nullptr },
    { d_edit_proc,    90,  50,  100, 16,  0, 0, 0,  0,          n_chars,     0, new_string + n_slot * slot_size,    nullptr, nullptr },
    { d_text_proc,    30,  100, 30,  16,  0, 0, 0,  0,          0,           0, (void*)"m =",                       nullptr, nullptr },
    { d_edit_proc,    90,  100, 50,  16,  0, 0, 0,  0,          field_chars, 0, new_string + m_slot * slot_size,    nullptr, nullptr },
    { d_text_proc,    30,  150, 30,  16,  0, 0, 0,  0,          0,           0, (void*)"r =",                       nullptr, nullptr },
    { d_edit_proc,    90,  150, 50,  16,  0, 0, 0,  0,          field_chars, 0, new_string + r_slot * slot_size,    nullptr, nullptr },
    { d_text_proc,    30,  200, 30,  16,  0, 0, 0,  0,          0,           0, (void*)"zoom =",                    nullptr, nullptr },
    { d_edit_proc,    90,  200, 50,  16,  0, 0, 0,  0,          field_chars, 0, new_string + zoom_slot * slot_size, nullptr, nullptr },
    { d_box_proc,     190, 40,  180, 90,  0, 0, 0,  0,          0,           0, nullptr,                            nullptr, nullptr },
    { d_text_proc,    200, 50,  140, 16,  0, 0, 0,  0,          0,           0, (void*)"Computation mode :",        nullptr, nullptr },
    { d_radio_proc,   210, 70,  100, 16,  0, 0, 0,  D_SELECTED, 1,           0, (void*)"From root",                 nullptr, nullptr },
    { d_radio_proc,   210, 100, 100, 16,  0, 0, 0,  0,          1,           0, (void*)"Complete",                  nullptr, nullptr },
    { d_box_proc,     190, 140, 180, 90,  0, 0, 0,  0,          0,           0, nullptr,                            nullptr, nullptr },
    { d_text_proc,    200, 150, 140, 16,  0, 0, 0,  0,          0,           0, (void*)"Pts of intersection :",     nullptr, nullptr },
    { d_radio_proc,   210, 170, 100, 16,  0, 0, 0,  D_SELECTED, 2,           0, (void*)"On the fly",                nullptr, nullptr },
    { d_radio_proc,   210, 200, 100, 16,  0, 0, 0,  0,          2,           0, (void*)"Stored",                    nullptr, nullptr },
    { d_yield_proc,   0,   0,   0,   0,   0, 0, 0,  0,          0,           0, nullptr,                            nullptr, nullptr },
    { nullptr,        0,   0,   0,   0,   0, 0, 0,  0,          0,           0, nullptr,                            nullptr, nullptr },
};

namespace {

char* slot(int k)
{
    return new_string + k * slot_size;
}

bool selected(int entry)
{
    return new_dialog[entry].flags & D_SELECTED;
}

void set_selected(int entry, bool on)
{
    if (on)
        new_dialog[entry].flags |= D_SELECTED;
    else
        new_dialog[entry].flags &= ~D_SELECTED;
}

int selected_modes()
{
    return (selected(from_root_button) ? from_root : 0) | (selected(on_the_fly_button) ? on_the_fly : 0);
}

// r has a meaning in from-root mode only.
void show_r(bool shown)
{
    for (int entry : {r_label, r_field})
        if (shown)
            new_dialog[entry].flags &= ~D_HIDDEN;
        else
            new_dialog[entry].flags |= D_HIDDEN;
}

void offer(const figure_settings& f)
{
    uszprintf(slot(n_slot), slot_size, "%s", multiplier_text(f.n).c_str());
    uszprintf(slot(m_slot), slot_size, "%d", f.m);
    uszprintf(slot(r_slot), slot_size, "%d", f.r);
    uszprintf(slot(zoom_slot), slot_size, "%d", f.zoom);
    set_selected(from_root_button, f.type & from_root);
    set_selected(complete_button, !(f.type & from_root));
    set_selected(on_the_fly_button, f.type & on_the_fly);
    set_selected(stored_button, !(f.type & on_the_fly));
}

// Runs the dialog, showing the r field exactly while "From root" is
// selected; the index of the object that closed it.
int run_new_dialog()
{
    show_r(selected(from_root_button));
    set_dialog_color(new_dialog, gui_fg_color, gui_bg_color);
    centre_dialog(new_dialog);
    DIALOG_PLAYER* player = init_dialog(new_dialog, -1);
    int modes = selected_modes();
    while (update_dialog(player)) {
        const int now = selected_modes();
        if ((now ^ modes) & from_root) {
            show_r(now & from_root);
            dialog_message(new_dialog, MSG_DRAW, 0, nullptr);
        }
        modes = now;
    }
    return shutdown_dialog(player);
}

// A whole number of the int range, typed alone.
bool read_whole(const char* text, int& value)
{
    double number;
    if (!parse_multiplier(text, number) || !whole_multiplier(number))
        return false;
    value = int(number);
    return true;
}

// The typed figure into f, or why it is refused.
const char* read_typed(figure_settings& f)
{
    f.type = selected_modes();
    if (!parse_multiplier(slot(n_slot), f.n))
        return "n is not a number, such as 2 or 2.37.";
    if ((f.type & from_root) && !whole_multiplier(f.n))
        return "n is a whole number in from-root mode.";
    if (!read_whole(slot(m_slot), f.m) || f.m < 1)
        return "m, the number of points, is a whole number from 1.";
    if ((f.type & from_root) && !read_whole(slot(r_slot), f.r))
        return "r is not a whole number.";
    if (!read_whole(slot(zoom_slot), f.zoom) || f.zoom == 0)
        return "zoom is a whole number other than 0.";
    return nullptr;
}

}

int new_chryzode()
{
    offer(state.has_refused ? state.refused : state.wanted);
    state.has_refused = false;
    figure_settings f = state.wanted;
    // A refusal opens the dialog again on what was typed.
    for (;;) {
        const int closed_by = run_new_dialog();
        redraw_main();
        if (closed_by != ok_entry)
            return D_O_K;
        const char* refusal = read_typed(f);
        if (!refusal)
            break;
        alert("New chryzode", refusal, nullptr, "OK", nullptr, 0, 0);
    }
    ask_for_figure(f);
    return D_O_K;
}

int render_chryzode()
{
    ask_for_figure(state.wanted, figure_job::again);
    return D_O_K;
}
