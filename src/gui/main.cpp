// Quorvane, a chryzode explorer.
#include "gui.h"

int main()
{
    if (!start_up())
        return 1;
    run_main_dialog();
    shut_down();
    return 0;
}
END_OF_MAIN()
