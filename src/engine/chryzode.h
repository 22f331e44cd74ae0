// The chryzode model: parameters, colours, zoom, the bitmap it draws into,
// and the arrays that the computation builds and the rendering reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <allegro.h>

#include "cpoint.h"
#include "pixel_map.h"
#include "settings.h"

// Intersection counts per pixel of a w x h bitmap at a zoom, indexed
// [column][row], the columns one after the other in one block.
class hit_map {
public:
    hit_map() = default;
    // All zero. Throws std::bad_alloc with nothing allocated.
    hit_map(int w, int h, int zoom);
    ~hit_map();
    hit_map(hit_map&& other) noexcept;
    hit_map& operator=(hit_map&& other) noexcept;

    explicit operator bool() const { return columns != nullptr; }
    int** get() const { return columns; }
    int width() const { return w; }
    int height() const { return h; }
    // Whether these are the counts of a w x h bitmap at this zoom and view.
    bool fits(int w, int h, int zoom, double magnify, double cx, double cy) const
    {
        return columns && this->w == w && this->h == h && this->zoom == zoom && this->magnify == magnify &&
               this->cx == cx && this->cy == cy;
    }
    void set_view(int zoom, double magnify, double cx, double cy)
    {
        this->zoom = zoom;
        this->magnify = magnify;
        this->cx = cx;
        this->cy = cy;
    }
    std::uint64_t bytes() const;
    void clear();

private:
    int** columns = nullptr;
    int w = 0, h = 0, zoom = 0;
    double magnify = 1, cx = 0, cy = 0;
};

class Cchryzode {
public:
    BITMAP* bmp;
    double n;         // a whole number in from-root mode
    int m, r, type;
    int zoom;
    // The view: magnified `magnify` times about (cx, cy), in the crossings'
    // own coordinates. A stored list keeps every crossing whatever the view.
    double magnify, cx, cy;
    int fg1, fg2, bg;  // colours in the depth of bmp
    // The picture size the counts are made for: the bitmap's, or set alone
    // on a model that only counts and has no bitmap.
    int width, height;
    // How counts become colours; scale_max fixes the largest count of
    // linear and log (0: the picture's own).
    palette_kind palette = palette_kind::ramp;
    scale_kind scale = scale_kind::sqrt;
    int scale_max = 0;
    int count;        // entries of seq; chords 1 to count - 1
    Cpoint* points;   // m points on the unit circle
    int points_m;     // the m that points were placed for
    int* seq;         // chord list as point indexes (complete mode: where k*n falls, rounded down)
    Cpoint* inters;   // stored mode: every intersection, pair by pair
    double inters_n;  // the figure inters was computed for
    int inters_m, inters_r, inters_type;
    // Counts of the figure last computed, kept so that it can be painted
    // again in other colours; and a cleared map kept for the next one.
    hit_map hits, spare;
    bool fast;        // use the vectorised, multi-threaded loops
    // Pairs done so far by the computation under way, and all it has to do
    // once its chords are known; another thread may read them to show how
    // far the work is.
    std::atomic<std::int64_t> pairs_done{0}, pairs_planned{0};
    // Set by another thread to stop the computation under way, which then
    // returns false soon, with the model as it was. Only the caller clears
    // it, before the next one.
    std::atomic<bool> cancel_requested{false};

    // bmp may be null for a model that only counts (set_size gives its size).
    explicit Cchryzode(BITMAP* bmp);
    ~Cchryzode();
    Cchryzode(const Cchryzode&) = delete;
    Cchryzode& operator=(const Cchryzode&) = delete;

    void set(double n, int m, int r, int type);
    void set_bmp(BITMAP* bmp);
    void set_size(int w, int h);
    void set_colors(int fg1, int fg2, int bg);
    void set_colour_map(palette_kind palette, scale_kind scale, int scale_max);
    void set_zoom(int zoom);
    // Any view that view_valid (settings.h) admits; computes nothing.
    void set_view(double magnify, double cx, double cy);
    void set_fast(bool fast);

    // Computes points, chords and intersections, and counts them into the
    // hit map. False when the memory it needs cannot be had or when
    // cancelled; the model is then exactly as before the call.
    bool calcul();
    // Makes the hit map of the current parameters, zoom and bitmap size:
    // counts the stored list again when only the zoom, the view or the size
    // changed,
    // else calcul. Calls no Allegro function, so it may run on any thread.
    bool compute();
    // Memory the next calcul and render need at most, in bytes (saturating).
    std::uint64_t calcul_bytes() const;
    // Memory the next compute needs, in bytes (saturating).
    std::uint64_t compute_bytes() const;
    // One-line description; text must hold config::status_size bytes.
    void status(char* text) const;
    // Draws the density picture into bmp, counting first if the hit map is
    // not that of the current figure. False when that counting fails, or
    // the memory for the colours of a palette other than the ramp's square
    // root; the model and the bitmap are then untouched. Right after a
    // compute, with the default colour map, it cannot fail.
    bool render();
    // Redraws after a change of zoom or bitmap: computes again first in
    // on-the-fly mode.
    bool rerender();

    // The counts of the figure last computed, handed over: the model keeps
    // none. A model that only counts gives them to the one that draws.
    hit_map take_counts();
    // Counts made elsewhere for the current parameters, zoom and size,
    // kept for render.
    void adopt_counts(hit_map counts);

    // Number of pairs of chords of the current chord list.
    std::int64_t pairs() const;
    // Number of chords the next calcul draws with the current parameters.
    std::int64_t planned_chords() const;
    // Pairs of those chords: what pairs_done counts up to.
    std::int64_t planned_pairs() const;

private:
    pixel_map mapping() const;
    void keep_list(std::unique_ptr<Cpoint[]> list, std::uint64_t list_pairs);
    bool list_matches() const;
    bool count_list();
    hit_map take_map();
    void keep_counts(hit_map counts);

    // The list of the stored figure before the last, kept for the next of
    // as many pairs (see keep_list).
    std::unique_ptr<Cpoint[]> spare_list;
    std::uint64_t spare_list_pairs = 0;
};

// A figure to count: everything its counts depend on, numbered so that its
// result can be matched with the newest request.
struct figure_request {
    figure_settings figure;
    int w = 0, h = 0;            // the picture's size
    std::uint64_t number = 0;
};

// What counting a request gave.
struct figure_counts {
    std::uint64_t number = 0;    // the request's
    bool computed = false;       // false when cancelled or short of memory
    std::uint64_t bytes_needed = 0;   // short of memory: what it needed
    hit_map hits;
};

// Counts the request on counter, a model without bitmap that is kept from
// one request to the next so that its stored list serves another zoom or
// view. Reads nothing but the request and counter; calls no Allegro
// function, so it runs on any thread.
figure_counts count_figure(Cchryzode& counter, const figure_request& request);

