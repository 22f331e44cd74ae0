// The engine without a display (Allegro's "none" system driver), and
// quorvane-render run as a program.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hwy/highway.h>

#include "chryzode.h"
#include "failing.h"
#include "kernels.h"
#include "kernels_fast.h"
#include "memory.h"

namespace {

struct figure {
    int w, h, n, m, r, type, zoom;
};

std::unique_ptr<Cchryzode> model_of(const figure& f, bool fast = true)
{
    auto model = std::make_unique<Cchryzode>(create_bitmap(f.w, f.h));
    model->set(f.n, f.m, f.r, f.type);
    model->set_zoom(f.zoom);
    model->set_fast(fast);
    return model;
}

// FNV-1a over the pixels.
std::uint64_t fingerprint(BITMAP* b)
{
    std::uint64_t h = 14695981039346656037ull;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x)
            h = (h ^ std::uint32_t(getpixel(b, x, y))) * 1099511628211ull;
    return h;
}

std::uint64_t picture_print(const figure& f, bool fast)
{
    auto model = model_of(f, fast);
    EXPECT_TRUE(model->calcul());
    EXPECT_EQ(model->pairs_done.load(), model->planned_pairs());
    EXPECT_TRUE(model->render());
    return fingerprint(model->bmp);
}

// Every figure through the plain and the fast loops, on the fly and stored:
// the same picture, the one it always was.
TEST(Figures, KnownPicturesThroughEveryLoop)
{
    const struct {
        figure f;
        std::uint64_t print;
    } table[] = {
        {{640, 480, 2, 1499, 1, from_root, 1}, 10165025243419369204ull},   // the first figure
        {{641, 479, 3, 700, 0, 0, 1}, 700413733303121244ull},                                  // odd size, complete
        {{161, 121, 3, 401, 0, 0, 3}, 3075934983472590739ull},
        {{160, 120, 2, 301, 1, 0, 0}, 309550808958009125ull},                                  // zoom 0: background
        {{160, 120, 3, 301, 1, 0, -2}, 8159487956308203008ull},                                 // mirrored
        {{160, 120, 2, 301, 1, 0, INT_MAX}, 7656057149881289125ull},
        {{160, 120, 2, 301, 1, 0, INT_MIN}, 14508987441735003273ull},
        {{160, 120, 2, 10, 1, from_root, 1}, 8074714406774410420ull},                           // orbit that never returns
        {{160, 120, INT_MAX, 997, INT_MIN, from_root, 1}, 18400817147487332959ull},              // products beyond 32 bits
        {{160, 120, 1, 50, 0, 0, 1}, 16214514119336377114ull},                                   // n = 1: all at the centre
        {{160, 120, 3, 1, 0, 0, 1}, 309550808958009125ull},                                    // m = 1
        {{160, 120, 300, 301, 0, 0, 3}, 2891308439445669914ull},                                // n = m - 1
        {{1, 3, 7, 200, 1, 0, -1}, 17008749526579337236ull},
    };
    for (const auto& row : table)
        for (int mode : {on_the_fly, 0})
            for (bool fast : {false, true}) {
                figure f = row.f;
                f.type |= mode;
                EXPECT_EQ(picture_print(f, fast), row.print)
                    << f.w << "x" << f.h << " n=" << f.n << " m=" << f.m << " r=" << f.r << " type=" << f.type
                    << " zoom=" << f.zoom << (fast ? " fast" : " plain");
            }
}

bool same_hits(int** a, int** b, int w, int h)
{
    for (int x = 0; x < w; ++x)
        if (std::memcmp(a[x], b[x], sizeof(int) * std::size_t(h)) != 0)
            return false;
    return true;
}

// Figures of thousands of chords, where a last-bit difference in a pixel
// coordinate shows: the fast loops on every instruction set give the plain
// loops' counts and list.
TEST(Figures, FastLoopsMatchThePlainOnesAtRandom)
{
    std::mt19937 random(20261207);
    const auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int k = 0; k < 6; ++k) {
        const figure f{in(1, 700), in(1, 500), in(2, 50), in(1500, 3000), 1, (k % 3 ? 0 : from_root) | on_the_fly,
                       in(-9, 9)};
        SCOPED_TRACE(testing::Message() << f.w << "x" << f.h << " n=" << f.n << " m=" << f.m << " zoom=" << f.zoom);
        figure stored = f;
        stored.type &= ~on_the_fly;
        const auto plain = model_of(f, false), plain_list = model_of(stored, false);
        ASSERT_TRUE(plain->calcul() && plain_list->calcul());
        for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
            hwy::SetSupportedTargetsForTest(target);
            SCOPED_TRACE(hwy::TargetName(target));
            const auto fast = model_of(f), fast_list = model_of(stored);
            ASSERT_TRUE(fast->calcul() && fast_list->calcul());
            EXPECT_TRUE(same_hits(plain->hits, fast->hits, f.w, f.h));
            EXPECT_EQ(std::memcmp(plain_list->inters, fast_list->inters, sizeof(Cpoint) * plain_list->pairs()), 0);
            const pixel_map map(f.w, f.h, f.zoom);
            int** a = new_hits(f.w, f.h);
            int** b = new_hits(f.w, f.h);
            scalar::count_points(plain_list->inters, plain_list->pairs(), map, a);
            fast::count_points(plain_list->inters, plain_list->pairs(), map, b);
            EXPECT_TRUE(same_hits(a, b, f.w, f.h));
            delete_hits(a, f.w);
            delete_hits(b, f.w);
        }
        hwy::SetSupportedTargetsForTest(0);
    }
}

TEST(Figures, ChordLists)
{
    const struct {
        int n, m, r, type;
        std::vector<int> seq;   // from seq[0] from a root, from seq[1] complete
    } table[] = {
        {2, 10, 0, 0, {2, 4, 6, 8, 0, 2, 4, 6, 8}},
        {2, 7, 1, from_root, {1, 2, 4, 1}},
        {2, 10, 1, from_root, {1, 2, 4, 8, 6, 2}},   // never back at r
        {0, 10, 3, from_root, {3, 0, 0}},
        {-5, 7, -6, from_root, {1, 2, 4, 1}},        // residues
        {5, 10, 0, from_root, {0, 0}},
        {INT_MAX, 10, 1, from_root, {1, 7, 9, 3, 1}},
        {2, 0, 1, from_root, {}},
    };
    for (const auto& row : table) {
        auto model = model_of({64, 48, row.n, row.m, row.r, row.type, 1});
        ASSERT_TRUE(model->calcul());
        const int first = row.type & from_root ? 0 : 1;
        EXPECT_EQ(std::vector<int>(model->seq + first, model->seq + model->count), row.seq)
            << row.n << " " << row.m << " " << row.r;
        EXPECT_EQ(model->planned_chords(), std::max(model->count - 1, 0));
    }
}

TEST(Geometry, IntersectionsAndPixels)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Cpoint p = inter({0, 0}, {1, 1}, {0, 1}, {1, 0}), parallel = inter({0, 0}, {1, 0}, {0, 1}, {1, 1}),
                 outside = inter({0, 0}, {1, 0}, {5, 1}, {5, 2});
    EXPECT_TRUE(p.x == 0.5f && p.y == 0.5f && parallel.x == 0 && parallel.y == 0);
    EXPECT_TRUE(outside.x == 5 && outside.y == 0);
    const struct {
        int w, h, zoom;
        float x, y;
        int X, Y;   // -1: outside
    } table[] = {
        {640, 480, 1, 0, 0, 320, 240},     {640, 480, 1, 1, 0, 560, 240},
        {640, 480, 1, 0, -1, 320, 0},      {640, 480, 1, 0, 1, -1, -1},
        {640, 480, 2, 1, 0, 440, 240},     {640, 480, 2, 0, 1, 320, 360},
        {640, 480, 1, -320.5f / 240, 0, 0, 240},   // -0.5 truncates to 0
        {640, 480, 1, -321.0f / 240, 0, -1, -1},
        {640, 480, 1, 319.5f / 240, 0, 639, 240},  {640, 480, 1, 320.0f / 240, 0, -1, -1},
        {640, 480, 0, 0, 0, -1, -1},       {640, 480, -1, 1, 0, 80, 240},
        {640, 480, INT_MAX, 0.9f, 0.9f, 320, 240}, {640, 480, INT_MIN, -0.9f, 0.9f, 320, 240},
        {640, 480, 1, 1e30f, 0, -1, -1},   {640, 480, 1, 0, nan, -1, -1},
    };
    for (const auto& row : table) {
        int X = -1, Y = -1;
        const bool inside = pixel_map(row.w, row.h, row.zoom).to_pixel({row.x, row.y}, X, Y);
        EXPECT_EQ(inside, row.X >= 0) << row.zoom << " " << row.x << " " << row.y;
        EXPECT_TRUE(!inside || (X == row.X && Y == row.Y)) << X << "," << Y << " for " << row.x << " " << row.y;
    }
}

// A stored model whose list puts counts[i] points on pixel (i, 0) of a 64x8
// bitmap and the rest outside.
std::unique_ptr<Cchryzode> model_with_counts(const std::vector<int>& counts)
{
    auto model = model_of({64, 8, 0, 0, 0, 0, 1});
    model->count = 363;   // 65341 pairs
    model->inters = new Cpoint[std::size_t(model->pairs())];
    std::int64_t t = 0;
    for (std::size_t i = 0; i < counts.size(); ++i)
        for (int k = 0; k < counts[i]; ++k)
            model->inters[t++] = Cpoint((float(i) - 31.5f) / 4, -3.5f / 4);
    while (t < model->pairs())
        model->inters[t++] = Cpoint(100, 100);
    return model;
}

TEST(Render, ColourRampInEveryDepthAndClipped)
{
    const std::vector<int> counts = {1, 2, 4, 100, 65026};
    const int yellow[] = {0, 75, 128, 230, 255}, other[][3] = {{200, 10, 90}, {150, 130, 90}, {110, 226, 90}};
    for (int depth : {8, 15, 16, 24, 32})
        for (bool clipped : {false, true}) {
            set_color_depth(depth);
            auto model = model_with_counts(counts);
            if (clipped) {   // drawn by putpixel, which leaves what lies outside the clip
                clear_to_color(model->bmp, model->bg);
                set_clip_rect(model->bmp, 0, 0, 2, 7);
            }
            ASSERT_TRUE(model->render());
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(getpixel(model->bmp, i, 0), clipped && i > 2 ? model->bg : makecol(255, yellow[i], 0))
                    << depth << " bits, count " << counts[i];
            EXPECT_EQ(getpixel(model->bmp, 5, 0), model->bg);
            EXPECT_EQ(getpixel(model->bmp, 0, 1), model->bg);
        }
    set_color_depth(32);
    auto model = model_with_counts({1, 4, 100});
    model->set_colors(makecol(200, 10, 90), makecol(100, 250, 90), makecol(1, 2, 3));
    ASSERT_TRUE(model->render());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(getpixel(model->bmp, i, 0), makecol(other[i][0], other[i][1], other[i][2]));
    EXPECT_EQ(getpixel(model->bmp, 5, 5), makecol(1, 2, 3));
}

TEST(Render, CountsSaturateAtIntMax)
{
    const pixel_map map(64, 48, 1);
    const std::vector<Cpoint> centre(1000, Cpoint(0, 0));
    for (auto count : {scalar::count_points, fast::count_points}) {
        int** hits = new_hits(64, 48);
        hits[32][24] = INT_MAX - 500;
        count(centre.data(), 1000, map, hits);
        EXPECT_EQ(hits[32][24], INT_MAX);
        delete_hits(hits, 64);
    }
}

TEST(Render, OnlyAMapOfTheBitmapsSizeIsDrawnAndRerenderRecomputesOnTheFly)
{
    for (int w : {30, 50}) {
        auto model = model_of({40, 30, 2, 101, 0, on_the_fly, 1});
        ASSERT_TRUE(model->calcul());
        BITMAP* old = model->bmp;
        model->set_bmp(create_bitmap(w, 30));
        destroy_bitmap(old);
        ASSERT_TRUE(model->render());
        EXPECT_EQ(fingerprint(model->bmp), picture_print({w, 30, 5, 1, 0, 0, 1}, true)) << w;
    }
    // New parameters: rerender computes them on the fly, and draws the list
    // already computed when stored.
    for (int mode : {on_the_fly, 0}) {
        auto model = model_of({120, 90, 2, 201, 0, mode, 1});
        ASSERT_TRUE(model->calcul() && model->render());
        model->set(3, 57, 0, mode);
        model->set_zoom(2);
        ASSERT_TRUE(model->rerender());
        EXPECT_EQ(fingerprint(model->bmp), picture_print({120, 90, mode ? 3 : 2, mode ? 57 : 201, 0, mode, 2}, true));
    }
}

// Every allocation of a computation or a stored rendering can fail, and
// threads may not start: the model keeps its figure, the bitmap its picture.
TEST(Failures, AllocationsAndThreadsThatCannotBeHad)
{
    for (int mode : {on_the_fly, 0}) {
        auto model = model_of({160, 120, 2, 301, 1, mode, 1});
        ASSERT_TRUE(model->calcul() && model->render());
        const std::uint64_t before = fingerprint(model->bmp);
        int injected = 0;
        for (long k = 0;; ++k, ++injected) {
            model->set(3, 211, 1, mode ^ from_root);
            const failing_after fail(k);
            if (model->calcul())
                break;
            allocations_left = -1;
            model->set(2, 301, 1, mode);
            ASSERT_TRUE(model->rerender());
            ASSERT_EQ(fingerprint(model->bmp), before) << "allocation " << k;
        }
        EXPECT_GT(injected, 3);
    }
    auto model = model_of({160, 120, 2, 301, 1, 0, 1});
    ASSERT_TRUE(model->calcul() && model->render());
    const std::uint64_t before = fingerprint(model->bmp);
    model->set_zoom(2);
    for (long k = 0;; ++k) {
        const failing_after fail(k);
        if (model->render())
            break;
        ASSERT_EQ(fingerprint(model->bmp), before) << "allocation " << k;
    }
    EXPECT_NE(fingerprint(model->bmp), before);
    for (int started : {0, 1}) {
        threads_left = started;
        EXPECT_EQ(picture_print({160, 120, 2, 401, 1, 0, 1}, true), picture_print({160, 120, 2, 401, 1, 0, 1}, false));
        threads_left = -1;
    }
}

TEST(Failures, FiguresLargerThanTheMemoryAreRefusedAndTheFigureKept)
{
    auto model = model_of({64, 48, 2, 1499, 1, from_root, 1});
    ASSERT_TRUE(model->calcul());
    const Cpoint* inters = model->inters;
    model->set(2, 99999, 1, 0);
    EXPECT_GE(model->calcul_bytes(), std::uint64_t(99998) * 99997 / 2 * 8);
    if (model->calcul_bytes() <= available_memory())
        GTEST_SKIP() << "this machine could hold the list";
    EXPECT_FALSE(model->calcul());
    EXPECT_EQ(model->inters, inters);
    EXPECT_EQ(model->count, 1499);
    model->set(2, INT_MAX, 1, 0);
    EXPECT_EQ(model->calcul_bytes(), UINT64_MAX);
}

// quorvane-render as a program.
struct tool_run {
    int status;
    std::string err;
};

std::string read_file(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

class render_tool : public testing::Test {
protected:
    std::string dir = [] {
        char name[] = "/tmp/quorvane-render-XXXXXX";
        return std::string(mkdtemp(name));
    }();
    ~render_tool() override { std::filesystem::remove_all(dir); }

    // Runs the tool through the shell, in the scratch directory.
    tool_run run(const std::string& args, const std::string& before = "")
    {
        const int s = std::system(("cd " + dir + " && " + before + " " RENDER_TOOL " " + args +
                                   " >" + dir + "/.out 2>" + dir + "/.err").c_str());
        tool_run r{WIFEXITED(s) ? WEXITSTATUS(s) : -1, read_file(dir + "/.err")};
        std::filesystem::remove(dir + "/.out");
        std::filesystem::remove(dir + "/.err");
        return r;
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(render_tool, DrawsTheEnginesPicture)
{
    ASSERT_EQ(run("-o p.bmp").status, 0);
    BITMAP* picture = load_bmp((dir + "/p.bmp").c_str(), nullptr);
    ASSERT_TRUE(picture);
    EXPECT_EQ(fingerprint(picture), picture_print({640, 480, 2, 1499, 1, from_root | on_the_fly, 1}, false));
    destroy_bitmap(picture);
    ASSERT_EQ(run("-n 5 -m 211 -r 7 --zoom -3 --size 150x260 --fg1 10,20,30 --fg2 200,100,50 --bg 0,0,64 "
                  "--stored -o p.bmp").status, 0);
    picture = load_bmp((dir + "/p.bmp").c_str(), nullptr);
    ASSERT_TRUE(picture);
    auto model = model_of({150, 260, 5, 211, 7, from_root, -3});
    model->set_colors(makecol(10, 20, 30), makecol(200, 100, 50), makecol(0, 0, 64));
    ASSERT_TRUE(model->calcul() && model->render());
    EXPECT_EQ(fingerprint(picture), fingerprint(model->bmp));
    destroy_bitmap(picture);
    ASSERT_EQ(run("--complete --on-the-fly -m 31 --size 64x48 -o p.bmp").status, 0);
    picture = load_bmp((dir + "/p.bmp").c_str(), nullptr);
    EXPECT_EQ(fingerprint(picture), picture_print({64, 48, 2, 31, 0, on_the_fly, 1}, false));
    destroy_bitmap(picture);
}

TEST_F(render_tool, BadInputIsRefusedWithOneLineAndStatus2)
{
    const std::string number = "expected a whole number from -2147483648 to 2147483647, got '";
    const std::string size = "--size: expected WxH with W and H each a whole number from 1 to 16384, got '";
    const std::string colour = ": expected R,G,B with each component a whole number from 0 to 255, got '";
    std::filesystem::create_directory(dir + "/sub");
    const struct {
        std::string args, message;
    } table[] = {
        {"--bogus", "--bogus: unknown or ambiguous option (see --help)"},
        {"-x", "-x: unknown option (see --help)"},
        {"-m", "-m: missing value (see --help)"},
        {"--quiet=1", "--quiet: takes no value (see --help)"},
        {"extra", "unexpected argument 'extra' (see --help)"},
        {"-n 2x", "-n: " + number + "2x'"},
        {"-n 2147483648", "-n: " + number + "2147483648'"},
        {"--zoom ''", "--zoom: " + number + "'"},
        {"-m 0", "-m: expected a whole number from 1 to 2147483647, got '0'"},
        {"-r 1499", "-r: expected a whole number from 0 to 1498 (below -m), got '1499'"},
        {"-m 10 -r -1", "-r: expected a whole number from 0 to 9 (below -m), got '-1'"},
        {"-r 3 --complete", "-r: from-root mode, cannot be combined with --complete"},
        {"--stored --on-the-fly", "--stored: cannot be combined with --on-the-fly"},
        {"--size 0x480", size + "0x480'"},
        {"--size 16385x16", size + "16385x16'"},
        {"--size 640x480x3", size + "640x480x3'"},
        {"--fg1 256,0,0", "--fg1" + colour + "256,0,0'"},
        {"--fg2 1,2", "--fg2" + colour + "1,2'"},
        {"--bg -1,0,0", "--bg" + colour + "-1,0,0'"},
        {"-o missing/x.bmp", "-o: cannot write 'missing/x.bmp': No such file or directory"},
        {"-o sub", "-o: cannot write 'sub': it is a directory"},
        {"-o /dev/null", "-o: cannot write '/dev/null': it is not a regular file"},
        {"-o ''", "-o: expected a file name, got ''"},
    };
    for (const auto& row : table) {
        const tool_run r = run("-o x.bmp " + row.args);
        EXPECT_EQ(r.status, 2) << row.args;
        EXPECT_EQ(r.err, "quorvane-render: " + row.message + "\n");
    }
    EXPECT_EQ(run("-m 5").err, "quorvane-render: -o: the output file is required\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"sub"});
}

// A failed write or an interrupted run leaves the file of that name as it
// was; a link keeps pointing at the picture.
TEST_F(render_tool, OutputIsWholeOrNotThere)
{
    std::ofstream(dir + "/x.bmp") << "the previous picture";
    const tool_run full = run("-m 101 -o x.bmp", "ulimit -f 100 &&");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "quorvane-render: cannot write 'x.bmp': File too large\n");
    EXPECT_EQ(run("-m 2000000 --complete -o x.bmp", "timeout 1").status, 124);
    const tool_run memory = run("-m 3000000 --complete --stored -o x.bmp");
    EXPECT_EQ(memory.status, 1);
    EXPECT_EQ(memory.err.rfind("quorvane-render: not enough memory: a 640x480 picture of this figure needs ", 0), 0u);
    EXPECT_EQ(entries(), std::vector<std::string>{"x.bmp"});
    EXPECT_EQ(read_file(dir + "/x.bmp"), "the previous picture");
    std::filesystem::create_symlink("x.bmp", dir + "/link.bmp");
    ASSERT_EQ(run("-m 31 --size 64x48 -o link.bmp").status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.bmp"));
    EXPECT_EQ(std::filesystem::file_size(dir + "/x.bmp"), 54u + 48 * 64 * 3);
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.bmp", "x.bmp"}));
}

}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    fast::set_threads(3);
    return RUN_ALL_TESTS();
}
