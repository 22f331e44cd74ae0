// What a figure is drawn from: its parameters, its zoom and its colours, with
// the values both programs start with, and the text of a multiplier.
#pragma once

#include <string>

#include "config.h"

class Cchryzode;

// Bits of Cchryzode::type.
constexpr int from_root = 1;   // chords follow the orbit of r; clear: complete
constexpr int on_the_fly = 2;  // calcul counts into hits; clear: stored list

struct rgb {
    int r, g, b;
};

inline bool operator==(const rgb& a, const rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// How a count of crossings becomes a colour: a palette, and a scale that
// turns the count into a place along it.
enum class palette_kind { ramp, viridis, magma, inferno, plasma };
enum class scale_kind { sqrt, linear, log, eq_hist };
constexpr int palette_kinds = 5, scale_kinds = 4;
// Their names, in the order of the enums: "ramp", "viridis", ...; "sqrt", ...
extern const char* const palette_names[palette_kinds];
extern const char* const scale_names[scale_kinds];
const char* name_of(palette_kind palette);
const char* name_of(scale_kind scale);
// False for a name that is none of them.
bool palette_of_name(const std::string& name, palette_kind& palette);
bool scale_of_name(const std::string& name, scale_kind& scale);

// Everything a picture is drawn from but its size. Both programs start on
// these values.
struct figure_settings {
    double n = config::n;
    int m = config::m;
    int r = config::r;
    int type = from_root | on_the_fly;
    int zoom = config::zoom;
    rgb fg1{config::fg1[0], config::fg1[1], config::fg1[2]};
    rgb fg2{config::fg2[0], config::fg2[1], config::fg2[2]};
    rgb bg{config::bg[0], config::bg[1], config::bg[2]};
    // The view: magnified `magnify` times about (cx, cy), in the crossings'
    // own coordinates (the unit circle, y downward).
    double magnify = 1, cx = 0, cy = 0;
    palette_kind palette = palette_kind::ramp;
    scale_kind scale = scale_kind::sqrt;
    int scale_max = 0;   // the largest count of linear and log; 0: the picture's own
};

// The picture size both programs start with.
constexpr int default_width = config::width, default_height = config::height;

// Whether two figures have the same counts: they differ at most in colours.
bool same_counts(const figure_settings& a, const figure_settings& b);

// Gives the model the figure's parameters, zoom and view: what its counts
// depend on.
void set_parameters(Cchryzode& model, const figure_settings& figure);
// Gives the model the figure's parameters, zoom, view, colours and colour
// map.
void set_figure(Cchryzode& model, const figure_settings& figure);

// The magnifications a view may have: past the largest, the crossings'
// single-precision coordinates are coarser than a pixel.
constexpr double min_magnify = 1, max_magnify = 100000;
// Whether a view can be drawn: min_magnify <= magnify <= max_magnify, and a
// centre of two finite numbers within single precision's range.
bool view_valid(double magnify, double cx, double cy);
// The view as the status line adds it to the figure's text: "" at
// magnification 1 about (0, 0), else "; x2.44140625 at (0.30078125,
// -0.1953125)", each number in its shortest exact form, never -0.
std::string view_text(double magnify, double cx, double cy);

// The one-line description of a figure, as the status line shows it.
void write_status(char* text, int size, double n, int m, int r, int type, int zoom);

// The one range of multipliers that both programs take: a magnitude within
// the int range. (The engine draws any finite n, as its residue mod m.)
bool multiplier_in_range(double n);
// Whether n is a whole multiplier of that range: only such a multiplier is
// taken from a root, where it has an orbit.
bool whole_multiplier(double n);
// n in its shortest exact form: "2", "-7", "2.37"; "0" for -0.
std::string multiplier_text(double n);
// Reads a decimal number: an optional sign, digits and at most one decimal
// point with digits on at least one side, nothing else. False for anything
// else.
bool parse_decimal(const std::string& text, double& value);
// Reads a multiplier: a decimal number in the multipliers' range.
bool parse_multiplier(const std::string& text, double& n);
// start + steps * step, rounded to the decimal places of start and step, so
// that 2 + 37 steps of 0.01 give exactly the double nearest 2.37 rather than
// an accumulated error.
double multiplier_after(double start, double step, long long steps);

// A time for a person: "4.2 s", "3 min 07 s", "2 h 05 min", "3 days".
std::string duration_text(double seconds);
