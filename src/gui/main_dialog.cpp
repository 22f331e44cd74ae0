// The main window: the chryzode view under a menu bar and a status bar, the
// menus, and the program's start-up, main loop and shut-down.
#include <cstdio>
#include <utility>

#include "chryzode.h"
#include "ending.h"
#include "gui.h"

std::atomic<int> close_button_clicked{0};
char status_text[256];

MENU file_menu[] = {
    /* text                            proc               child          flags       dp */
    { (char*)"&Open...\tCtrl+O",       open_settings,     nullptr,       0,          nullptr },
    { (char*)"&Save image as\tCtrl+S", save_chryzode,     nullptr,       D_DISABLED, nullptr },
    { (char*)"Save se&ttings...",      save_settings,     nullptr,       D_DISABLED, nullptr },
    { (char*)"&Graphics Mode",         change_gfx_mode,   nullptr,       0,          nullptr },
    { (char*)"&Quit\tCtrl+Q",          quit,              nullptr,       0,          nullptr },
    { nullptr,                         nullptr,           nullptr,       0,          nullptr }
};

MENU chryzode_menu[] = {
    /* text                            proc               child          flags       dp */
    { (char*)"&New\tCtrl+N",           new_chryzode,      nullptr,       0,          nullptr },
    { (char*)"&Rerender\tCtrl+R",      render_chryzode,   nullptr,       D_DISABLED, nullptr },
    { (char*)"&Colors",                change_color,      nullptr,       0,          nullptr },
    { (char*)"&Animate...",            animate_settings,  nullptr,       0,          nullptr },
    { (char*)"&Palette...",            palette_settings,  nullptr,       0,          nullptr },
    { nullptr,                         nullptr,           nullptr,       0,          nullptr }
};

MENU zoom_menu[] = {
    /* text                            proc               child          flags       dp */
    { (char*)"&Normal size",           zoom_normal,       nullptr,       D_DISABLED, nullptr },
    { (char*)"Zoom &Value",            zoom_change_value, nullptr,       D_DISABLED, nullptr },
    { (char*)"Zoom &Ratio",            zoom_change_ratio, nullptr,       D_DISABLED, nullptr },
    { (char*)"Zoom &Out",              zoom_out,          nullptr,       D_DISABLED, nullptr },
    { (char*)"Zoom &In",               zoom_in,           nullptr,       D_DISABLED, nullptr },
    { nullptr,                         nullptr,           nullptr,       0,          nullptr }
};

MENU help_menu[] = {
    /* text                            proc               child          flags       dp */
    { (char*)"&Keys...",               help_keys,         nullptr,       0,          nullptr },
    { (char*)"&About...",              about,             nullptr,       0,          nullptr },
    { nullptr,                         nullptr,           nullptr,       0,          nullptr }
};

MENU main_menu[] = {
    /* text                            proc               child          flags       dp */
    { (char*)"&File",                  nullptr,           file_menu,     0,          nullptr },
    { (char*)"&Chryzode",              nullptr,           chryzode_menu, 0,          nullptr },
    { (char*)"&Zoom",                  nullptr,           zoom_menu,     0,          nullptr },
    { (char*)"&Help",                  nullptr,           help_menu,     0,          nullptr },
    { nullptr,                         nullptr,           nullptr,       0,          nullptr }
};

// The view takes the keys that step the figure, Escape among them, which
// keeps the dialog manager from closing the main window with it. A menu
// item's shortcut is the control character of its key (Ctrl+N is 14).
DIALOG main_dialog[] = {
    /* proc             x  y    w    h   fg bg key  flags d1 d2 dp                             dp2      dp3 */
    { d_chryzode_proc,  0, 0,   0,   0,  0, 0, 0,   0,    0, 0, nullptr,                       nullptr, nullptr },
    { d_keyboard_proc,  0, 0,   0,   0,  0, 0, 'h', 0,    0, 0, (void*)hide,                   nullptr, nullptr },
    { d_menubar_proc,   0, 0,   0,   0,  0, 0, 0,   0,    0, 0, main_menu,                     nullptr, nullptr },
    { d_textbox_proc,   0, 460, 640, 20, 0, 0, 0,   0,    0, 0, nullptr,                       nullptr, nullptr },
    { d_yield_proc,     0, 0,   0,   0,  0, 0, 0,   0,    0, 0, nullptr,                       nullptr, nullptr },
    { d_shortcut_proc,  0, 0,   0,   0,  0, 0, 14,  0,    0, 0, &chryzode_menu[new_item],      nullptr, nullptr },
    { d_shortcut_proc,  0, 0,   0,   0,  0, 0, 18,  0,    0, 0, &chryzode_menu[rerender_item], nullptr, nullptr },
    { d_shortcut_proc,  0, 0,   0,   0,  0, 0, 19,  0,    0, 0, &file_menu[save_item],         nullptr, nullptr },
    { d_shortcut_proc,  0, 0,   0,   0,  0, 0, 17,  0,    0, 0, &file_menu[quit_item],         nullptr, nullptr },
    { d_shortcut_proc,  0, 0,   0,   0,  0, 0, 15,  0,    0, 0, &file_menu[open_item],         nullptr, nullptr },
    { nullptr,          0, 0,   0,   0,  0, 0, 0,   0,    0, 0, nullptr,                       nullptr, nullptr }
};

namespace {

DIALOG_PLAYER* player;

bool fail(const char* what)
{
    std::fprintf(stderr, "quorvane: %s\n", what);
    return false;
}

bool open_window()
{
    // At 8 bits the GUI's colours would need a palette: there, and on a
    // desktop that does not tell its depth, the window is in true colour,
    // which Allegro's X driver converts to the display's.
    const int depth = desktop_color_depth();
    set_color_depth(depth > 8 ? depth : 32);
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 640, 480, 0, 0) != 0 &&
        set_gfx_mode(GFX_AUTODETECT, 640, 480, 0, 0) != 0)
        return false;
    set_window_title("Quorvane - a chryzode explorer");
    set_close_button_callback(close_button_callback);
    return true;
}

}

namespace {

// Allegro keeps a menu bar open while the pointer rests on it, even once
// Escape has closed the menu it dropped: the bar then takes the arrows meant
// for the figure, and a menu clicked open needs a second Escape. So after
// Escape a pointer on the bar counts as off it until it moves.
std::atomic<bool> escaped{false};
int (*pointer_y)();
int (*other_key_hook)(int c, int* scancode);

// Called by Allegro for every key, from its own thread.
int note_escape(int c, int* scancode)
{
    if (*scancode == KEY_ESC)
        escaped = true;
    return other_key_hook ? other_key_hook(c, scancode) : c;
}

int pointer_y_off_bar()
{
    static bool parked = false;
    static int parked_x, parked_y;
    const int x = gui_mouse_x(), y = pointer_y();
    const DIALOG& bar = main_dialog[menu_bar_entry];
    if (escaped.exchange(false) && y >= bar.y && y < bar.y + bar.h) {
        parked = true;
        parked_x = x;
        parked_y = y;
    }
    parked = parked && x == parked_x && y == parked_y;
    return parked ? -1 : y;
}

}

int d_menubar_proc(int msg, DIALOG* d, int c)
{
    if (msg == MSG_START) {
        other_key_hook = std::exchange(keyboard_ucallback, note_escape);
        pointer_y = std::exchange(gui_mouse_y, pointer_y_off_bar);
    } else if (msg == MSG_END) {
        keyboard_ucallback = other_key_hook;
        gui_mouse_y = pointer_y;
    }
    return d_menu_proc(msg, d, c);
}

int d_chryzode_proc(int msg, DIALOG* d, int c)
{
    if (msg == MSG_XCHAR &&
        (view_key(c, key_shifts) || colour_key(c & 0xff) || explore_key(c >> 8, key_shifts & KB_SHIFT_FLAG)))
        return D_USED_CHAR;
    if (msg == MSG_CLICK)
        return view_click(gui_mouse_x(), gui_mouse_y());
    const int result = d_bitmap_proc(msg, d, c);
    if (msg == MSG_DRAW)
        draw_legend();
    return result;
}

void update_figure_commands()
{
    const int figure = state.drawn ? 0 : D_DISABLED;
    const bool stored = !(state.shown.type & on_the_fly);
    zoom_menu[normal_item].flags = figure;
    zoom_menu[value_item].flags = figure;
    zoom_menu[ratio_item].flags = stored ? figure : D_DISABLED;
    zoom_menu[out_item].flags = stored ? figure : D_DISABLED;
    zoom_menu[in_item].flags = stored && state.shown.zoom >= state.zoom_ratio ? figure : D_DISABLED;
    chryzode_menu[rerender_item].flags = figure;
    file_menu[save_item].flags = figure;
    file_menu[save_settings_item].flags = figure;
}

int hide()
{
    // The bars and the yield object; the shortcuts stay.
    for (int i = menu_bar_entry; i <= yield_entry; ++i)
        main_dialog[i].flags ^= D_HIDDEN;
    redraw_main();
    return D_O_K;
}

int quit()
{
    return D_CLOSE;
}

bool start_up()
{
    end_on_signals_and_display_loss();
    if (allegro_init() != 0)
        return fail("no graphical display can be opened; on a machine without one, "
                    "run it under xvfb-run -s '-screen 0 1280x1024x24'");
    take_fault_signals();
    install_keyboard();
    install_timer();
    install_mouse();
    watch_close_button();
    if (!open_window())
        return fail("no 640x480 window or screen mode can be opened");

    BITMAP* view = create_view_bitmap(SCREEN_W, SCREEN_H);
    if (!view)
        return fail("not enough memory for the picture");
    clear(view);
    main_dialog[view_entry].dp = view;
    main_dialog[view_entry].dp2 = new Cchryzode(view);
    set_figure(the_model(), state.shown);
    main_dialog[view_entry].w = view->w;
    main_dialog[view_entry].h = view->h;

    uszprintf(status_text, sizeof status_text, "Quorvane %s", QUORVANE_VERSION);
    main_dialog[status_bar_entry].dp = status_text;
    set_dialog_color(main_dialog, gui_fg_color, gui_bg_color);
    show_mouse(screen);
    player = init_dialog(main_dialog, -1);
    start_figure_work();
    return true;
}

namespace {

// The wheel magnifies about the pointer over the view, not over the bars.
void follow_wheel()
{
    const int z = mouse_z, notches = z - state.view.wheel;
    state.view.wheel = z;
    const DIALOG &menu = main_dialog[menu_bar_entry], &bar = main_dialog[status_bar_entry];
    const int x = mouse_x, y = mouse_y;
    const bool over_menu = !(menu.flags & D_HIDDEN) && x < menu.x + menu.w && y < menu.y + menu.h;
    const bool over_bar = !(bar.flags & D_HIDDEN) && y >= bar.y;
    if (notches != 0 && state.drawn && !over_menu && !over_bar)
        view_wheel(notches, x, y);
}

}

bool update_main_dialog()
{
    follow_wheel();
    // The view takes Escape, so only Quit closes the dialog.
    const bool closed = !update_dialog(player);
    poll_figure_work();
    poll_animation();
    // The yield object does not run while the bars are hidden or a menu is
    // open: give up the processor here too, so that waiting costs nothing,
    // but wake as soon as a figure is computed.
    wait_for_figure_work(1);
    return !closed && !close_button_clicked;
}

void run_main_dialog()
{
    while (update_main_dialog()) {
    }
}

void shut_down()
{
    stop_figure_work();
    shutdown_dialog(player);
    player = nullptr;
    delete static_cast<Cchryzode*>(main_dialog[view_entry].dp2);
    main_dialog[view_entry].dp = nullptr;
    main_dialog[view_entry].dp2 = nullptr;
}
