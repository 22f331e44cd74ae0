// The command line of quorvane-render: what to draw, how large, and where.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

#include "film.h"
#include "picture_file.h"
#include "settings.h"
#include "settings_file.h"
// The most frames one run draws: 11 hours of video at 25 a second.
constexpr long long max_frames = 1000000;

// The most frames a second of a film.
constexpr int max_fps = 1000;

// The multipliers of --frames, N1 to N2 by STEP, counted exactly: in units of
// the finest decimal given, 10^-decimals.
struct frame_range {
    double first = 0, step = 1;
    long long count = 0;
    bool whole = true;   // every n a whole number: the files are named by n

    double n_of(long long frame) const;
    // The name of a frame: the pattern's conversion takes n when every n is
    // whole, else the frame's number, counted from 0.
    std::string name_of(const std::string& pattern, long long frame) const;
};

// The defaults are those of the desktop program's New chryzode dialog.
struct render_options {
    figure_settings figure;
    int w = default_width, h = default_height;
    std::string output;      // a file name, a frame name pattern, or "-"
    bool to_stdout = false;  // -o -
    picture_format format = picture_format::bmp;
    bool frames = false;     // one picture per n of range
    frame_range range;
    bool quiet = false;
    bool film = false;       // the frames piped into ffmpeg, into one film
    film_kind film_format = film_kind::mp4;
    int fps = config::animation_fps;
};

// Bad input: the one-line message names the option and what it admits.
struct usage_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class action { render, print_settings, help, version };

// Reads the command line into options. Throws usage_error on bad input.
action parse_options(int argc, char** argv, render_options& options);

void print_help(std::FILE* out);
