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
    // The standard's check value, the 10000th output, lies past several twists.
    for (int i = 3; i < 10000; ++i)
        engine.nextWord();
    EXPECT_EQ(engine.nextWord(), 4123659995u);

    RandomEngine fresh;
    EXPECT_EQ(fresh.uniformReal(0, 1), 0.8147236919030547);
    EXPECT_EQ(fresh.uniformReal(0, 1), 0.13547700410708785);
}

// Both draws give Boost.Random's values and consume as many outputs.
TEST(RandomEngine, DrawsFollowBoostRandom)
{
    // The last range is narrow enough for rounding to reach max and force redraws.
    const std::pair<double, double> ranges[]
        = { { 0, 1 }, { -3.5, 2.25 }, { -1e300, 1e300 }, { 2, 2 + 1e-15 } };
    for (const auto &[min, max] : ranges) {
        SCOPED_TRACE(testing::Message() << "[" << min << ", " << max << ")");
        RandomEngine engine;
        boost::random::mt19937 reference;
        boost::random::uniform_real_distribution<double> distribution(min, max);
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(engine.uniformReal(min, max), distribution(reference)) << "draw " << i;
        EXPECT_EQ(engine.nextWord(), reference());
    }
    // 1 draws nothing; for 2 and 4 the remainder of (2^32 - 1) / n is n - 1,
    // which widens the bucket; INT_MAX rejects about half of the outputs.
    for (int n : { 1, 2, 3, 4, 7, 99, 100, 65537, INT_MAX }) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        RandomEngine engine;
        boost::random::mt19937 reference;
        boost::random::uniform_int_distribution<int> distribution(1, n);
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(engine.uniformInt(n), distribution(reference)) << "draw " << i;
        EXPECT_EQ(engine.nextWord(), reference());
    }
}

TEST(RandomEngineDeathTest, EmptyRangesBreakTheContract)
{
    RandomEngine engine;
    EXPECT_DEATH(engine.uniformInt(0), literally("min_arg <= max_arg"));
    EXPECT_DEATH(engine.uniformReal(1, 0), literally("min_arg <= max_arg"));
}
