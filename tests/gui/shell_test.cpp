// Colors, the zoom dialogs, Save and the menu shortcuts, typed as a user would:
// one table of inputs and outcomes per dialog.
#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "harness.h"
#include "settings_file.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

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
        {"255 0 0 255 255 0 0 0 0", fill(9, 3, "999") + fill(27, 3, "7"), {-1}, "Color 1 R = 999 is out of range.", "999",
         fill(9, 3, "0") + steps{ok}, {0, 0, 0, 255, 255, 0, 0, 0, 7}},
        {"0 0 0 255 255 0 0 0 7", fill(18, 3, "x1"), {0, 0, 0}, "Color 2 V is not a number: x1", "x1", {escape},
         {0, 0, 0, 255, 255, 0, 0, 0, 7}},
        {"0 0 0 255 255 0 0 0 7", fill(25, 3, ""), {0, 0, 0}, "Background V is empty: it needs a number.", "",
         fill(25, 3, "9") + steps{ok}, {0, 0, 0, 255, 255, 0, 0, 9, 7}},
        {"0 0 0 255 255 0 0 9 7", fill(13, 3, "-1"), {-1}, "Color 1 B = -1 is out of range.", "-1", push(3),
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
        {'v', "99999999999", "zoom = 99999999999 is out of range.", {escape}, 12, 2},
        {'v', "1e300", "zoom = 1e300 is out of range.", {escape}, 12, 2},
        {'v', "0.5", "zoom = 0.5 is not a whole number.", {escape}, 12, 2},
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
                                      : title + "\n" + row.refusal + "\n" + rule + " a whole number from -2147483648 to 2147483647, not 0.|" + row.typed);
        EXPECT_EQ(std::to_string(state.shown.zoom) + " " + std::to_string(state.zoom_ratio),
                  std::to_string(row.zoom) + " " + std::to_string(row.ratio));
    }
}

// Every number field holds its longest value, sign included: offered whole,
// typed whole and then taken (offered again as typed) or refused with the
// rule broken, never cut to a shorter value.
TEST_F(shell, number_fields)
{
    const double tiny = -1.2345678901234567e-300;
    const std::string longest = multiplier_text(tiny);   // n's longest shortest form
    ASSERT_EQ(longest.size(), 24u);
    const struct {
        char menu, item;   // Alt+menu, then the item's letter
        int entry, limit;  // the field and its limit, d1
        std::function<void()> set;   // what the dialog then offers
        std::string offered, typed, refusal;   // line 2 of the alert, "" when taken
    } table[] = {
        {'c', 'n', 7, 12, [] { state.wanted.m = 100199; }, "100199", "100000", ""},
        {'c', 'n', 11, 12, [] { state.wanted.zoom = INT_MIN; }, "-2147483648", "-2147483648", ""},
        {'c', 'n', 9, 12, [] { state.wanted.r = INT_MIN; }, "-2147483648", "2147483647", ""},
        {'c', 'n', 7, 12, [] {}, "", "21474836470", "m = 21474836470 is out of range."},
        {'c', 'n', 7, 12, [] {}, "", "0000000000010", "m takes at most 11 characters."},
        {'c', 'n', 5, 25, [] {}, "", "2.37", "n = 2.37: decimals need complete mode."},
        {'c', 'n', 5, 25, [] {}, "", "1e300", "n = 1e300 is out of range."},
        {'c', 'n', 5, 25, [=] { state.wanted = {tiny, 301, 0, 0, 1}; }, longest, "-0", ""},
        {'c', 'n', 5, 25, [] {}, "0", longest, ""},
        {'z', 'v', 5, 12, [] { state.wanted.zoom = INT_MIN; }, "-2147483648", "-2147483648", ""},
        {'z', 'r', 5, 12, [] {}, "2", "-2147483648", ""},
        {'c', 'c', 9, 4, [] {}, "255", "2550", "Color 1 R = 2550 is out of range."},
        {'c', 'a', 7, 5, [] {}, "25", "120", "frames/s = 120 is out of range."},
        {'c', 'a', 7, 5, [] {}, "25", "25.5", "frames/s = 25.5 is not a whole number."},
        {'c', 'a', 5, 25, [=] { state.anim.step_complete = tiny; }, longest, "0.5", ""},
        {'c', 'a', 9, 25, [] { state.wanted.n = 14; }, "", "10", "last n = 10 is never reached by the step."},
        {'c', 'a', 9, 25, [] {}, "", longest, "last n = " + longest + " is never reached by the step."},
    };
    ASSERT_TRUE(typed(new_figure({1, 301, 1, from_root, 1})));   // stored: every zoom command offered
    for (const auto& row : table) {
        SCOPED_TRACE(row.typed);
        const int bar = row.menu == 'c' ? KEY_C : KEY_Z;
        const auto field = [&] { return field_text(row.entry); };
        const std::string title = std::map<char, std::string>{{'n', "New chryzode"}, {'v', "Zoom value"},
            {'r', "Zoom in/zoom out ratio"}, {'c', "Chryzode colors"}, {'a', "Animation of n"}}.at(row.item);
        std::string offered, shown, alert, kept, again;
        bool fits = false;
        row.set();
        steps s = menu(bar, row.item) + steps{is_open(title), now([&] {
                      offered = field();
                      fits = active_dialog[row.entry].d1 == row.limit && active_dialog[0].w <= SCREEN_W &&
                             text_length(font, std::string(row.limit + 1, '0').c_str()) <= active_dialog[row.entry].w;
                  })} + fill(row.entry, 25, row.typed.c_str()) + steps{now([&] { shown = field(); }), ok};
        if (!row.refusal.empty())
            s = s + refused(alert, kept, title, {escape});
        else
            s = s + menu(bar, row.item) + steps{is_open(title), now([&] { again = field(); }), escape};
        ASSERT_TRUE(typed(s));
        EXPECT_TRUE(fits) << "the field holds " << row.limit << " characters and shows them";
        EXPECT_EQ(row.offered.empty() ? "" : offered, row.offered);
        EXPECT_EQ(shown, row.typed.substr(0, row.limit));
        EXPECT_EQ(alert.substr(0, alert.find('\n', title.size() + 1)), row.refusal.empty() ? "" : title + "\n" + row.refusal);
        EXPECT_EQ(row.refusal.empty() ? again : kept, row.refusal.empty() && row.typed == "-0" ? "0" : shown);
    }
}

// Allegro keeps the players of a menu clicked open and closed without a
// choice: its allocations meanwhile are left out of the leak check.
void allegro_leaks_ignored(bool ignored)
{
#ifdef __SANITIZE_ADDRESS__
    ignored ? __lsan_disable() : __lsan_enable();
#else
    (void)ignored;
#endif
}

// A menu clicked open closes with one Escape, its bar too, though the
// pointer rests on the bar: the next key steps the figure.
TEST_F(shell, escape_closes_a_clicked_menu)
{
    // Allegro's double-click timer asks for the buttons from a thread of its own.
    static std::atomic<bool> pressed{false};
    ASSERT_TRUE(typed(new_figure({2, 301, 0, on_the_fly, 1})));
    gui_mouse_b = [] { return typist::mouse_b() | int(pressed.load()); };
    position_mouse(12, 4);   // on File
    int passes = 0;
    ASSERT_TRUE(typed({now([] { allegro_leaks_ignored(true), pressed = true; }), when([&] { return ++passes > 10; }),
                       now([] { pressed = false; }),
                       // Menus close within a few passes, far sooner than a person types the next key.
                       when([&] { return ++passes > 30; }), escape, when([&] { return ++passes > 40; }),
                       now([] { allegro_leaks_ignored(false); }), press(KEY_RIGHT),
                       when([] { return state.wanted.n == 3; })}));
    // Help > Keys fits the window, its list whole, with no scroll bar.
    ASSERT_TRUE(typed(menu(KEY_H, 'k') + steps{is_open("Keys"), now([] {
                          const DIALOG &box = active_dialog[0], &list = active_dialog[3];
                          EXPECT_TRUE(box.x >= 0 && box.y >= 0 && box.x + box.w <= SCREEN_W && box.y + box.h <= SCREEN_H);
                          EXPECT_GE((list.h - 8) / text_height(font), list.d1);
                          EXPECT_EQ(static_cast<const char*>(list.dp), window_keys_text(""));
                      }), ok}));
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

// File > Open takes a figure from a settings file or a saved PNG, and
// refuses anything else with the reason, the figure on screen staying;
// File > Save settings writes the figure on screen.
TEST_F(shell, open_and_save_settings)
{
    namespace fs = std::filesystem;
    const std::string dir = fs::temp_directory_path() / ("quorvane-open-" + std::to_string(getpid()));
    fs::create_directories(dir);
    figure_settings wanted{3, 301, 0, on_the_fly, 1};
    wanted.magnify = 2;
    wanted.cx = 0.25;
    std::ofstream(dir + "/good.toml") << settings_text({wanted, 640, 480});
    std::ofstream(dir + "/bad.toml") << "format = \"quorvane 1\"\nm = 0\n";
    std::ofstream(dir + "/plain.txt") << "n = 3\n";
    const auto through_selector = [](char item, const std::string& path) {
        return menu(KEY_F, item) + steps{when([] { return dialog_title() == "" && !main_window_active(); }),
                                         press(KEY_END)} +
               steps(255, keystroke(8)) + text(path.c_str()) + steps{keystroke('\r')};
    };
    const struct {
        const char* file;
        std::string alert;   // its second and third lines; "" when opened
    } table[] = {
        {"good.toml", ""},
        {"missing.toml", "No such file or directory"},
        {"bad.toml", "line 2: m: expected a whole number from 1 to 2147483647, got 0"},
        {"plain.txt", "format: missing"},
    };
    ASSERT_TRUE(typed(new_figure({2, 1499, 1, from_root | on_the_fly, 1})));
    for (const auto& row : table) {
        SCOPED_TRACE(row.file);
        const figure_settings before = state.shown;
        std::string alert;
        ASSERT_TRUE(typed(through_selector('o', dir + "/" + row.file) + note_alert(alert, !row.alert.empty())));
        EXPECT_EQ(alert.substr(0, alert.find('\n')), row.alert.empty() ? "" : "Unable to open");
        EXPECT_NE(alert.find(row.alert), std::string::npos) << alert;
        const figure_settings& expected = row.alert.empty() ? wanted : before;
        EXPECT_TRUE(same_counts(state.shown, expected) && same_counts(state.wanted, expected)) << state.shown.n;
    }
    ASSERT_TRUE(typed(through_selector('t', dir + "/saved.toml")));
    picture_settings saved;
    std::string why;
    ASSERT_TRUE(read_settings_file(dir + "/saved.toml", saved, why)) << why;
    EXPECT_EQ(settings_text(saved), settings_text({state.shown, 640, 480}));
    fs::remove_all(dir);
}
