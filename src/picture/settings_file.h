// A picture's settings as a TOML document: what both programs write into
// every PNG and into settings files, and read back to draw it again.
#pragma once

#include <string>

#include "settings.h"

// Everything a picture is drawn from: the figure and the picture's size.
struct picture_settings {
    figure_settings figure;
    int width = default_width, height = default_height;
};

// The largest width and height a picture may have.
constexpr int max_side = 16384;

// The first line that makes a TOML document a picture's settings.
extern const char settings_format[];   // "quorvane 1"

// The settings as a TOML document, every key written: format, n, m, r,
// mode, storage, zoom, magnify, center, palette, scale, scale_max, fg1, fg2,
// bg, width, height. Numbers are written in their shortest exact form, so
// that n = 2.37 reads 2.37 and reads back as the same double.
std::string settings_text(const picture_settings& settings);

// Reads a TOML document into out, the keys left out taking the defaults.
// False, with why naming the key and what it admits ("m: expected a whole
// number from 1 to 2147483647, got 0"), for a document that is not TOML, a
// missing or wrong format, an unknown key or a bad value; out is then left
// as it was.
bool read_settings(const std::string& text, picture_settings& out, std::string& why);

// Reads the settings of a file: the iTXt chunk "quorvane" of a PNG (told by
// its signature, whatever its name), else the file as a TOML document.
// False, with why ready to follow the file's name and a colon: "No such
// file or directory", "a PNG without Quorvane settings", "line 3: m: ...".
bool read_settings_file(const std::string& path, picture_settings& out, std::string& why);

// Writes settings_text into path: beside it first, then renamed into place,
// so that a failed save leaves the old file whole. False with the system's
// reason in why.
bool save_settings_file(const std::string& path, const picture_settings& settings, std::string& why);
