#include "gui.h"

int save_chryzode() { return D_O_K; }
