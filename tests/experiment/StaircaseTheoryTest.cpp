#include "StaircaseTheory.h"

#include "PsychometricObserver.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

const ObserverSettings twoAlternative { 0.0, 1.0, 0.02, 0.5 }; // μ, σ, λ, γ
const ObserverSettings yesNo { 0.0, 1.0, 0.0, 0.0 };

StaircaseSettings staircase(bool ascending, int n, const char *positiveSteps, double negativeStep)
{
    StaircaseSettings s;
    s.startLevel = ascending ? -3.0 : 3.0;
    s.ascending = ascending;
    s.correctAnswers = n;
    s.maxInversions = 14;
    s.maxTrials = 1000;
    s.positiveStepsText = positiveSteps;
    s.negativeStep = negativeStep;
    return s;
}

} // namespace

// Values from an independent solution of the same Markov chain, to the digits given.
TEST(StaircaseTheory, MatchesTheIndependentChain)
{
    const std::optional<double> none;
    struct Case {
        const char *name;
        StaircaseSettings staircase;
        ObserverSettings observer;
        double classicPercent;
        std::optional<double> psiAtMeanReversalPercent, trialAveragedPercent, meanReversalLevel;
    };
    const Case cases[] = {
        { "1-up/3-down", staircase(false, 3, "0.25", 0.25), twoAlternative, 79.37, 79.10, 79.26, none },
        { "1-up/2-down", staircase(false, 2, "0.25", 0.25), twoAlternative, 70.71, 69.74, none, none },
        { "weighted 1-up/1-down", staircase(false, 1, "0.1", 0.3), twoAlternative, 75.00, none, 75.00,
            0.0575 },
        { "ascending 2-up/1-down", staircase(true, 2, "0.5", 0.5), yesNo, 29.29, none, none, none },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StaircaseTheory t = staircaseTheory(c.staircase, c.observer);
        ASSERT_TRUE(t.classic.psi);
        EXPECT_NEAR(*t.classic.psi * 100.0, c.classicPercent, 0.005);
        ASSERT_EQ(t.stationary.status, StationaryStatus::computed);
        const StationaryTarget &s = t.stationary;
        if (c.psiAtMeanReversalPercent) {
            EXPECT_NEAR(s.psiAtMeanReversalLevel * 100.0, *c.psiAtMeanReversalPercent, 0.005);
        }
        if (c.trialAveragedPercent) {
            EXPECT_NEAR(s.trialAveragedPsi * 100.0, *c.trialAveragedPercent, 0.005);
        }
        if (c.meanReversalLevel) {
            EXPECT_NEAR(s.meanReversalLevel, *c.meanReversalLevel, 0.00005);
        }
    }
}

// x* is where the observer's ψ equals ψ*, for any μ, σ, γ and λ, and only
// strictly between the asymptotes.
TEST(StaircaseTheory, ObserverLevelInvertsThePsychometricFunction)
{
    const ObserverSettings observer { 1.5, 2.0, 0.05, 0.25 };
    const PsychometricObserver psi(observer);
    for (double x : { -9.0, -1.0, 1.5, 2.0, 7.0 }) {
        const std::optional<double> level = observerLevelAt(psi.probability(x), observer);
        ASSERT_TRUE(level) << x;
        EXPECT_NEAR(*level, x, 1e-9) << x;
    }
    EXPECT_FALSE(observerLevelAt(0.25, observer));
    EXPECT_FALSE(observerLevelAt(0.95, observer));
    EXPECT_FALSE(observerLevelAt(0.2, observer));
}

// The final positive step is the entry used between the last two reversals,
// positiveSteps[(maxInversions − 1) / 2] of the padded list.
TEST(StaircaseTheory, FinalStepIsTheEntryOfTheLastStretch)
{
    struct Case {
        int maxInversions;
        const char *steps;
        double finalStep;
    };
    const Case cases[] = {
        { 12, "1,0.5,0.25", 0.25 }, // padded: the last entry
        { 5, "1,0.5,0.25", 0.25 }, // reversals 4 → index 2
        { 4, "1,0.5,0.25", 0.5 }, // index 3 only on the trial that ends it
        { 1, "1,0.5,0.25", 1.0 }, { 0, "1,0.5", 1.0 },
        { 2, "1,0.5,0.25", 1.0 }, // a list longer than maxInversions
    };
    for (const Case &c : cases) {
        StaircaseSettings s = staircase(false, 2, c.steps, 0.5);
        s.maxInversions = c.maxInversions;
        const StaircaseTheory t = staircaseTheory(s, yesNo);
        EXPECT_EQ(t.classic.positiveStep, c.finalStep) << c.maxInversions << " " << c.steps;
    }
    // Every entry aims elsewhere; a single entry needs no list.
    const StaircaseTheory t = staircaseTheory(staircase(false, 3, "1,0.5,0.25", 0.5), twoAlternative);
    ASSERT_EQ(t.perStep.size(), 3u);
    EXPECT_NEAR(*t.perStep[1].psi, std::cbrt(0.5), 1e-12);
    EXPECT_TRUE(staircaseTheory(staircase(false, 3, "0.25", 0.5), twoAlternative).perStep.empty());

    // Only the entries a run can reach: 10 reversals step with entries 0 … 4, the last the final step.
    std::string longList = "0.5";
    for (int i = 1; i < 80000; ++i)
        longList += i < 4 ? ",0.25" : ",0.125";
    StaircaseSettings s = staircase(false, 3, longList.c_str(), 0.5);
    s.maxInversions = 10;
    const StaircaseTheory reachable = staircaseTheory(s, twoAlternative);
    ASSERT_EQ(reachable.perStep.size(), 5u);
    EXPECT_EQ(reachable.perStep.back().positiveStep, 0.125);
    EXPECT_EQ(reachable.positiveStepCount, 80000u);
    EXPECT_EQ(perStepTargetCount(s), 5u);
}

TEST(StaircaseTheory, SaysWhenThereIsNoTargetOrNoChain)
{
    struct Case {
        const char *name;
        StaircaseSettings staircase;
        ObserverSettings observer;
        bool hasPsi, hasLevel;
        StationaryStatus status;
    };
    StaircaseSettings clamped = staircase(false, 2, "0.5", 0.5);
    clamped.clampActive = true;
    StaircaseSettings offGridStart = staircase(false, 2, "0.3,0.25", 0.25); // 0.3 leaves the 0.25 grid
    const Case cases[] = {
        { "clamped", clamped, twoAlternative, true, true, StationaryStatus::clamped },
        { "ascending against a guess rate", staircase(true, 2, "0.5", 0.5), twoAlternative, true, false,
            StationaryStatus::unreachable },
        { "1-up/1-down against a lapse rate", staircase(false, 1, "0.01", 0.99), twoAlternative, true, false,
            StationaryStatus::unreachable },
        { "zero negative step", staircase(false, 2, "0.5", 0.0), twoAlternative, false, false,
            StationaryStatus::unreachable },
        { "no common grid", staircase(false, 2, "0.1", 0.1 * std::sqrt(2.0)), twoAlternative, true, true,
            StationaryStatus::noGrid },
        { "early step off the grid", offGridStart, twoAlternative, true, true, StationaryStatus::noGrid },
        // 0.3 / 0.1 is 2.9999999999999996 in doubles: on the grid once rounded.
        { "early step on the grid", staircase(false, 2, "0.3,0.1", 0.1), twoAlternative, true, true,
            StationaryStatus::computed },
        { "a grid of 0.01", staircase(false, 2, "0.07", 0.03), twoAlternative, true, true,
            StationaryStatus::computed },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StaircaseTheory t = staircaseTheory(c.staircase, c.observer);
        EXPECT_EQ(bool(t.classic.psi), c.hasPsi);
        EXPECT_EQ(bool(t.classic.level), c.hasLevel);
        EXPECT_EQ(t.stationary.status, c.status);
    }
}
