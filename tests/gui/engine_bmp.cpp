// Writes the engine's picture of a figure, in the default colours, to a BMP
// file: what the program's view should show for the same values.
//   engine_bmp N M R TYPE ZOOM WIDTH HEIGHT FILE
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "chryzode.h"

int main(int argc, char** argv)
{
    if (argc != 9) {
        std::fprintf(stderr, "usage: engine_bmp N M R TYPE ZOOM WIDTH HEIGHT FILE\n");
        return 2;
    }
    int v[7];
    for (int i = 0; i < 7; ++i)
        v[i] = std::atoi(argv[i + 1]);
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    Cchryzode model(create_bitmap(v[5], v[6]));
    model.set(v[0], v[1], v[2], v[3]);
    model.set_zoom(v[4]);
    if (!model.calcul() || !model.render() || save_bmp(argv[8], model.bmp, nullptr) != 0)
        return 1;
    return 0;
}
