// The progress line on standard error: what is done, the time left, and a clean end of the line.
#include "progress.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "settings.h"

namespace {

constexpr auto tick_interval = std::chrono::milliseconds(250);

// Whether a line without its newline is on the terminal.
std::atomic<bool> line_open{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in signal handlers");

void new_line()
{
    std::fputc('\n', stderr);
    line_open = false;
}
}

void end_progress_line()
{
    if (line_open.exchange(false))
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, "\n", 1);
}

progress::progress(bool shown) : visible(shown)
{
    if (visible)
        ticker = std::thread(&progress::tick, this);
}

progress::~progress()
{
    if (!visible)
        return;
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    wake.notify_one();
    ticker.join();
}

void progress::note(const std::string& text)
{
    if (!visible)
        return;
    std::lock_guard<std::mutex> hold(lock);
    draw(text);
    new_line();
    drawn = 0;
}

void progress::begin(const std::string& what, std::function<double()> part)
{
    if (!visible)
        return;
    std::lock_guard<std::mutex> hold(lock);
    current = what;
    share = std::move(part);
    started = clock::now();
    active = true;
    draw(state());
}

std::string progress::state() const
{
    const double elapsed = std::chrono::duration<double>(clock::now() - started).count();
    const double done = share ? share() : 0;
    if (!share)
        return current + ": " + duration_text(elapsed);
    if (done <= 0)
        return current + ": 0%";
    char percent[16];
    std::snprintf(percent, sizeof percent, "%d%%", int(done * 100));
    return current + ": " + percent + ", " + duration_text(elapsed * (1 - done) / done) + " left";
}

void progress::finish(bool done)
{
    if (!visible)
        return;
    std::lock_guard<std::mutex> hold(lock);
    if (done) {
        const std::chrono::duration<double> elapsed = clock::now() - started;
        draw(current + ": done in " + duration_text(elapsed.count()));
    }
    new_line();
    drawn = 0;
    active = false;
}

void progress::tick()
{
    std::unique_lock<std::mutex> hold(lock);
    while (!wake.wait_for(hold, tick_interval, [this] { return stopping; }))
        if (active)
            draw(state());
}

void progress::draw(const std::string& text)
{
    // Blank what is left of a longer line drawn before.
    const int pad = drawn > text.size() ? int(drawn - text.size()) : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), pad, "");
    std::fflush(stderr);
    line_open = true;
    drawn = text.size();
}
