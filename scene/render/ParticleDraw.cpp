// Drawing particles: set-up by particle type, then the particles streamed
// through fixed vertex arrays 64 at a time, one draw call per batch.
#include <algorithm>
#include <cmath>

#include "gui/gl/GLclient.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/Image.h"
#include "scene/Matrix.h"
#include "scene/Stopwatch.h"
#include "scene/render/ParticleInternals.h"
#include "scene/render/ParticleSystem.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Texture.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

enum Primitive { points = 0, lines = 1, quads = 7 };
enum BlendFactor { one = 1, sourceAlpha = 2, oneMinusSourceAlpha = 3 };
enum GLState { faceCullingState = 10 };

// The sprites' texture: white, its alpha rising from the border inwards
// (16 m + 15, m being the texel's distance to the nearest border).
const orvel::counted_ptr<Texture>& spriteTexture() {
    static auto* texture = [] {
        pellium::Image image(32, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const unsigned m = unsigned(std::min(std::min(x, 31 - x), std::min(y, 31 - y)));
                *image.pixelAt(x, y) = (16 * m + 15) << 24 | 0xFFFFFF;
            }
        auto* t = new orvel::counted_ptr<Texture>(new Texture);
        (*t)->setName("particleSprite");
        (*t)->setImage(image);
        return t;
    }();
    return *texture;
}

const float spriteCoords[4][2] = {{0, 0}, {0.96875f, 0}, {0.96875f, 0.96875f}, {0, 0.96875f}};

struct Vec3 {
    float x, y, z;
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
};

Vec3 vec(const Vector& v) { return {float(v.x), float(v.y), float(v.z)}; }
Vec3 vec(const float* v) { return {v[0], v[1], v[2]}; }

}  // namespace

void ParticleInternals::render(pellium::GLRenderInfo& context, Viewer& viewer) {
    const ParticleParameters& q = system.parameters();
    const int type = particleType;
    if (type < 0 || type > 4 || particles.empty())
        return;
    const double now = Stopwatch::elapsed();
    const int frameCount = system.frameCount();

    if (q.renderType == 1)
        pellium::setBlendMode(sourceAlpha, one);
    pellium::disableGLState(faceCullingState);

    // Points fade out with the emitter's distance from the camera.
    const double distance = (viewer.position() - emitter).length();
    int distanceAlpha = 255;
    if (type == 0) {
        float pointSize = q.minSize;
        if (distance >= 200) {
            distanceAlpha = 0;
        } else if (distance >= 0.5) {
            const double v = (200 - distance) * 0.0050125313 * q.minSize * q.minSize;
            pointSize = float(int(std::sqrt(v)) + 1);
            distanceAlpha = std::clamp(int(v / (pointSize * pointSize) * 255), 0, 255);
        }
        pellium::pointSize(std::max(pointSize, 1.0f));
    }

    const orvel::counted_ptr<Texture>* texture = nullptr;
    if (type == 2)
        texture = &spriteTexture();
    else if ((type == 3 || type == 4) && system.texture())
        texture = &system.texture();
    material.setTexture(texture ? *texture : orvel::counted_ptr<Texture>(), 0);
    material.apply();
    if (texture && type != 2 && !framesValid) {
        // Frame f in cell (f mod columns, f div columns), frame 0 at the top
        // left, each inset by half a texel.
        const int columns = frameCount > 1 ? system.frameColumns() : 1, rows = frameCount > 1 ? system.frameRows() : 1;
        const float ds = 0.5f / float(std::max(1, (*texture)->width())),
                    dt = 0.5f / float(std::max(1, (*texture)->height()));
        for (int f = 0; f < std::max(frameCount, 1); ++f) {
            const float s0 = float(f % columns) / columns, t1 = 1 - float(f / columns) / rows;
            frameCoords[f][0] = frameCount > 1 ? s0 + ds : 0;
            frameCoords[f][1] = frameCount > 1 ? t1 - 1.0f / rows + dt : 0;
            frameCoords[f][2] = frameCount > 1 ? s0 + 1.0f / columns - ds : 1;
            frameCoords[f][3] = frameCount > 1 ? t1 - dt : 1;
        }
        framesValid = true;
    }

    // The whole effect turns about the emitter's vertical axis.
    Matrix modelview;
    if (q.whirl) {
        modelview.setTranslation(-emitter);
        modelview.rotate(whirlAngle, Vector(0, 0, 1));
        modelview.translate(emitter);
        modelview.multiply(modelview, viewer.viewMatrix());
    } else {
        modelview = viewer.viewMatrix();
    }
    RenderAccumulator::loadModelview(modelview);

    Vector right = viewer.axis(0), up = viewer.axis(2);
    if (q.whirl) {
        // Sprites keep facing the camera while the effect turns.
        Matrix back;
        back.setRotation(whirlAngle, Vector(0, 0, -1));
        Vector r, u;
        Matrix::transformPoint(r, right, back);
        Matrix::transformPoint(u, up, back);
        right = r;
        up = u;
    }
    const Vec3 R0 = vec(right), U0 = vec(up), eye = vec(viewer.position());

    const int perParticle = type == 0 ? 1 : type == 1 ? 2 : 4;
    const int primitive = type == 0 ? points : type == 1 ? lines : quads;
    pellium::setVertexArray(vertexPositions, 0);
    pellium::setColorArray(reinterpret_cast<const unsigned char*>(vertexColours), 0);
    pellium::setTexCoordArray(texture ? vertexTexCoords : nullptr, 0);

    int n = 0;  // vertices in the arrays
    long drawn = 0;
    auto put = [&](const Vec3& v, std::uint32_t colour, float s, float t) {
        float* p = vertexPositions + 3 * n;
        p[0] = v.x;
        p[1] = v.y;
        p[2] = v.z;
        vertexColours[n] = colour;
        vertexTexCoords[2 * n] = s;
        vertexTexCoords[2 * n + 1] = t;
        ++n;
    };
    for (const Particle& p : particles) {
        if (!p.alive)
            continue;
        int alpha;
        float size;
        fade(p, now, alpha, size);
        if (type == 0)
            alpha = alpha * distanceAlpha / 255;
        const std::uint32_t colour = (p.colour & 0xFFFFFFu) | std::uint32_t(alpha) << 24;
        const Vec3 at = vec(p.position);
        switch (type) {
        case 0:
            put(at, colour, 0, 0);
            break;
        case 1:
            put(at, colour, 0, 0);
            put(at + vec(p.velocity) * size, colour, 0, 0);
            break;
        case 2: {
            const Vec3 R = R0 * size, U = U0 * size;
            const Vec3 corners[4] = {at - U, at + R, at + U, at - R};
            for (int c = 0; c < 4; ++c)
                put(corners[c], colour, spriteCoords[c][0], spriteCoords[c][1]);
            break;
        }
        case 3: {
            const Vec3 R = R0 * size, U = U0 * size;
            const float* f = frameCoords[frameCount > 1 ? p.frame % frameCount : 0];
            put(at + (R - U), colour, f[2], f[1]);
            put(at + (R + U), colour, f[2], f[3]);
            put(at - (R - U), colour, f[0], f[3]);
            put(at - (R + U), colour, f[0], f[1]);
            break;
        }
        default: {
            // A streak along the velocity, as wide as an eighth of its
            // length across the line of sight.
            const Vec3 L = vec(p.velocity) * size, sight = at - eye;
            Vec3 W = {L.y * sight.z - L.z * sight.y, L.z * sight.x - L.x * sight.z, L.x * sight.y - L.y * sight.x};
            const float across = std::sqrt(W.x * W.x + W.y * W.y + W.z * W.z);
            const float length = std::sqrt(L.x * L.x + L.y * L.y + L.z * L.z);
            W = across > 0 ? W * (length / 8 / across) : Vec3{0, 0, 0};
            const float* f = frameCoords[frameCount > 1 ? p.frame % frameCount : 0];
            put(at - W, colour, f[0], f[1]);
            put(at + W, colour, f[2], f[1]);
            put(at + L + W, colour, f[2], f[3]);
            put(at + L - W, colour, f[0], f[3]);
        }
        }
        ++drawn;
        if (n == perParticle * batch) {
            pellium::drawArrays(primitive, 0, n);
            n = 0;
        }
    }
    if (n > 0)
        pellium::drawArrays(primitive, 0, n);

    pellium::setColorArray(nullptr, 0);
    pellium::setTexCoordArray(nullptr, 0);
    pellium::setVertexArray(nullptr, 0);
    (type == 0 ? context.points : type == 1 ? context.lines : context.quads) += drawn;
    if (q.renderType == 1)
        pellium::setBlendMode(sourceAlpha, oneMinusSourceAlpha);
    // Points drawn later (the sky's stars) take GL's size as they find it.
    if (type == 0)
        pellium::pointSize(1);
}

}  // namespace kessa
