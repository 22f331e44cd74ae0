// Times the plain (scalar) and the fast loops of the chryzode computation in
// the same run and prints pairs per second of each, their ratio and the
// cores the fast path had, the time of a New at the first values, the time
// of a picture across sizes and modes, the painting under each colour map,
// and how the fast path grows with m.
#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

// Seconds of one run: on the clock, and of processor time in all threads.
// Their quotient is the number of cores the run had on average: other
// programs running meanwhile take cores from the fast path first.
struct timing {
    double wall = 1e300, cpu = 0;
    double cores() const { return cpu / wall; }
};

double cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// The best of each of the runs over at least three rounds and about a
// second per run, a round running each once: the times least disturbed by
// other programs. Runs that are compared are timed in turn, so that the
// machine's speed, which drifts, is the same for all of them.
std::vector<timing> best_times(const std::vector<std::function<void()>>& runs)
{
    using clock = std::chrono::steady_clock;
    std::vector<timing> best(runs.size());
    double total = 0;
    for (int k = 0; k < 100 && (k < 3 || total < double(runs.size())); ++k) {
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const double cpu = cpu_seconds();
            const auto start = clock::now();
            runs[r]();
            const double t = std::chrono::duration<double>(clock::now() - start).count();
            if (t < best[r].wall)
                best[r] = timing{t, cpu_seconds() - cpu};
            total += t;
        }
    }
    return best;
}

timing best_time(const std::function<void()>& run) { return best_times({run})[0]; }

void check(bool done, const char* what)
{
    if (!done) {
        std::fprintf(stderr, "chryzode_bench: %s failed (not enough memory?)\n", what);
        std::exit(1);
    }
}

timing calcul_time(Cchryzode& model, bool fast)
{
    model.set_fast(fast);
    return best_time([&] { check(model.calcul(), "calcul"); });
}

// Binning of a stored list, as calcul does it after listing the points.
timing binning_time(const Cchryzode& model, bool fast)
{
    const pixel_map map(model.bmp->w, model.bmp->h, model.zoom);
    return best_time([&] {
        const hit_map hits(model.bmp->w, model.bmp->h, model.zoom);
        (fast ? fast::count_points : scalar::count_points)(model.inters, model.pairs(), map, hits.get(), work_watch{});
    });
}

void print_row(const char* what, int m, int w, int h, std::int64_t pairs, timing plain, timing fast)
{
    char size[24];
    std::snprintf(size, sizeof size, "%dx%d", w, h);
    std::printf("%-22s %6d %-9s %11lld %14.4g %14.4g %7.1f %6.2f\n", what, m, size, (long long)pairs,
                double(pairs) / plain.wall, double(pairs) / fast.wall, plain.wall / fast.wall, fast.cores());
    std::fflush(stdout);
}

// Complete mode uses m itself; from-root mode a prime near it of which 2
// generates every residue, so that the orbit of 1 has m - 1 chords too.
void compare(bool root, int m, int w, int h)
{
    const int type_root = root ? from_root : 0;
    {
        auto model = make_model(w, h, 2, m, 1, type_root | on_the_fly);
        const timing s = calcul_time(*model, false), f = calcul_time(*model, true);
        print_row(root ? "from root, on the fly" : "complete, on the fly", m, w, h, model->pairs(), s, f);
    }
    auto model = make_model(w, h, 2, m, 1, type_root);
    const timing s = calcul_time(*model, false), f = calcul_time(*model, true);
    print_row(root ? "from root, stored" : "complete, stored", m, w, h, model->pairs(), s, f);
    print_row("  binning at render", m, w, h, model->pairs(),
              binning_time(*model, false), binning_time(*model, true));
}

timing new_time(bool fast)
{
    auto model = make_model(640, 480, 2, 1499, 1, from_root | on_the_fly);
    model->set_fast(fast);
    return best_time([&] { check(model->calcul() && model->render(), "New"); });
}

// From computation to drawn picture, on the fast path.
std::function<void()> picture(Cchryzode& model)
{
    return [&model] { check(model.calcul() && model.render(), "picture"); };
}

void sizes_and_modes()
{
    std::printf("\nComputation to drawn picture, fast path, n = 2, zoom 1\n");
    auto small = make_model(640, 480, 2, 20000, 1, on_the_fly);
    auto large = make_model(4096, 4096, 2, 20000, 1, on_the_fly);
    auto stored = make_model(640, 480, 2, 20000, 1, 0);
    // A stored figure computed again writes over the list before the last;
    // the first of a model allocates its list.
    const auto first_stored = [] {
        auto model = make_model(640, 480, 2, 20000, 1, 0);
        check(model->calcul() && model->render(), "picture");
    };
    const std::vector<timing> t = best_times({picture(*small), picture(*large), picture(*stored), first_stored});
    std::printf("complete, m = 20000, on the fly: 640x480 %.3f s, 4096x4096 %.3f s, ratio %.2f\n", t[0].wall,
                t[1].wall, t[1].wall / t[0].wall);
    std::printf("complete, m = 20000, 640x480: stored %.3f s, on the fly %.3f s, ratio %.2f\n", t[2].wall,
                t[0].wall, t[2].wall / t[0].wall);
    std::printf("complete, m = 20000, 640x480: stored, the model's first %.3f s, ratio to on the fly %.2f\n",
                t[3].wall, t[3].wall / t[0].wall);
    large.reset();
    auto poster = make_model(16384, 16384, 2, 1499, 1, from_root | on_the_fly);
    std::printf("m = 1499, r = 1, from root, on the fly, 16384x16384: %.3f s\n", best_time(picture(*poster)).wall);
    std::fflush(stdout);
}

// The painting alone of a 4096x4096 picture from kept counts, under each
// scale, against the default ramp; and the whole poster, computation and
// painting, for the ramp and the two scales that read every count first.
void painting()
{
    std::printf("\nPainting 4096x4096 from kept counts, complete, m = 20000, on the fly; the poster\n"
                "(calcul + render, s) for the first three\n");
    // One thread is timed by its processor time, which other programs
    // disturb least; the fast path by the clock, with the cores it had.
    std::printf("%-16s %11s %8s %8s %6s %8s %8s %8s\n", "map", "1 thread ms", "vs ramp", "fast ms", "cores", "vs ramp",
                "poster", "vs ramp");
    auto model = make_model(4096, 4096, 2, 20000, 1, on_the_fly);
    check(model->calcul(), "calcul");
    const struct {
        palette_kind palette;
        scale_kind scale;
    } maps[] = {{palette_kind::ramp, scale_kind::sqrt}, {palette_kind::magma, scale_kind::log},
                {palette_kind::viridis, scale_kind::eq_hist}, {palette_kind::inferno, scale_kind::linear},
                {palette_kind::ramp, scale_kind::log}};
    std::vector<std::function<void()>> runs;
    for (const auto& map : maps)
        for (bool fast : {false, true})
            runs.push_back([&model, map, fast] {
                model->set_colour_map(map.palette, map.scale, 0);
                model->set_fast(fast);
                check(model->render(), "render");
            });
    const std::vector<timing> t = best_times(runs);
    // Whole posters: the ramp, log and eq_hist in turn.
    std::vector<std::function<void()>> posters;
    for (int k = 0; k < 3; ++k)
        posters.push_back([&model, map = maps[k]] {
            model->set_colour_map(map.palette, map.scale, 0);
            check(model->calcul() && model->render(), "poster");
        });
    const std::vector<timing> p = best_times(posters);
    for (std::size_t k = 0; k < std::size(maps); ++k) {
        char name[32], poster[32] = "";
        std::snprintf(name, sizeof name, "%s/%s", name_of(maps[k].scale), name_of(maps[k].palette));
        if (k < 3)
            std::snprintf(poster, sizeof poster, "%8.3f %8.3f", p[k].wall, p[k].wall / p[0].wall);
        const timing plain = t[2 * k], fast = t[2 * k + 1];
        std::printf("%-16s %11.1f %8.3f %8.1f %6.2f %8.3f %s\n", name, plain.cpu * 1e3, plain.cpu / t[0].cpu,
                    fast.wall * 1e3, fast.cores(), fast.wall / t[1].wall, poster);
    }
    std::fflush(stdout);
}

// The animation of n as the program runs it: each frame the worker's
// computation of the counts, then the painting, n stepping by 0.01 from 2,
// complete mode, on the fly, 640x480. m = 3 shows what a frame costs beside
// its pairs. Side by side: the fast loops' threads kept from frame to frame,
// and started anew for every frame (set_threads ends the threads kept).
void animation_frames()
{
    std::printf("\nAnimation frames, complete, on the fly, 640x480, n from 2 by 0.01: computation + painting\n");
    std::printf("%6s %12s | %-29s | %-29s | %s\n", "", "", "threads kept", "threads started every frame",
                "kept/started");
    std::printf("%6s %12s | %8s %8s %11s | %8s %8s %11s | %s\n", "m", "pairs", "ms/frame", "frames/s", "cpu ms/frame",
                "ms/frame", "frames/s", "cpu ms/frame", "frames/s");
    for (int m : {3, 1499, 5000, 10000}) {
        auto model = make_model(640, 480, 2, m, 1, on_the_fly);
        int frame = 0;
        const auto frames = [&](bool new_threads) {
            return [&, new_threads] {
                for (int k = 0; k < 20; ++k) {
                    if (new_threads)
                        fast::set_threads(0);
                    model->set(multiplier_after(2, 0.01, ++frame), m, 1, on_the_fly);
                    check(model->compute() && model->render(), "frame");
                }
            };
        };
        const std::vector<timing> t = best_times({frames(false), frames(true)});
        std::printf("%6d %12lld | %8.3f %8.1f %11.3f | %8.3f %8.1f %11.3f | %.2f\n", m, (long long)model->pairs(),
                    t[0].wall / 20 * 1e3, 20 / t[0].wall, t[0].cpu / 20 * 1e3, t[1].wall / 20 * 1e3, 20 / t[1].wall,
                    t[1].cpu / 20 * 1e3, t[1].wall / t[0].wall);
        std::fflush(stdout);
    }
}

// A magnified view counts only the pairs that can land in it: its time
// beside that of the whole picture, complete, on the fly, 640x480, n = 2.
void views()
{
    std::printf("\nViews, complete, on the fly, 640x480, n = 2: computation of the counts\n");
    std::printf("%6s %9s %-18s %10s %10s %8s %9s %6s\n", "m", "magnify", "about", "s=1 ms", "view ms", "ratio",
                "frames/s", "cores");
    const struct {
        int m;
        double magnify, x, y;
    } rows[] = {{20000, 16, 0.3, 0.2}, {20000, 16, -0.5, 0.3}, {20000, 256, 0.3, 0.2}, {100000, 256, 0.3, 0.2},
                {100000, 256, -0.5, 0.3}, {100000, 100000, 0.3, 0.2}};
    int whole_m = 0;
    timing whole;
    for (const auto& row : rows) {
        auto model = make_model(640, 480, 2, row.m, 1, on_the_fly);
        if (row.m != whole_m) {
            whole = calcul_time(*model, true);
            whole_m = row.m;
        }
        model->set_view(row.magnify, row.x, row.y);
        const timing t = calcul_time(*model, true);
        char about[40];
        std::snprintf(about, sizeof about, "(%g, %g)", row.x, row.y);
        std::printf("%6d %9g %-18s %10.2f %10.2f %8.4f %9.1f %6.2f\n", row.m, row.magnify, about, whole.wall * 1e3,
                    t.wall * 1e3, t.wall / whole.wall, 1 / t.wall, t.cores());
        std::fflush(stdout);
    }
}

void growth()
{
    std::printf("\nGrowth of the fast path, complete, on the fly, 640x480, n = 2, zoom 1\n");
    std::printf("%6s %12s %10s %14s %6s\n", "m", "pairs", "seconds", "pairs/s", "cores");
    for (int m : {1499, 5000, 20000, 50000, 99999}) {
        auto model = make_model(640, 480, 2, m, 1, on_the_fly);
        const timing t = calcul_time(*model, true);
        std::printf("%6d %12lld %10.4f %14.4g %6.2f\n", m, (long long)model->pairs(), t.wall,
                    double(model->pairs()) / t.wall, t.cores());
        std::fflush(stdout);
    }
}

}

int main(int argc, char** argv)
{
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    // "frames": the animation frames alone, a quick look.
    if (argc > 1 && std::string(argv[1]) == "frames") {
        animation_frames();
        return 0;
    }
    // "painting": the colour maps alone.
    if (argc > 1 && std::string(argv[1]) == "painting") {
        painting();
        return 0;
    }
    // "views": the magnified views alone; "pictures": the pictures across
    // sizes and modes alone.
    if (argc > 1 && std::string(argv[1]) == "views") {
        views();
        return 0;
    }
    if (argc > 1 && std::string(argv[1]) == "pictures") {
        sizes_and_modes();
        return 0;
    }
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("Fast path: %s, %u cores, load average %.2f at the start; n = 2, r = 1, zoom 1\n",
                fast_detail::target_name(), std::max(1u, std::thread::hardware_concurrency()), load[0]);
    std::printf("From root: m = 5003 and 20029 stand for 5000 and 20000 (orbits of every residue)\n\n");
    std::printf("%-22s %6s %-9s %11s %14s %14s %7s %6s\n", "mode", "m", "bitmap", "pairs", "scalar pairs/s",
                "fast pairs/s", "ratio", "cores");
    for (bool root : {false, true}) {
        for (int m : {1499, 5000, 20000})
            compare(root, root && m == 5000 ? 5003 : root && m == 20000 ? 20029 : m, 640, 480);
        compare(root, root ? 20029 : 20000, 1024, 768);
    }
    const timing s = new_time(false), f = new_time(true);
    std::printf("\nNew at the first values (n = 2, m = 1499, r = 1, from root, on the fly, 640x480):\n"
                "calcul + render %.2f ms scalar, %.2f ms fast\n", s.wall * 1e3, f.wall * 1e3);
    sizes_and_modes();
    painting();
    animation_frames();
    views();
    growth();
    return 0;
}
END_OF_MAIN()
