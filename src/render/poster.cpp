#include "poster.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "memory.h"
#include "picture_file.h"
#include "progress.h"

namespace {

std::string megabytes(std::uint64_t bytes)
{
    const std::uint64_t mb = 1024 * 1024;
    return std::to_string(bytes / mb + (bytes % mb != 0)) + " MB";
}

std::string size_text(const BITMAP* bmp)
{
    return std::to_string(bmp->w) + "x" + std::to_string(bmp->h);
}

int color(const rgb& c)
{
    return makecol(c.r, c.g, c.b);
}

// Bytes the picture needs at its peak: the bitmap and what the computation
// holds.
std::uint64_t picture_bytes(const Cchryzode& model)
{
    const std::uint64_t w = std::uint64_t(model.bmp->w), h = std::uint64_t(model.bmp->h);
    const std::uint64_t bitmap = h * (w * sizeof(std::uint32_t) + sizeof(void*));
    return saturating_add(bitmap, model.calcul_bytes());
}

// Empty when the figure fits in the memory available, else why not.
std::string memory_refusal(const Cchryzode& model)
{
    const std::uint64_t available = available_memory();
    const std::uint64_t need = picture_bytes(model);
    if (need <= available)
        return "";
    return "not enough memory: a " + size_text(model.bmp) + " picture of this figure needs " + megabytes(need) +
           ", and " + megabytes(available) + " are available";
}

std::string cannot_write(const std::string& path, const std::string& why)
{
    return "cannot write '" + path + "': " + why;
}

std::string duration(double seconds)
{
    const long long minutes = (long long)(seconds / 60 + 0.5);
    if (minutes < 120)
        return std::to_string(minutes) + " min";
    if (minutes < 48 * 60)
        return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
    return std::to_string(minutes / (24 * 60)) + " days";
}

// Before a figure of this many pairs that will take more than a minute, its
// estimated time. The rate, per core, is below what the fast loops reach on
// an ordinary machine, so that a long run is not announced as a short one.
void announce_time(progress& shown, double pairs)
{
    const double pairs_per_second = 1e8 * std::max(1u, std::thread::hardware_concurrency());
    const double seconds = pairs / pairs_per_second;
    if (seconds > 60)
        shown.note("estimated time: about " + duration(seconds));
}

// The picture written to standard output, which is no file to put in place.
bool write_to_stdout(const render_options& o, BITMAP* bmp, std::string& error)
{
    const int failure = write_picture(STDOUT_FILENO, bmp, o.format);
    if (failure)
        error = cannot_write("standard output", std::strerror(failure));
    return !failure;
}

int one_picture(const render_options& o, Cchryzode& model)
{
    // A path that cannot be written is bad input, known before any work.
    picture_file out;
    std::string error;
    if (!o.to_stdout && !out.open(o.output, error))
        return fail(2, "-o: " + cannot_write(o.output, error));
    error = memory_refusal(model);
    if (!error.empty())
        return fail(1, error);

    progress shown(!o.quiet && isatty(STDERR_FILENO));
    const std::int64_t pairs = model.planned_pairs();
    if (shown.shown()) {
        char description[104];
        model.status(description);
        shown.note(std::string(description) + ", " + size_text(model.bmp) + " pixels");
        announce_time(shown, double(pairs));
    }
    const auto share = [&model, pairs] { return pairs ? double(model.pairs_done.load()) / double(pairs) : 1.0; };
    if (!shown.step("computing " + std::to_string(pairs) + " pairs", [&] { return model.calcul(); }, share))
        return fail(1, "not enough memory to compute this figure");
    if (!shown.step("drawing the picture", [&] { return model.render(); }))
        return fail(1, "not enough memory to draw this figure");
    const auto write = [&] {
        if (o.to_stdout)
            return write_to_stdout(o, model.bmp, error);
        if (out.commit(model.bmp, error))
            return true;
        error = cannot_write(out.target(), error);
        return false;
    };
    return shown.step("writing " + (o.to_stdout ? "standard output" : out.target()), write) ? 0 : fail(1, error);
}

// The picture of the model's figure into the file name: 0, or the exit
// status with the reason in error.
int draw_frame(const std::string& name, Cchryzode& model, std::string& error)
{
    picture_file out;
    std::string why;
    if (!out.open(name, why)) {
        error = "-o: " + cannot_write(name, why);
        return 2;
    }
    error = memory_refusal(model);
    if (!error.empty())
        return 1;
    if (!model.calcul() || !model.render()) {
        error = "not enough memory for the figure of n = " + std::to_string(model.n);
        return 1;
    }
    if (out.commit(model.bmp, why))
        return 0;
    error = cannot_write(out.target(), why);
    return 1;
}

// One picture per n, on one model and one bitmap: only what depends on n
// is made again. Progress counts the pairs of the whole run.
int frames(const render_options& o, Cchryzode& model)
{
    const int count = int((std::int64_t(o.last) - o.first) / o.step + 1);
    const auto n_of = [&o](int frame) { return int(o.first + std::int64_t(frame) * o.step); };
    std::vector<double> pairs(std::size_t(count) + 1, 0.0);   // pairs before each frame
    for (int frame = 0; frame < count; ++frame) {
        model.set(n_of(frame), o.m, o.r, o.type);
        pairs[std::size_t(frame) + 1] = pairs[std::size_t(frame)] + double(model.planned_pairs());
    }
    const double total = pairs.back();

    progress shown(!o.quiet && isatty(STDERR_FILENO));
    if (shown.shown())
        announce_time(shown, total);
    std::atomic<int> current{0};
    const auto share = [&] {
        const int frame = current.load();
        return total > 0 ? (pairs[std::size_t(frame)] + double(model.pairs_done.load())) / total : 1.0;
    };
    int status = 0;
    std::string error;
    const auto run = [&] {
        for (int frame = 0; frame < count && status == 0; ++frame) {
            model.set(n_of(frame), o.m, o.r, o.type);
            status = draw_frame(frame_name(o.output, model.n), model, error);
            // Only what the computation counts shows the progress.
            model.pairs_done = 0;
            current = frame + 1;
        }
        return status == 0;
    };
    const std::string what = "drawing " + std::to_string(count) + " frames, n = " + std::to_string(o.first) +
                             " to " + std::to_string(o.last);
    return shown.step(what, run, share) ? 0 : fail(status, error);
}

}

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "quorvane-render: %s\n", message.c_str());
    return status;
}

int make_poster(const render_options& o)
{
    BITMAP* bmp = create_bitmap(o.w, o.h);
    if (!bmp)
        return fail(1, "not enough memory for a " + std::to_string(o.w) + "x" + std::to_string(o.h) + " bitmap");
    Cchryzode model(bmp);
    model.set(o.n, o.m, o.r, o.type);
    model.set_zoom(o.zoom);
    model.set_colors(color(o.fg1), color(o.fg2), color(o.bg));
    return o.frames ? frames(o, model) : one_picture(o, model);
}
