// The New chryzode dialog, which sets the figure's parameters, and the
// Rerender command.
#include <initializer_list>
#include <vector>

#include "chryzode.h"
#include "gui.h"

namespace {

// n takes decimals; m, r and zoom whole numbers.
constexpr int n_limit = field_limit(multiplier_chars), int_limit = field_limit(int_chars);
constexpr int slot_size = edit_buffer_size(n_limit);
constexpr int n_slot = 0, m_slot = 1, r_slot = 2, zoom_slot = 3;

// Entries of new_dialog.
constexpr int n_field = 5, m_field = 7, r_label = 8, r_field = 9, zoom_field = 11;
constexpr int from_root_button = 14, complete_button = 15, on_the_fly_button = 18, stored_button = 19;

}

// The texts of the four edit fields, one slot each.
char new_string[4 * slot_size];

DIALOG new_dialog[] = {
    /* proc           x    y    w    h    fg bg key flags       d1         d2 dp                                  dp2      dp3 */
    { d_box_proc,     0,   0,   420, 320, 0, 0, 0,  0,          0,         0, nullptr,                            nullptr, nullptr },
    { d_textbox_proc, 0,   0,   420, 16,  0, 0, 0,  0,          0,         0, (void*)"New chryzode",              nullptr, nullptr },
    { d_button_proc,  80,  285, 100, 20,  0, 0, 13, D_EXIT,     0,         0, (void*)"OK",                        nullptr, nullptr },
    { d_button_proc,  240, 285, 100, 20,  0, 0, 0,  D_EXIT,     0,         0, (void*)"Cancel",                    nullptr, nullptr },
    { d_text_proc,    30,  40,  50,  16,  0, 0, 0,  0,          0,         0, (void*)"n =",                       nullptr, nullptr },
    { d_edit_proc,    90,  40,  216, 16,  0, 0, 0,  0,          n_limit,   0, new_string + n_slot * slot_size,    nullptr, nullptr },
    { d_text_proc,    30,  100, 50,  16,  0, 0, 0,  0,          0,         0, (void*)"m =",                       nullptr, nullptr },
    { d_edit_proc,    90,  100, 112, 16,  0, 0, 0,  0,          int_limit, 0, new_string + m_slot * slot_size,    nullptr, nullptr },
    { d_text_proc,    30,  150, 50,  16,  0, 0, 0,  0,          0,         0, (void*)"r =",                       nullptr, nullptr },
    { d_edit_proc,    90,  150, 112, 16,  0, 0, 0,  0,          int_limit, 0, new_string + r_slot * slot_size,    nullptr, nullptr },
    { d_text_proc,    30,  200, 50,  16,  0, 0, 0,  0,          0,         0, (void*)"zoom =",                    nullptr, nullptr },
    { d_edit_proc,    90,  200, 112, 16,  0, 0, 0,  0,          int_limit, 0, new_string + zoom_slot * slot_size, nullptr, nullptr },
    { d_box_proc,     220, 70,  180, 90,  0, 0, 0,  0,          0,         0, nullptr,                            nullptr, nullptr },
    { d_text_proc,    230, 80,  160, 16,  0, 0, 0,  0,          0,         0, (void*)"Computation mode :",        nullptr, nullptr },
    { d_radio_proc,   240, 100, 100, 16,  0, 0, 0,  D_SELECTED, 1,         0, (void*)"From root",                 nullptr, nullptr },
    { d_radio_proc,   240, 130, 100, 16,  0, 0, 0,  0,          1,         0, (void*)"Complete",                  nullptr, nullptr },
    { d_box_proc,     220, 170, 180, 90,  0, 0, 0,  0,          0,         0, nullptr,                            nullptr, nullptr },
    { d_text_proc,    230, 180, 160, 16,  0, 0, 0,  0,          0,         0, (void*)"Pts of intersection :",     nullptr, nullptr },
    { d_radio_proc,   240, 200, 100, 16,  0, 0, 0,  D_SELECTED, 2,         0, (void*)"On the fly",                nullptr, nullptr },
    { d_radio_proc,   240, 230, 100, 16,  0, 0, 0,  0,          2,         0, (void*)"Stored",                    nullptr, nullptr },
    { d_yield_proc,   0,   0,   0,   0,   0, 0, 0,  0,          0,         0, nullptr,                            nullptr, nullptr },
    { nullptr,        0,   0,   0,   0,   0, 0, 0,  0,          0,         0, nullptr,                            nullptr, nullptr },
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
int run_new_dialog(DIALOG* dialog, int focus)
{
    show_r(selected(from_root_button));
    set_dialog_color(dialog, gui_fg_color, gui_bg_color);
    centre_dialog(dialog);
    DIALOG_PLAYER* player = init_dialog(dialog, focus);
    int modes = selected_modes();
    while (update_dialog(player)) {
        const int now = selected_modes();
        if ((now ^ modes) & from_root) {
            show_r(now & from_root);
            dialog_message(dialog, MSG_DRAW, 0, nullptr);
        }
        modes = now;
    }
    return shutdown_dialog(player);
}

// n has decimals only in complete mode, which the dialog shows: the
// context is the "From root" button.
verdict multiplier_field(const char* text, const void* from_root_button)
{
    const bool whole = static_cast<const DIALOG*>(from_root_button)->flags & D_SELECTED;
    return judge_multiplier(text, &whole);
}

const std::vector<number_field> new_fields = {
    {n_field, "n", multiplier_field, "n is a number from -2147483647 to 2147483647, whole from a root."},
    {m_field, "m", positive_int, "m, the number of points, is a whole number from 1 to 2147483647."},
    {r_field, "r", any_int, "r is a whole number from -2147483648 to 2147483647."},
    {zoom_field, "zoom", nonzero_int, "The zoom is a whole number from -2147483648 to 2147483647, not 0."},
};

// The figure typed, in the figure it changes.
void read_typed(figure_settings& f)
{
    read_decimal_number(slot(n_slot), f.n);
    f.m = read_number(slot(m_slot));
    if (selected(from_root_button))
        f.r = read_number(slot(r_slot));
    f.zoom = read_number(slot(zoom_slot));
    f.type = selected_modes();
}

}

int new_chryzode()
{
    offer(state.has_refused ? state.refused : state.wanted);
    state.has_refused = false;
    const int closed_by = run_number_dialog(new_dialog, new_fields, &new_dialog[from_root_button], run_new_dialog);
    redraw_main();
    if (closed_by == ok_entry) {
        figure_settings f = state.wanted;
        read_typed(f);
        ask_for_figure(f);
    }
    return D_O_K;
}

int render_chryzode()
{
    // A figure that differs from the one on screen in its colours alone is
    // painted again from its counts.
    if (state.on_screen && !figure_busy() && !state.work.pending &&
        same_counts(state.shown, state.wanted))
        repaint_figure(state.wanted);
    else
        ask_for_figure(state.wanted);
    return D_O_K;
}
