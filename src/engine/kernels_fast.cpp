// The fast loops: the pairs (or points) are cut into units of work that
// worker threads take in turn, each counting into a private grid that is
// added into the hit map once all have finished; every unit runs the vector
// loops of kernels_simd.cpp.
#include "kernels.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "kernels_fast.h"

namespace {

std::atomic<int> thread_setting{0};

// Below this much work per thread, another thread costs more (its start and
// its grid) than it saves.
constexpr std::int64_t work_per_thread = std::int64_t(1) << 18;
// Units per thread: enough for the threads to end together.
constexpr std::int64_t units_per_thread = 16;
// The cancel flag is looked at between units: a unit is a few milliseconds
// at most.
constexpr std::int64_t largest_unit = std::int64_t(1) << 22;

// A private count is kept below INT_MAX + 1 between units and grows by at
// most the work of the units since (one per pair or point), so it cannot
// pass UINT32_MAX as long as that work stays within this bound; past it the
// grid is brought back to INT_MAX, where every count saturates anyway.
constexpr std::int64_t counts_between_clamps = std::int64_t(1) << 31;
static_assert(INT_MAX + counts_between_clamps == UINT32_MAX, "no private count overflows");

struct free_deleter {
    void operator()(void* p) const { std::free(p); }
};

struct unit {
    std::int64_t begin, end;   // rows j, or points t
    std::int64_t work;         // pairs or points
};

// Cells of the largest private grid kept from one count to the next.
constexpr std::size_t largest_kept_grid = std::size_t(1) << 22;

// Threads for `work` pairs or points counted into a map: one per core at
// most, each with enough work. Another thread's private grid costs a pass
// over its cells, and the faults of all its pages when it is too large to be
// kept: only work well beyond that pays for it.
int thread_count(std::int64_t work, const pixel_map& map)
{
    const int setting = thread_setting.load();
    if (setting > 0)
        return setting;
    const std::int64_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::int64_t cells = std::int64_t(map.w) * map.h;
    const std::int64_t grid_cost = std::max<std::int64_t>(1, cells * (cells <= std::int64_t(largest_kept_grid) ? 1 : 8));
    return int(std::clamp(std::min(work / work_per_thread, work / grid_cost), std::int64_t(1), cores));
}

std::int64_t unit_size(std::int64_t work, int threads)
{
    static_assert(largest_unit <= counts_between_clamps, "a unit never needs a clamp within it");
    return std::clamp(work / (threads * units_per_thread), std::int64_t(1), largest_unit);
}

// Rows 1 to chords - 1 (row j holds the j pairs (j, i)) in units of about
// `size` pairs.
std::vector<unit> row_units(int chords, std::int64_t size)
{
    std::vector<unit> units;
    unit u{1, 1, 0};
    for (int j = 1; j < chords; ++j) {
        u.end = j + 1;
        u.work += j;
        if (u.work >= size) {
            units.push_back(u);
            u = unit{j + 1, j + 1, 0};
        }
    }
    if (u.work > 0)
        units.push_back(u);
    return units;
}

std::vector<unit> span_units(std::int64_t n, std::int64_t size)
{
    std::vector<unit> units;
    for (std::int64_t t = 0; t < n; t += size)
        units.push_back(unit{t, std::min(n, t + size), std::min(n, t + size) - t});
    return units;
}

// Worker threads kept from one count to the next, so that the frames of an
// animation start none: started as counts first ask for them, joined when
// the program ends. One count at a time has them; a count that finds them
// taken by a count on another thread runs alone, and so does a forked child,
// which has none of its parent's threads. Never destroyed: destroying the
// condition variables in such a child would wait for the parent's workers.
class team {
public:
    // Runs work(k) for k = 0 on the calling thread and k = 1, 2, ... on the
    // workers that join it, at most threads - 1, all done before it returns;
    // returns how many ran. A worker that cannot be started, or that the
    // system has not run by the time the calling thread has finished, leaves
    // its share to the others: a busy machine never keeps a count waiting
    // for a thread that has nothing left to do.
    template <class Work>
    int run(int threads, const Work& work)
    {
        std::unique_lock<std::mutex> turn(busy, std::defer_lock);
        if (threads <= 1 || getpid() != owner || !turn.try_lock()) {
            work(0);
            return 1;
        }
        grow(threads - 1);
        {
            const std::lock_guard<std::mutex> hold(lock);
            job = &work;
            call = [](const void* w, int k) { (*static_cast<const Work*>(w))(k); };
            ++round;
            open = std::min(threads - 1, int(workers.size()));
            joined = 0;
        }
        wake.notify_all();
        try {
            work(0);
        } catch (...) {
            close();
            throw;
        }
        return close() + 1;
    }

    // Joins every worker, once no count has them; the next count starts
    // them again.
    void stop()
    {
        if (getpid() != owner)
            return;
        const std::lock_guard<std::mutex> turn(busy);
        set_ending(true);
        wake.notify_all();
        for (std::thread& t : workers)
            t.join();
        workers.clear();
        set_ending(false);
    }

private:
    // Lets no more workers join the job, waits for those that have, and
    // returns how many did.
    int close()
    {
        std::unique_lock<std::mutex> hold(lock);
        open = 0;
        done.wait(hold, [this] { return running == 0; });
        return joined;
    }

    // Up to `size` workers; fewer when the system refuses more.
    void grow(int size)
    {
        while (int(workers.size()) < size) {
            try {
                workers.emplace_back([this, seen = round] { serve(seen); });
            } catch (...) {   // std::system_error or std::bad_alloc
                return;
            }
        }
    }

    // A worker joins each job that still has room, numbered in the order of
    // joining.
    void serve(std::uint64_t seen)
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            wake.wait(hold, [&] { return ending || (round != seen && joined < open); });
            if (ending)
                return;
            seen = round;
            const int k = ++joined;
            ++running;
            void (*const run_job)(const void*, int) = call;
            const void* const this_job = job;
            hold.unlock();
            run_job(this_job, k);
            hold.lock();
            if (--running == 0)
                done.notify_one();
        }
    }

    void set_ending(bool end)
    {
        const std::lock_guard<std::mutex> hold(lock);
        ending = end;
    }

    const pid_t owner = getpid();
    std::mutex busy;   // held by the count that has the workers
    std::vector<std::thread> workers;
    // The job, under lock: a job bumps `round`; up to `open` workers join
    // it and run call(job, k), `running` of them not finished yet.
    std::mutex lock;
    std::condition_variable wake, done;
    void (*call)(const void*, int) = nullptr;
    const void* job = nullptr;
    std::uint64_t round = 0;
    int open = 0, joined = 0, running = 0;
    bool ending = false;
};

team& kept_team()
{
    static team& kept = *new team;
    [[maybe_unused]] static const int joined_at_exit = std::atexit([] { kept_team().stop(); });
    return kept;
}

// Takes the units of a job in turn, from any number of workers.
class dispenser {
public:
    explicit dispenser(std::vector<unit> units) : units(std::move(units)) {}

    const unit* next()
    {
        const std::size_t k = taken.fetch_add(1);
        return k < units.size() ? &units[k] : nullptr;
    }
    void stop() { taken.store(units.size()); }
    std::size_t size() const { return units.size(); }

private:
    const std::vector<unit> units;
    std::atomic<std::size_t> taken{0};
};

void clamp_counts(std::uint32_t* cells, std::size_t n)
{
    for (std::size_t k = 0; k < n; ++k)
        cells[k] = std::min(cells[k], std::uint32_t(INT_MAX));
}

// Adds a private grid into hits, saturating at INT_MAX, and leaves it zero
// again. Cells never hit are left alone, so that the pages of a large map
// that nothing falls on stay untouched.
void add_grid(std::uint32_t* cells, const pixel_map& map, int** hits)
{
    for (int x = 0; x < map.w; ++x) {
        std::uint32_t* const column = cells + std::size_t(x) * std::size_t(map.h);
        for (int y = 0; y < map.h; ++y)
            if (column[y] != 0) {
                hits[x][y] = int(std::min(std::int64_t(hits[x][y]) + column[y], std::int64_t(INT_MAX)));
                column[y] = 0;
            }
    }
}

using grid_ptr = std::unique_ptr<std::uint32_t[], free_deleter>;

// Private grids kept zero from one count to the next of the same size, as
// in an animation: a fresh grid costs a page fault for every page hit. Only
// small ones are kept, not worth their memory otherwise.
class grid_pool {
public:
    std::vector<grid_ptr> take(int threads, std::size_t cells)
    {
        std::vector<grid_ptr> grids;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (cells == kept_cells)
                while (!kept.empty() && int(grids.size()) < threads) {
                    grids.push_back(std::move(kept.back()));
                    kept.pop_back();
                }
        }
        // Zero pages from calloc: only the pages that are hit are ever written.
        while (int(grids.size()) < threads) {
            grids.emplace_back(static_cast<std::uint32_t*>(std::calloc(cells, sizeof(std::uint32_t))));
            if (!grids.back())
                throw std::bad_alloc();
        }
        return grids;
    }
    // Grids that are all zero again.
    void give_back(std::vector<grid_ptr> grids, std::size_t cells)
    {
        if (cells > largest_kept_grid)
            return;
        std::lock_guard<std::mutex> hold(lock);
        if (cells != kept_cells)
            kept.clear();
        kept_cells = cells;
        for (grid_ptr& g : grids)
            kept.push_back(std::move(g));
    }

private:
    std::mutex lock;
    std::vector<grid_ptr> kept;
    std::size_t kept_cells = 0;
};

grid_pool pool;

// True when the columns of hits lie one after the other, as a hit_map makes
// them: the map is then a grid of its own.
bool one_block(int** hits, const pixel_map& map)
{
    for (int x = 1; x < map.w; ++x)
        if (hits[x] != hits[0] + std::size_t(x) * std::size_t(map.h))
            return false;
    return true;
}

// Runs count(unit, grid) over the units on up to `threads` threads, each
// counting into a private grid of the size of the map, added into hits at
// the end, saturating at INT_MAX; the first counts straight into hits when
// the map is made in one block. False, with hits incomplete, when cancelled.
template <class Count>
bool count_on_grids(std::vector<unit> units, int threads, const pixel_map& map, int** hits,
                    const work_watch& watch, const Count& count)
{
    dispenser job(std::move(units));
    if (job.size() == 0)
        return !watch.cancelled();
    threads = int(std::min<std::size_t>(std::size_t(threads), job.size()));

    // A power-of-two divisor has an exact inverse: dividing by it and
    // multiplying by its inverse round the same quotient.
    int exponent;
    const bool power_of_two = map.divisor != 0 && std::fabs(std::frexp(map.divisor, &exponent)) == 0.5f;
    const float inverse = power_of_two ? 1.0f / map.divisor : 0.0f;

    // The first thread counts straight into a map made in one block, the
    // others into private grids added into it at the end.
    static_assert(sizeof(int) == sizeof(std::uint32_t), "a count is read as its unsigned self");
    const std::size_t cells = std::size_t(map.w) * std::size_t(map.h);
    const bool into_map = one_block(hits, map);
    std::vector<grid_ptr> grids = pool.take(threads - into_map, cells);

    const int started = kept_team().run(
        threads,
        [&](int worker) {
            const fast_detail::grid g = into_map && worker == 0
                                            ? fast_detail::grid{reinterpret_cast<std::uint32_t*>(hits[0]), true, map, inverse}
                                            : fast_detail::grid{grids[std::size_t(worker - into_map)].get(), false, map, inverse};
            std::int64_t since_clamp = 0;
            while (const unit* u = job.next()) {
                if (watch.cancelled()) {
                    job.stop();
                    return;
                }
                if (!g.saturating && since_clamp + u->work > counts_between_clamps) {
                    clamp_counts(g.cells, cells);
                    since_clamp = 0;
                }
                since_clamp += u->work;
                count(*u, g);
            }
        });

    // The grids of a cancelled count are left as they are, and released.
    if (watch.cancelled())
        return false;
    for (int k = into_map; k < started; ++k)
        add_grid(grids[std::size_t(k - into_map)].get(), map, hits);
    pool.give_back(std::move(grids), cells);
    return true;
}

// A list's pages, written fault by fault, cost more than the pairs on them:
// a unit asks for all its whole pages at once before it writes them. Only a
// request: refused or unknown, the pages fault one by one as before.
void prefault(Cpoint* out, const unit& u)
{
#ifdef MADV_POPULATE_WRITE
    static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(out + u.begin * (u.begin - 1) / 2);
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(out + u.end * (u.end - 1) / 2);
    const std::uintptr_t begin = (first + page - 1) / page * page, end = last / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)out;
    (void)u;
#endif
}

// The chords' lines, coefficient by coefficient, padded for vector loads.
class chord_lines {
public:
    chord_lines(const Cpoint* from, const Cpoint* to, int chords)
        : stride(std::size_t(chords) + fast_detail::padding),
          store(new float[3 * stride]())
    {
        float* const a = store.get();
        float* const b = a + stride;
        float* const c = b + stride;
        for (int k = 0; k < chords; ++k) {
            a[k] = from[k].y - to[k].y;
            b[k] = to[k].x - from[k].x;
            c[k] = a[k] * from[k].x + b[k] * from[k].y;
        }
    }

    fast_detail::lines get() const
    {
        return fast_detail::lines{store.get(), store.get() + stride, store.get() + 2 * stride};
    }

private:
    std::size_t stride;
    std::unique_ptr<float[]> store;
};

}

namespace fast {

void set_threads(int threads)
{
    thread_setting.store(std::max(0, threads));
    kept_team().stop();
}

std::uint64_t scratch_bytes(int chords, int w, int h)
{
    const int setting = thread_setting.load();
    const std::uint64_t threads = setting > 0 ? unsigned(setting) : std::max(1u, std::thread::hardware_concurrency());
    const std::uint64_t lines = 3 * (std::uint64_t(chords) + fast_detail::padding) * sizeof(float);
    return lines + threads * std::uint64_t(w) * std::uint64_t(h) * sizeof(std::uint32_t);
}

bool count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits, const work_watch& watch)
{
    return list_pairs(from, to, chords, nullptr, map, hits, watch);
}

bool list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out,
                const pixel_map& map, int** hits, const work_watch& watch)
{
    if (!fast_detail::cells_fit(map))
        return out ? scalar::list_pairs(from, to, chords, out, watch) &&
                         scalar::count_points(out, pair_count(chords), map, hits, watch)
                   : scalar::count_pairs(from, to, chords, map, hits, watch);
    const chord_lines lines(from, to, chords);
    const std::int64_t work = pair_count(chords);
    const int threads = thread_count(work, map);
    return count_on_grids(row_units(chords, unit_size(work, threads)), threads, map, hits, watch,
                          [&](const unit& u, const fast_detail::grid& g) {
                              if (out)
                                  prefault(out, u);
                              fast_detail::pair_rows(lines.get(), int(u.begin), int(u.end), out, g);
                              watch.add_done(u.work);
                          });
}

bool count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits, const work_watch& watch)
{
    if (!fast_detail::cells_fit(map))
        return scalar::count_points(points, n, map, hits, watch);
    const int threads = thread_count(n, map);
    return count_on_grids(span_units(n, unit_size(n, threads)), threads, map, hits, watch,
                          [&](const unit& u, const fast_detail::grid& g) {
                              fast_detail::count_span(points, u.begin, u.end, g);
                          });
}

}
