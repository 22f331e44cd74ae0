// The Zoom menu: Normal size, Zoom Value, Zoom Ratio, Zoom Out and Zoom In.
#include <climits>
#include <cstdint>

#include "chryzode.h"
#include "gui.h"

namespace {

constexpr int number_entry = 5;  // the edit field of both dialogs
constexpr int zoom_chars = 7;
constexpr int ratio_chars = 3;

}

DIALOG zoom_value_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1          d2 dp                      dp2      dp3 */
    { d_box_proc,      0,   0,   300, 150, 0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
    { d_textbox_proc,  0,   0,   300, 16,  0, 0, 0,  0,      0,          0, (void*)"Zoom value",    nullptr, nullptr },
    { d_button_proc,   30,  100, 100, 20,  0, 0, 13, D_EXIT, 0,          0, (void*)"OK",            nullptr, nullptr },
    { d_button_proc,   170, 100, 100, 20,  0, 0, 0,  D_EXIT, 0,          0, (void*)"Cancel",        nullptr, nullptr },
    { d_text_proc,     50,  50,  50,  16,  0, 0, 0,  0,      0,          0, (void*)"zoom =",        nullptr, nullptr },
    { d_edit_proc,     110, 50,  70,  16,  0, 0, 0,  0,      zoom_chars, 0, nullptr,                nullptr, nullptr },
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
// edit_buffer_size of the field's limit. A value longer than the field keeps
// its first characters (a sign and digits take one byte each).
int edit_number(DIALOG* dialog, char* text, int value)
{
    uszprintf(text, dialog[number_entry].d1 + 1, "%d", value);
    dialog[number_entry].dp = text;
    return run_dialog(dialog);
}

// Gives the model a new zoom and redraws the figure with it; false when the
// memory for that cannot be had or the user cancels: the model, the picture
// and zoom_value then keep the previous zoom.
bool apply_zoom(int zoom)
{
    Cchryzode& model = the_model();
    model.set_zoom(zoom);
    const work_end drawn = run_in_background([&] { return model.rerender(); });
    if (drawn != work_end::done) {
        model.set_zoom(zoom_value);
        if (drawn == work_end::failed)
            report_out_of_memory();
        return false;
    }
    zoom_value = zoom;
    show_status();
    return true;
}

void set_zoom_in_enabled(bool enabled)
{
    zoom_menu[in_item].flags = enabled ? 0 : D_DISABLED;
}

}

int zoom_normal()
{
    apply_zoom(1);
    redraw_main();
    return D_O_K;
}

int zoom_change_value()
{
    char text[edit_buffer_size(zoom_chars)];
    const int exit = edit_number(zoom_value_dialog, text, zoom_value);
    // The dialog's place is repainted before a recomputation that may take a while.
    redraw_main();
    if (exit == ok_entry)
        apply_zoom(read_number(text));
    redraw_main();
    return D_O_K;
}

int zoom_change_ratio()
{
    char text[edit_buffer_size(ratio_chars)];
    if (edit_number(zoom_ratio_dialog, text, zoom_ratio) == ok_entry) {
        const int ratio = read_number(text);
        if (ratio == 0) {
            // Zoom In divides by the ratio.
            char kept[64];
            uszprintf(kept, sizeof kept, "The ratio stays %d.", zoom_ratio);
            alert("Zoom in/zoom out ratio", "A ratio of 0 cannot be used.", kept, "OK", nullptr, 0, 0);
        } else {
            zoom_ratio = ratio;
            if (zoom_value < zoom_ratio)
                set_zoom_in_enabled(false);
        }
    }
    redraw_main();
    return D_O_K;
}

int zoom_out()
{
    const std::int64_t product = std::int64_t(zoom_value) * zoom_ratio;
    // A zoom past the int range is not a zoom: it stays as it is.
    if (product < INT_MIN || product > INT_MAX)
        return D_O_K;
    const bool applied = apply_zoom(int(product));
    redraw_main();
    if (applied && zoom_value >= zoom_ratio)
        set_zoom_in_enabled(true);
    return D_O_K;
}

int zoom_in()
{
    // The ratio is never 0 (its dialog refuses it); the most negative zoom
    // divided by -1 has no int quotient and stays as it is.
    if (zoom_value == INT_MIN && zoom_ratio == -1)
        return D_O_K;
    const bool applied = apply_zoom(zoom_value / zoom_ratio);
    redraw_main();
    if (applied && zoom_value < zoom_ratio)
        set_zoom_in_enabled(false);
    return D_O_K;
}
