// The program's GUI in-process on the test's own X display: type() queues
// steps, each a key or a condition to wait for; the typist types one key
// whenever the GUI waits for input with the key buffer empty. alert() empties
// that buffer when it opens: wait for it. With nothing left to type for 15 s,
// the typist gives up and types Escape.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <allegro.h>

#include "chryzode.h"
#include "gui.h"

namespace gui_test {

struct step {
    int c, scancode;              // a key, or else
    std::function<bool()> ready;  // a condition to wait for
};
using steps = std::vector<step>;
steps operator+(steps a, const steps& b);
step keystroke(int c);                   // letters, digits and controls get their scancode
step press(int scancode);                // a key without a character
step when(std::function<bool()> ready);
step now(std::function<void()> check);   // check() before the next key
extern const step ok;                    // Return: the OK button of every command dialog
steps text(const char* utf8);
steps menu(int menu_scancode, int item);   // Alt+letter, then the item's letter
steps open_dialog(int menu_scancode, int item, const char* title);
step tab_to(int entry);
steps fill(int entry, int chars, const char* value);   // a field cleared, then value
steps push(int entry);                                  // a button or radio button
// When shown: the alert's text into `into` ("line\nline\nline [buttons]"), then OK.
steps note_alert(std::string& into, bool shown = true);
struct figure {
    int n, m, r, type, zoom;
};
steps new_figure(const figure& f);
void type(const steps& s);

// Types s, running the main loop until everything typed is taken with the
// main window back on top (true), or the typist gives up or `seconds` pass.
bool typed(const steps& s, double seconds = 30);
bool run_main_until(const std::function<bool()>& done, double seconds = 20);
bool run_main_to_end(double seconds = 20);

bool main_window_active();
std::string dialog_title();   // the open command dialog's, "" if none
bool alert_showing();
std::string field_text(int entry);
BITMAP* view();
std::string status_line();

struct bitmap_deleter {
    void operator()(BITMAP* b) const { destroy_bitmap(b); }
};
using bitmap_ptr = std::unique_ptr<BITMAP, bitmap_deleter>;
bitmap_ptr copy_of(BITMAP* b);   // the screen without the mouse pointer
// On the view's size, in the model's colours; its status line into *status.
bitmap_ptr engine_picture(const figure& f, std::string* status = nullptr);
long different_pixels(BITMAP* a, BITMAP* b);   // -1 when the sizes differ
long view_differs_on_screen();                 // between the bars

class program_test : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}
