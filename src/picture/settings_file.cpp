// Settings documents: written and read with toml++, found in PNGs with libpng.
#include "settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <png.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <toml++/toml.h>

const char settings_format[] = "quorvane 1";

namespace {

const char* const mode_names[] = {"complete", "from-root"};        // by the bit from_root
const char* const storage_names[] = {"stored", "on-the-fly"};      // by the bit on_the_fly

// A settings file is a few hundred bytes; anything much larger is no such file.
constexpr std::streamsize max_settings_bytes = 1 << 20;

// toml++ writes a double with 17 digits (2.3700000000000001): numbers are
// written here in their shortest form that reads back as the same double,
// whole ones as integers; the sign of a zero is kept.
std::string number_text(double value)
{
    if (value == 0 && std::signbit(value))
        return "-0.0";
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

template <class Value>
void put(std::string& text, const char* key, Value&& value)
{
    std::ostringstream line;
    line << toml::toml_formatter{toml::table{{key, std::forward<Value>(value)}}, toml::format_flags::none};
    text += line.str() + "\n";
}

void put_number(std::string& text, const char* key, double value)
{
    text += std::string(key) + " = " + number_text(value) + "\n";
}

toml::array colour_array(const rgb& c) { return toml::array{c.r, c.g, c.b}; }

// A value as the file gives it, for messages.
std::string shown(const toml::node& node)
{
    std::ostringstream text;
    node.visit([&text](auto&& value) { text << value; });
    return text.str();
}

// Where a value is, for messages: "line 3: ", or nothing when unknown.
std::string place(const toml::node& node)
{
    const auto line = node.source().begin.line;
    return line ? "line " + std::to_string(line) + ": " : "";
}

bool refuse(std::string& why, const std::string& key, const toml::node& node, const std::string& allowed)
{
    why = place(node) + key + ": expected " + allowed + ", got " + shown(node);
    return false;
}

std::string whole_range(long long low, long long high)
{
    return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

bool read_int(const toml::node& node, const std::string& key, long long low, long long high, int& value,
              std::string& why)
{
    const auto v = node.value_exact<std::int64_t>();
    if (!v || *v < low || *v > high)
        return refuse(why, key, node, whole_range(low, high));
    value = int(*v);
    return true;
}

bool read_number(const toml::node& node, const std::string& key, double low, double high, double& value,
                 std::string& why)
{
    std::optional<double> v;
    if (node.is_floating_point())
        v = node.value_exact<double>();
    else if (const auto whole = node.value_exact<std::int64_t>())
        v = double(*whole);
    if (!v || !(*v >= low && *v <= high))
        return refuse(why, key, node, "a number from " + number_text(low) + " to " + number_text(high));
    value = *v;
    return true;
}

// One of two names, the second setting the bit.
bool read_bit(const toml::node& node, const std::string& key, const char* const names[2], int bit, int& type,
              std::string& why)
{
    const auto name = node.value_exact<std::string>();
    if (!name || (*name != names[0] && *name != names[1]))
        return refuse(why, key, node, std::string("\"") + names[0] + "\" or \"" + names[1] + "\"");
    type = *name == names[1] ? type | bit : type & ~bit;
    return true;
}

template <class Kind>
bool read_name(const toml::node& node, const std::string& key, const char* const names[], int count,
               bool (*of_name)(const std::string&, Kind&), Kind& kind, std::string& why)
{
    const auto name = node.value_exact<std::string>();
    if (name && of_name(*name, kind))
        return true;
    std::string allowed = "one of";
    for (int k = 0; k < count; ++k)
        allowed += std::string(k ? ", \"" : " \"") + names[k] + "\"";
    return refuse(why, key, node, allowed);
}

bool read_colour(const toml::node& node, const std::string& key, rgb& colour, std::string& why)
{
    const toml::array* a = node.as_array();
    const auto component = [a](std::size_t k) { return a->get(k)->value_exact<std::int64_t>(); };
    if (!a || a->size() != 3)
        return refuse(why, key, node, "[r, g, b], each a whole number from 0 to 255");
    int* const parts[] = {&colour.r, &colour.g, &colour.b};
    for (std::size_t k = 0; k < 3; ++k) {
        if (!component(k) || *component(k) < 0 || *component(k) > 255)
            return refuse(why, key, node, "[r, g, b], each a whole number from 0 to 255");
        *parts[k] = int(*component(k));
    }
    return true;
}

bool read_center(const toml::node& node, figure_settings& f, std::string& why)
{
    const toml::array* a = node.as_array();
    std::string ignored;
    const double huge = std::numeric_limits<double>::max();
    if (!a || a->size() != 2 || !read_number(*a->get(0), "", -huge, huge, f.cx, ignored) ||
        !read_number(*a->get(1), "", -huge, huge, f.cy, ignored))
        return refuse(why, "center", node, "[x, y], two finite numbers");
    return true;
}

// The value of one key into s; false with why for an unknown key or a bad value.
bool read_key(const std::string& key, const toml::node& node, picture_settings& s, std::string& why)
{
    figure_settings& f = s.figure;
    const double int_max = INT_MAX;
    if (key == "format") {
        if (node.value_exact<std::string>() == std::string(settings_format))
            return true;
        return refuse(why, key, node, std::string("\"") + settings_format + "\"");
    }
    if (key == "n")
        return read_number(node, key, -int_max, int_max, f.n, why);
    if (key == "m")
        return read_int(node, key, 1, INT_MAX, f.m, why);
    if (key == "r")
        return read_int(node, key, INT_MIN, INT_MAX, f.r, why);
    if (key == "mode")
        return read_bit(node, key, mode_names, from_root, f.type, why);
    if (key == "storage")
        return read_bit(node, key, storage_names, on_the_fly, f.type, why);
    if (key == "zoom") {
        if (read_int(node, key, INT_MIN, INT_MAX, f.zoom, why) && f.zoom != 0)
            return true;
        return refuse(why, key, node, "a whole number other than 0");
    }
    if (key == "magnify")
        return read_number(node, key, 1, max_magnify, f.magnify, why);
    if (key == "center")
        return read_center(node, f, why);
    if (key == "palette")
        return read_name(node, key, palette_names, palette_kinds, palette_of_name, f.palette, why);
    if (key == "scale")
        return read_name(node, key, scale_names, scale_kinds, scale_of_name, f.scale, why);
    if (key == "scale_max")
        return read_int(node, key, 0, INT_MAX, f.scale_max, why);
    if (key == "fg1" || key == "fg2" || key == "bg")
        return read_colour(node, key, key == "fg1" ? f.fg1 : key == "fg2" ? f.fg2 : f.bg, why);
    if (key == "width" || key == "height")
        return read_int(node, key, 1, max_side, key == "width" ? s.width : s.height, why);
    why = place(node) + key + ": unknown key";
    return false;
}

// libpng's failures end in a jump back to the setjmp of the reader, past
// no destructor; the message is kept for the caller.
struct png_failure {
    char message[160];
};

extern "C" void png_failed(png_structp png, png_const_charp message)
{
    png_failure* failure = static_cast<png_failure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

extern "C" void png_warned(png_structp, png_const_charp) {}

bool settings_chunk(png_structp png, png_infop info, std::string& text)
{
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int k = 0; k < count; ++k)
        if (std::strcmp(texts[k].key, "quorvane") == 0) {
            text = texts[k].text;
            return true;
        }
    return false;
}

// The settings chunk of the PNG open in file, past its signature, into
// text: it comes before the pixels in the files Quorvane writes, and may
// come after them in a file that another program rewrote. 1 found, 0 none,
// -1 a broken file, with the reason in failure.
int read_png_chunk(std::FILE* file, std::string& text, png_failure& failure)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, png_failed, png_warned);
    if (!png)
        return -1;
    png_infop info = png_create_info_struct(png), end = png_create_info_struct(png);
    png_bytep volatile row = nullptr;   // set past the setjmp
    if (!info || !end || setjmp(png_jmpbuf(png))) {
        png_free(png, row);
        png_destroy_read_struct(&png, &info, &end);
        return -1;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    int found = settings_chunk(png, info, text);
    if (!found) {
        const int passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        row = static_cast<png_bytep>(png_malloc(png, png_get_rowbytes(png, info)));
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y)
                png_read_row(png, row, nullptr);
        png_read_end(png, end);
        found = settings_chunk(png, end, text);
    }
    png_free(png, row);
    png_destroy_read_struct(&png, &info, &end);
    return found;
}

bool failed(std::string& why, int error)
{
    why = std::strerror(error);
    return false;
}

}

std::string settings_text(const picture_settings& s)
{
    const figure_settings& f = s.figure;
    std::string text = "# A Quorvane picture: quorvane-render --settings FILE draws it again.\n";
    put(text, "format", settings_format);
    put_number(text, "n", f.n);
    put(text, "m", f.m);
    put(text, "r", f.r);
    put(text, "mode", mode_names[(f.type & from_root) ? 1 : 0]);
    put(text, "storage", storage_names[(f.type & on_the_fly) ? 1 : 0]);
    put(text, "zoom", f.zoom);
    put_number(text, "magnify", f.magnify);
    text += "center = [" + number_text(f.cx) + ", " + number_text(f.cy) + "]\n";
    put(text, "palette", name_of(f.palette));
    put(text, "scale", name_of(f.scale));
    put(text, "scale_max", f.scale_max);
    put(text, "fg1", colour_array(f.fg1));
    put(text, "fg2", colour_array(f.fg2));
    put(text, "bg", colour_array(f.bg));
    put(text, "width", s.width);
    put(text, "height", s.height);
    return text;
}

bool read_settings(const std::string& text, picture_settings& out, std::string& why)
{
    toml::table document;
    try {
        document = toml::parse(text);
    } catch (const toml::parse_error& e) {
        why = "line " + std::to_string(e.source().begin.line) + ", column " + std::to_string(e.source().begin.column) +
              ": " + std::string(e.description());
        return false;
    }
    if (!document.contains("format")) {
        why = std::string("format: missing; a settings file starts with format = \"") + settings_format + "\"";
        return false;
    }
    picture_settings read;
    for (auto&& [key, node] : document)
        if (!read_key(std::string(key.str()), node, read, why))
            return false;
    // Only a whole multiplier has an orbit.
    if ((read.figure.type & from_root) && !whole_multiplier(read.figure.n)) {
        why = "n: " + multiplier_text(read.figure.n) + " has decimals, which only mode = \"complete\" draws";
        return false;
    }
    out = read;
    return true;
}

bool read_settings_file(const std::string& path, picture_settings& out, std::string& why)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return failed(why, errno);
    unsigned char signature[8] = {};
    const std::size_t got = std::fread(signature, 1, sizeof signature, file);
    if (got == sizeof signature && png_sig_cmp(signature, 0, sizeof signature) == 0) {
        std::string text;
        png_failure failure{"unreadable"};
        const int found = read_png_chunk(file, text, failure);
        std::fclose(file);
        if (found < 0)
            why = std::string("a broken PNG: ") + failure.message;
        else if (found == 0)
            why = "a PNG without Quorvane settings";
        return found > 0 && read_settings(text, out, why);
    }
    const int read_error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (read_error)
        return failed(why, read_error);
    std::ifstream in(path, std::ios::binary);
    std::string text(std::size_t(max_settings_bytes) + 1, '\0');
    in.read(&text[0], max_settings_bytes + 1);
    if (in.bad())
        return failed(why, EIO);
    text.resize(std::size_t(in.gcount()));
    if (in.gcount() > max_settings_bytes || text.find('\0') != std::string::npos) {
        why = "neither a PNG nor a settings file";
        return false;
    }
    return read_settings(text, out, why);
}

bool save_settings_file(const std::string& path, const picture_settings& settings, std::string& why)
{
    const std::string text = settings_text(settings);
    const std::string directory = path.substr(0, path.rfind('/') + 1);   // empty: the current one
    std::string temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temp = directory + "." + path.substr(directory.size()) + "." + std::to_string(getpid()) + "-" +
               std::to_string(tries);
        // A new file takes the mode that the umask leaves, as any new file.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return failed(why, errno);
    }
    if (fd < 0)
        return failed(why, EEXIST);
    int failure = 0;
    for (std::size_t done = 0; !failure && done < text.size();) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno != EINTR)
            failure = errno;
        else if (wrote > 0)
            done += std::size_t(wrote);
    }
    if (!failure && fsync(fd) != 0)
        failure = errno;
    if (close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && rename(temp.c_str(), path.c_str()) != 0)
        failure = errno;
    if (failure)
        unlink(temp.c_str());
    return failure == 0 || failed(why, failure);
}
