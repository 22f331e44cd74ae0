// Placeholder until the main routine lands.
#include "gui.h"

int main() { return start_up() ? 0 : 1; }
END_OF_MAIN()
