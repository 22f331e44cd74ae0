// Long figures computed in the background, typed into as a user would: the
// progress in the status bar, keys typed meanwhile, and Escape.
#include <chrono>
#include <cstdio>
#include <vector>

#include "harness.h"
#include "user_steps.h"

#include "chryzode.h"
#include "gui.h"

using namespace gui_test;

namespace {

using clock = std::chrono::steady_clock;

// Entries of the New chryzode dialog.
constexpr int cancel_button = 3, n_field = 5, m_field = 7, r_field = 9, zoom_field = 11, from_root_button = 14,
              on_the_fly_button = 18;

// What the status bar drew, seen from its own procedure; at the first
// progress shown the user types `keys`.
std::vector<std::string> drawn;
std::vector<int> keys;
// Escape typed, then the status bar drawn again with its status line.
clock::time_point escape_typed, restored;
std::string restored_status;

int spying_status_bar_proc(int msg, DIALOG* d, int c)
{
    if (msg == MSG_DRAW) {
        drawn.push_back(static_cast<const char*>(d->dp));
        if (escape_typed != clock::time_point() && restored_status.empty() && drawn.back().rfind("Computing", 0) != 0) {
            restored = clock::now();
            restored_status = drawn.back();
        }
        if (drawn.back().rfind("Computing", 0) == 0 && !keys.empty()) {
            for (int k : keys)
                simulate_ukeypress(k, k == 27 ? KEY_ESC : KEY_H);
            keys.clear();
            escape_typed = clock::now();
        }
    }
    return d_textbox_proc(msg, d, c);
}

// Everything a cancelled command must leave as it was.
struct state {
    bitmap_ptr picture;
    std::string status, offer;
    int zoom;
    std::vector<int> flags;
};

std::string offered()
{
    std::string offer;
    type(open_dialog(KEY_C, 'n', "New chryzode") +
         steps{look([] { return true; },
                    [&offer] {
                        for (int entry : {n_field, m_field, r_field, zoom_field})
                            offer += field_text(entry) + " ";
                        offer += std::to_string(active_dialog[from_root_button].flags & D_SELECTED) +
                                 std::to_string(active_dialog[on_the_fly_button].flags & D_SELECTED);
                    })} +
         push(cancel_button));
    EXPECT_TRUE(finish_typing());
    return offer;
}

state now()
{
    state s{copy_of(view()), status_line(), offered(), zoom_value, {}};
    for (MENU* menu : {file_menu, chryzode_menu, zoom_menu})
        for (int i = 0; menu[i].text; ++i)
            s.flags.push_back(menu[i].flags);
    for (int i = 0; main_dialog[i].proc; ++i)
        s.flags.push_back(main_dialog[i].flags);
    return s;
}

// Progress texts drawn, and whether one told the share done and the time left.
int progress_drawn(bool& told_share)
{
    int count = 0;
    for (const std::string& text : drawn)
        if (text.rfind("Computing", 0) == 0) {
            ++count;
            told_share |= text.rfind("Computing: ", 0) == 0 && text.find("% - ") != std::string::npos &&
                          text.find(" s left - Esc cancels") != std::string::npos;
        }
    return count;
}

class background : public program_test {
protected:
    void SetUp() override
    {
        program_test::SetUp();
        main_dialog[status_bar_entry].proc = spying_status_bar_proc;
        drawn.clear();
    }
};

struct long_work_case {
    const char* name;
    figure first, second;
    std::vector<int> typed_at_progress;
    bool progress, cancelled;
};

const long_work_case long_work_cases[] = {
    // A figure drawn in well under 0.2 s shows no progress text.
    {"quick", {3, 1201, 1, 0, 2}, {2, 1499, 1, from_root | on_the_fly, 1}, {}, false, false},
    // 'h' typed during the work is dropped, Escape cancels it.
    {"long, cancelled", {3, 1201, 1, 0, 2}, {2, 99999, 1, on_the_fly, 1}, {'h', 27}, true, true},
};

TEST_F(background, long_work_shows_progress_and_escape_leaves_everything_as_it_was)
{
    for (const long_work_case& c : long_work_cases) {
        SCOPED_TRACE(c.name);
        type(new_figure(c.first));
        ASSERT_TRUE(finish_typing());
        const state before = now();
        drawn.clear();
        keys = c.typed_at_progress;
        type(new_figure(c.second));
        ASSERT_TRUE(finish_typing(60));
        bool told_share = false;
        EXPECT_EQ(progress_drawn(told_share) > 0, c.progress);
        EXPECT_EQ(told_share, c.progress);
        if (!c.cancelled) {
            EXPECT_NE(status_line(), before.status);
            continue;
        }
        std::printf("Escape to the figure restored: %lld ms\n",
                    (long long)std::chrono::duration_cast<std::chrono::milliseconds>(restored - escape_typed).count());
        EXPECT_EQ(restored_status, before.status);
        EXPECT_EQ(view_differs_on_screen(), 0);
        const state after = now();
        EXPECT_EQ(different_pixels(after.picture.get(), before.picture.get()), 0);
        EXPECT_EQ(after.status, before.status);
        EXPECT_EQ(after.offer, before.offer);
        EXPECT_EQ(after.zoom, before.zoom);
        EXPECT_EQ(after.flags, before.flags);
        // The model still holds the first figure.
        expect_rerender_draws(before.picture.get());
    }
}

}
