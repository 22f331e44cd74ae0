// The zoom as the user sees it: Zoom In offered exactly when it keeps the
// zoom at 1 or more, a zoom of 0 refused, the Zoom value field showing every
// zoom, the whole status line in view, and a figure refused for want of
// memory leaving the previous one as it was.
#include <sys/wait.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "chryzode.h"
#include "failing_new.h"
#include "gui.h"
#include "user_steps.h"

using namespace gui_test;

namespace {

constexpr int number_field = 5;
constexpr int stored_complete = 0, on_the_fly_root = from_root | on_the_fly;

bool zoom_in_enabled() { return zoom_menu[in_item].flags == 0; }

// One Zoom menu command: "n"ormal size, zoom "o"ut, zoom "i"n, "v<text>"
// typed as the zoom value, "r<text>" as the ratio; a trailing '!' closes the
// alert it brings and notes its text into `alert`.
steps command(std::string c, std::string& alert)
{
    const bool alerts = c.back() == '!';
    if (alerts)
        c.pop_back();
    const steps s = c[0] == 'v'   ? open_dialog(KEY_Z, 'v', "Zoom value") + fill(number_field, 11, &c[1]) + steps{ok}
                    : c[0] == 'r' ? open_dialog(KEY_Z, 'r', "Zoom in/zoom out ratio") + fill(number_field, 3, &c[1]) +
                                        steps{ok}
                                  : menu(KEY_Z, c[0]);
    return alerts ? s + steps{note_alert(alert), ok} : s;
}

struct zoom_case {
    const char* name;
    int type, zoom;                     // of the figure made first, n = 2, m = 301, r = 1
    std::vector<const char*> commands;
    int zoom_after;
    bool zoom_in_after;
    const char* alert;                  // the last alert seen, "" for none
};

const zoom_case zoom_cases[] = {
    {"normal_size_disables_zoom_in", stored_complete, 8, {"n"}, 1, false, ""},
    {"zoom_value_enables_zoom_in", stored_complete, 1, {"v16"}, 16, true, ""},
    {"a_ratio_at_or_below_the_zoom_enables_it", stored_complete, 4, {"r5", "r3"}, 4, true, ""},
    {"on_the_fly_zoom_in_stays_disabled", on_the_fly_root, 1, {"v16"}, 16, false, ""},
    {"zoom_value_0_is_refused", stored_complete, 3, {"v0!"}, 3, true,
     "Zoom value\nA zoom of 0 cannot be used.\nThe zoom stays 3."},
    {"zoom_in_by_a_negative_ratio_never_gives_0", stored_complete, 1, {"r-2", "i"}, 1, true, ""},
    {"three_zoom_outs_at_999", stored_complete, 1, {"r999", "o", "o", "o"}, 997002999, true, ""},
    {"the_most_negative_zoom", stored_complete, 1, {"v4194304", "r8", "o", "r-64", "o"}, INT_MIN, false, ""},
};

void PrintTo(const zoom_case& c, std::ostream* os) { *os << c.name; }

class zoom_rules : public program_test, public testing::WithParamInterface<zoom_case> {};

TEST_P(zoom_rules, zoom_in_alerts_and_the_field)
{
    const zoom_case& c = GetParam();
    std::string alert;
    steps s = new_figure({2, 301, 1, c.type, c.zoom});
    for (const char* k : c.commands)
        s = s + command(k, alert);
    type(s);
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(zoom_value, c.zoom_after);
    EXPECT_EQ(the_model().zoom, c.zoom_after);
    const std::string end = " ; zoom 1:" + std::to_string(c.zoom_after);
    EXPECT_EQ(status_line().substr(status_line().size() - end.size()), end);
    EXPECT_EQ(zoom_in_enabled(), c.zoom_in_after);
    EXPECT_EQ(alert, c.alert);

    // The field shows the zoom whole, and OK leaves it as it is.
    std::string shown;
    type(open_dialog(KEY_Z, 'v', "Zoom value") +
         steps{look([] { return !dialog_title().empty(); }, [&] { shown = field_text(number_field); }), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(shown, std::to_string(c.zoom_after));
    EXPECT_EQ(zoom_value, c.zoom_after);
}

INSTANTIATE_TEST_SUITE_P(cases, zoom_rules, testing::ValuesIn(zoom_cases),
                         [](const testing::TestParamInfo<zoom_case>& i) { return std::string(i.param.name); });

class status_bar : public program_test {};

// The status bar sits at the foot of the screen, across it, with room for
// every line of its text, and no taller than one line needs.
void expect_whole_status(int lines)
{
    redraw_main();   // the text box counts its lines as it draws
    const DIALOG& bar = main_dialog[status_bar_entry];
    EXPECT_EQ(bar.d1, lines) << status_line() << " at " << SCREEN_W;
    EXPECT_LE(bar.d1, (bar.h - 8) / text_height(font));
    EXPECT_EQ(bar.h, lines == 1 ? 20 : lines * text_height(font) + 8);
    EXPECT_EQ(bar.y + bar.h, SCREEN_H);
    EXPECT_EQ(bar.w, SCREEN_W);
}

steps graphics_mode(int row)
{
    steps s = open_dialog(KEY_F, 'g', "Changing graphics mode") + steps{tab_to(4), press(KEY_HOME)};
    for (int i = 0; i < row; ++i)
        s.push_back(press(KEY_DOWN));
    return s + steps{ok};
}

TEST_F(status_bar, shows_the_longest_text_at_every_width)
{
    std::string alert;
    const struct {
        steps done;
        int lines;
    } moments[] = {
        {new_figure({12345, 99999, 12345, on_the_fly_root, 1}), 1},
        {command("v1000000", alert), 2},
        {new_figure({-9999, 99999, -9999, from_root, 1}) + command("v4194304", alert) +
             command("r8", alert) + command("o", alert) + command("r-64", alert) + command("o", alert),
         2},
        {graphics_mode(4), 1},   // 1024x768
        {graphics_mode(2), 1},   // 800x600
        {graphics_mode(0), 2},   // 640x480
        {command("n", alert), 1},
    };
    for (const auto& m : moments) {
        type(m.done);
        ASSERT_TRUE(finish_typing());
        expect_whole_status(m.lines);
    }
    EXPECT_EQ(status_line(), "Multiplication chryzode of n=-9999 in m=99999, from root r=-9999 ; zoom 1:1");
}

// A stored figure of 4498500 points, 34 MB, and the hit map of the
// 640x480 view, 1.2 MB, whose column table is refused.
const figure big_stored{2, 3001, 1, stored_complete, 1};
constexpr std::size_t hit_map_table = 640 * sizeof(int*);
constexpr unsigned long long mb = 1024 * 1024, list_bytes = 4498500ull * 8,
                             map_bytes = 640ull * (sizeof(int*) + 480 * sizeof(int));

// The megabytes an alert says are needed.
unsigned long long megabytes_needed(const std::string& alert)
{
    const std::size_t at = alert.find("It needs ");
    return at == std::string::npos ? 0 : std::stoull(alert.substr(at + 9));
}

class refusal : public program_test {};

// Types s with the hit map's column table refused, and closes the alert.
void refused(const steps& s, std::string& alert)
{
    refused_size = hit_map_table;
    type(s + steps{note_alert(alert), ok});
}

TEST_F(refusal, first_figure_refused_leaves_the_model_empty)
{
    // The plain loops take no grids: what is refused is the list and the map.
    the_model().set_fast(false);
    std::string alert;
    refused(new_figure(big_stored), alert);
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(refused_size, 0u);
    EXPECT_EQ(status_line(), "Quorvane 0.31");
    EXPECT_EQ(the_model().inters, nullptr) << "the refused list is released";
    EXPECT_EQ(the_model().count, 0);
    EXPECT_GE(megabytes_needed(alert), (list_bytes + map_bytes) / mb) << alert;
}

TEST_F(refusal, the_previous_figure_stays_without_being_computed_again)
{
    type(new_figure({2, 101, 1, stored_complete, 1}));
    ASSERT_TRUE(finish_typing());
    const std::string status = status_line();
    const bitmap_ptr before = copy_of(view());
    const std::int64_t pairs_before = the_model().pairs_done;

    std::string alert;
    refused(new_figure(big_stored), alert);
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(refused_size, 0u);
    EXPECT_EQ(status_line(), status);
    EXPECT_EQ(different_pixels(view(), before.get()), 0);
    EXPECT_NE(the_model().pairs_done, pairs_before) << "the previous figure was computed again";
    EXPECT_EQ(the_model().pairs(), pairs_before);
    expect_rerender_draws(before.get());
}

TEST_F(refusal, a_redraw_refused_counts_the_hit_map_not_the_kept_list)
{
    type(new_figure(big_stored));
    ASSERT_TRUE(finish_typing());
    std::string alert;
    refused(menu(KEY_C, 'r'), alert);
    ASSERT_TRUE(finish_typing());
    EXPECT_LT(megabytes_needed(alert), list_bytes / mb) << alert;
}

TEST(render_tool, zoom_0_is_bad_input)
{
    const std::string picture = testing::TempDir() + "zoom_0.bmp";
    const int status = std::system((RENDER_TOOL " -q --zoom 0 -m 3 -o " + picture + " 2>/dev/null").c_str());
    std::remove(picture.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}
