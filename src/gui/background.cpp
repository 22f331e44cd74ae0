// Long computations on a worker thread, with the window kept alive.
//
// Only the main thread calls Allegro's drawing and input functions. The
// worker runs the model's calcul and render, and render draws into the view
// bitmap: while the worker runs, the main thread draws nothing but the status
// bar, straight onto the screen, and never blits the view bitmap. An uncovered
// window is repainted by Allegro's X driver from its own copy of the screen.
// Joining the worker orders its writes before the main thread reads the model
// and the bitmap again.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "chryzode.h"
#include "gui.h"

namespace {

using clock = std::chrono::steady_clock;

// Work shorter than this shows nothing, so a small figure appears at once.
constexpr auto quiet_time = std::chrono::milliseconds(200);
constexpr auto progress_interval = std::chrono::milliseconds(200);
// Escape and the close button are seen within this.
constexpr int poll_ms = 10;

void write_time(char* text, int size, double seconds)
{
    const long s = seconds < 1e9 ? long(seconds + 0.5) : 999999999L;
    if (s < 60)
        uszprintf(text, size, "%ld s", s);
    else
        uszprintf(text, size, "%ld min %02ld s", s / 60, s % 60);
}

// Writes how far the work is: the share of the pairs done and the time left
// while the work counts pairs, else only that it goes on.
void write_progress(char* text, int size, std::int64_t done, std::int64_t pairs, double elapsed,
                    bool cancellable)
{
    const char* hint = cancellable ? " - Esc cancels" : "";
    if (done <= 0 || pairs <= 0 || done > pairs) {
        uszprintf(text, size, "Computing%s", hint);
        return;
    }
    const double share = double(done) / double(pairs);
    char left[32];
    write_time(left, sizeof left, elapsed * (1 - share) / share);
    uszprintf(text, size, "Computing: %d%% - %s left%s", int(share * 100), left, hint);
}

// Draws the status bar with text instead of the status line, which stays as
// it is for when the work ends. A hidden bar stays hidden.
void show_in_status_bar(char* text)
{
    DIALOG& bar = main_dialog[status_bar_entry];
    void* const line = bar.dp;
    bar.dp = text;
    object_message(&bar, MSG_DRAW, 0);
    bar.dp = line;
}

// Keys typed during the work are not commands for later: all are dropped;
// true when Escape was among them.
bool escape_typed()
{
    bool escape = false;
    while (keypressed())
        if ((readkey() >> 8) == KEY_ESC)
            escape = true;
    return escape;
}

struct typed_key {
    int c, scancode;
};

// Keys typed before the work began, such as the next command typed ahead
// while a menu closed, are meant for after it.
std::vector<typed_key> keys_typed_ahead()
{
    std::vector<typed_key> keys;
    while (keypressed()) {
        typed_key k;
        k.c = ureadkey(&k.scancode);
        keys.push_back(k);
    }
    return keys;
}

}

work_end run_in_background(const std::function<bool()>& work, bool cancellable)
{
    const std::vector<typed_key> typed_ahead = keys_typed_ahead();
    Cchryzode& model = the_model();
    const std::int64_t pairs = model.planned_pairs();
    model.pairs_done = 0;
    std::atomic<bool> finished{false};
    bool result = false;
    std::thread worker([&] {
        result = work();
        finished = true;
    });

    const clock::time_point start = clock::now();
    clock::time_point next_progress = start + quiet_time;
    bool cancelled = false;
    while (!finished) {
        const bool stop = escape_typed() || close_button_clicked;
        if (cancellable && stop && !cancelled) {
            model.cancel_requested = true;
            cancelled = true;
        }
        const clock::time_point now = clock::now();
        if (now >= next_progress && !cancelled) {
            char text[128];
            write_progress(text, sizeof text, model.pairs_done, pairs,
                           std::chrono::duration<double>(now - start).count(), cancellable);
            show_in_status_bar(text);
            next_progress = now + progress_interval;
        }
        rest(poll_ms);
    }
    worker.join();
    escape_typed();
    for (const typed_key& k : typed_ahead)
        simulate_ukeypress(k.c, k.scancode);
    model.cancel_requested = false;
    if (result)
        return work_end::done;
    return cancelled ? work_end::cancelled : work_end::failed;
}
