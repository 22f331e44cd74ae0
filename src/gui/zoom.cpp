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

// Gives the model a new zoom and redraws the figure with it. When the memory
// for that cannot be had or the user cancels, the model, the picture and
// zoom_value keep the previous zoom.
void apply_zoom(int zoom)
{
    Cchryzode& model = the_model();
    model.set_zoom(zoom);
    const work_end drawn = run_in_background([&] { return model.rerender(); });
    if (drawn == work_end::done) {
        zoom_value = zoom;
        show_status();
    } else {
        model.set_zoom(zoom_value);
        if (drawn == work_end::failed)
            report_out_of_memory(model.compute_bytes());
    }
    update_zoom_in();
}

}

void update_zoom_in()
{
    const bool stored = !(the_model().type & on_the_fly);
    zoom_menu[in_item].flags = stored && zoom_value >= zoom_ratio ? 0 : D_DISABLED;
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
        if (const int zoom = typed_number(zoom_value_dialog, text, "zoom", zoom_value))
            apply_zoom(zoom);
    redraw_main();
    return D_O_K;
}

int zoom_change_ratio()
{
    char text[edit_buffer_size(ratio_chars)];
    if (edit_number(zoom_ratio_dialog, text, zoom_ratio) == ok_entry)
        if (const int ratio = typed_number(zoom_ratio_dialog, text, "ratio", zoom_ratio)) {
            zoom_ratio = ratio;
            update_zoom_in();
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
    apply_zoom(int(product));
    redraw_main();
    return D_O_K;
}

int zoom_in()
{
    // The ratio is never 0 (its dialog refuses it). The most negative zoom
    // divided by -1 has no int quotient, and a negative ratio longer than
    // the zoom gives 0, no zoom: either way the zoom stays as it is.
    if (zoom_value == INT_MIN && zoom_ratio == -1)
        return D_O_K;
    const int zoom = zoom_value / zoom_ratio;
    if (zoom == 0)
        return D_O_K;
    apply_zoom(zoom);
    redraw_main();
    return D_O_K;
}
