#include "run_tool.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

[[noreturn]] void exec_tool(const std::vector<std::string>& args)
{
    std::vector<char*> argv{const_cast<char*>(RENDER_TOOL)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(RENDER_TOOL, argv.data());
    _exit(127);
}

void set_file_limit(rlim_t limit)
{
    const rlimit l{limit, limit};
    if (limit != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &l) != 0)
        _exit(126);
}

// Everything the terminal's other end receives until the program ends.
std::string read_terminal(int master)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(master, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            text.append(buffer, std::size_t(got));
    return text;
}

}

scratch_dir::scratch_dir()
{
    std::string name = (std::filesystem::temp_directory_path() / "quorvane-render-test.XXXXXX").string();
    if (!mkdtemp(&name[0]))
        throw std::runtime_error("mkdtemp failed");
    path = name;
}

scratch_dir::~scratch_dir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> scratch_dir::entries() const
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

tool_run wait_tool(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    tool_run run;
    if (WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
    return run;
}

pid_t start_tool(const std::vector<std::string>& args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        exec_tool(args);
    }
    return pid;
}

tool_run run_tool(const std::vector<std::string>& args, const run_settings& settings)
{
    if (settings.on_terminal) {
        int master;
        const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            set_file_limit(settings.file_limit);
            exec_tool(args);
        }
        const std::string text = read_terminal(master);
        close(master);
        tool_run run = wait_tool(pid);
        run.out = text;
        return run;
    }
    const scratch_dir logs;
    const std::string out = logs / "out", err = logs / "err";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out_fd, STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        set_file_limit(settings.file_limit);
        exec_tool(args);
    }
    tool_run run = wait_tool(pid);
    run.out = read_file(out);
    run.err = read_file(err);
    return run;
}
