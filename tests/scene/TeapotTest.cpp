// The built-in teapot: counts and welding for several subdivisions,
// splitting inside a database with the arenas on, and the teapot drawn
// with back faces culled, which must cover everything it covers unculled.
#include <gtest/gtest.h>

#include "scene/GroupBranch.h"
#include "scene/Object.h"
#include "scene/Placement.h"
#include "scene/PolygonBranch.h"
#include "scene/Teapot.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/PolygonTestUtil.h"
#include "tests/scene/SceneGlSupport.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::GeoBunch;
using kessa::PolygonBranch;
using kessa::Vector;

namespace {

PolygonBranch& polygonsOf(kessa::Object& teapot) { return *static_cast<PolygonBranch*>(teapot.root()->child(0)); }

// Triangles of every batch under b, and the largest batch.
void countTriangles(kessa::Branch* b, int& total, int& largest) {
    if (auto* g = dynamic_cast<kessa::GeometryBranch*>(b))
        for (GeoBunch* bunch : g->bunches())
            total += bunch->triangleCount(), largest = std::max(largest, bunch->triangleCount());
    for (int i = 0; b->hasChildren() && i < b->childCount(); ++i)
        countTriangles(b->child(i), total, largest);
}

}  // namespace

TEST(Teapot, CountsWeldingAndBounds) {
    struct Row {
        int n, welded;
        double lowY;
    };
    for (const Row& row : {Row{2, 137, 0}, Row{4, 529, -0.2056875}, Row{5, 821, 0}, Row{8, 2081, -0.2059892578125}}) {
        orvel::counted_ptr<kessa::Object> teapot = kessa::makeTeapot(row.n, nullptr);
        PolygonBranch& p = polygonsOf(*teapot);
        ASSERT_EQ(p.polygons().size(), std::size_t(32 * row.n * row.n));
        p.prepare();
        EXPECT_EQ(p.weldedPositions().size(), std::size_t(row.welded));
        teapot->clean();
        int total = 0, largest = 0;
        countTriangles(teapot->root(), total, largest);
        EXPECT_EQ(total, 64 * row.n * row.n - 8 * row.n);
        EXPECT_EQ(p.triangleCount(), total);
        EXPECT_EQ(p.bunches().size(), 1u);
        double lowY = row.lowY != 0 ? row.lowY : teapot->bounds().min().y;
        EXPECT_TRUE(kessa_test::vectorNear(teapot->bounds().min(), {-0.12, lowY, 0}, 1e-7));
        EXPECT_TRUE(kessa_test::vectorNear(teapot->bounds().max(), {0.12, 0.18, 0.189}, 1e-7));
    }
    orvel::counted_ptr<kessa::Object> teapot = kessa::makeTeapot(1, nullptr);
    EXPECT_TRUE(teapot->name() == "Teapot" && teapot->root()->name() == "teapot" &&
                polygonsOf(*teapot).name() == "teapot");
    const kessa::MaterialRef& binding = polygonsOf(*teapot).polygons()[0]->binding();
    EXPECT_TRUE(binding->name() == "Teapot" && binding->lighting());
    ASSERT_EQ(teapot->points().size(), 8u);
    EXPECT_TRUE(teapot->points()[0] == Vector(0.2, 0.2, 0.2) && teapot->points()[3] == Vector(0.2, -0.2, -0.2) &&
                teapot->points()[7] == Vector(-0.2, -0.2, -0.2));
    orvel::counted_ptr<kessa::Material> grey(new kessa::Material(pellium::Color{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(polygonsOf(*kessa::makeTeapot(1, grey)).polygons()[5]->binding().material(), grey);
}

// With the arenas on, the 4,032 triangles of the 8-subdivision teapot are
// split into a tree that takes the polygon branch's place; the polygons are
// gone.
TEST(Teapot, SplitsWithTheArenasOn) {
    LogCapture log;
    kessa_test::ArenaSwitch on(true);
    orvel::counted_ptr<kessa::Object> teapot = kessa::makeTeapot(8, nullptr);
    teapot->clean();
    EXPECT_EQ(log.count("Splitting bunch in branch teapot\n"), 1);
    ASSERT_EQ(teapot->root()->childCount(), 1);
    EXPECT_EQ(teapot->root()->child(0)->name(), "split 1");
    int total = 0, largest = 0;
    countTriangles(teapot->root(), total, largest);
    EXPECT_EQ(total, 4032);
    EXPECT_LE(largest, 1400);
    EXPECT_TRUE(kessa_test::vectorNear(teapot->bounds().min(), {-0.12, -0.2059892578125, 0}, 1e-7));
    EXPECT_EQ(kessa::Polygon::liveBlocks(), 0);
}

namespace {

class TeapotGl : public kessa_test::SceneGl {
protected:
    // The depth of every pixel, the teapot seen from below at the heading
    // given (1 where nothing was drawn).
    std::vector<float> depths(kessa::Object& teapot, double heading) {
        clear();
        kessa::Placement place;
        place.heading = heading;
        place.pitch = 25;
        Vector forward;
        place.direction(forward);
        place.position = Vector(0, 0, 0.09) - forward * 0.45;
        kessa::Viewer viewer;
        viewer.setNearFar(0.1, 10);
        viewer.setPlacement(place);
        pellium::GLRenderInfo context = info();
        viewer.setWindowSize(context);
        kessa::ViewCulledTraverser walk;
        walk.traverse(viewer);
        teapot.traverse(walk);
        walk.accumulator().render(context);
        std::vector<float> out(kessa_test::glSide * kessa_test::glSide);
        glReadPixels(0, 0, kessa_test::glSide, kessa_test::glSide, GL_DEPTH_COMPONENT, GL_FLOAT, out.data());
        return out;
    }
};

}  // namespace

// Wherever the teapot covers a pixel, the nearest surface there faces the
// camera: with back faces culled every pixel keeps the depth it has with
// none culled. A hole, a crack between patches or a patch turned inside
// out would show something farther, or nothing.
TEST_F(TeapotGl, BackFacesCulledLeaveNoHoles) {
    orvel::counted_ptr<kessa::Object> culled = kessa::makeTeapot(8, nullptr), whole = kessa::makeTeapot(8, nullptr);
    for (kessa::Polygon* p : polygonsOf(*whole).polygons())
        p->setFirstMaterialFlag(0);
    culled->clean();
    whole->clean();
    for (double heading : {0.0, 90.0, 180.0, 270.0}) {
        std::vector<float> near = depths(*whole, heading), seen = depths(*culled, heading);
        int covered = 0, differ = 0;
        for (std::size_t i = 0; i < near.size(); ++i)
            covered += near[i] < 1, differ += std::fabs(near[i] - seen[i]) > 1e-6f;
        EXPECT_GT(covered, 1000) << heading;
        EXPECT_EQ(differ, 0) << heading;
    }
}
