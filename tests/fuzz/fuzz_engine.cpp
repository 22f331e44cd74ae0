// Fuzz target over the engine's inputs, as raw bytes: parameters, modes,
// zoom, colours and bitmap size. Moduli stay small so that each run is quick;
// large values still reach every residue and every size computation.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "chryzode.h"
#include "memory.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        std::abort();
    set_color_depth(32);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int v[10] = {};
    std::memcpy(v, data, size < sizeof v ? size : sizeof v);
    const int m = v[1] % 600, w = 1 + (v[5] & 255), h = 1 + (v[6] & 255);
    Cchryzode model(create_bitmap(w, h));
    // Bit 4 of v[3] asks for a multiplier with decimals, bit 8 for one far
    // past the int range.
    model.set(((v[3] & 4) ? v[0] / 7.0 : v[0]) * ((v[3] & 8) ? 1e12 : 1), m, v[2], v[3] & 3);
    model.set_zoom(v[4]);
    model.set_colors(v[7], v[8], v[9]);
    char text[128];
    model.status(text);
    const std::int64_t chords = model.planned_chords();
    std::int64_t sum = 0;
    if (model.calcul_bytes() > available_memory())
        return 0;
    if (std::strlen(text) >= config::status_size || chords < 0 || chords > (m > 0 ? m : 0) || !model.calcul() ||
        model.count != (m < 1 ? 0 : chords + 1))
        std::abort();
    for (int x = 0; model.hits && x < w; ++x)
        for (int y = 0; y < h; ++y)
            sum += model.hits.get()[x][y] >= 0 ? model.hits.get()[x][y] : INT64_MAX / 2;
    // A second rendering (the stored list survives it) must be just as sound.
    if (sum > model.pairs() || !model.render() || !model.rerender())
        std::abort();
    return 0;
}
