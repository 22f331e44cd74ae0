// Live exploration: keys that step the figure on screen, and the animation
// of n.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <vector>

#include "chryzode.h"
#include "gui.h"

namespace {

using clock = std::chrono::steady_clock;

double animation_step(const figure_settings& f)
{
    return (f.type & from_root) ? state.anim.step_from_root : state.anim.step_complete;
}

clock::duration frame_period()
{
    return std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(1.0 / state.anim.fps));
}

int stepped_modulus(int m, int by)
{
    return int(std::clamp(std::int64_t(m) + by, std::int64_t(1), std::int64_t(INT_MAX)));
}

double stepped_multiplier(double n, double by)
{
    const double stepped = multiplier_after(n, by, 1);
    return multiplier_in_range(stepped) ? stepped : n;
}

bool at_or_past(double n, double last, double step) { return step > 0 ? n >= last : n <= last; }

// The animation's next n, or false when it has reached its last n.
bool next_multiplier(double n, double& next, bool& ends)
{
    const animation& a = state.anim;
    const double step = animation_step(state.wanted);
    ends = false;
    if (a.has_last && at_or_past(n, a.last, step))
        return false;
    next = stepped_multiplier(n, step);
    if (a.has_last && at_or_past(next, a.last, step)) {
        // From a root n stays whole: a last n between two steps ends before it.
        if ((state.wanted.type & from_root) && !whole_multiplier(a.last))
            return false;
        next = a.last;
        ends = true;
    }
    return next != n;
}

void start_animation()
{
    double next;
    bool ends;
    if (!next_multiplier(state.wanted.n, next, ends)) {
        char text[sizeof status_text];
        uszprintf(text, sizeof text, "%s - the animation is at its last n=%s: Chryzode > Animate... sets another",
                  current_status().c_str(), multiplier_text(state.anim.last).c_str());
        ustrzcpy(status_text, sizeof status_text, text);
        fit_status_bar();
        return;
    }
    animation& a = state.anim;
    a.running = true;
    a.paused = false;
    a.ends_after_frame = false;
    a.shown_at.clear();
    show_status();
}

}

bool explore_key(int scancode, bool shift)
{
    if (scancode == KEY_ESC) {
        if (state.anim.running)
            stop_animation();
        else
            cancel_figure();
        draw_view();
        return true;
    }
    if (!state.drawn && !figure_busy())
        return false;
    figure_settings f = state.wanted;
    const bool from_root_mode = f.type & from_root;
    switch (scancode) {
    case KEY_RIGHT:
    case KEY_LEFT: {
        const double by = shift && !from_root_mode ? config::n_fine_step : config::n_step;
        f.n = stepped_multiplier(f.n, scancode == KEY_RIGHT ? by : -by);
        break;
    }
    case KEY_UP:
    case KEY_DOWN:
        f.m = stepped_modulus(f.m, (scancode == KEY_UP ? 1 : -1) * (shift ? config::m_coarse_step : config::m_step));
        break;
    case KEY_SPACE:
        if (!state.anim.running)
            start_animation();
        else if ((state.anim.paused = !state.anim.paused))
            cancel_figure();   // paused on the figure on screen
        if (state.anim.running)
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
    if (!a.running || a.paused || figure_busy() || state.work.pending)
        return;
    if (a.ends_after_frame) {
        stop_animation();
        return;
    }
    // The next frame is computed as soon as the last is shown; it shows
    // once its time comes (frame_due).
    double n;
    bool ends;
    if (!next_multiplier(state.wanted.n, n, ends)) {
        stop_animation();
        return;
    }
    a.ends_after_frame = ends;
    figure_settings f = state.wanted;
    f.n = n;
    ask_for_figure(f);
}

bool frame_due()
{
    // Frames show at most fps a second, each a period after the last: a
    // slow frame is followed by the next no sooner, so none comes in a burst.
    const clock_time last = state.work.last_shown;
    return state.anim.shown_at.empty() || clock::now() >= last + frame_period();
}

void frame_shown()
{
    std::vector<clock_time>& shown = state.anim.shown_at;
    const clock_time now = clock::now();
    shown.push_back(now);
    shown.erase(shown.begin(), std::find_if(shown.begin(), shown.end(),
                                            [now](clock_time t) { return now - t < std::chrono::seconds(1); }));
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
    if (a.paused) {
        uszprintf(text, size, "Paused at n=%s in m=%d - Space resumes, Esc stops", n.c_str(), state.shown.m);
    } else {
        // The frames shown over the last second, never more than the limit.
        const clock_time now = clock::now();
        const auto recent = std::count_if(a.shown_at.begin(), a.shown_at.end(),
                                           [now](clock_time t) { return now - t < std::chrono::seconds(1); });
        uszprintf(text, size, "Animating n=%s in m=%d ; %d frames/s - Space pauses, Esc stops", n.c_str(),
                  state.shown.m, int(recent));
    }
    return true;
}

figure_settings keep_colours(figure_settings figure, const figure_settings& colours_from)
{
    figure.fg1 = colours_from.fg1;
    figure.fg2 = colours_from.fg2;
    figure.bg = colours_from.bg;
    return with_colour_map(figure, colours_from);
}

std::string asked_text(const figure_settings& shown, const figure_settings& wanted)
{
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : " ") + part; };
    if (wanted.n != shown.n)
        add("n=" + multiplier_text(wanted.n));
    if (wanted.m != shown.m)
        add("m=" + std::to_string(wanted.m));
    if ((wanted.type & from_root) != (shown.type & from_root))
        add((wanted.type & from_root) ? "from root" : "complete");
    if ((wanted.type & from_root) && wanted.r != shown.r)
        add("r=" + std::to_string(wanted.r));
    if (wanted.zoom != shown.zoom)
        add("zoom 1:" + std::to_string(wanted.zoom));
    return text.empty() ? text : text + " ";
}
