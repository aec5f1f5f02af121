#include "scene/Random.h"

#include <cstdlib>

namespace kessa {

namespace {

constexpr float initialCarry = 362436.0f / 16777216.0f;
constexpr float carryStep = 7654321.0f / 16777216.0f;
constexpr float carryModulus = 16777213.0f / 16777216.0f;

}  // namespace

void Random::seed(int s) {
    // In 64 bits, so that the most negative int has a magnitude too.
    long long magnitude = std::llabs(static_cast<long long>(s));
    long long ij = magnitude / 30082;
    long long kl = magnitude - 30082 * ij;
    if (ij > 31328)
        ij %= 31329;
    long long i = (ij / 177) % 177 + 2;
    long long j = ij % 177 + 2;
    long long k = (kl / 169) % 178 + 1;
    long long l = kl % 169;
    for (float& entry : u_) {
        float sum = 0, t = 0.5f;
        for (int bit = 0; bit < 24; ++bit) {
            long long m = ((i * j) % 179 * k) % 179;
            i = j;
            j = k;
            k = m;
            l = (53 * l + 1) % 169;
            if ((l * m) % 64 >= 32)
                sum += t;
            t *= 0.5f;
        }
        entry = sum;
    }
    i_ = 96;
    j_ = 32;
    c_ = initialCarry;
    read_ = end_ = 0;
}

void Random::refill() {
    read_ = end_ = 0;
    for (int n = 0; n < 32; ++n) {
        float x = u_[i_] - u_[j_];
        if (x < 0)
            x += 1;
        u_[i_] = x;
        if (--i_ < 0)
            i_ = 96;
        if (--j_ < 0)
            j_ = 96;
        c_ -= carryStep;
        if (c_ < 0)
            c_ += carryModulus;
        x -= c_;
        if (x < 0)
            x += 1;
        buffer_[end_++] = x;
    }
}

Random& Random::shared() {
    static Random generator(12345678);
    return generator;
}

}  // namespace kessa
