// Numbers typed into edit fields. Kept apart from the dialogs so that the
// fuzzer can take it alone.
#include <climits>

#include "gui.h"

int read_number(const char* text)
{
    const long value = ustrtol(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
}
