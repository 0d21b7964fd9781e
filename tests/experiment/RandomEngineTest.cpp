#include "RandomEngine.h"

#include "EngineTestSupport.h"

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <boost/random/uniform_real_distribution.hpp>
#include <gtest/gtest.h>

#include <climits>

TEST(RandomEngine, StartsTheStandardSequenceOfSeed5489)
{
    RandomEngine engine;
    EXPECT_EQ(engine.nextWord(), 3499211612u);
    EXPECT_EQ(engine.nextWord(), 581869302u);
    // The standard's check value: the 10000th output of the default-seeded
    // generator, well past the first twists of the state.
    for (int i = 3; i < 10000; ++i)
        engine.nextWord();
    EXPECT_EQ(engine.nextWord(), 4123659995u);
}

TEST(RandomEngine, FirstUniformRealsAreTheFirstOutputsOver2To32)
{
    RandomEngine engine;
    EXPECT_EQ(engine.uniformReal(0, 1), 0.8147236919030547);
    EXPECT_EQ(engine.uniformReal(0, 1), 0.13547700410708785);
}

TEST(RandomEngine, UniformRealFollowsBoostRandom)
{
    struct Range {
        double min, max;
    };
    const Range ranges[]
        = { { 0, 1 }, { -3.5, 2.25 }, { 1e6, 1e6 + 1e-9 }, { -1e300, 1e300 }, { 2, 2 + 1e-15 } };
    for (const Range &range : ranges) {
        SCOPED_TRACE(testing::Message() << "[" << range.min << ", " << range.max << ")");
        RandomEngine engine;
        boost::random::mt19937 reference;
        boost::random::uniform_real_distribution<double> distribution(range.min, range.max);
        for (int i = 0; i < 5000; ++i) {
            const double value = engine.uniformReal(range.min, range.max);
            ASSERT_EQ(value, distribution(reference)) << "draw " << i;
            ASSERT_LT(value, range.max);
        }
        // Both consumed the same number of outputs, rejected draws included.
        EXPECT_EQ(engine.nextWord(), reference());
    }
}

TEST(RandomEngine, UniformIntFollowsBoostRandom)
{
    // 3 and 99 divide 2^32 - 1 unevenly the two different ways the bucket
    // rule distinguishes; INT_MAX rejects about half of the outputs.
    const int sizes[] = { 2, 3, 4, 5, 7, 16, 99, 100, 1000, 65537, INT_MAX };
    for (int n : sizes) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        RandomEngine engine;
        boost::random::mt19937 reference;
        boost::random::uniform_int_distribution<int> distribution(1, n);
        for (int i = 0; i < 5000; ++i) {
            const int value = engine.uniformInt(n);
            ASSERT_EQ(value, distribution(reference)) << "draw " << i;
            ASSERT_GE(value, 1);
            ASSERT_LE(value, n);
        }
        EXPECT_EQ(engine.nextWord(), reference());
    }
}

TEST(RandomEngine, UniformIntOfOneDrawsNothing)
{
    RandomEngine engine;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(engine.uniformInt(1), 1);
    EXPECT_EQ(engine.nextWord(), 3499211612u);
}

TEST(RandomEngineDeathTest, EmptyRangesBreakTheContract)
{
    RandomEngine engine;
    EXPECT_DEATH(engine.uniformInt(0), literally("min_arg <= max_arg"));
    EXPECT_DEATH(engine.uniformInt(-4), literally("min_arg <= max_arg"));
    EXPECT_DEATH(engine.uniformReal(1, 0), literally("min_arg <= max_arg"));
}
