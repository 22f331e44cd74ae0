// Open and Save settings: a figure read from a picture Quorvane saved or
// from a settings file, and the figure on screen written as one.
#include <cstdio>
#include <string>

#include "gui.h"
#include "settings_file.h"

namespace {

constexpr int path_chars = 255;
// The selector takes its buffer's size in bytes and lets the user type a
// quarter of it less one character.
char open_path[4 * (path_chars + 1)], settings_path[4 * (path_chars + 1)];

void refuse(const char* title, const std::string& path, const std::string& why)
{
    modal_alert(title, fit_alert(path).c_str(), why.c_str(), "OK", nullptr, 0, 0);
}

}

void open_figure(const figure_settings& figure)
{
    stop_animation();
    ask_for_figure(figure);
}

int open_settings()
{
    if (modal_file_select("Open a picture or settings", open_path, "png;toml;/+d", sizeof open_path, 400, 300)) {
        picture_settings settings;
        std::string why;
        if (read_settings_file(open_path, settings, why))
            open_figure(settings.figure);
        else
            refuse("Unable to open", open_path, why);
    }
    redraw_main();
    return D_O_K;
}

int save_settings()
{
    if (modal_file_select("Save settings as", settings_path, "toml", sizeof settings_path, 400, 300)) {
        const BITMAP* view = static_cast<const BITMAP*>(main_dialog[view_entry].dp);
        std::string why;
        if (!save_settings_file(settings_path, {state.shown, view->w, view->h}, why))
            refuse("Unable to save the settings as", settings_path, why);
    }
    redraw_main();
    return D_O_K;
}

bool read_start_settings(const char* path, figure_settings& figure)
{
    picture_settings settings;
    std::string why;
    if (!read_settings_file(path, settings, why)) {
        std::fprintf(stderr, "quorvane: %s: %s\n", path, why.c_str());
        return false;
    }
    figure = settings.figure;
    return true;
}
