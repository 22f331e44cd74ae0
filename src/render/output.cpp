#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "options.h"

namespace {

// The temporary file of the run, for the signal handler to remove: an
// interrupted run leaves nothing behind.
char pending_temp[PATH_MAX];
volatile std::sig_atomic_t temp_pending = 0;

extern "C" void remove_temp_and_die(int sig)
{
    if (temp_pending)
        unlink(pending_temp);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void watch_temp(const std::string& temp)
{
    if (temp.size() >= sizeof pending_temp)
        return;
    std::memcpy(pending_temp, temp.c_str(), temp.size() + 1);
    temp_pending = 1;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, remove_temp_and_die);
    // Past a file size limit, writes fail and are reported like any other.
    std::signal(SIGXFSZ, SIG_IGN);
}

// Holds back the signals that remove the temporary file from its creation
// until the handler knows its name.
struct signals_held {
    sigset_t held, before;
    signals_held()
    {
        sigemptyset(&held);
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&held, sig);
        sigprocmask(SIG_BLOCK, &held, &before);
    }
    ~signals_held() { sigprocmask(SIG_SETMASK, &before, nullptr); }
};

[[noreturn]] void cannot_write(const std::string& path, const char* why)
{
    throw usage_error("-o: cannot write '" + path + "': " + why);
}

// A link names the file it points to: the picture replaces that file and
// the link stays.
std::string resolve_link(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real)
        cannot_write(path, std::strerror(errno));
    std::string target = real;
    std::free(real);
    return target;
}

// The temporary file as an Allegro packfile that save_bmp_pf writes to.
// Allegro's own file writer retries a failed write at every byte that
// follows (minutes for a large picture on a full disk) and does not report
// a failure of its last write; this one stops at the first failure and
// keeps its cause.
struct file_sink {
    int fd;
    int error = 0;   // errno of the first failed write
    std::size_t used = 0;
    char buffer[1 << 16];

    explicit file_sink(int fd) : fd(fd) {}

    bool flush()
    {
        for (std::size_t done = 0; !error && done < used;) {
            const ssize_t wrote = write(fd, buffer + done, used - done);
            if (wrote < 0 && errno != EINTR)
                error = errno;
            else if (wrote > 0)
                done += std::size_t(wrote);
        }
        used = 0;
        return !error;
    }

    // After a failure the bytes are dropped at no cost.
    bool put(char c)
    {
        if (used == sizeof buffer)
            flush();
        buffer[used++] = c;
        return !error;
    }
};

file_sink& sink_of(void* userdata) { return *static_cast<file_sink*>(userdata); }

int sink_close(void* userdata) { return sink_of(userdata).flush() ? 0 : EOF; }
int sink_putc(int c, void* userdata) { return sink_of(userdata).put(char(c)) ? c : EOF; }
long sink_write(const void* p, long n, void* userdata)
{
    const char* bytes = static_cast<const char*>(p);
    file_sink& sink = sink_of(userdata);
    for (long k = 0; k < n; ++k)
        sink.put(bytes[k]);
    return sink.error ? 0 : n;
}
int sink_error(void* userdata) { return sink_of(userdata).error; }
// Nothing is ever read back or skipped.
int sink_getc(void*) { return EOF; }
int sink_ungetc(int, void*) { return EOF; }
long sink_read(void*, long, void*) { return 0; }
int sink_seek(void*, int) { return -1; }
int sink_eof(void*) { return 1; }

const PACKFILE_VTABLE sink_vtable = {sink_close, sink_getc, sink_ungetc, sink_read, sink_putc,
                                     sink_write, sink_seek,  sink_eof,  sink_error};

// Writes bmp as a BMP file to fd; 0 or the errno of the failure.
int save_picture(int fd, BITMAP* bmp)
{
    const std::unique_ptr<file_sink> sink_memory(new file_sink(fd));
    file_sink& sink = *sink_memory;
    PACKFILE* f = pack_fopen_vtable(&sink_vtable, &sink);
    if (!f)
        return errno ? errno : ENOMEM;
    save_bmp_pf(f, bmp, nullptr);
    pack_fclose(f);
    if (!sink.error && fsync(fd) != 0)
        sink.error = errno;
    return sink.error;
}

}

output_file::output_file(const std::string& path) : target(resolve_link(path)), fd(-1)
{
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        cannot_write(path, S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a regular file");
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    temp = dir + (slash == std::string::npos ? "/." : ".") + base + ".XXXXXX";
    const signals_held held;
    fd = mkstemp(&temp[0]);
    if (fd < 0) {
        const int e = errno;
        temp.clear();
        cannot_write(path, std::strerror(e));
    }
    // mkstemp makes the file private; the picture gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    watch_temp(temp);
}

output_file::~output_file()
{
    if (fd >= 0)
        close(fd);
    if (!temp.empty()) {
        temp_pending = 0;
        unlink(temp.c_str());
    }
}

bool output_file::commit(BITMAP* bmp, std::string& error)
{
    int failure = save_picture(fd, bmp);
    if (close(fd) != 0 && !failure)
        failure = errno;
    fd = -1;
    if (!failure && rename(temp.c_str(), target.c_str()) != 0)
        failure = errno;
    if (failure) {
        error = "cannot write '" + target + "': " + std::strerror(failure);
        return false;
    }
    temp_pending = 0;
    temp.clear();
    return true;
}
