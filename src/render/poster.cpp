#include "poster.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>

#include "memory.h"
#include "output.h"
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

// Bytes the picture needs at its peak: the bitmap, and what the computation
// and the drawing hold.
std::uint64_t picture_bytes(const Cchryzode& model)
{
    const std::uint64_t w = std::uint64_t(model.bmp->w), h = std::uint64_t(model.bmp->h);
    const std::uint64_t bitmap = h * (w * sizeof(std::uint32_t) + sizeof(void*));
    return saturating_add(bitmap, model.calcul_bytes());
}

}

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "quorvane-render: %s\n", message.c_str());
    return status;
}

int make_poster(const render_options& o)
{
    // A path that cannot be written is bad input, known before any work.
    std::optional<output_file> out;
    try {
        out.emplace(o.output);
    } catch (const usage_error& e) {
        return fail(2, e.what());
    }
    const std::uint64_t available = available_memory();
    BITMAP* bmp = create_bitmap(o.w, o.h);
    if (!bmp)
        return fail(1, "not enough memory for a " + std::to_string(o.w) + "x" + std::to_string(o.h) + " bitmap");
    Cchryzode model(bmp);
    model.set(o.n, o.m, o.r, o.type);
    model.set_zoom(o.zoom);
    model.set_colors(color(o.fg1), color(o.fg2), color(o.bg));
    const std::uint64_t need = picture_bytes(model);
    if (need > available)
        return fail(1, "not enough memory: a " + size_text(bmp) + " picture of this figure needs " +
                           megabytes(need) + ", and " + megabytes(available) + " are available");

    progress shown(!o.quiet && isatty(STDERR_FILENO));
    if (shown.shown()) {
        char description[104];
        model.status(description);
        shown.note(std::string(description) + ", " + size_text(bmp) + " pixels");
    }
    const std::int64_t pairs = model.planned_pairs();
    const auto share = [&model, pairs] { return pairs ? double(model.pairs_done.load()) / double(pairs) : 1.0; };
    if (!shown.step("computing " + std::to_string(pairs) + " pairs", [&] { return model.calcul(); }, share))
        return fail(1, "not enough memory to compute this figure");
    if (!shown.step("drawing the picture", [&] { return model.render(); }))
        return fail(1, "not enough memory to draw this figure");
    std::string error;
    if (!shown.step("writing " + out->path(), [&] { return out->commit(bmp, error); }))
        return fail(1, error);
    return 0;
}
