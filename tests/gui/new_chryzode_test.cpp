// The New chryzode dialog and the Rerender command, typed into as a user
// would.
#include "harness.h"
#include "user_steps.h"

#include "chryzode.h"
#include "gui.h"
#include "memory.h"

using namespace gui_test;

namespace {

// Entries of the New chryzode dialog.
constexpr int ok_button = 2, cancel_button = 3, n_field = 5, m_field = 7, r_label = 8, r_field = 9,
              zoom_field = 11, from_root_button = 14, complete_button = 15, on_the_fly_button = 18,
              stored_button = 19;

const char* const first_status = "Multiplication chryzode of n=2 in m=1499, from root r=1 ; zoom 1:1";

class new_chryzode_command : public program_test {};

bool new_dialog_open()
{
    return dialog_title() == "New chryzode";
}

// What the open dialog offers.
struct offer {
    std::string n, m, r, zoom;
    bool from_root, on_the_fly, r_shown;
    bool operator==(const offer& o) const
    {
        return n == o.n && m == o.m && r == o.r && zoom == o.zoom && from_root == o.from_root &&
               on_the_fly == o.on_the_fly && r_shown == o.r_shown;
    }
};

std::ostream& operator<<(std::ostream& out, const offer& o)
{
    return out << "n=" << o.n << " m=" << o.m << " r=" << o.r << " zoom=" << o.zoom
               << (o.from_root ? " from root" : " complete") << (o.on_the_fly ? " on the fly" : " stored")
               << (o.r_shown ? " r shown" : " r hidden");
}

bool selected(int entry)
{
    return active_dialog[entry].flags & D_SELECTED;
}

bool shown(int entry)
{
    return !(active_dialog[entry].flags & D_HIDDEN);
}

offer offered()
{
    const auto text = [](int entry) { return std::string(static_cast<const char*>(active_dialog[entry].dp)); };
    // Exactly one button of each group is selected.
    EXPECT_NE(selected(from_root_button), selected(complete_button));
    EXPECT_NE(selected(on_the_fly_button), selected(stored_button));
    EXPECT_EQ(shown(r_label), shown(r_field));
    return {text(n_field), text(m_field), text(r_field), text(zoom_field),
            selected(from_root_button), selected(on_the_fly_button), shown(r_field)};
}

steps open_new()
{
    return open_dialog(KEY_C, 'n', "New chryzode");
}

// Reads the open dialog into `into` before the next key.
step look(offer& into)
{
    return when([&into] {
        if (!new_dialog_open())
            return false;
        into = offered();
        return true;
    });
}

constexpr int new_field_chars = 5;

std::vector<int> menu_flags()
{
    std::vector<int> flags;
    for (MENU* menu : {file_menu, chryzode_menu, zoom_menu})
        for (int i = 0; menu[i].text; ++i)
            flags.push_back(menu[i].flags);
    return flags;
}

// Everything the user sees of the figure.
struct figure_shown {
    std::string status;
    bitmap_ptr picture;
    std::vector<int> flags;
    int zoom;
};

figure_shown seen()
{
    return {status_line(), copy_of(view()), menu_flags(), zoom_value};
}

void expect_unchanged(const figure_shown& before)
{
    EXPECT_EQ(status_line(), before.status);
    EXPECT_EQ(different_pixels(view(), before.picture.get()), 0);
    EXPECT_EQ(menu_flags(), before.flags);
    EXPECT_EQ(zoom_value, before.zoom);
}

TEST_F(new_chryzode_command, first_values_draw_the_engines_figure)
{
    offer first{};
    type(open_new() + steps{look(first), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(first, (offer{"2", "1499", "1", "1", true, true, true}));
    EXPECT_EQ(status_line(), first_status);
    EXPECT_EQ(different_pixels(view(), engine_picture(2, 1499, 1, from_root | on_the_fly, 1).get()), 0);
    EXPECT_EQ(view_differs_on_screen(), 0);
    EXPECT_EQ(zoom_value, 1);
    EXPECT_EQ(menu_flags(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, D_DISABLED, D_DISABLED, D_DISABLED}));
}

TEST_F(new_chryzode_command, complete_hides_r_at_once_and_from_root_shows_it)
{
    // The r label and field are gone from the screen too: their place shows
    // the dialog's background alone.
    const auto r_gone_from_screen = [] {
        const bitmap_ptr shot = screen_copy();
        const DIALOG& box = active_dialog[0];
        const int background = getpixel(shot.get(), box.x + 2, box.y + box.h / 2);
        for (int entry : {r_label, r_field}) {
            const DIALOG& d = active_dialog[entry];
            for (int y = d.y; y < d.y + d.h; ++y)
                for (int x = d.x; x < d.x + d.w; ++x)
                    if (getpixel(shot.get(), x, y) != background)
                        return false;
        }
        return true;
    };
    bool gone = false, back = false;
    type(open_new() + choose(complete_button) +
         steps{when([&] { return gone = !shown(r_field) && !shown(r_label) && r_gone_from_screen(); })} +
         choose(from_root_button) + steps{when([&] { return back = shown(r_field) && shown(r_label); })} +
         choose(complete_button) + steps{ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_TRUE(gone);
    EXPECT_TRUE(back);
    EXPECT_EQ(status_line(), "Complete multiplication chryzode of n=2 in m=1499 ; zoom 1:1");

    // The next openings show r exactly when the mode kept is from root.
    offer after_complete{}, after_cancel{};
    type(open_new() + steps{look(after_complete)} + choose(from_root_button) + steps{tab_to(cancel_button), keystroke(' ')} + open_new() + steps{look(after_cancel), keystroke(27)});
    ASSERT_TRUE(finish_typing());
    EXPECT_FALSE(after_complete.from_root);
    EXPECT_FALSE(after_complete.r_shown);
    EXPECT_FALSE(after_cancel.from_root);
    EXPECT_FALSE(after_cancel.r_shown);
}

TEST_F(new_chryzode_command, cancel_and_escape_change_nothing)
{
    type(open_new() + steps{ok});
    ASSERT_TRUE(finish_typing());
    const figure_shown before = seen();
    const steps changes = fill(m_field, new_field_chars, "3000") + fill(zoom_field, new_field_chars, "4") +
                          choose(complete_button) + choose(stored_button);
    for (const steps& leave : {steps{tab_to(cancel_button), keystroke(' ')}, steps{keystroke(27)}}) {
        offer again{};
        type(open_new() + changes + leave + open_new() + steps{look(again), keystroke(27)});
        ASSERT_TRUE(finish_typing());
        expect_unchanged(before);
        EXPECT_EQ(again, (offer{"2", "1499", "1", "1", true, true, true}));
    }
}

struct zoom_case {
    int type, zoom;
    std::vector<int> zoom_flags;   // Normal size, Value, Ratio, Out, In
};

void PrintTo(const zoom_case& c, std::ostream* out)
{
    *out << (c.type & on_the_fly ? "on the fly" : "stored") << ", zoom " << c.zoom;
}

class zoom_menu_after_new : public program_test, public testing::WithParamInterface<zoom_case> {};

TEST_P(zoom_menu_after_new, follows_the_mode_and_the_zoom)
{
    const zoom_case c = GetParam();
    type(new_figure({3, 101, 1, c.type, c.zoom}));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(zoom_value, c.zoom);
    EXPECT_EQ(file_menu[save_item].flags, 0);
    EXPECT_EQ(chryzode_menu[rerender_item].flags, 0);
    std::vector<int> flags;
    for (int i = 0; zoom_menu[i].text; ++i)
        flags.push_back(zoom_menu[i].flags);
    EXPECT_EQ(flags, c.zoom_flags);
    EXPECT_EQ(different_pixels(view(), engine_picture(3, 101, 1, c.type, c.zoom).get()), 0);
}

constexpr int off = D_DISABLED;
INSTANTIATE_TEST_SUITE_P(modes, zoom_menu_after_new,
                         testing::Values(zoom_case{on_the_fly, 2, {0, 0, off, off, off}},
                                         zoom_case{from_root, 1, {0, 0, 0, 0, off}},
                                         zoom_case{0, 2, {0, 0, 0, 0, 0}}),
                         [](const testing::TestParamInfo<zoom_case>& info) {
                             return std::string(info.param.type & on_the_fly ? "on_the_fly" : "stored") +
                                    "_zoom_" + std::to_string(info.param.zoom);
                         });

TEST_F(new_chryzode_command, m_below_one_is_refused_and_the_typed_values_come_back)
{
    type(open_new() + steps{ok});
    ASSERT_TRUE(finish_typing());
    const figure_shown before = seen();

    std::string text;
    std::vector<std::string> buttons;
    offer again{};
    type(open_new() + fill(n_field, new_field_chars, "5") + fill(m_field, new_field_chars, "0") +
         choose(complete_button) + steps{ok} +
         steps{when([&] {
                   text = alert_text();
                   buttons = alert_buttons();
                   return alert_showing();
               }),
               keystroke('\r')} +
         open_new() + steps{look(again), keystroke(27)});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(text, "m = 0 cannot make a figure:\nthe number of points m must be 1 or more.\n");
    EXPECT_EQ(buttons, std::vector<std::string>{"OK"});
    expect_unchanged(before);
    EXPECT_EQ(again, (offer{"5", "0", "1", "1", false, true, false}));
}

TEST_F(new_chryzode_command, a_figure_too_large_for_the_memory_is_refused_and_the_last_one_stays)
{
    const figure last{2, 1499, 1, 0, 1};
    type(new_figure(last));
    ASSERT_TRUE(finish_typing());
    const figure_shown before = seen();

    // Every crossing of 99999 chords, stored: some 40 GB.
    Cchryzode probe(create_bitmap(1, 1));
    probe.set(2, 99999, 1, 0);
    if (probe.calcul_bytes() <= available_memory())
        GTEST_SKIP() << "this machine has the memory for the largest figure";
    std::string text;
    type(new_figure({2, 99999, 1, 0, 1}) + steps{note_alert(text), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(text.substr(0, text.find('\n')), "This figure is too large.");
    expect_unchanged(before);

    // The model has the last figure again: Rerender draws it.
    expect_rerender_draws(before.picture.get());
}

// Five accented letters take ten bytes: the fields hold them, and a text that
// is no number reads as 0.
TEST_F(new_chryzode_command, accented_letters_stay_within_the_fields)
{
    offer typed{};
    type(open_new() + fill(m_field, new_field_chars, "4éé") + fill(n_field, new_field_chars, "éééééé") +
         fill(r_field, new_field_chars, "ééééé") + fill(zoom_field, new_field_chars, "ééééé") +
         steps{look(typed), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(typed.n, "ééééé");
    EXPECT_EQ(typed.m, "4éé");
    EXPECT_EQ(typed.zoom, "ééééé");
    EXPECT_EQ(status_line(), "Multiplication chryzode of n=0 in m=4, from root r=0 ; zoom 1:0");
    EXPECT_EQ(zoom_value, 0);
}

TEST_F(new_chryzode_command, negative_n_and_r_beyond_m_are_drawn_as_their_residues)
{
    type(new_figure({-3, 1499, 1500, from_root | on_the_fly, 1}));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(status_line(), "Multiplication chryzode of n=-3 in m=1499, from root r=1500 ; zoom 1:1");
    EXPECT_EQ(different_pixels(view(), engine_picture(1496, 1499, 1, from_root | on_the_fly, 1).get()), 0);
}

TEST_F(new_chryzode_command, rerender_draws_the_figure_in_the_new_colours)
{
    type(open_new() + steps{ok});
    ASSERT_TRUE(finish_typing());
    the_model().set_colors(makecol(0, 0, 255), makecol(0, 255, 0), makecol(40, 40, 40));
    type(menu(KEY_C, 'r'));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(different_pixels(view(), engine_picture(2, 1499, 1, from_root | on_the_fly, 1).get()), 0);
    EXPECT_EQ(view_differs_on_screen(), 0);
    EXPECT_EQ(status_line(), first_status);
}

TEST_F(new_chryzode_command, the_zoom_field_offers_the_zoom_last_confirmed_in_it)
{
    type(new_figure({2, 301, 1, 0, 3}));
    ASSERT_TRUE(finish_typing());
    // As the zoom commands leave it.
    zoom_value = 6;
    the_model().set_zoom(6);
    offer again{};
    type(open_new() + steps{look(again), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(again.zoom, "3");
    EXPECT_EQ(zoom_value, 3);
    EXPECT_EQ(status_line(), "Complete multiplication chryzode of n=2 in m=301 ; zoom 1:3");
}

}
