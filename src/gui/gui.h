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
