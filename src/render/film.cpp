// Films through ffmpeg: found on PATH, fed by a pipe, never left half made.
#include "film.h"

#include <fcntl.h>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

const char film_extensions[] = ".mp4, .webm or .gif";

namespace {

// The film under way, for remove_unfinished_film, which may run at any
// moment on the thread that ends the program: its temporary file's name
// and ffmpeg's process. Once an end has begun to remove the file, the
// process is ending and the name is never rewritten again.
enum { no_film, named, removing, removed };
char unfinished_path[PATH_MAX];
std::atomic<int> unfinished{no_film};
std::atomic<pid_t> running_encoder{-1};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "read in signal handlers");

// The name is no longer read by an end; when an end has begun, this thread
// waits for it to end the process.
void forget_unfinished()
{
    int state = named;
    if (!unfinished.compare_exchange_strong(state, no_film) && state != no_film)
        for (;;)
            pause();
}

const char* const kind_words[] = {"mp4", "webm", "gif"};

// The encoder's options for each kind, after the input: H.264 and VP9 want
// even sides, padded with the background; a GIF takes a palette of its
// own for each frame, made as the frames come, so that a long film is
// never held whole.
std::vector<std::string> encoder_options(film_kind kind, const std::string& pad)
{
    switch (kind) {
    case film_kind::mp4:
        return {"-vf", pad, "-c:v", "libx264", "-crf", "18", "-pix_fmt", "yuv420p", "-movflags", "+faststart"};
    case film_kind::webm:
        return {"-vf", pad, "-c:v", "libvpx-vp9", "-crf", "32", "-b:v", "0", "-row-mt", "1", "-deadline", "good",
                "-cpu-used", "4", "-pix_fmt", "yuv420p"};
    case film_kind::gif:
        return {"-vf", "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1", "-loop", "0"};
    }
    return {};
}

// ffmpeg on PATH, as the shell finds it; empty when there is none.
std::string find_ffmpeg()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string file = dir + "/ffmpeg";
        struct stat s;
        if (stat(file.c_str(), &s) == 0 && S_ISREG(s.st_mode) && access(file.c_str(), X_OK) == 0)
            return file;
        start = end + 1;
    }
    return "";
}

std::string directory_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool failed(std::string& why, int error)
{
    why = std::strerror(error);
    return false;
}

// Row y of bmp as red, green and blue bytes.
void fill_row(BITMAP* bmp, int y, unsigned char* row)
{
    const int depth = bitmap_color_depth(bmp);
    for (int x = 0; x < bmp->w; ++x, row += 3) {
        const int c = depth == 32 && is_memory_bitmap(bmp) ? int(reinterpret_cast<std::uint32_t*>(bmp->line[y])[x])
                                                          : getpixel(bmp, x, y);
        row[0] = std::uint8_t(getr_depth(depth, c));
        row[1] = std::uint8_t(getg_depth(depth, c));
        row[2] = std::uint8_t(getb_depth(depth, c));
    }
}

// Starts program with args, its standard input from fd in and its file
// descriptor 3 the film; every signal as a new process has it.
int spawn(const std::vector<std::string>& args, int in, int film, pid_t& pid)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, film, 3);
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

}

bool film_of_name(const std::string& name, film_kind& kind)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1, dot = name.rfind('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot == std::string::npos || dot <= base)
        return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (int k = 0; k < 3; ++k)
        if (extension == kind_words[k]) {
            kind = film_kind(k);
            return true;
        }
    return false;
}

film::~film()
{
    abandon();
}

void film::abandon()
{
    if (input >= 0)
        close(input);
    input = -1;
    if (encoder > 0) {
        running_encoder = -1;
        kill(encoder, SIGKILL);
        waitpid(encoder, nullptr, 0);
        encoder = -1;
    }
    if (!temp.empty()) {
        unlink(temp.c_str());
        forget_unfinished();
        temp.clear();
    }
}

bool film::open(const std::string& target, film_kind kind, int w, int h, int fps, const rgb& pad, std::string& why)
{
    abandon();
    const std::string ffmpeg = find_ffmpeg();
    if (ffmpeg.empty()) {
        why = "ffmpeg, which makes the films, is not on PATH; on Debian or Ubuntu, install it with: "
              "sudo apt install ffmpeg";
        return false;
    }
    struct stat old;
    if (stat(target.c_str(), &old) == 0 && S_ISDIR(old.st_mode))
        return failed(why, EISDIR);
    if (stat(target.c_str(), &old) == 0 && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return failed(why, errno);
    path = target;
    std::string name = directory_of(path) + "." + path.substr(directory_of(path).size()) + ".XXXXXX";
    if (name.size() >= sizeof unfinished_path)
        return failed(why, ENAMETOOLONG);
    const int file = mkostemp(&name[0], O_CLOEXEC);
    if (file < 0)
        return failed(why, errno);
    forget_unfinished();
    temp = name;
    std::memcpy(unfinished_path, name.c_str(), name.size() + 1);
    unfinished = named;
    // A new file takes the mode that the umask leaves, as any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(file, 0666 & ~mask);

    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
        const int error = errno;
        close(file);
        abandon();
        return failed(why, error);
    }
    // A write into the pipe of an ffmpeg that has failed is a failure to
    // report, not the end of the program.
    std::signal(SIGPIPE, SIG_IGN);
    char padding[80];
    std::snprintf(padding, sizeof padding, "pad=ceil(iw/2)*2:ceil(ih/2)*2:color=0x%02X%02X%02X", pad.r, pad.g, pad.b);
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-f", "rawvideo",
                                     "-pixel_format", "rgb24", "-video_size",
                                     std::to_string(w) + "x" + std::to_string(h), "-framerate", std::to_string(fps),
                                     "-i", "pipe:0"};
    for (std::string& option : encoder_options(kind, padding))
        args.push_back(option);
    // The film goes into the temporary file by its descriptor, never by its
    // name, so that no end of the program can leave ffmpeg making it anew.
    for (const char* last : {"-f", kind_words[int(kind)], "-y", "/proc/self/fd/3"})
        args.push_back(last);
    pid_t pid = -1;
    const int error = spawn(args, pipe_ends[0], file, pid);
    close(pipe_ends[0]);
    close(file);
    input = pipe_ends[1];
    if (error) {
        abandon();
        return failed(why, error);
    }
    encoder = pid;
    running_encoder = pid;
    return true;
}

bool film::add(BITMAP* bmp, std::string& why)
{
    std::vector<unsigned char> row(std::size_t(bmp->w) * 3);
    for (int y = 0; y < bmp->h; ++y) {
        fill_row(bmp, y, row.data());
        for (std::size_t done = 0; done < row.size();) {
            const ssize_t wrote = write(input, row.data() + done, row.size() - done);
            if (wrote < 0 && errno == EPIPE) {
                why = "ffmpeg stopped before the end of the film";
                return false;
            }
            if (wrote < 0 && errno != EINTR)
                return failed(why, errno);
            if (wrote > 0)
                done += std::size_t(wrote);
        }
    }
    return true;
}

bool film::finish(std::string& why)
{
    close(input);
    input = -1;
    running_encoder = -1;
    int status = 0;
    while (waitpid(encoder, &status, 0) < 0 && errno == EINTR) {
    }
    encoder = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        why = "ffmpeg failed" + (WIFEXITED(status) ? " with status " + std::to_string(WEXITSTATUS(status)) : "");
        abandon();
        return false;
    }
    forget_unfinished();
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        temp.clear();
        return failed(why, error);
    }
    temp.clear();
    return true;
}

void remove_unfinished_film()
{
    const pid_t pid = running_encoder.load();
    if (pid > 0)
        kill(pid, SIGKILL);
    int state = named;
    if (unfinished.compare_exchange_strong(state, removing)) {
        unlink(unfinished_path);
        unfinished = removed;
    }
    const timespec millisecond{0, 1000000};
    while (unfinished == removing)
        nanosleep(&millisecond, nullptr);
}
