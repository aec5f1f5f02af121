// Deterministic random numbers: the universal generator of Marsaglia and
// Zaman (RANMAR), a lagged subtract-with-carry generator over 97 floats, in
// single precision. Given the same seed it gives the same numbers on every
// machine, which keeps star fields and particle effects repeatable.
#pragma once

namespace kessa {

class Random {
public:
    explicit Random(int seed = 12345678) { this->seed(seed); }

    // Builds the lag table from the seed; a seed and its negation give the
    // same sequence. The output buffer is emptied.
    void seed(int s);
    // Makes the next 32 numbers.
    void refill();
    // The next number, in [0, 1).
    float next() {
        if (read_ == end_)
            refill();
        return buffer_[read_++];
    }

    // The process-wide generator (seeded with 12345678) that stars, particles,
    // the game and the model library draw from.
    static Random& shared();

private:
    int i_ = 96, j_ = 32;
    float u_[97];
    float c_ = 0;
    float buffer_[32];
    int read_ = 0, end_ = 0;
};

}  // namespace kessa
