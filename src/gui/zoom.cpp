// The Zoom menu: Normal size, Zoom Value, Zoom Ratio, Zoom Out and Zoom In.
#include <climits>
#include <cstdint>

#include "chryzode.h"
#include "gui.h"

namespace {

constexpr int number_entry = 5;  // of both dialogs
// Zoom Out reaches every int, -2147483648 included, and the ratio may be
// any int but 0.
constexpr int number_limit = field_limit(int_chars);

}

DIALOG zoom_value_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1            d2 dp                      dp2      dp3 */
    { d_box_proc,      0,   0,   300, 150, 0, 0, 0,  0,      0,            0, nullptr,                nullptr, nullptr },
    { d_textbox_proc,  0,   0,   300, 16,  0, 0, 0,  0,      0,            0, (void*)"Zoom value",    nullptr, nullptr },
    { d_button_proc,   30,  100, 100, 20,  0, 0, 13, D_EXIT, 0,            0, (void*)"OK",            nullptr, nullptr },
    { d_button_proc,   170, 100, 100, 20,  0, 0, 0,  D_EXIT, 0,            0, (void*)"Cancel",        nullptr, nullptr },
    { d_text_proc,     50,  50,  50,  16,  0, 0, 0,  0,      0,            0, (void*)"zoom =",        nullptr, nullptr },
    { d_edit_proc,     110, 50,  112, 16,  0, 0, 0,  0,      number_limit, 0, nullptr,                nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                nullptr, nullptr },
};

DIALOG zoom_ratio_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1            d2 dp                              dp2      dp3 */
    { d_box_proc,      0,   0,   300, 150, 0, 0, 0,  0,      0,            0, nullptr,                        nullptr, nullptr },
    { d_textbox_proc,  0,   0,   300, 16,  0, 0, 0,  0,      0,            0, (void*)"Zoom in/zoom out ratio", nullptr, nullptr },
    { d_button_proc,   30,  100, 100, 20,  0, 0, 13, D_EXIT, 0,            0, (void*)"OK",                    nullptr, nullptr },
    { d_button_proc,   170, 100, 100, 20,  0, 0, 0,  D_EXIT, 0,            0, (void*)"Cancel",                nullptr, nullptr },
    { d_text_proc,     50,  50,  50,  16,  0, 0, 0,  0,      0,            0, (void*)"ratio =",               nullptr, nullptr },
    { d_edit_proc,     110, 50,  112, 16,  0, 0, 0,  0,      number_limit, 0, nullptr,                        nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                        nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                        nullptr, nullptr },
};

namespace {

// Runs a one-number dialog whose field offers value, whole; text must hold
// edit_buffer_size(number_limit). True after OK with a number the field
// takes, then in value.
bool edit_number(DIALOG* dialog, char* text, int& value, const number_field& field)
{
    uszprintf(text, edit_buffer_size(number_limit), "%d", value);
    dialog[number_entry].dp = text;
    if (run_number_dialog(dialog, {field}) != ok_entry)
        return false;
    value = read_number(text);
    return true;
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
    modal_alert(command, ratio, why, "OK", nullptr, 0, 0);
}

}

int zoom_normal()
{
    apply_zoom(1);
    return D_O_K;
}

int zoom_change_value()
{
    char text[edit_buffer_size(number_limit)];
    int zoom = state.wanted.zoom;
    const bool typed =
        edit_number(zoom_value_dialog, text, zoom,
                    {number_entry, "zoom", nonzero_int, "The zoom is a whole number from -2147483648 to 2147483647, not 0."});
    redraw_main();
    if (typed)
        apply_zoom(zoom);
    return D_O_K;
}

int zoom_change_ratio()
{
    char text[edit_buffer_size(number_limit)];
    // Zoom In divides by the ratio.
    if (edit_number(zoom_ratio_dialog, text, state.zoom_ratio,
                    {number_entry, "ratio", nonzero_int, "The ratio is a whole number from -2147483648 to 2147483647, not 0."}))
        update_figure_commands();
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
