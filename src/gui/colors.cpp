// The Colors command: the two figure colours and the background typed as
// red, green and blue components, each row with a swatch that follows the
// typing.
#include "gui.h"

namespace {

constexpr int component_limit = field_limit(3);   // "255"
constexpr int field_size = edit_buffer_size(component_limit);
constexpr int first_swatch = 4;  // swatches of rows 0, 1, 2 are entries 4, 5, 6

}

// Nine fields of one component each: red, green, blue of Color 1, Color 2
// and Background, in this order.
char color_string[9 * field_size];

// The tag of each row: an edit field repaints the swatch of its row.
int group[3] = { 1, 2, 3 };

int d_rgbbox_proc(int msg, DIALOG* d, int c);
int d_rgbedit_proc(int msg, DIALOG* d, int c);

DIALOG color_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1               d2 dp                             dp2              dp3 */
    { d_box_proc,      0,   0,   400, 300, 0, 0, 0,  0,      0,               0, nullptr,                       nullptr,         nullptr },
    { d_textbox_proc,  0,   0,   400, 16,  0, 0, 0,  0,      0,               0, (void*)"Chryzode colors",      nullptr,         nullptr },
    { d_button_proc,   70,  260, 100, 20,  0, 0, 13, D_EXIT, 0,               0, (void*)"OK",                   nullptr,         nullptr },
    { d_button_proc,   230, 260, 100, 20,  0, 0, 0,  D_EXIT, 0,               0, (void*)"Cancel",               nullptr,         nullptr },
    { d_rgbbox_proc,   320, 60,  40,  30,  0, 0, 0,  0,      0,               0, nullptr,                       nullptr,         nullptr },
    { d_rgbbox_proc,   320, 130, 40,  30,  0, 0, 0,  0,      1,               0, nullptr,                       nullptr,         nullptr },
    { d_rgbbox_proc,   320, 200, 40,  30,  0, 0, 0,  0,      2,               0, nullptr,                       nullptr,         nullptr },
    { d_textbox_proc,  30,  30,  150, 16,  0, 0, 0,  0,      0,               0, (void*)"Color 1",              nullptr,         nullptr },
    { d_text_proc,     40,  70,  30,  16,  0, 0, 0,  0,      0,               0, (void*)"R =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  80,  70,  40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 0 * field_size, &group[0],       nullptr },
    { d_text_proc,     130, 70,  30,  16,  0, 0, 0,  0,      0,               0, (void*)"V =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  170, 70,  40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 1 * field_size, &group[0],       nullptr },
    { d_text_proc,     220, 70,  30,  16,  0, 0, 0,  0,      0,               0, (void*)"B =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  260, 70,  40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 2 * field_size, &group[0],       nullptr },
    { d_textbox_proc,  30,  100, 150, 16,  0, 0, 0,  0,      0,               0, (void*)"Color 2",              nullptr,         nullptr },
    { d_text_proc,     40,  140, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"R =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  80,  140, 40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 3 * field_size, &group[1],       nullptr },
    { d_text_proc,     130, 140, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"V =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  170, 140, 40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 4 * field_size, &group[1],       nullptr },
    { d_text_proc,     220, 140, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"B =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  260, 140, 40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 5 * field_size, &group[1],       nullptr },
    { d_textbox_proc,  30,  170, 150, 16,  0, 0, 0,  0,      0,               0, (void*)"Background",           nullptr,         nullptr },
    { d_text_proc,     40,  210, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"R =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  80,  210, 40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 6 * field_size, &group[2],       nullptr },
    { d_text_proc,     130, 210, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"V =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  170, 210, 40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 7 * field_size, &group[2],       nullptr },
    { d_text_proc,     220, 210, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"B =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  260, 210, 40,  16,  0, 0, 0,  0,      component_limit, 0, color_string + 8 * field_size, &group[2],       nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,               0, nullptr,                       nullptr,         nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,               0, nullptr,                       nullptr,         nullptr },
};

namespace {

constexpr const char* component_rule = "Each colour component is a whole number from 0 to 255.";

// The edit fields, row by row, named as the dialog shows them.
const std::vector<number_field> component_fields = {
    /* entry  label           judge             rule */
    { 9,      "Color 1 R",    colour_component, component_rule },
    { 11,     "Color 1 V",    colour_component, component_rule },
    { 13,     "Color 1 B",    colour_component, component_rule },
    { 16,     "Color 2 R",    colour_component, component_rule },
    { 18,     "Color 2 V",    colour_component, component_rule },
    { 20,     "Color 2 B",    colour_component, component_rule },
    { 23,     "Background R", colour_component, component_rule },
    { 25,     "Background V", colour_component, component_rule },
    { 27,     "Background B", colour_component, component_rule },
};

char* field(int k) { return color_string + k * field_size; }

void write_row(int row, rgb colour)
{
    uszprintf(field(3 * row + 0), field_size, "%d", colour.r);
    uszprintf(field(3 * row + 1), field_size, "%d", colour.g);
    uszprintf(field(3 * row + 2), field_size, "%d", colour.b);
}

// The colour of a row's fields; false while one of them is not a component.
bool read_row(int row, rgb& colour)
{
    int* const components[] = {&colour.r, &colour.g, &colour.b};
    for (int i = 0; i < 3; ++i) {
        if (colour_component(field(3 * row + i)) != verdict::taken)
            return false;
        *components[i] = read_number(field(3 * row + i));
    }
    return true;
}

}

// A swatch: the colour of its row's three fields, or a cross while they do
// not make one.
int d_rgbbox_proc(int msg, DIALOG* d, int)
{
    if (msg != MSG_DRAW)
        return D_O_K;
    rgb colour;
    const bool whole = read_row(d->d1, colour);
    const int x2 = d->x + d->w - 1, y2 = d->y + d->h - 1;
    rectfill(screen, d->x + 1, d->y + 1, x2 - 1, y2 - 1, whole ? makecol(colour.r, colour.g, colour.b) : gui_bg_color);
    if (!whole) {
        line(screen, d->x, d->y, x2, y2, d->fg);
        line(screen, d->x, y2, x2, d->y, d->fg);
    }
    rect(screen, d->x, d->y, x2, y2, d->fg);
    return D_O_K;
}

// An edit field that repaints its row's swatch after every key it uses.
int d_rgbedit_proc(int msg, DIALOG* d, int c)
{
    const int ret = d_edit_proc(msg, d, c);
    if (ret == D_USED_CHAR) {
        const int tag = *static_cast<int*>(d->dp2);
        object_message(&color_dialog[first_swatch + tag - 1], MSG_DRAW, 0);
    }
    return ret;
}

namespace {

// The colours wait in the figure asked for, and in the model, for the next
// rendering: the picture on screen keeps its own until then.
void store_colours(rgb fg1, rgb fg2, rgb bg)
{
    state.wanted.fg1 = fg1;
    state.wanted.fg2 = fg2;
    state.wanted.bg = bg;
    if (state.work.pending || figure_busy())
        return;   // the figure under way is rendered with the colours it was asked with
    const int depth = bitmap_color_depth(the_model().bmp);
    the_model().set_colors(makecol_depth(depth, fg1.r, fg1.g, fg1.b), makecol_depth(depth, fg2.r, fg2.g, fg2.b),
                           makecol_depth(depth, bg.r, bg.g, bg.b));
}

}

int change_color()
{
    write_row(0, state.wanted.fg1);
    write_row(1, state.wanted.fg2);
    write_row(2, state.wanted.bg);
    if (run_number_dialog(color_dialog, component_fields) == ok_entry) {
        rgb fg1{}, fg2{}, bg{};
        read_row(0, fg1);
        read_row(1, fg2);
        read_row(2, bg);
        store_colours(fg1, fg2, bg);
    }
    redraw_main();
    return D_O_K;
}
