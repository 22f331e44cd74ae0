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
    // Starts a step.
    void begin(const std::string& step);
    // Ends the step with its time.
    void end();
    // Closes the line of a step that failed, so that an error message
    // starts on a line of its own.
    void abandon();

private:
    using clock = std::chrono::steady_clock;

    void tick();
    void draw(const std::string& text);   // with lock held

    const bool visible;
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    bool active = false;            // a step is under way
    std::string step;
    clock::time_point started;
    std::size_t drawn = 0;          // length of the line on screen
    std::thread ticker;
};
