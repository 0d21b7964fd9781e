#include "RepetitionStats.h"

#include "EngineTestSupport.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

const ObserverSettings yesNo { 0.0, 1.0, 0.0, 0.0 }; // μ, σ, λ, γ

StaircaseSettings staircase(
    double start, bool ascending, int n, const char *steps, int maxInversions, int maxTrials)
{
    StaircaseSettings s;
    s.startLevel = start;
    s.ascending = ascending;
    s.correctAnswers = n;
    s.maxInversions = maxInversions;
    s.maxTrials = maxTrials;
    s.positiveStepsText = steps;
    s.negativeStep = 0.1;
    return s;
}

void expectValue(const std::optional<double> &actual, const std::optional<double> &expected, const char *what)
{
    ASSERT_EQ(bool(actual), bool(expected)) << what;
    if (expected) {
        EXPECT_NEAR(*actual, *expected, 1e-7) << what;
    }
}

} // namespace

TEST(RepetitionStats, EstimateStatistics)
{
    using std::nullopt;
    StaircaseTheory reachable; // x* = 0 at ψ* = 50 % for the yes/no observer
    reachable.classic.psi = 0.5;
    reachable.classic.level = 0.0;
    StaircaseTheory unreachable;
    unreachable.classic.psi = 0.3;
    struct Case {
        const char *name;
        std::vector<double> estimates;
        const StaircaseTheory &theory;
        std::optional<double> mean, sd, se, lower, upper, bias, biasPoints, rmse;
    };
    const Case cases[] = {
        // Unsorted on purpose; type 7 quantiles: h = 4 × 0.025 = 0.1 and 4 × 0.975 = 3.9.
        { "five", { 10, 1, 4, 2, 3 }, reachable, 4.0, std::sqrt(12.5), std::sqrt(12.5 / 5), 1.1, 9.4, 4.0,
            49.99683287581669, std::sqrt(26.0) },
        { "one", { 2 }, reachable, 2.0, nullopt, nullopt, nullopt, nullopt, 2.0, 47.724986805182084, 2.0 },
        { "none", {}, reachable, nullopt, nullopt, nullopt, nullopt, nullopt, nullopt, nullopt, nullopt },
        { "x* unreachable", { 1, 3 }, unreachable, 2.0, std::sqrt(2.0), 1.0, 1.05, 2.95, nullopt, nullopt,
            nullopt },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const EstimateStats s = estimateStats(c.estimates, c.theory, yesNo);
        EXPECT_EQ(s.count, int(c.estimates.size()));
        expectValue(s.mean, c.mean, "mean");
        expectValue(s.sd, c.sd, "sd");
        expectValue(s.standardError, c.se, "standard error");
        expectValue(s.lowerQuantile, c.lower, "2.5 %");
        expectValue(s.upperQuantile, c.upper, "97.5 %");
        expectValue(s.bias, c.bias, "bias");
        expectValue(s.biasPercentPoints, c.biasPoints, "bias in points");
        expectValue(s.rmse, c.rmse, "rmse");
    }
}

// Three staircases that each stop one way in every repetition.
TEST(RepetitionStats, CountsStopsTrialsAndShortRepetitions)
{
    RunRequest request;
    request.observer = yesNo;
    StaircaseSettings clamped = staircase(0.0, false, 1, "2", 50, 1000);
    clamped.clampActive = true;
    clamped.lowerClamp = -0.5;
    clamped.maxClampHits = 1;
    request.staircases
        = { staircase(0.0, false, 1, "0.1", 50, 5), staircase(0.0, false, 1, "0.5", 4, 1000), clamped };
    request.repetitions = 30;
    RandomEngine engine;
    const RunResult result = simulate(request, engine);
    const StaircaseTheory theory = staircaseTheory(request.staircases[1], yesNo);

    const RepetitionStats onTrials = repetitionStats(result, 0, theory, 1);
    EXPECT_EQ(onTrials.stoppedOnTrials, 30);
    ASSERT_TRUE(onTrials.trials);
    EXPECT_EQ(onTrials.trials->min, 5u);
    EXPECT_EQ(onTrials.trials->max, 5u);
    EXPECT_EQ(onTrials.trials->mean, 5.0);

    // Each repetition has exactly 4 reversals: K = 4 uses all, K = 5 none.
    const RepetitionStats all = repetitionStats(result, 1, theory, 4);
    EXPECT_EQ(all.stoppedOnReversals, 30);
    EXPECT_EQ(all.fewerReversals, 0);
    EXPECT_EQ(all.estimates.count, 30);
    const RepetitionStats none = repetitionStats(result, 1, theory, 5);
    EXPECT_EQ(none.fewerReversals, 30);
    EXPECT_FALSE(none.estimates.mean);
    ASSERT_TRUE(all.trials);
    EXPECT_LT(all.trials->min, all.trials->max);

    EXPECT_EQ(repetitionStats(result, 2, theory, 1).stoppedOnClampHits, 30);
}

// The estimate is the mean of the last K reversals (0.3, 0.1 rather than the first
// 0.2, 0.3 in repetition 1), NA below K reversals; the ID's tab becomes a space
// and its quotes are doubled inside quotes.
TEST(RepetitionStats, SummaryHasOneRowPerRepetitionAndStaircase)
{
    RunRequest request;
    request.observer = yesNo;
    StaircaseSettings b = staircase(-0.2, true, 1, "0.2", 4, 9);
    request.staircases = { staircase(0.3, false, 1, "0.1", 3, 6), b };
    nameStaircases(request.staircases, { "left\xff", "right\t\"side\"\r" }); // UTF-8, as the table shows it
    request.repetitions = 3;
    RandomEngine engine;
    const RunResult result = simulate(request, engine);
    EXPECT_EQ(repetitionSummaryText(result, 2),
        "repetition\tstaircase\tID\testimate\treversals\ttrials\tstop\n"
        "1\t0\tleft\xef\xbf\xbd\t0.19999999999999998\t3\t5\treversals\n"
        "1\t1\t\"right \"\"side\"\" \"\t0.49999999999999994\t3\t9\ttrials\n"
        "2\t0\tleft\xef\xbf\xbd\t0.30000000000000004\t3\t6\treversals\n"
        "2\t1\t\"right \"\"side\"\" \"\t0.1\t4\t8\treversals\n"
        "3\t0\tleft\xef\xbf\xbd\tNA\t1\t6\ttrials\n"
        "3\t1\t\"right \"\"side\"\" \"\t0.25000000000000006\t4\t6\treversals\n");
}

TEST(RepetitionStats, SummaryStopsAtTheFirstRefusedPiece)
{
    RunRequest request;
    request.observer = yesNo;
    request.staircases = { staircase(0.0, false, 1, "0.1", 3, 1) };
    request.repetitions = 5000; // about 120 kB: more than one piece
    RandomEngine engine;
    const RunResult result = simulate(request, engine);
    for (int refused : { 0, 1 }) {
        int calls = 0;
        const bool written
            = writeRepetitionSummary(result, 1, [&](const char *, std::size_t) { return calls++ < refused; });
        EXPECT_FALSE(written);
        EXPECT_EQ(calls, refused + 1);
    }
}

// The 1-up/3-down staircase of StaircaseTheoryTest, run as a session would: from
// level 3 to its 14th reversal, estimated from the last 6. ψ at the mean estimate
// of the exact finite-run solution is 79.55 %, above the stationary 79.10 %
// because the last reversals still remember the descent from above.
TEST(RepetitionStats, LongRunMatchesTheFiniteRunValue)
{
    RunRequest request;
    request.observer = { 0.0, 1.0, 0.02, 0.5 };
    StaircaseSettings s = staircase(3.0, false, 3, "0.25", 14, 100000);
    s.negativeStep = 0.25;
    request.staircases = { s };
    request.repetitions = 20000;
    RandomEngine engine;
    const RunResult result = simulate(request, engine);
    const RepetitionStats stats = repetitionStats(result, 0, staircaseTheory(s, request.observer));
    ASSERT_EQ(stats.stoppedOnReversals, 20000);
    const double mean = *stats.estimates.mean;
    // The standard error in ψ: the level's, times the slope of ψ.
    const PsychometricObserver observer(request.observer);
    const double slope = (observer.probability(mean + 1e-4) - observer.probability(mean - 1e-4)) / 2e-4;
    const double se = *stats.estimates.standardError * slope * 100.0;
    EXPECT_NEAR(*stats.estimates.psiAtMean * 100.0, 79.55, 3.0 * se) << "standard error " << se;
}
