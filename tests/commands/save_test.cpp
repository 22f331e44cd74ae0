// Save image as: the directory selector, the "Save as" dialog, the file it
// writes, and the saves that cannot be made.
#include <sys/resource.h>

#include <csignal>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "chryzode.h"
#include "user_steps.h"
#include "gui.h"

using namespace gui_test;
namespace fs = std::filesystem;

namespace {

constexpr int name_field = 5, cancel_button = 3;
constexpr int selector_ok = 2;
constexpr int directory_chars = 191, name_chars = 63;
const char* const selector_title = "Choose saving directory";

const figure small{2, 301, 0, 0, 1};

class save_command : public program_test {
protected:
    std::string dir;

    void SetUp() override
    {
        program_test::SetUp();
        char name[] = "/tmp/quorvane-save-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        type(new_figure(small));
        ASSERT_TRUE(finish_typing());
    }

    void TearDown() override
    {
        fs::remove_all(dir);
        program_test::TearDown();
    }
};

bool save_as_open()
{
    return dialog_title() == "Save as";
}

// Opens the command; in the selector types a path over the one it shows.
steps type_directory(const std::string& path)
{
    return menu(KEY_F, 's') + steps{when([] { return selector_showing(selector_title); })} +
           clear_field(directory_chars) + text(path.c_str());
}

// Confirms the directory, then types the name over the one the "Save as"
// dialog shows and confirms.
steps save_as(const std::string& path, const std::string& name)
{
    return type_directory(path) + push(selector_ok) + steps{when(save_as_open)} +
           fill(name_field, name_chars, name.c_str()) + steps{ok};
}

std::vector<std::string> files_in(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string contents_of(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pixels where a saved file differs from a picture, the view by default; -1
// when it cannot be read or has another size.
long differs_from_view(const std::string& path, BITMAP* picture = view())
{
    const bitmap_ptr saved(load_bmp(path.c_str(), nullptr));
    return saved ? different_pixels(saved.get(), picture) : -1;
}

TEST_F(save_command, writes_the_views_pixels_and_opens_next_on_the_same_directory_and_name)
{
    std::string first_name, second_dir, second_name;
    type(type_directory(dir) + steps{keystroke('\r')} + push(selector_ok) +
         steps{look(save_as_open, [&] { first_name = field_text(name_field); }), tab_to(name_field),
               press(KEY_HOME)} +
         text("pic") + steps{ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(first_name, ".bmp");
    ASSERT_EQ(files_in(dir), std::vector<std::string>{"pic.bmp"}) << "no file but the picture is left";
    EXPECT_EQ(differs_from_view(dir + "/pic.bmp"), 0);
    EXPECT_EQ(differs_from_view(dir + "/pic.bmp",
                                engine_picture(small.n, small.m, small.r, small.type, small.zoom).get()),
              0);
    EXPECT_EQ(fs::status(dir + "/pic.bmp").permissions() & fs::perms::others_read, fs::perms::others_read)
        << "a picture is saved readable as any new file";

    type(menu(KEY_F, 's') +
         steps{look([] { return selector_showing(selector_title); }, [&] { second_dir = selector_path(); })} +
         push(selector_ok) + steps{look(save_as_open, [&] { second_name = field_text(name_field); })} +
         push(cancel_button));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(second_dir, dir + "/");
    EXPECT_EQ(second_name, "pic.bmp");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"pic.bmp"}) << "Cancel writes nothing";
}

TEST_F(save_command, a_directory_typed_without_a_separator_gets_one)
{
    type(save_as(dir, "typed.bmp"));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"typed.bmp"});
    EXPECT_EQ(differs_from_view(dir + "/typed.bmp"), 0);

    // A name of 63 characters of up to 4 bytes each fits the name field.
    std::string long_name;
    for (int i = 0; i < name_chars - 4; ++i)
        long_name += "\xF0\x9D\x84\x9E";
    long_name += ".bmp";
    type(save_as(dir + "/", long_name));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(differs_from_view(dir + "/" + long_name), 0);
}

TEST_F(save_command, a_directory_that_cannot_be_written_is_reported_and_nothing_is_written)
{
    std::ofstream(dir + "/plain") << "a file, not a directory";
    std::string not_a_directory, missing;
    type(save_as(dir + "/plain/sub", "pic.bmp") + steps{note_alert(not_a_directory), ok} +
         save_as(dir + "/missing", "pic.bmp") + steps{note_alert(missing), ok});
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(not_a_directory, "Unable to save the image as\n" + dir + "/plain/sub/pic.bmp\nNot a directory");
    EXPECT_EQ(missing, "Unable to save the image as\n" + dir + "/missing/pic.bmp\nNo such file or directory");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"plain"});
    EXPECT_EQ(contents_of(dir + "/plain"), "a file, not a directory");
}

// A disk that fills up while the picture is written: the file that was
// there before stays whole, and nothing else is left behind.
TEST_F(save_command, a_save_that_fails_midway_keeps_the_file_it_would_replace)
{
    type(save_as(dir, "pic.bmp"));
    ASSERT_TRUE(finish_typing());
    const std::string good = contents_of(dir + "/pic.bmp");
    ASSERT_GT(good.size(), 100000u);

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small_files{50000, limit.rlim_max};
    std::string said;
    type(save_as(dir, "pic.bmp") + steps{look(alert_showing,
                                       [&] {
                                           said = alert_text();
                                           setrlimit(RLIMIT_FSIZE, &limit);
                                       }),
                                  ok});
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small_files), 0);
    const bool finished = finish_typing();
    setrlimit(RLIMIT_FSIZE, &limit);
    ASSERT_TRUE(finished);
    EXPECT_EQ(said, "Unable to save the image as\n" + dir + "/pic.bmp\nFile too large");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"pic.bmp"});
    EXPECT_EQ(contents_of(dir + "/pic.bmp"), good);
}

}
