// quorvane-render, run as a program: its pictures against the engine's, its
// files, its refusals and its ends.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "chryzode.h"

#include <loadpng.h>

namespace {

struct figure {
    int w, h, n, m, r, type, zoom;
};

std::unique_ptr<Cchryzode> model_of(const figure& f)
{
    auto model = std::make_unique<Cchryzode>(create_bitmap(f.w, f.h));
    model->set(f.n, f.m, f.r, f.type);
    model->set_zoom(f.zoom);
    return model;
}

std::uint64_t fingerprint(BITMAP* b)   // FNV-1a over the pixels
{
    std::uint64_t h = 14695981039346656037ull;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x)
            h = (h ^ std::uint32_t(getpixel(b, x, y))) * 1099511628211ull;
    return h;
}

std::uint64_t picture(const figure& f)
{
    auto model = model_of(f);
    EXPECT_TRUE(model->calcul() && model->render());
    return fingerprint(model->bmp);
}

// quorvane-render's pictures against the engine's, in every format.
TEST(Render, Pictures)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quorvane-engine-test-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "refused");
    const auto run = [&](const std::string& options, const char* in = "") {
        const int status = std::system(("cd " + (dir / in).string() + " && " RENDER_TOOL " " + options + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const auto loaded = [&](const std::string& name) {
        BITMAP* b = name == "p" ? load_bmp((dir / name).c_str(), nullptr) : load_bitmap((dir / name).c_str(), nullptr);
        const std::uint64_t print = b ? fingerprint(b) : 0;
        destroy_bitmap(b);
        return print;
    };
    const auto drawn = [&](const std::string& options, const std::string& name = "p.bmp") {
        EXPECT_EQ(run("-o " + name + " " + options), 0);
        return loaded(name);
    };
    EXPECT_EQ(drawn(""), picture({640, 480, 2, 1499, 1, from_root | on_the_fly, 1}));
    EXPECT_EQ(drawn("--complete --on-the-fly -m 31 --size 64x48"), picture({64, 48, 2, 31, 0, on_the_fly, 1}));
    auto model = model_of({150, 260, 5, 211, 7, from_root, -3});
    model->set_colors(makecol(10, 20, 30), makecol(200, 100, 50), makecol(0, 0, 64));
    ASSERT_TRUE(model->calcul() && model->render());
    EXPECT_EQ(drawn("-n 5 -m 211 -r 7 --zoom -3 --size 150x260 --fg1 10,20,30 --fg2 200,100,50 --bg 0,0,64 --stored"),
              fingerprint(model->bmp));
    // The format by the extension, whatever its case, read back by its own reader.
    const std::uint64_t small = picture({64, 48, 2, 301, 1, from_root | on_the_fly, 1});
    for (const char* name : {"p.bmp", "p.PNG", "p.pcx", "p.Tga", "p"})
        EXPECT_EQ(drawn("-m 301 --size 64x48", name), small) << name;
    EXPECT_TRUE(run("-m 301 --size 64x48 -o - --format png >out.png") == 0 && loaded("out.png") == small) << "-o - --format";
    EXPECT_EQ(run("-m 301 --size 64x48 --frames 2:8:3 -o f-%%%03d.png"), 0);
    for (int n : {2, 5, 8})
        EXPECT_EQ(loaded("f-%00" + std::to_string(n) + ".png"),
                  picture({64, 48, n, 301, 1, from_root | on_the_fly, 1}));
    // Refused before any work: no file.
    for (const char* options : {"-o x.jpg", "-o x.bmp --format png", "-o f%d.png --frames 1:3:0", "-o f.png --frames 1:2",
                                "-o f%s.png --frames 1:2", "-o f%d.png --frames 1:2 -n 3", "--zoom 0 -o z.bmp", "--bogus",
                                "extra", "-n 2x", "-n 2147483648", "-m 0", "-r 1499", "-r 3 --complete", "--size 0x480",
                                "--fg1 256,0,0", "-o missing/x.bmp", "-o /dev/null"})
        EXPECT_EQ(run(options, "refused"), 2) << options;
    EXPECT_TRUE(fs::is_empty(dir / "refused"));
    // A private file through a link stays private.
    std::ofstream(dir / "real.png") << "old";
    fs::permissions(dir / "real.png", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real.png", dir / "link.png");
    EXPECT_EQ(drawn("-m 301 --size 64x48", "link.png"), small);
    EXPECT_TRUE(fs::is_symlink(dir / "link.png") && fs::status(dir / "real.png").permissions() == (fs::perms::owner_read | fs::perms::owner_write));
    fs::remove_all(dir);
}

}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    register_png_file_type();
    return RUN_ALL_TESTS();
}
