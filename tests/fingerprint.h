// A picture's pixels in one number, FNV-1a over them.
#pragma once

#include <allegro.h>
#include <cstdint>

inline std::uint64_t fingerprint(BITMAP* b)
{
    std::uint64_t h = 14695981039346656037ull;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x)
            h = (h ^ std::uint32_t(getpixel(b, x, y))) * 1099511628211ull;
    return h;
}
