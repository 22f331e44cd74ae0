// Fuzz target over the engine's inputs: parameters, modes, zoom, colours and
// bitmap size, as raw bytes. Moduli are kept small so that each run is quick;
// large values still reach every residue and every size computation.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "chryzode.h"
#include "memory.h"

namespace {

struct reader {
    const std::uint8_t* data;
    std::size_t size;
    int next()
    {
        std::uint32_t v = 0;
        const std::size_t k = size < 4 ? size : 4;
        std::memcpy(&v, data, k);
        data += k;
        size -= k;
        return int(v);
    }
};

void check(bool ok)
{
    if (!ok)
        std::abort();
}

}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        std::abort();
    set_color_depth(32);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    reader in{data, size};
    const int n = in.next(), m_raw = in.next(), r = in.next(), type = in.next() & 3;
    const int zoom = in.next(), w = 1 + (in.next() & 255), h = 1 + (in.next() & 255);
    const int fg1 = in.next(), fg2 = in.next(), bg = in.next();
    const int m = m_raw % 600;   // the pair loop is quadratic in m

    Cchryzode model(create_bitmap(w, h));
    model.set(n, m, r, type);
    model.set_zoom(zoom);
    model.set_colors(fg1, fg2, bg);
    char text[128];
    model.status(text);
    check(std::strlen(text) < 104);
    const int chords = model.planned_chords();
    check(chords >= 0 && chords <= (m > 0 ? m : 0));
    if (model.calcul_bytes() > available_memory())
        return 0;
    check(model.calcul());
    check(model.count == (m < 1 ? 0 : chords + 1));
    if (type & on_the_fly) {
        std::int64_t sum = 0;
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y) {
                check(model.hits[x][y] >= 0);
                sum += model.hits[x][y];
            }
        check(sum <= model.pairs());
    }
    check(model.render());
    check(model.hits == nullptr);
    // A second rendering (the stored list survives it) must be just as sound.
    check(model.rerender());
    return 0;
}
