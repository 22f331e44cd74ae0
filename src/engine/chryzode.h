// The chryzode model: parameters, colours, zoom, the bitmap it draws into,
// and the arrays that the computation builds and the rendering reads.
#pragma once

#include <atomic>
#include <cstdint>

#include <allegro.h>

#include "cpoint.h"

// Bits of Cchryzode::type.
constexpr int from_root = 1;   // chords follow the orbit of r; clear: complete
constexpr int on_the_fly = 2;  // calcul counts into hits; clear: stored list

// Allocates a w x h hit map, all zero, indexed [column][row]. Throws
// std::bad_alloc with nothing left allocated.
int** new_hits(int w, int h);
// Releases a hit map of w columns; accepts null.
void delete_hits(int** hits, int w);

class Cchryzode {
public:
    BITMAP* bmp;
    int n, m, r, type;
    int zoom;
    int fg1, fg2, bg;
    int count;        // entries of seq; chords 1 to count - 1
    Cpoint* points;   // m points on the unit circle
    int* seq;         // chord list as point indexes
    Cpoint* inters;   // stored mode: every intersection, pair by pair
    int** hits;       // intersection count per pixel, [column][row]; from calcul to render
    int hits_w, hits_h, hits_zoom;  // bitmap size and zoom hits was made for
    bool fast;        // use the vectorised, multi-threaded loops
    // Pairs done so far by the computation under way; another thread may
    // read it to show how far the work is.
    std::atomic<std::int64_t> pairs_done{0};
    // Set by another thread to stop the computation or rendering under way,
    // which then returns false soon, with the model and the bitmap as they
    // were. Only the caller clears it, before the next one.
    std::atomic<bool> cancel_requested{false};

    explicit Cchryzode(BITMAP* bmp);
    ~Cchryzode();
    Cchryzode(const Cchryzode&) = delete;
    Cchryzode& operator=(const Cchryzode&) = delete;

    void set(int n, int m, int r, int type);
    void set_bmp(BITMAP* bmp);
    void set_colors(int fg1, int fg2, int bg);
    void set_zoom(int zoom);
    void set_fast(bool fast);

    // Computes points, chords and intersections, and counts them into the
    // hit map. False when the memory it needs cannot be had or when
    // cancelled; the model is then exactly as before the call.
    bool calcul();
    // Memory the next calcul needs, in bytes (saturating).
    std::uint64_t calcul_bytes() const;
    // Memory the next rerender needs, in bytes (saturating).
    std::uint64_t rerender_bytes() const;
    // One-line description; text must hold 104 bytes.
    void status(char* text) const;
    // Draws the density picture into bmp. False when the hit map of the
    // stored mode cannot be had or when cancelled while it is counted; the
    // model and the bitmap are then untouched. Right after a calcul it
    // cannot fail: the map is made.
    bool render();
    // Redraws after a change of zoom or bitmap: computes again first in
    // on-the-fly mode.
    bool rerender();

    // Number of pairs of chords of the current chord list.
    std::int64_t pairs() const;
    // Number of chords the next calcul draws with the current parameters.
    int planned_chords() const;
    // Pairs of those chords: what pairs_done counts up to.
    std::int64_t planned_pairs() const;
};
