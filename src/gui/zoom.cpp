// The Zoom menu: Normal size, Zoom Value, Zoom Ratio, Zoom Out and Zoom In.
#include <climits>
#include <cstdint>

#include "chryzode.h"
#include "gui.h"

namespace {

constexpr int title_entry = 1, number_entry = 5;  // of both dialogs
// Zoom Out reaches every int, -2147483648 included.
constexpr int zoom_chars = 11;
constexpr int ratio_chars = 3;

}

DIALOG zoom_value_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1          d2 dp                      dp2      dp3 */
    { d_box_proc,      0,   0,   300, 150, 0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
    { d_textbox_proc,  0,   0,   300, 16,  0, 0, 0,  0,      0,          0, (void*)"Zoom value",    nullptr, nullptr },
    { d_button_proc,   30,  100, 100, 20,  0, 0, 13, D_EXIT, 0,          0, (void*)"OK",            nullptr, nullptr },
    { d_button_proc,   170, 100, 100, 20,  0, 0, 0,  D_EXIT, 0,          0, (void*)"Cancel",        nullptr, nullptr },
    { d_text_proc,     50,  50,  50,  16,  0, 0, 0,  0,      0,          0, (void*)"zoom =",        nullptr, nullptr },
    { d_edit_proc,     110, 50,  100, 16,  0, 0, 0,  0,      zoom_chars, 0, nullptr,                nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
};

DIALOG zoom_ratio_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1           d2 dp                              dp2      dp3 */
    { d_box_proc,      0,   0,   300, 150, 0, 0, 0,  0,      0,           0, nullptr,                        nullptr, nullptr },
    { d_textbox_proc,  0,   0,   300, 16,  0, 0, 0,  0,      0,           0, (void*)"Zoom in/zoom out ratio", nullptr, nullptr },
    { d_button_proc,   30,  100, 100, 20,  0, 0, 13, D_EXIT, 0,           0, (void*)"OK",                    nullptr, nullptr },
    { d_button_proc,   170, 100, 100, 20,  0, 0, 0,  D_EXIT, 0,           0, (void*)"Cancel",                nullptr, nullptr },
    { d_text_proc,     50,  50,  50,  16,  0, 0, 0,  0,      0,           0, (void*)"ratio =",               nullptr, nullptr },
    { d_edit_proc,     110, 50,  70,  16,  0, 0, 0,  0,      ratio_chars, 0, nullptr,                        nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,           0, nullptr,                        nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,           0, nullptr,                        nullptr, nullptr },
};

namespace {

// Runs a one-number dialog whose field shows value; text must hold
// edit_buffer_size of the field's limit, which every value it is given fits.
int edit_number(DIALOG* dialog, char* text, int value)
{
    uszprintf(text, dialog[number_entry].d1 + 1, "%d", value);
    dialog[number_entry].dp = text;
    return run_dialog(dialog);
}

// The number typed into a one-number dialog. Zoom In divides by the ratio
// and a zoom of 0 shows no figure: a 0 is refused, and the user told that
// the value stays `kept`.
int typed_number(DIALOG* dialog, const char* text, const char* noun, int kept)
{
    const int typed = read_number(text);
    if (typed == 0) {
        char cannot[64], stays[64];
        uszprintf(cannot, sizeof cannot, "A %s of 0 cannot be used.", noun);
        uszprintf(stays, sizeof stays, "The %s stays %d.", noun, kept);
        alert(static_cast<const char*>(dialog[title_entry].dp), cannot, stays, "OK", nullptr, 0, 0);
    }
    return typed;
}

// Asks for the figure at another zoom: a stored one is counted again from
// its list, one on the fly computed again.
void apply_zoom(int zoom)
{
    figure_settings f = state.wanted;
    f.zoom = zoom;
    ask_for_figure(f);
}

void cannot_zoom(const char* command, const char* why)
{
    char ratio[64];
    uszprintf(ratio, sizeof ratio, "with the zoom 1:%d and the ratio %d:", state.wanted.zoom, state.zoom_ratio);
    alert(command, ratio, why, "OK", nullptr, 0, 0);
}

}

void update_figure_commands()
{
    const int figure = state.drawn ? 0 : D_DISABLED;
    const bool stored = !(state.shown.type & on_the_fly);
    zoom_menu[normal_item].flags = figure;
    zoom_menu[value_item].flags = figure;
    zoom_menu[ratio_item].flags = stored ? figure : D_DISABLED;
    zoom_menu[out_item].flags = stored ? figure : D_DISABLED;
    zoom_menu[in_item].flags = stored && state.shown.zoom >= state.zoom_ratio ? figure : D_DISABLED;
    chryzode_menu[rerender_item].flags = figure;
    file_menu[save_item].flags = figure;
}

int zoom_normal()
{
    apply_zoom(1);
    return D_O_K;
}

int zoom_change_value()
{
    char text[edit_buffer_size(zoom_chars)];
    const int exit = edit_number(zoom_value_dialog, text, state.wanted.zoom);
    redraw_main();
    if (exit == ok_entry)
        if (const int zoom = typed_number(zoom_value_dialog, text, "zoom", state.wanted.zoom))
            apply_zoom(zoom);
    redraw_main();
    return D_O_K;
}

int zoom_change_ratio()
{
    char text[edit_buffer_size(ratio_chars)];
    if (edit_number(zoom_ratio_dialog, text, state.zoom_ratio) == ok_entry)
        if (const int ratio = typed_number(zoom_ratio_dialog, text, "ratio", state.zoom_ratio)) {
            state.zoom_ratio = ratio;
            update_figure_commands();
        }
    redraw_main();
    return D_O_K;
}

int zoom_out()
{
    const std::int64_t product = std::int64_t(state.wanted.zoom) * state.zoom_ratio;
    if (product < INT_MIN || product > INT_MAX)
        cannot_zoom("Zoom Out", "the zoom would pass the largest one.");
    else
        apply_zoom(int(product));
    return D_O_K;
}

int zoom_in()
{
    // The ratio is never 0 (its dialog refuses it). The most negative zoom
    // divided by -1 has no int quotient, and a ratio longer than the zoom
    // gives 0, no zoom.
    const int zoom = state.wanted.zoom, ratio = state.zoom_ratio;
    if (zoom == INT_MIN && ratio == -1)
        cannot_zoom("Zoom In", "the zoom would pass the largest one.");
    else if (zoom / ratio == 0)
        cannot_zoom("Zoom In", "the zoom would be 0, which shows no figure.");
    else
        apply_zoom(zoom / ratio);
    return D_O_K;
}
