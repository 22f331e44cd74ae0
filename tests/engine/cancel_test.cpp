// Cancelling a computation or a rendering from another thread: whenever it
// lands, the model and the bitmap stay as they were, and the next
// computation gives what an uncancelled one gives.
#include <atomic>
#include <cstdint>
#include <thread>

#include <gtest/gtest.h>

#include "allegro_none.h"

namespace {

// What calcul and render may change in the model.
struct model_state {
    int count;
    const Cpoint* points;
    const int* seq;
    const Cpoint* inters;
    int** hits;
    int hits_w, hits_h;

    explicit model_state(const Cchryzode& c)
        : count(c.count), points(c.points), seq(c.seq), inters(c.inters), hits(c.hits),
          hits_w(c.hits_w), hits_h(c.hits_h)
    {
    }
    bool operator==(const model_state& o) const
    {
        return count == o.count && points == o.points && seq == o.seq && inters == o.inters &&
               hits == o.hits && hits_w == o.hits_w && hits_h == o.hits_h;
    }
};

// Sets the model's cancel flag once the computation has done `share` of its
// pairs (at once for a share of 0).
class canceller {
public:
    canceller(Cchryzode& model, double share)
        : watcher([&model, share, this] {
              const auto target = std::int64_t(share * double(model.planned_pairs()));
              while (!stop && model.pairs_done.load() < target)
                  std::this_thread::yield();
              model.cancel_requested = true;
          })
    {
        if (share == 0)
            watcher.join();
    }
    ~canceller()
    {
        stop = true;
        if (watcher.joinable())
            watcher.join();
    }

private:
    std::atomic<bool> stop{false};
    std::thread watcher;
};

struct cancel_case {
    int type;
    bool fast;
    double share;    // of the pairs done when the flag is set
    bool must_stop;  // false: the flag may come after the last pair
};

class Cancel : public testing::TestWithParam<cancel_case> {};

TEST_P(Cancel, LeavesTheModelAsItWasThenComputesAgain)
{
    const cancel_case c = GetParam();
    const int n = 7, m = 4000;
    auto reference = make_model(160, 120, n, m, 0, c.type, 3);
    reference->set_fast(c.fast);
    ASSERT_TRUE(reference->calcul() && reference->render());

    // A figure already shown, then the next one asked for and cancelled. A
    // flag set mid-way may land after the last pair when the watcher waits
    // for a core: that computation is checked as a whole, and tried again.
    bool cancelled = false;
    for (int attempt = 0; attempt < 5 && !cancelled; ++attempt) {
        auto model = make_model(160, 120, 2, 300, 0, c.type, 3);
        model->set_fast(c.fast);
        ASSERT_TRUE(model->calcul() && model->render());
        const bitmap_ptr shown = copy_of(model->bmp);
        const model_state before(*model);
        model->set(n, m, 0, c.type);
        {
            canceller cancel(*model, c.share);
            cancelled = !model->calcul();
        }
        // Still set: the caller tells a cancel from a lack of memory by it.
        EXPECT_TRUE(model->cancel_requested);
        model->cancel_requested = false;
        if (cancelled) {
            EXPECT_TRUE(model_state(*model) == before);
            EXPECT_TRUE(same_pixels(model->bmp, shown.get()));
            ASSERT_TRUE(model->calcul());
        }
        ASSERT_TRUE(model->render());
        EXPECT_TRUE(same_pixels(model->bmp, reference->bmp));
        if (!c.must_stop)
            break;
    }
    EXPECT_TRUE(cancelled || !c.must_stop);
}

INSTANTIATE_TEST_SUITE_P(
    WhereverItLands, Cancel,
    testing::Values(cancel_case{on_the_fly, false, 0, true}, cancel_case{on_the_fly, false, 0.2, true},
                    cancel_case{on_the_fly, false, 0.95, false}, cancel_case{on_the_fly, true, 0, true},
                    cancel_case{on_the_fly, true, 0.2, true}, cancel_case{on_the_fly, true, 0.95, false},
                    cancel_case{0, false, 0, true}, cancel_case{0, false, 0.2, true},
                    cancel_case{0, true, 0, true}, cancel_case{0, true, 0.2, true},
                    cancel_case{0, true, 0.95, false}));

// The counting pass of the stored mode, and a rerender, cancelled.
TEST(Cancel, RenderAndRerender)
{
    for (const int type : {0, on_the_fly})
        for (const bool fast : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", fast " << fast);
            auto model = make_model(160, 120, 7, 2000, 0, type, 3);
            model->set_fast(fast);
            ASSERT_TRUE(model->calcul() && model->render());
            const bitmap_ptr shown = copy_of(model->bmp);
            ASSERT_TRUE(model->calcul());
            const model_state before(*model);
            model->set_zoom(2);
            model->cancel_requested = true;
            EXPECT_FALSE(type & on_the_fly ? model->rerender() : model->render());
            EXPECT_TRUE(model_state(*model) == before);
            EXPECT_TRUE(same_pixels(model->bmp, shown.get()));
            model->cancel_requested = false;
            model->set_zoom(3);
            ASSERT_TRUE(model->rerender());
            EXPECT_TRUE(same_pixels(model->bmp, shown.get()));
        }
}

}
