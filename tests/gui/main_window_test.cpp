// The main window: its start-up state, the bars, Escape, About, Quit and the
// window's close button.
#include "harness.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <cstring>

#include <X11/Xlib.h>

#include "gui.h"

using namespace gui_test;

namespace {

class main_window : public program_test {};

bool bars_hidden()
{
    return main_dialog[menu_bar_entry].flags & D_HIDDEN;
}

int menu_bar_height()
{
    return main_dialog[menu_bar_entry].h;
}

// The view shows on the screen between the menu bar and the status bar.
long view_differs_on_screen()
{
    const int top = menu_bar_height(), bottom = main_dialog[status_bar_entry].y;
    return different_pixels(screen_copy().get(), view(), 0, top, view()->w, bottom - top);
}

bool quiet_passes(int passes)
{
    int left = passes;
    return run_main_until([&] { return --left < 0; });
}

bool about_works()
{
    type(menu(KEY_H, 'a'));
    type({when(alert_showing), keystroke('\r')});
    return finish_typing();
}

// The X server learns the title in its own time.
bool window_titled()
{
    return std::system("xdotool search --name '^Quorvane - a chryzode explorer$' >/dev/null") == 0;
}

// What the window manager does when the user clicks the window's close button.
void send_close_request(const char* title)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    Window target = 0;
    for (unsigned i = 0; i < count && !target; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (std::strcmp(name, title) == 0)
                target = children[i];
            XFree(name);
        }
    }
    XFree(children);
    ASSERT_NE(target, 0u) << "no window titled " << title;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, target, False, NoEventMask, &event);
    XCloseDisplay(display);
}

TEST_F(main_window, starts_titled_with_a_cleared_view_and_the_figure_commands_disabled)
{
    EXPECT_TRUE(run_main_until(window_titled, 10));
    EXPECT_EQ(status_line(), "Quorvane 0.31");
    ASSERT_EQ(view()->w, 640);
    ASSERT_EQ(view()->h, 480);
    EXPECT_EQ(main_dialog[view_entry].w, 640);
    EXPECT_EQ(main_dialog[view_entry].h, 480);
    const bitmap_ptr black(create_bitmap(640, 480));
    clear(black.get());
    EXPECT_EQ(different_pixels(view(), black.get()), 0);
    ASSERT_TRUE(quiet_passes(3));
    EXPECT_EQ(view_differs_on_screen(), 0);

    EXPECT_EQ(file_menu[save_item].flags, D_DISABLED);
    EXPECT_EQ(chryzode_menu[rerender_item].flags, D_DISABLED);
    for (int item : {normal_item, value_item, ratio_item, out_item, in_item})
        EXPECT_EQ(zoom_menu[item].flags, D_DISABLED) << zoom_menu[item].text;
    for (MENU* item : {&file_menu[gfx_mode_item], &file_menu[quit_item], &chryzode_menu[new_item],
                       &chryzode_menu[colors_item], &help_menu[0]})
        EXPECT_EQ(item->flags, 0) << item->text;
}

TEST_F(main_window, h_hides_the_bars_and_shows_them_again)
{
    type({keystroke('h')});
    ASSERT_TRUE(run_main_until(bars_hidden));
    for (int entry : {menu_bar_entry, status_bar_entry, yield_entry})
        EXPECT_TRUE(main_dialog[entry].flags & D_HIDDEN) << entry;
    EXPECT_FALSE(main_dialog[view_entry].flags & D_HIDDEN);
    ASSERT_TRUE(quiet_passes(3));
    EXPECT_EQ(different_pixels(screen_copy().get(), view()), 0) << "the view fills the window";

    type({keystroke('h')});
    ASSERT_TRUE(run_main_until([] { return !bars_hidden(); }));
    ASSERT_TRUE(quiet_passes(3));
    EXPECT_GT(different_pixels(screen_copy().get(), view(), 0, 460, 640, 20), 0) << "the status bar is back";
    EXPECT_EQ(view_differs_on_screen(), 0);
    EXPECT_TRUE(about_works()) << "the menus work again";
}

// Processor time the main loop uses over a second of waiting for input.
double seconds_busy_in_a_second()
{
    const std::clock_t cpu = std::clock();
    const auto wall = std::chrono::steady_clock::now();
    run_main_until([&] { return std::chrono::steady_clock::now() - wall > std::chrono::seconds(1); });
    return double(std::clock() - cpu) / CLOCKS_PER_SEC;
}

// A loop that spins would use a whole processor.
TEST_F(main_window, waits_without_using_the_processor)
{
    EXPECT_LT(seconds_busy_in_a_second(), 0.3) << "bars shown";

    type({alt(KEY_F)});
    ASSERT_TRUE(run_main_until(typed_all));
    EXPECT_LT(seconds_busy_in_a_second(), 0.3) << "a menu open";
    type({keystroke(27), keystroke(27), keystroke('h')});
    ASSERT_TRUE(run_main_until(bars_hidden));
    EXPECT_LT(seconds_busy_in_a_second(), 0.3) << "bars hidden";
}

TEST_F(main_window, escape_leaves_it_open_and_usable)
{
    type({keystroke(27)});
    ASSERT_TRUE(run_main_until(typed_all));
    ASSERT_TRUE(quiet_passes(5)) << "Escape ended the main loop";
    EXPECT_TRUE(about_works());

    // With the bars hidden, the yield object that takes Escape is hidden too.
    type({keystroke('h'), keystroke(27), keystroke(27), keystroke('h')});
    ASSERT_TRUE(run_main_until([] { return typed_all() && !bars_hidden(); }));
    ASSERT_TRUE(quiet_passes(5)) << "Escape ended the main loop";
    EXPECT_TRUE(about_works());

    type(menu(KEY_F, 'q'));
    EXPECT_TRUE(run_main_to_end());
}

TEST_F(main_window, about_shows_three_lines_and_one_ok_button)
{
    const bitmap_ptr before = copy_of(view());
    std::string text;
    std::vector<std::string> buttons;
    type(menu(KEY_H, 'a'));
    type({when([&] {
              text = alert_text();
              buttons = alert_buttons();
              return alert_showing();
          }),
          keystroke('\r')});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(text, "Quorvane - A chryzode explorer\nversion 0.32\nChryzodes drawn by their crossings");
    EXPECT_EQ(buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(main_window_active());
    EXPECT_EQ(status_line(), "Quorvane 0.31");
    EXPECT_EQ(different_pixels(view(), before.get()), 0);
    EXPECT_EQ(view_differs_on_screen(), 0);
}

TEST_F(main_window, quit_ends_the_loop_and_shut_down_releases_the_model)
{
    type(menu(KEY_F, 'q'));
    ASSERT_TRUE(run_main_to_end());
    shut_down();
    // The model and the bitmap it owns are gone; the leak checker of the
    // sanitizer build sees anything left behind.
    EXPECT_EQ(main_dialog[view_entry].dp2, nullptr);
    EXPECT_EQ(main_dialog[view_entry].dp, nullptr);
}

TEST_F(main_window, the_close_button_ends_the_loop)
{
    ASSERT_TRUE(run_main_until(window_titled, 10));
    send_close_request("Quorvane - a chryzode explorer");
    EXPECT_TRUE(run_main_to_end());
    EXPECT_EQ(close_button_clicked, 1);
}

}
