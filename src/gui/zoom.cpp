#include "gui.h"

int zoom_normal() { return D_O_K; }
int zoom_change_value() { return D_O_K; }
int zoom_change_ratio() { return D_O_K; }
int zoom_out() { return D_O_K; }
int zoom_in() { return D_O_K; }
