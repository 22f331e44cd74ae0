// The Colors command: the two figure colours and the background typed as
// red, green and blue components, each row with a swatch that follows the
// typing.
#include <algorithm>

#include "chryzode.h"
#include "gui.h"

namespace {

constexpr int component_chars = 3;
constexpr int field_size = edit_buffer_size(component_chars);
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
    { d_rgbedit_proc,  80,  70,  40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 0 * field_size, &group[0],       nullptr },
    { d_text_proc,     130, 70,  30,  16,  0, 0, 0,  0,      0,               0, (void*)"V =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  170, 70,  40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 1 * field_size, &group[0],       nullptr },
    { d_text_proc,     220, 70,  30,  16,  0, 0, 0,  0,      0,               0, (void*)"B =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  260, 70,  40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 2 * field_size, &group[0],       nullptr },
    { d_textbox_proc,  30,  100, 150, 16,  0, 0, 0,  0,      0,               0, (void*)"Color 2",              nullptr,         nullptr },
    { d_text_proc,     40,  140, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"R =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  80,  140, 40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 3 * field_size, &group[1],       nullptr },
    { d_text_proc,     130, 140, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"V =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  170, 140, 40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 4 * field_size, &group[1],       nullptr },
    { d_text_proc,     220, 140, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"B =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  260, 140, 40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 5 * field_size, &group[1],       nullptr },
    { d_textbox_proc,  30,  170, 150, 16,  0, 0, 0,  0,      0,               0, (void*)"Background",           nullptr,         nullptr },
    { d_text_proc,     40,  210, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"R =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  80,  210, 40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 6 * field_size, &group[2],       nullptr },
    { d_text_proc,     130, 210, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"V =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  170, 210, 40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 7 * field_size, &group[2],       nullptr },
    { d_text_proc,     220, 210, 30,  16,  0, 0, 0,  0,      0,               0, (void*)"B =",                  nullptr,         nullptr },
    { d_rgbedit_proc,  260, 210, 40,  16,  0, 0, 0,  0,      component_chars, 0, color_string + 8 * field_size, &group[2],       nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,               0, nullptr,                       nullptr,         nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,               0, nullptr,                       nullptr,         nullptr },
};

namespace {

char* field(int k) { return color_string + k * field_size; }

// A typed component as a colour component: what lies outside 0..255 is
// brought to the nearest end, so that makecol never sees it.
int component(int k)
{
    return std::clamp(read_number(field(k)), 0, 255);
}

// Writes a colour's components into the three fields of a row.
void write_row(int row, int color)
{
    uszprintf(field(3 * row + 0), field_size, "%d", getr(color));
    uszprintf(field(3 * row + 1), field_size, "%d", getg(color));
    uszprintf(field(3 * row + 2), field_size, "%d", getb(color));
}

}

// A swatch: the colour of its row's three fields, kept in its bg.
int d_rgbbox_proc(int msg, DIALOG* d, int)
{
    if (msg != MSG_DRAW)
        return D_O_K;
    const int row = d->d1;
    d->bg = makecol(component(3 * row + 0), component(3 * row + 1), component(3 * row + 2));
    rectfill(screen, d->x + 1, d->y + 1, d->x + d->w - 2, d->y + d->h - 2, d->bg);
    rect(screen, d->x, d->y, d->x + d->w - 1, d->y + d->h - 1, d->fg);
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

int change_color()
{
    static int fg1 = makecol(255, 0, 0);
    static int fg2 = makecol(255, 255, 0);
    static int bg = makecol(0, 0, 0);
    write_row(0, fg1);
    write_row(1, fg2);
    write_row(2, bg);
    if (run_dialog(color_dialog) == ok_entry) {
        // Each swatch computed its colour from the fields when it was last drawn.
        fg1 = color_dialog[first_swatch + 0].bg;
        fg2 = color_dialog[first_swatch + 1].bg;
        bg = color_dialog[first_swatch + 2].bg;
        the_model().set_colors(fg1, fg2, bg);
    }
    redraw_main();
    return D_O_K;
}
