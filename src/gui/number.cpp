// Numbers typed into edit fields. Kept apart from the dialogs so that the
// fuzzer can take it alone.
#include <algorithm>
#include <climits>

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

verdict judge(const char* text, bool (*takes)(long long value))
{
    long long value;
    if (!read_whole_number(text, value))
        return verdict::not_a_number;
    return takes(value) ? verdict::taken : verdict::refused;
}

bool in_int(long long v) { return v >= INT_MIN && v <= INT_MAX; }

}

int read_number(const char* text)
{
    const long value = ustrtol(text, nullptr, 10);
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
    return !*skip_blanks(end) && parse_decimal(std::string(begin, end), value);
}

verdict judge_decimal(const char* text, bool (*takes)(double value))
{
    double value;
    if (!read_decimal_number(text, value))
        return verdict::not_a_number;
    return takes(value) ? verdict::taken : verdict::refused;
}

verdict any_int(const char* text) { return judge(text, in_int); }
verdict colour_component(const char* text) { return judge(text, [](long long v) { return v >= 0 && v <= 255; }); }
verdict nonzero_int(const char* text) { return judge(text, [](long long v) { return in_int(v) && v != 0; }); }
verdict positive_int(const char* text) { return judge(text, [](long long v) { return v >= 1 && v <= INT_MAX; }); }
