// The vector loops of the fast path, compiled once for every instruction set
// that Highway targets (foreach_target) and dispatched at run time. Each one
// does, lane by lane, exactly the float operations of inter() and
// pixel_map::to_pixel, in the same order: no fused multiply-add, true
// division (a product only by the exact inverse of a power of two, see
// mapper::scaled), and the inside test on the truncated pixel (see
// truncated()).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include <climits>
#include <cstring>

#include "kernels_fast.h"

HWY_BEFORE_NAMESPACE();
namespace fast_detail {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using DF = hn::ScalableTag<float>;
using DU = hn::RebindToUnsigned<DF>;
using VF = hn::Vec<DF>;
using MF = hn::Mask<DF>;

// Cells collected before they are counted: counting them in one run keeps
// the increments apart from the vector work.
constexpr std::size_t batch = 2048;
constexpr std::size_t pending_size = batch + hn::MaxLanes(DU());

// Neighbouring pairs often fall on the same pixel, and an increment of a
// cell waits for the one before it: the cells are taken from `ways` parts of
// the batch in turn, so that two increments of the same cell lie far enough
// apart not to stall.
template <bool saturating>
void count_cells(std::uint32_t* cells, const std::uint32_t* pending, std::size_t used)
{
    const auto add = [cells](std::uint32_t cell) {
        if (!saturating || cells[cell] != std::uint32_t(INT_MAX))
            ++cells[cell];
    };
    constexpr std::size_t ways = 8;
    const std::size_t part = used / ways;
    for (std::size_t k = 0; k < part; ++k)
        // Unrolled, the loop costs no more than the increments themselves.
#pragma GCC unroll 8
        for (std::size_t w = 0; w < ways; ++w)
            add(pending[w * part + k]);
    for (std::size_t k = ways * part; k < used; ++k)
        add(pending[k]);
}

void count_cells(const grid& g, const std::uint32_t* pending, std::size_t used)
{
    if (g.saturating)
        count_cells<true>(g.cells, pending, used);
    else
        count_cells<false>(g.cells, pending, used);
}

#if HWY_TARGET == HWY_AVX2
// Highway's Compress builds its 1 KiB table of lane indices on the stack at
// every call with GCC 12, a copy that costs more than all the arithmetic;
// this table is built once. Entry `bits` holds, a byte each, the lanes whose
// bit is set, in order: loaded as it is into the permute.
struct lane_table {
    std::uint8_t lanes[256][8] = {};
    constexpr lane_table()
    {
        for (unsigned bits = 0; bits < 256; ++bits)
            for (unsigned lane = 0, kept = 0; lane < 8; ++lane)
                if (bits >> lane & 1)
                    lanes[bits][kept++] = std::uint8_t(lane);
    }
};
constexpr lane_table kept_lanes;

HWY_INLINE hn::Vec<DU> compress(hn::Vec<DU> v, hn::Mask<DU> keep)
{
    const DU du;
    const hn::Rebind<std::uint8_t, DU> d8;
    std::uint8_t bits[8];
    hn::StoreMaskBits(du, keep, bits);
    const auto lanes = hn::PromoteTo(du, hn::LoadU(d8, kept_lanes.lanes[bits[0]]));
    return hn::TableLookupLanes(v, hn::IndicesFromVec(du, lanes));
}
#else
HWY_INLINE hn::Vec<DU> compress(hn::Vec<DU> v, hn::Mask<DU> keep) { return hn::Compress(v, keep); }
#endif

// A float truncated toward zero to a 32-bit integer, as the unsigned bits of
// a value that fails an unsigned test against the bitmap's size whenever
// the float is NaN or below -1 or at least 2^31: x86 truncates those to
// 2^31 itself; elsewhere NaN is made -1 first, and Highway converts the
// others to the nearest int.
HWY_INLINE hn::Vec<DU> truncated(VF f)
{
    const DU du;
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    return hn::BitCast(du, hn::Vec<hn::RebindToSigned<DF>>{_mm512_cvttps_epi32(f.raw)});
#elif HWY_TARGET == HWY_AVX2
    return hn::BitCast(du, hn::Vec<hn::RebindToSigned<DF>>{_mm256_cvttps_epi32(f.raw)});
#elif HWY_TARGET == HWY_SSE4 || HWY_TARGET == HWY_SSSE3
    return hn::BitCast(du, hn::Vec<hn::RebindToSigned<DF>>{_mm_cvttps_epi32(f.raw)});
#else
    const DF df;
    const hn::RebindToSigned<DF> di;
    return hn::BitCast(du, hn::ConvertTo(di, hn::IfThenElse(hn::Eq(f, f), f, hn::Set(df, -1.0f))));
#endif
}

// pixel_map::to_pixel on a vector of points: writes the cells of the lanes
// that are valid and fall inside to `out` and returns how many. A lane is
// inside when trunc(f) lies in [0, w) as an unsigned integer: exactly when
// -1 < f < w, the plain test.
template <bool by_inverse>
class mapper {
public:
    explicit mapper(const grid& g)
        : cx(hn::Set(df, g.map.cx)), cy(hn::Set(df, g.map.cy)), ox(hn::Set(df, g.map.ox)), oy(hn::Set(df, g.map.oy)),
          scale(hn::Set(df, g.map.scale)),
          divisor(hn::Set(df, g.map.divisor)), scale_inverse(hn::Set(df, g.map.scale * g.inverse)),
          width(hn::Set(du, std::uint32_t(g.map.w))), height(hn::Set(du, std::uint32_t(g.map.h))),
          centred(g.map.ox == 0 && g.map.oy == 0)
    {
    }

    HWY_INLINE std::size_t collect(VF x, VF y, MF valid, std::uint32_t* out) const
    {
        // About the centre, v - 0 is v itself, -0 included.
        const auto px = truncated(hn::Add(cx, scaled(centred ? x : hn::Sub(x, ox))));
        const auto py = truncated(hn::Add(cy, scaled(centred ? y : hn::Sub(y, oy))));
        const auto inside =
            hn::And(hn::RebindMask(du, valid), hn::And(hn::Lt(px, width), hn::Lt(py, height)));
        // Most vectors of a large figure have no lane inside.
        if (hn::AllFalse(du, inside))
            return 0;
        const auto cell = hn::Add(hn::Mul(px, height), py);
        hn::StoreU(compress(cell, inside), du, out);
        return hn::CountTrue(du, inside);
    }

private:
    // By a power of two, (scale * v) / divisor is v * (scale / divisor)
    // rounded once, the same float, except where scale * v overflows or
    // falls below the normal range: far outside the bitmap, or so close to
    // the centre that both truncate to the same pixel.
    HWY_INLINE VF scaled(VF v) const
    {
        return by_inverse ? hn::Mul(v, scale_inverse) : hn::Div(hn::Mul(scale, v), divisor);
    }

    const DF df;
    const DU du;
    const VF cx, cy, ox, oy, scale, divisor, scale_inverse;
    const hn::Vec<DU> width, height;
    const bool centred;
};

// Intersections of chord j with the chords i to i + lanes - 1, as inter()
// computes them: the centre where det is zero.
struct row {
    const DF df;
    VF a1, b1, c1;

    row(const lines& chords, int j)
        : a1(hn::Set(df, chords.a[j])), b1(hn::Set(df, chords.b[j])), c1(hn::Set(df, chords.c[j]))
    {
    }

    HWY_INLINE void meet(const lines& chords, int i, VF& x, VF& y) const
    {
        const VF a2 = hn::LoadU(df, chords.a + i);
        const VF b2 = hn::LoadU(df, chords.b + i);
        const VF c2 = hn::LoadU(df, chords.c + i);
        const VF det = hn::Sub(hn::Mul(a1, b2), hn::Mul(a2, b1));
        const MF parallel = hn::Eq(det, hn::Zero(df));
        x = hn::IfThenZeroElse(parallel, hn::Div(hn::Sub(hn::Mul(c1, b2), hn::Mul(c2, b1)), det));
        y = hn::IfThenZeroElse(parallel, hn::Div(hn::Sub(hn::Mul(a1, c2), hn::Mul(a2, c1)), det));
    }
};

// Collects the cells of vectors of points into `pending` (of pending_size
// cells) and counts them in batches. The buffer and the number of cells in
// it, `used`, are kept by the caller, apart from the counter: the vector
// stores into the buffer would otherwise be taken to change the mapper's
// constants and `used`, and all would be read again after each store.
template <bool by_inverse>
class counter {
public:
    counter(const grid& g, std::uint32_t* pending) : g(g), map(g), pending(pending) {}

    HWY_INLINE void add(VF x, VF y, MF valid, std::size_t& used) const
    {
        used += map.collect(x, y, valid, pending + used);
        if (used >= batch) {
            count_cells(g, pending, used);
            used = 0;
        }
    }

    void finish(std::size_t used) const { count_cells(g, pending, used); }

private:
    const grid& g;
    const mapper<by_inverse> map;
    std::uint32_t* const pending;
};

// The pairs of the rows j_begin to j_end - 1, written to `out` when listing
// and counted into g: a stored list is counted as it is written, without
// being read again.
template <bool by_inverse, bool listing>
void rows_with(const lines& chords, int j_begin, int j_end, Cpoint* out, const grid& g)
{
    static_assert(sizeof(Cpoint) == 2 * sizeof(float), "a Cpoint is its two floats");
    const DF df;
    const int lanes = int(hn::Lanes(df));
    const MF all = hn::FirstN(df, hn::Lanes(df));
    std::uint32_t pending[pending_size] = {};
    const counter<by_inverse> count(g, pending);
    std::size_t used = 0;
    float last[2 * hn::MaxLanes(DF())];
    for (int j = j_begin; j < j_end; ++j) {
        const row r(chords, j);
        float* const pairs = listing ? reinterpret_cast<float*>(out + std::int64_t(j) * (j - 1) / 2) : nullptr;
        int i = 0;
        VF x, y;
        // Two vectors a turn give the processor more to do while it divides.
#pragma GCC unroll 2
        for (; i + lanes <= j; i += lanes) {
            r.meet(chords, i, x, y);
            if (listing)
                hn::StoreInterleaved2(x, y, df, pairs + 2 * i);
            count.add(x, y, all, used);
        }
        if (i < j) {
            r.meet(chords, i, x, y);
            if (listing) {
                hn::StoreInterleaved2(x, y, df, last);
                std::memcpy(pairs + 2 * i, last, sizeof(float) * 2 * std::size_t(j - i));
            }
            count.add(x, y, hn::FirstN(df, std::size_t(j - i)), used);
        }
    }
    count.finish(used);
}

void pair_rows(const lines& chords, int j_begin, int j_end, Cpoint* out, const grid& g)
{
    if (!out)
        (g.inverse != 0 ? rows_with<true, false> : rows_with<false, false>)(chords, j_begin, j_end, out, g);
    else
        (g.inverse != 0 ? rows_with<true, true> : rows_with<false, true>)(chords, j_begin, j_end, out, g);
}

template <bool by_inverse>
void count_span_with(const Cpoint* points, std::int64_t begin, std::int64_t end, const grid& g)
{
    const DF df;
    const std::int64_t lanes = std::int64_t(hn::Lanes(df));
    std::uint32_t pending[pending_size] = {};
    const counter<by_inverse> count(g, pending);
    std::size_t used = 0;
    const float* const xy = reinterpret_cast<const float*>(points);
    std::int64_t t = begin;
    VF x, y;
    for (; t + lanes <= end; t += lanes) {
        hn::LoadInterleaved2(df, xy + 2 * t, x, y);
        count.add(x, y, hn::FirstN(df, hn::Lanes(df)), used);
    }
    if (t < end) {
        float last[2 * hn::MaxLanes(DF())] = {};
        std::memcpy(last, xy + 2 * t, sizeof(float) * 2 * std::size_t(end - t));
        hn::LoadInterleaved2(df, last, x, y);
        count.add(x, y, hn::FirstN(df, std::size_t(end - t)), used);
    }
    count.finish(used);
}

void count_span(const Cpoint* points, std::int64_t begin, std::int64_t end, const grid& g)
{
    if (g.inverse != 0)
        count_span_with<true>(points, begin, end, g);
    else
        count_span_with<false>(points, begin, end, g);
}

const char* target_name() { return hwy::TargetName(HWY_TARGET); }

}  // namespace HWY_NAMESPACE
}  // namespace fast_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace fast_detail {

HWY_EXPORT(pair_rows);
HWY_EXPORT(count_span);
HWY_EXPORT(target_name);

void pair_rows(const lines& chords, int j_begin, int j_end, Cpoint* out, const grid& g)
{
    HWY_DYNAMIC_DISPATCH(pair_rows)(chords, j_begin, j_end, out, g);
}

void count_span(const Cpoint* points, std::int64_t begin, std::int64_t end, const grid& g)
{
    HWY_DYNAMIC_DISPATCH(count_span)(points, begin, end, g);
}

const char* target_name() { return HWY_DYNAMIC_DISPATCH(target_name)(); }

}
#endif
