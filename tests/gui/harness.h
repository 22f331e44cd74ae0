// The program's GUI in-process on the test's own X display: type() queues
// steps, each a key or a condition to wait for; the typist types one key
// whenever the GUI waits for input with the key buffer empty. alert() empties
// that buffer when it opens: wait for it. With nothing left to type for 15 s,
// the typist gives up and types Escape.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <allegro.h>
#include <allegro/internal/aintern.h>

#include "chryzode.h"
#include "gui.h"

namespace gui_test {

struct step {
    int c, scancode;              // a key, or else
    std::function<bool()> ready;  // a condition to wait for
};
using steps = std::vector<step>;

inline steps operator+(steps a, const steps& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline bool main_window_active() { return active_dialog == main_dialog; }
// The open command dialog's title, "" if none.
inline std::string dialog_title()
{
    const bool command_dialog = active_dialog && !main_window_active() && active_dialog[0].proc == d_box_proc &&
                                active_dialog[1].proc == d_textbox_proc;
    return command_dialog ? static_cast<const char*>(active_dialog[1].dp) : "";
}

// Allegro's alert: three centred lines in a shadowed box, then the buttons.
inline bool alert_showing()
{
    return active_dialog && active_dialog[0].proc == _gui_shadow_box_proc && active_dialog[1].proc == _gui_ctext_proc;
}

inline std::string field_text(int entry) { return static_cast<const char*>(active_dialog[entry].dp); }
inline BITMAP* view() { return static_cast<BITMAP*>(main_dialog[view_entry].dp); }
inline std::string status_line() { return static_cast<const char*>(main_dialog[status_bar_entry].dp); }

namespace typist {

using clock = std::chrono::steady_clock;
inline std::deque<step> queue;
inline bool gave_up = false;
inline clock::time_point idle_since, last_pass;
inline int (*allegro_mouse_b)();
inline std::thread::id program_thread;

// Every pass of a dialog, a menu or an alert asks for the mouse buttons: the
// typist's turn to pass over the conditions that hold, then type one key.
// Allegro's double-click timer asks from a thread of its own.
inline int mouse_b()
{
    const auto now = clock::now();
    if (std::this_thread::get_id() != program_thread)
        return allegro_mouse_b();
    // Time spent away from the GUI (a computation) is no waiting.
    if (now - last_pass > std::chrono::milliseconds(200) || keypressed())
        idle_since = now;
    last_pass = now;
    const std::size_t left = queue.size();
    while (!keypressed() && !gave_up && !queue.empty() && queue.front().ready && queue.front().ready())
        queue.pop_front();
    if (keypressed())
        return allegro_mouse_b();
    if (gave_up) {
        simulate_ukeypress(27, KEY_ESC);
    } else if (!queue.empty() && !queue.front().ready) {
        simulate_ukeypress(queue.front().c, queue.front().scancode);
        queue.pop_front();
    } else if (queue.size() == left && now - idle_since > std::chrono::seconds(15)) {
        ADD_FAILURE() << "the typist gave up: " << queue.size() << " steps left, dialog \"" << dialog_title()
                      << "\"" << (alert_showing() ? ", an alert" : "");
        queue.clear();
        gave_up = true;
    }
    if (queue.size() != left)
        idle_since = now;
    return allegro_mouse_b();
}

}

// A character (letters, digits and controls get their scancode), or a key without one.
inline step keystroke(int c)
{
    const int controls[][2] = {{' ', KEY_SPACE}, {'\r', KEY_ENTER}, {27, KEY_ESC}, {'\t', KEY_TAB}, {8, KEY_BACKSPACE}};
    for (const auto& control : controls)
        if (c == control[0])
            return {c, control[1], nullptr};
    return {c, c >= 'a' && c <= 'z' ? KEY_A + (c - 'a') : c >= '0' && c <= '9' ? KEY_0 + (c - '0') : 0, nullptr};
}
inline step press(int scancode) { return {0, scancode, nullptr}; }
inline step when(std::function<bool()> ready) { return {0, 0, std::move(ready)}; }
inline step now(std::function<void()> check) { return when([check] { return check(), true; }); }
inline const step ok = keystroke('\r');   // the OK button of every command dialog

inline steps text(const char* utf8)
{
    steps s;
    while (const int c = ugetxc(&utf8))
        s.push_back(keystroke(c));
    return s;
}

inline steps menu(int menu_scancode, int item) { return {press(menu_scancode), keystroke(item)}; }
inline steps open_dialog(int menu_scancode, int item, const char* title)
{
    return menu(menu_scancode, item) + steps{when([wanted = std::string(title)] { return dialog_title() == wanted; })};
}

inline step tab_to(int entry)
{
    return when([entry] {
        const bool there = active_dialog && (active_dialog[entry].flags & D_GOTFOCUS);
        if (!there)
            simulate_ukeypress('\t', KEY_TAB);
        return there;
    });
}

// A field of up to `chars` characters cleared, then value; a button or radio button pushed.
inline steps fill(int entry, int chars, const char* value)
{
    return steps{tab_to(entry), press(KEY_END)} + steps(std::size_t(chars), keystroke(8)) + text(value);
}
inline steps push(int entry) { return {tab_to(entry), keystroke(' ')}; }

// When shown: the alert's three lines into `into`, then OK.
inline steps note_alert(std::string& into, bool shown = true)
{
    const auto line = [](int i) { return std::string(active_dialog[i].dp ? (const char*)active_dialog[i].dp : ""); };
    const auto read = [&into, line] { into = line(1) + "\n" + line(2) + "\n" + line(3); };
    return shown ? steps{when(alert_showing), now(read), ok} : steps{};
}

struct figure {
    double n;
    int m, r, type, zoom;
};
// Entries of the New dialog: n 5, m 7, r 9, zoom 11; From root 14, Complete 15, On the fly 18, Stored 19.
inline steps new_figure(const figure& f)
{
    const auto number = [](int entry, int value) { return fill(entry, 12, std::to_string(value).c_str()); };
    return open_dialog(KEY_C, 'n', "New chryzode") + push(f.type & from_root ? 14 : 15) + push(f.type & on_the_fly ? 18 : 19) +
           fill(5, 25, multiplier_text(f.n).c_str()) + number(7, f.m) + number(11, f.zoom) +
           (f.type & from_root ? number(9, f.r) : steps{}) + steps{ok};
}

inline void type(const steps& s)
{
    typist::gave_up = false;
    typist::idle_since = typist::clock::now();
    typist::queue.insert(typist::queue.end(), s.begin(), s.end());
}

// Runs the main loop until done() (true), the program ends or `seconds` pass.
inline bool run_main_until(const std::function<bool()>& done, double seconds = 20)
{
    const auto end = typist::clock::now() + std::chrono::duration<double>(seconds);
    while (!done())
        if (typist::clock::now() > end || !update_main_dialog())
            return false;
    return true;
}

// Types s, running the main loop until everything typed is taken with the
// main window back on top and the figure asked for shown (true), or the
// typist gives up or `seconds` pass. A running animation asks for figures
// of its own: its frames are not waited for.
inline bool typed(const steps& s, double seconds = 30)
{
    type(s);
    const auto settled = [] { return state.anim.running || (!figure_busy() && !state.work.pending); };
    const auto taken = [&] { return typist::queue.empty() && !keypressed() && main_window_active() && settled(); };
    return run_main_until([&] { return typist::gave_up || taken(); }, seconds) && !typist::gave_up;
}

inline bool run_main_to_end(double seconds = 20)
{
    const auto end = typist::clock::now() + std::chrono::duration<double>(seconds);
    while (typist::clock::now() < end)
        if (!update_main_dialog())
            return true;
    return false;
}

struct bitmap_deleter {
    void operator()(BITMAP* b) const { destroy_bitmap(b); }
};
using bitmap_ptr = std::unique_ptr<BITMAP, bitmap_deleter>;
// The screen is copied without the mouse pointer.
inline bitmap_ptr copy_of(BITMAP* b)
{
    bitmap_ptr copy(create_bitmap(b->w, b->h));
    if (b == screen)
        scare_mouse();
    blit(b, copy.get(), 0, 0, 0, 0, b->w, b->h);
    if (b == screen)
        unscare_mouse();
    return copy;
}

// On the view's size, in the model's colours; its status line into *status.
inline bitmap_ptr engine_picture(const figure& f, std::string* status = nullptr)
{
    Cchryzode model(create_bitmap(view()->w, view()->h));
    model.set_colors(the_model().fg1, the_model().fg2, the_model().bg);
    model.set_colour_map(the_model().palette, the_model().scale, the_model().scale_max);
    model.set(f.n, f.m, f.r, f.type);
    model.set_zoom(f.zoom);
    EXPECT_TRUE(model.calcul() && model.render());
    char text[128];
    model.status(text);
    if (status)
        *status = text;
    return copy_of(model.bmp);
}

inline long different_pixels(BITMAP* a, BITMAP* b)   // -1 when the sizes differ
{
    long differ = 0;
    for (int y = 0; y < a->h && y < b->h; ++y)
        for (int x = 0; x < a->w && x < b->w; ++x)
            differ += getpixel(a, x, y) != getpixel(b, x, y);
    return a->w != b->w || a->h != b->h ? -1 : differ;
}

// The menu bar's first item, on screen over the view.
inline bool menu_bar_on_screen()
{
    scare_mouse();
    const bool shown = getpixel(screen, 2, 2) == gui_bg_color && getpixel(screen, 2, 8) == gui_bg_color;
    unscare_mouse();
    return shown;
}

inline long view_differs_on_screen()
{
    const bitmap_ptr shown = copy_of(screen), expected = copy_of(screen);
    set_clip_rect(expected.get(), 0, main_dialog[menu_bar_entry].h, view()->w - 1, main_dialog[status_bar_entry].y - 1);
    blit(view(), expected.get(), 0, 0, 0, 0, view()->w, view()->h);   // inside the clip only
    return different_pixels(shown.get(), expected.get());
}

class program_test : public testing::Test {
protected:
    void SetUp() override
    {
        // Before start_up starts Allegro's threads, which read them.
        typist::allegro_mouse_b = gui_mouse_b;
        typist::program_thread = std::this_thread::get_id();
        gui_mouse_b = typist::mouse_b;
        ASSERT_TRUE(start_up());
    }
    void TearDown() override
    {
        typist::queue.clear();
        if (main_dialog[view_entry].dp2)
            shut_down();
    }
};

}
