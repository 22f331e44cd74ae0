// The Help menu: the keys and mouse actions of the window, and About.
#include <string>

#include "gui.h"

const key_help window_keys[] = {
    {"Alt+F/C/Z/H", "the File, Chryzode, Zoom and Help menus"},
    {"Ctrl+N, Ctrl+R", "New chryzode, Rerender"},
    {"Ctrl+O", "Open... a settings file or a PNG picture Quorvane saved"},
    {"Ctrl+S, Ctrl+Q", "Save image as, Quit"},
    {"Right, Left", "n + 1, n - 1 (Shift: by 0.01 in complete mode)"},
    {"Up, Down", "m + 1, m - 1 (Shift: by 100)"},
    {"Wheel", "magnify or reduce about the pointer"},
    {"Drag", "pan the view"},
    {"Ctrl+drag", "fill the view with the rectangle drawn"},
    {"+, - (keypad too)", "magnify, reduce by 2"},
    {"Ctrl+arrows", "pan by a quarter of the view"},
    {"Home", "the whole figure again"},
    {"Backspace", "the previous view"},
    {"p, Shift+p", "the next, the previous palette"},
    {"s", "the next scale"},
    {"l", "show or hide the legend"},
    {"Space", "start, pause and resume the animation of n"},
    {"h", "hide or show the menu bar and the status bar"},
    {"Escape", "close a menu or dialog; stop a computation or animation"},
    {"Return", "OK in a dialog"},
    {nullptr, nullptr},
};

std::string window_keys_text(const char* indent)
{
    std::string text;
    for (const key_help* k = window_keys; k->keys; ++k)
        text += indent + (k->keys + std::string(key_column, ' ')).substr(0, key_column) + k->action + "\n";
    return text;
}

namespace {

constexpr int list_entry = 3;
std::string keys_text;

}

// The list under the title; its height is set from the list's lines.
DIALOG keys_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1 d2 dp                   dp2      dp3 */
    { d_box_proc,      0,   0,   620, 0,   0, 0, 0,  0,      0, 0, nullptr,             nullptr, nullptr },
    { d_textbox_proc,  0,   0,   620, 16,  0, 0, 0,  0,      0, 0, (void*)"Keys",       nullptr, nullptr },
    { d_button_proc,   260, 0,   100, 20,  0, 0, 13, D_EXIT, 0, 0, (void*)"OK",         nullptr, nullptr },
    { d_textbox_proc,  10,  26,  600, 0,   0, 0, 0,  0,      0, 0, nullptr,             nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0, 0, nullptr,             nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0, 0, nullptr,             nullptr, nullptr },
};

int help_keys()
{
    // The last opening left the table centred: lay it out from the corner.
    position_dialog(keys_dialog, 0, 0);
    keys_text = window_keys_text("");
    DIALOG& list = keys_dialog[list_entry];
    list.dp = keys_text.data();
    // The text box counts its lines at MSG_START, as it wraps them.
    object_message(&list, MSG_START, 0);
    list.h = list.d1 * text_height(font) + 8;
    keys_dialog[ok_entry].y = list.y + list.h + 10;
    keys_dialog[0].h = keys_dialog[ok_entry].y + keys_dialog[ok_entry].h + 10;
    run_dialog(keys_dialog);
    redraw_main();
    return D_O_K;
}

int about()
{
    modal_alert("Quorvane - A chryzode explorer", "version " QUORVANE_VERSION, "Chryzodes drawn by their crossings",
                "OK", nullptr, 0, 0);
    return D_O_K;
}
