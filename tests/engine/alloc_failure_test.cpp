// Every allocation of a computation or a rendering can fail: fail the k-th
// one, for every k, and check that the model keeps its figure.
#include <atomic>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "allegro_none.h"
#include "failing_new.h"


namespace {

void expect_every_failure_keeps_the_figure(int type)
{
    auto model = make_model(160, 120, 2, 301, 1, type);
    ASSERT_TRUE(model->calcul() && model->render());
    const bitmap_ptr before = copy_of(model->bmp);
    int injected = 0;
    for (long k = 0;; ++k) {
        model->set(3, 211, 1, type ^ from_root);
        bool done;
        {
            failing_after fail(k);
            done = model->calcul();
        }
        if (done) {
            ASSERT_TRUE(model->render());
            break;
        }
        ++injected;
        // The old figure is still whole: put its parameters back and redraw.
        model->set(2, 301, 1, type);
        ASSERT_TRUE(model->rerender());
        ASSERT_TRUE(same_pixels(model->bmp, before.get())) << "allocation " << k;
    }
    EXPECT_GT(injected, 3);
}

TEST(AllocationFailure, ComputationOnTheFlyKeepsTheFigure)
{
    expect_every_failure_keeps_the_figure(on_the_fly);
}

TEST(AllocationFailure, StoredComputationKeepsTheFigure)
{
    expect_every_failure_keeps_the_figure(0);
}

TEST(AllocationFailure, StoredRenderingLeavesTheBitmapAlone)
{
    auto model = make_model(160, 120, 2, 301, 1, 0);
    ASSERT_TRUE(model->calcul() && model->render());
    const bitmap_ptr before = copy_of(model->bmp);
    model->set_zoom(2);
    for (long k = 0;; ++k) {
        bool done;
        {
            failing_after fail(k);
            done = model->render();
        }
        if (done)
            break;
        ASSERT_TRUE(same_pixels(model->bmp, before.get())) << "allocation " << k;
        ASSERT_EQ(model->hits, nullptr);
    }
    EXPECT_FALSE(same_pixels(model->bmp, before.get()));
}

}
