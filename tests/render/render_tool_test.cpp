#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "allegro_none.h"
#include "memory.h"
#include "run_tool.h"

namespace {

using args = std::vector<std::string>;

// The engine's own picture of the same values, drawn in-process.
bitmap_ptr engine_picture(int w, int h, int n, int m, int r, int type, int zoom)
{
    auto model = make_model(w, h, n, m, r, type, zoom);
    EXPECT_TRUE(model->calcul() && model->render());
    return copy_of(model->bmp);
}

// Runs the tool, which must write its picture without a word (standard
// error is no terminal), and loads that picture.
bitmap_ptr picture_of(const scratch_dir& dir, args a)
{
    a.insert(a.end(), {"-o", dir / "picture.bmp"});
    const tool_run run = run_tool(a);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return bitmap_ptr(load_bmp((dir / "picture.bmp").c_str(), nullptr));
}

long pixels_other_than(BITMAP* b, int color)
{
    long count = 0;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x)
            count += getpixel(b, x, y) != color;
    return count;
}

TEST(Picture, DefaultsAreTheNewDialogsFirstFigure)
{
    const scratch_dir dir;
    const bitmap_ptr picture = picture_of(dir, {});
    ASSERT_TRUE(picture);
    const bitmap_ptr expected = engine_picture(640, 480, 2, 1499, 1, from_root | on_the_fly, 1);
    EXPECT_TRUE(same_pixels(picture.get(), expected.get()));
    EXPECT_GT(pixels_other_than(picture.get(), makecol(0, 0, 0)), 10000);
    EXPECT_EQ(dir.entries(), args{"picture.bmp"});
}

TEST(Picture, EveryOptionReachesTheEngine)
{
    const scratch_dir dir;
    bitmap_ptr picture = picture_of(dir, {"-n", "3", "-m", "301", "--complete", "--stored", "--zoom", "2",
                                          "--size", "320x200", "--fg1", "10,20,30", "--fg2", "200,100,50",
                                          "--bg", "0,0,64"});
    ASSERT_TRUE(picture);
    auto model = make_model(320, 200, 3, 301, 0, 0, 2);
    model->set_colors(makecol(10, 20, 30), makecol(200, 100, 50), makecol(0, 0, 64));
    ASSERT_TRUE(model->calcul() && model->render());
    EXPECT_TRUE(same_pixels(picture.get(), model->bmp));
    EXPECT_GT(pixels_other_than(picture.get(), makecol(0, 0, 64)), 1000);

    picture = picture_of(dir, {"-n", "5", "-m", "211", "-r", "7", "--on-the-fly", "--zoom", "-1", "--size", "150x260"});
    ASSERT_TRUE(picture);
    EXPECT_TRUE(same_pixels(picture.get(), engine_picture(150, 260, 5, 211, 7, from_root | on_the_fly, -1).get()));
}

TEST(Picture, LargeSizeWorks)
{
    const scratch_dir dir;
    const bitmap_ptr picture = picture_of(dir, {"-m", "60", "--complete", "--size", "4096x4096"});
    ASSERT_TRUE(picture);
    EXPECT_TRUE(same_pixels(picture.get(), engine_picture(4096, 4096, 2, 60, 0, on_the_fly, 1).get()));
}

// The largest picture is made when the memory check lets it, and refused
// with a message otherwise; it never crashes.
TEST(Picture, LargestSizeFollowsTheMemoryCheck)
{
    const scratch_dir dir;
    const std::int64_t file_size = 54 + std::int64_t(16384) * 16384 * 3;
    struct statvfs disk;
    if (statvfs(dir.path.c_str(), &disk) == 0 && std::int64_t(disk.f_bavail) * std::int64_t(disk.f_frsize) < 2 * file_size)
        GTEST_SKIP() << "no room on the disk for an 805 MB picture";
    const std::uint64_t available = available_memory();
    const tool_run run = run_tool({"-m", "20", "--complete", "--size", "16384x16384", "-o", dir / "big.bmp"});
    ASSERT_TRUE(run.status == 0 || run.status == 1) << "signal " << run.signal;
    // bitmap and hit map: 4 bytes a pixel each
    const std::uint64_t need = std::uint64_t(2) * 4 * 16384 * 16384;
    if (run.status == 0) {
        EXPECT_LT(need / 2, available);
        struct stat st;
        ASSERT_EQ(stat((dir / "big.bmp").c_str(), &st), 0);
        EXPECT_EQ(st.st_size, file_size);
        EXPECT_EQ(run.err, "");
    } else {
        EXPECT_GT(need * 2, available);
        EXPECT_NE(run.err.find("not enough memory"), std::string::npos) << run.err;
        EXPECT_TRUE(dir.entries().empty());
    }
}

TEST(Picture, FigureBeyondTheMemoryIsRefused)
{
    const scratch_dir dir;
    // 4.5e12 stored points of 8 bytes each
    const tool_run run = run_tool({"-m", "3000000", "--complete", "--stored", "-o", dir / "x.bmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("quorvane-render: not enough memory: a 640x480 picture of this figure needs ", 0), 0u)
        << run.err;
    EXPECT_NE(run.err.find(" MB are available\n"), std::string::npos) << run.err;
    EXPECT_TRUE(dir.entries().empty());
}

struct bad_input {
    args given;
    std::string message;
};

TEST(BadInput, OneLineNamingTheOptionAndStatus2)
{
    const std::string number = "a whole number from -2147483648 to 2147483647";
    const std::string size = "--size: expected WxH with W and H each a whole number from 1 to 16384, got '";
    const std::vector<bad_input> cases = {
        {{"--bogus"}, "--bogus: unknown or ambiguous option (see --help)"},
        {{"--s", "1x1"}, "--s: unknown or ambiguous option (see --help)"},
        {{"-x"}, "-x: unknown option (see --help)"},
        {{"-qx"}, "-x: unknown option (see --help)"},
        {{"-m"}, "-m: missing value (see --help)"},
        {{"--complete", "--size"}, "--size: missing value (see --help)"},
        {{"--quiet=1"}, "--quiet: takes no value (see --help)"},
        {{"extra"}, "unexpected argument 'extra' (see --help)"},
        {{"-n", "2x"}, "-n: expected " + number + ", got '2x'"},
        {{"-n", ""}, "-n: expected " + number + ", got ''"},
        {{"-n", " 2"}, "-n: expected " + number + ", got ' 2'"},
        {{"-n", "2147483648"}, "-n: expected " + number + ", got '2147483648'"},
        {{"--zoom", "1.5"}, "--zoom: expected " + number + ", got '1.5'"},
        {{"--zoom", "-"}, "--zoom: expected " + number + ", got '-'"},
        {{"-m", "0"}, "-m: expected a whole number from 1 to 2147483647, got '0'"},
        {{"-m", "-5"}, "-m: expected a whole number from 1 to 2147483647, got '-5'"},
        {{"-m", "99999999999999999999"}, "-m: expected a whole number from 1 to 2147483647, got '99999999999999999999'"},
        {{"-r", "1499"}, "-r: expected a whole number from 0 to 1498 (below -m), got '1499'"},
        {{"-m", "10", "-r", "-1"}, "-r: expected a whole number from 0 to 9 (below -m), got '-1'"},
        {{"-r", "3", "--complete"}, "-r: from-root mode, cannot be combined with --complete"},
        {{"--stored", "--on-the-fly"}, "--stored: cannot be combined with --on-the-fly"},
        {{"--size", "0x480"}, size + "0x480'"},
        {{"--size", "640x0"}, size + "640x0'"},
        {{"--size", "16385x16"}, size + "16385x16'"},
        {{"--size", "640"}, size + "640'"},
        {{"--size", "640x480x3"}, size + "640x480x3'"},
        {{"--size", "640X480"}, size + "640X480'"},
        {{"--fg1", "256,0,0"}, "--fg1: expected R,G,B with each component a whole number from 0 to 255, got '256,0,0'"},
        {{"--fg2", "1,2"}, "--fg2: expected R,G,B with each component a whole number from 0 to 255, got '1,2'"},
        {{"--bg", "-1,0,0"}, "--bg: expected R,G,B with each component a whole number from 0 to 255, got '-1,0,0'"},
        {{"--bg", "1,2,3,4"}, "--bg: expected R,G,B with each component a whole number from 0 to 255, got '1,2,3,4'"},
        {{"--fg1", "1, 2,3"}, "--fg1: expected R,G,B with each component a whole number from 0 to 255, got '1, 2,3'"},
    };
    const scratch_dir dir;
    for (const bad_input& c : cases) {
        args a{"-o", dir / "x.bmp"};
        a.insert(a.end(), c.given.begin(), c.given.end());
        const tool_run run = run_tool(a);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_EQ(run.err, "quorvane-render: " + c.message + "\n");
        EXPECT_EQ(run.out, "");
    }
    const tool_run run = run_tool({"-m", "5"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "quorvane-render: -o: the output file is required\n");
    EXPECT_TRUE(dir.entries().empty());
}

TEST(BadInput, OutputThatCannotBeWritten)
{
    const scratch_dir dir;
    {
        std::FILE* f = std::fopen((dir / "file").c_str(), "w");
        ASSERT_TRUE(f);
        std::fclose(f);
    }
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    const std::vector<bad_input> cases = {
        {{"-o", dir / "missing/x.bmp"}, "-o: cannot write '" + dir / "missing/x.bmp" + "': No such file or directory"},
        {{"-o", dir / "file/x.bmp"}, "-o: cannot write '" + dir / "file/x.bmp" + "': Not a directory"},
        {{"-o", dir / "sub"}, "-o: cannot write '" + dir / "sub" + "': it is a directory"},
        {{"-o", "/dev/null"}, "-o: cannot write '/dev/null': it is not a regular file"},
        {{"-o", ""}, "-o: expected a file name, got ''"},
    };
    for (const bad_input& c : cases) {
        const tool_run run = run_tool(c.given);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_EQ(run.err, "quorvane-render: " + c.message + "\n");
    }
    EXPECT_EQ(dir.entries(), (args{"file", "sub"}));
    EXPECT_EQ(read_file(dir / "file"), "");
}

// A write that fails midway (here past a file size limit) is reported, and
// the file that had the name keeps it untouched.
TEST(Output, FailedWriteLeavesNoPartialFile)
{
    const scratch_dir dir;
    {
        std::FILE* f = std::fopen((dir / "x.bmp").c_str(), "w");
        ASSERT_TRUE(f);
        std::fputs("the previous picture", f);
        std::fclose(f);
    }
    run_settings limited;
    limited.file_limit = 100000;   // the picture takes 921654 bytes
    const tool_run run = run_tool({"-m", "101", "-o", dir / "x.bmp"}, limited);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("quorvane-render: cannot write '" + dir / "x.bmp" + "': ", 0), 0u) << run.err;
    EXPECT_EQ(dir.entries(), args{"x.bmp"});
    EXPECT_EQ(read_file(dir / "x.bmp"), "the previous picture");
}

TEST(Output, ReplacesAFileAndWritesThroughALink)
{
    const scratch_dir dir;
    {
        std::FILE* f = std::fopen((dir / "real.bmp").c_str(), "w");
        ASSERT_TRUE(f);
        std::fclose(f);
    }
    ASSERT_EQ(symlink("real.bmp", (dir / "link.bmp").c_str()), 0);
    const tool_run run = run_tool({"-m", "31", "--size", "64x48", "-o", dir / "link.bmp"});
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.bmp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat((dir / "real.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 54 + 48 * 64 * 3);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(dir.entries(), (args{"link.bmp", "real.bmp"}));
}

TEST(Output, InterruptedRunLeavesNothing)
{
    const scratch_dir dir;
    // Minutes of work: the run is stopped long before it ends.
    const pid_t pid = start_tool({"-m", "2000000", "--complete", "-o", dir / "x.bmp"});
    ASSERT_GT(pid, 0);
    // The temporary file appears before the computation starts.
    for (int tries = 0; tries < 1000 && dir.entries().empty(); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(dir.entries().empty());
    kill(pid, SIGTERM);
    const tool_run run = wait_tool(pid);
    EXPECT_EQ(run.status, 128 + SIGTERM);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Progress, OnATerminalOnlyAndNotWhenQuiet)
{
    const scratch_dir dir;
    run_settings terminal;
    terminal.on_terminal = true;
    tool_run run = run_tool({"-n", "3", "-m", "401", "--complete", "-o", dir / "x.bmp"}, terminal);
    EXPECT_EQ(run.status, 0);
    for (const std::string& step : args{"Complete multiplication chryzode of n=3 in m=401 ; zoom 1:1, 640x480 pixels\r\n",
                                    "computing 79800 pairs: done in ", "drawing the picture: done in ",
                                    "writing " + dir / "x.bmp" + ": done in "})
        EXPECT_NE(run.out.find(step), std::string::npos) << step << " in " << run.out;

    // A long computation tells the share of the pairs done and the time left.
    run = run_tool({"-m", "60000", "--complete", "--size", "64x64", "-o", dir / "x.bmp"}, terminal);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("computing 1799910001 pairs: 0%\r"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" s left"), std::string::npos) << run.out;

    // A failed step leaves its line unfinished, and the error has its own.
    terminal.file_limit = 1000;
    run = run_tool({"-m", "401", "-o", dir / "x.bmp"}, terminal);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(" s\r\nquorvane-render: cannot write '" + dir / "x.bmp" + "': File too large\r\n"),
              std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("writing " + dir / "x.bmp" + ": done"), std::string::npos) << run.out;
    terminal.file_limit = RLIM_INFINITY;

    run = run_tool({"-q", "-m", "401", "-o", dir / "x.bmp"}, terminal);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    run = run_tool({"--quiet", "-m", "401", "-o", dir / "x.bmp"}, terminal);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(dir.entries(), args{"x.bmp"});
}

TEST(Usage, HelpListsEveryOptionWithItsDefault)
{
    for (const char* option : {"--help", "-h"}) {
        const tool_run run = run_tool({option, "--bogus"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        for (const char* text : {"-n N ", "(default 2)", "-m M ", "(default 1499)", "-r R ", "R = 1)",
                                 "--complete", "--on-the-fly", "--stored", "--zoom Z ", "(default 1)",
                                 "--size WxH ", "(default 640x480)", "--fg1 R,G,B ", "(default 255,0,0)",
                                 "--fg2 R,G,B ", "(default 255,255,0)", "--bg R,G,B ", "(default 0,0,0)",
                                 "-o FILE ", "--quiet", "--help", "--version", "Exit status"})
            EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
    const tool_run run = run_tool({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "quorvane-render " QUORVANE_VERSION "\n");
}

}
