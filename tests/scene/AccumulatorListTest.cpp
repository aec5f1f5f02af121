// How the render accumulator sorts what is added into its lists, and its
// state stacks, without drawing.
#include <gtest/gtest.h>

#include "scene/GeoBunch.h"
#include "scene/GeoBunchInternals.h"
#include "scene/Matrix.h"
#include "scene/render/Fog.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Renderable.h"
#include "tests/support/LogCapture.h"

using kessa::GeoBunch;
using kessa::Matrix;
using kessa::RenderAccumulator;

namespace {

struct AccumulatorListTest : ::testing::Test {
    const RenderAccumulator::Item& only(RenderAccumulator::List list) {
        EXPECT_EQ(acc.itemCount(list), 1);
        return acc.item(list, 0);
    }
    int total() {
        int n = 0;
        for (int l = 0; l < RenderAccumulator::listCount; ++l)
            n += acc.itemCount(RenderAccumulator::List(l));
        return n;
    }
    RenderAccumulator acc;
    kessa::Renderable r;
    Matrix m;
};

}  // namespace

TEST_F(AccumulatorListTest, OpaqueRenderablesAreSolid) {
    acc.add(&r, &m, false);
    const RenderAccumulator::Item& item = only(RenderAccumulator::solidRenderables);
    EXPECT_EQ(item.renderable, &r);
    EXPECT_EQ(item.matrix, &m);
    EXPECT_EQ(item.bunch, nullptr);
    EXPECT_EQ(item.overrides, 0u);
    EXPECT_EQ(item.animation, 0);
    EXPECT_EQ(item.transparency, 1.0f);
    EXPECT_EQ(total(), 1);
    // No depth write alone stays solid.
    acc.pushOverrideState(RenderAccumulator::noDepthWrite);
    acc.add(&r, &m, false);
    ASSERT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 2);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 1).overrides, 2u);
}

TEST_F(AccumulatorListTest, BlendedOrTransparentRenderablesGoLast) {
    acc.add(&r, nullptr, true);
    acc.pushTransparency(0.5f);
    acc.add(&r, &m, false);
    acc.popTransparency();
    ASSERT_EQ(acc.itemCount(RenderAccumulator::bunches), 2);
    EXPECT_EQ(acc.item(RenderAccumulator::bunches, 0).matrix, nullptr);
    EXPECT_EQ(acc.item(RenderAccumulator::bunches, 1).transparency, 0.5f);
    EXPECT_EQ(total(), 2);
}

TEST_F(AccumulatorListTest, OrderedBitWinsOverEverything) {
    acc.pushOverrideState(RenderAccumulator::ordered);
    acc.add(&r, &m, true);
    acc.pushOverrideState(RenderAccumulator::noDepthWrite);
    acc.pushTransparency(0.25f);
    acc.add(&r, &m, false);
    ASSERT_EQ(acc.itemCount(RenderAccumulator::orderedStuff), 2);
    EXPECT_EQ(acc.item(RenderAccumulator::orderedStuff, 0).overrides, 1u);
    EXPECT_EQ(acc.item(RenderAccumulator::orderedStuff, 1).overrides, 3u);
    EXPECT_EQ(acc.item(RenderAccumulator::orderedStuff, 1).transparency, 0.25f);
    EXPECT_EQ(total(), 2);
    // Bits accumulate down a subtree and come off one push at a time.
    acc.popOverrideState();
    EXPECT_EQ(acc.overrideState(), 1u);
    acc.popOverrideState();
    EXPECT_EQ(acc.overrideState(), 0u);
}

TEST_F(AccumulatorListTest, ItemsKeepTheStateOfTheirMoment) {
    acc.pushAnimation(5);
    acc.add(&r, &m, false);
    acc.pushAnimation(9);
    acc.add(&r, &m, false);
    acc.popAnimation();
    acc.add(&r, &m, false);
    ASSERT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 3);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 0).animation, 5);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 1).animation, 9);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 2).animation, 5);
}

TEST_F(AccumulatorListTest, ItemsCarryTheFogPushedAndNullIsTheDefault) {
    const kessa::Fog& def = acc.defaultFog();
    EXPECT_EQ(def.mode, kessa::Fog::off);
    EXPECT_EQ(def.start, 0.0f);
    EXPECT_EQ(def.end, 1000.0f);
    EXPECT_EQ(def.density, 0.005f);
    EXPECT_EQ(def.colour.red + def.colour.green + def.colour.blue + def.colour.alpha, 4.0f);
    acc.add(&r, &m, false);
    kessa::Fog thick;
    thick.mode = kessa::Fog::exponential;
    acc.pushFog(&thick);
    acc.add(&r, &m, false);
    acc.pushFog(nullptr);
    acc.add(&r, &m, false);
    acc.popFog();
    acc.add(&r, &m, false);
    acc.popFog();
    ASSERT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 4);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 0).fog, &def);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 1).fog, &thick);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 2).fog, &def);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 3).fog, &thick);
    EXPECT_EQ(acc.fog(), &def);
}

TEST_F(AccumulatorListTest, PoppingTheInitialEntryIsLoggedAndKeepsIt) {
    LogCapture log;
    acc.popOverrideState();
    acc.popTransparency();
    acc.popAnimation();
    acc.popFog();
    EXPECT_EQ(log.take(),
              "Error: RenderAccumulator::popOverrideState() - stack underflow\n"
              "Error: RenderAccumulator::popTransparency() - stack underflow\n"
              "Error: RenderAccumulator::popAnimation() - stack underflow\n"
              "Error: RenderAccumulator::popFog() - stack underflow\n");
    EXPECT_EQ(acc.overrideState(), 0u);
    EXPECT_EQ(acc.transparency(), 1.0f);
    EXPECT_EQ(acc.animation(), 0);
    EXPECT_EQ(acc.fog(), &acc.defaultFog());
    acc.pushAnimation(3);
    acc.popAnimation();
    EXPECT_EQ(log.take(), "");
    acc.popAnimation();
    EXPECT_EQ(log.take(), "Error: RenderAccumulator::popAnimation() - stack underflow\n");
}

TEST_F(AccumulatorListTest, ResetBeginsAFrame) {
    unsigned frame = acc.frame();
    kessa::Viewer* viewer = reinterpret_cast<kessa::Viewer*>(&m);
    acc.setViewer(viewer);
    acc.pushOverrideState(RenderAccumulator::ordered);
    acc.pushTransparency(0.5f);
    acc.pushAnimation(4);
    kessa::Fog fog;
    acc.pushFog(&fog);
    acc.add(&r, &m, false);
    acc.reset();
    EXPECT_EQ(acc.frame(), frame + 1);
    EXPECT_EQ(total(), 0);
    EXPECT_EQ(acc.viewer(), nullptr);
    EXPECT_EQ(acc.overrideState(), 0u);
    EXPECT_EQ(acc.transparency(), 1.0f);
    EXPECT_EQ(acc.animation(), 0);
    EXPECT_EQ(acc.fog(), &acc.defaultFog());
    LogCapture log;
    acc.popOverrideState();
    EXPECT_NE(log.take(), "");
}

TEST_F(AccumulatorListTest, ListsGrowPastTheirFirstCapacity) {
    for (int i = 0; i < 5000; ++i) {
        acc.pushAnimation(i);
        acc.add(&r, &m, false);
    }
    ASSERT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 5000);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 4999).animation, 4999);
    EXPECT_EQ(acc.animation(), 4999);
}

// ---- batches ----

TEST_F(AccumulatorListTest, BatchesAreSortedLikeRenderables) {
    GeoBunch opaque, blended;
    blended.material().second = 1;
    acc.addBunch(&opaque, &m);
    acc.addBunch(&blended, &m);
    acc.pushTransparency(0.5f);
    acc.addBunch(&opaque, &m);
    acc.popTransparency();
    acc.pushOverrideState(RenderAccumulator::ordered);
    acc.addBunch(&blended, &m);
    const RenderAccumulator::Item& solid = only(RenderAccumulator::solidStuff);
    EXPECT_EQ(solid.bunch, &opaque);
    EXPECT_EQ(solid.renderable, nullptr);
    EXPECT_EQ(solid.next, -1);
    ASSERT_EQ(acc.itemCount(RenderAccumulator::bunches), 2);
    EXPECT_EQ(acc.item(RenderAccumulator::bunches, 0).bunch, &blended);
    EXPECT_EQ(acc.item(RenderAccumulator::bunches, 1).transparency, 0.5f);
    EXPECT_EQ(only(RenderAccumulator::orderedStuff).bunch, &blended);
    EXPECT_EQ(total(), 4);
}

TEST_F(AccumulatorListTest, OpaqueItemsOfOneBatchChainNewestFirst) {
    GeoBunch a, b;
    acc.addBunch(&a, &m);
    acc.addBunch(&b, &m);
    acc.addBunch(&a, nullptr);
    acc.addBunch(&a, &m);
    ASSERT_EQ(acc.itemCount(RenderAccumulator::solidStuff), 4);
    EXPECT_EQ(acc.item(RenderAccumulator::solidStuff, 3).next, 2);
    EXPECT_EQ(acc.item(RenderAccumulator::solidStuff, 2).next, 0);
    EXPECT_EQ(acc.item(RenderAccumulator::solidStuff, 0).next, -1);
    EXPECT_EQ(acc.item(RenderAccumulator::solidStuff, 1).next, -1);
    // A new frame starts new chains.
    acc.reset();
    acc.addBunch(&a, &m);
    EXPECT_EQ(only(RenderAccumulator::solidStuff).next, -1);
}

TEST_F(AccumulatorListTest, ABatchGatheredByTwoAccumulatorsAtOnceLosesNoItem) {
    GeoBunch a, b;
    RenderAccumulator other;
    other.addBunch(&b, &m);
    acc.addBunch(&a, &m);
    other.addBunch(&a, &m);  // a's group hint now names other's group
    acc.addBunch(&a, &m);
    other.addBunch(&a, &m);
    // acc starts a second group for a rather than follow other's hint into
    // a group of its own that holds another batch; other's chain is whole.
    EXPECT_EQ(acc.item(RenderAccumulator::solidStuff, 0).next, -1);
    EXPECT_EQ(acc.item(RenderAccumulator::solidStuff, 1).next, -1);
    EXPECT_EQ(other.item(RenderAccumulator::solidStuff, 2).next, 1);
    EXPECT_EQ(other.item(RenderAccumulator::solidStuff, 1).next, -1);
    EXPECT_EQ(other.item(RenderAccumulator::solidStuff, 0).next, -1);
}
