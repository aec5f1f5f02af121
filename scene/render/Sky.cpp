#include "scene/render/Sky.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Debug.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "scene/Matrix.h"
#include "scene/Random.h"
#include "scene/render/Material.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Sphere.h"
#include "scene/render/Texture.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

enum GLState { blendingState = 1, texturingState = 2, depthTestState = 5, faceCullingState = 10 };
enum Primitive { points = 0, triangleStrip = 5, triangleFan = 6, polygon = 9 };
constexpr int minSectors = 3, maxSectors = 1024, maxElevations = 256, maxStars = 100000;
constexpr double pi = 3.14159265358979323846;

// Sky-box faces in drawing order: the texture argument (0-based) and the
// four corners, each a bit per axis (set: +half-size, clear: -half-size).
struct BoxFace {
    int texture;
    int corners[4];
};
constexpr int X = 1, Y = 2, Z = 4;
const BoxFace boxFaces[6] = {
    {2, {0, Y, Y | Z, Z}},             {3, {Y, X | Y, X | Y | Z, Y | Z}},
    {4, {X | Y, X, X | Z, X | Y | Z}}, {5, {X, 0, Z, X | Z}},
    {0, {Y | Z, X | Y | Z, X | Z, Z}}, {1, {0, X, X | Y, Y}},
};

std::uint32_t packed(const pellium::Color& c) { return c.toPacked(); }

std::uint32_t randomColour() {
    Random& random = Random::shared();
    pellium::Color c;
    c.red = random.next();
    c.green = random.next();
    c.blue = random.next();
    c.alpha = 1;
    return c.toPacked();
}

}  // namespace

struct SkyInternals {
    int sectors = 0, rings = 0;
    std::uint32_t ground = 0;
    std::vector<std::uint32_t> bands;
    // Sector by sector, rings within a sector.
    std::vector<float> points;
    bool starsVisible = false;
    int starCount = 0;
    bool upperOnly = false;
    std::vector<Sky::Star> stars;
    bool sunVisible = false;
    pellium::Color sunColour{1, 1, 1, 1};
    float sunAngles[2] = {45.0f, 0.0f};
    bool skyBox = false;
    orvel::counted_ptr<Texture> faces[6];

    const float* point(int sector, int ring) const {
        return &points[(size_t(sector) * size_t(rings) + size_t(ring)) * 3];
    }
};

const pellium::Color Sky::defaultBandColours[2] = {{0.75f, 0.8f, 0.875f, 1}, {0.375f, 0.625f, 1, 1}};
const pellium::Color Sky::defaultGroundColour{0, 0.4f, 0, 1};
const pellium::Color Sky::defaultFurtherColours[2] = {{0.82f, 0.4f, 0.4f, 1}, {0.2f, 0.4f, 0.625f, 1}};

Sky::Sky(int sectors, const float* elevations, const pellium::Color* bandColours, const pellium::Color& groundColour)
    : d_(new SkyInternals) {
    if (sectors < minSectors || sectors > maxSectors) {
        orvel::debug("Sky: %d sectors held to %d..%d\n", sectors, minSectors, maxSectors);
        sectors = std::clamp(sectors, minSectors, maxSectors);
    }
    d_->sectors = sectors;
    d_->ground = packed(groundColour);

    // The profile of the dome in the xz plane, one point per ring. An
    // elevation of 90 or more has no ring (and its colour is skipped).
    std::vector<float> profile;
    const float toRadians = float(pi) * (1.0f / 180.0f);
    for (int i = 0; elevations && i < maxElevations && elevations[i] >= 0; ++i) {
        float e = elevations[i];
        if (!(e < 90))
            continue;
        float radians = e * toRadians;
        profile.insert(profile.end(), {std::cos(radians), 0.0f, std::sin(radians) - 0.02f});
        d_->bands.push_back(bandColours ? packed(bandColours[i]) : randomColour());
    }
    d_->rings = int(profile.size() / 3);

    d_->points.reserve(size_t(sectors) * profile.size());
    for (int s = 0; s < sectors; ++s) {
        Matrix turn;
        turn.setRotation(double(s) * 360 / sectors, Vector(0, 0, 1));
        for (size_t r = 0; r < profile.size(); r += 3) {
            Vector p(profile[r], profile[r + 1], profile[r + 2]), q;
            Matrix::transformPoint(q, p, turn);
            d_->points.insert(d_->points.end(), {float(q.x), float(q.y), float(q.z)});
        }
    }
}

Sky::~Sky() = default;

void Sky::setBandColours(const pellium::Color* colours) {
    for (size_t i = 0; i < d_->bands.size(); ++i)
        d_->bands[i] = colours ? packed(colours[i]) : randomColour();
}

void Sky::setPoleColour(const pellium::Color& colour) { d_->ground = packed(colour); }

void Sky::setStarsVisible(bool on) { d_->starsVisible = on; }

void Sky::makeStars(int count, bool upperOnly) {
    if (count < 0 || count > maxStars) {
        orvel::debug("Sky::makeStars(): %d stars held to 0..%d\n", count, maxStars);
        count = std::clamp(count, 0, maxStars);
    }
    std::vector<Star>& stars = d_->stars;
    if (int(stars.size()) > count)
        stars.resize(size_t(count));
    Random& random = Random::shared();
    while (int(stars.size()) < count) {
        float r1 = random.next(), r2 = random.next(), r3 = random.next(), r4 = random.next();
        double a = r1 * 2 * pi, h = r2 * r3 * pi / 2;
        Star star;
        star.direction[0] = float(std::sin(a) * std::cos(h));
        star.direction[1] = float(std::cos(a) * std::cos(h));
        star.direction[2] = float(std::sin(h));
        star.colour = 0x00FFFFFFu | std::uint32_t(128 + int(r4 * 128)) << 24;
        stars.push_back(star);
    }
    for (size_t i = 0; i < stars.size(); ++i) {
        float& z = stars[i].direction[2];
        if (upperOnly || i % 2 == 0)
            z = std::fabs(z);
        else if (z >= 0)
            z = -z;
    }
    d_->starCount = count;
    d_->upperOnly = upperOnly;
}

void Sky::setSunVisible(bool on) { d_->sunVisible = on; }

void Sky::setSunColour(const pellium::Color& rgba) { d_->sunColour = rgba; }

void Sky::setSunDirection(float angle1, float angle2) {
    d_->sunAngles[0] = angle1;
    d_->sunAngles[1] = angle2;
}

void Sky::clearSkyBox() {
    d_->skyBox = false;
    for (auto& face : d_->faces)
        face = nullptr;
}

void Sky::setSkyBox(const orvel::counted_ptr<Texture>& t1, const orvel::counted_ptr<Texture>& t2,
                    const orvel::counted_ptr<Texture>& t3, const orvel::counted_ptr<Texture>& t4,
                    const orvel::counted_ptr<Texture>& t5, const orvel::counted_ptr<Texture>& t6) {
    const orvel::counted_ptr<Texture>* given[6] = {&t1, &t2, &t3, &t4, &t5, &t6};
    for (int i = 0; i < 6; ++i)
        d_->faces[i] = *given[i];
    d_->skyBox = true;
}

int Sky::sectorCount() const { return d_->sectors; }
int Sky::ringCount() const { return d_->rings; }
const float* Sky::point(int sector, int ring) const { return d_->point(sector, ring); }
std::uint32_t Sky::bandColour(int ring) const { return d_->bands[size_t(ring)]; }
std::uint32_t Sky::groundColour() const { return d_->ground; }
const std::vector<Sky::Star>& Sky::stars() const { return d_->stars; }
bool Sky::starsVisible() const { return d_->starsVisible; }
bool Sky::sunVisible() const { return d_->sunVisible; }
bool Sky::skyBoxOn() const { return d_->skyBox; }

void Sky::sunDirection(float out[3]) const {
    Matrix m;
    m.setEulerFloat(0, d_->sunAngles[0], d_->sunAngles[1]);
    Vector forward = m.row(1);
    out[0] = float(forward.x);
    out[1] = float(forward.y);
    out[2] = float(forward.z);
}

void Sky::render(pellium::GLRenderInfo& context, Viewer& viewer, double radius) {
    pellium::setPerspective(context, 45, 0.01 * radius, 1.01 * radius, viewer.aspect());
    // The camera's turn without its position: the sky never comes nearer.
    double values[16];
    std::memcpy(values, viewer.viewMatrix().values(), sizeof values);
    values[12] = values[13] = values[14] = 0;
    Matrix turn;
    turn.set(values);
    RenderAccumulator::loadModelview(turn);

    Material::getDefault()->apply();
    pellium::disableGLState(blendingState);
    pellium::disableGLState(faceCullingState);
    // The sky comes first and behind everything; squeezed into the far end
    // of the depth range, much of it would round to the cleared depth and
    // fail the test.
    pellium::disableGLState(depthTestState);
    if (d_->skyBox)
        drawSkyBox(radius);
    else
        drawDome(context, radius);
    pellium::enableGLState(depthTestState);
    pellium::enableGLState(faceCullingState);
    viewer.setWindowSize(context);
}

void Sky::drawSkyBox(double radius) {
    const float s = float(0.57 * radius);
    pellium::color4f(1, 1, 1, 1);
    pellium::enableGLState(texturingState);
    for (const BoxFace& face : boxFaces) {
        Texture* texture = d_->faces[face.texture] ? d_->faces[face.texture].get() : Texture::whiteTexture(false).get();
        texture->bind();
        const float ds = 0.5f / float(std::max(1, texture->width())), dt = 0.5f / float(std::max(1, texture->height()));
        const float st[4][2] = {{ds, dt}, {1 - ds, dt}, {1 - ds, 1 - dt}, {ds, 1 - dt}};
        pellium::beginPrimitive(polygon);
        for (int c = 0; c < 4; ++c) {
            int bits = face.corners[c];
            pellium::texCoord2f(st[c][0], st[c][1]);
            pellium::vertex3f(bits & X ? s : -s, bits & Y ? s : -s, bits & Z ? s : -s);
        }
        pellium::endPrimitive();
    }
    pellium::disableGLState(texturingState);
}

void Sky::drawDome(pellium::GLRenderInfo& context, double radius) {
    pellium::disableGLState(texturingState);
    const SkyInternals& d = *d_;
    const float r = float(radius);
    auto vertex = [&](int sector, int ring) {
        const float* p = d.point(sector % d.sectors, ring);
        pellium::vertex3f(p[0] * r, p[1] * r, p[2] * r);
    };
    auto cap = [&](int ring, std::uint32_t colour) {
        pellium::color4ub(colour);
        pellium::beginPrimitive(triangleFan);
        pellium::vertex3f(0, 0, d.point(0, ring)[2] * r);
        for (int s = 0; s <= d.sectors; ++s)
            vertex(s, ring);
        pellium::endPrimitive();
    };
    if (d.rings > 0) {
        cap(0, d.ground);
        for (int k = 0; k + 1 < d.rings; ++k) {
            pellium::beginPrimitive(triangleStrip);
            for (int s = 0; s <= d.sectors; ++s) {
                pellium::color4ub(d.bands[size_t(k)]);
                vertex(s, k);
                pellium::color4ub(d.bands[size_t(k) + 1]);
                vertex(s, k + 1);
            }
            pellium::endPrimitive();
        }
        cap(d.rings - 1, d.bands.back());
    }

    if (d.starsVisible && !d.stars.empty()) {
        pellium::enableGLState(blendingState);
        pellium::setVertexArray(d.stars[0].direction, int(sizeof(Star)));
        pellium::setColorArray(reinterpret_cast<const unsigned char*>(&d.stars[0].colour), int(sizeof(Star)));
        pellium::drawArrays(points, 0, int(d.stars.size()));
        pellium::setColorArray(nullptr, 0);
        pellium::setVertexArray(nullptr, 0);
    }

    if (d.sunVisible) {
        // One sun for every sky: three rows a face and no texture.
        static Sphere sun = [] {
            Sphere sphere;
            sphere.radius = 0.03;
            sphere.radiusSquared = 0.0009;
            SphereRenderer::SphereVertexProcessor plain(0);
            sphere.setRenderParameters(Sphere::solid, 3, &plain);
            return sphere;
        }();
        float direction[3];
        sunDirection(direction);
        sun.centre = Vector(direction[0], direction[1], direction[2]);
        pellium::color4f(d.sunColour.red, d.sunColour.green, d.sunColour.blue, d.sunColour.alpha);
        sun.render(context);
    }
}

}  // namespace kessa
