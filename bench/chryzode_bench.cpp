// Times the plain (scalar) and the fast loops of the chryzode computation in
// the same run and prints pairs per second of each, their ratio, the time of
// a New at the first values, and how the fast path grows with m.
#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "chryzode.h"
#include "kernels.h"
#include "kernels_fast.h"

namespace {

using model_ptr = std::unique_ptr<Cchryzode>;

model_ptr make_model(int w, int h, int n, int m, int r, int type)
{
    auto model = std::make_unique<Cchryzode>(create_bitmap(w, h));
    model->set(n, m, r, type);
    model->set_zoom(1);
    return model;
}

// Best time of one run, in seconds, over at least three runs and about a
// second of them: the best run is the one least disturbed by other programs.
double best_time(const std::function<void()>& run)
{
    using clock = std::chrono::steady_clock;
    double best = 1e300, total = 0;
    for (int k = 0; k < 100 && (k < 3 || total < 1.0); ++k) {
        const auto start = clock::now();
        run();
        const double t = std::chrono::duration<double>(clock::now() - start).count();
        best = std::min(best, t);
        total += t;
    }
    return best;
}

void check(bool done, const char* what)
{
    if (!done) {
        std::fprintf(stderr, "chryzode_bench: %s failed (not enough memory?)\n", what);
        std::exit(1);
    }
}

double calcul_time(Cchryzode& model, bool fast)
{
    model.set_fast(fast);
    return best_time([&] { check(model.calcul(), "calcul"); });
}

// Binning of a stored list, as render does it before drawing.
double binning_time(const Cchryzode& model, bool fast)
{
    const pixel_map map(model.bmp->w, model.bmp->h, model.zoom);
    return best_time([&] {
        int** hits = new_hits(model.bmp->w, model.bmp->h);
        (fast ? fast::count_points : scalar::count_points)(model.inters, model.pairs(), map, hits);
        delete_hits(hits, model.bmp->w);
    });
}

void print_row(const char* what, int m, int w, int h, std::int64_t pairs, double scalar_s, double fast_s)
{
    char size[24];
    std::snprintf(size, sizeof size, "%dx%d", w, h);
    std::printf("%-22s %6d %-9s %11lld %14.4g %14.4g %8.1f\n", what, m, size, (long long)pairs,
                double(pairs) / scalar_s, double(pairs) / fast_s, scalar_s / fast_s);
    std::fflush(stdout);
}

// Complete mode uses m itself; from-root mode a prime near it of which 2
// generates every residue, so that the orbit of 1 has m - 1 chords too.
void compare(bool root, int m, int w, int h)
{
    const int type_root = root ? from_root : 0;
    {
        auto model = make_model(w, h, 2, m, 1, type_root | on_the_fly);
        const double s = calcul_time(*model, false), f = calcul_time(*model, true);
        print_row(root ? "from root, on the fly" : "complete, on the fly", m, w, h, model->pairs(), s, f);
    }
    auto model = make_model(w, h, 2, m, 1, type_root);
    const double s = calcul_time(*model, false), f = calcul_time(*model, true);
    print_row(root ? "from root, stored" : "complete, stored", m, w, h, model->pairs(), s, f);
    print_row(root ? "  binning at render" : "  binning at render", m, w, h, model->pairs(),
              binning_time(*model, false), binning_time(*model, true));
}

double new_time(bool fast)
{
    auto model = make_model(640, 480, 2, 1499, 1, from_root | on_the_fly);
    model->set_fast(fast);
    return best_time([&] { check(model->calcul() && model->render(), "New"); });
}

void growth()
{
    std::printf("\nGrowth of the fast path, complete, on the fly, 640x480, n = 2, zoom 1\n");
    std::printf("%6s %12s %10s %14s\n", "m", "pairs", "seconds", "pairs/s");
    for (int m : {1499, 5000, 20000, 50000, 99999}) {
        auto model = make_model(640, 480, 2, m, 1, on_the_fly);
        const double t = calcul_time(*model, true);
        std::printf("%6d %12lld %10.4f %14.4g\n", m, (long long)model->pairs(), t, double(model->pairs()) / t);
        std::fflush(stdout);
    }
}

}

int main()
{
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    // Other programs running meanwhile take cores from the fast path first.
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("Fast path: %s, %u cores, load average %.2f at the start; n = 2, r = 1, zoom 1\n",
                fast_detail::target_name(), std::max(1u, std::thread::hardware_concurrency()), load[0]);
    std::printf("From root: m = 5003 and 20029 stand for 5000 and 20000 (orbits of every residue)\n\n");
    std::printf("%-22s %6s %-9s %11s %14s %14s %8s\n", "mode", "m", "bitmap", "pairs", "scalar pairs/s",
                "fast pairs/s", "ratio");
    for (bool root : {false, true}) {
        for (int m : {1499, 5000, 20000})
            compare(root, root && m == 5000 ? 5003 : root && m == 20000 ? 20029 : m, 640, 480);
        compare(root, root ? 20029 : 20000, 1024, 768);
    }
    const double s = new_time(false), f = new_time(true);
    std::printf("\nNew at the first values (n = 2, m = 1499, r = 1, from root, on the fly, 640x480):\n"
                "calcul + render %.2f ms scalar, %.2f ms fast\n", s * 1e3, f * 1e3);
    growth();
    return 0;
}
END_OF_MAIN()
