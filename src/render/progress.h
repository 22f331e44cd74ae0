// Progress on standard error while a picture is made, for a person at a
// terminal: one line per step, the current one redrawn in place a few times
// a second with its elapsed time, or, for a step that can tell how far it
// is, with the share done and the time left.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Ends the progress line on the terminal, if one is open, so that what the
// shell writes next starts on a line of its own. Safe in a signal handler.
void end_progress_line();

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
    // starts on a line of its own. share(), when given, tells the part of
    // the work done, from 0 to 1; it is called from another thread.
    template <class Work>
    bool step(const std::string& what, const Work& work, std::function<double()> share = {})
    {
        begin(what, std::move(share));
        const bool done = work();
        finish(done);
        return done;
    }

private:
    using clock = std::chrono::steady_clock;

    void begin(const std::string& what, std::function<double()> share);
    void finish(bool done);   // with the step's time when done
    void tick();
    std::string state() const;   // the step under way, how far it is; with lock held
    void draw(const std::string& text);   // with lock held

    const bool visible;
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    bool active = false;            // a step is under way
    std::string current;            // name of the step under way
    std::function<double()> share;  // its part done, when it can tell
    clock::time_point started;
    std::size_t drawn = 0;          // length of the line on screen
    std::thread ticker;
};
