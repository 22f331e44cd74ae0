// A long session: a few hundred commands chosen at random with a fixed seed,
// typed as a user would. After each one the program must still respond, its
// status line must describe the figure the session asked for, and the view
// must hold the engine's own picture of it.
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>

#include "chryzode.h"
#include "user_steps.h"
#include "gui.h"
#include "memory.h"

using namespace gui_test;
namespace fs = std::filesystem;

namespace {

constexpr int commands = 300;

// Entries of the command dialogs.
constexpr int zoom_field = 5;
constexpr int mode_list = 4;
constexpr int selector_ok = 2, name_field = 5;
constexpr int colour_fields[9] = {9, 11, 13, 16, 18, 20, 23, 25, 27};

// What the session expects the program to show.
struct expectation {
    bool drawn = false;           // a figure exists
    figure shown{};               // its parameters
    int ratio = 2;
    bool bars_hidden = false;
    bitmap_ptr picture;           // the view
    std::string status = "Quorvane 0.31";
};

std::string status_of(const figure& f)
{
    Cchryzode model(nullptr);
    model.set(f.n, f.m, f.r, f.type);
    model.set_zoom(f.zoom);
    char text[128];
    model.status(text);
    return text;
}

class session {
public:
    explicit session(const std::string& dir) : dir(dir) { expect.picture = copy_of(view()); }

    // One command chosen at random; false when it could not be typed.
    bool step(std::mt19937& random)
    {
        auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        // The menus cannot open while the bars are hidden.
        if (expect.bars_hidden)
            return in(0, 2) ? toggle_bars() : escape();
        switch (in(0, 12)) {
        case 0:
        case 1: return new_figure_at_random(in);
        case 2: return rerender();
        case 3: return zoom_command(normal_item, in);
        case 4: return zoom_command(value_item, in);
        case 5: return zoom_command(ratio_item, in);
        case 6:
        case 7: return zoom_command(in(0, 1) ? out_item : in_item, in);
        case 8: return colors(in);
        case 9: return graphics_mode(in(0, 2) * 2);   // the windowed rows
        case 10: return save(in);
        case 11: return toggle_bars();
        default: return escape();
        }
    }

    std::map<std::string, int> tally;   // commands typed, by kind

    void check(int k) const
    {
        SCOPED_TRACE(testing::Message() << "after command " << k << ": " << last);
        ASSERT_TRUE(main_window_active());
        EXPECT_EQ(status_line(), expect.status);
        ASSERT_EQ(different_pixels(view(), expect.picture.get()), 0);
        if (expect.drawn) {
            EXPECT_EQ(zoom_value, expect.shown.zoom);
        }
    }

private:
    std::string dir;
    expectation expect;
    std::string last;
    int saves = 0;

    bool run(const std::string& name, const steps& s)
    {
        last = name;
        ++tally[name.substr(0, name.find(':'))];
        type(s);
        return finish_typing();
    }

    void drawn(const figure& f)
    {
        expect.drawn = true;
        expect.shown = f;
        expect.status = status_of(f);
        expect.picture = engine_picture(f.n, f.m, f.r, f.type, f.zoom);
    }

    bool new_figure_at_random(const std::function<int(int, int)>& in)
    {
        figure f{in(-9999, 99999), in(0, 8) ? in(1, 400) : in(-5, 0), in(-9999, 99999), in(0, 3), in(-3, 6)};
        if (in(0, 3) == 0)
            f.n = in(-3, 5);
        steps s = new_figure(f);
        const bool refused = f.m < 1;
        if (refused)
            s = s + steps{when(alert_showing), ok};
        if (!run("New: m=" + std::to_string(f.m), s))
            return false;
        if (!refused)
            drawn(f);
        return true;
    }

    bool rerender()
    {
        if (!expect.drawn)
            return true;
        if (!run("Rerender", menu(KEY_C, 'r')))
            return false;
        drawn(expect.shown);
        return true;
    }

    bool zoom_command(int item, const std::function<int(int, int)>& in)
    {
        if (zoom_menu[item].flags & D_DISABLED)
            return true;
        figure f = expect.shown;
        static const char item_keys[] = {'n', 'v', 'r', 'o', 'i'};
        steps s = menu(KEY_Z, item_keys[item]);
        bool renders = true;
        if (item == value_item) {
            static const char* const texts[] = {"0", "-3", "12abc", "7", "9999999", "  8", ""};
            const char* typed = texts[in(0, 6)];
            s = s + steps{when([] { return dialog_title() == "Zoom value"; })} + fill(zoom_field, 11, typed) +
                steps{ok};
            f.zoom = read_number(typed);
            renders = f.zoom != 0;
            if (!renders)
                s = s + steps{when(alert_showing), ok};
        } else if (item == ratio_item) {
            const int ratio = in(0, 4) ? in(-3, 5) : in(-99, 999);
            s = s + steps{when([] { return dialog_title() == "Zoom in/zoom out ratio"; })} +
                fill(zoom_field, 3, std::to_string(ratio).c_str()) + steps{ok};
            if (ratio == 0)
                s = s + steps{when(alert_showing), ok};
            else
                expect.ratio = ratio;
            renders = false;
        } else if (item == normal_item) {
            f.zoom = 1;
        } else if (item == out_item) {
            // A zoom past the int range is not applied.
            const std::int64_t product = std::int64_t(f.zoom) * expect.ratio;
            renders = product >= INT_MIN && product <= INT_MAX;
            f.zoom = renders ? int(product) : f.zoom;
        } else {
            renders = !(f.zoom == INT_MIN && expect.ratio == -1) && f.zoom / expect.ratio != 0;
            f.zoom = renders ? f.zoom / expect.ratio : f.zoom;
        }
        static const char* const names[] = {"Normal size", "Zoom Value", "Zoom Ratio", "Zoom Out", "Zoom In"};
        if (!run(names[item], s))
            return false;
        if (renders)
            drawn(f);
        return true;
    }

    bool colors(const std::function<int(int, int)>& in)
    {
        steps s = open_dialog(KEY_C, 'c', "Chryzode colors");
        for (int field : colour_fields)
            if (in(0, 2) == 0)
                s = s + fill(field, 3, std::to_string(in(-99, 999)).c_str());
        // OK or Cancel: either way the picture waits for the next rendering.
        return run("Colors", s + (in(0, 3) ? steps{ok} : steps{keystroke(27)}));
    }

    bool graphics_mode(int row)
    {
        steps s = open_dialog(KEY_F, 'g', "Changing graphics mode") + steps{tab_to(mode_list), press(KEY_HOME)};
        for (int i = 0; i < row; ++i)
            s.push_back(press(KEY_DOWN));
        if (!run("Graphics Mode: row " + std::to_string(row), s + steps{ok}))
            return false;
        // A fresh bitmap of the new size, cleared to the background.
        const int sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}};
        expect.picture.reset(create_bitmap(sizes[row / 2][0], sizes[row / 2][1]));
        clear_to_color(expect.picture.get(), the_model().bg);
        return true;
    }

    bool save(const std::function<int(int, int)>& in)
    {
        if (!expect.drawn)
            return true;
        const std::string name = "pic" + std::to_string(saves++ % 3) + ".bmp";
        const steps s = menu(KEY_F, 's') +
                        steps{when([] { return selector_showing("Choose saving directory"); })} +
                        clear_field(191) + text((dir + (in(0, 1) ? "/" : "")).c_str()) + push(selector_ok) +
                        steps{when([] { return dialog_title() == "Save as"; })} +
                        fill(name_field, 63, name.c_str()) + steps{ok};
        if (!run("Save: " + name, s))
            return false;
        PALETTE palette;
        const bitmap_ptr saved(load_bmp((dir + "/" + name).c_str(), palette));
        EXPECT_TRUE(saved && different_pixels(saved.get(), view()) == 0) << name;
        return true;
    }

    bool toggle_bars()
    {
        expect.bars_hidden = !expect.bars_hidden;
        return run("h (bars)", {keystroke('h')});
    }

    bool escape() { return run("Escape", {keystroke(27)}); }
};

class long_session : public program_test {};

TEST_F(long_session, random_commands_keep_the_program_sound)
{
    char name[] = "/tmp/quorvane-session-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    {
        session user(name);
        std::mt19937 random(1499);
        for (int k = 0; k < commands; ++k) {
            ASSERT_TRUE(user.step(random)) << "command " << k << " could not be typed";
            user.check(k);
            if (HasFatalFailure())
                break;
        }
        for (const auto& [kind, times] : user.tally)
            std::cout << times << " x " << kind << "\n";
    }
    fs::remove_all(name);
    type(menu(KEY_F, 'q'));
    EXPECT_TRUE(run_main_to_end());
}

}
