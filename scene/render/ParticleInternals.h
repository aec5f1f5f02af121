// What a particle effect keeps between frames: its particles, the emitter's
// path, the trigger and pulse state, its colour table and the fixed arrays
// it streams vertices through. It is the renderable the accumulator draws
// for every particle type but objects.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/Bounds.h"
#include "scene/render/Material.h"
#include "scene/render/Renderable.h"
#include "scene/render/Traverser.h"

namespace kessa {

class ParticleSystem;

struct Particle {
    std::uint8_t alive;
    std::uint8_t frame;  // texture frame
    std::uint32_t colour;  // packed, bytes red, green, blue and (unused) alpha
    double birthTime;
    float life;
    float position[3];
    float velocity[3];
    float size;
    float spinAngle, tumbleAngle;  // degrees
    float spinSpeed, tumbleSpeed;  // degrees per second
    float phase, rate;  // of the object's animation
};

class ParticleInternals : public Renderable {
public:
    static constexpr int batch = 64;  // particles a draw call
    static constexpr int colourCount = 32;

    explicit ParticleInternals(ParticleSystem& system);

    void update(const Vector& cameraPosition, const Vector& emitterPosition, bool allowBirth);
    void render(pellium::GLRenderInfo& context, Viewer& viewer) override;
    // The alpha (0 .. 255) and size factor of a particle at that time.
    void fade(const Particle& p, double now, int& alpha, float& size) const;
    // Looks for animation in the system's object.
    void findAnimation();
    // Gives birth to that many particles now, in dead records first.
    void burst(double wanted);

    ParticleSystem& system;
    std::vector<Particle> particles;
    bool restart = true;
    Vector emitter, previousEmitter;
    double lastBirth = 0, lastUpdate = 0;
    bool updated = false;  // lastUpdate holds a time
    float wind[2] = {0, 0};
    double triggerTime = 0;
    // Idle until prepare: nothing pending.
    bool triggered = true, active = false;
    float whirlAngle = 0;
    bool pulseOn = true;
    double lastSwitch = 0, nextSwitch = 0;
    int frameCounter = 0, frameStep = 0;
    double frameAccumulator = 0;
    std::uint32_t colours[colourCount] = {};
    bool coloursValid = false;
    bool framesValid = false;
    Bounds bounds;
    Material material;
    // Copied from the system at each update, for the drawing of that frame.
    int particleType = 2, birthType = 1, deathType = 2;
    float birthTime = 0.5f, deathTime = 1.0f;
    bool capLogged = false;

    std::uint32_t vertexColours[4 * batch];
    float vertexPositions[3 * 4 * batch];
    float vertexTexCoords[2 * 4 * batch];
    // Per frame: s and t of the lower left and upper right corners.
    float frameCoords[256][4];
    // Walks the object of object particles into the accumulator.
    Traverser objectRenderer;
    bool objectAnimated = false;

private:
    void birth(Particle& p, double tau);
    void refreshColours();
    // The particle type and the fading rules of the system, for this frame.
    void takeRules();
    void noteDroppedBirths();
};

}  // namespace kessa
