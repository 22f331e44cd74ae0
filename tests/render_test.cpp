// quorvane-render, run as a program: its pictures against the engine's, its
// files, its refusals and its ends.
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "chryzode.h"
#include "fingerprint.h"
#include "settings_file.h"

#include <loadpng.h>

namespace {

namespace fs = std::filesystem;

// The engine's picture of a figure at 64x48, or of the size given.
std::uint64_t picture(const figure_settings& f, int w = 64, int h = 48)
{
    Cchryzode model(create_bitmap(w, h));
    set_figure(model, f);
    EXPECT_TRUE(model.calcul() && model.render());
    return fingerprint(model.bmp);
}

// A scratch folder per test, open to the unprivileged user some rows run as.
class Render : public testing::Test {
protected:
    const fs::path dir = fs::temp_directory_path() / ("quorvane-render-test-" + std::to_string(getpid()));
    void SetUp() override { ASSERT_EQ(std::system(("rm -rf " + dir.string() + "; mkdir -m 777 " + dir.string()).c_str()), 0); }
    void TearDown() override { fs::remove_all(dir); }

    // The exit status of a shell command run in the folder, the renderer
    // as $R, which adds its messages to the file errors, open to all.
    int shell(const std::string& command)
    {
        const int status = std::system(("cd " + dir.string() + " || exit 99; export R=" RENDER_TOOL "; touch errors; "
                                        "chmod 666 errors; " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int run(const std::string& options) { return shell("$R " + options + " 2>>errors"); }
    std::uint64_t loaded(const std::string& name)
    {
        const std::string path = (dir / name).string();
        BITMAP* b = fs::path(name).has_extension() ? load_bitmap(path.c_str(), nullptr) : load_bmp(path.c_str(), nullptr);
        const std::uint64_t print = b ? fingerprint(b) : 0;
        destroy_bitmap(b);
        return print;
    }
    std::uint64_t drawn(const std::string& options, const std::string& name = "p.bmp")
    {
        EXPECT_EQ(run("-o " + name + " " + options), 0) << options;
        return loaded(name);
    }
    std::string errors() { return std::string(std::istreambuf_iterator<char>(std::ifstream(dir / "errors").rdbuf()), {}); }
};

const int root = from_root | on_the_fly;

figure_settings coloured(figure_settings f, palette_kind palette, scale_kind scale, int scale_max = 0)
{
    f.palette = palette;
    f.scale = scale;
    f.scale_max = scale_max;
    return f;
}

figure_settings viewed(figure_settings f, double magnify, double x, double y)
{
    f.magnify = magnify;
    f.cx = x;
    f.cy = y;
    return f;
}

// The engine's pictures, whatever the options that lead to them: any r by
// its residue as in the New dialog, m = 1 with the default r, decimals.
TEST_F(Render, Pictures)
{
    EXPECT_EQ(drawn(""), picture({}, 640, 480));
    const struct {
        const char* options;
        figure_settings f;
    } cases[] = {
        {"--complete --on-the-fly -m 31", {2, 31, 0, on_the_fly}},
        {"-n 3 -m 301 -r -401", {3, 301, 201, root}},
        {"-m 1", {2, 1, 0, root}},
        {"-n 2.37 -m 301 --complete", {2.37, 301, 1, on_the_fly}},
        {"-n -0.5 -m 301 --complete --stored", {-0.5, 301, 1, 0}},
        {"-n 5 -m 211 -r 7 --zoom -3 --fg1 10,20,30 --fg2 200,100,50 --bg 0,0,64 --stored",
         {5, 211, 7, from_root, -3, {10, 20, 30}, {200, 100, 50}, {0, 0, 64}}},
        {"-m 301 --palette magma --scale log --scale-max 20",
         coloured({2, 301}, palette_kind::magma, scale_kind::log, 20)},
        {"-m 301 --complete --scale eq_hist --palette plasma",
         coloured({2, 301, 1, on_the_fly}, palette_kind::plasma, scale_kind::eq_hist)},
        {"-n 2.37 -m 301 --complete --magnify 2.5 --center 0.3,-0.25", viewed({2.37, 301, 1, on_the_fly}, 2.5, 0.3, -0.25)},
        {"-n 3 -m 401 -r 1 --stored --zoom 2 --magnify 7 --center -.5,0.125", viewed({3, 401, 1, from_root, 2}, 7, -0.5, 0.125)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(drawn(std::string(c.options) + " --size 64x48"), picture(c.f)) << c.options;
    const std::uint64_t fixed = picture(coloured({2, 301}, palette_kind::magma, scale_kind::log, 20));
    EXPECT_TRUE(fixed != picture({2, 301}) && fixed != picture(coloured({2, 301}, palette_kind::magma, scale_kind::log)));
}

// Every format, by the extension whatever its case, read back by its own
// reader and by ImageMagick, is the PNG's picture; so is standard output.
// Frames are named by n while every n is whole, else numbered from 0; a
// failure after some frames keeps them and says 1.
TEST_F(Render, Files)
{
    const std::uint64_t small = picture({2, 301});
    for (const char* name : {"p.png", "p.bmp", "p.PCX", "p.Tga", "p"}) {
        EXPECT_EQ(drawn("-m 301 --size 64x48", name), small) << name;
        EXPECT_EQ(shell(std::string("compare -metric AE p.png ") + name + " null: 2>/dev/null"), 0) << name;
    }
    EXPECT_EQ(run("-m 301 --size 64x48 -o - --format tga >out.tga"), 0);
    EXPECT_EQ(loaded("out.tga"), small);
    EXPECT_EQ(run("-m 301 --size 64x48 --frames 2:8:3 -o f-%%%03d.png"), 0);
    for (int n : {2, 5, 8})
        EXPECT_EQ(loaded("f-%00" + std::to_string(n) + ".png"), picture({double(n), 301}));
    EXPECT_EQ(run("-m 301 --complete --size 64x48 --frames 2.3:2.5:0.1 -o g%d.png"), 0);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(loaded("g" + std::to_string(k) + ".png"), picture({2.3 + k / 10.0, 301, 1, on_the_fly})) << k;
    EXPECT_EQ(run("-m 301 --complete --size 64x48 --frames 2.5:2.3:-0.1 -o d%d.png"), 0);
    EXPECT_EQ(loaded("d2.png"), picture({2.3, 301, 1, on_the_fly}));
    picture_settings last;
    std::string why;
    EXPECT_TRUE(read_settings_file((dir / "d2.png").string(), last, why) && last.figure.n == 2.3) << why;
    EXPECT_EQ(run("-m 301 --size 64x48 --frames 5:4 -o e%d.png"), 0);
    EXPECT_EQ(loaded("e4.png"), picture({4, 301}));
    EXPECT_EQ(shell("mkdir h4.png; $R -m 301 --size 64x48 --frames 2:5 -o h%d.png 2>>errors; [ $? = 1 ] && "
                    "[ -s h2.png ] && [ -s h3.png ] && [ ! -e h5.png ]"), 0);
}

// Refused before any work, with status 2: no file is made.
TEST_F(Render, Refusals)
{
    for (const char* options :
         {"-o x.jpg", "-o x.bmp --format png", "-o f%d.png --frames 1:3:0", "-o f.png --frames 1:2", "-o f%s.png --frames 1:2",
          "-o f%d.png --frames 1:2 -n 3", "--zoom 0 -o z.bmp", "--bogus", "extra", "-n 2x", "-n 2147483648", "-n 1.2.3",
          "-m 0", "-r 3 --complete", "--size 0x480", "--fg1 256,0,0", "-n 2.5 -o x.png", "-o f%d.png --frames 1:2:0.5",
          "-o f%d.png --frames 0:2147483647 --complete -m 3", "-o f%d.png --frames 1:1000000000",
          "-o f%d.png --frames -2147483648:2147483647", "-o f%d.png --frames 1:2:0.0000000001 --complete",
          "-o f%d.png --frames 1:3:-1", "-o f%d.png --frames 3:1:1", "-o f.mp4", "--fps 5 -o f.png",
          "--frames 1:3 -o f.gif --fps 0", "--frames 1:3 -o f.webm --format png", "--print-settings --frames 1:3",
          "--palette grey -o p.png", "--scale cbrt -o p.png", "--scale log --scale-max 0 -o p.png", "--scale-max 9 -o p.png",
          "-o v.png --magnify 0.99", "-o v.png --magnify 100000.5", "-o v.png --magnify 1e3", "-o v.png --center 1",
          "-o v.png --center 0.5,x", "-o v.png --center 1,2,3", "-o v.png --center inf,0",
          "-o v.png --center 0,-340282356779733661637539395458142568448", "-n -2147483648"})
        EXPECT_EQ(run(std::string(options) + " -q"), 2) << options;
    EXPECT_EQ(shell("[ \"$(ls -A)\" = errors ]"), 0);
}

// Settings -> PNG -> settings -> picture: drawn from its settings file, a
// PNG gives back the same text, which draws the same pixels, the engine's.
// Options after --settings change it, options before it do not.
TEST_F(Render, SettingsRoundTrip)
{
    const picture_settings cases[] = {
        {{2.37, 301, 1, on_the_fly}, 64, 48},
        {{5, 211, -7, from_root, -3, {10, 20, 30}, {200, 100, 50}, {0, 0, 64}}, 33, 65},
        {{-0.1, 97, 0, 0, 2, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, 2.5, 0.125, -1e-7, palette_kind::magma,
          scale_kind::log, 40},
         64, 48},
    };
    for (const picture_settings& c : cases) {
        picture_settings back;
        std::string why;
        ASSERT_TRUE(save_settings_file((dir / "s.toml").string(), c, why)) << why;
        ASSERT_EQ(run("--settings s.toml -o a.png"), 0) << errors();
        ASSERT_TRUE(read_settings_file((dir / "a.png").string(), back, why)) << why;
        EXPECT_EQ(settings_text(back), settings_text(c));
        EXPECT_EQ(loaded("a.png"), picture(c.figure, c.width, c.height)) << settings_text(c);
        EXPECT_EQ(run("--settings a.png -o b.png"), 0);
        EXPECT_EQ(loaded("b.png"), loaded("a.png"));
        EXPECT_EQ(shell("$R -m 7 --settings a.png --zoom 9 --print-settings >p.toml"), 0);
        EXPECT_TRUE(read_settings_file((dir / "p.toml").string(), back, why) && back.figure.m == c.figure.m &&
                    back.figure.zoom == 9) << why;
    }
    EXPECT_EQ(shell("[ \"$(identify -format %[Software] a.png)\" = 'Quorvane " QUORVANE_VERSION "' ]"), 0);
}

// Refused with the key's name, the settings given left as they were; a
// file without settings stops the renderer with status 2.
TEST_F(Render, SettingsRefused)
{
    const struct {
        const char *text, *why;
    } cases[] = {
        {"n = 3", "format: missing"},
        {"format = \"quorvane 2\"", "format: expected \"quorvane 1\""},
        {"colour = 3", "line 2: colour: unknown key"},
        {"[view]\nx = 1", "view: unknown key"},
        {"m = ", "line 2, column"},
        {"m = 0", "m: expected a whole number from 1"},
        {"n = 2.5", "n: 2.5 has decimals"},
        {"n = 3e9", "n: expected"},
        {"n = nan", "n: expected"},
        {"n = \"2\"", "n: expected"},
        {"r = 2147483648", "r: expected"},
        {"zoom = 0", "zoom: expected"},
        {"mode = \"partial\"", "mode: expected \"complete\" or \"from-root\""},
        {"storage = 1", "storage: expected"},
        {"magnify = 0.5", "magnify: expected"},
        {"magnify = 100001", "magnify: expected"},
        {"center = [0, inf]", "center: expected"},
        {"center = [0]", "center: expected"},
        {"palette = \"jet\"", "palette: expected one of \"ramp\""},
        {"scale = \"cubic\"", "scale: expected"},
        {"scale_max = -1", "scale_max: expected"},
        {"fg1 = [256, 0, 0]", "fg1: expected"},
        {"fg2 = [0, 0, 0.5]", "fg2: expected"},
        {"bg = [0, 0]", "bg: expected"},
        {"width = 16385", "width: expected"},
        {"height = 0.5", "height: expected"},
    };
    for (const auto& c : cases) {
        picture_settings kept;
        kept.width = 7;
        std::string why;
        // Each row but those of the format follows a right one.
        const std::string text = std::string(c.why).compare(0, 7, "format:") == 0 ? "" : "format = \"quorvane 1\"\n";
        EXPECT_FALSE(read_settings(text + c.text, kept, why)) << c.text;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.text << ": " << why;
        EXPECT_EQ(kept.width, 7) << c.text;
    }
    const struct {
        const char *setup, *message;
    } files[] = {
        {"", "'s.png': No such file or directory"},
        {"convert -size 4x4 xc:red s.png", "'s.png': a PNG without Quorvane settings"},
        {"$R -m 301 -o s.png; chmod 600 s.png; truncate -s 200 s.png", "'s.png': a broken PNG"},
        {"$R -m 301 -o s.bmp; mv s.bmp s.png", "'s.png': neither a PNG nor a settings file"},
    };
    for (const auto& f : files) {
        SetUp();
        EXPECT_EQ(shell(std::string(f.setup) + "\n$R --settings s.png -o t.png 2>>errors"), 2) << f.setup;
        EXPECT_NE(errors().find(f.message), std::string::npos) << errors();
    }
}

// Films through ffmpeg, either way through n; without ffmpeg, failing or
// stopped, nothing is left under the name asked for.
TEST_F(Render, Films)
{
    EXPECT_EQ(shell("PATH=/nowhere $R --frames 2:3 -o f.mp4 2>>errors"), 1);
    EXPECT_NE(errors().find("install it with: sudo apt install ffmpeg"), std::string::npos) << errors();
    if (shell("command -v ffmpeg >/dev/null") != 0)
        GTEST_SKIP() << "no ffmpeg";
    for (const char* name : {"f.mp4", "f.WebM", "f.gif"}) {
        EXPECT_EQ(run(std::string("-m 301 --complete --size 65x49 --frames 2.2:2:-0.1 --fps 10 -o ") + name), 0);
        EXPECT_EQ(shell(std::string("[ \"$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames,width "
                                    "-of csv=p=0 ") + name + ")\" = " + (name[2] == 'g' ? "65,3" : "66,3") + " ]"),
                  0) << name;
    }
    EXPECT_EQ(shell("mkdir bin; printf '#!/bin/sh\\nexit 3\\n' >bin/ffmpeg; chmod +x bin/ffmpeg; "
                    "PATH=$PWD/bin $R -m 301 --frames 2:9 -o g.mp4 2>>errors"), 1);
    const pid_t pid = fork();
    if (pid == 0 && chdir(dir.c_str()) == 0)
        execl(RENDER_TOOL, RENDER_TOOL, "-m", "3000", "--complete", "--frames", "2:9:0.01", "-o", "x.mp4",
              (char*)nullptr);
    if (pid == 0)
        _exit(127);
    while (shell("ls -A | grep -q '^\\.x'") != 0)
        usleep(10000);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(shell("[ -z \"$(find . -name '.?*' -o -name g.mp4 -o -name x.mp4)\" ]"), 0) << "a film left";
}

// What the user set up on a file stays as it was: a file the user may not
// write is refused and kept, links, owner and mode are kept, a dangling link
// makes the file it names. Rows as nobody run unprivileged and rows as root
// change an owner: only root can do either.
TEST_F(Render, SavingKeepsWhatTheUserSetUp)
{
    const struct {
        const char *setup, *user, *name;
        int status;
        const char* check;   // a shell test after the run; p.png is the picture
    } cases[] = {
        {"echo old >k.png; chmod 444 k.png; chown 65534:65534 k.png", "nobody", "k.png", 1,
         "[ \"$(cat k.png)\" = old ] && grep -q 'Permission denied' errors"},
        {"seq 99999 >t.png; ln t.png u.png", "", "t.png", 0, "[ t.png -ef u.png ] && cmp t.png p.png"},
        {"mkdir ro; echo old >ro/t.png; chmod 666 ro/t.png; chmod 555 ro", "nobody", "ro/t.png", 0,
         "cmp ro/t.png p.png && [ \"$(ls -A ro)\" = t.png ]"},
        {"mkfifo f.png; (cat f.png >read.png &)", "", "f.png", 0,
         "for i in $(seq 100); do cmp -s read.png p.png && exit 0; sleep 0.1; done; exit 1"},
        {"ln -s sub/new.png d.png; mkdir sub", "", "d.png", 0, "[ -L d.png ] && cmp sub/new.png p.png"},
        {"echo old >o.png; chown 65534:65534 o.png; chmod 640 o.png", "root", "o.png", 0,
         "[ \"$(stat -c %u:%g:%a o.png)\" = 65534:65534:640 ] && cmp o.png p.png"},
        {"echo old >r.png; chmod 600 r.png; ln -s r.png l.png", "", "l.png", 0,
         "[ -L l.png ] && [ \"$(stat -c %a r.png)\" = 600 ] && cmp r.png p.png"},
        {"", "", "/dev/full", 1, "grep -q 'No space left on device' errors"},
        {"mkdir q.png", "", "q.png", 1, "grep -q 'Is a directory' errors"},
        {"", "", "missing/p.png", 1, "grep -q 'No such file or directory' errors"},
    };
    for (const auto& c : cases) {
        if (*c.user && geteuid() != 0)
            continue;
        SetUp();
        const std::string as = *c.user == 'n' ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
        ASSERT_EQ(run("-m 301 --size 64x48 -o p.png"), 0);
        ASSERT_EQ(shell(std::string(c.setup) + "\n" + as + "$R -m 301 --size 64x48 -o " + c.name + " 2>>errors"), c.status)
            << c.setup;
        EXPECT_EQ(shell(c.check), 0) << c.setup << ": " << errors();
        EXPECT_EQ(shell("[ -z \"$(find . -name '.?*')\" ]"), 0) << c.setup << ": a temporary file is left";
    }
    // On a disk too full for it, a picture written in place (the file has
    // another link) is refused and the file left as it was; with room, it is
    // saved. The disk is a mount of the test's own: root's, or a user's
    // where the system gives users namespaces.
    const std::string own = geteuid() == 0 ? "unshare -m" : "unshare -rm";
    if (geteuid() != 0 && shell(own + " true") != 0)
        GTEST_SKIP() << "a disk of its own needs root here";
    SetUp();
    EXPECT_EQ(shell("$R -m 301 --size 64x48 -o p.bmp && mkdir full && " + own + " sh -c 'mount -t tmpfs -o size=64k none full"
                    " && cd full && echo old >t.bmp && ln t.bmp u.bmp && { cat /dev/zero >fill 2>/dev/null; $R -m 301 "
                    "--size 64x48 -o t.bmp 2>>../errors; [ $? = 1 ] && [ \"$(cat t.bmp)\" = old ] && rm fill && $R -m 301 "
                    "--size 64x48 -o t.bmp && cmp t.bmp ../p.bmp && [ t.bmp -ef u.bmp ]; }'"), 0) << errors();
    EXPECT_NE(errors().find("No space left on device"), std::string::npos) << errors();
}

// Every signal that ends a process by default ends a run as it would, with
// the temporary file removed; huge values of every number are refused or
// drawn without an overflow, which the sanitizer build reports.
TEST_F(Render, Ends)
{
    for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGUSR1, SIGSEGV, SIGABRT}) {
        std::ofstream(dir / "x.png") << "the previous picture";
        const pid_t pid = fork();
        if (pid == 0 && chdir(dir.c_str()) == 0)
            execl(RENDER_TOOL, RENDER_TOOL, "-m", "3000000", "--complete", "-o", "x.png", (char*)nullptr);
        if (pid == 0)
            _exit(127);
        while (shell("ls -A | grep -q '^\\.x'") != 0)
            usleep(10000);
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
        EXPECT_EQ(shell("[ \"$(ls -A | tr '\\n' ' ')$(cat x.png)\" = 'errors x.png the previous picture' ]"), 0)
            << sig << ": a temporary file left, or the previous picture touched";
    }
    // The first two need more memory than a machine of ours has (25 GB; the
    // second 2^61 pairs) and are refused with 1.
    const std::pair<const char*, int> huge[] = {
        {"-n 2147483647 -m 2147483647 -r -2147483648 -o p.png", 1}, {"-m 2147483647 --complete --stored -o p.png", 1},
        {"-n -2147483647 -m 7 -r 2147483647 --zoom -2147483648 --size 16384x2 -o p.png", 0},
        {"-n 2147483646.5 -m 13 --complete --zoom 2147483647 --size 1x16384 -o p.png", 0},
        {"-n -2147483647 -m 11 --complete --zoom -2147483648 -o p.png", 0},
        {"-m 7 --complete --frames -2147483647:2147483647:2147483647 -o f%d.png", 0},
        {"-m 7 --frames 2147483646:2147483647 -o g%d.png", 0},
        {"-m 7 --complete --frames 0.000000001:2147483647:1073741823.5 -o i%d.png", 0},
        {"-m 301 --magnify 100000 --center 340282346638528859811704183484516925440,-340282346638528859811704183484516925440 -o p.png", 0},
        {"-m 301 --complete --stored --zoom -2147483648 --magnify 100000 --center -0.7,0.00001 -o p.png", 0},
    };
    for (const auto& [options, status] : huge) {
        EXPECT_EQ(run(options), status) << options;
        EXPECT_EQ(errors().find("runtime error"), std::string::npos) << options << ": " << errors();
    }
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
