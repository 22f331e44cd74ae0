// Test support for the program's GUI, in-process: the program started on the
// test's own X display, keys typed into its dialogs as a user would type them,
// and what the program shows read back.
//
// One program per process. Each test is a process of its own under a private
// Xvfb: add_gui_test() in tests/gui/CMakeLists.txt builds a test program,
// links this library (which brings main) and registers every test with ctest
// under tests/with_xvfb.sh. Tests use the fixture program_test, which starts
// the program before the test and shuts it down after.
//
// Typing. type() queues steps; the typist types one step whenever the GUI
// waits for input (a pass of a dialog, a menu or an alert, on the program's
// own thread) and the key buffer is empty. A step is a key, or a condition to
// wait for before the next key. alert() empties the key buffer when it opens:
// wait with when(alert_showing) before typing into an alert. Menus: alt(KEY_C)
// opens the Chryzode menu, then keystroke('n') picks its item &New.
//
// Keys typed into the main window need a scancode: its hot-key object takes
// every unused key that has none. keystroke() gives letters, digits and the
// usual controls their real scancodes; other characters go into fields only.
//
// Should the GUI wait for input with nothing left to type for
// `patience_seconds`, the typist gives up: it types Escape from then on, so
// that a command whose dialog would stay open returns, and typed_all() is
// false until the next type().
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <allegro.h>

namespace gui_test {

struct step {
    int c;                        // the character, 0 for none
    int scancode;                 // KEY_..., 0 for none
    std::function<bool()> ready;  // a condition step when set
};
using steps = std::vector<step>;

step keystroke(int c);                   // a character
step press(int scancode);                // a key without a character: KEY_END, KEY_LEFT...
step alt(int scancode);                  // Alt + a letter key
step when(std::function<bool()> ready);  // wait until ready() holds
steps text(const char* utf8);            // the characters of a text
steps clear_field(int chars);            // End, then Backspaces enough for `chars` characters
steps menu(int menu_scancode, int item); // alt(menu_scancode), then keystroke(item)
step tab_to(int entry);                  // Tab until that entry of the open dialog has the focus
steps operator+(steps a, const steps& b);

void type(const steps& s);
bool typed_all();
constexpr double patience_seconds = 15;

// Passes of the main loop until done() holds (true), until the main loop
// ends or `seconds` pass (false).
bool run_main_until(const std::function<bool()>& done, double seconds = 20);
// Passes of the main loop until everything queued is typed and taken and the
// main window is back on top (true), or the typist gives up or `seconds`
// pass (false).
bool finish_typing(double seconds = 20);
// Passes of the main loop until it ends (true) or `seconds` pass (false).
bool run_main_to_end(double seconds = 20);

// What the program shows.
bool main_window_active();            // no command dialog, alert or selector open
std::string dialog_title();           // title bar of the open command dialog, "" if none
bool alert_showing();
std::string alert_text();             // the open alert's three lines, joined by '\n'
std::vector<std::string> alert_buttons();
BITMAP* view();                       // the view bitmap
std::string status_line();

struct bitmap_deleter {
    void operator()(BITMAP* b) const { destroy_bitmap(b); }
};
using bitmap_ptr = std::unique_ptr<BITMAP, bitmap_deleter>;

// The engine's own picture of a figure, on a bitmap of the view's size, in
// the program's current colours.
bitmap_ptr engine_picture(int n, int m, int r, int type, int zoom);
bitmap_ptr copy_of(BITMAP* b);
// What the window shows, without the mouse pointer.
bitmap_ptr screen_copy();
// Pixels that differ within the rectangle (x, y, w, h) of both bitmaps;
// the whole bitmaps when w is 0. -1 when the bitmaps' sizes differ.
long different_pixels(BITMAP* a, BITMAP* b, int x = 0, int y = 0, int w = 0, int h = 0);

// Starts the program before each test and shuts it down after.
class program_test : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}
