// The Graphics Mode command: six screen modes, in a window or full screen.
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "chryzode.h"
#include "gui.h"

namespace {

struct screen_mode {
    const char* text;
    int driver, w, h;
};

// The rows of the list.
const screen_mode modes[] = {
    { "640x480 Windowed",    GFX_AUTODETECT_WINDOWED,   640,  480 },
    { "640x480 Fullscreen",  GFX_AUTODETECT_FULLSCREEN, 640,  480 },
    { "800x600 Windowed",    GFX_AUTODETECT_WINDOWED,   800,  600 },
    { "800x600 Fullscreen",  GFX_AUTODETECT_FULLSCREEN, 800,  600 },
    { "1024x768 Windowed",   GFX_AUTODETECT_WINDOWED,   1024, 768 },
    { "1024x768 Fullscreen", GFX_AUTODETECT_FULLSCREEN, 1024, 768 },
};

constexpr int mode_list = 4;  // entry of gfx_dialog; its d1 is the selected row

}

const char* gfx_list(int index, int* list_size)
{
    if (index < 0) {
        *list_size = int(std::size(modes));
        return nullptr;
    }
    return modes[index].text;
}

DIALOG gfx_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1 d2 dp                               dp2      dp3 */
    { d_box_proc,      0,   0,   400, 300, 0, 0, 0,  0,      0, 0, nullptr,                         nullptr, nullptr },
    { d_textbox_proc,  0,   0,   400, 16,  0, 0, 0,  0,      0, 0, (void*)"Changing graphics mode", nullptr, nullptr },
    { d_button_proc,   50,  260, 100, 20,  0, 0, 13, D_EXIT, 0, 0, (void*)"OK",                     nullptr, nullptr },
    { d_button_proc,   250, 260, 100, 20,  0, 0, 0,  D_EXIT, 0, 0, (void*)"Cancel",                 nullptr, nullptr },
    { d_list_proc,     50,  50,  300, 100, 0, 0, 0,  D_EXIT, 0, 0, (void*)gfx_list,                 nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0, 0, nullptr,                         nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0, 0, nullptr,                         nullptr, nullptr },
};

namespace {

// The mode in force, with the kind of driver that shows it.
screen_mode current_mode()
{
    const int driver = gfx_driver->windowed ? GFX_AUTODETECT_WINDOWED : GFX_AUTODETECT_FULLSCREEN;
    return { nullptr, driver, SCREEN_W, SCREEN_H };
}

// With no screen there is nothing to show a message on, and the program
// cannot go on.
[[noreturn]] void give_up(const screen_mode& previous)
{
    std::fprintf(stderr, "quorvane: no %dx%d graphics mode can be set again (%s); the program stops.\n",
                 previous.w, previous.h, allegro_error);
    delete &the_model();  // and with it the view bitmap
    main_dialog[view_entry].dp = nullptr;
    main_dialog[view_entry].dp2 = nullptr;
    std::exit(EXIT_FAILURE);
}

// Goes back to the previous mode with the kind of driver it had: under X the
// autodetecting id means full screen, whose window takes no keys. That id is
// only the last resort.
void restore(const screen_mode& previous)
{
    if (set_gfx_mode(previous.driver, previous.w, previous.h, 0, 0) != 0 &&
        set_gfx_mode(GFX_AUTODETECT, previous.w, previous.h, 0, 0) != 0)
        give_up(previous);
}

// Gives the view and the model a bitmap of the screen's new size, cleared
// to the figure's background, and stretches the view and the status bar to
// the screen. False, with nothing changed, when there is no memory for it.
bool fit_view_to_screen()
{
    BITMAP* bitmap = create_view_bitmap(SCREEN_W, SCREEN_H);
    if (!bitmap)
        return false;
    Cchryzode& model = the_model();
    clear_to_color(bitmap, model.bg);
    DIALOG& view = main_dialog[view_entry];
    destroy_bitmap(static_cast<BITMAP*>(view.dp));
    view.dp = bitmap;
    model.set_bmp(bitmap);
    view.w = SCREEN_W;
    view.h = SCREEN_H;
    fit_status_bar();
    return true;
}

// The row of the list that shows the mode in force, if any.
void select_current_mode(const screen_mode& current)
{
    for (const screen_mode& mode : modes)
        if (mode.driver == current.driver && mode.w == current.w && mode.h == current.h)
            gfx_dialog[mode_list].d1 = int(&mode - modes);
}

}

int change_gfx_mode()
{
    const screen_mode previous = current_mode();
    select_current_mode(previous);
    const int exit = run_dialog(gfx_dialog);
    // The list closes the dialog on a double click.
    if (exit == ok_entry || exit == mode_list) {
        const screen_mode& chosen = modes[gfx_dialog[mode_list].d1];
        if (set_gfx_mode(chosen.driver, chosen.w, chosen.h, 0, 0) != 0 || !fit_view_to_screen()) {
            restore(previous);
            modal_alert("Error !", "Unable to change", "Graphics mode", "OK", nullptr, 0, 0);
        } else if (state.on_screen) {
            // The figure is drawn again at the new size, as a zoom is.
            state.on_screen = false;
            show_status();
            ask_for_figure(state.wanted);
        }
        show_mouse(screen);
    }
    redraw_main();
    return D_O_K;
}
