// quorvane-render's picture files: formats, standard output, frames, and the
// file a link names.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "allegro_none.h"
#include <loadpng.h>
#include "run_tool.h"

namespace {

using args = std::vector<std::string>;

bitmap_ptr engine_picture(int n)
{
    auto model = make_model(64, 48, n, 301, 1, from_root | on_the_fly);
    EXPECT_TRUE(model->calcul() && model->render());
    return copy_of(model->bmp);
}

struct format_case {
    std::string name, word;
    BITMAP* (*load)(const char*, RGB*);
};

// Each extension, whatever its case, writes its format, read back by that
// format's own reader to the engine's pixels; -o - --format writes the same
// bytes to standard output.
TEST(PictureFile, FormatByExtensionAndOnStandardOutput)
{
    const std::vector<format_case> cases = {
        {"p.bmp", "bmp", load_bmp}, {"p", "bmp", load_bmp},      {"p.PNG", "png", load_png},
        {"p.pcx", "pcx", load_pcx}, {"p.Tga", "tga", load_tga},
    };
    const scratch_dir dir;
    const bitmap_ptr expected = engine_picture(2);
    for (const format_case& c : cases) {
        const args figure{"-m", "301", "--size", "64x48"};
        args to_file = figure, to_stdout = figure;
        to_file.insert(to_file.end(), {"-o", dir / c.name});
        to_stdout.insert(to_stdout.end(), {"-o", "-", "--format", c.word});
        ASSERT_EQ(run_tool(to_file).status, 0) << c.name;
        const bitmap_ptr picture(c.load((dir / c.name).c_str(), nullptr));
        ASSERT_TRUE(picture) << c.name;
        EXPECT_TRUE(same_pixels(picture.get(), expected.get())) << c.name;
        const tool_run piped = run_tool(to_stdout);
        EXPECT_EQ(piped.status, 0) << c.name;
        EXPECT_EQ(piped.out, read_file(dir / c.name)) << c.name;
    }
}

TEST(PictureFile, BadNamesAndFramesStopBeforeAnyWork)
{
    const std::vector<args> cases = {
        {"-o", "x.jpg"},
        {"-o", "x.bmp", "--format", "png"},
        {"-o", "-", "--format", "gif"},
        {"-o", "f%d.png", "--frames", "3:2"},
        {"-o", "f%d.png", "--frames", "1:3:0"},
        {"-o", "f.png", "--frames", "1:2"},
        {"-o", "f%d%d.png", "--frames", "1:2"},
        {"-o", "f%s.png", "--frames", "1:2"},
        {"-o", "f%ld.png", "--frames", "1:2"},
        {"-o", "f.%d", "--frames", "1:2"},
        {"-o", "-", "--frames", "1:2"},
        {"-o", "f%d.png", "--frames", "1:2", "-n", "3"},
    };
    const scratch_dir dir;
    for (args a : cases) {
        if (a[1] != "-")
            a[1] = dir / a[1];
        const tool_run run = run_tool(a);
        EXPECT_EQ(run.status, 2) << a[1] << " " << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(PictureFile, FramesOnePicturePerN)
{
    const scratch_dir dir;
    const tool_run run =
        run_tool({"-m", "301", "--size", "64x48", "--frames", "2:8:3", "-o", dir / "f-%%%03d.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(dir.entries(), (args{"f-%002.png", "f-%005.png", "f-%008.png"}));
    for (int n : {2, 5, 8}) {
        char name[16];
        std::snprintf(name, sizeof name, "f-%%%03d.png", n);
        const bitmap_ptr picture(load_png((dir / name).c_str(), nullptr));
        ASSERT_TRUE(picture) << name;
        EXPECT_TRUE(same_pixels(picture.get(), engine_picture(n).get())) << name;
    }
}

TEST(PictureFile, PrivateFileThroughALinkStaysPrivate)
{
    const scratch_dir dir;
    std::FILE* f = std::fopen((dir / "real.png").c_str(), "w");
    ASSERT_TRUE(f);
    std::fclose(f);
    ASSERT_EQ(chmod((dir / "real.png").c_str(), 0600), 0);
    ASSERT_EQ(symlink("real.png", (dir / "link.png").c_str()), 0);
    ASSERT_EQ(run_tool({"-m", "301", "--size", "64x48", "-o", dir / "link.png"}).status, 0);
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat((dir / "real.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const bitmap_ptr picture(load_png((dir / "real.png").c_str(), nullptr));
    ASSERT_TRUE(picture);
    EXPECT_TRUE(same_pixels(picture.get(), engine_picture(2).get()));
    EXPECT_EQ(dir.entries(), (args{"link.png", "real.png"}));
}

}
