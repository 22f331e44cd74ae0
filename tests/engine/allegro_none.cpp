#include "allegro_none.h"

#include <cerrno>
#include <cstdlib>

#include <gtest/gtest.h>

std::unique_ptr<Cchryzode> make_model(int w, int h, int n, int m, int r, int type, int zoom)
{
    auto model = std::make_unique<Cchryzode>(create_bitmap(w, h));
    model->set(n, m, r, type);
    model->set_zoom(zoom);
    return model;
}

bool same_pixels(BITMAP* a, BITMAP* b)
{
    if (a->w != b->w || a->h != b->h)
        return false;
    for (int y = 0; y < a->h; ++y)
        for (int x = 0; x < a->w; ++x)
            if (getpixel(a, x, y) != getpixel(b, x, y))
                return false;
    return true;
}

bitmap_ptr copy_of(BITMAP* b)
{
    bitmap_ptr copy(create_bitmap(b->w, b->h));
    blit(b, copy.get(), 0, 0, 0, 0, b->w, b->h);
    return copy;
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    return RUN_ALL_TESTS();
}
