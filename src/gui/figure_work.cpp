// The figure's computation on one worker thread, with the window alive.
//
// Only the main thread calls Allegro. It gives the model the settings of the
// newest figure asked for and hands it to the worker, which computes the
// counts (the model's compute, which calls no Allegro function) and touches
// nothing else. Once the worker is done, the main thread takes the model
// back, paints the counts into the view bitmap and shows it: the screen
// always shows a whole figure, the one the status line names. A newer
// request abandons the computation under way through the model's cancel
// flag; requests never queue, only the newest is kept.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "chryzode.h"
#include "gui.h"

explorer_state state;

namespace {

using clock = std::chrono::steady_clock;

// Work shorter than this shows no progress, so a small figure appears at once.
constexpr auto quiet_time = std::chrono::milliseconds(200);
constexpr auto progress_interval = std::chrono::milliseconds(200);

enum class job_state { idle, running, finished };

class worker_thread {
public:
    worker_thread() : thread([this] { serve(); }) {}
    ~worker_thread()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            stopping = true;
        }
        wake.notify_one();
        thread.join();
    }

    // Starts work on the worker; only when idle.
    void start(std::function<bool()> work)
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            job = std::move(work);
            now = job_state::running;
        }
        wake.notify_one();
    }
    job_state poll()
    {
        std::lock_guard<std::mutex> hold(lock);
        return now;
    }
    // The result of a finished job; the worker is idle again.
    bool take_result()
    {
        std::lock_guard<std::mutex> hold(lock);
        now = job_state::idle;
        return result;
    }
    void wait_until_finished()
    {
        std::unique_lock<std::mutex> hold(lock);
        done.wait(hold, [this] { return now != job_state::running; });
    }
    void wait_until_finished(std::chrono::milliseconds most)
    {
        std::unique_lock<std::mutex> hold(lock);
        done.wait_for(hold, most, [this] { return now != job_state::running; });
    }

private:
    void serve()
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            wake.wait(hold, [this] { return stopping || now == job_state::running; });
            if (stopping)
                return;
            const std::function<bool()> work = std::move(job);
            hold.unlock();
            const bool ok = work();
            hold.lock();
            result = ok;
            now = job_state::finished;
            done.notify_all();
        }
    }

    std::mutex lock;
    std::condition_variable wake, done;
    std::function<bool()> job;
    job_state now = job_state::idle;
    bool result = false;
    bool stopping = false;
    std::thread thread;   // last: starts once the rest is made
};

std::unique_ptr<worker_thread> worker;

struct request {
    figure_settings figure;
    figure_job kind;
};

// The request being computed and the newest one waiting, if any.
request running{}, waiting{};
bool has_waiting = false;
bool cancelled_by_user = false;
clock::time_point started, next_progress;

void start(const request& r)
{
    Cchryzode& model = the_model();
    set_figure(model, r.figure);
    model.cancel_requested = false;
    model.pairs_done = 0;
    running = r;
    cancelled_by_user = false;
    started = clock::now();
    next_progress = started + quiet_time;
    worker->start([&model, kind = r.kind] {
        if (kind == figure_job::again && (model.type & on_the_fly))
            return model.calcul();
        return model.compute();
    });
}

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
    const clock::time_point now = clock::now();
    if (now < next_progress || cancelled_by_user || state.anim.running)
        return;
    next_progress = now + progress_interval;
    Cchryzode& model = the_model();
    const std::int64_t pairs = model.pairs_planned, done = model.pairs_done;
    char text[128];
    if (done <= 0 || pairs <= 0 || done > pairs) {
        uszprintf(text, sizeof text, "Computing - Esc cancels");
    } else {
        const double share = double(done) / double(pairs);
        const double elapsed = std::chrono::duration<double>(now - started).count();
        uszprintf(text, sizeof text, "Computing: %d%% - %s left - Esc cancels", int(share * 100),
                  duration_text(elapsed * (1 - share) / share).c_str());
    }
    show_in_status_bar(text);
}

// The counts of the figure computed just now painted and shown.
void show_computed()
{
    // Painting cannot fail once the counts are made.
    the_model().render();
    state.shown = running.figure;
    state.drawn = state.on_screen = true;
    update_figure_commands();
    if (state.anim.running)
        frame_shown();
    show_status();
}

// The computation just finished: its figure painted and shown, or the
// model given back the settings of the figure on screen.
void finish(bool computed)
{
    Cchryzode& model = the_model();
    const bool failed = !computed && !model.cancel_requested;
    model.cancel_requested = false;
    if (computed) {
        show_computed();
    } else {
        const std::uint64_t needed = failed ? model.compute_bytes() : 0;
        set_figure(model, state.shown);
        if (failed && !has_waiting) {
            state.has_refused = true;
            state.refused = running.figure;
            stop_animation();
            report_out_of_memory(needed);
            redraw_main();
        }
        if (has_waiting)
            return;   // the newer figure is drawn once computed
        state.wanted = state.shown;
    }
    draw_view();
}

}

void start_figure_work() { worker = std::make_unique<worker_thread>(); }

void stop_figure_work()
{
    cancel_figure();
    if (worker)
        worker->wait_until_finished();
    worker.reset();
}

void ask_for_figure(const figure_settings& figure, figure_job kind)
{
    state.wanted = figure;
    waiting = request{figure, kind};
    has_waiting = true;
    if (figure_busy())
        the_model().cancel_requested = true;
    else
        poll_figure_work();
}

void cancel_figure()
{
    has_waiting = false;
    if (figure_busy()) {
        the_model().cancel_requested = true;
        cancelled_by_user = true;
    }
    state.wanted = state.shown;
}

bool figure_busy() { return worker && worker->poll() != job_state::idle; }

void settle_figure_work()
{
    if (!figure_busy())
        return;
    // The figure in flight is abandoned and asked for again later, unless a
    // newer one waits already.
    if (!has_waiting) {
        waiting = running;
        has_waiting = true;
    }
    the_model().cancel_requested = true;
    worker->wait_until_finished();
    const bool computed = worker->take_result();
    the_model().cancel_requested = false;
    if (computed)
        show_computed();
    else
        set_figure(the_model(), state.shown);
}

void draw_view()
{
    scare_mouse();
    for (DIALOG* d : {&main_dialog[view_entry], &main_dialog[status_bar_entry]})
        if (!(d->flags & D_HIDDEN))
            d->proc(MSG_DRAW, d, 0);
    unscare_mouse();
}

void recolour_figure(rgb fg1, rgb fg2, rgb bg)
{
    settle_figure_work();
    for (figure_settings* f : {&state.shown, &state.wanted, &waiting.figure}) {
        f->fg1 = fg1;
        f->fg2 = fg2;
        f->bg = bg;
    }
    Cchryzode& model = the_model();
    set_figure(model, state.shown);
    if (state.on_screen)
        model.render();
    else
        clear_to_color(model.bmp, model.bg);
    draw_view();
}

void poll_figure_work()
{
    if (!worker)
        return;
    switch (worker->poll()) {
    case job_state::running:
        show_progress();
        return;
    case job_state::finished:
        finish(worker->take_result());
        break;
    case job_state::idle:
        break;
    }
    if (has_waiting) {
        has_waiting = false;
        start(waiting);
    }
}

void wait_for_figure_work(int ms)
{
    if (figure_busy())
        worker->wait_until_finished(std::chrono::milliseconds(ms));
    else
        rest(ms);
}
