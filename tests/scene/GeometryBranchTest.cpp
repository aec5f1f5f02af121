// Geometry branches: their batches, bounds, billboards and stream form.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "GeometryTestUtil.h"
#include "SceneStreams.h"
#include "SceneTestUtil.h"
#include "scene/GeometryBranch.h"
#include "scene/GeometrySplit.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"
#include "tests/support/LogCapture.h"

using kessa::Bounds;
using kessa::CullTree;
using kessa::GeoBunch;
using kessa::GeoBunchBuilder;
using kessa::GeometryBranch;
using kessa::Matrix;
using kessa::Vector;
using kessa_test::Bytes101;
using kessa_test::body;
using kessa_test::triangle;

namespace {

GeoBunchBuilder unitTriangleAt(float x) {
    GeoBunchBuilder b;
    b.triangles.push_back(triangle({x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}));
    return b;
}

TEST(GeometryBranch, HoldsItsBatchesUntilItGoes) {
    orvel::ref_ptr<GeoBunch> kept[3];
    {
        GeometryBranch branch;
        branch.clean();
        EXPECT_FALSE(branch.bounds().valid());
        branch.addTriangles(GeoBunchBuilder());
        EXPECT_TRUE(branch.bunches().empty());
        for (int i = 0; i < 3; ++i) {
            branch.addTriangles(unitTriangleAt(float(2 * i)));
            kept[i] = branch.bunches()[std::size_t(i)];
            EXPECT_EQ(kept[i]->internals().ownerBranch(), &branch);
        }
        EXPECT_TRUE(kessa_test::boxIs(branch.bounds(), {0, 0, 0}, {5, 1, 0}));
        // A list without a triangle of any area gives a batch without geometry.
        GeoBunchBuilder flat;
        flat.triangles.push_back(triangle({0, 0, 0}, {1, 0, 0}, {2, 0, 0}));
        branch.addTriangles(flat);
        ASSERT_EQ(branch.bunches().size(), 4u);
        EXPECT_EQ(branch.bunches()[3]->vertexCount(), 0);
        EXPECT_EQ(branch.bunches()[3]->triangleCount(), 0);
        branch.clean();
        EXPECT_TRUE(kessa_test::boxIs(branch.bounds(), {-1, -1, -1}, {5, 1, 1}));
    }
    for (const orvel::ref_ptr<GeoBunch>& b : kept) {
        EXPECT_EQ(b->internals().ownerBranch(), nullptr);
        EXPECT_EQ(b->refCount(), 1u);
    }
}

TEST(GeometryBranch, SplittingEndsAlsoWhenAllMidpointsCoincide) {
    GeoBunchBuilder same;
    same.triangles.assign(3000, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    std::unique_ptr<kessa::Branch> tree = kessa::splitIntoBranches(same, 1400);
    std::vector<int> leaves;
    std::function<void(kessa::Branch*)> visit = [&](kessa::Branch* b) {
        if (auto* g = dynamic_cast<GeometryBranch*>(b))
            leaves.push_back(g->bunches()[0]->triangleCount());
        for (int i = 0; i < b->childCount(); ++i)
            visit(b->child(i));
    };
    visit(tree.get());
    EXPECT_EQ(leaves, (std::vector<int>{750, 750, 750, 750}));
}

// The matrix a billboard branch hands its batch over under a walk that
// starts from above.
Matrix drawnUnder(int mode, const Matrix& above) {
    GeometryBranch branch;
    branch.addTriangles(unitTriangleAt(0));
    branch.setBillboardMode(mode);
    branch.clean();
    Matrix inverse;
    above.invert(inverse);
    kessa::Traverser walk;
    walk.traverseWith(above, inverse);
    branch.traverse(walk);
    return *walk.accumulator().item(kessa::RenderAccumulator::solidStuff, 0).matrix;
}

// Turned about z, the branch's front (its -y side) faces the walk's origin;
// facing the viewer, it loses the rotation and scale above but keeps its place.
TEST(GeometryBranch, BillboardsFaceTheViewer) {
    for (const Vector& viewer : {Vector(0, -10, 0), Vector(10, 0, 0), Vector(0, 10, 0), Vector(-10, 0, 0), Vector(3, -4, 7)}) {
        Matrix toCamera;
        toCamera.setTranslation(-viewer);
        Vector front;
        Matrix::transformPoint(front, {0, -1, 0}, drawnUnder(GeometryBranch::turnAboutZ, toCamera));
        EXPECT_NEAR(std::hypot(front.x, front.y), std::hypot(viewer.x, viewer.y) - 1, 1e-9) << viewer.x << viewer.y;
    }
    Matrix above, expected;
    above.setRotation(30, {1, 0, 0});
    above.scale({2, 2, 2});
    above.translate({1, 2, 3});
    expected.setTranslation({1, 2, 3});
    EXPECT_TRUE(kessa_test::valuesNear(expected, drawnUnder(GeometryBranch::faceViewer, above).values(), 1e-12));
}

TEST(GeometryBranch, StreamRoundTripKeepsBatchesHookModeAndCullTree) {
    GeometryBranch branch;
    for (int i = 0; i < 25; ++i)
        branch.addTriangles(unitTriangleAt(float(i)));
    branch.setAttachment(new kessa::BunchCallbacks);
    branch.setBillboardMode(GeometryBranch::faceViewer);
    auto tree = std::make_unique<CullTree>();
    tree->setBounds(kessa_test::box({0, 0, 0}, {25, 1, 0}));
    auto left = std::make_unique<CullTree>();
    left->setChild(1, std::make_unique<CullTree>());
    tree->setChild(0, std::move(left));
    tree->setChild(1, std::make_unique<CullTree>());
    branch.setCullTree(std::move(tree));

    LogCapture log;
    orvel::counted_ptr<GeometryBranch> back = kessa_test::roundTrip<GeometryBranch>(&branch);
    ASSERT_TRUE(back);
    EXPECT_EQ(log.text(), "Size=weird\n");
    ASSERT_EQ(back->bunches().size(), 25u);
    for (GeoBunch* b : back->bunches()) {
        EXPECT_EQ(b->internals().ownerBranch(), back.get());
        EXPECT_EQ(b->triangleCount(), 1);
    }
    EXPECT_EQ(back->bunches()[24]->bounds(), branch.bunches()[24]->bounds());
    EXPECT_TRUE(back->attachment());
    EXPECT_EQ(back->billboardMode(), GeometryBranch::faceViewer);
    CullTree* t = back->cullTree();
    ASSERT_TRUE(t);
    EXPECT_TRUE(kessa_test::boxIs(t->bounds(), {0, 0, 0}, {25, 1, 0}));
    ASSERT_TRUE(t->child(0) && t->child(1));
    EXPECT_TRUE(t->child(0)->child(1) && !t->child(0)->child(0) && !t->child(1)->child(0));
}

// Entries naming nothing or something other than a batch are left out; a
// tree cannot hold itself; own fields count only after a first tag 10.
TEST(GeometryBranch, StreamReadKeepsOnlyWhatItCanHold) {
    const std::string branchTag = "zanthorium::kessa::GeometryBranch";
    Bytes101 s;
    s.declare(1, branchTag).declare(2, "zanthorium::kessa::GeoBunch").declare(3, "zanthorium::kessa::CullTree");
    s.object(1, 0x10, body().byte(0).byte(10).byte(3).u32(0x20).u32(0).u32(0x10).byte(12).u32(0x30).byte(0));
    s.object(2, 0x20, body().byte(0));
    s.object(3, 0x30, body().byte(3).u32(0x30).u32(0).byte(0)).end();
    orvel::counted_ptr<GeometryBranch> read = kessa_test::readScene(s.bytes).cast<GeometryBranch>();
    ASSERT_TRUE(read);
    ASSERT_EQ(read->bunches().size(), 1u);
    ASSERT_TRUE(read->cullTree());
    EXPECT_FALSE(read->cullTree()->child(0));

    Bytes101 late;
    late.declare(1, branchTag).object(1, 0x10, body().byte(0).byte(13).u32(2).byte(0)).end();
    read = kessa_test::readScene(late.bytes).cast<GeometryBranch>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->billboardMode(), 0);
}

}  // namespace
