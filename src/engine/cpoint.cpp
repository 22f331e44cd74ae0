// The crossing of two lines, each given by two points, as the chords are intersected.
#include "cpoint.h"

Cpoint inter(const Cpoint& a, const Cpoint& b, const Cpoint& c, const Cpoint& d)
{
    const float a1 = a.y - b.y;
    const float b1 = b.x - a.x;
    const float c1 = a1 * a.x + b1 * a.y;
    const float a2 = c.y - d.y;
    const float b2 = d.x - c.x;
    const float c2 = a2 * c.x + b2 * c.y;
    const float det = a1 * b2 - a2 * b1;
    if (det == 0)
        return Cpoint(0, 0);
    return Cpoint((c1 * b2 - c2 * b1) / det, (a1 * c2 - a2 * c1) / det);
}
