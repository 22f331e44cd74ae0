// Colors, the zoom dialogs, Save and the menu shortcuts, typed as a user would:
// one table of inputs and outcomes per dialog.
#include <filesystem>
#include <set>

#include "harness.h"

using namespace gui_test;

namespace {

class shell : public program_test {};

const step escape = keystroke(27);
step control(char letter) { return {letter - 'a' + 1, KEY_A + (letter - 'a'), nullptr}; }
step is_open(const std::string& title) { return when([title] { return dialog_title() == title; }); }

// After OK on a refused field: the alert, then the text of the field focused
// in the dialog shown again, then mend.
steps refused(std::string& alert, std::string& kept, const std::string& title, const steps& mend)
{
    const auto focused = [&kept] {
        for (int i = 0; active_dialog[i].proc; ++i)
            if (active_dialog[i].proc != d_button_proc && (active_dialog[i].flags & D_GOTFOCUS))
                kept = field_text(i);
    };
    return note_alert(alert) + steps{is_open(title), now(focused)} + mend;
}

TEST_F(shell, colors)
{
    const int fields[] = {9, 11, 13, 16, 18, 20, 23, 25, 27};
    const std::string title = "Chryzode colors", rule = "\nEach colour component is a whole number from 0 to 255.";
    const struct {
        std::string offered;   // the nine fields at opening
        steps typed;
        int swatch[3];         // the first one once typed; -1: crossed out, no colour
        std::string refusal, kept;   // after OK, and the refused text offered again
        steps mend;                  // or leave
        int after[9];                // the colours in use
    } table[] = {
        {"255 0 0 255 255 0 0 0 0", fill(9, 3, "10") + fill(11, 3, "20") + fill(13, 3, "30"), {10, 20, 30}, "", "",
         push(3), {255, 0, 0, 255, 255, 0, 0, 0, 0}},
        {"255 0 0 255 255 0 0 0 0", fill(9, 3, "999") + fill(27, 3, "7"), {-1}, "Color 1 R cannot be 999.", "999",
         fill(9, 3, "0") + steps{ok}, {0, 0, 0, 255, 255, 0, 0, 0, 7}},
        {"0 0 0 255 255 0 0 0 7", fill(18, 3, "x1"), {0, 0, 0}, "Color 2 V is not a number: x1", "x1", {escape},
         {0, 0, 0, 255, 255, 0, 0, 0, 7}},
        {"0 0 0 255 255 0 0 0 7", fill(25, 3, ""), {0, 0, 0}, "Background V is empty: it needs a number.", "",
         fill(25, 3, "9") + steps{ok}, {0, 0, 0, 255, 255, 0, 0, 9, 7}},
        {"0 0 0 255 255 0 0 9 7", fill(13, 3, "-1"), {-1}, "Color 1 B cannot be -1.", "-1", push(3),
         {0, 0, 0, 255, 255, 0, 0, 9, 7}},
    };
    const figure f{2, 301, 0, on_the_fly, 1};
    ASSERT_TRUE(typed(new_figure(f)));
    for (const auto& row : table) {
        SCOPED_TRACE(row.offered + " then " + row.kept);
        std::string offered, alert, kept;
        std::vector<int> swatch;   // off and on its cross
        const auto read = [&] {
            for (int field : fields)
                offered += (offered.empty() ? "" : " ") + field_text(field);
        };
        // Allegro draws a dialog in a pass with no key to take: wait for its white inside.
        const auto drawn = [] {
            const DIALOG& d = active_dialog[0];
            return getpixel(screen, d.x + d.w - 3, d.y + d.h - 3) == gui_bg_color;
        };
        const auto sample = [&] {
            const DIALOG& d = active_dialog[4];
            const bitmap_ptr shown = copy_of(screen);
            swatch = {getpixel(shown.get(), d.x + d.w / 2, d.y + 3), getpixel(shown.get(), d.x + d.w / 2, d.y + d.h / 2)};
        };
        const std::uint64_t requests = state.work.newest;
        const bitmap_ptr before = copy_of(view());
        ASSERT_TRUE(typed(open_dialog(KEY_C, 'c', title.c_str()) + steps{now(read)} + row.typed +
                          steps{when(drawn), now(sample)} +
                          (row.refusal.empty() ? row.mend : steps{ok} + refused(alert, kept, title, row.mend))));
        const int colour = makecol(row.swatch[0], row.swatch[1], row.swatch[2]);
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(swatch, row.swatch[0] < 0 ? std::vector<int>({gui_bg_color, gui_fg_color}) : std::vector<int>(2, colour));
        EXPECT_EQ(alert + "|" + kept, row.refusal.empty() ? "|" : title + "\n" + row.refusal + rule + "|" + row.kept);
        const int* c = row.after;
        const figure_settings in_use{f.n, f.m, f.r, f.type, f.zoom, {c[0], c[1], c[2]}, {c[3], c[4], c[5]}, {c[6], c[7], c[8]}};
        EXPECT_TRUE(state.wanted.fg1 == in_use.fg1 && state.wanted.fg2 == in_use.fg2 && state.wanted.bg == in_use.bg);
        // The colours wait for the next rendering, which paints the counts
        // on screen again without computing them.
        EXPECT_EQ(different_pixels(view(), before.get()), 0);
        ASSERT_TRUE(typed({keystroke(18)}));   // Ctrl+R: Rerender
        EXPECT_EQ(state.work.newest, requests) << "computed again";
        Cchryzode model(create_view_bitmap(view()->w, view()->h));
        set_figure(model, in_use);
        ASSERT_TRUE(model.calcul() && model.render());
        EXPECT_EQ(different_pixels(view(), model.bmp), 0);
        EXPECT_EQ(view_differs_on_screen(), 0);
    }
}

TEST_F(shell, zoom_dialogs)
{
    const struct {
        char dialog;   // 'v' Zoom Value, 'r' Zoom Ratio
        const char* typed;
        std::string refusal;   // after OK
        steps mend;            // once the dialog is back with what was typed
        int zoom, ratio;
    } table[] = {
        {'v', "12abc", "zoom is not a number: 12abc", fill(5, 11, "12") + steps{ok}, 12, 2},
        {'v', "0", "zoom cannot be 0.", push(3), 12, 2},
        {'v', "99999999999", "zoom cannot be 99999999999.", {escape}, 12, 2},
        {'v', " -4 ", "", {}, -4, 2},
        {'r', "0", "ratio cannot be 0.", fill(5, 3, "-3") + steps{ok}, -4, -3},
        {'r', "", "ratio is empty: it needs a number.", {escape}, -4, -3},
    };
    ASSERT_TRUE(typed(new_figure({2, 301, 0, 0, 1})));
    for (const auto& row : table) {
        SCOPED_TRACE(row.typed);
        const std::string title = row.dialog == 'v' ? "Zoom value" : "Zoom in/zoom out ratio",
                          rule = row.dialog == 'v' ? "The zoom is" : "The ratio is";
        std::string alert, kept;
        ASSERT_TRUE(typed(open_dialog(KEY_Z, row.dialog, title.c_str()) + fill(5, 11, row.typed) + steps{ok} +
                          (row.refusal.empty() ? steps{} : refused(alert, kept, title, row.mend))));
        EXPECT_EQ(alert + "|" + kept, row.refusal.empty() ? "|"
                                      : title + "\n" + row.refusal + "\n" + rule + " a whole number other than 0.|" + row.typed);
        EXPECT_EQ(std::to_string(state.shown.zoom) + " " + std::to_string(state.zoom_ratio),
                  std::to_string(row.zoom) + " " + std::to_string(row.ratio));
    }
}

TEST_F(shell, save)
{
    namespace fs = std::filesystem;
    char name[] = "/tmp/quorvane-shell-XXXXXX";
    const std::string dir = mkdtemp(name), dotted = dir + "/v1.2", unable = "Unable to save the image as\n";
    fs::create_directory(dotted);
    const struct {
        std::string directory;   // typed over the selector's, "" for none
        steps leave;             // the selector
        std::vector<std::pair<steps, std::string>> names;   // typed into "Save as" and its refusal
        std::string offered;     // by the selector, then by "Save as" at each opening
    } table[] = {
        {dotted, push(2),
         {{fill(5, 63, "") + steps{ok}, "The image needs a name to be saved.\n\n"},
          {fill(5, 63, "pic.jpg") + steps{ok}, unable + dotted + "/pic.jpg\nThe extension must be .bmp, .pcx, .tga or .png."},
          {fill(5, 63, "pic.png") + steps{ok}, ""}},
         "|.bmp||pic.jpg|"},
        {dir + "/other", {escape}, {}, dotted + "|"},   // nothing asked, the directory kept
        {dir + "/missing", push(2),
         {{{ok}, unable + dir + "/missing/pic.png\nNo such file or directory"}, {push(3), ""}},
         dotted + "|pic.png|pic.png|"},
    };
    ASSERT_TRUE(typed(new_figure({2, 301, 0, 0, 1})));
    for (const auto& row : table) {
        SCOPED_TRACE(row.directory);
        std::string offered, alert, alerts, expected_alerts;
        steps s = menu(KEY_F, 's') + steps{when([] { return dialog_title() == "" && !main_window_active(); }),
                                           now([&] { offered = &row == &table[0] ? "|" : field_text(4) + "|"; })};
        if (!row.directory.empty())
            s = s + steps{press(KEY_END)} + steps(191, keystroke(8)) + text(row.directory.c_str());
        s = s + row.leave;
        for (const auto& [typed_name, refusal] : row.names) {
            s = s + steps{is_open("Save as"), now([&] { offered += field_text(5) + "|"; })} + typed_name +
                note_alert(alert, !refusal.empty()) + steps{now([&] { alerts += std::exchange(alert, "") + "|"; })};
            expected_alerts += refusal + "|";
        }
        ASSERT_TRUE(typed(s));
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(alerts, expected_alerts);
        EXPECT_EQ(std::set<fs::path>(fs::recursive_directory_iterator(dir), {}),
                  (std::set<fs::path>{dotted, dotted + "/pic.png"}));   // saved once, in the dotted directory
    }
    fs::remove_all(dir);
}

TEST_F(shell, shortcuts)
{
    const std::string first = "Multiplication chryzode of n=2 in m=1499, from root r=1 ; zoom 1:1";
    const struct {
        step key;
        steps then;
        std::string status;
        bool computed;
    } table[] = {
        {control('r'), {}, "Quorvane " QUORVANE_VERSION, false},   // no figure yet: Rerender and Save inert
        {control('s'), {}, "Quorvane " QUORVANE_VERSION, false},
        {control('n'), {is_open("New chryzode"), ok}, first, true},
        {control('r'), {}, first, false},   // the same figure: painted again from its counts
        {control('s'), {when([] { return dialog_title() == "" && !main_window_active(); }), escape}, first, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.key.c);
        const std::uint64_t requests = state.work.newest;
        ASSERT_TRUE(typed(steps{row.key} + row.then));
        EXPECT_EQ(status_line(), row.status);
        EXPECT_EQ(state.work.newest != requests, row.computed);
    }
    type({control('q')});
    EXPECT_TRUE(run_main_to_end());
}

}
