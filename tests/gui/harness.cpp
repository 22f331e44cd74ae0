#include "harness.h"

#include <allegro/internal/aintern.h>

#include <chrono>
#include <deque>
#include <thread>

#include "chryzode.h"
#include "gui.h"

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
    if (c >= 'a' && c <= 'z')
        return KEY_A + (c - 'a');
    if (c >= 'A' && c <= 'Z')
        return KEY_A + (c - 'A');
    if (c >= '0' && c <= '9')
        return KEY_0 + (c - '0');
    switch (c) {
    case ' ': return KEY_SPACE;
    case '\r': return KEY_ENTER;
    case 27: return KEY_ESC;
    case '\t': return KEY_TAB;
    case 8: return KEY_BACKSPACE;
    case '-': return KEY_MINUS;
    case '.': return KEY_STOP;
    case '/': return KEY_SLASH;
    default: return 0;
    }
}

int focused_entry()
{
    for (int i = 0; active_dialog && active_dialog[i].proc; ++i)
        if (active_dialog[i].flags & D_GOTFOCUS)
            return i;
    return -1;
}

// Conditions that hold are passed over; then one key is typed.
void type_next()
{
    while (!queue.empty() && queue.front().ready && queue.front().ready())
        queue.pop_front();
    if (queue.empty() || queue.front().ready)
        return;
    simulate_ukeypress(queue.front().c, queue.front().scancode);
    queue.pop_front();
}

// Every pass of a dialog, a menu or an alert asks for the mouse buttons: the
// typist's turn. Allegro's double-click timer asks too, from a thread of its
// own (for a while after start-up and after each click): it gets the buttons
// alone.
int typist_mouse_b()
{
    if (std::this_thread::get_id() != program_thread)
        return allegro_mouse_b();
    const auto now = clock::now();
    // Time spent away from the GUI (a computation) is no waiting.
    if (now - last_pass > std::chrono::milliseconds(200))
        idle_since = now;
    last_pass = now;
    if (keypressed()) {
        idle_since = now;
    } else if (gave_up) {
        simulate_ukeypress(27, KEY_ESC);
    } else {
        const std::size_t left = queue.size();
        type_next();
        if (queue.size() != left)
            idle_since = now;
        else if (now - idle_since > std::chrono::duration<double>(patience_seconds)) {
            ADD_FAILURE() << "the typist gave up: " << queue.size() << " steps left, open dialog \""
                          << dialog_title() << "\", focus on entry " << focused_entry() << ", alert \""
                          << alert_text() << "\"";
            queue.clear();
            gave_up = true;
        }
    }
    return allegro_mouse_b();
}

bool started = false;

}

step keystroke(int c) { return {c, scancode_of(c), nullptr}; }
step press(int scancode) { return {0, scancode, nullptr}; }
step alt(int scancode) { return press(scancode); }
step when(std::function<bool()> ready) { return {0, 0, std::move(ready)}; }

steps text(const char* utf8)
{
    steps s;
    const char* p = utf8;
    while (const int c = ugetxc(&p))
        s.push_back(keystroke(c));
    return s;
}

steps clear_field(int chars)
{
    steps s{press(KEY_END)};
    for (int i = 0; i < chars; ++i)
        s.push_back(keystroke(8));
    return s;
}

steps menu(int menu_scancode, int item)
{
    return {alt(menu_scancode), keystroke(item)};
}

step tab_to(int entry)
{
    return when([entry] {
        if (active_dialog && (active_dialog[entry].flags & D_GOTFOCUS))
            return true;
        simulate_ukeypress('\t', KEY_TAB);
        return false;
    });
}

steps operator+(steps a, const steps& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void type(const steps& s)
{
    gave_up = false;
    idle_since = clock::now();
    queue.insert(queue.end(), s.begin(), s.end());
}

bool typed_all()
{
    return queue.empty() && !gave_up;
}

bool run_main_until(const std::function<bool()>& done, double seconds)
{
    const auto end = clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (clock::now() > end || !update_main_dialog())
            return false;
    }
    return true;
}

bool finish_typing(double seconds)
{
    const bool done = run_main_until(
        [] { return gave_up || (queue.empty() && !keypressed() && main_window_active()); }, seconds);
    return done && !gave_up;
}

bool run_main_to_end(double seconds)
{
    const auto end = clock::now() + std::chrono::duration<double>(seconds);
    while (update_main_dialog())
        if (clock::now() > end)
            return false;
    return true;
}

bool main_window_active()
{
    return active_dialog == main_dialog;
}

std::string dialog_title()
{
    if (!active_dialog || main_window_active() || active_dialog[0].proc != d_box_proc ||
        active_dialog[1].proc != d_textbox_proc)
        return "";
    return static_cast<const char*>(active_dialog[1].dp);
}

// Allegro's alert box: three centred lines under a shadowed box. Its file
// selector starts alike, with a button after one line.
bool alert_showing()
{
    return active_dialog && active_dialog[0].proc == _gui_shadow_box_proc &&
           active_dialog[1].proc == _gui_ctext_proc && active_dialog[2].proc == _gui_ctext_proc;
}

std::string alert_text()
{
    if (!alert_showing())
        return "";
    std::string lines;
    for (int i = 1; i <= 3; ++i) {
        if (i > 1)
            lines += '\n';
        if (active_dialog[i].dp)
            lines += static_cast<const char*>(active_dialog[i].dp);
    }
    return lines;
}

std::vector<std::string> alert_buttons()
{
    std::vector<std::string> buttons;
    if (!alert_showing())
        return buttons;
    for (int i = 4; i <= 6; ++i)
        if (!(active_dialog[i].flags & D_HIDDEN) && active_dialog[i].dp)
            buttons.push_back(static_cast<const char*>(active_dialog[i].dp));
    return buttons;
}

BITMAP* view()
{
    return static_cast<BITMAP*>(main_dialog[view_entry].dp);
}

std::string status_line()
{
    return static_cast<const char*>(main_dialog[status_bar_entry].dp);
}

bitmap_ptr engine_picture(int n, int m, int r, int type, int zoom)
{
    const Cchryzode& program = the_model();
    Cchryzode model(create_bitmap(view()->w, view()->h));
    model.set_colors(program.fg1, program.fg2, program.bg);
    model.set(n, m, r, type);
    model.set_zoom(zoom);
    EXPECT_TRUE(model.calcul() && model.render());
    return copy_of(model.bmp);
}

bitmap_ptr copy_of(BITMAP* b)
{
    bitmap_ptr copy(create_bitmap(b->w, b->h));
    blit(b, copy.get(), 0, 0, 0, 0, b->w, b->h);
    return copy;
}

bitmap_ptr screen_copy()
{
    scare_mouse();
    bitmap_ptr copy = copy_of(screen);
    unscare_mouse();
    return copy;
}

long different_pixels(BITMAP* a, BITMAP* b, int x, int y, int w, int h)
{
    if (a->w != b->w || a->h != b->h)
        return -1;
    if (w == 0) {
        w = a->w;
        h = a->h;
    }
    long differ = 0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            differ += getpixel(a, i, j) != getpixel(b, i, j);
    return differ;
}

void program_test::SetUp()
{
    ASSERT_FALSE(started) << "one program per process: run each test on its own (ctest does)";
    started = true;
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
