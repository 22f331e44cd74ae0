// Checks a saved picture against the engine's own rendering of the same
// figure: same size and every pixel the same colour.
//   picture_check FILE.bmp N M R TYPE ZOOM FG1 FG2 BG    (colours as R,G,B)
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <allegro.h>

#include "chryzode.h"

namespace {

int colour(const char* text)
{
    int r, g, b;
    if (std::sscanf(text, "%d,%d,%d", &r, &g, &b) != 3) {
        std::fprintf(stderr, "picture_check: not a colour: %s\n", text);
        std::exit(2);
    }
    return makecol(r, g, b);
}

}

int main(int argc, char** argv)
{
    if (argc != 10) {
        std::fprintf(stderr, "usage: picture_check FILE.bmp N M R TYPE ZOOM FG1 FG2 BG\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 2;
    set_color_depth(32);
    BITMAP* saved = load_bmp(argv[1], nullptr);
    if (!saved) {
        std::fprintf(stderr, "picture_check: cannot read %s\n", argv[1]);
        return 1;
    }
    Cchryzode model(create_bitmap(saved->w, saved->h));
    model.set(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    model.set_zoom(std::atoi(argv[6]));
    model.set_colors(colour(argv[7]), colour(argv[8]), colour(argv[9]));
    if (!model.calcul() || !model.render())
        return 2;
    long differ = 0, figure = 0;
    for (int y = 0; y < saved->h; ++y)
        for (int x = 0; x < saved->w; ++x) {
            const int a = getpixel(saved, x, y), b = getpixel(model.bmp, x, y);
            if (getr(a) != getr(b) || getg(a) != getg(b) || getb(a) != getb(b))
                ++differ;
            if (b != model.bg)
                ++figure;
        }
    std::printf("%dx%d, %ld figure pixels, %ld differ\n", saved->w, saved->h, figure, differ);
    destroy_bitmap(saved);
    return differ == 0 && figure > 0 ? 0 : 1;
}
END_OF_MAIN()
