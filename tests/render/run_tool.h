// Test support: quorvane-render run as a separate program, in a scratch
// directory of its own.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

struct tool_run {
    int status = -1;   // exit status, or -1 when a signal ended it
    int signal = 0;    // the signal that ended it
    std::string out;   // standard output (and standard error on a terminal)
    std::string err;   // standard error, when not on a terminal
};

struct run_settings {
    bool on_terminal = false;            // a pseudo-terminal as its standard streams
    rlim_t file_limit = RLIM_INFINITY;   // largest file it may write
};

// A scratch directory, removed with everything in it.
struct scratch_dir {
    std::string path;
    scratch_dir();
    ~scratch_dir();
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // Names of the entries, sorted.
    std::vector<std::string> entries() const;
};

// Runs quorvane-render with args and waits for its end.
tool_run run_tool(const std::vector<std::string>& args, const run_settings& settings = {});

// Starts quorvane-render with args, standard streams to /dev/null; its pid.
pid_t start_tool(const std::vector<std::string>& args);
// Waits for pid to end; its status as in tool_run.
tool_run wait_tool(pid_t pid);

std::string read_file(const std::string& path);
