#include "PsychometricObserver.h"
#include "RandomEngine.h"

#include <gtest/gtest.h>

#include <cmath>

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
        { "SmallestSd", 0, 0.001, 0, 0, 0.001, 0.8413447460685429 },
        // With γ + λ > 1 the formula applies unchanged: ψ falls to 1 − λ.
        { "GuessPlusLapseAboveOneFarBelow", 0, 1, 0.8, 0.6, -50, 0.8 },
        { "GuessPlusLapseAboveOneFarAbove", 0, 1, 0.8, 0.6, 50, 0.4 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PsychometricObserver observer(c.mean, c.sd, c.guess, c.lapse);
        EXPECT_NEAR(observer.probability(c.level), c.expected, 1e-15);
        EXPECT_EQ(observer.probability(c.level, observer.sqrt2Sigma()), observer.probability(c.level));
    }
}

TEST(PsychometricObserver, RespondUsesOneDrawAndAStrictComparison)
{
    // The first uniformReal(0, 1) of a fresh engine: 0.8147236919030547.
    const double firstU = 3499211612.0 / 4294967296.0;
    const double aboveU = std::nextafter(firstU, 1.0);
    struct Case {
        const char *name;
        double mean, guess, lapse, level;
        bool expected;
    };
    const Case cases[] = {
        // ψ(0.9) = 0.81594 is above u, ψ(0.89) = 0.81327 is not.
        { "JustAboveFirstU", 0, 0, 0, 0.9, true },
        { "JustBelowFirstU", 0, 0, 0, 0.89, false },
        { "ThreeQuartersAtMean", 1, 0.5, 0, 1, false },
        // γ = u with 1 − γ − λ = 0 gives ψ = u exactly: equal is no positive answer.
        { "EqualToU", 0, firstU, 1 - firstU, 0, false },
        { "OneUlpAboveU", 0, aboveU, 1 - aboveU, 0, true },
        // ψ = 1 is above every u, ψ = 0 above none.
        { "CertainlyTrue", 0, 1, 0, -1e9, true },
        { "CertainlyFalse", 0, 0, 1, 1e9, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PsychometricObserver observer(c.mean, 1, c.guess, c.lapse);
        RandomEngine engine;
        EXPECT_EQ(observer.respond(c.level, engine), c.expected);
        EXPECT_EQ(engine.nextWord(), 581869302u); // exactly one output consumed
    }
}

// respond decides most answers from a quicker erf and leaves near ties to the
// reference one; its answers must be exactly probability(level) > u.
TEST(PsychometricObserver, RespondAgreesWithTheProbabilityForEveryDraw)
{
    struct Params {
        double mean, sd, guess, lapse;
    };
    const Params observers[] = { { 0, 1, 0, 0 }, { 1.5, 0.25, 0.5, 0.02 }, { -20, 7, 0.02, 0.02 },
        { 0, 0.001, 0, 0 }, { 0, 1, 0.8, 0.6 } };
    for (const Params &p : observers) {
        SCOPED_TRACE(testing::Message() << "mu " << p.mean << " sigma " << p.sd);
        const PsychometricObserver observer(p.mean, p.sd, p.guess, p.lapse);
        RandomEngine engine;
        RandomEngine reference;
        for (int i = 0; i < 200000; ++i) {
            // Levels from 8 sigma below to 8 sigma above the mean.
            const double level = p.mean + p.sd * (-8.0 + 16.0 * (i % 4001) / 4000.0);
            const bool expected = observer.probability(level) > reference.uniformReal(0, 1);
            ASSERT_EQ(observer.respond(level, observer.sqrt2Sigma(), engine), expected) << "level " << level;
        }
    }
}
