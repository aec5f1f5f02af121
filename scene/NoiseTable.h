// Periodic 3D value noise: a 65 x 65 x 65 table of random floats whose last
// layer on every axis repeats the first, sampled with trilinear
// interpolation. One unit of input spans the 64 cells, so the noise repeats
// every unit on every axis.
#pragma once

#include <vector>

namespace kessa {

class NoiseTable {
public:
    static constexpr int size = 65;

    // Fills the table from a fresh generator seeded with 12345678.
    void build();
    // The noise at (x, y, z); 0 until the table is built.
    double sample(float x, float y, float z) const;
    // The table entry at cell (x, y, z), each 0 to 64.
    float at(int x, int y, int z) const { return values_[z + size * (y + size * x)]; }

    // The process-wide table, built on first use.
    static const NoiseTable& shared();

private:
    std::vector<float> values_;
};

}  // namespace kessa
