#include "gui.h"

int change_gfx_mode() { return D_O_K; }
