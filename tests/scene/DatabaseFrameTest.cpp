// One frame of a scene database: written with the stream writer, read back
// through the scene's types, cleaned, culled, gathered and drawn; the pixels
// show its geometry where the viewer puts it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BunchTestUtil.h"
#include "SceneStreams.h"
#include "scene/Database.h"
#include "scene/GeometryBranch.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/Object.h"
#include "scene/render/BoxRenderList.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Database;
using kessa::GeoBunch;
using kessa::GroupBranch;
using kessa::Matrix;
using kessa::Object;
using kessa::RenderAccumulator;
using kessa::Vector;
using kessa_test::glSide;
using kessa_test::pixelNear;

namespace {

// A square of side 2 centred on c, in one colour (its bytes red, green,
// blue, alpha), facing a camera that looks along +y, or along -y when turned.
orvel::ref_ptr<GeoBunch> square(const Vector& c, GeoBunch::Color4 colour, bool turned = false) {
    float x = float(c.x), y = float(c.y), z = float(c.z), s = turned ? -1.0f : 1.0f;
    orvel::ref_ptr<GeoBunch> b(new GeoBunch);
    b->setVertexData(
        kessa_test::positions({{x - s, y, z - 1}, {x + s, y, z - 1}, {x - s, y, z + 1}, {x + s, y, z + 1}}), true);
    b->setStripData(kessa_test::strips({4}));
    b->setColorData(kessa_test::makeStream<GeoBunch::color_data>({colour, colour, colour, colour}));
    return b;
}

std::unique_ptr<kessa::GeometryBranch> leaf(const orvel::ref_ptr<GeoBunch>& bunch) {
    auto branch = std::make_unique<kessa::GeometryBranch>();
    branch->addBunch(bunch);
    return branch;
}

std::unique_ptr<Object> objectWith(const char* name, std::unique_ptr<kessa::Branch> root) {
    auto o = std::make_unique<Object>();
    o->setName(name);
    o->attach(std::move(root));
    return o;
}

// The scene: a red square left of the view's centre, ten units ahead; a
// green part shown by an instance right of it; a blue square behind the
// camera, facing it.
std::unique_ptr<Database> buildScene() {
    auto db = std::make_unique<Database>();
    auto root = std::make_unique<GroupBranch>();
    root->setName("root");
    root->addChild(leaf(square({-2, 10, 0}, {255, 0, 0, 255})));
    root->addChild(leaf(square({0, -10, 0}, {0, 0, 255, 255}, true)));
    auto instance = std::make_unique<kessa::InstanceBranch>();
    kessa::InstanceBranch* shown = instance.get();
    root->addChild(std::move(instance));
    db->addObject(objectWith("scene", std::move(root)));
    db->addObject(objectWith("part", leaf(square({0, 0, 0}, {0, 255, 0, 255}))));
    shown->setInstance(db->objects()[1]);
    Matrix m;
    m.setTranslation({2, 10, 0});
    shown->setMatrix(m);
    return db;
}

orvel::counted_ptr<Database> readBack(const kessa_test::Bytes& bytes) {
    orvel::MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
    kessa::registerTypes(source);
    return StreamReader::read(source).cast<Database>();
}

class DatabaseFrame : public kessa_test::SceneGl {
protected:
    // One frame as the game draws it: the database cleaned and the window
    // size known before the walk, so that it culls with this frame's frustum.
    void drawFrame(Database& db) {
        clear();
        db.clean();
        viewer.setWindowSize(context);
        walk.traverse(viewer);
        db.accumulate(walk);
        gathered = walk.accumulator().itemCount(RenderAccumulator::solidStuff);
        walk.accumulator().render(context);
    }
    kessa::Viewer viewer;
    kessa::ViewCulledTraverser walk;
    pellium::GLRenderInfo context = info();
    int gathered = 0;
};

}  // namespace

TEST_F(DatabaseFrame, AStreamedSceneIsDrawnWhereTheViewerPutsIt) {
    std::unique_ptr<Database> original = buildScene();
    orvel::counted_ptr<Database> db = readBack(kessa_test::writeScene(original.get()));
    ASSERT_TRUE(db);
    ASSERT_EQ(db->objects().size(), 2u);
    ASSERT_TRUE(db->isDirty());

    drawFrame(*db);
    EXPECT_FALSE(db->isDirty());
    // The square behind the camera was culled.
    EXPECT_EQ(gathered, 2);
    // Ten units ahead, the view is 2 tan(22.5 degrees) x 10 wide: one unit
    // is 7.7 pixels.
    EXPECT_TRUE(pixelNear(at(16, 32), 255, 0, 0, 0));
    EXPECT_TRUE(pixelNear(at(48, 32), 0, 255, 0, 0));
    EXPECT_TRUE(pixelNear(at(32, 32), 0, 0, 0, 0));
    EXPECT_TRUE(pixelNear(at(16, 48), 0, 0, 0, 0));

    // Two units to the right the instance is in the middle.
    Matrix camera;
    camera.setTranslation({2, 0, 0});
    viewer.setCameraMatrix(camera);
    drawFrame(*db);
    EXPECT_TRUE(pixelNear(at(32, 32), 0, 255, 0, 0));
    EXPECT_TRUE(pixelNear(at(2, 32), 255, 0, 0, 0));
    EXPECT_TRUE(pixelNear(at(16, 32), 0, 0, 0, 0));

    // Turned round, the camera sees only the blue square.
    camera.setRotation(180, Vector(0, 0, 1));
    viewer.setCameraMatrix(camera);
    drawFrame(*db);
    EXPECT_EQ(gathered, 1);
    EXPECT_TRUE(pixelNear(at(32, 32), 0, 0, 255, 0));
}

TEST_F(DatabaseFrame, FramingTheBoundsShowsTheWholeScene) {
    orvel::counted_ptr<Database> db = readBack(kessa_test::writeScene(buildScene().get()));
    ASSERT_TRUE(db);
    viewer.frameBounds(db->bounds());
    drawFrame(*db);
    // Red and green: the blue square now turns its back on the camera.
    EXPECT_GT(count(255, 0, 0), 0);
    EXPECT_GT(count(0, 255, 0), 0);
}

TEST_F(DatabaseFrame, AnEmptyDatabaseDrawsOnlyTheQueuedDebugBoxesForOneFrame) {
    Database db;
    EXPECT_FALSE(db.bounds().valid());
    drawFrame(db);
    EXPECT_EQ(gathered, 0);
    EXPECT_EQ(count(0, 0, 0), glSide * glSide);
    kessa::Bounds box;
    box.set({-2, 8, -2}, {2, 12, 2});
    walk.boxRenderList().addBox(nullptr, 0xFF0000FF, box);
    drawFrame(db);
    EXPECT_GT(count(255, 0, 0), 20);
    EXPECT_EQ(walk.boxRenderList().boxCount(), 0);
    drawFrame(db);
    EXPECT_EQ(count(0, 0, 0), glSide * glSide);
}

TEST_F(DatabaseFrame, AWideFirstFrameIsCulledWithItsOwnFrustum) {
    // A window twice as wide as high: the viewer starts square, so a walk
    // before the size is known would cull what lies in the wider parts.
    Database db;
    db.addObject(objectWith("edge", leaf(square({6, 10, 0}, {255, 255, 0, 255}))));
    context.width = glSide;
    context.height = glSide / 2;
    glViewport(0, 0, context.width, context.height);
    drawFrame(db);
    EXPECT_EQ(gathered, 1);
    // Six units right of the centre, ten ahead: 32 + 6 / 8.28 x 32 pixels.
    EXPECT_TRUE(pixelNear(at(55, 16), 255, 255, 0, 0));

    // The same walk with the size taken too late misses it.
    kessa::Viewer late;
    kessa::ViewCulledTraverser lateWalk;
    lateWalk.traverse(late);
    db.accumulate(lateWalk);
    EXPECT_EQ(lateWalk.accumulator().itemCount(RenderAccumulator::solidStuff), 0);
}

TEST(DatabaseStream, ALongObjectListIsLoggedAndKeptWhole) {
    Database db;
    for (int i = 0; i < 25; ++i) {
        auto o = std::make_unique<Object>();
        o->setName(("o" + std::to_string(i)).c_str());
        db.addObject(std::move(o));
    }
    LogCapture log;
    orvel::counted_ptr<Database> back = readBack(kessa_test::writeScene(&db));
    ASSERT_TRUE(back);
    EXPECT_EQ(log.text(), "Size=weird\n");
    ASSERT_EQ(back->objects().size(), 25u);
    EXPECT_EQ(back->objects()[24]->name(), "o24");
    EXPECT_EQ(back->rootObject(), back->objects()[0]);
}
