// Fuzz target over the text of an edit field: characters typed, deleted and
// moved over as Allegro's edit field does it, into a buffer of the size the
// program gives each field, then read as a number and written back. A write
// past the buffer is caught by AddressSanitizer.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "gui.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int limits[] = {3, 5, 11, 63};   // colour, New, zoom, file name fields
    const int chars = size ? limits[data[0] & 3] : 0, bytes = edit_buffer_size(chars);
    const std::unique_ptr<char[]> text(new char[std::size_t(bytes)]());
    int pos = 0;
    for (std::size_t i = 1; i + 2 < size; i += 3) {
        const int key = data[i] | data[i + 1] << 8 | (data[i + 2] & 0x1f) << 16, length = ustrlen(text.get());
        if (key == 8 && pos > 0)   // backspace
            uremove(text.get(), --pos);
        else if (key == 1 || key == 2)   // cursor left, right
            pos = key == 1 ? (pos > 0 ? pos - 1 : 0) : (pos < length ? pos + 1 : length);
        else if (key >= 32 && key <= 0x10ffff && length < chars)
            uinsert(text.get(), pos++, key);
        char back[16];
        uszprintf(back, sizeof back, "%d", read_number(text.get()));
        if (ustrsize(text.get()) >= bytes || ustrlen(text.get()) > chars || read_number(back) != read_number(text.get()))
            std::abort();
    }
    return 0;
}
