// Placeholder until the New chryzode command lands.
#include "gui.h"

int new_chryzode() { return D_O_K; }
int render_chryzode() { return D_O_K; }
