// The program's shell: the main dialog, its menus, the globals the commands
// share, and the command callbacks.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <allegro.h>

#include "chryzode.h"
#include "settings.h"

using clock_time = std::chrono::steady_clock::time_point;

// Fixed entries of main_dialog.
constexpr int view_entry = 0;        // dp: the view bitmap, dp2: the model
constexpr int hotkey_entry = 1;
constexpr int menu_bar_entry = 2;
constexpr int status_bar_entry = 3;  // dp: status_text
constexpr int yield_entry = 4;

// Items of the menus, by index.
constexpr int open_item = 0, save_item = 1, save_settings_item = 2, gfx_mode_item = 3, quit_item = 4;  // file_menu
constexpr int new_item = 0, rerender_item = 1, colors_item = 2, animate_item = 3, palette_item = 4;  // chryzode_menu
constexpr int normal_item = 0, value_item = 1, ratio_item = 2, out_item = 3, in_item = 4;  // zoom_menu

// Room for an edit field of `chars` characters: Allegro's text is UTF-8, an
// edit field counts characters, and a character takes up to 4 bytes.
constexpr int edit_buffer_size(int chars) { return 4 * chars + 1; }

extern DIALOG main_dialog[];
extern MENU main_menu[], file_menu[], chryzode_menu[], zoom_menu[], help_menu[];
extern char status_text[256];

// The animation of n: a step each frame, at most fps frames a second, up to
// an optional last n.
struct animation {
    double step_complete = config::animation_step_complete, step_from_root = config::animation_step_from_root;
    int fps = config::animation_fps;
    bool has_last = false;
    double last = 0;
    bool running = false, paused = false;
    bool ends_after_frame = false;            // the frame asked for is the last n's
    std::vector<clock_time> shown_at;         // when its frames showed, the last second of them
};

// The worker's requests, as the main thread keeps track of them.
struct figure_work {
    std::uint64_t newest = 0;    // the number of the newest request; only its result is shown
    figure_request running;      // the request the worker has, or had last
    bool pending = false;        // wanted is not asked of the worker yet
    bool cancelled = false;      // by the user: no progress shown
    clock_time started{}, next_progress{}, last_shown{};
};

// A view of the figure: its magnification and centre.
struct view_place {
    double magnify, cx, cy;
};

// Moving about: the views seen before, for Backspace, and what the last
// move has to say.
struct view_state {
    std::vector<view_place> history;
    std::string notice;        // shown once in the status line
    int wheel = 0;             // mouse_z as last seen
};

// The figure and the view, the one place commands read and change them.
struct explorer_state {
    figure_settings shown;    // the figure on screen, which the status line names
    figure_settings wanted;   // the newest asked for; shown once computed. Its
                              // colours wait there for the next rendering.
    bool drawn = false;       // a figure was computed: the commands on it apply
    bool on_screen = false;   // the view holds the picture of shown
    int zoom_ratio = config::zoom_ratio;
    // A figure refused for want of memory, offered again by New to be mended.
    bool has_refused = false;
    figure_settings refused;
    animation anim;
    figure_work work;
    view_state view;
    bool legend = false;      // the colour bar over a corner of the view
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
// The menu bar: Allegro's, with Escape closing a menu opened with the mouse
// at once, the bar included.
int d_menubar_proc(int msg, DIALOG* d, int c);
int hide();
int help_keys();
int about();
int quit();
// The window's close button: raises close_button_clicked, which every modal
// loop and the main loop look at (clean_end.cpp).
void close_button_callback();
void watch_close_button();     // closes Allegro's own loops once it is raised
// Ends the program from inside any command, cleanly.
[[noreturn]] void end_program();

// Every key and mouse action of the main window, a line each: Help > Keys
// and --help both list them from here.
struct key_help {
    const char* keys;
    const char* action;
};
extern const key_help window_keys[];   // ended by {nullptr, nullptr}
constexpr std::size_t key_column = 19;
// The list as lines of text, each after indent, the actions in a column.
std::string window_keys_text(const char* indent);

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
int open_settings();
int save_settings();
int palette_settings();

// A figure read from a file, for the program to start on; false, once the
// reason is written on standard error, when the file holds no settings.
bool read_start_settings(const char* path, figure_settings& figure);
// Asks for a figure opened from a file, any animation stopped.
void open_figure(const figure_settings& figure);

// Before any thread is started: every signal whose default ends a process,
// and a lost X display, end it at once, cleanly.
void end_on_signals_and_display_loss();

// Shared by the commands.
Cchryzode& the_model();              // main_dialog[view_entry].dp2
// Coloured, centred, modal, with no object focused unless focus names one;
// the exit index. The close button ends the program from it.
int run_dialog(DIALOG* dialog, int focus = -1);
// Allegro's alert and file selector, which the close button ends too.
int modal_alert(const char* s1, const char* s2, const char* s3, const char* b1, const char* b2, int c1, int c2);
int modal_file_select(const char* message, char* path, const char* ext, int size, int w, int h);
constexpr int ok_entry = 2;           // the OK button of every command dialog
void show_status();                   // the model's description into the status bar's text
// Stretches the status bar across the screen at its foot, as tall as its
// text needs at that width.
void fit_status_bar();
// Enables the commands that need a figure, Zoom In exactly when the
// figure is stored and its zoom at least the ratio.
void update_figure_commands();
void redraw_main();                   // broadcast_dialog_message(MSG_DRAW, 0)
// The text, cut in the middle to "..." when it is too wide for an alert.
std::string fit_alert(const std::string& text);
// Tells the user that the figure needs `bytes` of memory, more than the
// machine has; the previous figure is kept.
void report_out_of_memory(std::uint64_t bytes);

// The figure's computation, on one worker thread (figure_work.cpp). The main
// loop polls it; the window stays alive meanwhile, and Escape cancels.
void start_figure_work();
void stop_figure_work();
// Asks for the figure: it becomes the newest request, computed, painted and
// shown from the main loop; the request under way gives way to it.
void ask_for_figure(const figure_settings& figure);
// Paints the figure on screen again from its counts, in the colours of figure.
void repaint_figure(const figure_settings& figure);
void poll_figure_work();      // from the main loop
// Sleeps up to ms milliseconds, less when the figure under way is computed.
void wait_for_figure_work(int ms);
bool figure_busy();
// Abandons the figure asked for; the one on screen stays current.
void cancel_figure();
void draw_view();             // the view and the bars onto the screen
// The status line: the figure on screen, and while another is computed, the
// one asked for with the state of the work: "... -> m=100199 (computing)".
std::string current_status(const std::string& work = "computing");
// figure with the colours and the colour map of colours_from: what a
// rendering of figure takes once colours were stored for the next.
figure_settings keep_colours(figure_settings figure, const figure_settings& colours_from);
// What differs in wanted from shown, for the status line: "m=100199 ", or
// "" when nothing but the colours does.
std::string asked_text(const figure_settings& shown, const figure_settings& wanted);

// Moving about the figure (view.cpp): magnifying and panning with the keys,
// the wheel and drags; Backspace goes back to the view before.
bool view_key(int c, int shifts);             // true when the key was used
void view_wheel(int notches, int px, int py);
int view_click(int x, int y);                 // a drag, or with Ctrl a rectangle

// The colour map (palette.cpp): p and Shift+p cycle the palettes, s the
// scales, l shows the legend.
bool colour_key(int ascii);                   // true when the key was used
// "; magma, log" for a colour map other than the default, else "".
std::string colour_map_text(const figure_settings& figure);
figure_settings with_colour_map(figure_settings figure, const figure_settings& from);
// The legend onto the screen over the view, when it is shown.
void draw_legend();

// Live exploration (explore.cpp): the keys that step the figure and the
// animation of n.
bool explore_key(int scancode, bool shift);   // true when the key was used
void poll_animation();        // from the main loop
bool frame_due();             // the next frame of the animation may show
void frame_shown();           // the animation's bookkeeping of a new frame
void stop_animation();
// The status line of the animation; false when none runs.
bool animation_status(char* text, int size);

// Number fields refuse what is not a number they take, each refusal in an
// alert naming the field and the rule broken, and the dialog runs again as
// it was typed. Use:
//   if (run_number_dialog(new_dialog, {{m_field, "m", positive_int, "m is ..."}, ...}) == ok_entry)
//   then read the fields' texts with read_number or read_decimal_number.
#include <vector>
enum class verdict {
    taken,
    not_a_number,     // empty text included
    not_whole,
    out_of_range,
    excluded,         // inside the range, yet not taken: a zoom of 0
    needs_complete,   // decimals, which only complete mode takes
    unreachable,      // a last n that the step never reaches
    too_long,         // a text taken, but filling its field: what was typed may be cut
};
struct number_field {
    int entry;                          // of the dialog; its dp holds the text
    const char* label;                  // the field's name, as the dialog shows it
    // The verdict on a text, given the dialog's context.
    verdict (*judge)(const char* text, const void* context);
    const char* rule;                   // what the field takes, its range included
};
// Runs dialog until it is left other than by OK, or by OK with every shown
// field's text taken; the exit index. The judges are given context. run shows
// the dialog with the focus on an entry (-1: none): after a refusal, on the
// refused field.
int run_number_dialog(DIALOG* dialog, const std::vector<number_field>& fields, const void* context = nullptr,
                      int (*run)(DIALOG* dialog, int focus) = run_dialog);

// The longest values of the fields: an int ("-2147483648") and n in its
// shortest exact form ("-1.2345678901234567e-300").
constexpr int int_chars = 11, multiplier_chars = 24;
// An edit field's d1 for values of up to `chars` characters: one more, so
// that a longer text typed fills the field and is refused, by its judge or
// as too long, rather than cut to a shorter value and taken.
constexpr int field_limit(int chars) { return chars + 1; }

// The int a field's text was judged to be (read_number of "12.0" is 12);
// 0 for none. Out of the int range it is the nearest int.
int read_number(const char* text);
// A whole number as typed: blanks, an optional sign, decimal digits, blanks.
// False for any other text, empty text included. A number far outside the
// int range comes out as far outside, never wrapped.
bool read_whole_number(const char* text, long long& value);
// A number with decimals as typed: blanks, parse_decimal's form with an
// optional exponent ("1e300", as multiplier_text may write), blanks. Never
// -0: a -0 typed reads as 0.
bool read_decimal_number(const char* text, double& value);
// The judge of a whole number from lo to hi, 0 excluded unless zero; the
// forms of read_decimal_number are read too, "12.0" as 12.
verdict judge_whole(const char* text, long long lo, long long hi, bool zero = true);
// Judges of whole numbers: any int, from 0 to 255, other than 0, 1 or more.
verdict any_int(const char* text, const void* context = nullptr);
verdict colour_component(const char* text, const void* context = nullptr);
verdict nonzero_int(const char* text, const void* context = nullptr);
verdict positive_int(const char* text, const void* context = nullptr);
// The judge of n: a number of magnitude within the int range, whole when the
// bool that `whole` points to is true (from a root).
verdict judge_multiplier(const char* text, const void* whole);

// The key of a menu item (its dp) in the main dialog: runs the item's
// command unless the item is disabled.
int d_shortcut_proc(int msg, DIALOG* d, int c);

// The figure's picture is kept in 32-bit colour whatever the screen's depth,
// so that saved pictures are exact; blitting it to the screen converts it.
BITMAP* create_view_bitmap(int w, int h);
