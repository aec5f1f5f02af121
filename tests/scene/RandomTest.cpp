#include <gtest/gtest.h>

#include <climits>

#include "scene/Random.h"

using kessa::Random;

namespace {

constexpr double twoTo24 = 16777216.0;

// The generator's published test: seeded from ij = 1802 and kl = 9373, the
// 20001st to 20006th numbers times 2^24 are these integers.
TEST(RandomTest, PublishedTestVector) {
    Random random(1802 * 30082 + 9373);
    for (int n = 0; n < 20000; ++n)
        random.next();
    const double expected[6] = {6533892, 14220222, 7275067, 6172232, 8354498, 10633180};
    for (double e : expected)
        EXPECT_EQ(random.next() * twoTo24, e);
}

// Seeding again with the default seed starts the sequence over.
TEST(RandomTest, FirstNumbersOfTheDefaultSeed) {
    Random random;
    const double expected[5] = {13009319, 6074011, 5059701, 12939831, 9298980};
    for (double e : expected)
        EXPECT_EQ(random.next() * twoTo24, e);
    random.seed(12345678);
    EXPECT_EQ(random.next() * twoTo24, expected[0]);
}

TEST(RandomTest, NegativeSeedGivesTheSameSequence) {
    Random a(12345678), b(-12345678);
    for (int n = 0; n < 100; ++n)
        ASSERT_EQ(a.next(), b.next());
}

TEST(RandomTest, NumbersComeInBatchesOf32) {
    // The 33rd number is the first of the second batch.
    Random a, b;
    for (int n = 0; n < 32; ++n)
        a.next();
    b.refill();
    b.refill();
    EXPECT_EQ(a.next(), b.next());
    EXPECT_EQ(a.next(), b.next());
}

// Also from the most negative seed.
TEST(RandomTest, StaysInTheUnitInterval) {
    for (int seed : {987654321, INT_MIN}) {
        Random random(seed);
        double sum = 0;
        const int count = 200000;
        for (int n = 0; n < count; ++n) {
            float v = random.next();
            ASSERT_GE(v, 0.0f) << seed;
            ASSERT_LT(v, 1.0f) << seed;
            sum += v;
        }
        EXPECT_NEAR(sum / count, 0.5, 0.005) << seed;
    }
}

TEST(RandomTest, SharedGeneratorStartsFromTheDefaultSeed) {
    Random& shared = Random::shared();
    EXPECT_EQ(&shared, &Random::shared());
    shared.seed(12345678);
    EXPECT_EQ(shared.next() * twoTo24, 13009319);
}

}  // namespace
