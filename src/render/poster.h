// Making one picture from the options: the same model operations as the
// desktop program's New chryzode command, on a memory bitmap of any size.
#pragma once

#include <cstdint>
#include <string>

#include "chryzode.h"
#include "options.h"

// Bytes the picture needs at its peak: the bitmap, what the computation
// holds, and in stored mode the hit map that the drawing builds beside the
// kept list of points.
std::uint64_t picture_bytes(const Cchryzode& model);

// Draws the picture and writes it. Reports any failure on standard error
// and returns the exit status: 0 once the file is written completely.
int make_poster(const render_options& options);

// Writes "quorvane-render: message" on standard error; returns status.
int fail(int status, const std::string& message);
