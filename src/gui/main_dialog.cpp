// Placeholder until the main dialog lands.
#include "gui.h"

DIALOG main_dialog[6];
MENU main_menu[1], file_menu[1], chryzode_menu[1], zoom_menu[1], help_menu[1];
char status_text[128];
int zoom_value = 1;
int zoom_ratio = 2;
std::atomic<int> close_button_clicked{0};

bool start_up() { return false; }
void run_main_dialog() {}
void shut_down() {}
int d_chryzode_proc(int msg, DIALOG* d, int c) { return d_bitmap_proc(msg, d, c); }
int hide() { return D_O_K; }
int about() { return D_O_K; }
int quit() { return D_CLOSE; }
void close_button_callback() { close_button_clicked = 1; }
