// One picture, or a run of frames, from the options into files, with the progress shown.
#include "poster.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "chryzode.h"
#include "film.h"
#include "memory.h"
#include "picture_file.h"
#include "progress.h"

namespace {

using clock = std::chrono::steady_clock;

std::string megabytes(std::uint64_t bytes)
{
    const std::uint64_t mb = 1024 * 1024;
    return std::to_string(bytes / mb + (bytes % mb != 0)) + " MB";
}

std::string size_text(int w, int h)
{
    return std::to_string(w) + "x" + std::to_string(h);
}

// Bytes of a bitmap of 32-bit pixels.
std::uint64_t bitmap_bytes(int w, int h)
{
    return std::uint64_t(h) * (std::uint64_t(w) * sizeof(std::uint32_t) + sizeof(void*));
}

// Empty when need fits in the memory available, else why not.
std::string memory_refusal(std::uint64_t need, int w, int h)
{
    const std::uint64_t available = available_memory();
    if (need <= available)
        return "";
    return "not enough memory: a " + size_text(w, h) + " picture of this figure needs " + megabytes(need) + ", and " +
           megabytes(available) + " are available";
}

// What the figure and its file need at their peak: the bitmap, what the
// computation and the drawing hold, and a picture written in place.
std::string figure_refusal(const Cchryzode& model, const picture_file& out)
{
    const BITMAP* bmp = model.bmp;
    const std::uint64_t need = saturating_add(saturating_add(bitmap_bytes(bmp->w, bmp->h), model.calcul_bytes()),
                                              out.commit_bytes(bmp));
    return memory_refusal(need, bmp->w, bmp->h);
}

std::string cannot_write(const std::string& path, const std::string& why)
{
    return "cannot write '" + path + "': " + why;
}

// The seconds of a computation of the complete figure of m points with the
// model's multiplier, mode, zoom and size; 0 when it cannot be had.
double probe_seconds(Cchryzode& model, int m)
{
    model.set(model.n, m, model.r, model.type & ~from_root);
    const clock::time_point start = clock::now();
    return model.calcul() ? std::chrono::duration<double>(clock::now() - start).count() : 0;
}

// The complete figure of about this many pairs.
int points_for(double pairs)
{
    return int(std::sqrt(2 * pairs)) + 2;
}

// The seconds that this machine takes for a figure of this many pairs like
// the model's, from two smaller ones of the same kind, where the zoom
// spreads the crossings alike: what the larger adds to the smaller is the
// cost of its pairs, the rest the cost of the bitmap's size, on as many
// threads. The rate grows with the figure up to about a billion pairs, so
// the larger is as large as a tenth of a second allows, a twentieth of the
// figure at most. The model is left set to it.
double estimated_seconds(Cchryzode& model, double pairs)
{
    // Stored, every pair takes 8 bytes.
    const double probe_pairs = std::min(pairs / 20, (model.type & on_the_fly) ? 2e8 : 1e7);
    const double small = probe_seconds(model, points_for(probe_pairs / 10));
    const double small_pairs = double(model.planned_pairs());
    const double large = probe_seconds(model, points_for(probe_pairs));
    if (small <= 0 || large <= 0)
        return 0;
    const double per_pair = std::max(large - small, large / 10) / (double(model.planned_pairs()) - small_pairs);
    return small + (pairs - small_pairs) * per_pair;
}

// Before a figure of this many pairs that will take more than a few
// seconds, its estimated time; the progress corrects it by the rate measured
// as it goes.
void announce_time(progress& shown, Cchryzode& model, double pairs)
{
    // Below this many pairs, no machine takes seconds; above this many
    // pixels, the bitmap alone makes each trial figure cost seconds.
    if (pairs < 5e8 || double(model.bmp->w) * model.bmp->h > 4096.0 * 4096)
        return;
    const double n = model.n;
    const int m = model.m, r = model.r, type = model.type;
    const double seconds = estimated_seconds(model, pairs);
    model.set(n, m, r, type);
    model.pairs_done = 0;
    if (seconds > 5)
        shown.note("estimated time: about " + duration_text(seconds));
}

// The picture written to standard output, which is no file to put in place.
bool write_to_stdout(const render_options& o, BITMAP* bmp, std::string& error)
{
    const int failure = write_picture(STDOUT_FILENO, bmp, o.format, settings_text({o.figure, o.w, o.h}));
    if (failure)
        error = cannot_write("standard output", std::strerror(failure));
    return !failure;
}

int one_picture(const render_options& o, Cchryzode& model)
{
    picture_file out;
    std::string error;
    if (!o.to_stdout && !out.open(o.output, error))
        return fail(1, cannot_write(o.output, error));
    error = figure_refusal(model, out);
    if (!error.empty())
        return fail(1, error);

    progress shown(!o.quiet && isatty(STDERR_FILENO));
    const std::int64_t pairs = model.planned_pairs();
    if (shown.shown()) {
        char description[config::status_size];
        model.status(description);
        shown.note(std::string(description) + ", " + size_text(o.w, o.h) + " pixels");
        announce_time(shown, model, double(pairs));
    }
    const auto share = [&model, pairs] { return pairs ? double(model.pairs_done.load()) / double(pairs) : 1.0; };
    if (!shown.step("computing " + std::to_string(pairs) + " pairs", [&] { return model.calcul(); }, share))
        return fail(1, "not enough memory to compute this figure");
    if (!shown.step("drawing the picture", [&] { return model.render(); }))
        return fail(1, "not enough memory to draw this figure");
    const auto write = [&] {
        if (o.to_stdout)
            return write_to_stdout(o, model.bmp, error);
        if (out.commit(model.bmp, settings_text({o.figure, o.w, o.h}), error))
            return true;
        error = cannot_write(out.target(), error);
        return false;
    };
    return shown.step("writing " + (o.to_stdout ? "standard output" : out.target()), write) ? 0 : fail(1, error);
}

// The picture of the model's figure, drawn from settings, into the file
// name: empty, or why not.
std::string draw_frame(const std::string& name, Cchryzode& model, const std::string& settings)
{
    picture_file out;
    std::string why;
    if (!out.open(name, why))
        return cannot_write(name, why);
    why = figure_refusal(model, out);
    if (!why.empty())
        return why;
    if (!model.calcul() || !model.render())
        return "not enough memory for the figure of n = " + multiplier_text(model.n);
    return out.commit(model.bmp, settings, why) ? "" : cannot_write(out.target(), why);
}

// The model's figure as the next frame of the film: empty, or why not.
std::string film_frame(film& movie, Cchryzode& model, const std::string& name)
{
    std::string why = figure_refusal(model, picture_file());
    if (!why.empty())
        return why;
    if (!model.calcul() || !model.render())
        return "not enough memory for the figure of n = " + multiplier_text(model.n);
    return movie.add(model.bmp, why) ? "" : cannot_write(name, why);
}

// One picture per n, on one model and one bitmap: only what depends on n is
// made again. Progress counts the pairs of the whole run.
int frames(const render_options& o, Cchryzode& model)
{
    const frame_range& range = o.range;
    const figure_settings& f = o.figure;
    std::string error;
    film movie;
    if (o.film && !movie.open(o.output, o.film_format, o.w, o.h, o.fps, f.bg, error))
        return fail(1, o.output + ": " + error);
    // The first figure's memory is known before any orbit is walked.
    model.set(range.n_of(0), f.m, f.r, f.type);
    error = figure_refusal(model, picture_file());
    if (!error.empty())
        return fail(1, error);
    double total = 0;
    for (long long frame = 0; frame < range.count; ++frame) {
        model.set(range.n_of(frame), f.m, f.r, f.type);
        total += double(model.planned_pairs());
    }

    progress shown(!o.quiet && isatty(STDERR_FILENO));
    if (shown.shown()) {
        model.set(range.n_of(0), f.m, f.r, f.type);
        announce_time(shown, model, total);
    }
    std::atomic<double> before{0};   // pairs of the frames done
    const auto share = [&] { return total > 0 ? (before.load() + double(model.pairs_done.load())) / total : 1.0; };
    const auto run = [&] {
        for (long long frame = 0; frame < range.count && error.empty(); ++frame) {
            figure_settings drawn = f;
            drawn.n = range.n_of(frame);
            model.set(drawn.n, f.m, f.r, f.type);
            error = o.film ? film_frame(movie, model, o.output)
                           : draw_frame(range.name_of(o.output, frame), model, settings_text({drawn, o.w, o.h}));
            // Only what the computation counts shows the progress.
            before = before + double(model.pairs());
            model.pairs_done = 0;
        }
        return error.empty();
    };
    const std::string what = "drawing " + std::to_string(range.count) + " frames, n = " +
                             multiplier_text(range.n_of(0)) + " to " + multiplier_text(range.n_of(range.count - 1));
    if (!shown.step(what, run, share))
        return fail(1, error);
    if (o.film && !shown.step("making " + o.output, [&] { return movie.finish(error); }))
        return fail(1, cannot_write(o.output, error));
    return 0;
}

}

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "quorvane-render: %s\n", message.c_str());
    return status;
}

int make_poster(const render_options& o)
{
    // The bitmap alone may be more than the machine has.
    const std::string error = memory_refusal(bitmap_bytes(o.w, o.h), o.w, o.h);
    if (!error.empty())
        return fail(1, error);
    BITMAP* bmp = create_bitmap(o.w, o.h);
    if (!bmp)
        return fail(1, "not enough memory for a " + size_text(o.w, o.h) + " bitmap");
    Cchryzode model(bmp);
    set_figure(model, o.figure);
    return o.frames ? frames(o, model) : one_picture(o, model);
}
