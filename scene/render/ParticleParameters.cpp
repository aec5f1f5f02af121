#include "scene/render/ParticleParameters.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "base/Debug.h"

namespace kessa {

namespace {

// Flags take any number (non-zero is on); choices refuse what is not one of
// their values; the rest are held to their range.
enum Kind { flag, choice, integer, real, real64 };

struct Entry {
    const char* key;
    std::size_t offset;
    Kind kind;
    double low, high;
};

// Far beyond anything a world uses, and small enough that sums and products
// of two of them stay finite in single precision.
constexpr double big = 1e6, bigTime = 1e9;

#define FIELD(name) #name, offsetof(ParticleParameters, name)
const Entry table[] = {
    {FIELD(enabled), flag, 0, 1},
    {FIELD(innerRadius), real, -big, big},
    {FIELD(outerRadius), real, -big, big},
    {FIELD(height), real, -big, big},
    {FIELD(verticalOffset), real, -big, big},
    {FIELD(birthrate), real, -big, big},
    {FIELD(particleType), choice, 0, 5},
    {FIELD(renderType), integer, -big, big},
    {FIELD(birthType), integer, -big, big},
    {FIELD(deathType), integer, -big, big},
    {FIELD(birthTime), real, 0, big},
    {FIELD(deathTime), real, 0, big},
    {FIELD(windStrength), real, -big, big},
    {FIELD(windDirection), real, -big, big},
    {FIELD(gravity), real, -big, big},
    {FIELD(ground), real, -big, big},
    {FIELD(whirl), flag, 0, 1},
    {FIELD(whirlSpeed), real, -big, big},
    {FIELD(trigger), flag, 0, 1},
    {FIELD(delay), real64, -bigTime, bigTime},
    {FIELD(duration), real64, -bigTime, bigTime},
    {FIELD(pulse), flag, 0, 1},
    {FIELD(onMin), real, 0, big},
    {FIELD(onMax), real, 0, big},
    {FIELD(offMin), real, 0, big},
    {FIELD(offMax), real, 0, big},
    {FIELD(lodDistance), real, -big, big},
    {FIELD(lodBirthrate), real, 0, big},
    {FIELD(cycleTime), real, -big, big},
    {FIELD(minSize), real, -big, big},
    {FIELD(maxSize), real, -big, big},
    {FIELD(minLife), real, -big, big},
    {FIELD(maxLife), real, -big, big},
    {FIELD(minAngle), real, -big, big},
    {FIELD(maxAngle), real, -big, big},
    {FIELD(minHeading), real, -big, big},
    {FIELD(maxHeading), real, -big, big},
    {FIELD(minVelocity), real, -big, big},
    {FIELD(maxVelocity), real, -big, big},
    {FIELD(minSpin), real, -big, big},
    {FIELD(maxSpin), real, -big, big},
    {FIELD(minTumble), real, -big, big},
    {FIELD(maxTumble), real, -big, big},
    {FIELD(followEmitter), flag, 0, 1},
    {FIELD(percentSpeed), integer, -big, big},
};
#undef FIELD

const Entry* find(const char* key) {
    for (const Entry& e : table)
        if (key && std::strcmp(e.key, key) == 0)
            return &e;
    return nullptr;
}

}  // namespace

bool ParticleParameters::set(const char* key, double value) {
    const Entry* e = find(key);
    if (!e) {
        orvel::debug("Unknown particle parameter %.2000s\n", key ? key : "(null)");
        return false;
    }
    char* field = reinterpret_cast<char*>(this) + e->offset;
    const bool outside = value < e->low || value > e->high;
    if (!std::isfinite(value) || (e->kind == choice && (outside || value != std::trunc(value)))) {
        orvel::debug("Particle parameter %s: %g refused\n", e->key, value);
        return false;
    }
    if (e->kind == flag) {
        value = value != 0;
    } else if (outside) {
        double held = value < e->low ? e->low : e->high;
        orvel::debug("Particle parameter %s: %g held to %g\n", e->key, value, held);
        value = held;
    }
    switch (e->kind) {
    case flag:
    case choice:
    case integer: {
        std::int32_t v = std::int32_t(value);
        std::memcpy(field, &v, sizeof v);
        break;
    }
    case real: {
        float v = float(value);
        std::memcpy(field, &v, sizeof v);
        break;
    }
    case real64:
        std::memcpy(field, &value, sizeof value);
        break;
    }
    return true;
}

bool ParticleParameters::get(const char* key, double& value) const {
    const Entry* e = find(key);
    if (!e)
        return false;
    const char* field = reinterpret_cast<const char*>(this) + e->offset;
    if (e->kind == real) {
        float v;
        std::memcpy(&v, field, sizeof v);
        value = v;
    } else if (e->kind == real64) {
        std::memcpy(&value, field, sizeof value);
    } else {
        std::int32_t v;
        std::memcpy(&v, field, sizeof v);
        value = v;
    }
    return true;
}

const char* const* ParticleParameters::keys() {
    static const char* const* all = [] {
        static const char* names[sizeof table / sizeof table[0] + 1];
        for (std::size_t i = 0; i < sizeof table / sizeof table[0]; ++i)
            names[i] = table[i].key;
        return names;
    }();
    return all;
}

}  // namespace kessa
