// Reading the command line of quorvane-render into what to draw and where, or a usage error.
#include "options.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum long_only {
    opt_complete = 256, opt_stored, opt_on_the_fly, opt_zoom, opt_size, opt_fg1, opt_fg2, opt_bg, opt_format, opt_frames,
    opt_fps, opt_settings, opt_print_settings,
    opt_palette, opt_scale, opt_scale_max,
    opt_magnify, opt_center
};

const option long_options[] = {
    {"complete", no_argument, nullptr, opt_complete},
    {"stored", no_argument, nullptr, opt_stored},
    {"on-the-fly", no_argument, nullptr, opt_on_the_fly},
    {"zoom", required_argument, nullptr, opt_zoom},
    {"size", required_argument, nullptr, opt_size},
    {"fg1", required_argument, nullptr, opt_fg1},
    {"fg2", required_argument, nullptr, opt_fg2},
    {"bg", required_argument, nullptr, opt_bg},
    {"format", required_argument, nullptr, opt_format},
    {"frames", required_argument, nullptr, opt_frames},
    {"fps", required_argument, nullptr, opt_fps},
    {"settings", required_argument, nullptr, opt_settings},
    {"print-settings", no_argument, nullptr, opt_print_settings},
    {"palette", required_argument, nullptr, opt_palette},
    {"scale", required_argument, nullptr, opt_scale},
    {"scale-max", required_argument, nullptr, opt_scale_max},
    {"magnify", required_argument, nullptr, opt_magnify},
    {"center", required_argument, nullptr, opt_center},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The whole text as a decimal number from low to high: an optional sign and
// digits, nothing before or after.
bool parse_int(const std::string& text, long long low, long long high, int& value)
{
    const std::size_t digits = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (digits == text.size() || !std::isdigit(static_cast<unsigned char>(text[digits])))
        return false;
    errno = 0;
    char* end;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || *end != '\0' || v < low || v > high)
        return false;
    value = int(v);
    return true;
}

// Exactly values.size() numbers from low to high, separated by sep.
bool parse_ints(const std::string& text, char sep, long long low, long long high, std::vector<int*> values)
{
    std::size_t start = 0;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const bool last = k + 1 == values.size();
        const std::size_t end = last ? text.size() : text.find(sep, start);
        if (end == std::string::npos || !parse_int(text.substr(start, end - start), low, high, *values[k]))
            return false;
        start = end + 1;
    }
    return true;
}

[[noreturn]] void bad_value(const std::string& option, const std::string& allowed, const char* text)
{
    throw usage_error(option + ": expected " + allowed + ", got '" + text + "'");
}

std::string range(long long low, long long high)
{
    return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

void read_int(const char* option, const char* text, long long low, long long high, int& value)
{
    if (!parse_int(text, low, high, value))
        bad_value(option, range(low, high), text);
}

void read_multiplier(const char* text, double& n)
{
    if (!parse_multiplier(text, n))
        bad_value("-n", "a number such as 3 or 2.37, from -2147483647 to 2147483647", text);
}

void read_color(const char* option, const char* text, rgb& color)
{
    if (!parse_ints(text, ',', 0, 255, {&color.r, &color.g, &color.b}))
        bad_value(option, "R,G,B with each component " + range(0, 255), text);
}

// "a, b or c".
std::string one_of(const char* const* names, int count)
{
    std::string list = std::string("one of ") + names[0];
    for (int k = 1; k < count; ++k)
        list += (k + 1 < count ? ", " : " or ") + std::string(names[k]);
    return list;
}

void read_palette(const char* text, palette_kind& palette)
{
    if (!palette_of_name(text, palette))
        bad_value("--palette", one_of(palette_names, palette_kinds), text);
}

void read_scale(const char* text, scale_kind& scale)
{
    if (!scale_of_name(text, scale))
        bad_value("--scale", one_of(scale_names, scale_kinds), text);
}

void read_size(const char* text, render_options& o)
{
    if (!parse_ints(text, 'x', 1, max_side, {&o.w, &o.h}))
        bad_value("--size", "WxH with W and H each " + range(1, max_side), text);
}

void read_magnify(const char* text, figure_settings& f)
{
    double s;
    if (!parse_decimal(text, s) || !view_valid(s, 0, 0))
        bad_value("--magnify", "a number from 1 to 100000, such as 2.5", text);
    f.magnify = s;
}

void read_center(const char* text, figure_settings& f)
{
    const std::string centre = text;
    const std::size_t comma = centre.find(',');
    double x, y;
    if (comma == std::string::npos || !parse_decimal(centre.substr(0, comma), x) ||
        !parse_decimal(centre.substr(comma + 1), y) || !view_valid(1, x, y))
        bad_value("--center", "X,Y, two numbers such as 0.3,-0.25", text);
    f.cx = x;
    f.cy = y;
}

// The message for the option getopt_long stopped at (result c), named as
// the user typed it, without a value. It is the element at index before,
// unless getopt_long moved past it.
[[noreturn]] void bad_option(char** argv, int before, int c)
{
    const std::string element = argv[optind > before ? optind - 1 : optind];
    if (element.compare(0, 2, "--") != 0)
        throw usage_error(std::string("-") + char(optopt) +
                          (c == ':' ? ": missing value (see --help)" : ": unknown option (see --help)"));
    const std::string name = element.substr(0, element.find('='));
    if (c == ':')
        throw usage_error(name + ": missing value (see --help)");
    if (optopt != 0)
        throw usage_error(name + ": takes no value (see --help)");
    throw usage_error(name + ": unknown or ambiguous option (see --help)");
}

// The decimal text as a whole number of units of 10^-decimals, exactly;
// false past that many decimals. Its magnitude is within the int range.
bool to_units(const std::string& text, int decimals, long long& units)
{
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string fraction = point < text.size() ? text.substr(point + 1) : "";
    if (int(fraction.size()) > decimals)
        return false;
    const std::string digits = text.substr(0, point) + fraction + std::string(decimals - fraction.size(), '0');
    units = std::strtoll(digits.c_str(), nullptr, 10);
    return true;
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts(1);
    for (char c : text)
        if (c == sep)
            parts.emplace_back();
        else
            parts.back() += c;
    return parts;
}

// The decimals a whole number of units keeps exactly within the int range.
constexpr int max_decimals = 9;

void read_frames(const char* text, frame_range& range)
{
    const char* const allowed =
        "N1:N2 or N1:N2:STEP, numbers from -2147483647 to 2147483647 such as 2 or 2.37, "
        "with STEP > 0 when N1 < N2, STEP < 0 when N1 > N2, and at most 9 decimals";
    std::vector<std::string> parts = split(text, ':');
    const bool default_step = parts.size() == 2;
    if (default_step)
        parts.push_back("1");
    double values[3];
    long long units[3], unit = 1;
    for (int k = 0; k < 3 && parts.size() == 3; ++k)
        if (!parse_multiplier(parts[std::size_t(k)], values[k]) ||
            !to_units(parts[std::size_t(k)], max_decimals, units[k]))
            bad_value("--frames", allowed, text);
    // The step goes from N1 toward N2, either way; by default by 1.
    if (default_step && parts.size() == 3 && units[0] > units[1]) {
        values[2] = -values[2];
        units[2] = -units[2];
    }
    if (parts.size() != 3 || units[2] == 0 || (units[0] < units[1] && units[2] < 0) ||
        (units[0] > units[1] && units[2] > 0))
        bad_value("--frames", allowed, text);
    // In units of the finest decimal given, the frames are counted exactly.
    int decimals = max_decimals;
    while (decimals > 0 && units[0] % (unit * 10) == 0 && units[1] % (unit * 10) == 0 && units[2] % (unit * 10) == 0) {
        unit *= 10;
        --decimals;
    }
    const long long count = (units[1] - units[0]) / units[2] + 1;
    if (count > max_frames)
        throw usage_error("--frames: " + std::string(text) + " makes " + std::to_string(count) +
                          " frames, more than the " + std::to_string(max_frames) + " a run may draw");
    range = {values[0], values[2], count, decimals == 0};
}

// Whether a frame name pattern holds exactly one integer conversion, with
// at most a few digits of width and precision, and no other but "%%".
bool one_integer_conversion(const std::string& pattern)
{
    // Past at most three digits from k; npos past more.
    const auto digits = [&pattern](std::size_t k) {
        const std::size_t end = std::min(pattern.find_first_not_of("0123456789", k), pattern.size());
        return end - k > 3 ? std::string::npos : end;
    };
    int conversions = 0;
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        if (pattern[k] != '%')
            continue;
        if (++k < pattern.size() && pattern[k] == '%')
            continue;
        k = digits(std::min(pattern.find_first_not_of("-+ #0", k), pattern.size()));
        if (k < pattern.size() && pattern[k] == '.')
            k = digits(k + 1);
        if (k >= pattern.size() || !std::strchr("diouxX", pattern[k]))
            return false;
        ++conversions;
    }
    return conversions == 1;
}

// The mode options that were given, to find those that contradict each other.
struct given {
    bool root = false, complete = false, stored = false, on_the_fly = false, n = false, frames = false;
    bool scale_max = false;
    std::string format;
    bool fps = false, print_settings = false;
};

// --settings FILE: the picture that FILE describes, in place of every value
// given before it.
void read_settings_option(const char* path, render_options& o)
{
    picture_settings read;
    std::string why;
    if (!read_settings_file(path, read, why))
        throw usage_error(std::string("--settings: '") + path + "': " + why);
    o.figure = read.figure;
    o.w = read.width;
    o.h = read.height;
}

// -o naming a film: it is made of --frames, and its kind is its extension.
void check_film(const given& g, render_options& o)
{
    o.film = !o.to_stdout && film_of_name(o.output, o.film_format);
    if (o.film && !g.frames)
        throw usage_error("-o: a film (" + std::string(film_extensions) + ") is made of --frames N1:N2[:STEP]");
    if (g.fps && !o.film)
        throw usage_error(std::string("--fps: only for a film, -o with ") + film_extensions);
    if (o.film && !g.format.empty())
        throw usage_error("--format: a film's format is that of its extension");
}

void check_consistency(const given& g, render_options& o)
{
    if (g.root && g.complete)
        throw usage_error("-r: from-root mode, cannot be combined with --complete");
    if (g.stored && g.on_the_fly)
        throw usage_error("--stored: cannot be combined with --on-the-fly");
    // Only a whole multiplier has an orbit.
    const bool from_root_mode = o.figure.type & from_root;
    if (from_root_mode && !whole_multiplier(o.figure.n))
        throw usage_error("-n: " + multiplier_text(o.figure.n) + " has decimals, which only --complete draws");
    if (from_root_mode && g.frames && !o.range.whole)
        throw usage_error("--frames: multipliers with decimals are drawn only with --complete");
    if (g.scale_max && o.figure.scale != scale_kind::linear && o.figure.scale != scale_kind::log)
        throw usage_error("--scale-max: only --scale linear and --scale log have a largest count");
    if (g.print_settings && g.frames)
        throw usage_error("--print-settings: cannot be combined with --frames");
    if (g.print_settings)
        return;
    if (o.output.empty())
        throw usage_error("-o: the output file is required");
    check_film(g, o);
    o.frames = g.frames;
    if (o.film)
        return;
    if (g.n && g.frames)
        throw usage_error("-n: cannot be combined with --frames");
    if (g.frames && !one_integer_conversion(o.output))
        bad_value("-o", "for --frames, a name with one integer conversion, such as frame-%04d.png",
                  o.output.c_str());
    if (!o.to_stdout && !format_of_name(o.output, o.format))
        bad_value("-o", std::string("a name ending in ") + picture_extensions + ", or with no extension",
                  o.output.c_str());
    picture_format named;
    if (!g.format.empty() && !format_of_word(g.format, named))
        bad_value("--format", "bmp, pcx, tga or png", g.format.c_str());
    if (!g.format.empty() && !o.to_stdout && named != o.format)
        throw usage_error("--format: " + g.format + " differs from the format of '" + o.output + "'");
    if (!g.format.empty())
        o.format = named;
}

}

action parse_options(int argc, char** argv, render_options& o)
{
    given g;
    figure_settings& f = o.figure;
    opterr = 0;
    int c, before = optind;
    // "+": options come first; anything after them is an error, not a file.
    while ((c = getopt_long(argc, argv, "+:n:m:r:o:qhV", long_options, nullptr)) != -1) {
        switch (c) {
        case 'n':
            read_multiplier(optarg, f.n);
            g.n = true;
            break;
        case 'm': read_int("-m", optarg, 1, INT_MAX, f.m); break;
        case 'r':
            read_int("-r", optarg, INT_MIN, INT_MAX, f.r);
            f.type |= from_root;
            g.root = true;
            break;
        case opt_complete: f.type &= ~from_root; g.complete = true; break;
        case opt_stored: f.type &= ~on_the_fly; g.stored = true; break;
        case opt_on_the_fly: f.type |= on_the_fly; g.on_the_fly = true; break;
        case opt_zoom:
            read_int("--zoom", optarg, INT_MIN, INT_MAX, f.zoom);
            // A zoom of 0 shows no figure.
            if (f.zoom == 0)
                bad_value("--zoom", "a whole number other than 0", optarg);
            break;
        case opt_size: read_size(optarg, o); break;
        case opt_fg1: read_color("--fg1", optarg, f.fg1); break;
        case opt_fg2: read_color("--fg2", optarg, f.fg2); break;
        case opt_bg: read_color("--bg", optarg, f.bg); break;
        case opt_format: g.format = optarg; break;
        case opt_magnify: read_magnify(optarg, f); break;
        case opt_center: read_center(optarg, f); break;
        case opt_frames:
            read_frames(optarg, o.range);
            g.frames = true;
            break;
        case opt_palette: read_palette(optarg, f.palette); break;
        case opt_scale: read_scale(optarg, f.scale); break;
        case opt_scale_max:
            read_int("--scale-max", optarg, 1, INT_MAX, f.scale_max);
            g.scale_max = true;
            break;
        case 'o':
            if (!*optarg)
                throw usage_error("-o: expected a file name, got ''");
            o.output = optarg;
            o.to_stdout = o.output == "-";
            break;
        case opt_fps:
            read_int("--fps", optarg, 1, max_fps, o.fps);
            g.fps = true;
            break;
        case opt_settings: read_settings_option(optarg, o); break;
        case opt_print_settings: g.print_settings = true; break;
        case 'q': o.quiet = true; break;
        case 'h': return action::help;
        case 'V': return action::version;
        default: bad_option(argv, before, c);
        }
        before = optind;
    }
    if (optind < argc)
        throw usage_error(std::string("unexpected argument '") + argv[optind] + "' (see --help)");
    check_consistency(g, o);
    return g.print_settings ? action::print_settings : action::render;
}

double frame_range::n_of(long long frame) const
{
    return multiplier_after(first, step, frame);
}

std::string frame_range::name_of(const std::string& pattern, long long frame) const
{
    // A whole n is within the int range, and so is a frame's number.
    const int number = whole ? int(n_of(frame)) : int(frame);
    const int length = std::snprintf(nullptr, 0, pattern.c_str(), number);
    std::string name(std::size_t(std::max(length, 0)) + 1, '\0');
    std::snprintf(&name[0], name.size(), pattern.c_str(), number);
    name.pop_back();
    return name;
}

void print_help(std::FILE* out)
{
    const render_options d;
    const figure_settings& f = d.figure;
    const auto color = [](const rgb& c) {
        return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
    };
    std::fprintf(out,
                 "Usage: quorvane-render [OPTION]... -o FILE\n"
                 "  or:  quorvane-render [OPTION]... --print-settings\n"
                 "Draws a multiplication chryzode into a picture file, or a film of them,\n"
                 "without a display.\n"
                 "\n"
                 "      --settings FILE  start from the picture that FILE describes: a PNG\n"
                 "                    written by Quorvane, or a settings file; the options\n"
                 "                    after it change it. A missing file, a PNG without\n"
                 "                    settings or a bad key is refused with status 2\n"
                 "      --print-settings  write the settings of the options given, as a\n"
                 "                    settings file, on standard output; draw nothing\n"
                 "  -n N              multiplier, whole or with decimals (such as 2.37, only\n"
                 "                    with --complete) (default %s)\n"
                 "  -m M              modulus: the number of points on the circle, at least 1\n"
                 "                    (default %d)\n"
                 "  -r R              from-root mode, along the orbit of R mod M\n"
                 "                    (the default mode, with R = %d)\n"
                 "      --complete    complete mode: a chord from every point k to k*N mod M\n"
                 "      --on-the-fly  count the crossings as they are computed (the default)\n"
                 "      --stored      keep every crossing (8 bytes each), then count them:\n"
                 "                    the same picture with more memory\n"
                 "      --zoom Z      reduction factor: the circle is H/Z pixels across\n"
                 "                    (default %d)\n"
                 "      --size WxH    picture size in pixels, W and H from 1 to %d\n"
                 "                    (default %dx%d)\n"
                 "      --magnify S   magnify the view S times, S from 1 to %g (default 1)\n"
                 "      --center X,Y  centre of the view, in the circle's coordinates: the\n"
                 "                    circle of radius 1 about 0,0, Y downward (default 0,0)\n"
                 "      --fg1 R,G,B   colour of a pixel one crossing falls on (default %s)\n"
                 "      --fg2 R,G,B   colour that many crossings move toward (default %s)\n"
                 "      --bg R,G,B    background colour (default %s)\n"
                 "      --palette P   the colours counts go through: ramp (from --fg1 to\n"
                 "                    --fg2), viridis, magma, inferno or plasma (default %s)\n"
                 "      --scale S     how a count finds its colour: sqrt (by one over its\n"
                 "                    square root), linear, log or eq_hist (histogram\n"
                 "                    equalisation: each colour on as many pixels) (default %s)\n"
                 "      --scale-max N\n"
                 "                    the count at which linear and log reach the end of the\n"
                 "                    palette, the same from frame to frame (default: the\n"
                 "                    picture's largest)\n"
                 "  -o FILE           the picture file to write (required), in the format of\n"
                 "                    its extension: .bmp, .pcx, .tga or .png (none: BMP); a\n"
                 "                    file the user may not write is refused; - writes to\n"
                 "                    standard output\n"
                 "      --format F    format of the picture on standard output: bmp, pcx, tga\n"
                 "                    or png (default bmp)\n"
                 "      --frames N1:N2[:STEP]\n"
                 "                    one picture for each n from N1 to N2 (by STEP, negative\n"
                 "                    when N1 > N2; by 1 or -1 when not given; at most\n"
                 "                    %lld frames), FILE a\n"
                 "                    pattern with one integer conversion, such as\n"
                 "                    frame-%%04d.png: it takes n when every n is whole, else\n"
                 "                    the frame's number from 0; or FILE a film, .mp4, .webm\n"
                 "                    or .gif, made by ffmpeg, which must be on PATH\n"
                 "      --fps F       frames a second of a film, from 1 to %d (default %d)\n"
                 "  -q, --quiet       no progress on standard error (shown only on a terminal)\n"
                 "  -h, --help        show this help and exit\n"
                 "  -V, --version     show the version and exit\n"
                 "\n"
                 "Exit status: 0 when FILE was written completely, 1 when the picture could\n"
                 "not be made or written (frames already written are kept; a film is\n"
                 "written whole or not at all), 2 on bad input.\n",
                 multiplier_text(f.n).c_str(), f.m, f.r, f.zoom, max_side, d.w, d.h, max_magnify, color(f.fg1).c_str(),
                 color(f.fg2).c_str(), color(f.bg).c_str(), name_of(f.palette), name_of(f.scale), max_frames, max_fps, d.fps);
}
