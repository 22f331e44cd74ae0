// Fuzz target over the program's reading of number fields: the first byte
// picks a field's judge, the rest is the text typed. A text is a number
// exactly when it is blanks, a decimal number (sign, digits, point,
// exponent) and blanks; a text taken is one that the commands then read as
// the same number, inside the judge's range, and never as -0.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "gui.h"

static std::string blanks_trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool whole = true, any = false;
    static const struct {
        verdict (*judge)(const char*, const void*);
        const void* context;
        double lo, hi;
        bool zero, integral;
    } judges[] = {
        {any_int, nullptr, INT_MIN, INT_MAX, true, true},
        {colour_component, nullptr, 0, 255, true, true},
        {nonzero_int, nullptr, INT_MIN, INT_MAX, false, true},
        {positive_int, nullptr, 1, INT_MAX, false, true},
        {judge_multiplier, &whole, -INT_MAX, INT_MAX, true, true},
        {judge_multiplier, &any, -INT_MAX, INT_MAX, true, false},
    };
    static const std::regex number_form(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    if (size == 0)
        return 0;
    const auto& j = judges[data[0] % 6];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const char* t = text.c_str();   // up to a zero byte, as a field holds it
    const std::string inner = blanks_trimmed(t);
    const bool number = std::regex_match(inner, number_form);
    const double value = number ? std::strtod(inner.c_str(), nullptr) : 0;
    const bool takes = number && value >= j.lo && value <= j.hi && (j.zero || value != 0) &&
                       (!j.integral || value == std::trunc(value));
    const verdict v = j.judge(t, j.context);
    double read = 1;
    const bool read_back = j.integral && j.context == nullptr ? read_number(t) == value
                                                              : read_decimal_number(t, read) && read == value &&
                                                                    !(read == 0 && std::signbit(read));
    if ((v == verdict::not_a_number) != !number || (v == verdict::taken) != takes || (v == verdict::taken && !read_back))
        std::abort();
    return 0;
}
