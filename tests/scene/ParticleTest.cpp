// Particle effects driven by the engine clock's test time source and a seeded
// shared generator: the parameters by their world-file names, births,
// motion, trigger, burst and pulse, colours and fades; then every particle
// type drawn into the hidden GL window and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <string>

#include "SquareObject.h"
#include "scene/Random.h"
#include "scene/Stopwatch.h"
#include "scene/render/ParticleInternals.h"
#include "scene/render/ParticleSystem.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Sky.h"
#include "scene/render/Texture.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneGl.h"
#include "tests/support/LogCapture.h"

using kessa::Particle;
using kessa::ParticleParameters;
using kessa::ParticleSystem;
using kessa::Random;
using kessa::Stopwatch;
using kessa::Vector;
using Color = pellium::Color;

namespace {

constexpr double pi = 3.14159265358979323846;
double clockNow = 1;
double testClock() { return clockNow; }

// The engine clock ticks at t.
void tickAt(double t) {
    clockNow = t;
    Stopwatch::tick();
}

// An enabled effect with these parameters set by name.
std::unique_ptr<ParticleSystem> effect(std::initializer_list<std::pair<const char*, double>> values) {
    auto s = std::make_unique<ParticleSystem>();
    EXPECT_TRUE(s->setParameter("enabled", 1));
    for (const auto& v : values)
        EXPECT_TRUE(s->setParameter(v.first, v.second)) << v.first;
    return s;
}

// Frames from t0 to t1 every step seconds, the camera at the emitter.
void run(ParticleSystem& s, double t0, double t1, double step = 0.1, const Vector& emitter = {}) {
    for (int i = 0; t0 + i * step <= t1 + 1e-9; ++i) {
        tickAt(t0 + i * step);
        s.update(emitter, emitter, true);
    }
}

std::vector<Particle>& particles(ParticleSystem& s) { return s.internals()->particles; }

int alive(ParticleSystem& s) {
    int n = 0;
    for (const Particle& p : particles(s))
        n += p.alive;
    return n;
}

// The test clock at 1 and the shared generator seeded.
struct TestTime {
    TestTime() {
        Stopwatch::setTimeSource(testClock);
        tickAt(1);
        Random::shared().seed(1234);
    }
    ~TestTime() { Stopwatch::setTimeSource(nullptr); }
};

class Particles : public ::testing::Test {
    TestTime time;
};

#define FIELD(name, initial) {#name, initial, [](const ParticleParameters& p) { return double(p.name); }}
const struct {
    const char* key;
    double initial;
    std::function<double(const ParticleParameters&)> field;
} fields[] = {
    FIELD(enabled, 0), FIELD(innerRadius, 0), FIELD(outerRadius, 0), FIELD(height, 0), FIELD(verticalOffset, 0),
    FIELD(birthrate, 150), FIELD(particleType, 2), FIELD(renderType, 0), FIELD(birthType, 1), FIELD(deathType, 2),
    FIELD(birthTime, 0.5), FIELD(deathTime, 1), FIELD(windStrength, 0), FIELD(windDirection, 0), FIELD(gravity, 0),
    FIELD(ground, 0), FIELD(whirl, 0), FIELD(whirlSpeed, 90), FIELD(trigger, 0), FIELD(delay, 0), FIELD(duration, 0),
    FIELD(pulse, 0), FIELD(onMin, 0.5), FIELD(onMax, 2), FIELD(offMin, 0), FIELD(offMax, 2), FIELD(lodDistance, 500),
    FIELD(lodBirthrate, 5), FIELD(cycleTime, 1), FIELD(minSize, 1), FIELD(maxSize, 5), FIELD(minLife, 2),
    FIELD(maxLife, 4), FIELD(minAngle, 70), FIELD(maxAngle, 90), FIELD(minHeading, 0), FIELD(maxHeading, 360),
    FIELD(minVelocity, 0.2), FIELD(maxVelocity, 5), FIELD(minSpin, 0), FIELD(maxSpin, 360), FIELD(minTumble, 0),
    FIELD(maxTumble, 360), FIELD(followEmitter, 0), FIELD(percentSpeed, 100)};
#undef FIELD

}  // namespace

TEST_F(Particles, EveryParameterHasItsDefaultAndItsWorldFileName) {
    const ParticleParameters initial;
    const std::set<std::string> flags = {"enabled", "whirl", "trigger", "pulse", "followEmitter"};
    const char* const* keys = ParticleParameters::keys();
    for (const auto& f : fields) {
        ASSERT_STREQ(*keys++, f.key);
        EXPECT_FLOAT_EQ(float(f.field(initial)), float(f.initial)) << f.key;
        ParticleParameters p;
        ASSERT_TRUE(p.set(f.key, 4));
        EXPECT_EQ(f.field(p), flags.count(f.key) ? 1 : 4) << f.key;
        double back = 0;
        EXPECT_TRUE(p.get(f.key, back));
        EXPECT_EQ(back, f.field(p));
    }
    EXPECT_EQ(*keys, nullptr);
}

TEST_F(Particles, HostileValuesAreRefusedOrHeldWithALogLine) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* key;
        double value;
        bool accepted;
        const char* logged;
    } rows[] = {{"birthrate", nan, false, "birthrate: nan refused"},
                {"birthrate", 1e12, true, "birthrate: 1e+12 held to 1e+06"},
                {"particleType", 7, false, "particleType: 7 refused"},
                {"particleType", 2.5, false, "particleType: 2.5 refused"},
                {"birthTime", -3, true, "birthTime: -3 held to 0"},
                {"delay", inf, false, "delay: inf refused"},
                {"colorType", 3, false, "colorType: 3 refused"},
                {"saturation", nan, false, "saturation: nan refused"},
                {"noSuchKey", 1, false, "Unknown particle parameter noSuchKey"}};
    ParticleSystem s;
    for (const auto& row : rows) {
        LogCapture log;
        EXPECT_EQ(s.setParameter(row.key, row.value), row.accepted) << row.key;
        EXPECT_NE(log.text().find(row.logged), std::string::npos) << log.text();
    }
    EXPECT_EQ(s.parameters().birthrate, 1e6f);
    EXPECT_EQ(s.parameters().particleType, 2);
    EXPECT_EQ(s.parameters().birthTime, 0);
    EXPECT_EQ(s.parameters().delay, 0);
    s.setColor1(Color{float(nan), 0, 0, 1});
    EXPECT_EQ(s.color1().red, 1);

    // Frames: too few cells or a count past the table are held; a count
    // below 1 resets all three.
    LogCapture log;
    const int frames[][6] = {{0, 4, 4, 1, 1, 1},        {4, -2, 2, 1, 1, 1}, {1000, 40, 40, 256, 40, 40},
                             {9, 2, 2, 4, 2, 2}, {6, 3, 2, 6, 3, 2}};
    for (const auto& f : frames) {
        s.setTextureFrames(f[0], f[1], f[2]);
        EXPECT_EQ(s.frameCount(), f[3]);
        EXPECT_EQ(s.frameColumns(), f[4]);
        EXPECT_EQ(s.frameRows(), f[5]);
    }
    EXPECT_EQ(log.count("texture frames held to"), 2);
    EXPECT_EQ(log.count("ParticleSystem: texture frames 4 of -2 x 2 held to 1"), 1);

    // A huge rate fills the effect up to its limit, once logged.
    s.setParameter("enabled", 1);
    run(s, 1, 1.9, 0.9);
    EXPECT_EQ(int(particles(s).size()), ParticleSystem::maxParticles);
    EXPECT_EQ(log.count("ParticleSystem: births held to 262144 particles"), 1);
}

TEST_F(Particles, BirthsFollowTheirRecipeAndSpreadAlongTheFrame) {
    auto s = effect({{"lodDistance", 0}, {"birthrate", 10}, {"innerRadius", 1}, {"outerRadius", 2}, {"height", 0.5},
                     {"verticalOffset", 3}, {"particleType", 1}});
    s->setColor1(Color{1, 0, 0, 1});
    s->setColor2(Color{0, 0, 1, 1});
    const Vector emitter(10, 20, 30);
    run(*s, 1, 1.5, 0.5, emitter);
    ASSERT_EQ(particles(*s).size(), 5u) << "0.5 s at 10 a second";
    Random same(1234);
    const ParticleParameters& q = s->parameters();
    auto between = [&](float low, float high) { return low + same.next() * (high - low); };
    const Particle& p = particles(*s)[0];
    EXPECT_EQ(p.birthTime, 1.5);
    EXPECT_EQ(p.life, std::max(between(q.minLife, q.maxLife), 1.5f));
    const double elevation = between(q.minAngle, q.maxAngle) * pi / 180;
    const double heading = between(q.minHeading, q.maxHeading) * pi / 180;
    const double speed = between(q.minVelocity, q.maxVelocity);
    EXPECT_NEAR(p.velocity[0], speed * std::sin(heading) * std::cos(elevation), 1e-5);
    EXPECT_NEAR(p.velocity[1], speed * std::cos(heading) * std::cos(elevation), 1e-5);
    EXPECT_NEAR(p.velocity[2], speed * std::sin(elevation), 1e-5);
    const double radius = between(1, 2);
    same.next();  // the share of the emitter's path, which did not move
    EXPECT_NEAR(p.position[0], 10 + radius * std::sin(heading), 1e-5);
    EXPECT_NEAR(p.position[1], 20 + radius * std::cos(heading), 1e-5);
    EXPECT_NEAR(p.position[2], 33 + same.next() * 0.5, 1e-5);
    const int entry = int(same.next() * 32);
    EXPECT_EQ(p.colour, (Color{1 - entry / 32.0f, 0, entry / 32.0f, 0}.toPacked()));
    EXPECT_FLOAT_EQ(p.size, between(q.minSize, q.maxSize) * 0.02f);
    // The next birth sits further along its own path by a fifth of the frame.
    same.next();
    between(q.minAngle, q.maxAngle);
    const double h1 = between(q.minHeading, q.maxHeading) * pi / 180;
    between(q.minVelocity, q.maxVelocity);
    const Particle& second = particles(*s)[1];
    EXPECT_NEAR(second.position[0], 10 + between(1, 2) * std::sin(h1) + 0.1 * second.velocity[0], 1e-5);

    auto rated = effect({});
    run(*rated, 1, 1.1);
    EXPECT_EQ(particles(*rated).size(), 15u) << "0.1 s at 150 a second";
}

TEST_F(Particles, MotionWindGravityGroundFollowingAndDeath) {
    auto s = effect({{"windStrength", 2}, {"windDirection", 90}, {"gravity", 10}, {"ground", 0}, {"birthrate", 20}});
    run(*s, 1, 1.5);
    ASSERT_GE(particles(*s).size(), 2u);
    particles(*s)[0] = Particle{1, 0, 0, 1.5, 100, {0, 0, 0.1f}, {1, 0, -1.5f}, 1, 0, 0, 0, 0, 0, 0};
    particles(*s)[1].birthTime = 0;
    particles(*s)[1].life = 1;
    tickAt(1.55);
    s->update(Vector(), Vector(), false);
    const Particle& p = particles(*s)[0];
    EXPECT_NEAR(p.position[0], 0.15, 1e-6) << "velocity and wind";
    EXPECT_NEAR(p.position[1], 0, 1e-6);
    EXPECT_NEAR(p.position[2], 0.025, 1e-6);
    EXPECT_NEAR(p.velocity[2], -2, 1e-6) << "gravity";
    EXPECT_EQ(particles(*s)[1].alive, 0) << "past its life";
    tickAt(1.6);
    s->update(Vector(), Vector(), false);
    EXPECT_NEAR(p.position[2], 0.075, 1e-6) << "mirrored at the ground";
    EXPECT_NEAR(p.velocity[2], 1.25, 1e-6) << "bouncing back with half the speed";

    s->setParameter("birthrate", 0);
    const std::vector<Particle> frozen = particles(*s);
    run(*s, 1.7, 1.9);
    EXPECT_EQ(std::memcmp(frozen.data(), particles(*s).data(), frozen.size() * sizeof(Particle)), 0) << "frozen";
    s->setParameter("birthrate", 20);
    run(*s, 4.5, 4.5);
    EXPECT_TRUE(particles(*s).empty()) << "left alone for more than 2 s: a fresh start";

    auto follow = effect({{"followEmitter", 1}, {"percentSpeed", 50}, {"minVelocity", 0}, {"maxVelocity", 0}});
    run(*follow, 1, 1.2);
    const float x = particles(*follow)[0].position[0];
    tickAt(1.3);
    follow->update(Vector(), Vector(2, 0, 0), false);
    EXPECT_FLOAT_EQ(particles(*follow)[0].position[0], x + 1) << "half the emitter's step";
}

// Counts and ages after three seconds are the same whenever the effect
// starts: days into the run newborn particles are no older than at first.
TEST_F(Particles, AnEffectBehavesTheSameAfterAMonthAsAfterAMinute) {
    auto after = [](double start) {
        Random::shared().seed(99);
        auto s = effect({});
        run(*s, start, start + 3, 1.0 / 64);
        std::vector<double> ages;
        for (const Particle& p : particles(*s))
            ages.push_back(p.alive ? start + 3 - p.birthTime : -1);
        return ages;
    };
    const std::vector<double> first = after(64);
    EXPECT_GT(first.size(), 300u);
    for (double start : {65536.0, 262144.0, 4194304.0})
        EXPECT_EQ(after(start), first) << start << " s into the run";
}

// A clock that goes back starts the effect afresh, as one that jumps ahead
// does: births go on at once, and a pending trigger or pulse switch keeps
// its distance instead of waiting for the clock to come back.
TEST_F(Particles, AClockGoingBackStartsTheEffectAfresh) {
    const struct {
        std::initializer_list<std::pair<const char*, double>> values;
        const char* what;
    } rows[] = {{{}, "emitting"},
                {{{"trigger", 1}, {"delay", 0.5}, {"duration", 10}}, "waiting for its trigger"},
                {{{"pulse", 1}, {"onMin", 1}, {"onMax", 1}, {"offMin", 1}, {"offMax", 1}}, "pulsed off"}};
    for (const auto& row : rows) {
        auto s = effect(row.values);
        run(*s, 10, 11.4);
        s->prepare();
        run(*s, 11.5, 11.6);
        run(*s, 1.5, 3.0);
        bool before = false, after = false;
        for (const Particle& p : particles(*s))
            (p.birthTime > 5 ? before : after) |= p.alive != 0;
        EXPECT_FALSE(before) << row.what << ": none from before the clock went back";
        EXPECT_TRUE(after) << row.what << ": births once the clock went back";
    }
}

TEST_F(Particles, TriggerBurstDurationAndPulse) {
    // Waiting for its trigger an effect emits nothing, whatever the distance rule says.
    auto s = effect({{"trigger", 1}});
    run(*s, 1, 3);
    EXPECT_TRUE(particles(*s).empty());
    s->prepare();
    run(*s, 3.1, 3.3);
    EXPECT_EQ(alive(*s), 150) << "one burst of birthrate particles";

    auto timed = effect({{"trigger", 1}, {"delay", 0.5}, {"duration", 1}});
    tickAt(1);
    timed->prepare();
    run(*timed, 1, 1.4);
    EXPECT_TRUE(particles(*timed).empty()) << "the delay";
    run(*timed, 1.5, 2.6);
    const size_t born = particles(*timed).size();
    EXPECT_GT(born, 100u);
    run(*timed, 2.7, 3.0);
    EXPECT_EQ(particles(*timed).size(), born) << "the duration is over";

    auto reset = effect({{"birthrate", 40}});
    tickAt(1);
    reset->reset(Vector(5, 0, 0));
    EXPECT_EQ(alive(*reset), 40);
    run(*reset, 1.05, 1.05);
    EXPECT_EQ(alive(*reset), 40 + 2) << "the burst survives the next frame";

    auto pulse = effect({{"pulse", 1}, {"onMin", 1}, {"onMax", 1}, {"offMin", 1}, {"offMax", 1}});
    run(*pulse, 10, 14);
    int on = 0;
    for (const Particle& p : particles(*pulse)) {
        const double t = p.birthTime;
        EXPECT_TRUE((t > 10 && t < 11.01) || (t > 12 && t < 13.01)) << t;
        on += t > 12;
    }
    EXPECT_GT(on, 100);
}

TEST_F(Particles, ColourTablesFadesAndFrames) {
    auto s = effect({{"birthTime", 0.5}, {"deathTime", 1}, {"birthType", 1}, {"deathType", 2}});
    s->setColor1(Color{1, 0.5f, 0, 1});
    s->setColor2(Color{0, 0.5f, 1, 1});
    run(*s, 1, 1.1);
    kessa::ParticleInternals& d = *s->internals();
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(d.colours[i], (Color{1 - i / 32.0f, 0.5f, i / 32.0f, 0}.toPacked())) << i;
    s->setColorType(1);
    s->setSaturation(0.5f);
    run(*s, 1.2, 1.2);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(d.colours[i], Color::fromHSV(i * 11.25f, 0.5f, 1).toPacked()) << i;

    Particle p{};
    p.birthTime = 10;
    p.life = 4;
    p.size = 2;
    const struct {
        double age;
        int alpha;
        float size;
    } fades[] = {{0.25, 127, 2}, {1, 255, 2}, {3.5, 255, 1}, {5, 255, 0}};
    for (const auto& f : fades) {
        int alpha;
        float size;
        d.fade(p, 10 + f.age, alpha, size);
        EXPECT_EQ(alpha, f.alpha) << f.age;
        EXPECT_FLOAT_EQ(size, f.size) << f.age;
    }

    // One long frame does not stop the texture frames for good.
    s->setParameter("particleType", 3);
    s->setTextureFrames(4, 2, 2);
    run(*s, 1.3, 1.3);
    tickAt(2.8);
    s->update(Vector(), Vector(), true);
    EXPECT_EQ(d.frameStep, 0) << "a step past the frames is none";
    tickAt(3.1);
    s->update(Vector(), Vector(), true);
    EXPECT_EQ(d.frameStep, 1);
}

namespace {

class ParticlesGl : public kessa_test::SceneGl {
protected:
    void SetUp() override {
        SceneGl::SetUp();
        viewer.setWindowSize(info());
    }
    // Draws the effect's frame as the viewer sees it.
    pellium::GLRenderInfo draw(ParticleSystem& s) {
        clear();
        kessa::RenderAccumulator frame;
        frame.setViewer(&viewer);
        s.accumulate(frame, viewer);
        pellium::GLRenderInfo i = info();
        frame.render(i);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return i;
    }
    int brightest() {
        int most = 0;
        for (std::uint32_t p : pixels())
            most = std::max(most, int(p & 0xFF));
        return most;
    }

    TestTime time;
    kessa::Viewer viewer;
};

}  // namespace

TEST_F(ParticlesGl, EveryTypeEmitsMovesAndDraws) {
    pellium::Image white(8, 8);
    white.fill(0xFFFFFFFF);
    orvel::counted_ptr<kessa::Texture> texture(new kessa::Texture);
    texture->setImage(white);
    std::unique_ptr<kessa::Object> shape = kessa_test::squareObject();
    const Vector emitter(0, 10, 0);
    for (int type = 0; type <= 5; ++type) {
        auto s = effect({{"particleType", type}, {"birthrate", 300}, {"birthType", 0}, {"deathType", 0},
                         {"minSize", 1}, {"maxSize", 1.5}, {"minHeading", 0}, {"maxHeading", 0}, {"maxTumble", 0},
                         {"renderType", type == 2}, {"whirl", type == 3}});
        s->setTexture(texture);
        s->setTextureFrames(4, 2, 2);
        s->setObject(shape.get());
        run(*s, 1, 1.3, 0.1, emitter);
        ASSERT_GT(alive(*s), 50) << type;
        const Particle first = particles(*s)[0];
        run(*s, 1.4, 1.4, 0.1, emitter);
        EXPECT_NE(std::memcmp(first.position, particles(*s)[0].position, sizeof first.position), 0) << type;
        const pellium::GLRenderInfo drawn = draw(*s);
        EXPECT_GT(kessa_test::glSide * kessa_test::glSide - count(0, 0, 0), 10) << type;
        const long counted[] = {drawn.points, drawn.lines, drawn.quads, drawn.quads, drawn.quads, 0};
        EXPECT_EQ(counted[type], type == 5 ? 0 : alive(*s)) << type;
    }

    // An effect out of sight adds nothing to the frame.
    auto behind = effect({});
    run(*behind, 2, 2.2, 0.1, Vector(0, -20, 0));
    kessa::RenderAccumulator frame;
    behind->accumulate(frame, viewer);
    EXPECT_EQ(frame.itemCount(kessa::RenderAccumulator::bunches), 0);
    run(*behind, 2.3, 2.3, 0.1, Vector(0, 20, 0));
    behind->accumulate(frame, viewer);
    EXPECT_EQ(frame.itemCount(kessa::RenderAccumulator::bunches), 1);
    frame.reset();
}

TEST_F(ParticlesGl, PointsFadeWithDistanceAndAge) {
    const struct {
        double distance, age;
        int shown;
    } rows[] = {{100, 1, 127}, {10, 1, 242}, {250, 1, 0}, {100, 0.25, 127 * 127 / 255}};
    for (const auto& row : rows) {
        auto s = effect({{"particleType", 0}, {"birthrate", 1}, {"minVelocity", 0}, {"maxVelocity", 0},
                         {"minLife", 100}, {"maxLife", 100}, {"birthTime", 0.5}});
        tickAt(1);
        s->reset(Vector(0, row.distance, 0));
        tickAt(1 + row.age);
        draw(*s);
        EXPECT_NEAR(brightest(), row.shown, 1) << row.distance << " " << row.age;
    }
}

// Points drawn 8 pixels wide put GL's point size back: the sky's stars in
// the frames after them stay single pixels (they came out as squares).
TEST_F(ParticlesGl, PointsLeaveTheSkysStarsSinglePixels) {
    const float rings[] = {0, 10, -1};
    const Color black[] = {{0, 0, 0, 1}, {0, 0, 0, 1}};
    kessa::Sky sky(16, rings, black, Color{0, 0, 0, 1});
    sky.setStarsVisible(true);
    sky.makeStars(300, true);
    struct Pass : kessa::RenderAccumulator::SkyRenderer {
        void renderSky(pellium::GLRenderInfo& context, kessa::Viewer& v) override { sky->render(context, v, 50); }
        kessa::Sky* sky = nullptr;
    } pass;
    pass.sky = &sky;
    kessa::Matrix upwards;
    upwards.setEuler(0, 20, 0);
    auto starPixels = [&] {
        viewer.setCameraMatrix(upwards);
        clear();
        kessa::RenderAccumulator frame;
        frame.setViewer(&viewer);
        frame.setSkyRenderer(&pass);
        pellium::GLRenderInfo i = info();
        frame.render(i);
        return kessa_test::glSide * kessa_test::glSide - count(0, 0, 0);
    };
    pellium::pointSize(1);
    const int single = starPixels();
    ASSERT_GT(single, 0);

    auto s = effect({{"particleType", 0}, {"birthrate", 300}, {"minSize", 8}, {"maxSize", 8}, {"birthType", 0}, {"deathType", 0},
                     {"minVelocity", 0}, {"maxVelocity", 0}, {"minLife", 100}, {"maxLife", 100}});
    run(*s, 1, 1.3, 0.1, Vector(0, 10, 0));
    viewer.setCameraMatrix(kessa::Matrix());
    draw(*s);
    EXPECT_GT(kessa_test::glSide * kessa_test::glSide - count(0, 0, 0), 0) << "the points drew";
    EXPECT_EQ(gltest::floats(GL_POINT_SIZE, 1)[0], 1.0f);
    EXPECT_EQ(starPixels(), single);
}
