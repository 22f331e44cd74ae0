// A figure that is computed but cannot be drawn: the memory for the hit map
// of a stored figure is refused. The program says so and keeps the figure it
// showed, in the window and in the model.
#include <atomic>
#include <cstdlib>
#include <new>

#include "failing_new.h"
#include "user_steps.h"

#include "chryzode.h"
#include "gui.h"

using namespace gui_test;

namespace {

class draw_refusal : public program_test {};

// The column table of the hit map of the 640-pixel-wide view.
constexpr std::size_t hit_map_table = 640 * sizeof(int*);

// Complete, Stored, m = 101.
steps new_stored_figure(int n)
{
    return new_figure({n, 101, 1, 0, 1});
}

std::string alert_seen;

steps close_alert()
{
    return {note_alert(alert_seen), ok};
}

TEST_F(draw_refusal, keeps_the_figure_shown)
{
    type(new_stored_figure(2));
    ASSERT_TRUE(finish_typing());
    const std::string status = status_line();
    const bitmap_ptr before = copy_of(view());
    ASSERT_EQ(different_pixels(view(), engine_picture(2, 101, 1, 0, 1).get()), 0);

    refused_size = hit_map_table;
    type(new_stored_figure(3) + close_alert());
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(refused_size, 0u) << "nothing was refused";
    EXPECT_EQ(alert_seen.substr(0, alert_seen.find('\n')), "This figure is too large.");
    EXPECT_EQ(status_line(), status);
    EXPECT_EQ(different_pixels(view(), before.get()), 0);

    // The model has the figure shown again: Rerender draws it once more.
    expect_rerender_draws(before.get());
}

TEST_F(draw_refusal, on_rerender_keeps_the_picture)
{
    type(new_stored_figure(2));
    ASSERT_TRUE(finish_typing());
    const bitmap_ptr before = copy_of(view());
    the_model().set_colors(makecol(0, 0, 255), makecol(0, 255, 0), makecol(40, 40, 40));

    alert_seen.clear();
    refused_size = hit_map_table;
    type(menu(KEY_C, 'r') + close_alert());
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(alert_seen.substr(0, alert_seen.find('\n')), "This figure is too large.");
    EXPECT_EQ(different_pixels(view(), before.get()), 0);
}

}
