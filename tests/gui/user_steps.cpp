#include "user_steps.h"

#include <allegro/internal/aintern.h>

#include "chryzode.h"
#include "gui.h"

namespace gui_test {

namespace {

// Entries of the New chryzode dialog.
constexpr int n_field = 5, m_field = 7, r_field = 9, zoom_field = 11, from_root_button = 14,
              complete_button = 15, on_the_fly_button = 18, stored_button = 19;
constexpr int new_field_chars = 5;

// Entry of the file selector that holds the path.
constexpr int selector_edit = 4;

}

steps choose(int radio_button)
{
    return {tab_to(radio_button), keystroke(' ')};
}

const step ok = keystroke('\r');

steps open_dialog(int menu_scancode, int item, const char* title)
{
    const std::string wanted = title;
    return menu(menu_scancode, item) + steps{when([wanted] { return dialog_title() == wanted; })};
}

steps fill(int entry, int chars, const char* value)
{
    return steps{tab_to(entry)} + clear_field(chars) + text(value);
}

steps push(int entry)
{
    return {tab_to(entry), keystroke(' ')};
}

steps new_figure(const figure& f)
{
    const auto number = [](int value) { return std::to_string(value); };
    steps s = open_dialog(KEY_C, 'n', "New chryzode") +
              choose(f.type & from_root ? from_root_button : complete_button) +
              choose(f.type & on_the_fly ? on_the_fly_button : stored_button) +
              fill(n_field, new_field_chars, number(f.n).c_str()) +
              fill(m_field, new_field_chars, number(f.m).c_str()) +
              fill(zoom_field, new_field_chars, number(f.zoom).c_str());
    if (f.type & from_root)
        s = s + fill(r_field, new_field_chars, number(f.r).c_str());
    return s + steps{ok};
}

step look(std::function<bool()> ready, std::function<void()> check)
{
    return when([ready, check] {
        if (!ready())
            return false;
        check();
        return true;
    });
}

step note_alert(std::string& into)
{
    return look(alert_showing, [&into] { into = alert_text(); });
}

std::string field_text(int entry)
{
    return static_cast<const char*>(active_dialog[entry].dp);
}

long view_differs_on_screen()
{
    const int top = main_dialog[menu_bar_entry].h, bottom = main_dialog[status_bar_entry].y;
    return different_pixels(screen_copy().get(), view(), 0, top, view()->w, bottom - top);
}

void expect_rerender_draws(BITMAP* picture)
{
    clear(view());
    type(menu(KEY_C, 'r'));
    ASSERT_TRUE(finish_typing());
    EXPECT_EQ(different_pixels(view(), picture), 0);
}

bool selector_showing(const char* title)
{
    return active_dialog && active_dialog[0].proc == _gui_shadow_box_proc &&
           active_dialog[1].proc == _gui_ctext_proc && active_dialog[1].dp &&
           std::string(static_cast<const char*>(active_dialog[1].dp)) == title;
}

std::string selector_path()
{
    return static_cast<const char*>(active_dialog[selector_edit].dp);
}

}
