// The parameters of a particle effect. The world file sets each by the key
// it is named by here; a value that is not a number is refused and one out
// of its range is held to it, each with a log line, so that no file can make
// an effect crash or run without end.
#pragma once

#include <cstdint>

namespace kessa {

struct ParticleParameters {
    std::int32_t enabled = 0;
    float innerRadius = 0, outerRadius = 0;
    float height = 0, verticalOffset = 0;
    // Particles per second.
    float birthrate = 150;
    // 0 points, 1 lines, 2 sprites, 3 textured squares, 4 streaks, 5 objects.
    std::int32_t particleType = 2;
    // 1 blends additively.
    std::int32_t renderType = 0;
    // How particles fade in and out: 1 by alpha, 2 by size; over the first
    // birthTime and the last deathTime seconds of their lives.
    std::int32_t birthType = 1, deathType = 2;
    float birthTime = 0.5f, deathTime = 1.0f;
    // Direction in degrees about the vertical axis, 0 along +y.
    float windStrength = 0, windDirection = 0;
    float gravity = 0;
    // Height above the emitter where particles bounce.
    float ground = 0;
    // Turns the whole effect about the emitter's vertical axis.
    std::int32_t whirl = 0;
    float whirlSpeed = 90;
    // With trigger set the effect waits for prepare, then emits after delay
    // for duration seconds, or once in a burst when duration is 0.
    std::int32_t trigger = 0;
    double delay = 0, duration = 0;
    // With pulse set the effect switches on and off for random times.
    std::int32_t pulse = 0;
    float onMin = 0.5f, onMax = 2.0f, offMin = 0, offMax = 2.0f;
    // Beyond lodDistance from the camera the rate falls towards lodBirthrate.
    float lodDistance = 500, lodBirthrate = 5.0f;
    // Rate of texture frames and of object animation.
    float cycleTime = 1.0f;
    float minSize = 1.0f, maxSize = 5.0f;
    float minLife = 2.0f, maxLife = 4.0f;
    // Elevation and heading of the starting velocity, in degrees.
    float minAngle = 70, maxAngle = 90;
    float minHeading = 0, maxHeading = 360;
    float minVelocity = 0.2f, maxVelocity = 5.0f;
    // Degrees per second, of object particles.
    float minSpin = 0, maxSpin = 360;
    float minTumble = 0, maxTumble = 360;
    // Particles move along with the emitter by percentSpeed percent of its step.
    std::int32_t followEmitter = 0;
    std::int32_t percentSpeed = 100;

    // Sets the parameter named by key. False, with a log line, for an unknown
    // key or a value refused; a value held to its range is logged and set.
    bool set(const char* key, double value);
    // False for an unknown key.
    bool get(const char* key, double& value) const;
    // The keys in field order, ended by null.
    static const char* const* keys();
};

}  // namespace kessa
