// Test support: Allegro without a display, and small helpers on bitmaps.
#pragma once

#include <allegro.h>

#include <memory>

#include "chryzode.h"

struct bitmap_deleter {
    void operator()(BITMAP* b) const { destroy_bitmap(b); }
};
using bitmap_ptr = std::unique_ptr<BITMAP, bitmap_deleter>;

// A model on a fresh w x h bitmap, parametrised and with zoom set.
std::unique_ptr<Cchryzode> make_model(int w, int h, int n, int m, int r, int type, int zoom = 1);

// True when both bitmaps have the same size and the same pixels.
bool same_pixels(BITMAP* a, BITMAP* b);

// Copy of a bitmap.
bitmap_ptr copy_of(BITMAP* b);
