// The New chryzode dialog and the Rerender command.
#include "harness.h"

#include "chryzode.h"
#include "gui.h"

using namespace gui_test;

namespace {

class new_chryzode_command : public program_test {};

bool new_dialog_open() { return dialog_title() == "New chryzode"; }

TEST_F(new_chryzode_command, first_values_draw_the_engines_figure)
{
    type(menu(KEY_C, 'n'));
    type({when(new_dialog_open), keystroke('\r')});
    ASSERT_TRUE(run_main_until([] { return status_line() != "Quorvane 0.31"; }));
    EXPECT_TRUE(typed_all());
    EXPECT_EQ(status_line(), "Multiplication chryzode of n=2 in m=1499, from root r=1 ; zoom 1:1");
    EXPECT_EQ(different_pixels(view(), engine_picture(2, 1499, 1, from_root | on_the_fly, 1).get()), 0);
}

}
