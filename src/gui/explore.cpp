// Live exploration: keys that step the figure on screen, and the animation
// of n with its settings dialog.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <vector>

#include "chryzode.h"
#include "gui.h"

namespace {

using clock = std::chrono::steady_clock;

clock::time_point next_frame, last_shown;
bool stop_after_frame = false;

double animation_step(const figure_settings& f)
{
    return (f.type & from_root) ? state.anim.step_from_root : state.anim.step_complete;
}

int stepped_modulus(int m, int by)
{
    return int(std::clamp(std::int64_t(m) + by, std::int64_t(1), std::int64_t(INT_MAX)));
}

double stepped_multiplier(double n, double by)
{
    const double stepped = multiplier_after(n, by, 1);
    return std::fabs(stepped) <= double(INT_MAX) ? stepped : n;
}

void start_animation()
{
    state.anim.running = true;
    state.anim.paused = false;
    state.anim.rate = 0;
    stop_after_frame = false;
    next_frame = clock::now();
    last_shown = {};
}

// The animation's next n, or false when it has reached its last n.
bool next_multiplier(double n, double& next)
{
    const animation& a = state.anim;
    const double step = animation_step(state.wanted);
    if (a.has_last && ((step > 0 && n >= a.last) || (step < 0 && n <= a.last)))
        return false;
    next = stepped_multiplier(n, step);
    if (a.has_last && ((step > 0 && next >= a.last) || (step < 0 && next <= a.last))) {
        // From a root n stays whole: a last n between two steps ends before it.
        if ((state.wanted.type & from_root) && !whole_multiplier(a.last))
            return false;
        next = a.last;
        stop_after_frame = true;
    }
    return next != n;
}

}

bool explore_key(int scancode, bool shift)
{
    if (scancode == KEY_ESC) {
        if (state.anim.running)
            stop_animation();
        else
            cancel_figure();
        return true;
    }
    if (!state.drawn && !figure_busy())
        return false;
    figure_settings f = state.wanted;
    const bool from_root_mode = f.type & from_root;
    switch (scancode) {
    case KEY_RIGHT:
    case KEY_LEFT: {
        const double by = shift && !from_root_mode ? 0.01 : 1;
        f.n = stepped_multiplier(f.n, scancode == KEY_RIGHT ? by : -by);
        break;
    }
    case KEY_UP:
    case KEY_DOWN:
        f.m = stepped_modulus(f.m, (scancode == KEY_UP ? 1 : -1) * (shift ? 100 : 1));
        break;
    case KEY_SPACE:
        if (!state.anim.running)
            start_animation();
        else
            state.anim.paused = !state.anim.paused;
        show_status();
        draw_view();
        return true;
    default:
        return false;
    }
    ask_for_figure(f);
    return true;
}

void poll_animation()
{
    animation& a = state.anim;
    if (!a.running || a.paused || figure_busy())
        return;
    if (stop_after_frame) {
        stop_animation();
        return;
    }
    const clock::time_point now = clock::now();
    if (now < next_frame)
        return;
    double n;
    if (!next_multiplier(state.wanted.n, n)) {
        stop_animation();
        return;
    }
    // Never faster than the frame rate asked for; a slow frame is followed
    // by the next at once, and none waits in a queue.
    next_frame = std::max(now, next_frame + std::chrono::duration_cast<clock::duration>(
                                                std::chrono::duration<double>(1.0 / a.fps)));
    figure_settings f = state.wanted;
    f.n = n;
    ask_for_figure(f);
}

void frame_shown()
{
    const clock::time_point now = clock::now();
    if (last_shown != clock::time_point{}) {
        const double rate = 1.0 / std::max(1e-6, std::chrono::duration<double>(now - last_shown).count());
        // Smoothed over the last few frames, so that it reads steadily.
        state.anim.rate = state.anim.rate == 0 ? rate : 0.8 * state.anim.rate + 0.2 * rate;
    }
    last_shown = now;
}

void stop_animation()
{
    if (!state.anim.running)
        return;
    state.anim.running = false;
    // The figure on screen is the current one again.
    cancel_figure();
    show_status();
    draw_view();
}

bool animation_status(char* text, int size)
{
    const animation& a = state.anim;
    if (!a.running)
        return false;
    const std::string n = multiplier_text(state.shown.n);
    if (a.paused)
        uszprintf(text, size, "Paused at n=%s in m=%d - Space resumes, Esc stops", n.c_str(), state.shown.m);
    else
        uszprintf(text, size, "Animating n=%s in m=%d ; %.1f frames/s - Space pauses, Esc stops", n.c_str(),
                  state.shown.m, a.rate);
    return true;
}

// The Animate dialog: the step of n in the figure's mode, the frame rate and
// an optional last n.
namespace {
constexpr int number_chars = 14, fps_chars = 2;
char step_text[edit_buffer_size(number_chars)], fps_text[edit_buffer_size(fps_chars)],
    last_text[edit_buffer_size(number_chars)];
constexpr int step_entry = 5, fps_entry = 7, last_entry = 9;
}

DIALOG animate_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1            d2 dp                         dp2      dp3 */
    { d_box_proc,      0,   0,   320, 190, 0, 0, 0,  0,      0,            0, nullptr,                   nullptr, nullptr },
    { d_textbox_proc,  0,   0,   320, 16,  0, 0, 0,  0,      0,            0, (void*)"Animation of n",   nullptr, nullptr },
    { d_button_proc,   50,  155, 100, 20,  0, 0, 13, D_EXIT, 0,            0, (void*)"OK",               nullptr, nullptr },
    { d_button_proc,   170, 155, 100, 20,  0, 0, 0,  D_EXIT, 0,            0, (void*)"Cancel",           nullptr, nullptr },
    { d_text_proc,     30,  40,  110, 16,  0, 0, 0,  0,      0,            0, (void*)"step of n =",      nullptr, nullptr },
    { d_edit_proc,     150, 40,  140, 16,  0, 0, 0,  0,      number_chars, 0, step_text,                 nullptr, nullptr },
    { d_text_proc,     30,  70,  110, 16,  0, 0, 0,  0,      0,            0, (void*)"frames/s =",       nullptr, nullptr },
    { d_edit_proc,     150, 70,  40,  16,  0, 0, 0,  0,      fps_chars,    0, fps_text,                  nullptr, nullptr },
    { d_text_proc,     30,  100, 110, 16,  0, 0, 0,  0,      0,            0, (void*)"last n =",         nullptr, nullptr },
    { d_edit_proc,     150, 100, 140, 16,  0, 0, 0,  0,      number_chars, 0, last_text,                 nullptr, nullptr },
    { d_text_proc,     150, 120, 140, 16,  0, 0, 0,  0,      0,            0, (void*)"(empty: no end)",  nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                   nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                   nullptr, nullptr },
};

namespace {

// The step is whole from a root, where n is.
bool from_root_steps = false;

verdict step_field(const char* text)
{
    return judge_decimal(text, [](double step) { return step != 0 && (!from_root_steps || whole_multiplier(step)); });
}

verdict fps_field(const char* text)
{
    return judge_decimal(text, [](double fps) { return whole_multiplier(fps) && fps >= 1 && fps <= 60; });
}

verdict last_field(const char* text)
{
    double last;
    return !*text || read_decimal_number(text, last) ? verdict::taken : verdict::not_a_number;
}

const std::vector<number_field> animate_fields = {
    {step_entry, "step of n", step_field, "The step is a number other than 0, such as 0.01 or -1, whole from a root."},
    {fps_entry, "frames/s", fps_field, "The frames per second are a whole number from 1 to 60."},
    {last_entry, "last n", last_field, "The last n is a number, such as 3.5, or empty for no end."},
};

}

int animate_settings()
{
    from_root_steps = state.wanted.type & from_root;
    animation& a = state.anim;
    double& step = from_root_steps ? a.step_from_root : a.step_complete;
    uszprintf(step_text, sizeof step_text, "%s", multiplier_text(step).c_str());
    uszprintf(fps_text, sizeof fps_text, "%d", a.fps);
    uszprintf(last_text, sizeof last_text, "%s", a.has_last ? multiplier_text(a.last).c_str() : "");
    if (run_number_dialog(animate_dialog, animate_fields) == ok_entry) {
        double fps;
        read_decimal_number(step_text, step);
        read_decimal_number(fps_text, fps);
        a.fps = int(fps);
        a.has_last = read_decimal_number(last_text, a.last);
    }
    redraw_main();
    return D_O_K;
}
