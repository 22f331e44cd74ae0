// The Save image as command: the view's bitmap written as a BMP file into a
// directory picked in the file selector, under a typed name.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "gui.h"

namespace {

constexpr int name_chars = 63;
constexpr int directory_chars = 191;
constexpr int name_entry = 5;

}

DIALOG save_chryzode_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1          d2 dp                      dp2      dp3 */
    { d_box_proc,      0,   0,   300, 150, 0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
    { d_textbox_proc,  0,   0,   300, 16,  0, 0, 0,  0,      0,          0, (void*)"Save as",       nullptr, nullptr },
    { d_button_proc,   30,  100, 100, 20,  0, 0, 13, D_EXIT, 0,          0, (void*)"OK",            nullptr, nullptr },
    { d_button_proc,   170, 100, 100, 20,  0, 0, 0,  D_EXIT, 0,          0, (void*)"Cancel",        nullptr, nullptr },
    { d_text_proc,     30,  50,  120, 16,  0, 0, 0,  0,      0,          0, (void*)"name (.bmp) :", nullptr, nullptr },
    { d_edit_proc,     150, 50,  120, 16,  0, 0, 0,  0,      name_chars, 0, nullptr,                nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
};

namespace {

bool is_separator(char c) { return c == '/' || c == OTHER_PATH_SEPARATOR; }

// The directory and the name, with a separator between them unless the
// directory is empty (the current one) or already ends in one.
std::string join_path(const char* directory, const char* name)
{
    std::string path = directory;
    if (!path.empty() && !is_separator(path.back()))
        path += '/';
    return path + name;
}

// The directory part of a path with its separator; empty for a bare name.
std::string directory_of(const std::string& path)
{
    return std::string(path.begin(), std::find_if(path.rbegin(), path.rend(), is_separator).base());
}

// Writes the bitmap to a fresh file beside path, then puts it in place of
// path, so that a failed save leaves whatever path held before. Empty, or
// why the picture was not saved.
std::string save_in_place(const std::string& path, BITMAP* bitmap)
{
    std::string temporary = directory_of(path) + ".quorvane-XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return std::strerror(errno);
    // mkstemp makes the file private; a saved picture gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    std::string why;
    // Allegro does not keep the system's reason for a failed write.
    if (save_bmp(temporary.c_str(), bitmap, nullptr) != 0)
        why = "Writing failed: the disk may be full.";
    else if (rename(temporary.c_str(), path.c_str()) != 0)
        why = std::strerror(errno);
    if (!why.empty())
        std::remove(temporary.c_str());
    return why;
}

}

int save_chryzode()
{
    // The selector takes its buffer's size in bytes and lets the user type a
    // quarter of it less one character: 191 characters of up to 4 bytes.
    static char directory[4 * (directory_chars + 1)];
    static char filename[edit_buffer_size(name_chars)] = ".bmp";
    // A lone filter would be taken for a default extension and appended to a
    // typed directory ("/a/b./+d"); the ';' makes it a list. Whether the
    // selector is confirmed or cancelled, the name is asked for next.
    file_select_ex("Choose saving directory", directory, "/+d;", sizeof directory, 400, 300);
    save_chryzode_dialog[name_entry].dp = filename;
    BITMAP* bitmap = static_cast<BITMAP*>(main_dialog[view_entry].dp);
    if (run_dialog(save_chryzode_dialog) == ok_entry && bitmap) {
        const std::string path = join_path(directory, filename);
        const std::string why = save_in_place(path, bitmap);
        if (!why.empty())
            alert("Unable to save the image as", path.c_str(), why.c_str(), "OK", nullptr, 0, 0);
    }
    redraw_main();
    return D_O_K;
}
