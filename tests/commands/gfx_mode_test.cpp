// The Graphics Mode dialog: windowed modes that resize the view and the
// bars, Cancel, and modes or bitmaps that cannot be had. The program is
// linked with gfx_refusal.cpp, which refuses what the environment names.
#include <cstdlib>

#include "chryzode.h"
#include "user_steps.h"
#include "gui.h"

using namespace gui_test;

namespace {

constexpr int cancel_button = 3, mode_list = 4;
constexpr int row_800x600_windowed = 2, row_800x600_fullscreen = 3, row_1024x768_windowed = 4;

const figure small{2, 301, 0, 0, 1};

class gfx_mode_command : public program_test {
protected:
    void TearDown() override
    {
        unsetenv("QUORVANE_REFUSE_GFX");
        unsetenv("QUORVANE_REFUSE_BITMAP");
        program_test::TearDown();
    }
};

bool gfx_dialog_open()
{
    return dialog_title() == "Changing graphics mode";
}

// Opens the dialog, notes the row it opens on, and picks a row.
steps choose_mode(int row, int& opened_on)
{
    steps s = open_dialog(KEY_F, 'g', "Changing graphics mode") +
              steps{look(gfx_dialog_open, [&opened_on] { opened_on = active_dialog[mode_list].d1; }),
                    tab_to(mode_list), press(KEY_HOME)};
    for (int i = 0; i < row; ++i)
        s.push_back(press(KEY_DOWN));
    return s;
}

steps change_mode(int row, int& opened_on)
{
    return choose_mode(row, opened_on) + steps{ok};
}

void expect_screen_of(int w, int h)
{
    EXPECT_EQ(SCREEN_W, w);
    EXPECT_EQ(SCREEN_H, h);
    EXPECT_TRUE(gfx_driver->windowed);
    EXPECT_EQ(view()->w, w);
    EXPECT_EQ(view()->h, h);
    EXPECT_EQ(the_model().bmp, view());
    EXPECT_EQ(main_dialog[view_entry].w, w);
    EXPECT_EQ(main_dialog[view_entry].h, h);
    EXPECT_EQ(main_dialog[status_bar_entry].x, 0);
    EXPECT_EQ(main_dialog[status_bar_entry].y, h - 20);
    EXPECT_EQ(main_dialog[status_bar_entry].w, w);
    EXPECT_EQ(main_dialog[status_bar_entry].h, 20);
}

void expect_view_background()
{
    const bitmap_ptr background(create_bitmap(view()->w, view()->h));
    clear_to_color(background.get(), the_model().bg);
    EXPECT_EQ(different_pixels(view(), background.get()), 0);
}

void expect_engines_picture()
{
    EXPECT_EQ(different_pixels(view(), engine_picture(small.n, small.m, small.r, small.type, small.zoom).get()),
              0);
}

bool bars_hidden()
{
    return main_dialog[menu_bar_entry].flags & D_HIDDEN;
}

// A refused mode leaves the alert and then the main window; both must take
// keys from the X server, not only typed ones.
void expect_window_takes_x_keys()
{
    ASSERT_EQ(std::system("xdotool search --name '^Quorvane - a chryzode explorer$' windowfocus --sync key h"), 0);
    EXPECT_TRUE(run_main_until(bars_hidden, 10)) << "the h key did not reach the window";
    type({keystroke('h')});
    EXPECT_TRUE(run_main_until([] { return !bars_hidden(); }));
}

// What the screen mode, the view and the picture were before a command.
struct before_command {
    BITMAP* view_bitmap = view();
    bitmap_ptr picture = copy_of(view());
    std::string status = status_line();

    void expect_kept() const
    {
        expect_screen_of(640, 480);
        EXPECT_EQ(view(), view_bitmap);
        EXPECT_EQ(different_pixels(view(), picture.get()), 0);
        EXPECT_EQ(status_line(), status);
        EXPECT_EQ(view_differs_on_screen(), 0);
    }
};

TEST_F(gfx_mode_command, windowed_modes_resize_the_view_and_the_status_bar)
{
    type(new_figure(small));
    ASSERT_TRUE(finish_typing());
    const std::string status = status_line();

    int opened_on = -1;
    type(change_mode(row_800x600_windowed, opened_on));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(opened_on, 0) << "the first opening shows 640x480 Windowed";
    expect_screen_of(800, 600);
    expect_view_background();
    EXPECT_EQ(view_differs_on_screen(), 0);
    EXPECT_EQ(status_line(), status);
    type(menu(KEY_C, 'r'));
    ASSERT_TRUE(finish_typing());
    expect_engines_picture();

    type(change_mode(row_1024x768_windowed, opened_on));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(opened_on, row_800x600_windowed) << "the list opens on the row last chosen";
    expect_screen_of(1024, 768);
    expect_view_background();
    EXPECT_EQ(view_differs_on_screen(), 0);
    type(menu(KEY_C, 'r'));
    ASSERT_TRUE(finish_typing());
    expect_engines_picture();
    EXPECT_EQ(view_differs_on_screen(), 0);
}

TEST_F(gfx_mode_command, cancel_changes_nothing)
{
    type(new_figure(small));
    ASSERT_TRUE(finish_typing());
    const before_command before;
    int opened_on = -1;
    type(choose_mode(row_1024x768_windowed, opened_on) + push(cancel_button));
    ASSERT_TRUE(finish_typing());
    before.expect_kept();
}

TEST_F(gfx_mode_command, a_refused_mode_goes_back_to_the_window_and_keeps_the_picture)
{
    setenv("QUORVANE_REFUSE_GFX", "fullscreen", 1);
    type(new_figure(small));
    ASSERT_TRUE(finish_typing());
    const before_command before;

    int opened_on = -1;
    std::string said;
    std::vector<std::string> buttons;
    type(change_mode(row_800x600_fullscreen, opened_on) + steps{look(alert_showing,
                                                                     [&] {
                                                                         said = alert_text();
                                                                         buttons = alert_buttons();
                                                                     }),
                                                                ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(said, "Error !\nUnable to change\nGraphics mode");
    EXPECT_EQ(buttons, std::vector<std::string>{"OK"});
    before.expect_kept();
    expect_window_takes_x_keys();

    type(choose_mode(0, opened_on) + steps{keystroke(27)});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(opened_on, row_800x600_fullscreen) << "the refused row stays selected";
}

TEST_F(gfx_mode_command, without_memory_for_the_new_bitmap_the_old_mode_and_bitmap_stay)
{
    setenv("QUORVANE_REFUSE_BITMAP", "800x600", 1);
    type(new_figure(small));
    ASSERT_TRUE(finish_typing());
    const before_command before;

    int opened_on = -1;
    std::string said;
    type(change_mode(row_800x600_windowed, opened_on) +
         steps{note_alert(said), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(said, "Error !\nUnable to change\nGraphics mode");
    before.expect_kept();
    expect_window_takes_x_keys();
}

}
