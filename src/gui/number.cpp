// Numbers typed into edit fields. Kept apart from the dialogs so that the
// fuzzer can take it alone.
#include <algorithm>
#include <climits>
#include <cmath>

#include "gui.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

const char* skip_blanks(const char* p)
{
    while (is_blank(*p))
        ++p;
    return p;
}

// Digits beyond any field's length stop growing the number here, far outside
// the int range, before a long long could overflow.
constexpr long long beyond_int = 100LL * INT_MAX;

// An exponent as strtod reads one: e or E, an optional sign, digits.
bool is_exponent(const std::string& text)
{
    std::size_t k = 1 + (text.size() > 1 && (text[1] == '-' || text[1] == '+'));
    if (text.size() <= k || (text[0] != 'e' && text[0] != 'E'))
        return false;
    for (; k < text.size(); ++k)
        if (!is_digit(text[k]))
            return false;
    return true;
}

// A whole number typed in any of the forms a number field reads ("12",
// "12.0", "1.2e1"); the value is whole unless the verdict says otherwise.
verdict whole_value(const char* text, double& value)
{
    long long whole;
    if (read_whole_number(text, whole)) {
        value = double(whole);   // exact: beyond_int is far below 2^53
        return verdict::taken;
    }
    if (!read_decimal_number(text, value))
        return verdict::not_a_number;
    return value == std::trunc(value) ? verdict::taken : verdict::not_whole;
}

}

verdict judge_whole(const char* text, long long lo, long long hi, bool zero)
{
    double value;
    const verdict why = whole_value(text, value);
    if (why != verdict::taken)
        return why;
    if (!(value >= double(lo) && value <= double(hi)))
        return verdict::out_of_range;
    return zero || value != 0 ? verdict::taken : verdict::excluded;
}

int read_number(const char* text)
{
    double value;
    if (whole_value(text, value) != verdict::taken)
        return 0;
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
}

// Bytes rather than characters: in UTF-8 the blanks, signs and digits are
// single bytes that no other character contains.
bool read_whole_number(const char* text, long long& value)
{
    const char* p = skip_blanks(text);
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (!is_digit(*p))
        return false;
    long long magnitude = 0;
    for (; is_digit(*p); ++p)
        magnitude = std::min(magnitude * 10 + (*p - '0'), beyond_int);
    if (*skip_blanks(p))
        return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

bool read_decimal_number(const char* text, double& value)
{
    const char* begin = skip_blanks(text);
    const char* end = begin;
    while (*end && !is_blank(*end))
        ++end;
    const std::string number(begin, end);
    const std::size_t e = number.find_first_of("eE");
    double mantissa;
    if (*skip_blanks(end) || !parse_decimal(number.substr(0, e), mantissa) ||
        (e != std::string::npos && !is_exponent(number.substr(e))))
        return false;
    // Plus 0 turns -0 into 0, which no field nor status line then shows
    // as "-0"; every other value stays as it is.
    value = std::strtod(number.c_str(), nullptr) + 0.0;
    return true;
}

verdict any_int(const char* text, const void*) { return judge_whole(text, INT_MIN, INT_MAX); }
verdict colour_component(const char* text, const void*) { return judge_whole(text, 0, 255); }
verdict nonzero_int(const char* text, const void*) { return judge_whole(text, INT_MIN, INT_MAX, false); }
verdict positive_int(const char* text, const void*) { return judge_whole(text, 1, INT_MAX); }

verdict judge_multiplier(const char* text, const void* whole)
{
    double n;
    if (!read_decimal_number(text, n))
        return verdict::not_a_number;
    if (!multiplier_in_range(n))
        return verdict::out_of_range;
    return *static_cast<const bool*>(whole) && !whole_multiplier(n) ? verdict::needs_complete : verdict::taken;
}
