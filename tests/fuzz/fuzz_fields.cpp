// Fuzz target over the program's reading of number fields: the first byte
// picks a field's judge, the rest is the text typed. A text is a number
// exactly when it is blanks, a sign, digits and blanks; a text taken is one
// that the commands then read, with read_number, as the same number, inside
// the judge's range.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gui.h"

static std::string blanks_trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const struct {
        verdict (*judge)(const char*);
        long long lo, hi;
        bool zero;
    } judges[] = {
        {any_int, INT_MIN, INT_MAX, true},
        {colour_component, 0, 255, true},
        {nonzero_int, INT_MIN, INT_MAX, false},
        {positive_int, 1, INT_MAX, false},
    };
    if (size == 0)
        return 0;
    const auto& j = judges[data[0] & 3];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const char* t = text.c_str();   // up to a zero byte, as a field holds it
    long long value = 0;
    const bool number = read_whole_number(t, value);
    const verdict v = j.judge(t);
    const bool in_range = value >= j.lo && value <= j.hi && (j.zero || value != 0);
    const std::string inner = blanks_trimmed(t), digits = inner.substr(inner[0] == '+' || inner[0] == '-');
    const bool shaped = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    if (number != shaped || (v == verdict::not_a_number) != !number ||
        (v == verdict::taken) != (number && in_range) || (v == verdict::taken && read_number(t) != value))
        std::abort();
    return 0;
}
