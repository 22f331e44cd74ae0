// The Zoom menu: the zoom and ratio dialogs, Zoom Out and Zoom In with the
// state of "Zoom &In", and zooms that have no int value.
#include <climits>

#include "chryzode.h"
#include "failing_new.h"
#include "gui.h"
#include "user_steps.h"

using namespace gui_test;

namespace {

// Entry of the zoom and ratio dialogs.
constexpr int number_field = 5, cancel_button = 3;
constexpr int zoom_chars = 11, ratio_chars = 3;

constexpr int stored_complete = 0;
const figure small{2, 301, 0, stored_complete, 1};

class zoom_commands : public program_test {};

figure at_zoom(int zoom)
{
    figure f = small;
    f.zoom = zoom;
    return f;
}

bool zoom_in_enabled()
{
    return zoom_menu[in_item].flags == 0;
}

void expect_zoom(int zoom)
{
    EXPECT_EQ(zoom_value, zoom);
    EXPECT_EQ(the_model().zoom, zoom);
    const std::string end = " ; zoom 1:" + std::to_string(zoom);
    const std::string status = status_line();
    EXPECT_EQ(status.substr(status.size() - std::min(status.size(), end.size())), end) << status;
}

void expect_picture_at(int zoom)
{
    EXPECT_EQ(different_pixels(view(), engine_picture(small.n, small.m, small.r, small.type, zoom).get()), 0)
        << "zoom " << zoom;
    EXPECT_EQ(view_differs_on_screen(), 0);
}

// Runs a Zoom menu item to its end.
bool zoom_item(int item)
{
    type(menu(KEY_Z, item));
    return finish_typing();
}

steps value_dialog(const char* typed)
{
    return open_dialog(KEY_Z, 'v', "Zoom value") + fill(number_field, zoom_chars, typed) + steps{ok};
}

steps ratio_dialog(const char* typed)
{
    return open_dialog(KEY_Z, 'r', "Zoom in/zoom out ratio") + fill(number_field, ratio_chars, typed) +
           steps{ok};
}

// What the number field of the open dialog shows, before the next key.
step offered(std::string& into)
{
    return look([] { return !dialog_title().empty(); }, [&into] { into = field_text(number_field); });
}

TEST_F(zoom_commands, out_then_in_with_ratio_2_draw_the_engines_pictures)
{
    type(new_figure(small));
    ASSERT_TRUE(finish_typing());
    EXPECT_FALSE(zoom_in_enabled()) << "zoom 1 is below the ratio";

    ASSERT_TRUE(zoom_item('o'));
    expect_zoom(2);
    EXPECT_TRUE(zoom_in_enabled());
    expect_picture_at(2);

    ASSERT_TRUE(zoom_item('i'));
    expect_zoom(1);
    EXPECT_FALSE(zoom_in_enabled());
    expect_picture_at(1);
}

TEST_F(zoom_commands, in_from_5_and_out_from_3_divide_truncating)
{
    type(new_figure(at_zoom(5)));
    ASSERT_TRUE(finish_typing());
    ASSERT_TRUE(zoom_in_enabled());
    ASSERT_TRUE(zoom_item('i'));
    expect_zoom(2);
    EXPECT_TRUE(zoom_in_enabled()) << "2 is not below 2";
    ASSERT_TRUE(zoom_item('i'));
    expect_zoom(1);
    EXPECT_FALSE(zoom_in_enabled());

    type(value_dialog("3"));
    ASSERT_TRUE(finish_typing());
    expect_zoom(3);
    EXPECT_TRUE(zoom_in_enabled()) << "3 is not below 2";
    ASSERT_TRUE(zoom_item('o'));
    expect_zoom(6);
    EXPECT_TRUE(zoom_in_enabled());
    ASSERT_TRUE(zoom_item('i'));
    expect_zoom(3);
    ASSERT_TRUE(zoom_item('i'));
    expect_zoom(1);
    EXPECT_FALSE(zoom_in_enabled());
    expect_picture_at(1);
}

TEST_F(zoom_commands, a_new_ratio_above_the_zoom_disables_zoom_in_and_0_is_refused)
{
    type(new_figure(at_zoom(4)));
    ASSERT_TRUE(finish_typing());
    ASSERT_TRUE(zoom_in_enabled());

    std::string first;
    type(open_dialog(KEY_Z, 'r', "Zoom in/zoom out ratio") + steps{offered(first)} +
         fill(number_field, ratio_chars, "5") + steps{ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(first, "2");
    EXPECT_EQ(zoom_ratio, 5);
    EXPECT_FALSE(zoom_in_enabled());
    expect_zoom(4);

    type(ratio_dialog("3"));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(zoom_ratio, 3);
    EXPECT_TRUE(zoom_in_enabled()) << "a ratio at or below the zoom enables it";
    ASSERT_TRUE(zoom_item('o'));
    expect_zoom(12);
    EXPECT_TRUE(zoom_in_enabled());

    // Three characters of four bytes each fit the field and read as 0.
    std::string alert_said, again;
    std::vector<std::string> buttons;
    type(ratio_dialog("\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E") +
         steps{look(alert_showing,
                    [&] {
                        alert_said = alert_text();
                        buttons = alert_buttons();
                    }),
               ok} +
         open_dialog(KEY_Z, 'r', "Zoom in/zoom out ratio") + steps{offered(again)} + push(cancel_button));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(alert_said, "Zoom in/zoom out ratio\nA ratio of 0 cannot be used.\nThe ratio stays 3.");
    EXPECT_EQ(buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(again, "3");
    EXPECT_EQ(zoom_ratio, 3);
    EXPECT_TRUE(zoom_in_enabled());
    ASSERT_TRUE(zoom_item('i'));
    expect_zoom(4);
}

TEST_F(zoom_commands, normal_size_draws_zoom_1)
{
    type(new_figure(at_zoom(8)));
    ASSERT_TRUE(finish_typing());
    ASSERT_TRUE(zoom_item('n'));
    expect_zoom(1);
    expect_picture_at(1);
}

TEST_F(zoom_commands, the_zoom_field_reads_leading_numbers_and_shows_every_digit)
{
    type(new_figure(small));
    ASSERT_TRUE(finish_typing());

    std::string first;
    type(open_dialog(KEY_Z, 'v', "Zoom value") + steps{offered(first)} +
         fill(number_field, zoom_chars, "12abc") + steps{ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(first, "1");
    expect_zoom(12);

    type(value_dialog("  8"));
    ASSERT_TRUE(finish_typing());
    expect_zoom(8);

    type(value_dialog("-3"));
    ASSERT_TRUE(finish_typing());
    expect_zoom(-3);
    expect_picture_at(-3);

    type(open_dialog(KEY_Z, 'v', "Zoom value") + fill(number_field, zoom_chars, "5") + push(cancel_button));
    ASSERT_TRUE(finish_typing());
    expect_zoom(-3);

    type(value_dialog("9999999"));
    ASSERT_TRUE(finish_typing());
    ASSERT_TRUE(zoom_item('o'));
    expect_zoom(19999998);
    std::string shown;
    type(open_dialog(KEY_Z, 'v', "Zoom value") + steps{offered(shown), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(shown, "19999998");
    expect_zoom(19999998);

    // Eleven characters of four bytes each fit the field and read as 0.
    const std::string clef = "\xF0\x9D\x84\x9E";
    std::string clefs;
    for (int i = 0; i < zoom_chars; ++i)
        clefs += clef;
    type(value_dialog(clefs.c_str()) + steps{when(alert_showing), ok});
    ASSERT_TRUE(finish_typing());
    expect_zoom(19999998);
}

TEST_F(zoom_commands, zooms_without_an_int_value_leave_the_zoom_as_it_was)
{
    type(new_figure(small) + value_dialog("9999999") + ratio_dialog("999"));
    ASSERT_TRUE(finish_typing());
    ASSERT_TRUE(zoom_item('o'));
    expect_zoom(9999999);

    type(value_dialog("-999999"));
    ASSERT_TRUE(finish_typing());
    ASSERT_TRUE(zoom_item('o'));
    expect_zoom(-998999001);
    ASSERT_TRUE(zoom_item('o'));
    expect_zoom(-998999001);

    // No dialog leads there (the ratio dialog makes the item disabled), but
    // the command itself must not divide.
    zoom_value = INT_MIN;
    zoom_ratio = -1;
    EXPECT_EQ(zoom_in(), D_O_K);
    EXPECT_EQ(zoom_value, INT_MIN);
}

TEST_F(zoom_commands, without_memory_for_the_new_zoom_the_last_one_stays)
{
    const figure on_the_fly_figure{2, 301, 1, from_root | on_the_fly, 1};
    type(new_figure(on_the_fly_figure));
    ASSERT_TRUE(finish_typing());
    const bitmap_ptr before = copy_of(view());
    const std::string status = status_line();

    std::string said;
    type(open_dialog(KEY_Z, 'v', "Zoom value") + fill(number_field, zoom_chars, "3") +
         steps{look([] { return true; }, [] { refuse_arrays = true; }), ok,
               look(alert_showing,
                    [&] {
                        said = alert_text();
                        refuse_arrays = false;
                    }),
               ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(said.substr(0, said.find('\n')), "This figure is too large.");
    EXPECT_EQ(zoom_value, 1);
    EXPECT_EQ(status_line(), status);
    EXPECT_EQ(different_pixels(view(), before.get()), 0);

    // The model kept zoom 1 too: Rerender draws the same picture.
    expect_rerender_draws(before.get());
}

}
