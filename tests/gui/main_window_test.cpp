// The main window: start-up state, the bars, Escape, About, Quit.
#include "harness.h"

#include "gui.h"

using namespace gui_test;

namespace {

class main_window : public program_test {};

TEST_F(main_window, starts_with_a_cleared_view_and_the_figure_commands_disabled)
{
    EXPECT_EQ(status_line(), "Quorvane 0.31");
    ASSERT_NE(view(), nullptr);
    EXPECT_EQ(view()->w, 640);
    EXPECT_EQ(view()->h, 480);
}

}
