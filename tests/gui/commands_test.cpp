// Every command typed into as a user would, one table of inputs and outcomes
// per dialog; after each row the program shows, and Rerender draws again,
// the engine's picture of the figure the row leaves.
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <random>
#include <climits>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "failing.h"
#include "harness.h"

// After the tests' headers: it defines None, Bool and the like.
#include <X11/Xlib.h>

using namespace gui_test;
namespace fs = std::filesystem;

namespace {

class gui : public program_test {};

constexpr int cancel = 3;
const steps escape{keystroke(27)};

std::string menu_states()
{
    std::string states;
    for (MENU* m : {file_menu, chryzode_menu, zoom_menu})
        for (int i = 0; m[i].text; ++i)
            states += m[i].flags & D_DISABLED ? '-' : '+';
    return states;
}

// The view (unless it waits for a Rerender), the screen and a Rerender all
// show the engine's picture of f.
void expect_figure(const figure& f, bool shown = true)
{
    const bitmap_ptr expected = engine_picture(f);
    EXPECT_EQ(different_pixels(view(), expected.get()) != 0, !shown);
    EXPECT_EQ(view_differs_on_screen(), 0);
    clear(view());
    type(menu(KEY_C, 'r'));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(different_pixels(view(), expected.get()), 0) << "after Rerender";
}

// What the open New dialog offers: n m r zoom, the modes, whether r shows.
std::string new_offer()
{
    std::ostringstream o;
    const auto on = [](int entry, int flag) { return (active_dialog[entry].flags & flag) != 0; };
    o << field_text(5) << " " << field_text(7) << " " << field_text(9) << " " << field_text(11)
      << (on(14, D_SELECTED) ? " root" : on(15, D_SELECTED) ? " complete" : " ?")
      << (on(18, D_SELECTED) ? " fly" : on(19, D_SELECTED) ? " stored" : " ?")
      << (on(8, D_HIDDEN) || on(9, D_HIDDEN) ? "" : " r");
    return o.str();
}

TEST_F(gui, new_chryzode)
{
    const char* first = "Multiplication chryzode of n=2 in m=1499, from root r=1 ; zoom 1:1";
    const char* large = "This figure is too large.";
    const struct {
        std::string offered;   // on opening
        steps typed;
        std::string before_leaving;
        steps leave;
        std::string alert;     // the start of the alert shown, if any
        figure shown;          // the figure shown after
        std::string status;
        std::string menus;     // File, Chryzode, Zoom items
        std::size_t refuse = 0;   // the size of an allocation to refuse
    } table[] = {
        {"2 1499 1 1 root fly r", {}, "2 1499 1 1 root fly r", {ok}, "", {2, 1499, 1, 3, 1}, first, "++++++++---"},
        {"2 1499 1 1 root fly r", push(15) + fill(5, 5, "-3") + fill(7, 5, "301") + fill(11, 5, "3"),
         "-3 301 1 3 complete fly", {ok}, "", {-3, 301, 1, 2, 3},
         "Complete multiplication chryzode of n=-3 in m=301 ; zoom 1:3", "++++++++---"},
        {"-3 301 1 3 complete fly", fill(7, 5, "999") + push(19), "-3 999 1 3 complete stored", push(cancel), "",
         {-3, 301, 1, 2, 3}, "Complete multiplication chryzode of n=-3 in m=301 ; zoom 1:3", "++++++++---"},
        {"-3 301 1 3 complete fly", push(14) + fill(9, 5, "1500") + fill(11, 5, "1") + fill(7, 5, "1499") + push(19),
         "-3 1499 1500 1 root stored r", {ok}, "", {1496, 1499, 1, 1, 1},
         "Multiplication chryzode of n=-3 in m=1499, from root r=1500 ; zoom 1:1", "++++++++++-"},
        {"-3 1499 1500 1 root stored r", fill(5, 5, "5") + fill(7, 5, "0"), "5 0 1500 1 root stored r", {ok},
         "m = 0 cannot make a figure:\nthe number of points m must be 1 or more.\n [OK]", {1496, 1499, 1, 1, 1},
         "Multiplication chryzode of n=-3 in m=1499, from root r=1500 ; zoom 1:1", "++++++++++-"},
        {"5 0 1500 1 root stored r", fill(7, 5, "99999") + push(15), "5 99999 1500 1 complete stored", {ok}, large,
         {1496, 1499, 1, 1, 1}, "Multiplication chryzode of n=-3 in m=1499, from root r=1500 ; zoom 1:1",
         "++++++++++-"},
        // computed, but the hit map of its drawing refused
        {"5 99999 1500 1 complete stored", fill(7, 5, "101"), "5 101 1500 1 complete stored", {ok}, large,
         {1496, 1499, 1, 1, 1}, "Multiplication chryzode of n=-3 in m=1499, from root r=1500 ; zoom 1:1",
         "++++++++++-", 640 * sizeof(int*)},
        {"5 101 1500 1 complete stored", fill(7, 5, "101\xc3\xa9") + fill(11, 5, "2"), "5 101\xc3\xa9 1500 2 complete stored",
         escape, "", {1496, 1499, 1, 1, 1}, "Multiplication chryzode of n=-3 in m=1499, from root r=1500 ; zoom 1:1",
         "++++++++++-"},
        {"-3 1499 1500 1 root stored r", fill(5, 5, "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9x") + fill(11, 5, "2") +
         push(15), "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9 1499 1500 2 complete stored", {ok}, "", {0, 1499, 1, 0, 2},
         "Complete multiplication chryzode of n=0 in m=1499 ; zoom 1:2", "+++++++++++"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.before_leaving);
        std::string offered, before_leaving, alert;
        refused_size = row.refuse;
        type(open_dialog(KEY_C, 'n', "New chryzode") +
             steps{look([] { return true; }, [&] { offered = new_offer(); })} + row.typed +
             steps{look([] { return true; }, [&] { before_leaving = new_offer(); })} + row.leave);
        if (!row.alert.empty())
            type({look(alert_showing, [&] { alert = alert_text(); }), ok});
        ASSERT_TRUE(finish_typing());
        refused_size = 0;
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(before_leaving, row.before_leaving);
        EXPECT_EQ(alert.substr(0, row.alert.size()), row.alert);
        EXPECT_EQ(status_line(), row.status);
        EXPECT_EQ(menu_states(), row.menus);
        EXPECT_EQ(zoom_value, row.shown.zoom);
        expect_figure(row.shown);
    }
}

TEST_F(gui, zoom)
{
    const struct {
        char dialog;           // 'v' Zoom Value, 'r' Zoom Ratio: opened first
        steps typed;
        std::string offered;   // in the dialog's field
        std::string alert;
        int zoom, ratio;
        bool zoom_in;
        int type;              // of the figure 2, 301, 1
    } table[] = {
        {0, menu(KEY_Z, 'o'), "", "", 2, 2, true, 0},
        {0, menu(KEY_Z, 'i'), "", "", 1, 2, false, 0},
        {'v', fill(5, 7, "3") + steps{ok}, "1", "", 3, 2, false, 0},   // Value leaves Zoom In as it was
        {0, menu(KEY_Z, 'o'), "", "", 6, 2, true, 0},
        {0, menu(KEY_Z, 'i'), "", "", 3, 2, true, 0},
        {'r', fill(5, 3, "5") + steps{ok}, "2", "", 3, 5, false, 0},
        {'r', fill(5, 3, "\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E") + steps{ok}, "5",
         "Zoom in/zoom out ratio\nA ratio of 0 cannot be used.\nThe ratio stays 5. [OK]", 3, 5, false, 0},
        {'r', fill(5, 3, "4") + push(cancel), "5", "", 3, 5, false, 0},
        {'v', fill(5, 7, "12abc") + steps{ok}, "3", "", 12, 5, false, 0},
        {0, menu(KEY_Z, 'o'), "", "", 60, 5, true, 0},
        {0, menu(KEY_Z, 'i'), "", "", 12, 5, true, 0},
        {0, menu(KEY_Z, 'n'), "", "", 1, 5, true, 0},   // Normal size leaves Zoom In as it was
        {0, menu(KEY_Z, 'i'), "", "", 0, 5, false, 0},
        {'v', fill(5, 7, "-3") + push(cancel), "0", "", 0, 5, false, 0},
        {'v', fill(5, 7, "-3") + steps{ok}, "0", "", -3, 5, false, 0},
        {'v', fill(5, 7, "9999999") + steps{ok}, "-3", "", 9999999, 5, false, 0},
        {'r', fill(5, 3, "999") + steps{ok}, "5", "", 9999999, 999, false, 0},
        {0, menu(KEY_Z, 'o'), "", "", 9999999, 999, false, 0},   // past the int range: stays
        {0, new_figure({2, 301, 1, 3, 1}), "", "", 1, 999, false, 3},
        // no memory for the new zoom
        {'v', fill(5, 7, "3") + steps{ok}, "1", "This figure is too large.", 1, 999, false, 3},
    };
    type(new_figure({2, 301, 1, 0, 1}));
    ASSERT_TRUE(finish_typing());
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << "zoom " << row.zoom << " ratio " << row.ratio);
        std::string offered, alert;
        steps s = row.typed;
        if (row.dialog)
            s = open_dialog(KEY_Z, row.dialog, row.dialog == 'r' ? "Zoom in/zoom out ratio" : "Zoom value") +
                steps{look([] { return true; }, [&] { offered = field_text(5); })} + row.typed;
        if (row.alert == "This figure is too large.")
            s.insert(s.end() - 1, look([] { return true; }, [] { refuse_arrays = true; }));
        if (!row.alert.empty())
            s = s + steps{look(alert_showing, [&] { alert = alert_text(); refuse_arrays = false; }), ok};
        type(s);
        ASSERT_TRUE(finish_typing());
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(alert.substr(0, row.alert.size()), row.alert);
        EXPECT_EQ(zoom_value, row.zoom);
        EXPECT_EQ(the_model().zoom, row.zoom);
        EXPECT_EQ(zoom_ratio, row.ratio);
        EXPECT_EQ(!(zoom_menu[in_item].flags & D_DISABLED), row.zoom_in);
        const std::string end = "zoom 1:" + std::to_string(row.zoom);
        EXPECT_EQ(status_line().substr(status_line().size() - end.size()), end);
        expect_figure({2, 301, 1, row.type, row.zoom});
    }
}

// The colour of a Colors swatch on the screen.
int swatch(int row)
{
    const DIALOG& d = active_dialog[4 + row];
    return getpixel(screen_copy().get(), d.x + d.w / 2, d.y + d.h / 2);
}

TEST_F(gui, colors)
{
    const int fields[] = {9, 11, 13, 16, 18, 20, 23, 25, 27};
    const struct {
        std::string offered;   // the nine fields
        std::vector<const char*> typed;   // into the fields in order, nullptr: left alone
        steps leave;
        int swatch[3];         // the first swatch as typed
        int colors[3][3];      // of the model after
    } table[] = {
        {"255 0 0 255 255 0 0 0 0", {"10", "20", "30"}, push(cancel), {10, 20, 30}, {{255, 0, 0}, {255, 255, 0}, {0, 0, 0}}},
        {"255 0 0 255 255 0 0 0 0", {"0", "0", "255", "0", "255", "0", "40", "40", "40"}, {ok}, {0, 0, 255},
         {{0, 0, 255}, {0, 255, 0}, {40, 40, 40}}},
        {"0 0 255 0 255 0 40 40 40", {"999", "-5", "300", nullptr, nullptr, nullptr, "7", "8", "\xF0\x9D\x84\x9E"}, {ok},
         {255, 0, 255}, {{255, 0, 255}, {0, 255, 0}, {7, 8, 0}}},
        {"255 0 255 0 255 0 7 8 0", {"1"}, escape, {1, 0, 255}, {{255, 0, 255}, {0, 255, 0}, {7, 8, 0}}},
    };
    const figure f{2, 301, 0, 0, 1};
    type(new_figure(f));
    ASSERT_TRUE(finish_typing());
    for (const auto& row : table) {
        SCOPED_TRACE(row.offered);
        std::string offered;
        int shown = -1;
        steps s = open_dialog(KEY_C, 'c', "Chryzode colors") + steps{look([] { return true; }, [&] {
                      for (int field : fields)
                          offered += (offered.empty() ? "" : " ") + field_text(field);
                  })};
        for (std::size_t k = 0; k < row.typed.size(); ++k)
            if (row.typed[k])
                s = s + fill(fields[k], 3, row.typed[k]);
        type(s + steps{look([] { return true; }, [&] { shown = swatch(0); })} + row.leave);
        const bitmap_ptr before = copy_of(view());
        ASSERT_TRUE(finish_typing());
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(shown, makecol(row.swatch[0], row.swatch[1], row.swatch[2]));
        const int* c = row.colors[0];
        EXPECT_EQ(the_model().fg1, makecol(c[0], c[1], c[2]));
        EXPECT_EQ(the_model().fg2, makecol(c[3], c[4], c[5]));
        EXPECT_EQ(the_model().bg, makecol(c[6], c[7], c[8]));
        EXPECT_EQ(different_pixels(view(), before.get()), 0) << "the picture waits for Rerender";
        expect_figure(f, &row == &table[0] || &row == &table[3]);
    }
}

// A refused mode leaves the alert and then the window: both must take keys
// from the X server, not only simulated ones.
bool takes_x_keys()
{
    const auto hidden = [] { return (main_dialog[menu_bar_entry].flags & D_HIDDEN) != 0; };
    if (std::system("xdotool search --name '^Quorvane - a chryzode explorer$' windowfocus --sync key h") != 0 ||
        !run_main_until(hidden, 10))
        return false;
    type({keystroke('h')});
    return run_main_until([&] { return !hidden(); });
}

TEST_F(gui, graphics_mode)
{
    const char* refused = "Error !\nUnable to change\nGraphics mode [OK]";
    const struct {
        int row;               // of the list
        steps leave;
        const char* refuse_gfx;
        const char* refuse_bitmap;
        int opened_on, w, h;
        std::string alert;
    } table[] = {
        {4, push(cancel), "", "", 0, 640, 480, ""},
        {3, {ok}, "fullscreen", "", 4, 640, 480, refused},
        {2, {ok}, "", "800x600", 3, 640, 480, refused},
        {2, {ok}, "", "", 2, 800, 600, ""},
        {4, {ok}, "", "", 2, 1024, 768, ""},
    };
    const figure f{2, 301, 0, 0, 1};
    type(new_figure(f));
    ASSERT_TRUE(finish_typing());
    for (const auto& row : table) {
        SCOPED_TRACE(row.row);
        setenv("QUORVANE_REFUSE_GFX", row.refuse_gfx, 1);
        setenv("QUORVANE_REFUSE_BITMAP", row.refuse_bitmap, 1);
        const bitmap_ptr before = copy_of(view());
        int opened_on = -1;
        std::string alert;
        steps s = open_dialog(KEY_F, 'g', "Changing graphics mode") +
                  steps{look([] { return true; }, [&] { opened_on = active_dialog[4].d1; }), tab_to(4),
                        press(KEY_HOME)};
        for (int i = 0; i < row.row; ++i)
            s.push_back(press(KEY_DOWN));
        if (!row.alert.empty())
            s = s + row.leave + steps{look(alert_showing, [&] { alert = alert_text(); })};
        type(s + (row.alert.empty() ? row.leave : steps{ok}));
        ASSERT_TRUE(finish_typing());
        EXPECT_EQ(opened_on, row.opened_on);
        EXPECT_EQ(alert, row.alert);
        EXPECT_TRUE(SCREEN_W == row.w && SCREEN_H == row.h && gfx_driver->windowed);
        EXPECT_TRUE(view()->w == row.w && view()->h == row.h && the_model().bmp == view());
        EXPECT_TRUE(main_dialog[view_entry].w == row.w && main_dialog[view_entry].h == row.h);
        const DIALOG& bar = main_dialog[status_bar_entry];
        EXPECT_TRUE(bar.x == 0 && bar.y == row.h - 20 && bar.w == row.w && bar.h == 20);
        const bitmap_ptr background(create_bitmap(row.w, row.h));
        clear_to_color(background.get(), the_model().bg);
        EXPECT_EQ(different_pixels(view(), row.w == before->w ? before.get() : background.get()), 0);
        EXPECT_EQ(view_differs_on_screen(), 0);
        if (!row.alert.empty()) {
            EXPECT_TRUE(takes_x_keys());
        }
        expect_figure(f, row.w == before->w);
    }
}

bool selector_showing()
{
    return active_dialog && !main_window_active() && active_dialog[1].dp &&
           std::string(static_cast<const char*>(active_dialog[1].dp)) == "Choose saving directory";
}

// Files in a directory, sorted.
std::string files_in(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename());
    std::string all;
    for (const std::string& name : names)
        all += name + " ";
    return all;
}

TEST_F(gui, save_image)
{
    char name[] = "/tmp/quorvane-save-XXXXXX";
    const std::string dir = mkdtemp(name);
    std::ofstream(dir + "/plain") << "a file";
    std::string long_name;
    for (int i = 0; i < 59; ++i)
        long_name += "\xF0\x9D\x84\x9E";
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY}, small{50000, RLIM_INFINITY};
    std::signal(SIGXFSZ, SIG_IGN);
    const struct {
        std::string directory;   // typed over the selector's
        steps name;              // typed into "Save as"
        std::string offered;     // by the selector and by "Save as"
        steps leave;
        std::string alert;
        std::string files;
        std::string saved = "";  // the file written
        bool file_limit = false;
    } table[] = {
        {dir, steps{tab_to(5), press(KEY_HOME)} + text("pic"), " .bmp", {ok}, "", "pic.bmp plain ", "pic.bmp"},
        {"", {}, dir + " pic.bmp", push(cancel), "", "pic.bmp plain "},
        {dir + "/", fill(5, 63, (long_name + ".bmp").c_str()), dir + " pic.bmp", {ok}, "",
         "pic.bmp plain " + long_name + ".bmp ", long_name + ".bmp"},
        {dir + "/plain/sub", fill(5, 63, "pic.bmp"), dir + "/ " + long_name + ".bmp", {ok},
         "Unable to save the image as\n" + dir + "/plain/sub/pic.bmp\nNot a directory [OK]", "pic.bmp plain " + long_name + ".bmp "},
        {dir + "/missing", {}, dir + "/plain/sub pic.bmp", {ok},
         "Unable to save the image as\n" + dir + "/missing/pic.bmp\nNo such file or directory [OK]",
         "pic.bmp plain " + long_name + ".bmp "},
        {dir, {}, dir + "/missing pic.bmp", {ok},
         "Unable to save the image as\n" + dir + "/pic.bmp\nWriting failed: the disk may be full. [OK]",
         "pic.bmp plain " + long_name + ".bmp ", "", true},
    };
    type(new_figure({2, 301, 0, 0, 1}));
    ASSERT_TRUE(finish_typing());
    std::string good;
    for (const auto& row : table) {
        SCOPED_TRACE(row.directory);
        std::string offered, alert;
        steps s = menu(KEY_F, 's') + steps{look(selector_showing, [&] { offered = field_text(4); })};
        if (!row.directory.empty())
            s = s + steps{press(KEY_END)} + steps(191, keystroke(8)) + text(row.directory.c_str());
        s = s + push(2) + steps{look([] { return dialog_title() == "Save as"; }, [&] { offered += " " + field_text(5); })} +
            row.name;
        if (row.file_limit)
            s.push_back(look([] { return true; }, [&] { setrlimit(RLIMIT_FSIZE, &small); }));
        s = s + row.leave;
        if (!row.alert.empty())
            s = s + steps{look(alert_showing, [&] { alert = alert_text(); setrlimit(RLIMIT_FSIZE, &unlimited); }), ok};
        type(s);
        ASSERT_TRUE(finish_typing());
        setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_EQ(&row == &table[0] ? offered.substr(offered.find(' ')) : offered, row.offered);
        EXPECT_EQ(alert, row.alert);
        EXPECT_EQ(files_in(dir), row.files);
        if (!row.saved.empty()) {
            const std::string saved_name = dir + "/" + row.saved;
            const bitmap_ptr saved(load_bmp(saved_name.c_str(), nullptr));
            ASSERT_TRUE(saved);
            EXPECT_EQ(different_pixels(saved.get(), view()), 0);
            EXPECT_EQ(fs::status(saved_name).permissions() & fs::perms::others_read, fs::perms::others_read);
        }
    }
    std::ifstream in(dir + "/pic.bmp", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}).size(), 54u + 640 * 480 * 3) << "the old picture stays whole";
    fs::remove_all(dir);
}

// Processor time the main loop takes over a second of waiting.
double busy_in_a_second()
{
    const std::clock_t cpu = std::clock();
    const auto wall = std::chrono::steady_clock::now();
    run_main_until([&] { return std::chrono::steady_clock::now() - wall > std::chrono::seconds(1); });
    return double(std::clock() - cpu) / CLOCKS_PER_SEC;
}

// What a window manager sends when the user clicks the close button.
void send_close_request()
{
    Display* display = XOpenDisplay(nullptr);
    Window root, parent, *children = nullptr, target = 0;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (std::string(name) == "Quorvane - a chryzode explorer")
                target = children[i];
            XFree(name);
        }
    }
    XFree(children);
    XEvent event{};
    event.xclient = {ClientMessage, 0, False, display, target, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, target, False, NoEventMask, &event);
    XCloseDisplay(display);
}

TEST_F(gui, main_window)
{
    const auto hidden = [] { return (main_dialog[menu_bar_entry].flags & D_HIDDEN) != 0; };
    EXPECT_TRUE(run_main_until(
        [] { return std::system("xdotool search --name '^Quorvane - a chryzode explorer$' >/dev/null") == 0; }));
    EXPECT_EQ(status_line(), "Quorvane 0.31");
    EXPECT_EQ(menu_states(), "-+++-+-----");
    ASSERT_TRUE(view()->w == 640 && view()->h == 480 && main_dialog[view_entry].w == 640);
    const bitmap_ptr black(create_bitmap(640, 480));
    clear(black.get());
    EXPECT_EQ(different_pixels(view(), black.get()), 0);
    EXPECT_LT(busy_in_a_second(), 0.3);
    EXPECT_EQ(view_differs_on_screen(), 0);

    std::string about;
    type({keystroke('h'), keystroke(27)});
    ASSERT_TRUE(run_main_until(hidden));
    EXPECT_LT(busy_in_a_second(), 0.3) << "bars hidden";
    EXPECT_EQ(different_pixels(screen_copy().get(), view()), 0) << "the view fills the window";
    type({keystroke(27), keystroke('h'), keystroke(27)});
    ASSERT_TRUE(run_main_until([&] { return !hidden(); }));
    type(menu(KEY_H, 'a') + steps{look(alert_showing, [&] { about = alert_text(); }), ok});
    ASSERT_TRUE(finish_typing()) << "Escape ended the program";
    EXPECT_EQ(about, "Quorvane - A chryzode explorer\nversion 0.32\nChryzodes drawn by their crossings [OK]");
    EXPECT_EQ(view_differs_on_screen(), 0);
    send_close_request();
    EXPECT_TRUE(run_main_to_end());
}

// A few hundred commands chosen at random with a fixed seed: after each one
// the program still responds and shows what the session asked for.
TEST_F(gui, long_session)
{
    std::mt19937 random(1499);
    const auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    figure shown{0, 0, 0, 0, 1};
    int ratio = 2;
    bool drawn = false;
    std::string status = status_line();
    bitmap_ptr picture = copy_of(view());
    for (int k = 0; k < 150; ++k) {
        figure f = shown;
        int command = in(0, 9);
        if (!drawn && command < 7)
            command = 0;
        steps s;
        bool draws = true;
        if (command <= 1) {
            f = {in(-3, 9), in(0, 8) ? in(1, 300) : in(-5, 0), in(-99, 999), in(0, 3), in(-3, 6)};
            s = new_figure(f);
            if (f.m < 1) {
                s = s + steps{when(alert_showing), ok};
                draws = false;
            }
        } else if (command == 2) {
            s = menu(KEY_C, 'r');
        } else if (command == 3) {
            const char* typed[] = {"0", "-3", "12abc", "7", ""};
            const char* t = typed[in(0, 4)];
            s = open_dialog(KEY_Z, 'v', "Zoom value") + fill(5, 7, t) + steps{ok};
            f.zoom = read_number(t);
        } else if (command == 4 && !(zoom_menu[ratio_item].flags & D_DISABLED)) {
            const int r = in(-3, 5);
            s = open_dialog(KEY_Z, 'r', "Zoom in/zoom out ratio") + fill(5, 3, std::to_string(r).c_str()) +
                steps{ok} + (r ? steps{} : steps{when(alert_showing), ok});
            ratio = r ? r : ratio;
            draws = false;
        } else if (command == 5 && !(zoom_menu[out_item].flags & D_DISABLED)) {
            const bool out = in(0, 1) && std::abs(std::int64_t(f.zoom) * ratio) < INT_MAX;
            if (!out && (zoom_menu[in_item].flags & D_DISABLED))
                continue;
            s = menu(KEY_Z, out ? 'o' : 'i');
            f.zoom = out ? f.zoom * ratio : f.zoom / ratio;
        } else if (command == 6) {
            s = open_dialog(KEY_C, 'c', "Chryzode colors") + fill(9 + 7 * in(0, 2), 3, std::to_string(in(0, 255)).c_str()) +
                (in(0, 1) ? steps{ok} : escape);
            draws = false;
        } else if (command == 7) {
            s = {keystroke('h'), keystroke(27), keystroke('h')};
            draws = false;
        } else {
            continue;
        }
        SCOPED_TRACE(testing::Message() << "command " << k << ": " << command << ", n=" << f.n << " m=" << f.m
                                        << " r=" << f.r << " type=" << f.type << " zoom=" << f.zoom);
        type(s);
        ASSERT_TRUE(finish_typing());
        if (draws) {
            picture = engine_picture(f);
            Cchryzode model(nullptr);
            model.set(f.n, f.m, f.r, f.type);
            model.set_zoom(f.zoom);
            char text[128];
            model.status(text);
            status = text;
            shown = f;
            drawn = true;
        }
        ASSERT_EQ(status_line(), status);
        ASSERT_EQ(different_pixels(view(), picture.get()), 0);
    }
    type(menu(KEY_F, 'q'));
    EXPECT_TRUE(run_main_to_end());
    shut_down();
    EXPECT_EQ(main_dialog[view_entry].dp2, nullptr);
}

}
