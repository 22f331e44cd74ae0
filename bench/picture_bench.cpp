// Times the writing of a large picture: Allegro's save_bmp against the
// program's own BMP writer (the same bytes), and the PNG writer, all to
// /dev/null so that only the writers are timed, best of three runs.
#include <fcntl.h>
#include <unistd.h>

#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "chryzode.h"
#include "picture_file.h"

namespace {

double best_of_three(const std::function<void()>& run)
{
    double best = 1e300;
    for (int k = 0; k < 3; ++k) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}

int main()
{
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    const int side = 8192;
    Cchryzode model(create_bitmap(side, side));
    model.set(2, 20000, 0, on_the_fly);
    if (!model.bmp || !model.calcul() || !model.render())
        return 1;
    const int null = open("/dev/null", O_WRONLY);
    const double allegro = best_of_three([&] { save_bmp("/dev/null", model.bmp, nullptr); });
    const double bmp = best_of_three([&] { write_picture(null, model.bmp, picture_format::bmp, ""); });
    const double png = best_of_three([&] { write_picture(null, model.bmp, picture_format::png, ""); });
    std::printf("%dx%d picture of the complete figure of n = 2 in m = 20000\n", side, side);
    std::printf("save_bmp      %6.3f s\n", allegro);
    std::printf("BMP writer    %6.3f s  (%.1fx faster)\n", bmp, allegro / bmp);
    std::printf("PNG writer    %6.3f s\n", png);
    close(null);
    return 0;
}
