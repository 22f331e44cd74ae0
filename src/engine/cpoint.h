// Plane geometry beneath the chryzode: a point in unit-circle coordinates and
// the intersection of two lines.
#pragma once

struct Cpoint {
    float x;
    float y;
    Cpoint(float x = 0, float y = 0) : x(x), y(y) {}
};

// Intersection of the line through a and b with the line through c and d.
// Parallel or coincident lines, and a line given by two equal points, give
// the centre (0, 0). All arithmetic is single precision, rounded at each step.
Cpoint inter(const Cpoint& a, const Cpoint& b, const Cpoint& c, const Cpoint& d);
