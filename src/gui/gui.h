// The program's shell: the main dialog, its menus, the globals the commands
// share, and the command callbacks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include <allegro.h>

class Cchryzode;

// Fixed entries of main_dialog.
constexpr int view_entry = 0;        // dp: the view bitmap, dp2: the model
constexpr int hotkey_entry = 1;
constexpr int menu_bar_entry = 2;
constexpr int status_bar_entry = 3;  // dp: status_text
constexpr int yield_entry = 4;

// Items of the menus, by index.
constexpr int save_item = 0, gfx_mode_item = 1, quit_item = 2;                 // file_menu
constexpr int new_item = 0, rerender_item = 1, colors_item = 2;                // chryzode_menu
constexpr int normal_item = 0, value_item = 1, ratio_item = 2, out_item = 3, in_item = 4;  // zoom_menu

// Room for an edit field of `chars` characters: Allegro's text is UTF-8, an
// edit field counts characters, and a character takes up to 4 bytes.
constexpr int edit_buffer_size(int chars) { return 4 * chars + 1; }

extern DIALOG main_dialog[];
extern MENU main_menu[], file_menu[], chryzode_menu[], zoom_menu[], help_menu[];
extern char status_text[128];
extern int zoom_value;
extern int zoom_ratio;
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

// Before any thread is started: SIGTERM, SIGINT, SIGHUP and a lost X display
// end the process at once, cleanly.
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
// Zoom In is enabled exactly when the figure is stored and zoom_value is at
// least zoom_ratio.
void update_zoom_in();
void redraw_main();                   // broadcast_dialog_message(MSG_DRAW, 0)
int read_number(const char* text);    // ustrtol base 10; no number reads as 0
// Tells the user that the figure needs `bytes` of memory, more than the
// machine has; the previous figure is kept.
void report_out_of_memory(std::uint64_t bytes);
// Runs work, a computation of the model that returns false when it fails, on
// a worker thread. Meanwhile the window stays alive: the status bar shows how
// far the work is, other keys and the menus are ignored, and when
// `cancellable`, Escape or the close button stops the work through the
// model's cancel flag, which leaves the model and its picture as they were.
enum class work_end { done, failed, cancelled };
work_end run_in_background(const std::function<bool()>& work, bool cancellable = true);

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
