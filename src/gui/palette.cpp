// The colour map of the density: the Palette dialog, the keys that cycle
// palettes and scales, and the legend. A colour map repaints the figure on
// screen from its counts at once.
#include <string>

#include "colouring.h"
#include "gui.h"

namespace {

constexpr int palette_list_entry = 5, scale_list_entry = 7, top_entry = 9;
constexpr int top_limit = field_limit(int_chars);
char top_text[edit_buffer_size(top_limit)];

// The list callback of a table of names.
template <const char* const* names, int count>
const char* name_row(int index, int* size)
{
    if (index < 0) {
        *size = count;
        return nullptr;
    }
    return names[index];
}
constexpr auto palette_row = name_row<palette_names, palette_kinds>;
constexpr auto scale_row = name_row<scale_names, scale_kinds>;

}

DIALOG palette_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1         d2 dp                                dp2      dp3 */
    { d_box_proc,      0,   0,   360, 230, 0, 0, 0,  0,      0,         0, nullptr,                          nullptr, nullptr },
    { d_textbox_proc,  0,   0,   360, 16,  0, 0, 0,  0,      0,         0, (void*)"Palette",                 nullptr, nullptr },
    { d_button_proc,   60,  195, 100, 20,  0, 0, 13, D_EXIT, 0,         0, (void*)"OK",                      nullptr, nullptr },
    { d_button_proc,   200, 195, 100, 20,  0, 0, 0,  D_EXIT, 0,         0, (void*)"Cancel",                  nullptr, nullptr },
    { d_text_proc,     30,  30,  120, 16,  0, 0, 0,  0,      0,         0, (void*)"palette",                 nullptr, nullptr },
    { d_list_proc,     30,  46,  130, 60,  0, 0, 0,  0,      0,         0, (void*)palette_row,               nullptr, nullptr },
    { d_text_proc,     200, 30,  120, 16,  0, 0, 0,  0,      0,         0, (void*)"scale",                   nullptr, nullptr },
    { d_list_proc,     200, 46,  130, 60,  0, 0, 0,  0,      0,         0, (void*)scale_row,                 nullptr, nullptr },
    { d_text_proc,     30,  125, 160, 16,  0, 0, 0,  0,      0,         0, (void*)"largest count =",         nullptr, nullptr },
    { d_edit_proc,     200, 125, 130, 16,  0, 0, 0,  0,      top_limit, 0, top_text,                         nullptr, nullptr },
    { d_text_proc,     30,  150, 300, 16,  0, 0, 0,  0,      0,         0, (void*)"(linear and log; empty: the picture's own)", nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,         0, nullptr,                          nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,         0, nullptr,                          nullptr, nullptr },
};

namespace {

verdict top_field(const char* text, const void*)
{
    return !*text ? verdict::taken : positive_int(text);
}

const std::vector<number_field> palette_fields = {
    {top_entry, "largest count", top_field, "The largest count is a whole number from 1 to 2147483647, or empty."},
};

// The figure on screen, the one asked for and any asked later take the
// colour map at once.
void apply_colour_map(palette_kind palette, scale_kind scale, int scale_max)
{
    for (figure_settings* f : {&state.wanted, &state.shown}) {
        f->palette = palette;
        f->scale = scale;
        f->scale_max = scale_max;
    }
    repaint_figure(state.shown);
}

template <typename kind>
kind cycled(kind k, int count, int by)
{
    return kind((int(k) + by + count) % count);
}

}

int palette_settings()
{
    const figure_settings& f = state.wanted;
    palette_dialog[palette_list_entry].d1 = int(f.palette);
    palette_dialog[scale_list_entry].d1 = int(f.scale);
    if (f.scale_max > 0)
        uszprintf(top_text, sizeof top_text, "%d", f.scale_max);
    else
        top_text[0] = 0;
    if (run_number_dialog(palette_dialog, palette_fields) == ok_entry)
        apply_colour_map(palette_kind(palette_dialog[palette_list_entry].d1),
                         scale_kind(palette_dialog[scale_list_entry].d1), *top_text ? read_number(top_text) : 0);
    redraw_main();
    return D_O_K;
}

bool colour_key(int ascii)
{
    const figure_settings& f = state.wanted;
    switch (ascii) {
    case 'p':
    case 'P':
        apply_colour_map(cycled(f.palette, palette_kinds, ascii == 'p' ? 1 : -1), f.scale, f.scale_max);
        return true;
    case 's':
        apply_colour_map(f.palette, cycled(f.scale, scale_kinds, 1), f.scale_max);
        return true;
    case 'l':
        state.legend = !state.legend;
        draw_view();
        return true;
    default:
        return false;
    }
}

std::string colour_map_text(const figure_settings& f)
{
    if (f.palette == palette_kind::ramp && f.scale == scale_kind::sqrt && f.scale_max == 0)
        return "";
    std::string text = std::string("; ") + name_of(f.palette) + ", " + name_of(f.scale);
    if (f.scale_max > 0)
        text += " to " + std::to_string(f.scale_max);
    return text;
}

figure_settings with_colour_map(figure_settings figure, const figure_settings& from)
{
    figure.palette = from.palette;
    figure.scale = from.scale;
    figure.scale_max = from.scale_max;
    return figure;
}

void draw_legend()
{
    Cchryzode& model = the_model();
    if (!state.legend || !state.on_screen || !model.hits)
        return;
    const colour_map map = colour_map_of(model);
    const count_histogram counts = counts_for(map, model.hits.get(), model.hits.width(), model.hits.height(), 0);
    if (counts.largest() == 0)
        return;
    // A colour bar over the view's lower right corner, above the status bar,
    // with the counts at its ends and middle; drawn on the screen only, so
    // never saved.
    constexpr int bar_w = 200, bar_h = 12, margin = 6;
    const int text_h = text_height(font);
    const int box_w = bar_w + 2 * margin, box_h = bar_h + text_h + 3 * margin;
    const DIALOG& status = main_dialog[status_bar_entry];
    const int x0 = main_dialog[view_entry].w - box_w - margin;
    const int y0 = ((status.flags & D_HIDDEN) ? main_dialog[view_entry].h : status.y) - box_h - margin;
    scare_mouse();
    rectfill(screen, x0, y0, x0 + box_w - 1, y0 + box_h - 1, gui_bg_color);
    rect(screen, x0, y0, x0 + box_w - 1, y0 + box_h - 1, gui_fg_color);
    const int bar_x = x0 + margin, bar_y = y0 + margin;
    for (int i = 0; i < bar_w; ++i) {
        const rgb c = palette_colour(i / (bar_w - 1.0), map);
        vline(screen, bar_x + i, bar_y, bar_y + bar_h - 1, makecol(c.r, c.g, c.b));
    }
    const int text_y = bar_y + bar_h + margin;
    const std::string middle = std::to_string(count_at(0.5, counts, map)), top = std::to_string(scale_top(counts, map));
    textout_ex(screen, font, "1", bar_x, text_y, gui_fg_color, -1);
    textout_centre_ex(screen, font, middle.c_str(), bar_x + bar_w / 2, text_y, gui_fg_color, -1);
    textout_right_ex(screen, font, top.c_str(), bar_x + bar_w, text_y, gui_fg_color, -1);
    unscare_mouse();
}
