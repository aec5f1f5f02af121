#include "scene/NoiseTable.h"

#include <cmath>

#include "scene/Random.h"

namespace kessa {

namespace {

constexpr int period = NoiseTable::size - 1;

// Splits one coordinate into its cell (0..63) and the fraction within it.
// The cell comes from the floor, so negative coordinates wrap like positive
// ones instead of reaching back across cell 0.
void locate(float v, int& cell, double& fraction) {
    double scaled = double(v) * period;
    if (!std::isfinite(scaled)) {
        cell = 0;
        fraction = 0;
        return;
    }
    double whole = std::floor(scaled);
    fraction = scaled - whole;
    cell = int(whole - period * std::floor(whole / period));
    if (cell >= period)  // whole / period can round up for huge values
        cell = 0;
}

}  // namespace

void NoiseTable::build() {
    Random random(12345678);
    values_.assign(size * size * size, 0.0f);
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y)
            for (int z = 0; z < size; ++z) {
                float drawn = random.next();
                // The entries on the far faces repeat the near ones, which are
                // already filled since z runs fastest.
                bool inside = x < period && y < period && z < period;
                values_[z + size * (y + size * x)] = inside ? drawn : at(x % period, y % period, z % period);
            }
}

double NoiseTable::sample(float x, float y, float z) const {
    if (values_.empty())
        return 0;
    int cx, cy, cz;
    double fx, fy, fz;
    locate(x, cx, fx);
    locate(y, cy, fy);
    locate(z, cz, fz);
    auto alongZ = [&](int ix, int iy) {
        double a = at(ix, iy, cz), b = at(ix, iy, cz + 1);
        return a + (b - a) * fz;
    };
    auto alongY = [&](int ix) {
        double a = alongZ(ix, cy), b = alongZ(ix, cy + 1);
        return a + (b - a) * fy;
    };
    double a = alongY(cx), b = alongY(cx + 1);
    return a + (b - a) * fx;
}

const NoiseTable& NoiseTable::shared() {
    static const NoiseTable table = [] {
        NoiseTable t;
        t.build();
        return t;
    }();
    return table;
}

}  // namespace kessa
