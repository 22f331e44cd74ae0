// The figure's settings: names, texts and the numbers they are read from.
#include "settings.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "chryzode.h"

namespace {

// Digits after the point in n's shortest exact fixed form.
int decimals(double n)
{
    char text[400];
    const char* const end = std::to_chars(text, text + sizeof text, n, std::chars_format::fixed).ptr;
    for (const char* p = text; p < end; ++p)
        if (*p == '.')
            return int(end - p - 1);
    return 0;
}

int colour(int depth, const rgb& c) { return makecol_depth(depth, c.r, c.g, c.b); }

}

const char* const palette_names[palette_kinds] = {"ramp", "viridis", "magma", "inferno", "plasma"};
const char* const scale_names[scale_kinds] = {"sqrt", "linear", "log", "eq_hist"};

const char* name_of(palette_kind palette) { return palette_names[int(palette)]; }
const char* name_of(scale_kind scale) { return scale_names[int(scale)]; }

bool palette_of_name(const std::string& name, palette_kind& palette)
{
    for (int k = 0; k < palette_kinds; ++k)
        if (name == palette_names[k]) {
            palette = palette_kind(k);
            return true;
        }
    return false;
}

bool scale_of_name(const std::string& name, scale_kind& scale)
{
    for (int k = 0; k < scale_kinds; ++k)
        if (name == scale_names[k]) {
            scale = scale_kind(k);
            return true;
        }
    return false;
}

bool same_counts(const figure_settings& a, const figure_settings& b)
{
    return a.n == b.n && a.m == b.m && a.type == b.type && (!(a.type & from_root) || a.r == b.r) &&
           a.zoom == b.zoom && a.magnify == b.magnify && a.cx == b.cx && a.cy == b.cy;
}

void set_parameters(Cchryzode& model, const figure_settings& f)
{
    model.set(f.n, f.m, f.r, f.type);
    model.set_zoom(f.zoom);
    model.set_view(f.magnify, f.cx, f.cy);
}

void set_figure(Cchryzode& model, const figure_settings& f)
{
    set_parameters(model, f);
    const int depth = bitmap_color_depth(model.bmp);
    model.set_colors(colour(depth, f.fg1), colour(depth, f.fg2), colour(depth, f.bg));
    model.set_colour_map(f.palette, f.scale, f.scale_max);
}

bool view_valid(double magnify, double cx, double cy)
{
    const auto in_float_range = [](double v) { return std::fabs(v) <= double(FLT_MAX); };
    return magnify >= min_magnify && magnify <= max_magnify && in_float_range(cx) && in_float_range(cy);
}

std::string view_text(double magnify, double cx, double cy)
{
    if (magnify == 1 && cx == 0 && cy == 0)
        return "";
    // Fixed notation, as a decimal field reads it back; + 0.0 turns -0 into 0.
    const auto text = [](double v) {
        char digits[400];
        return std::string(digits, std::to_chars(digits, digits + sizeof digits, v + 0.0, std::chars_format::fixed).ptr);
    };
    return "; x" + text(magnify) + " at (" + text(cx) + ", " + text(cy) + ")";
}

void write_status(char* text, int size, double n, int m, int r, int type, int zoom)
{
    const std::string multiplier = multiplier_text(n);
    if (type & from_root)
        uszprintf(text, size, "Multiplication chryzode of n=%s in m=%d, from root r=%d ; zoom 1:%d",
                  multiplier.c_str(), m, r, zoom);
    else
        uszprintf(text, size, "Complete multiplication chryzode of n=%s in m=%d ; zoom 1:%d", multiplier.c_str(), m,
                  zoom);
}

bool multiplier_in_range(double n) { return std::fabs(n) <= double(INT_MAX); }

bool whole_multiplier(double n) { return multiplier_in_range(n) && n == std::trunc(n); }

std::string multiplier_text(double n)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, n + 0.0).ptr);
}

bool parse_decimal(const std::string& text, double& value)
{
    std::size_t k = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    int digits = 0, points = 0;
    for (std::size_t i = k; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            ++digits;
        else if (text[i] == '.')
            ++points;
        else
            return false;
    }
    if (digits == 0 || points > 1)
        return false;
    value = std::strtod(text.c_str(), nullptr);
    return true;
}

bool parse_multiplier(const std::string& text, double& n)
{
    double value;
    if (!parse_decimal(text, value) || !multiplier_in_range(value))
        return false;
    n = value;
    return true;
}

double multiplier_after(double start, double step, long long steps)
{
    // Past 15 significant digits a double holds no more decimals.
    const int places = std::min(15, std::max(decimals(start), decimals(step)));
    const double exact = start + double(steps) * step;
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", places, exact);
    return std::strtod(text, nullptr);
}

std::string duration_text(double seconds)
{
    char text[32];
    const double minutes = std::round(seconds / 60);
    if (!(seconds >= 0))
        return "?";
    if (seconds < 99.95)
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    else if (minutes < 120)
        std::snprintf(text, sizeof text, "%d min %02d s", int(seconds + 0.5) / 60, int(seconds + 0.5) % 60);
    else if (minutes < 48 * 60)
        std::snprintf(text, sizeof text, "%d h %02d min", int(minutes) / 60, int(minutes) % 60);
    else
        std::snprintf(text, sizeof text, "%.0f days", std::round(minutes / (24 * 60)));
    return text;
}
