// Spheres moved through scene databases: stops and slides against walls and
// floors, and geometry placed by instances and joints met where it is drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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
#include "scene/render/RenderAccumulator.h"

using kessa::CollisionAction;
using kessa::Database;
using kessa::GeoBunchBuilder;
using kessa::GeometryBranch;
using kessa::Matrix;
using kessa::Vector;
using kessa_test::triangle;
using kessa_test::vectorNear;

namespace {

// One-sided planes of big triangles: a wall at y = 5 facing -y, a floor at
// z = 0 facing +z.
GeoBunchBuilder wall() {
    GeoBunchBuilder b;
    b.triangles.push_back(triangle({-100, 5, -100}, {300, 5, -100}, {-100, 5, 300}));
    return b;
}
GeoBunchBuilder floorPlane() {
    GeoBunchBuilder b;
    b.triangles.push_back(triangle({-100, -100, 0}, {300, -100, 0}, {-100, 300, 0}));
    return b;
}

std::unique_ptr<GeometryBranch> leaf(const GeoBunchBuilder& b) {
    auto branch = std::make_unique<GeometryBranch>();
    branch->addTriangles(b);
    return branch;
}

// A database whose root object holds the branch.
std::unique_ptr<Database> sceneOf(std::unique_ptr<kessa::Branch> root) {
    auto db = std::make_unique<Database>();
    auto object = std::make_unique<kessa::Object>();
    object->attach(std::move(root));
    db->addObject(std::move(object));
    db->clean();
    return db;
}

struct Moved {
    bool changed;
    Vector at;
};

Moved move(Database& db, const Vector& start, const Vector& delta, double radius) {
    CollisionAction action;
    action.setMotion(start, delta, radius);
    action.addCollider(&db);
    bool changed = action.collide();
    return {changed, action.position};
}

TEST(Collision, SpheresStopAndSlideAsTheyMeetPlanes) {
    const double s = 7.0710678;
    struct Row {
        const char* what;
        GeoBunchBuilder (*geometry)();
        Vector start, delta;
        double radius;
        bool changed;
        Vector end;
    } const rows[] = {
        {"straight at a wall", wall, {0, 0, 0}, {0, 10, 0}, 1, true, {0, 3.9989999999525025, 0}},
        {"a thin wall at any speed", wall, {0, 0, 0}, {0, 1e5, 0}, 1, true, {0, 3.9989999999525025, 0}},
        {"at 45 degrees into a wall", wall, {0, 0, 0}, {s, s, 0}, 1, true, {7.068896, 3.997124, 0}},
        {"at 45 degrees onto a floor", floorPlane, {0, 0, 2}, {0, s, -s}, 1, true, {0, 7.066774, 1.004994}},
        {"through the back of a wall", wall, {0, 6, 0}, {0, -10, 0}, 1, false, {0, -4, 0}},
        {"parallel to a wall", wall, {0, 0, 0}, {10, 0, 0}, 1, false, {10, 0, 0}},
        {"starting half in front of a wall", wall, {0, 4.5, 0}, {0, 10, 0}, 1, true, {0, 4.4989999999525025, 0}},
        {"starting half behind a wall", wall, {0, 5.5, 0}, {0, 10, 0}, 1, false, {0, 15.5, 0}},
        {"without a radius", wall, {0, 0, 0}, {0, 10, 0}, 0, false, {0, 0, 0}},
        {"without a distance", wall, {0, 0, 0}, {0, 0, 0}, 1, false, {0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::unique_ptr<Database> db = sceneOf(leaf(r.geometry()));
        Moved m = move(*db, r.start, r.delta, r.radius);
        EXPECT_EQ(m.changed, r.changed);
        EXPECT_TRUE(vectorNear(m.at, r.end, 1e-6));
    }

    // Along an edge: the sphere meets the border point nearest its path.
    GeoBunchBuilder edge;
    edge.triangles.push_back(triangle({1, 5, -5}, {3, 5, 0}, {1, 5, 5}));
    std::unique_ptr<Database> db = sceneOf(leaf(edge));
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
        std::unique_ptr<GeometryBranch> b = leaf(wall());
        b->setCollisionMode(mode);
        root->addChild(std::move(b));
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
    // The walk draws nothing, however often it runs.
    const kessa::RenderAccumulator& drawn = db->collider()->accumulator();
    EXPECT_EQ(drawn.itemCount(kessa::RenderAccumulator::solidStuff), 0);
    EXPECT_EQ(drawn.itemCount(kessa::RenderAccumulator::bunches), 0);
    EXPECT_LE(drawn.itemCount(kessa::RenderAccumulator::solidRenderables), 1);
}

// A closed box of outward triangles, 2 units wide, centred on c.
GeoBunchBuilder closedBox(const Vector& c) {
    GeoBunchBuilder b;
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            auto at = [&](double du, double dv) {
                Vector p = c;
                p[axis] += sign;
                p[u] += du * sign;
                p[v] += dv;
                return kessa::GeoBunch::Float3{float(p.x), float(p.y), float(p.z)};
            };
            b.triangles.push_back(triangle(at(-1, -1), at(1, -1), at(-1, 1)));
            b.triangles.push_back(triangle(at(1, -1), at(1, 1), at(-1, 1)));
        }
    return b;
}

// The box moved by m as it would be drawn, its outside kept outward.
GeoBunchBuilder moved(const GeoBunchBuilder& b, const Matrix& m) {
    GeoBunchBuilder out = b;
    const bool mirror = m.row(0).cross(m.row(1)).dot(m.row(2)) < 0;
    for (GeoBunchBuilder::Triangle& t : out.triangles) {
        for (GeoBunchBuilder::Corner& c : t.corners) {
            Vector p;
            Matrix::transformPoint(p, {c.position.x, c.position.y, c.position.z}, m);
            c.position = {float(p.x), float(p.y), float(p.z)};
        }
        if (mirror)
            std::swap(t.corners[1], t.corners[2]);
    }
    return out;
}

// The box shown through an instance or a joint, and the matrix it is drawn with.
struct Placed {
    std::unique_ptr<Database> db;
    Matrix drawn;
};

Placed throughInstance(const Matrix& m) {
    Placed p;
    p.db = std::make_unique<Database>();
    auto top = std::make_unique<kessa::Object>();
    auto part = std::make_unique<kessa::Object>();
    part->attach(leaf(closedBox({0, 0, 0})));
    auto instance = std::make_unique<kessa::InstanceBranch>();
    instance->setInstance(part.get());
    instance->setMatrix(m);
    auto root = std::make_unique<kessa::GroupBranch>();
    root->addChild(std::move(instance));
    top->attach(std::move(root));
    p.db->addObject(std::move(top));
    p.db->addObject(std::move(part));
    p.db->clean();
    p.drawn = m;
    return p;
}

Placed throughJoint(const Matrix& t) {
    auto joint = std::make_unique<kessa::JointBranch>();
    joint->addChild(leaf(closedBox({0, 0, 0})));
    joint->setTransform(t);
    Placed p;
    p.drawn = joint->currentInverse();
    auto root = std::make_unique<kessa::GroupBranch>();
    root->addChild(std::move(joint));
    p.db = sceneOf(std::move(root));
    return p;
}

std::vector<Placed> placements() {
    Matrix turned, scaled, mirrored, jointTurn;
    turned.setRotation(90, {0, 0, 1});
    turned.translate({30, 0, 0});
    scaled.scale({2, 2, 2});
    scaled.translate({0, 20, 5});
    mirrored.scale({-1, 1, 1});
    mirrored.translate({-30, 0, 0});
    jointTurn.setRotation(40, {1, 0, 0});
    jointTurn.translate({0, -100, 0});
    std::vector<Placed> all;
    all.push_back(throughInstance(turned));
    all.push_back(throughInstance(scaled));
    all.push_back(throughInstance(mirrored));
    all.push_back(throughJoint(jointTurn));
    return all;
}

// Spheres thrown at the placed box stop and slide as against the same box
// built where it is drawn.
TEST(Collision, InstancesAndJointsCollideWhereTheyAreDrawn) {
    std::mt19937 random(9);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (Placed& p : placements()) {
        std::unique_ptr<Database> reference = sceneOf(leaf(moved(closedBox({0, 0, 0}), p.drawn)));
        Vector centre;
        Matrix::transformPoint(centre, {0, 0, 0}, p.drawn);
        int hits = 0;
        for (int i = 0; i < 100; ++i) {
            Vector from = centre + Vector(unit(random), unit(random), unit(random)) * 6;
            Vector to = centre + Vector(unit(random), unit(random), unit(random)) * 1.5;
            double radius = 0.2 + 0.5 * std::fabs(unit(random));
            Moved got = move(*p.db, from, (to - from) * 1.5, radius);
            Moved expected = move(*reference, from, (to - from) * 1.5, radius);
            EXPECT_EQ(got.changed, expected.changed);
            EXPECT_TRUE(vectorNear(got.at, expected.at, 1e-6));
            hits += got.changed;
        }
        EXPECT_GT(hits, 50);
    }
}

}  // namespace
