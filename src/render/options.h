// The command line of quorvane-render: what to draw, how large, and where.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

#include "chryzode.h"
#include "picture_file.h"

// The largest width and height a picture may have.
constexpr int max_side = 16384;

// The defaults are the first values of the desktop program's New chryzode
// dialog and the model's own colours.
struct render_options {
    int n = 2;
    int m = 1499;
    int r = 1;
    int type = from_root | on_the_fly;
    int zoom = 1;
    int w = 640, h = 480;
    rgb fg1{255, 0, 0}, fg2{255, 255, 0}, bg{0, 0, 0};
    std::string output;      // a file name, a frame name pattern, or "-"
    bool to_stdout = false;  // -o -
    picture_format format = picture_format::bmp;
    bool frames = false;     // one picture per n, first to last by step
    int first = 0, last = 0, step = 1;
    bool quiet = false;
};

// Bad input: the one-line message names the option and what it admits.
struct usage_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class action { render, help, version };

// Reads the command line into options. Throws usage_error on bad input.
action parse_options(int argc, char** argv, render_options& options);

void print_help(std::FILE* out);

// The file name of the frame of multiplier n: the -o pattern, checked by
// parse_options, with n in place of its one conversion.
std::string frame_name(const std::string& pattern, int n);
