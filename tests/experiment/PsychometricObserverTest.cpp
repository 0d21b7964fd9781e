#include "PsychometricObserver.h"
#include "RandomEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
// The first two outputs of a fresh engine, as uniformReal(0, 1) gives them.
const double firstU = 3499211612.0 / 4294967296.0; // 0.8147236919030547
} // namespace

TEST(PsychometricObserver, ProbabilityValues)
{
    struct Case {
        const char *name;
        double mean, sd, guess, lapse, level, expected;
    };
    const Case cases[] = {
        { "StandardAtMean", 0, 1, 0, 0, 0, 0.5 },
        { "StandardOneSdAbove", 0, 1, 0, 0, 1, 0.8413447460685429 },
        { "StandardOneSdBelow", 0, 1, 0, 0, -1, 1 - 0.8413447460685429 },
        { "GuessHalfAtMean", 2.5, 0.7, 0.5, 0, 2.5, 0.75 },
        { "GuessAndLapseAtMean", -3, 4, 0.2, 0.1, -3, 0.2 + 0.7 / 2 },
        { "GuessRateFarBelow", 0, 1, 0.02, 0.02, -50, 0.02 },
        { "LapseRateFarAbove", 0, 1, 0.02, 0.02, 50, 0.98 },
        { "SmallestSdStep", 0, 0.001, 0, 0, 0.001, 0.8413447460685429 },
        // With γ + λ > 1 the formula applies unchanged and falls with the level.
        { "GuessPlusLapseAboveOneFarAbove", 0, 1, 0.8, 0.6, 50, 0.4 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PsychometricObserver observer(c.mean, c.sd, c.guess, c.lapse);
        EXPECT_NEAR(observer.probability(c.level), c.expected, 1e-15);
    }
}

TEST(PsychometricObserver, FallsWithTheLevelWhenGuessPlusLapseExceedsOne)
{
    const PsychometricObserver observer(0, 1, 0.8, 0.6);
    EXPECT_GT(observer.probability(-1), observer.probability(0));
    EXPECT_GT(observer.probability(0), observer.probability(1));
}

TEST(PsychometricObserver, PrecomputedSqrt2SigmaGivesTheSameBits)
{
    const PsychometricObserver observer(0.3, 1.7, 0.05, 0.01);
    EXPECT_EQ(observer.sqrt2Sigma(), std::sqrt(2.0) * 1.7);
    for (double level = -10; level <= 10; level += 0.37)
        EXPECT_EQ(observer.probability(level, observer.sqrt2Sigma()), observer.probability(level))
            << "level " << level;
}

TEST(PsychometricObserver, RespondUsesOneDrawAndAStrictComparison)
{
    struct Case {
        const char *name;
        double mean, guess, lapse, level;
        bool expected;
    };
    const Case cases[] = {
        // ψ(0.9) = 0.81594 > u = 0.81472, ψ(0.89) = 0.81327 is not.
        { "JustAboveFirstU", 0, 0, 0, 0.9, true },
        { "JustBelowFirstU", 0, 0, 0, 0.89, false },
        { "ThreeQuartersAtMean", 1, 0.5, 0, 1, false },
        // γ = u and 1 − γ − λ = 0 give ψ = u exactly: equal is no positive answer.
        { "EqualToU", 0, firstU, 1 - firstU, 0, false },
        { "OneUlpAboveU", 0, std::nextafter(firstU, 1.0), 1 - std::nextafter(firstU, 1.0), 0, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PsychometricObserver observer(c.mean, 1, c.guess, c.lapse);
        RandomEngine engine;
        EXPECT_EQ(observer.respond(c.level, engine), c.expected);
        // Exactly one output was consumed.
        EXPECT_EQ(engine.nextWord(), 581869302u);
    }
}

TEST(PsychometricObserver, CertainAnswersOutsideZeroToOne)
{
    // ψ = 1 is above every u (u < 1); ψ = 0 is above none (u >= 0).
    const PsychometricObserver always(0, 1, 1, 0);
    const PsychometricObserver never(0, 1, 0, 1);
    RandomEngine engine;
    for (int i = 0; i < 1000; ++i) {
        EXPECT_TRUE(always.respond(-1e9, engine));
        EXPECT_FALSE(never.respond(1e9, engine));
    }
}

TEST(PsychometricObserver, AnswersFollowTheProbability)
{
    const PsychometricObserver observer(0, 1, 0, 0);
    RandomEngine engine;
    const double sqrt2Sigma = observer.sqrt2Sigma();
    int positives = 0;
    const int trials = 100000;
    for (int i = 0; i < trials; ++i)
        positives += observer.respond(1, sqrt2Sigma, engine);
    EXPECT_NEAR(static_cast<double>(positives) / trials, 0.8413447460685429, 0.005);
}
