// A particle effect's frame: trigger, restart, births spread along the
// emitter's path, and one flat pass over the records that moves the living,
// gives dead records to new particles and finds the bounds.
#include <algorithm>
#include <cmath>

#include "base/Debug.h"
#include "scene/Random.h"
#include "scene/Stopwatch.h"
#include "scene/render/ParticleInternals.h"
#include "scene/render/ParticleSystem.h"

namespace kessa {

namespace {

constexpr double radiansPerDegree = 3.14159265358979323846 / 180;
// An effect left alone longer than this starts afresh.
constexpr double restartGap = 2.0;
// A pulse switch missed by longer than this starts the pulse anew.
constexpr double pulseCatchUp = 4.0;

float wrapDegrees(float a) { return std::fmod(a, 360.0f); }

}  // namespace

ParticleInternals::ParticleInternals(ParticleSystem& owner) : system(owner), material(pellium::Color{1, 1, 1, 1}) {
    material.setLighting(false);
    findAnimation();
}

void ParticleInternals::refreshColours() {
    const pellium::Color& a = system.color1();
    const pellium::Color& b = system.color2();
    for (int i = 0; i < colourCount; ++i) {
        const float t = float(i) / colourCount;
        pellium::Color c;
        if (system.colorType() == 0) {
            c.red = a.red + (b.red - a.red) * t;
            c.green = a.green + (b.green - a.green) * t;
            c.blue = a.blue + (b.blue - a.blue) * t;
            c.alpha = 0;
        } else {
            c = pellium::Color::fromHSV(float(i) * 360.0f / colourCount, system.saturation(), 1);
        }
        colours[i] = c.toPacked();
    }
    coloursValid = true;
}

void ParticleInternals::fade(const Particle& p, double now, int& alpha, float& size) const {
    const double age = now - p.birthTime;
    double factor = 1;
    int type = 0;
    if (age < birthTime) {
        factor = age / birthTime;
        type = birthType;
    } else if (age > p.life - deathTime) {
        factor = (p.life - age) / deathTime;
        type = deathType;
    }
    factor = std::clamp(factor, 0.0, 1.0);
    alpha = type == 1 ? int(factor * 255) : 255;
    size = type == 2 ? float(p.size * factor) : p.size;
}

void ParticleInternals::birth(Particle& p, double tau) {
    const ParticleParameters& q = system.parameters();
    Random& random = Random::shared();
    p.alive = 1;
    // Born at the last birth, not at a fraction of the clock: newborn
    // particles are as young after a month as after a minute.
    p.birthTime = lastBirth;
    p.life = std::max(q.minLife + random.next() * (q.maxLife - q.minLife), q.birthTime + q.deathTime);

    const double elevation = (q.minAngle + random.next() * (q.maxAngle - q.minAngle)) * radiansPerDegree;
    const double heading = (q.minHeading + random.next() * (q.maxHeading - q.minHeading)) * radiansPerDegree;
    const double speed = q.minVelocity + random.next() * (q.maxVelocity - q.minVelocity);
    const double sh = std::sin(heading), ch = std::cos(heading), ce = std::cos(elevation);
    p.velocity[0] = float(speed * sh * ce);
    p.velocity[1] = float(speed * ch * ce);
    p.velocity[2] = float(speed * std::sin(elevation));

    // Spread along the emitter's path of this frame, and along the
    // particle's own path by its share of the frame.
    const double radius = q.innerRadius + random.next() * (q.outerRadius - q.innerRadius);
    const double u = random.next();
    const Vector& P = emitter;
    const Vector& Q = previousEmitter;
    p.position[0] = float((Q.x - P.x) * u + radius * sh + tau * p.velocity[0] + P.x);
    p.position[1] = float((Q.y - P.y) * u + radius * ch + tau * p.velocity[1] + P.y);
    p.position[2] = float(random.next() * q.height + (Q.z - P.z) * u + tau * p.velocity[2] + q.verticalOffset + P.z);

    p.colour = colours[std::min(int(random.next() * colourCount), colourCount - 1)];
    p.frame = 0;
    const float size = q.minSize + random.next() * (q.maxSize - q.minSize);
    switch (q.particleType) {
    case 0:
        break;
    case 1:
        p.size = size * 0.02f;
        break;
    case 2:
    case 3:
        p.size = size * 0.1f;
        p.frame = std::uint8_t(frameCounter);
        frameCounter = (frameCounter + 1) % system.frameCount();
        break;
    case 4:
        p.size = size * 0.1f;
        break;
    default:
        p.size = size;
        p.spinAngle = float(heading / radiansPerDegree);
        p.spinSpeed = std::clamp(q.minSpin + random.next() * (q.maxSpin - q.minSpin), -1000.0f, 1000.0f);
        p.tumbleAngle = 0;
        p.tumbleSpeed = std::clamp(q.minTumble + random.next() * (q.maxTumble - q.minTumble), -1000.0f, 1000.0f);
        p.phase = 0;
        p.rate = (0.9f + 0.2f * random.next()) * q.cycleTime;
    }
}

void ParticleInternals::noteDroppedBirths() {
    if (capLogged)
        return;
    orvel::debug("ParticleSystem: births held to %d particles\n", ParticleSystem::maxParticles);
    capLogged = true;
}

void ParticleInternals::takeRules() {
    const ParticleParameters& q = system.parameters();
    particleType = q.particleType;
    birthType = q.birthType;
    deathType = q.deathType;
    birthTime = q.birthTime;
    deathTime = q.deathTime;
}

void ParticleInternals::burst(double wanted) {
    takeRules();
    if (!coloursValid)
        refreshColours();
    lastBirth = Stopwatch::elapsed();
    long count = long(std::min(wanted, double(ParticleSystem::maxParticles)));
    for (Particle& p : particles)
        if (!p.alive && count > 0) {
            birth(p, 0);
            --count;
        }
    const long room = ParticleSystem::maxParticles - long(particles.size());
    if (wanted > ParticleSystem::maxParticles || count > room)
        noteDroppedBirths();
    for (count = std::min(count, room); count > 0; --count) {
        particles.emplace_back();
        birth(particles.back(), 0);
    }
    // The newborn are seen before the next update finds their bounds.
    for (const Particle& p : particles)
        if (p.alive) {
            Bounds one;
            one.set(Vector(p.position[0], p.position[1], p.position[2]),
                    Vector(p.position[0], p.position[1], p.position[2]));
            bounds.extend(one);
        }
}

void ParticleInternals::update(const Vector& cameraPosition, const Vector& emitterPosition, bool allowBirth) {
    const ParticleParameters& q = system.parameters();
    const double now = Stopwatch::elapsed();
    // A clock that went back would hold every time kept here in the future
    // and the effect still until it came back: it starts afresh, as after a
    // jump ahead, its pending trigger and pulse switch as far off as they were.
    const bool back = updated && now < lastUpdate;
    if (back) {
        const double jump = lastUpdate - now;
        triggerTime -= jump;
        lastSwitch -= jump;
        nextSwitch -= jump;
        restart = true;
    }
    const double dt = back ? 0 : Stopwatch::frameDelta();

    // 1. The emitter, the fading rules of this frame, the texture frames.
    emitter = emitterPosition;
    takeRules();
    const int frameCount = system.frameCount();
    frameStep = 0;
    if (frameCount > 1) {
        frameAccumulator += double(q.cycleTime) * frameCount * dt;
        // What has been counted is taken away even when it is no step to
        // take, so that one long frame cannot stop the animation for good.
        const double whole = std::floor(frameAccumulator);
        frameAccumulator -= whole;
        if (whole >= 0 && whole <= frameCount)
            frameStep = int(whole);
    }

    // 2. Nothing moves without a rate.
    if (q.enabled && q.birthrate > 0) {
        // 3. The trigger cycle.
        bool burstNow = false;
        if (q.trigger) {
            if (active)
                active = now < triggerTime + q.delay + q.duration;
            if (!triggered) {
                lastBirth = now;
                if (now - triggerTime > q.delay) {
                    triggered = true;
                    if (q.duration == 0)
                        burstNow = true;
                    else
                        active = true;
                }
            }
        }

        // 4. A burst, or a fresh start after a gap.
        // Births beyond the limit are dropped; the first time is logged.
        bool cut = false;
        auto limited = [&cut](double wanted) {
            cut = cut || wanted > ParticleSystem::maxParticles;
            return long(std::min(wanted, double(ParticleSystem::maxParticles)));
        };
        long births = -1;
        if (burstNow) {
            births = limited(q.birthrate);
            lastBirth = lastUpdate;
            restart = false;
        } else if (restart || !updated || now - lastUpdate > restartGap) {
            particles.clear();
            lastUpdate = lastBirth = now;
            previousEmitter = emitter;
            active = false;
            restart = false;
        }

        // 5 - 7. Colours, wind and whirl.
        if (!coloursValid)
            refreshColours();
        const double wd = q.windDirection * radiansPerDegree;
        wind[0] = float(std::sin(wd) * q.windStrength);
        wind[1] = float(std::cos(wd) * q.windStrength);
        whirlAngle = wrapDegrees(whirlAngle + float(q.whirlSpeed * dt));

        // 8, 9. Whether the effect emits: not while waiting for the trigger
        // nor while the pulse is off.
        bool emitting = !(q.trigger && !active);
        if (q.pulse) {
            if (now > nextSwitch) {
                double base = nextSwitch;
                if (now - nextSwitch > pulseCatchUp) {
                    pulseOn = false;
                    base = now;
                }
                const float r = Random::shared().next();
                pulseOn = !pulseOn;
                nextSwitch = pulseOn ? base + q.onMin + r * (q.onMax - q.onMin)
                                     : base + q.offMin + r * (q.offMax - q.offMin);
                lastSwitch = base;
            }
            if (!pulseOn) {
                emitting = false;
                lastBirth = now;
            }
        }

        // 10, 11. The rate (farther emitters slow down towards the distant
        // rate; an effect that does not emit stays silent at any distance)
        // and the births of this frame.
        double rate = emitting ? q.birthrate : 0;
        if (rate > 0 && q.lodDistance > 0.5f) {
            const double d = (cameraPosition - emitter).length();
            rate = std::max(rate * (q.lodDistance - d) / q.lodDistance, double(q.lodBirthrate));
        }
        if (births < 0) {
            const double due = allowBirth ? (now - lastBirth) * rate : 0;
            births = due >= 1 ? limited(due) : 0;
            if (births > 0)
                lastBirth = now;
        }
        const double tauStep = births > 0 ? dt / double(births) : 0;
        double tau = 0;

        // 12. One pass over the records.
        const float k = float(q.percentSpeed) * 0.01f;
        const float step[3] = {float(emitter.x - previousEmitter.x) * k, float(emitter.y - previousEmitter.y) * k,
                               float(emitter.z - previousEmitter.z) * k};
        const bool follow = q.followEmitter != 0, objects = q.particleType == 5;
        const bool animated = frameStep > 0 && (q.particleType == 3 || q.particleType == 4);
        const float g = float(q.ground + emitter.z), fdt = float(dt), gravityStep = q.gravity * fdt;
        const float windStep[2] = {wind[0] * fdt, wind[1] * fdt};
        float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
        bool any = false;
        for (Particle& p : particles) {
            if (p.alive) {
                if (now - p.birthTime > p.life)
                    p.alive = 0;
                p.position[0] += p.velocity[0] * fdt + windStep[0];
                p.position[1] += p.velocity[1] * fdt + windStep[1];
                p.position[2] += p.velocity[2] * fdt;
                if (follow) {
                    p.position[0] += step[0];
                    p.position[1] += step[1];
                    p.position[2] += step[2];
                }
                p.velocity[2] -= gravityStep;
                if (p.position[2] < g && p.velocity[2] < 0) {
                    p.position[2] = 2 * g - p.position[2];
                    p.velocity[2] *= -0.5f;
                }
                if (objects) {
                    p.spinAngle = wrapDegrees(p.spinAngle + p.spinSpeed * fdt);
                    p.tumbleAngle = wrapDegrees(p.tumbleAngle + p.tumbleSpeed * fdt);
                }
                if (animated)
                    p.frame = std::uint8_t((p.frame + frameStep) % frameCount);
            } else if (births > 0) {
                birth(p, tau);
                --births;
                tau += tauStep;
            }
            if (p.alive) {
                any = true;
                for (int i = 0; i < 3; ++i) {
                    low[i] = std::min(low[i], p.position[i]);
                    high[i] = std::max(high[i], p.position[i]);
                }
            }
        }

        // 13. The remaining births at the end; dead records at the end go.
        if (births > 0 && particles.empty())
            particles.reserve(128);
        const long room = ParticleSystem::maxParticles - long(particles.size());
        if (cut || births > room)
            noteDroppedBirths();
        for (births = std::min(births, room); births > 0; --births, tau += tauStep) {
            particles.emplace_back();
            Particle& p = particles.back();
            birth(p, tau);
            any = true;
            for (int i = 0; i < 3; ++i) {
                low[i] = std::min(low[i], p.position[i]);
                high[i] = std::max(high[i], p.position[i]);
            }
        }
        while (!particles.empty() && !particles.back().alive)
            particles.pop_back();

        if (!particles.empty()) {
            if (any)
                bounds.set(Vector(low[0], low[1], low[2]), Vector(high[0], high[1], high[2]));
            else
                bounds.clear();
        }
    }

    // 14.
    if (!q.enabled)
        restart = true;
    previousEmitter = emitter;
    lastUpdate = now;
    updated = true;
}

}  // namespace kessa
