// Progress on standard error while a picture is made, for a person at a
// terminal: one line per step, the current one redrawn in place a few times
// a second with its elapsed time. The engine's computation is one call that
// reports nothing until it returns, so the elapsed time is all there is to
// show while it runs; no share done or time left is made up.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class progress {
public:
    // Shows nothing at all when shown is false.
    explicit progress(bool shown);
    ~progress();
    progress(const progress&) = delete;
    progress& operator=(const progress&) = delete;

    bool shown() const { return visible; }
    // A line of its own, before the steps.
    void note(const std::string& text);
    // Runs work(), which returns whether it succeeded, as the step named
    // what; after a failure the line is closed, so that an error message
    // starts on a line of its own.
    template <class Work>
    bool step(const std::string& what, const Work& work)
    {
        begin(what);
        const bool done = work();
        finish(done);
        return done;
    }

private:
    using clock = std::chrono::steady_clock;

    void begin(const std::string& what);
    void finish(bool done);   // with the step's time when done
    void tick();
    void draw(const std::string& text);   // with lock held

    const bool visible;
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    bool active = false;            // a step is under way
    std::string current;            // name of the step under way
    clock::time_point started;
    std::size_t drawn = 0;          // length of the line on screen
    std::thread ticker;
};
