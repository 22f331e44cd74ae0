// Plane geometry beneath the chryzode: a point in unit-circle coordinates and
// the intersection of two lines.
#pragma once

// Default-constructed, a point is left unset: a list of a billion
// intersections is written once, by the loops that compute it, not zeroed
// first. Cpoint() or Cpoint{} is the centre.
struct Cpoint {
    float x;
    float y;
    Cpoint() = default;
    Cpoint(float x, float y) : x(x), y(y) {}
};

// Intersection of the line through a and b with the line through c and d.
// Parallel or coincident lines, and a line given by two equal points, give
// the centre (0, 0). All arithmetic is single precision, rounded at each step.
Cpoint inter(const Cpoint& a, const Cpoint& b, const Cpoint& c, const Cpoint& d);
