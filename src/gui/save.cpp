// The Save image as command: the view's bitmap written into a directory
// picked in the file selector, under a typed name whose extension chooses
// the format.
#include <string>

#include "gui.h"
#include "picture_file.h"
#include "settings_file.h"

namespace {

constexpr int name_chars = 63;
constexpr int directory_chars = 191;
constexpr int name_entry = 5;

// The name field, whose cursor starts before the extension, where it stays
// when the field takes the focus again by keys or under the pointer: a name
// typed there keeps the extension.
int d_name_edit_proc(int msg, DIALOG* d, int c)
{
    const int result = d_edit_proc(msg, d, c);
    if (msg == MSG_START) {
        const char* text = static_cast<const char*>(d->dp);
        const char* dot = ustrrchr(text, '.');
        d->d2 = dot ? ustrlen(text) - ustrlen(dot) : ustrlen(text);
    }
    return result;
}

}

DIALOG save_chryzode_dialog[] = {
    /* proc              x    y    w    h    fg bg key flags   d1          d2 dp                      dp2      dp3 */
    { d_box_proc,        0,   0,   300, 150, 0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
    { d_textbox_proc,    0,   0,   300, 16,  0, 0, 0,  0,      0,          0, (void*)"Save as",       nullptr, nullptr },
    { d_button_proc,     30,  100, 100, 20,  0, 0, 13, D_EXIT, 0,          0, (void*)"OK",            nullptr, nullptr },
    { d_button_proc,     170, 100, 100, 20,  0, 0, 0,  D_EXIT, 0,          0, (void*)"Cancel",        nullptr, nullptr },
    { d_text_proc,       30,  50,  120, 16,  0, 0, 0,  0,      0,          0, (void*)"name (.bmp) :", nullptr, nullptr },
    { d_name_edit_proc,  150, 50,  120, 16,  0, 0, 0,  0,      name_chars, 0, nullptr,                nullptr, nullptr },
    { d_yield_proc,      0,   0,   0,   0,   0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
    { nullptr,           0,   0,   0,   0,   0, 0, 0,  0,      0,          0, nullptr,                nullptr, nullptr },
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

// Writes the view's picture under the name in the directory; false, once the
// user is told why, when the name is refused or the picture not written.
bool save_as(const char* directory, const char* name)
{
    if (!*name) {
        modal_alert("The image needs a name to be saved.", nullptr, nullptr, "OK", nullptr, 0, 0);
        return false;
    }
    const std::string path = join_path(directory, name);
    picture_file out;
    std::string why;
    BITMAP* bmp = static_cast<BITMAP*>(main_dialog[view_entry].dp);
    if (out.open(path, why) && out.commit(bmp, settings_text({state.shown, bmp->w, bmp->h}), why))
        return true;
    modal_alert("Unable to save the image as", fit_alert(path).c_str(), why.c_str(), "OK", nullptr, 0, 0);
    return false;
}

}

int save_chryzode()
{
    // The selector takes its buffer's size in bytes and lets the user type a
    // quarter of it less one character: 191 characters of up to 4 bytes.
    static char directory[4 * (directory_chars + 1)];
    static char filename[edit_buffer_size(name_chars)] = ".bmp";
    // After a mode change whose drawing was cancelled, the view shows no
    // figure: nothing the status line could name would be saved.
    if (!state.on_screen) {
        modal_alert("No figure is drawn at this size to be saved:", "Chryzode > Rerender draws it.", nullptr, "OK", nullptr,
              0, 0);
        return D_O_K;
    }
    // A lone filter would be taken for a default extension and appended to a
    // typed directory ("/a/b./+d"); the ';' makes it a list.
    if (modal_file_select("Choose saving directory", directory, "/+d;", sizeof directory, 400, 300)) {
        save_chryzode_dialog[name_entry].dp = filename;
        // The name field has the focus: a name typed at once comes before
        // ".bmp". A refused name is asked for again, in the same directory.
        while (run_dialog(save_chryzode_dialog, name_entry) == ok_entry && !save_as(directory, filename)) {
        }
    }
    redraw_main();
    return D_O_K;
}
