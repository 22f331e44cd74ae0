// The program's shell: the main dialog, its menus, the globals the commands
// share, and the command callbacks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include <allegro.h>

#include "settings.h"

class Cchryzode;

// Fixed entries of main_dialog.
constexpr int view_entry = 0;        // dp: the view bitmap, dp2: the model
constexpr int hotkey_entry = 1;
constexpr int menu_bar_entry = 2;
constexpr int status_bar_entry = 3;  // dp: status_text
constexpr int yield_entry = 4;

// Items of the menus, by index.
constexpr int save_item = 0, gfx_mode_item = 1, quit_item = 2;                 // file_menu
constexpr int new_item = 0, rerender_item = 1, colors_item = 2, animate_item = 3;  // chryzode_menu
constexpr int normal_item = 0, value_item = 1, ratio_item = 2, out_item = 3, in_item = 4;  // zoom_menu

// Room for an edit field of `chars` characters: Allegro's text is UTF-8, an
// edit field counts characters, and a character takes up to 4 bytes.
constexpr int edit_buffer_size(int chars) { return 4 * chars + 1; }

extern DIALOG main_dialog[];
extern MENU main_menu[], file_menu[], chryzode_menu[], zoom_menu[], help_menu[];
extern char status_text[128];

// The animation of n: a step each frame, at most fps frames a second, up to
// an optional last n.
struct animation {
    double step_complete = 0.01, step_from_root = 1;
    int fps = 25;
    bool has_last = false;
    double last = 0;
    bool running = false, paused = false;
    double rate = 0;   // frames a second reached
};

// The figure and the view, the one place commands read and change them.
struct explorer_state {
    figure_settings shown;    // the figure on screen, which the status line names
    figure_settings wanted;   // the newest asked for; shown once computed
    bool drawn = false;       // a figure was computed: the commands on it apply
    bool on_screen = false;   // the view holds the picture of shown
    int zoom_ratio = 2;
    // A figure refused for want of memory, offered again by New to be mended.
    bool has_refused = false;
    figure_settings refused;
    animation anim;
};
extern explorer_state state;
extern std::atomic<int> close_button_clicked;

// Program life. start_up says why on standard error (or with
// allegro_message) and returns false when the program cannot run.
bool start_up();
void run_main_dialog();
void shut_down();
// One pass of the main loop; false once Quit or the close button ends it.
bool update_main_dialog();

// Main dialog callbacks.
int d_chryzode_proc(int msg, DIALOG* d, int c);
int hide();
int about();
int quit();
// The window's close button: ends the program, at once when a dialog of its
// own is open, else through the main loop (clean_end.cpp).
void close_button_callback();

// Commands.
int new_chryzode();
int render_chryzode();
int zoom_normal();
int zoom_change_value();
int zoom_change_ratio();
int zoom_out();
int zoom_in();
int change_color();
int change_gfx_mode();
int save_chryzode();
int animate_settings();

// Before any thread is started: every signal whose default ends a process,
// and a lost X display, end it at once, cleanly.
void end_on_signals_and_display_loss();

// Shared by the commands.
Cchryzode& the_model();              // main_dialog[view_entry].dp2
// Coloured, centred, modal, with no object focused unless focus names one;
// the exit index.
int run_dialog(DIALOG* dialog, int focus = -1);
constexpr int ok_entry = 2;           // the OK button of every command dialog
void show_status();                   // the model's description into the status bar's text
// Stretches the status bar across the screen at its foot, as tall as its
// text needs at that width.
void fit_status_bar();
// Enables the commands that need a figure, Zoom In exactly when the
// figure is stored and its zoom at least the ratio.
void update_figure_commands();
void redraw_main();                   // broadcast_dialog_message(MSG_DRAW, 0)
int read_number(const char* text);    // ustrtol base 10; no number reads as 0
// Tells the user that the figure needs `bytes` of memory, more than the
// machine has; the previous figure is kept.
void report_out_of_memory(std::uint64_t bytes);

// The figure's computation, on one worker thread (figure_work.cpp). The main
// loop polls it; the window stays alive meanwhile, and Escape cancels.
enum class figure_job { compute, again };   // again: on the fly, computed anew
void start_figure_work();
void stop_figure_work();
// Asks for the figure: abandons the one being computed, if any; it is
// computed, painted and shown from the main loop.
void ask_for_figure(const figure_settings& figure, figure_job kind = figure_job::compute);
void poll_figure_work();      // from the main loop
// Sleeps up to ms milliseconds, less when the figure under way is computed.
void wait_for_figure_work(int ms);
bool figure_busy();
// Abandons the figure being computed; the one on screen stays current.
void cancel_figure();
// Waits for the worker to let go of the model: the figure being computed
// is abandoned and asked for again later.
void settle_figure_work();
void draw_view();             // the view and the status bar onto the screen
// Repaints the figure on screen in other colours from its counts.
void recolour_figure(rgb fg1, rgb fg2, rgb bg);

// Live exploration (explore.cpp): the keys that step the figure and the
// animation of n.
bool explore_key(int scancode, bool shift);   // true when the key was used
void poll_animation();        // from the main loop
void frame_shown();           // the animation's bookkeeping of a new frame
void stop_animation();
// The status line of the animation; false when none runs.
bool animation_status(char* text, int size);

// Number fields refuse what is not a number they take, each refusal in an
// alert naming the field, and the dialog runs again as it was typed. Use:
//   if (run_number_dialog(new_dialog, {{m_field, "m", positive_int, "m is 1 or more."}, ...}) == ok_entry)
//   then read the fields' texts with read_number.
#include <vector>
enum class verdict { taken, not_a_number, refused };
struct number_field {
    int entry;                          // of the dialog; its dp holds the text
    const char* label;                  // the field's name, as the dialog shows it
    verdict (*judge)(const char* text);
    const char* rule;                   // what the field takes, said when it refuses
};
// Runs dialog until it is left other than by OK, or by OK with every shown
// field's text taken; the exit index. run shows the dialog with the focus on
// an entry (-1: none): after a refusal, on the refused field.
int run_number_dialog(DIALOG* dialog, const std::vector<number_field>& fields,
                      int (*run)(DIALOG* dialog, int focus) = run_dialog);
// A whole number as typed: blanks, an optional sign, decimal digits, blanks.
// False for any other text, empty text included. A number far outside the
// int range comes out as far outside, never wrapped.
bool read_whole_number(const char* text, long long& value);
// A number with decimals as typed: blanks, parse_decimal's form, blanks.
bool read_decimal_number(const char* text, double& value);
// The judge of a number with decimals that takes what `takes` takes.
verdict judge_decimal(const char* text, bool (*takes)(double value));
// Judges of whole numbers: any int, from 0 to 255, other than 0, 1 or more.
verdict any_int(const char* text);
verdict colour_component(const char* text);
verdict nonzero_int(const char* text);
verdict positive_int(const char* text);

// The key of a menu item (its dp) in the main dialog: runs the item's
// command unless the item is disabled.
int d_shortcut_proc(int msg, DIALOG* d, int c);

// The figure's picture is kept in 32-bit colour whatever the screen's depth,
// so that saved pictures are exact; blitting it to the screen converts it.
BITMAP* create_view_bitmap(int w, int h);
