// The figure's computation on one worker thread, with the window alive.
//
// Each figure asked for becomes a request: its settings and picture size,
// numbered. The worker counts it on a model of its own that has no bitmap
// (a pure function of the request, which it reads and nothing else) and
// hands back the counts tagged with the request's number. The main thread,
// the only one that calls Allegro, adopts a result only when its number is
// the newest request's: the model then takes the settings and the counts
// together, paints them and shows them. Anything that abandons a request
// (a newer one, Escape, the end of the animation) moves the newest number on,
// so a result that was abandoned, even one finished a moment ago, is never
// shown, and the screen, the status line and the next key always start from
// the same figure.
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "chryzode.h"
#include "gui.h"

explorer_state state;

namespace {

using clock = std::chrono::steady_clock;

// Work shorter than this shows no progress, so a small figure appears at once.
constexpr auto quiet_time = std::chrono::milliseconds(200);
constexpr auto progress_interval = std::chrono::milliseconds(200);

class worker_thread {
public:
    worker_thread() : thread([this] { serve(); }) {}
    ~worker_thread()
    {
        counter.cancel_requested = true;
        {
            std::lock_guard<std::mutex> hold(lock);
            stopping = true;
        }
        wake.notify_one();
        thread.join();
    }

    void start(const figure_request& request)
    {
        std::lock_guard<std::mutex> hold(lock);
        assert(!job && !result && "the worker starts only when idle");
        counter.cancel_requested = false;
        counter.set_fast(the_model().fast);
        counter.pairs_done = 0;
        counter.pairs_planned = 0;
        job = request;
        wake.notify_one();
    }
    bool idle()
    {
        std::lock_guard<std::mutex> hold(lock);
        return !job && !result;
    }
    bool finished()
    {
        std::lock_guard<std::mutex> hold(lock);
        return result.has_value();
    }
    // The result of the finished request; the worker is idle again.
    figure_counts take_result()
    {
        std::lock_guard<std::mutex> hold(lock);
        figure_counts taken = std::move(*result);
        result.reset();
        return taken;
    }
    void cancel() { counter.cancel_requested = true; }
    // How far the request under way is, as a share from 0 to 1; negative
    // while unknown.
    double share_done() const
    {
        const std::int64_t pairs = counter.pairs_planned, done = counter.pairs_done;
        return done <= 0 || pairs <= 0 || done > pairs ? -1 : double(done) / double(pairs);
    }
    void wait_until_finished(std::chrono::milliseconds most)
    {
        std::unique_lock<std::mutex> hold(lock);
        done.wait_for(hold, most, [this] { return !job; });
    }

private:
    void serve()
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            wake.wait(hold, [this] { return stopping || (job && !result); });
            if (stopping)
                return;
            const figure_request request = *job;
            hold.unlock();
            figure_counts counts = count_figure(counter, request);
            hold.lock();
            job.reset();
            result = std::move(counts);
            done.notify_all();
        }
    }

    // The worker's own model: only its cancel flag and its progress are
    // touched from the main thread, both atomic.
    Cchryzode counter{nullptr};
    std::mutex lock;
    std::condition_variable wake, done;
    std::optional<figure_request> job;
    std::optional<figure_counts> result;
    bool stopping = false;
    std::thread thread;   // last: starts once the rest is made
};

std::unique_ptr<worker_thread> worker;

double seconds_since(clock::time_point then) { return std::chrono::duration<double>(clock::now() - then).count(); }

// Draws text in the status bar, shown or hidden, in place of the status
// line, which stays as it is for when the work ends.
void show_in_status_bar(char* text)
{
    DIALOG& bar = main_dialog[status_bar_entry];
    void* const line = bar.dp;
    bar.dp = text;
    bar.proc(MSG_DRAW, &bar, 0);
    bar.dp = line;
}

void show_progress()
{
    figure_work& w = state.work;
    const clock::time_point now = clock::now();
    if (now < w.next_progress || w.cancelled || state.anim.running)
        return;
    w.next_progress = now + progress_interval;
    const double share = worker->share_done();
    char text[sizeof status_text];
    const std::string work = share < 0 ? "computing - Esc cancels"
                                       : "computing: " + std::to_string(int(share * 100)) + "% - " +
                                             duration_text(seconds_since(w.started) * (1 - share) / share) +
                                             " left - Esc cancels";
    uszprintf(text, sizeof text, "%s", current_status(work).c_str());
    show_in_status_bar(text);
}

// Whether the request under way should give way to a newer one. Abandoning
// it shows the newest figure soonest, but while a key repeats faster than
// figures compute, each step would abandon the last and the screen would
// never change. So one that is more than half done finishes, and so does
// any short one once nothing has been shown for a while: a figure of under
// 0.25 s then shows at least every half second while a key is held.
bool abandon_for_newer()
{
    const figure_work& w = state.work;
    constexpr double short_figure = 0.25;
    const double share = worker->share_done();
    if (share > 0.5)
        return false;
    // Until the first pairs are counted, a figure is as long as it has taken.
    const double elapsed = seconds_since(w.started);
    const double expected = share > 0 ? elapsed / share : elapsed;
    return !(expected < short_figure && seconds_since(w.last_shown) >= short_figure);
}

void send_newest()
{
    figure_work& w = state.work;
    const BITMAP* view = static_cast<const BITMAP*>(main_dialog[view_entry].dp);
    w.running = figure_request{state.wanted, view->w, view->h, ++w.newest};
    w.pending = false;
    w.cancelled = false;
    w.started = clock::now();
    w.next_progress = w.started + quiet_time;
    worker->start(w.running);
}

// The counts of the newest request painted and shown.
void adopt(figure_counts counts)
{
    figure_work& w = state.work;
    assert(counts.number == w.newest && "only the newest request is adopted");
    Cchryzode& model = the_model();
    // A colour map chosen meanwhile applies at once, to this figure too.
    const figure_settings figure = with_colour_map(w.running.figure, state.wanted);
    set_figure(model, figure);
    model.adopt_counts(std::move(counts.hits));
    assert(model.hits.width() == model.bmp->w && model.hits.height() == model.bmp->h &&
           "the counts are those of the view's bitmap");
    // Painting cannot fail once the counts are made.
    model.render();
    state.shown = figure;
    state.drawn = state.on_screen = true;
    w.last_shown = clock::now();
    update_figure_commands();
    if (state.anim.running)
        frame_shown();
    show_status();
    draw_view();
}

void refuse(const figure_counts& counts)
{
    state.has_refused = true;
    state.refused = state.work.running.figure;
    state.wanted = keep_colours(state.shown, state.wanted);
    stop_animation();
    show_status();
    report_out_of_memory(counts.bytes_needed);
    redraw_main();
}

// Takes the worker's result when there is one to take: a frame of the
// animation waits until its time comes.
void collect()
{
    if (!worker->finished() || (state.anim.running && !frame_due()))
        return;
    figure_counts counts = worker->take_result();
    if (counts.number != state.work.newest)
        return;   // abandoned
    if (counts.computed)
        adopt(std::move(counts));
    else if (!state.work.pending)
        refuse(counts);
}

}

std::string current_status(const std::string& work)
{
    char text[sizeof status_text];
    const figure_settings& f = state.shown;
    if (!state.on_screen)
        uszprintf(text, sizeof text, "No figure at this size: Chryzode > Rerender draws it");
    else if (!animation_status(text, sizeof text))
        write_status(text, sizeof text, f.n, f.m, f.r, f.type, f.zoom);
    std::string line = text + view_text(f.magnify, f.cx, f.cy) + colour_map_text(f);
    if (!state.view.notice.empty())
        line += " - " + std::exchange(state.view.notice, "");
    if (!state.anim.running && (figure_busy() || state.work.pending) && !state.work.cancelled)
        line += " -> " + asked_text(state.shown, state.wanted) + "(" + work + ")";
    return line;
}

void start_figure_work() { worker = std::make_unique<worker_thread>(); }

void stop_figure_work() { worker.reset(); }

void ask_for_figure(const figure_settings& figure)
{
    state.wanted = figure;
    state.work.pending = true;
    poll_figure_work();
    show_status();
    draw_view();
}

void repaint_figure(const figure_settings& figure)
{
    Cchryzode& model = the_model();
    set_figure(model, figure);
    state.shown = figure;
    if (state.on_screen)
        model.render();
    else
        clear_to_color(model.bmp, model.bg);
    show_status();
    draw_view();
}

void cancel_figure()
{
    figure_work& w = state.work;
    w.pending = false;
    if (figure_busy()) {
        worker->cancel();
        w.cancelled = true;
        // A result that finishes now, or has finished unseen, is stale.
        ++w.newest;
    }
    state.wanted = keep_colours(state.shown, state.wanted);
    show_status();
}

bool figure_busy() { return worker && !worker->idle(); }

void draw_view()
{
    scare_mouse();
    for (int entry : {view_entry, menu_bar_entry, status_bar_entry}) {
        DIALOG& d = main_dialog[entry];
        if (!(d.flags & D_HIDDEN))
            d.proc(MSG_DRAW, &d, 0);
    }
    unscare_mouse();
}

void poll_figure_work()
{
    if (!worker)
        return;
    collect();
    figure_work& w = state.work;
    if (worker->idle()) {
        if (w.pending)
            send_newest();
    } else if (w.pending && !worker->finished() && abandon_for_newer()) {
        worker->cancel();
    }
    if (!worker->idle())
        show_progress();
}

void wait_for_figure_work(int ms)
{
    if (worker && !worker->idle() && !worker->finished())
        worker->wait_until_finished(std::chrono::milliseconds(ms));
    else
        rest(ms);
}
