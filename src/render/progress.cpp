#include "progress.h"

#include <cstdio>

namespace {

constexpr auto tick_interval = std::chrono::milliseconds(250);

std::string duration(double seconds)
{
    char text[32];
    if (seconds < 100)
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    else
        std::snprintf(text, sizeof text, "%d min %02d s", int(seconds) / 60, int(seconds) % 60);
    return text;
}

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
    std::fputc('\n', stderr);
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
        return current + ": " + duration(elapsed);
    if (done <= 0)
        return current + ": 0%";
    char percent[16];
    std::snprintf(percent, sizeof percent, "%d%%", int(done * 100));
    return current + ": " + percent + ", " + duration(elapsed * (1 - done) / done) + " left";
}

void progress::finish(bool done)
{
    if (!visible)
        return;
    std::lock_guard<std::mutex> hold(lock);
    if (done) {
        const std::chrono::duration<double> elapsed = clock::now() - started;
        draw(current + ": done in " + duration(elapsed.count()));
    }
    std::fputc('\n', stderr);
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
    drawn = text.size();
}
