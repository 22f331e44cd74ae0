// What a user types, on top of the harness: a new figure typed into the New
// chryzode dialog, fields filled, buttons pushed; and what the command
// dialogs and the file selector show.
#pragma once

#include <string>

#include "harness.h"

namespace gui_test {

struct figure {
    int n, m, r, type, zoom;
};
// Opens New, types the figure's values and confirms.
steps new_figure(const figure& f);

// Opens a menu's item and waits for the dialog with that title.
steps open_dialog(int menu_scancode, int item, const char* title);
// Selects a radio button.
steps choose(int radio_button);
// Moves to an edit field of `chars` characters and types value over its text.
steps fill(int entry, int chars, const char* value);
// Presses a button that has no shortcut key.
steps push(int entry);
extern const step ok;  // Return: the OK button of every command dialog

// Runs check() once the condition holds, before the next key.
step look(std::function<bool()> ready, std::function<void()> check);
// Copies the text of the alert into `into` once it shows.
step note_alert(std::string& into);
// The text of an edit field of the open dialog.
std::string field_text(int entry);

// Pixels where the screen, between the menu bar and the status bar, does not
// show the view.
long view_differs_on_screen();
// Clears the view and runs Rerender: the model must still hold the figure
// of `picture`.
void expect_rerender_draws(BITMAP* picture);

// Allegro's file selector, showing its title.
bool selector_showing(const char* title);
// The path in the open file selector's edit field.
std::string selector_path();

}
