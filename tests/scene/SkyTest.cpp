// The sky and the sphere: dome, stars and sphere meshes checked as
// geometry, and the sky drawn into the hidden GL window and read back as
// pixels; strips are counted through GL's feedback mode, which reports what
// GL was given.
#include <gtest/gtest.h>

#include "scene/Random.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Sky.h"
#include "scene/render/Sphere.h"
#include "scene/render/Texture.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneGl.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::Sky;
using kessa::Sphere;
using Color = pellium::Color;

namespace {

constexpr double pi = 3.14159265358979323846;
const float twoRings[] = {0, 15, -1};

// Faces are equilateral and wound outwards; every face is rows of unit
// points (held to 256 rows, with a log line). Texture coordinates follow
// the azimuth, continuous across the seam (no face spans more than a
// quarter turn away from the poles), with each pole mid-texture at its end.
TEST(SphereTest, FacesRowsAndTextureCoordinates) {
    for (int f = 0; f < 20; ++f) {
        Vector c[3];
        Sphere::icosahedronFace(f, c);
        EXPECT_TRUE((c[1] - c[0]).cross(c[2] - c[0]).dot(c[0] + c[1] + c[2]) > 0 && std::fabs((c[1] - c[0]).length() - (c[2] - c[1]).length()) < 1e-9);
    }
    for (int rows : {0, 3}) {
        Sphere s;
        s.setRenderParameters(Sphere::solid, rows, nullptr);
        for (const Sphere::Face& face : s.faces()) {
            EXPECT_TRUE(face.points.size() == size_t(rows + 1) * size_t(rows + 2) / 2 && face.texCoords.empty());
            for (const Vector& p : face.points)
                EXPECT_NEAR(p.length(), 1, 1e-12);
        }
    }
    LogCapture log;
    Sphere huge;
    huge.setRenderParameters(Sphere::solid, 1 << 20, nullptr);
    EXPECT_TRUE(huge.faces()[0].rows == 256 && log.text().find("1048576 rows held to 0..256") != std::string::npos);
    kessa::SphereRenderer::SphereVertexProcessor processor(4), none(0);
    Sphere s;
    s.setRenderParameters(Sphere::lit, 4, &processor);
    int poles = 0;
    for (const Sphere::Face& face : s.faces()) {
        float low = 1e9f, high = -1e9f;
        bool polar = false;
        for (size_t i = 0; i < face.points.size(); ++i) {
            const Vector& p = face.points[i];
            const float u = face.texCoords[2 * i], v = face.texCoords[2 * i + 1];
            polar |= std::hypot(p.x, p.y) < 0.3;
            if (std::hypot(p.x, p.y) < 0.001) {
                ++poles;
                EXPECT_FLOAT_EQ(v, p.z > 0 ? 2 : -2);
                continue;
            }
            low = std::min(low, u), high = std::max(high, u);
            const double turns = u / 4.0 - std::atan2(p.x, p.y) / (2 * pi);
            EXPECT_TRUE(std::fabs(v - 2 * p.z) < 1e-6 && std::fabs(turns - std::round(turns)) < 1e-6) << "u is the azimuth";
        }
        EXPECT_TRUE(polar || high - low <= 1.0001);
    }
    EXPECT_EQ(poles, 4);
    std::vector<float> coords;
    none.process(s.faces()[0].points, coords);
    EXPECT_TRUE(coords.empty());
}

// Rings at their elevations round the sectors; band and ground colours
// packed; random band colours come from the shared generator, three draws a
// ring (an elevation of 90 has no ring); stars keep their places when their
// count changes, even above and odd below the horizon, or all above.
TEST(SkyTest, DomeColoursAndStars) {
    const Color bands[] = {{1, 0, 0, 1}, {0, 0, 1, 1}};
    Sky sky(16, twoRings, bands, Sky::defaultGroundColour);
    EXPECT_TRUE(sky.ringCount() == 2 && sky.sectorCount() == 16 && sky.bandColour(0) == 0xFF0000FFu && sky.bandColour(1) == 0xFFFF0000u);
    EXPECT_EQ(sky.groundColour(), 0xFF006600u);
    const struct {
        int sector, ring;
        Vector p;
    } points[] = {{0, 0, {1, 0, -0.02}}, {0, 1, {0.9659258, 0, 0.2388190}}, {1, 0, {0.9238795, 0.3826834, -0.02}}, {4, 1, {0, 0.9659258, 0.2388190}}};
    for (const auto& p : points) {
        const float* q = sky.point(p.sector, p.ring);
        EXPECT_TRUE(vectorNear(Vector(q[0], q[1], q[2]), p.p, 1e-6)) << p.sector << " " << p.ring;
    }
    kessa::Random::shared().seed(77);
    kessa::Random same(77);
    const float withTop[] = {0, 90, 30, -5};
    Sky random(0, withTop, nullptr, Sky::defaultGroundColour);
    EXPECT_TRUE(random.sectorCount() == 3 && random.ringCount() == 2);
    for (int ring = 0; ring < 2; ++ring) {
        Color c;
        c.red = same.next(), c.green = same.next(), c.blue = same.next();
        EXPECT_EQ(random.bandColour(ring), c.toPacked());
    }
    kessa::Random::shared().seed(5);
    Sky starry(8, twoRings, nullptr, Sky::defaultGroundColour);
    kessa::Random draws(5);
    for (int i = 0; i < 3 * 2; ++i)
        draws.next();  // the band colours
    starry.makeStars(200, false);
    const std::vector<Sky::Star> first = starry.stars();
    const float r1 = draws.next(), r2 = draws.next(), r3 = draws.next(), r4 = draws.next();
    const double a = r1 * 2 * pi, h = r2 * r3 * pi / 2;
    EXPECT_TRUE(vectorNear(Vector(first[0].direction[0], first[0].direction[1], first[0].direction[2]),
                           Vector(std::sin(a) * std::cos(h), std::cos(a) * std::cos(h), std::sin(h)), 1e-6));
    EXPECT_EQ(first[0].colour, 0xFFFFFFu | unsigned(128 + int(r4 * 128)) << 24);
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_TRUE(std::fabs(Vector(first[i].direction[0], first[i].direction[1], first[i].direction[2]).length() - 1) < 1e-5 &&
                    (first[i].direction[2] >= 0) == (i % 2 == 0));
    starry.makeStars(100, false);
    for (size_t i = 0; i < 100; ++i)
        EXPECT_EQ(std::memcmp(&starry.stars()[i], &first[i], sizeof(Sky::Star)), 0);
    starry.makeStars(150, true);
    for (const Sky::Star& s : starry.stars())
        EXPECT_GE(s.direction[2], 0);
    LogCapture log;
    starry.makeStars(-3, true);
    EXPECT_TRUE(starry.stars().empty() && log.text().find("-3 stars held to 0..100000") != std::string::npos);
}

class SkyGl : public SceneGl {
protected:
    void SetUp() override {
        SceneGl::SetUp();
        viewer.setWindowSize(info());
    }
    // The pixel at (x, y) as a camera at (100, 200, 50) with that pitch and heading sees the sky.
    std::uint32_t look(Sky& sky, double pitch, double heading, int x = glSide / 2, int y = glSide / 2) {
        kessa::Matrix camera;
        camera.setEuler(0, pitch, heading);
        camera.translate(Vector(100, 200, 50));
        viewer.setCameraMatrix(camera);
        clear();
        pellium::GLRenderInfo i = info();
        sky.render(i, viewer, 50);
        return at(x, y);
    }
    kessa::Viewer viewer;
};

// The ground below, the cap above the last ring, bands blending into the
// next; the viewer's projection back afterwards; the sun where it is set;
// stars on a black sky.
TEST_F(SkyGl, GroundBandsCapSunAndStars) {
    const float rings[] = {0, 10, 20, -1};
    const Color bands[] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    Sky sky(24, rings, bands, Color{1, 1, 1, 1});
    EXPECT_TRUE(pixelNear(look(sky, 0, 0, 32, 0), 255, 255, 255) && pixelNear(at(32, 63), 0, 0, 255));
    const std::uint32_t horizon = at(32, 32);
    EXPECT_TRUE((horizon & 0xFF) > (horizon >> 8 & 0xFF) && (horizon >> 8 & 0xFF) > 0);
    EXPECT_FLOAT_EQ(gltest::floats(GL_PROJECTION_MATRIX, 1)[0], float(viewer.projection()(0, 0)));
    // In the accumulator's sky pass, squeezed into the far end of the depth
    // range, the sky still covers the whole view.
    struct Pass : kessa::RenderAccumulator::SkyRenderer {
        void renderSky(pellium::GLRenderInfo& context, kessa::Viewer& v) override { sky->render(context, v, 50); }
        Sky* sky;
    } pass;
    pass.sky = &sky;
    kessa::RenderAccumulator frame;
    frame.setViewer(&viewer);
    frame.setSkyRenderer(&pass);
    pellium::GLRenderInfo i = info();
    clear();
    frame.render(i);
    EXPECT_EQ(count(0, 0, 0), 0);
    const Color black[] = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};
    sky.setBandColours(black);
    sky.setPoleColour(Color{0, 0, 0, 1});
    sky.setSunVisible(true);
    sky.setSunColour(Color{1, 1, 0, 1});
    sky.setSunDirection(10, 0);
    EXPECT_TRUE(pixelNear(look(sky, 0, 0, 32, 46), 255, 255, 0) && pixelNear(look(sky, 0, 90, 32, 46), 0, 0, 0)) << "10 degrees up, not west";
    sky.setSunVisible(false);
    sky.setStarsVisible(true);
    sky.makeStars(4000, true);
    look(sky, 0, 0);
    EXPECT_GT(glSide * glSide - count(0, 0, 0), 10) << "stars on the black sky";
}

// A box of six textures, each shown in its direction with neither stars
// nor sun over it; the sphere's strips and wires as GL is given them, and
// its disc.
TEST_F(SkyGl, SkyBoxAndSphere) {
    auto texture = [](std::uint32_t argb, std::uint32_t rightHalf) {
        pellium::Image image(8, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                *image.pixelAt(x, y) = x < 4 ? argb : rightHalf;
        orvel::counted_ptr<kessa::Texture> t(new kessa::Texture);
        t->setImage(image);
        return t;
    };
    Sky sky(8, twoRings, nullptr, Sky::defaultGroundColour);
    sky.setSunVisible(true);
    sky.setStarsVisible(true);
    sky.makeStars(5000, false);
    sky.setSkyBox(texture(0xFFFF0000, 0xFFFF0000), nullptr, texture(0xFF00FF00, 0xFF00FF00), texture(0xFFFF0000, 0xFF0000FF),
                  texture(0xFFFFFF00, 0xFFFFFF00), texture(0xFF00FFFF, 0xFF00FFFF));
    const struct {
        double pitch, heading;
        int r, g, b;
    } views[] = {{90, 0, 255, 0, 0}, {-90, 0, 255, 255, 255}, {0, 90, 0, 255, 0}, {0, -90, 255, 255, 0}, {0, 180, 0, 255, 255}};
    for (const auto& v : views)
        EXPECT_TRUE(pixelNear(look(sky, v.pitch, v.heading), v.r, v.g, v.b)) << v.pitch << " " << v.heading;
    look(sky, 0, 0);
    int green = 0;  // no white star or yellow sun over the fourth face, ahead
    for (std::uint32_t p : pixels())
        green += (p >> 8 & 0xFF) != 0;
    EXPECT_TRUE(green == 0 && pixelNear(at(2, 32), 255, 0, 0) && pixelNear(at(61, 32), 0, 0, 255));
    sky.clearSkyBox();
    EXPECT_FALSE(sky.skyBoxOn());
    // Triangles and line segments GL's feedback mode reports while the sphere draws.
    auto fed = [](const Sphere& s, pellium::GLRenderInfo& i) {
        std::vector<GLfloat> buffer(1 << 20);
        glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        s.render(i);
        const GLint n = glRenderMode(GL_RENDER);
        int triangles = 0, segments = 0;
        for (GLint at = 0; at < n;) {
            const GLint token = GLint(buffer[size_t(at)]);
            if (token == GL_POLYGON_TOKEN) {
                triangles += GLint(buffer[size_t(at) + 1]) == 3;
                at += 2 + 3 * GLint(buffer[size_t(at) + 1]);
            } else {
                segments += token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN;
                at += token == GL_POINT_TOKEN ? 4 : 7;
            }
        }
        return std::make_pair(triangles, segments);
    };
    pellium::setOrtho(-2, 2, -2, 2, -2, 2);
    pellium::disableGLState(10);
    Sphere s;
    pellium::GLRenderInfo i = info();
    LogCapture log;
    EXPECT_TRUE(fed(s, i) == std::make_pair(0, 0) && log.count("Tried to render a sphere without calling Sphere::setRenderParameters()!\n") == 1);
    for (int rows : {1, 3, 5}) {
        s.setRenderParameters(Sphere::solid, rows, nullptr);
        EXPECT_EQ(fed(s, i), std::make_pair(20 * rows * rows, 0)) << rows;
        s.setRenderParameters(Sphere::wire, rows, nullptr);
        EXPECT_EQ(fed(s, i), std::make_pair(0, 20 * rows * (rows + 1))) << rows;
    }
    s.radius = 0.5;
    s.setRenderParameters(Sphere::solid, 4, nullptr);
    pellium::color4f(1, 1, 1, 1);
    clear();
    s.render(i);
    EXPECT_NEAR(count(255, 255, 255), pi * 8 * 8, 0.1 * pi * 64) << "a disc of 8 pixels' radius";
}

}  // namespace
