#include "harness.h"

#include <allegro/internal/aintern.h>

#include <chrono>
#include <deque>
#include <thread>

namespace gui_test {

namespace {

using clock = std::chrono::steady_clock;

std::deque<step> queue;
bool gave_up = false;
clock::time_point idle_since, last_pass;
int (*allegro_mouse_b)();
std::thread::id program_thread;

int scancode_of(int c)
{
    const int controls[][2] = {{' ', KEY_SPACE}, {'\r', KEY_ENTER}, {27, KEY_ESC}, {'\t', KEY_TAB}, {8, KEY_BACKSPACE}};
    for (const auto& control : controls)
        if (c == control[0])
            return control[1];
    return c >= 'a' && c <= 'z' ? KEY_A + (c - 'a') : c >= '0' && c <= '9' ? KEY_0 + (c - '0') : 0;
}

// Every pass of a dialog, a menu or an alert asks for the mouse buttons: the
// typist's turn to pass over the conditions that hold, then type one key.
// Allegro's double-click timer asks from a thread of its own.
int typist_mouse_b()
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

steps operator+(steps a, const steps& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

step keystroke(int c) { return {c, scancode_of(c), nullptr}; }
step press(int scancode) { return {0, scancode, nullptr}; }
step when(std::function<bool()> ready) { return {0, 0, std::move(ready)}; }
step now(std::function<void()> check) { return when([check] { return check(), true; }); }
const step ok = keystroke('\r');

steps text(const char* utf8)
{
    steps s;
    while (const int c = ugetxc(&utf8))
        s.push_back(keystroke(c));
    return s;
}

steps menu(int menu_scancode, int item) { return {press(menu_scancode), keystroke(item)}; }

steps open_dialog(int menu_scancode, int item, const char* title)
{
    return menu(menu_scancode, item) + steps{when([wanted = std::string(title)] { return dialog_title() == wanted; })};
}

step tab_to(int entry)
{
    return when([entry] {
        const bool there = active_dialog && (active_dialog[entry].flags & D_GOTFOCUS);
        if (!there)
            simulate_ukeypress('\t', KEY_TAB);
        return there;
    });
}

steps fill(int entry, int chars, const char* value)
{
    return steps{tab_to(entry), press(KEY_END)} + steps(std::size_t(chars), keystroke(8)) + text(value);
}

steps push(int entry) { return {tab_to(entry), keystroke(' ')}; }

steps note_alert(std::string& into, bool shown)
{
    const auto read = [&into] {
        const auto line = [](int i) { return std::string(active_dialog[i].dp ? (const char*)active_dialog[i].dp : ""); };
        into = line(1) + "\n" + line(2) + "\n" + line(3) + " [";
        for (int i = 4; i <= 6; ++i)
            if (!(active_dialog[i].flags & D_HIDDEN) && active_dialog[i].dp)
                into += (into.back() == '[' ? "" : "|") + line(i);
        into += "]";
    };
    return shown ? steps{when(alert_showing), now(read), ok} : steps{};
}

// Entries of the New dialog: n 5, m 7, r 9, zoom 11; From root 14, Complete 15, On the fly 18, Stored 19.
steps new_figure(const figure& f)
{
    const auto number = [](int entry, int value) { return fill(entry, 5, std::to_string(value).c_str()); };
    return open_dialog(KEY_C, 'n', "New chryzode") + push(f.type & from_root ? 14 : 15) +
           push(f.type & on_the_fly ? 18 : 19) + number(5, f.n) + number(7, f.m) + number(11, f.zoom) +
           (f.type & from_root ? number(9, f.r) : steps{}) + steps{ok};
}

void type(const steps& s)
{
    gave_up = false;
    idle_since = clock::now();
    queue.insert(queue.end(), s.begin(), s.end());
}

bool run_main_until(const std::function<bool()>& done, double seconds)
{
    const auto end = clock::now() + std::chrono::duration<double>(seconds);
    while (!done())
        if (clock::now() > end || !update_main_dialog())
            return false;
    return true;
}

bool typed(const steps& s, double seconds)
{
    type(s);
    return run_main_until([] { return gave_up || (queue.empty() && !keypressed() && main_window_active()); },
                          seconds) && !gave_up;
}

bool run_main_to_end(double seconds)
{
    const auto end = clock::now() + std::chrono::duration<double>(seconds);
    while (update_main_dialog())
        if (clock::now() > end)
            return false;
    return true;
}

bool main_window_active() { return active_dialog == main_dialog; }

std::string dialog_title()
{
    const bool command_dialog = active_dialog && !main_window_active() && active_dialog[0].proc == d_box_proc &&
                                active_dialog[1].proc == d_textbox_proc;
    return command_dialog ? static_cast<const char*>(active_dialog[1].dp) : "";
}

// Allegro's alert: three centred lines in a shadowed box, then the buttons.
bool alert_showing()
{
    return active_dialog && active_dialog[0].proc == _gui_shadow_box_proc &&
           active_dialog[1].proc == _gui_ctext_proc && active_dialog[2].proc == _gui_ctext_proc;
}

std::string field_text(int entry) { return static_cast<const char*>(active_dialog[entry].dp); }
BITMAP* view() { return static_cast<BITMAP*>(main_dialog[view_entry].dp); }
std::string status_line() { return static_cast<const char*>(main_dialog[status_bar_entry].dp); }

bitmap_ptr copy_of(BITMAP* b)
{
    bitmap_ptr copy(create_bitmap(b->w, b->h));
    if (b == screen)
        scare_mouse();
    blit(b, copy.get(), 0, 0, 0, 0, b->w, b->h);
    if (b == screen)
        unscare_mouse();
    return copy;
}

bitmap_ptr engine_picture(const figure& f, std::string* status)
{
    Cchryzode model(create_bitmap(view()->w, view()->h));
    model.set_colors(the_model().fg1, the_model().fg2, the_model().bg);
    model.set(f.n, f.m, f.r, f.type);
    model.set_zoom(f.zoom);
    EXPECT_TRUE(model.calcul() && model.render());
    char text[128];
    model.status(text);
    if (status)
        *status = text;
    return copy_of(model.bmp);
}

long different_pixels(BITMAP* a, BITMAP* b)
{
    long differ = 0;
    for (int y = 0; y < a->h && y < b->h; ++y)
        for (int x = 0; x < a->w && x < b->w; ++x)
            differ += getpixel(a, x, y) != getpixel(b, x, y);
    return a->w != b->w || a->h != b->h ? -1 : differ;
}

long view_differs_on_screen()
{
    const bitmap_ptr shown = copy_of(screen), expected = copy_of(screen);
    set_clip_rect(expected.get(), 0, main_dialog[menu_bar_entry].h, view()->w - 1, main_dialog[status_bar_entry].y - 1);
    blit(view(), expected.get(), 0, 0, 0, 0, view()->w, view()->h);   // inside the clip only
    return different_pixels(shown.get(), expected.get());
}

void program_test::SetUp()
{
    ASSERT_TRUE(start_up());
    allegro_mouse_b = gui_mouse_b;
    program_thread = std::this_thread::get_id();
    gui_mouse_b = typist_mouse_b;
}

void program_test::TearDown()
{
    queue.clear();
    if (main_dialog[view_entry].dp2)
        shut_down();
}

}
