// The one mapping from unit-circle coordinates to bitmap pixels, used by the
// computation (on-the-fly counting) and by the rendering (stored points).
#pragma once

#include <cstdint>

#include "cpoint.h"

struct pixel_map {
    int w, h;           // bitmap size
    float cx, cy;       // float(w / 2), float(h / 2)
    float scale;        // float(double(h) * magnify): both axes scale by the height
    float divisor;      // float(2 * zoom), formed in 64 bits so no zoom overflows
    float ox, oy;       // the view's centre, float(X) and float(Y)

    // The view magnified `magnify` times about (X, Y). At magnify 1 about
    // (0, 0) the mapping is the plain one to the bit: scale is float(h), and
    // p.x - 0.0f is p.x itself, -0 included.
    pixel_map(int w, int h, int zoom, double magnify = 1, double X = 0, double Y = 0)
        : w(w), h(h), cx(float(w / 2)), cy(float(h / 2)), scale(float(double(h) * magnify)),
          divisor(float(2 * std::int64_t(zoom))), ox(float(X)), oy(float(Y))
    {
    }

    // Pixel of p, truncated toward zero; false when it lies outside the
    // bitmap. The bounds are tested on the float: trunc(f) >= 0 exactly when
    // f > -1, and trunc(f) < w exactly when f < w, and a NaN fails both, so
    // no value outside the int range is ever converted.
    bool to_pixel(Cpoint p, int& X, int& Y) const
    {
        const float fx = cx + (scale * (p.x - ox)) / divisor;
        const float fy = cy + (scale * (p.y - oy)) / divisor;
        if (!(fx > -1.0f && fx < float(w) && fy > -1.0f && fy < float(h)))
            return false;
        X = int(fx);
        Y = int(fy);
        return true;
    }
};
