// Making one picture from the options: the same model operations as the
// desktop program's New chryzode command, on a memory bitmap of any size.
#pragma once

#include <string>

#include "options.h"

// Draws the picture and writes it. Reports any failure on standard error
// and returns the exit status: 0 once the file is written completely.
int make_poster(const render_options& options);

// Writes "quorvane-render: message" on standard error; returns status.
int fail(int status, const std::string& message);
