// The Colors dialog: the fields and swatches it opens with, the swatch that
// follows the typing, and what OK and Cancel do to the model and the picture.
#include <array>

#include "chryzode.h"
#include "user_steps.h"
#include "gui.h"

using namespace gui_test;

namespace {

constexpr int cancel_button = 3, first_swatch = 4;
// The red, green and blue fields of the three rows.
constexpr int fields[3][3] = {{9, 11, 13}, {16, 18, 20}, {23, 25, 27}};
constexpr int component_chars = 3;

const figure small{2, 301, 0, 0, 1};

class colors_command : public program_test {};

bool colors_open()
{
    return dialog_title() == "Chryzode colors";
}

// A swatch holds the GUI's background colour until it first draws itself;
// none of the first colours is that colour.
bool swatches_drawn()
{
    return colors_open() && active_dialog[first_swatch].bg != gui_bg_color &&
           active_dialog[first_swatch + 1].bg != gui_bg_color && active_dialog[first_swatch + 2].bg != gui_bg_color;
}

steps open_colors()
{
    return open_dialog(KEY_C, 'c', "Chryzode colors");
}

using row_texts = std::array<std::string, 3>;
using shown_texts = std::array<row_texts, 3>;

shown_texts texts_shown()
{
    shown_texts shown;
    for (int row = 0; row < 3; ++row)
        for (int i = 0; i < 3; ++i)
            shown[row][i] = field_text(fields[row][i]);
    return shown;
}

// The colour inside a swatch, as the screen shows it.
int swatch_on_screen(int row)
{
    const DIALOG& swatch = active_dialog[first_swatch + row];
    scare_mouse();
    const int colour = getpixel(screen, swatch.x + swatch.w / 2, swatch.y + swatch.h / 2);
    unscare_mouse();
    return colour;
}

// Paints a swatch's inside on the screen with a colour that none of the rows
// has in the test: a swatch still of this colour was not repainted since.
const int marker_rgb[3] = {255, 0, 255};

void mark_swatch(int row)
{
    const DIALOG& swatch = active_dialog[first_swatch + row];
    scare_mouse();
    rectfill(screen, swatch.x + 1, swatch.y + 1, swatch.x + swatch.w - 2, swatch.y + swatch.h - 2,
             makecol(marker_rgb[0], marker_rgb[1], marker_rgb[2]));
    unscare_mouse();
}

steps fill_row(int row, const char* red, const char* green, const char* blue)
{
    return fill(fields[row][0], component_chars, red) + fill(fields[row][1], component_chars, green) +
           fill(fields[row][2], component_chars, blue);
}

void expect_model_colours(int fg1, int fg2, int bg)
{
    EXPECT_EQ(the_model().fg1, fg1);
    EXPECT_EQ(the_model().fg2, fg2);
    EXPECT_EQ(the_model().bg, bg);
}

const shown_texts first_texts{{{"255", "0", "0"}, {"255", "255", "0"}, {"0", "0", "0"}}};

TEST_F(colors_command, opens_on_the_defaults_and_cancel_keeps_them)
{
    shown_texts first, again;
    std::array<int, 3> swatches{};
    type(open_colors() + steps{look(swatches_drawn,
                                    [&] {
                                        first = texts_shown();
                                        for (int row = 0; row < 3; ++row)
                                            swatches[row] = swatch_on_screen(row);
                                    })} +
         fill_row(0, "10", "20", "30") + push(cancel_button) + open_colors() +
         steps{look(colors_open, [&] { again = texts_shown(); }), keystroke(27)});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(first, first_texts);
    EXPECT_EQ(swatches, (std::array<int, 3>{makecol(255, 0, 0), makecol(255, 255, 0), makecol(0, 0, 0)}));
    EXPECT_EQ(again, first_texts) << "the text typed before Cancel is gone";
    expect_model_colours(makecol(255, 0, 0), makecol(255, 255, 0), makecol(0, 0, 0));
}

TEST_F(colors_command, every_key_a_field_uses_repaints_its_rows_swatch_only)
{
    // After each key into Color 2's red field: the colour its swatch shows.
    std::vector<int> seen;
    bool others_kept = true;
    const auto mark_all = [] {
        for (int row = 0; row < 3; ++row)
            mark_swatch(row);
    };
    const auto check = [&] {
        seen.push_back(swatch_on_screen(1));
        const int marker = makecol(marker_rgb[0], marker_rgb[1], marker_rgb[2]);
        others_kept = others_kept && swatch_on_screen(0) == marker && swatch_on_screen(2) == marker;
        mark_all();
    };
    steps keys = open_colors() + steps{tab_to(fields[1][0]), look(colors_open, mark_all)};
    for (const step& key : steps{press(KEY_END), keystroke(8), keystroke(8), keystroke(8), keystroke('9')}) {
        keys.push_back(key);
        keys.push_back(look(colors_open, check));
    }
    type(keys + steps{keystroke(27)});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(seen, (std::vector<int>{makecol(255, 255, 0), makecol(25, 255, 0), makecol(2, 255, 0),
                                      makecol(0, 255, 0), makecol(9, 255, 0)}));
    EXPECT_TRUE(others_kept) << "a swatch of another row was repainted";
}

TEST_F(colors_command, ok_gives_the_model_the_colours_and_rerender_draws_with_them)
{
    type(new_figure(small));
    ASSERT_TRUE(finish_typing());
    const bitmap_ptr before = copy_of(view());

    type(open_colors() + fill_row(0, "0", "0", "255") + fill_row(1, "0", "255", "0") +
         fill_row(2, "40", "40", "40") + steps{ok});
    ASSERT_TRUE(finish_typing());
    expect_model_colours(makecol(0, 0, 255), makecol(0, 255, 0), makecol(40, 40, 40));
    EXPECT_EQ(different_pixels(view(), before.get()), 0) << "the picture waits for the next rendering";
    EXPECT_EQ(view_differs_on_screen(), 0);

    type(menu(KEY_C, 'r'));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(different_pixels(view(), engine_picture(small.n, small.m, small.r, small.type, small.zoom).get()),
              0);
    EXPECT_EQ(getpixel(view(), 0, 0), makecol(40, 40, 40));
    EXPECT_EQ(view_differs_on_screen(), 0);

    shown_texts again;
    type(open_colors() + steps{look(colors_open, [&] { again = texts_shown(); })} + push(cancel_button));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(again, (shown_texts{{{"0", "0", "255"}, {"0", "255", "0"}, {"40", "40", "40"}}}));
}

TEST_F(colors_command, components_outside_0_to_255_are_brought_to_the_nearest_end)
{
    int swatch = 0;
    shown_texts again;
    // Three characters of four bytes each fit a field and read as 0.
    type(open_colors() + fill_row(0, "999", "-5", "300") +
         fill_row(2, "7", "8", "\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E") +
         steps{look(colors_open, [&] { swatch = swatch_on_screen(0); }), ok} + open_colors() +
         steps{look(colors_open, [&] { again = texts_shown(); }), keystroke(27)});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(swatch, makecol(255, 0, 255));
    expect_model_colours(makecol(255, 0, 255), makecol(255, 255, 0), makecol(7, 8, 0));
    EXPECT_EQ(again, (shown_texts{{{"255", "0", "255"}, {"255", "255", "0"}, {"7", "8", "0"}}}));
}

}
