// Spheres moved and rays traced through scene databases: stops and slides
// against walls and floors, nearest hits, and geometry placed by instances
// and joints met where it is drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "GeometryTestUtil.h"
#include "SceneTestUtil.h"
#include "scene/CollisionAction.h"
#include "scene/DBCollider.h"
#include "scene/GeometryBranch.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/Object.h"
#include "scene/RayTracer.h"
#include "scene/render/RenderAccumulator.h"
#include "tests/support/LogCapture.h"

using kessa::CollisionAction;
using kessa::Database;
using kessa::GeoBunchBuilder;
using kessa::GeometryBranch;
using kessa::Matrix;
using kessa::Ray;
using kessa::RayTracer;
using kessa::Vector;
using kessa_test::triangle;
using kessa_test::vectorNear;

namespace {

// One-sided planes: a wall at y = 5 facing -y, a floor at z = 0 facing +z.
const GeoBunchBuilder::Triangle wall = triangle({-100, 5, -100}, {300, 5, -100}, {-100, 5, 300});
const GeoBunchBuilder::Triangle ground = triangle({-100, -100, 0}, {300, -100, 0}, {-100, 300, 0});

std::unique_ptr<GeometryBranch> leaf(std::vector<GeoBunchBuilder::Triangle> triangles) {
    GeoBunchBuilder b;
    b.triangles = std::move(triangles);
    auto branch = std::make_unique<GeometryBranch>();
    branch->addTriangles(b);
    return branch;
}

// A database whose root object holds the branch (and further objects).
std::unique_ptr<Database> sceneOf(std::unique_ptr<kessa::Branch> root, kessa::Object* part = nullptr) {
    auto db = std::make_unique<Database>();
    auto object = std::make_unique<kessa::Object>();
    object->attach(std::move(root));
    db->addObject(std::move(object));
    if (part)
        db->addObject(std::unique_ptr<kessa::Object>(part));
    db->clean();
    return db;
}

std::pair<bool, Vector> move(Database& db, const Vector& start, const Vector& delta, double radius) {
    CollisionAction action;
    action.setMotion(start, delta, radius);
    action.addCollider(&db);
    bool changed = action.collide();
    return {changed, action.position};
}

// Walks that draw nothing collect nothing, however often they run.
void expectNothingDrawn(kessa::Traverser& walk) {
    kessa::RenderAccumulator& drawn = walk.accumulator();
    EXPECT_EQ(drawn.itemCount(kessa::RenderAccumulator::solidStuff), 0);
    EXPECT_EQ(drawn.itemCount(kessa::RenderAccumulator::bunches), 0);
    EXPECT_LE(drawn.itemCount(kessa::RenderAccumulator::solidRenderables), 1);
}

TEST(Collision, SpheresStopAndSlideAsTheyMeetPlanes) {
    const double s = 7.0710678;
    struct Row {
        const char* what;
        const GeoBunchBuilder::Triangle& plane;
        Vector start, delta;
        double radius;
        bool changed;
        Vector end;
    } const rows[] = {
        {"straight at a wall", wall, {0, 0, 0}, {0, 10, 0}, 1, true, {0, 3.9989999999525025, 0}},
        {"a thin wall at any speed", wall, {0, 0, 0}, {0, 1e5, 0}, 1, true, {0, 3.9989999999525025, 0}},
        {"at 45 degrees into a wall", wall, {0, 0, 0}, {s, s, 0}, 1, true, {7.068896, 3.997124, 0}},
        {"at 45 degrees onto a floor", ground, {0, 0, 2}, {0, s, -s}, 1, true, {0, 7.066774, 1.004994}},
        {"through the back of a wall", wall, {0, 6, 0}, {0, -10, 0}, 1, false, {0, -4, 0}},
        {"parallel to a wall", wall, {0, 0, 0}, {10, 0, 0}, 1, false, {10, 0, 0}},
        {"starting half in front of a wall", wall, {0, 4.5, 0}, {0, 10, 0}, 1, true, {0, 4.4989999999525025, 0}},
        {"starting half behind a wall", wall, {0, 5.5, 0}, {0, 10, 0}, 1, false, {0, 15.5, 0}},
        {"without a radius", wall, {0, 0, 0}, {0, 10, 0}, 0, false, {0, 0, 0}},
        {"without a distance", wall, {0, 0, 0}, {0, 0, 0}, 1, false, {0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::pair<bool, Vector> m = move(*sceneOf(leaf({r.plane})), r.start, r.delta, r.radius);
        EXPECT_EQ(m.first, r.changed);
        EXPECT_TRUE(vectorNear(m.second, r.end, 1e-6));
    }

    // Along an edge: the sphere meets the border point nearest its path.
    std::unique_ptr<Database> db = sceneOf(leaf({triangle({1, 5, -5}, {3, 5, 0}, {1, 5, 5})}));
    CollisionAction action;
    action.setMotion({0, 0, 0}, {0, 10, 0}, 1.5);
    db->prepare(action);
    double t;
    Vector contact;
    ASSERT_TRUE(db->collide(action, t, contact));
    EXPECT_NEAR(t, 5 - std::sqrt(1.25), 1e-12);
    EXPECT_TRUE(vectorNear(contact, {1, 5, 0}, 1e-12));
}

TEST(Collision, CollisionModesAndTheDatabaseSwitchesChooseWhatIsGathered) {
    auto root = std::make_unique<kessa::GroupBranch>();
    for (int mode = 0; mode < 4; ++mode) {
        root->addChild(leaf({wall}));
        root->children().back()->setCollisionMode(mode);
    }
    std::unique_ptr<Database> db = sceneOf(std::move(root));
    CollisionAction action;
    action.setMotion({0, 0, 0}, {0, 10, 0}, 1);
    const struct {
        bool mode2, mode3;
        std::size_t gathered;
    } rows[] = {{false, false, 2}, {true, false, 3}, {true, true, 2}, {false, true, 1}};
    for (const auto& r : rows) {
        db->setMode2Collides(r.mode2);
        db->setMode3Ignored(r.mode3);
        db->prepare(action);
        EXPECT_EQ(db->triangles.size(), r.gathered);
    }
    // Far from the path nothing is gathered.
    action.setMotion({0, -50, 0}, {0, 10, 0}, 1);
    db->prepare(action);
    EXPECT_TRUE(db->triangles.empty());
    expectNothingDrawn(*db->collider());
}

// A closed box of outward triangles, 2 units wide, centred on the origin
// and moved by m (its outside kept outward when m mirrors).
std::vector<GeoBunchBuilder::Triangle> closedBox(const Matrix& m = Matrix()) {
    std::vector<GeoBunchBuilder::Triangle> out;
    const bool mirror = m.row(0).cross(m.row(1)).dot(m.row(2)) < 0;
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            auto at = [&](double du, double dv) {
                Vector p, q;
                p[axis] = sign;
                p[(axis + 1) % 3] = du * sign;
                p[(axis + 2) % 3] = dv;
                Matrix::transformPoint(q, p, m);
                return kessa::GeoBunch::Float3{float(q.x), float(q.y), float(q.z)};
            };
            out.push_back(triangle(at(-1, -1), mirror ? at(-1, 1) : at(1, -1), mirror ? at(1, -1) : at(-1, 1)));
            out.push_back(triangle(at(1, -1), mirror ? at(-1, 1) : at(1, 1), mirror ? at(1, 1) : at(-1, 1)));
        }
    return out;
}

// The box shown through an instance or a joint, and the matrix it is drawn with.
struct Placed {
    std::unique_ptr<Database> db;
    Matrix drawn;
    bool instanced;
};

Placed placed(const Matrix& m, bool throughJoint) {
    auto root = std::make_unique<kessa::GroupBranch>();
    if (throughJoint) {
        auto joint = std::make_unique<kessa::JointBranch>();
        joint->addChild(leaf(closedBox()));
        joint->setTransform(m);
        Matrix drawn = joint->currentInverse();
        root->addChild(std::move(joint));
        return {sceneOf(std::move(root)), drawn, false};
    }
    auto* part = new kessa::Object;
    part->attach(leaf(closedBox()));
    auto instance = std::make_unique<kessa::InstanceBranch>();
    instance->setInstance(part);
    instance->setMatrix(m);
    root->addChild(std::move(instance));
    return {sceneOf(std::move(root), part), m, true};
}

// Spheres thrown and rays shot at the placed box stop, slide and hit as
// against the same box built where it is drawn.
TEST(Collision, InstancesAndJointsAreMetWhereTheyAreDrawn) {
    Matrix turned, scaled, mirrored, jointTurn;
    turned.setRotation(90, {0, 0, 1});
    turned.translate({30, 0, 0});
    scaled.scale({2, 2, 2});
    scaled.translate({0, 20, 5});
    mirrored.scale({-1, 1, 1});
    mirrored.translate({-30, 0, 0});
    jointTurn.setRotation(40, {1, 0, 0});
    jointTurn.translate({0, -100, 0});
    const Placed all[] = {placed(turned, false), placed(scaled, false), placed(mirrored, false), placed(jointTurn, true)};
    std::mt19937 random(9);
    std::uniform_real_distribution<double> unit(-1, 1);
    RayTracer tracer, referenceTracer;
    for (const Placed& p : all) {
        std::unique_ptr<Database> reference = sceneOf(leaf(closedBox(p.drawn)));
        Vector centre = p.drawn.translation();
        int hits = 0, rayHits = 0;
        for (int i = 0; i < 100; ++i) {
            Vector from = centre + Vector(unit(random), unit(random), unit(random)) * 6;
            Vector delta = (centre + Vector(unit(random), unit(random), unit(random)) * 1.5 - from) * 1.5;
            double radius = 0.2 + 0.5 * std::fabs(unit(random));
            std::pair<bool, Vector> got = move(*p.db, from, delta, radius);
            std::pair<bool, Vector> expected = move(*reference, from, delta, radius);
            EXPECT_EQ(got.first, expected.first);
            EXPECT_TRUE(vectorNear(got.second, expected.second, 1e-6));
            hits += got.first;

            Ray ray;
            ray.setOrigin(from);
            ray.aimAt(from + delta);
            ASSERT_EQ(tracer.traceDatabase(ray, *p.db), referenceTracer.traceDatabase(ray, *reference));
            if (!tracer.hit())
                continue;
            ++rayHits;
            // The reference's corners were rounded to floats where drawn.
            EXPECT_NEAR(tracer.hitLength(), referenceTracer.hitLength(), 1e-4);
            EXPECT_TRUE(dynamic_cast<GeometryBranch*>(tracer.hitBranch()));
            EXPECT_EQ(tracer.instanceDepth(), p.instanced ? 1 : 0);
            EXPECT_EQ(tracer.instancePath().size(), std::size_t(tracer.instanceDepth()));
        }
        EXPECT_GT(hits, 50);
        EXPECT_GT(rayHits, 50);
    }
    expectNothingDrawn(tracer);
}

TEST(RayTracer, TheNearestHitWinsInAnyOrderAndAFirstHitRecordsNothingElse) {
    for (double first : {10.0, 20.0}) {
        Matrix near, far;
        near.setTranslation({0, first, 0});
        far.setTranslation({0, 30 - first, 0});
        auto root = std::make_unique<kessa::GroupBranch>();
        root->addChild(leaf(closedBox(near)));
        root->addChild(leaf(closedBox(far)));
        std::unique_ptr<Database> db = sceneOf(std::move(root));
        RayTracer tracer;
        Ray ray;
        ray.aimAt({0, 30, 0.5});
        ASSERT_TRUE(tracer.traceDatabase(ray, *db));
        EXPECT_NEAR(tracer.hitLength(), 9 * ray.length / 30, 1e-9);
        kessa::Branch* nearer = tracer.hitBranch();
        EXPECT_EQ(nearer, db->rootObject()->root()->child(first == 10 ? 0 : 1));

        // Only whether something is hit: the last hit's record stays.
        tracer.firstHitOnly = true;
        ray.aimAt({0.5, 30, 0});
        EXPECT_TRUE(tracer.traceDatabase(ray, *db));
        EXPECT_NEAR(tracer.hitLength(), 9 * std::sqrt(900.25) / 30, 1e-9);
        EXPECT_EQ(tracer.hitBranch(), nearer);
        ray.aimAt({0, -30, 0});
        EXPECT_FALSE(tracer.traceDatabase(ray, *db));

        // A dirty branch is only reported (here the marked one and its group).
        LogCapture log;
        db->rootObject()->root()->child(0)->markDirty();
        tracer.firstHitOnly = false;
        ray.aimAt({0, 30, 0.5});
        EXPECT_TRUE(tracer.traceDatabase(ray, *db));
        const std::string line = "kessa::RayTracer - you tried to raytrace a dirty database!\n";
        EXPECT_EQ(log.text(), line + line);
    }
}

// A segment meets a box (and its sphere) where it crosses it or starts in it.
TEST(RayTracer, SegmentsMeetBounds) {
    const kessa::Bounds box = kessa_test::box({-1, -1, -1}, {1, 1, 1});
    const struct {
        Vector from, to;
        bool meets;
    } rows[] = {
        {{0, -5, 0}, {0, 5, 0}, true},       {{0, -5, 2}, {0, 5, 2}, false},  // past the sphere
        {{0, -5, 1.5}, {0, 5, 1.5}, false},  // inside the sphere, past the box
        {{0, 0, 0}, {0, 5, 0}, true},        {{0, -5, 0}, {0, -2, 0}, false},
        {{3, 3, 0}, {0, 0, 0}, true},        {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, false},
    };
    Ray ray;
    for (const auto& r : rows) {
        ray.setOrigin(r.from);
        ray.aimAt(r.to);
        EXPECT_EQ(ray.meets(box), r.meets) << r.from.x << " " << r.from.y << " " << r.from.z;
    }
    EXPECT_FALSE(ray.meets(kessa::Bounds()));
}

}  // namespace
