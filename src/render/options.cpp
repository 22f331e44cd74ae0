#include "options.h"

#include <getopt.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum long_only {
    opt_complete = 256, opt_stored, opt_on_the_fly, opt_zoom, opt_size, opt_fg1, opt_fg2, opt_bg, opt_format, opt_frames
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

void read_color(const char* option, const char* text, rgb& color)
{
    if (!parse_ints(text, ',', 0, 255, {&color.r, &color.g, &color.b}))
        bad_value(option, "R,G,B with each component " + range(0, 255), text);
}

void read_size(const char* text, render_options& o)
{
    if (!parse_ints(text, 'x', 1, max_side, {&o.w, &o.h}))
        bad_value("--size", "WxH with W and H each " + range(1, max_side), text);
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

void read_frames(const char* text, render_options& o)
{
    const std::string t = text;
    const bool stepped = std::count(t.begin(), t.end(), ':') == 2;
    const bool read = stepped ? parse_ints(t, ':', INT_MIN, INT_MAX, {&o.first, &o.last, &o.step})
                              : parse_ints(t, ':', INT_MIN, INT_MAX, {&o.first, &o.last});
    if (!read || o.first > o.last || o.step < 1)
        bad_value("--frames", "N1:N2 or N1:N2:STEP, whole numbers with N1 <= N2 and STEP >= 1", text);
    o.frames = true;
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
    bool root = false, complete = false, stored = false, on_the_fly = false, n = false;
    std::string format;
};

void check_consistency(const given& g, render_options& o)
{
    if (g.root && g.complete)
        throw usage_error("-r: from-root mode, cannot be combined with --complete");
    if (g.stored && g.on_the_fly)
        throw usage_error("--stored: cannot be combined with --on-the-fly");
    if ((o.type & from_root) && !(o.r >= 0 && o.r < o.m))
        bad_value("-r", range(0, std::int64_t(o.m) - 1) + " (below -m)", std::to_string(o.r).c_str());
    if (o.output.empty())
        throw usage_error("-o: the output file is required");
    if (g.n && o.frames)
        throw usage_error("-n: cannot be combined with --frames");
    if (o.frames && !one_integer_conversion(o.output))
        bad_value("-o", "for --frames, a name with one integer conversion for n, such as frame-%04d.png",
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
    opterr = 0;
    int c, before = optind;
    // "+": options come first; anything after them is an error, not a file.
    while ((c = getopt_long(argc, argv, "+:n:m:r:o:qhV", long_options, nullptr)) != -1) {
        switch (c) {
        case 'n':
            read_int("-n", optarg, INT_MIN, INT_MAX, o.n);
            g.n = true;
            break;
        case 'm': read_int("-m", optarg, 1, INT_MAX, o.m); break;
        case 'r':
            read_int("-r", optarg, INT_MIN, INT_MAX, o.r);
            o.type |= from_root;
            g.root = true;
            break;
        case opt_complete: o.type &= ~from_root; g.complete = true; break;
        case opt_stored: o.type &= ~on_the_fly; g.stored = true; break;
        case opt_on_the_fly: o.type |= on_the_fly; g.on_the_fly = true; break;
        case opt_zoom:
            read_int("--zoom", optarg, INT_MIN, INT_MAX, o.zoom);
            // A zoom of 0 shows no figure.
            if (o.zoom == 0)
                bad_value("--zoom", "a whole number other than 0", optarg);
            break;
        case opt_size: read_size(optarg, o); break;
        case opt_fg1: read_color("--fg1", optarg, o.fg1); break;
        case opt_fg2: read_color("--fg2", optarg, o.fg2); break;
        case opt_bg: read_color("--bg", optarg, o.bg); break;
        case opt_format: g.format = optarg; break;
        case opt_frames: read_frames(optarg, o); break;
        case 'o':
            if (!*optarg)
                throw usage_error("-o: expected a file name, got ''");
            o.output = optarg;
            o.to_stdout = o.output == "-";
            break;
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
    return action::render;
}

std::string frame_name(const std::string& pattern, int n)
{
    const int length = std::snprintf(nullptr, 0, pattern.c_str(), n);
    std::string name(std::size_t(std::max(length, 0)) + 1, '\0');
    std::snprintf(&name[0], name.size(), pattern.c_str(), n);
    name.pop_back();
    return name;
}

void print_help(std::FILE* out)
{
    const render_options d;
    const auto color = [](const rgb& c) {
        return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
    };
    std::fprintf(out,
                 "Usage: quorvane-render [OPTION]... -o FILE\n"
                 "Draws a multiplication chryzode into a picture file, without a display.\n"
                 "\n"
                 "  -n N              multiplier (default %d)\n"
                 "  -m M              modulus: the number of points on the circle, at least 1\n"
                 "                    (default %d)\n"
                 "  -r R              from-root mode, along the orbit of R, from 0 to M-1\n"
                 "                    (the default mode, with R = %d)\n"
                 "      --complete    complete mode: a chord from every point k to k*N mod M\n"
                 "      --on-the-fly  count the crossings as they are computed (the default)\n"
                 "      --stored      keep every crossing (8 bytes each), then count them:\n"
                 "                    the same picture with more memory\n"
                 "      --zoom Z      reduction factor: the circle is H/Z pixels across\n"
                 "                    (default %d)\n"
                 "      --size WxH    picture size in pixels, W and H from 1 to %d\n"
                 "                    (default %dx%d)\n"
                 "      --fg1 R,G,B   colour of a pixel one crossing falls on (default %s)\n"
                 "      --fg2 R,G,B   colour that many crossings move toward (default %s)\n"
                 "      --bg R,G,B    background colour (default %s)\n"
                 "  -o FILE           the picture file to write (required), in the format of\n"
                 "                    its extension: .bmp, .pcx, .tga or .png (none: BMP); it\n"
                 "                    appears under its name only once completely written;\n"
                 "                    - writes to standard output\n"
                 "      --format F    format of the picture on standard output: bmp, pcx, tga\n"
                 "                    or png (default bmp)\n"
                 "      --frames N1:N2[:STEP]\n"
                 "                    one picture for each n from N1 to N2 (step 1 or STEP),\n"
                 "                    FILE a pattern with an integer conversion for n, such\n"
                 "                    as frame-%%04d.png\n"
                 "  -q, --quiet       no progress on standard error (shown only on a terminal)\n"
                 "  -h, --help        show this help and exit\n"
                 "  -V, --version     show the version and exit\n"
                 "\n"
                 "Exit status: 0 when FILE was written completely, 1 when the picture could\n"
                 "not be made or written, 2 on bad input.\n",
                 d.n, d.m, d.r, d.zoom, max_side, d.w, d.h, color(d.fg1).c_str(), color(d.fg2).c_str(),
                 color(d.bg).c_str());
}
