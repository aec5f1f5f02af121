#include "scene/render/ParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Debug.h"
#include "scene/BranchProcessor.h"
#include "scene/GeoBunch.h"
#include "scene/GeometryBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/LodBranch.h"
#include "scene/Matrix.h"
#include "scene/Object.h"
#include "scene/Stopwatch.h"
#include "scene/render/ParticleInternals.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Texture.h"
#include "scene/render/ViewFrustum.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

// Finds animation below a branch: an instance of an object with animation
// frames, or a batch with frames of its own.
class AnimFinder : public BranchProcessor {
public:
    bool process(Branch* branch) override {
        if (auto* instance = dynamic_cast<InstanceBranch*>(branch))
            found = found || (instance->instance() && !instance->instance()->frameTable().empty());
        if (auto* geometry = dynamic_cast<GeometryBranch*>(branch))
            for (GeoBunch* bunch : geometry->bunches())
                found = found || !bunch->animationFrames().empty();
        return !found;
    }
    bool found = false;
};

bool refusedColour(const pellium::Color& c) {
    if (std::isfinite(c.red) && std::isfinite(c.green) && std::isfinite(c.blue) && std::isfinite(c.alpha))
        return false;
    orvel::debug("ParticleSystem: a colour that is not a number refused\n");
    return true;
}

pellium::Color held(const pellium::Color& c) {
    return {std::clamp(c.red, 0.0f, 1.0f), std::clamp(c.green, 0.0f, 1.0f), std::clamp(c.blue, 0.0f, 1.0f),
            std::clamp(c.alpha, 0.0f, 1.0f)};
}

}  // namespace

ParticleSystem::ParticleSystem() = default;

ParticleSystem::ParticleSystem(const ParticleSystem& other)
    : parameters_(other.parameters_),
      object_(other.object_),
      texture_(other.texture_),
      colorType_(other.colorType_),
      saturation_(other.saturation_) {
    std::copy(other.frames_, other.frames_ + 3, frames_);
    std::copy(other.colours_, other.colours_ + 2, colours_);
}

ParticleSystem::~ParticleSystem() = default;

ParticleInternals& ParticleSystem::makeInternals() {
    if (!internals_)
        internals_.reset(new ParticleInternals(*this));
    return *internals_;
}

void ParticleSystem::setParameters(const ParticleParameters& p) {
    for (const char* const* key = ParticleParameters::keys(); *key; ++key) {
        double value = 0;
        p.get(*key, value);
        setParameter(*key, value);
    }
}

bool ParticleSystem::setParameter(const char* key, double value) {
    if (key && std::strcmp(key, "colorType") == 0) {
        if (value != 0 && value != 1) {
            orvel::debug("Particle parameter colorType: %g refused\n", value);
            return false;
        }
        setColorType(int(value));
        return true;
    }
    if (key && std::strcmp(key, "saturation") == 0) {
        if (!std::isfinite(value)) {
            orvel::debug("Particle parameter saturation: %g refused\n", value);
            return false;
        }
        setSaturation(float(value));
        return true;
    }
    return parameters_.set(key, value);
}

void ParticleSystem::setColorType(int type) {
    colorType_ = type == 1 ? 1 : 0;
    if (internals_)
        internals_->coloursValid = false;
}

void ParticleSystem::setColor1(const pellium::Color& rgba) {
    if (refusedColour(rgba))
        return;
    colours_[0] = held(rgba);
    if (internals_)
        internals_->coloursValid = false;
}

void ParticleSystem::setColor2(const pellium::Color& rgba) {
    if (refusedColour(rgba))
        return;
    colours_[1] = held(rgba);
    if (internals_)
        internals_->coloursValid = false;
}

void ParticleSystem::setSaturation(float saturation) {
    if (!(saturation >= 0 && saturation <= 1)) {
        orvel::debug("ParticleSystem: saturation %g held to 0..1\n", double(saturation));
        saturation = std::isfinite(saturation) ? std::clamp(saturation, 0.0f, 1.0f) : saturation_;
    }
    saturation_ = saturation;
    if (internals_)
        internals_->coloursValid = false;
}

void ParticleSystem::setTexture(const orvel::counted_ptr<Texture>& texture) {
    texture_ = texture;
    if (internals_)
        internals_->framesValid = false;
}

void ParticleSystem::setTextureFrames(int count, int columns, int rows) {
    if (count < 1 || columns < 1 || rows < 1) {
        orvel::debug("ParticleSystem: texture frames %d of %d x %d held to 1\n", count, columns, rows);
        count = columns = rows = 1;
    }
    // A particle keeps its frame in a byte, and the frames' coordinates
    // live in a table of maxFrames: a count beyond either, or beyond the
    // cells, names frames that do not exist.
    const long long cells = std::min<long long>(static_cast<long long>(columns) * rows, maxFrames);
    if (count > cells) {
        orvel::debug("ParticleSystem: %d texture frames held to %lld\n", count, cells);
        count = int(cells);
    }
    frames_[0] = count;
    frames_[1] = columns;
    frames_[2] = rows;
    if (internals_) {
        internals_->frameCounter = internals_->frameStep = 0;
        internals_->frameAccumulator = 0;
        internals_->framesValid = false;
    }
}

void ParticleSystem::setObject(Object* object) {
    object_ = object;
    if (internals_)
        internals_->findAnimation();
}

void ParticleInternals::findAnimation() {
    AnimFinder finder;
    if (system.object())
        system.object()->apply(finder);
    objectAnimated = finder.found;
}

void ParticleSystem::update(const Vector& cameraPosition, const Vector& emitterPosition, bool allowBirth) {
    if (!internals_ && !parameters_.enabled)
        return;
    makeInternals().update(cameraPosition, emitterPosition, allowBirth);
}

void ParticleSystem::prepare() {
    if (!parameters_.enabled || !parameters_.trigger)
        return;
    ParticleInternals& d = makeInternals();
    d.triggerTime = Stopwatch::elapsed();
    d.triggered = false;
    d.active = false;
}

void ParticleSystem::reset(const Vector& position) {
    if (!parameters_.enabled)
        return;
    ParticleInternals& d = makeInternals();
    d.emitter = d.previousEmitter = position;
    // A fresh start now: the next update must not throw the burst away.
    d.restart = false;
    d.lastUpdate = Stopwatch::elapsed();
    d.updated = true;
    d.burst(std::max(double(parameters_.birthrate), 0.0));
}

void ParticleSystem::forceUpdate() {
    if (internals_)
        internals_->restart = true;
}

void ParticleSystem::invalidate() { internals_.reset(); }

void ParticleSystem::accumulate(RenderAccumulator& accumulator, Viewer& viewer) {
    ParticleInternals* d = internals_.get();
    if (!d || d->particles.empty())
        return;
    ViewFrustum frustum = viewer.frustum();
    if (frustum.test(d->bounds, ViewFrustum::allPlanes))
        return;
    if (d->particleType != 5) {
        accumulator.add(d, nullptr, true);
        return;
    }
    if (!object_)
        return;

    Traverser& walk = d->objectRenderer;
    walk.setAccumulator(&accumulator);
    walk.traverseWith(viewer.viewMatrix(), viewer.cameraMatrix());
    // One level of detail each, not a cross-fade of two, for every particle.
    const bool fading = LodBranch::fading();
    LodBranch::setFading(false);
    const double now = Stopwatch::elapsed(), dt = Stopwatch::frameDelta();
    const bool whirl = parameters_.whirl != 0;
    Matrix m, inverse;
    for (Particle& p : d->particles) {
        if (!p.alive)
            continue;
        int alpha;
        float size;
        d->fade(p, now, alpha, size);
        if (size <= 0.03f)
            continue;
        accumulator.pushTransparency(float(alpha) / 255.0f);
        if (d->objectAnimated) {
            p.phase = std::fmod(p.phase + p.rate * float(dt), 1.0f);
            object_->setAnimation(RenderAccumulator::animationValue(p.phase));
        }
        m.setIdentity();
        if (size < 0.99f || size > 1.01f)
            m.scale(Vector(size, size, size));
        m.rotate(p.tumbleAngle, Vector(1, 0, 0));
        m.rotate(p.spinAngle, Vector(0, 0, 1));
        m.translate(Vector(p.position[0], p.position[1], p.position[2]));
        if (whirl) {
            m.translate(-d->emitter);
            m.rotate(d->whirlAngle, Vector(0, 0, 1));
            m.translate(d->emitter);
        }
        m.invert(inverse);
        walk.pushTransform(m, inverse);
        object_->traverse(walk);
        walk.popTransform();
        accumulator.popTransparency();
    }
    LodBranch::setFading(fading);
}

}  // namespace kessa
