// Fuzz target over the program's reading of number fields: the first byte
// picks a field's judge, the rest is the text typed. A text is a number
// only when it is blanks, a sign, digits and blanks; a text taken is one
// that the commands then read, with read_number, as the same number, inside
// the judge's range, and that number written reads back the same.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    struct judge_range {
        verdict (*judge)(const char*);
        long long lo, hi;
        bool zero;
    };
    static const judge_range judges[] = {
        {any_int, INT_MIN, INT_MAX, true},
        {colour_component, 0, 255, true},
        {nonzero_int, INT_MIN, INT_MAX, false},
        {positive_int, 1, INT_MAX, false},
    };
    if (size == 0)
        return 0;
    const judge_range& j = judges[data[0] & 3];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const char* t = text.c_str();
    long long value = 0;
    const bool number = read_whole_number(t, value);
    const bool shaped = std::strspn(t, " \t+-0123456789") == std::strlen(t) &&
                        std::strpbrk(t, "0123456789") != nullptr;
    const verdict v = j.judge(t);
    const bool in_range = value >= j.lo && value <= j.hi && (j.zero || value != 0);
    if ((number && !shaped) || (v == verdict::not_a_number) != !number || (v == verdict::taken) != (number && in_range))
        std::abort();
    if (v != verdict::taken)
        return 0;
    char back[24];
    std::snprintf(back, sizeof back, "%lld", value);
    long long again = 0;
    if (read_number(t) != value || !read_whole_number(back, again) || again != value)
        std::abort();
    return 0;
}
