// The New chryzode dialog, which sets the figure's parameters, and the
// Rerender command.
#include <initializer_list>

#include "chryzode.h"
#include "gui.h"

namespace {

constexpr int field_chars = 5;
constexpr int slot_size = edit_buffer_size(field_chars);
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
    { d_edit_proc,    90,  50,  50,  16,  0, 0, 0,  0,          field_chars, 0, new_string + n_slot * slot_size,    nullptr, nullptr },
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

// The values of the figure last drawn, offered at the next opening.
int n = 2, m = 1499, r = 1, zoom_temp = 1, type_temp = from_root | on_the_fly;
// After a refusal the next opening shows the values as they were typed, so
// that the user can mend them.
bool offer_typed = false;

struct figure_values {
    int n, m, r, zoom, type;
};

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

void offer_last_values()
{
    uszprintf(slot(n_slot), slot_size, "%d", n);
    uszprintf(slot(m_slot), slot_size, "%d", m);
    uszprintf(slot(r_slot), slot_size, "%d", r);
    uszprintf(slot(zoom_slot), slot_size, "%d", zoom_temp);
    set_selected(from_root_button, type_temp & from_root);
    set_selected(complete_button, !(type_temp & from_root));
    set_selected(on_the_fly_button, type_temp & on_the_fly);
    set_selected(stored_button, !(type_temp & on_the_fly));
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

figure_values typed_values()
{
    return {read_number(slot(n_slot)), read_number(slot(m_slot)), read_number(slot(r_slot)),
            read_number(slot(zoom_slot)), selected_modes()};
}

void refuse_modulus(int typed)
{
    char line[64];
    uszprintf(line, sizeof line, "m = %d cannot make a figure:", typed);
    alert(line, "the number of points m must be 1 or more.", nullptr, "OK", nullptr, 0, 0);
}

// Computes and draws the figure. When the memory cannot be had, says so;
// then, or when the user cancels, gives the model back the parameters of the
// figure last drawn, whose arrays it kept; the picture is untouched.
work_end draw(const figure_values& v)
{
    Cchryzode& model = the_model();
    model.set(v.n, v.m, v.r, v.type);
    model.set_zoom(v.zoom);
    const work_end computed = run_in_background([&] { return model.calcul(); });
    if (computed == work_end::done) {
        // Cannot fail: calcul has made the hit map.
        model.render();
        return computed;
    }
    if (computed == work_end::failed)
        report_out_of_memory(model.calcul_bytes());
    model.set(n, m, r, type_temp);
    model.set_zoom(zoom_value);
    return computed;
}

void keep(const figure_values& v)
{
    n = v.n;
    m = v.m;
    r = v.r;
    type_temp = v.type;
    zoom_value = zoom_temp = v.zoom;
}

void enable_figure_commands(int type)
{
    zoom_menu[normal_item].flags = 0;
    zoom_menu[value_item].flags = 0;
    const bool stored = !(type & on_the_fly);
    zoom_menu[ratio_item].flags = stored ? 0 : D_DISABLED;
    zoom_menu[out_item].flags = stored ? 0 : D_DISABLED;
    update_zoom_in();
    chryzode_menu[rerender_item].flags = 0;
    file_menu[save_item].flags = 0;
}

}

int new_chryzode()
{
    if (!offer_typed)
        offer_last_values();
    offer_typed = false;
    const int closed_by = run_new_dialog();
    redraw_main();
    if (closed_by != ok_entry)
        return D_O_K;

    const figure_values v = typed_values();
    if (v.m < 1)
        refuse_modulus(v.m);
    const work_end drawn = v.m < 1 ? work_end::failed : draw(v);
    if (drawn != work_end::done) {
        // A cancelled figure leaves everything as it was, the next offer too.
        offer_typed = drawn == work_end::failed;
        redraw_main();
        return D_O_K;
    }
    keep(v);
    enable_figure_commands(v.type);
    show_status();
    redraw_main();
    return D_O_K;
}

int render_chryzode()
{
    if (run_in_background([] { return the_model().rerender(); }) == work_end::failed)
        report_out_of_memory(the_model().compute_bytes());
    redraw_main();
    return D_O_K;
}
