#include "Estimators.h"

#include "RandomEngine.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

std::vector<LevelCounts> counts(std::vector<LevelCounts> levels)
{
    return levels;
}

} // namespace

TEST(Estimators, NamesReadBack)
{
    for (Estimator e : allEstimators)
        EXPECT_EQ(estimatorFromName(estimatorName(e)), e);
    EXPECT_FALSE(estimatorFromName("all"));
    EXPECT_EQ(estimatorNameList(), "reversals, trials, cir, ml");
    EXPECT_STREQ(estimatorLabel(Estimator::ml), "Maximum likelihood (\u03c3 known)");
}

// Equal numbers are one level; levels come out rising.
TEST(Estimators, TrialsGroupByLevel)
{
    const std::vector<LevelCounts> grouped
        = levelCounts({ { 2.0, true }, { 1.0, false }, { 2.0, false }, { 1.0, true }, { 2.0, true } });
    ASSERT_EQ(grouped.size(), 2u);
    EXPECT_EQ(grouped[0].level, 1.0);
    EXPECT_EQ(grouped[0].trials, 2);
    EXPECT_EQ(grouped[0].positives, 1);
    EXPECT_EQ(grouped[1].level, 2.0);
    EXPECT_EQ(grouped[1].trials, 3);
    EXPECT_EQ(grouped[1].positives, 2);
}

// Proportions 1/2, 2/2, 1/4, 2/2 at levels 0..3: the 1/4 merges with 2/2 into
// 3/6, which equals the 1/2 before it and merges again (ties merge), giving the
// points (1.25, 0.5) and (3, 1): 1.25 is the trials' mean level (0·2 + 1·2 + 2·4)/8.
TEST(Estimators, CenteredIsotonicRegression)
{
    const std::vector<LevelCounts> merged = counts({ { 0, 2, 1 }, { 1, 2, 2 }, { 2, 4, 1 }, { 3, 2, 2 } });
    const std::vector<LevelCounts> single = counts({ { 1, 4, 2 } });
    struct Case {
        const char *name;
        const std::vector<LevelCounts> &counts;
        double psiStar;
        std::optional<double> expected;
    } const cases[] = {
        { "between the points", merged, 0.75, 2.125 },
        { "at a point", merged, 0.5, 1.25 },
        { "at the last point", merged, 1.0, 3.0 },
        { "below the points", merged, 0.4, std::nullopt },
        { "one point at psi*", single, 0.5, 1.0 },
        { "one point elsewhere", single, 0.6, std::nullopt },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<double> estimate = cirEstimate(c.counts, c.psiStar);
        ASSERT_EQ(bool(estimate), bool(c.expected));
        if (c.expected) {
            EXPECT_DOUBLE_EQ(*estimate, *c.expected);
        }
    }
}

// Values from an independent computation (a fine grid over the interval, then
// a bounded one-dimensional minimiser).
TEST(Estimators, MaximumLikelihoodFindsTheHighestPeak)
{
    // Peaks near −3.0016 (log-likelihood −13.687) and 3.5456 (−13.344): the
    // lower one comes first from the left.
    const MaximumLikelihood twoPeaks({ 0.0, 1.0, 0.1, 0.1 });
    const std::optional<double> mu = twoPeaks.location(counts({ { -3, 6, 3 }, { 0, 1, 1 }, { 3, 6, 2 } }));
    ASSERT_TRUE(mu);
    EXPECT_NEAR(*mu, 3.5456097336, 1e-6);

    // Lapses only (σ = 2 scales the location): one peak at −2.674423 × 2.
    const MaximumLikelihood lapsing({ 5.0, 2.0, 0.2, 0.0 });
    const std::optional<double> single = lapsing.location(counts({ { -4, 10, 6 }, { 4, 10, 3 } }));
    ASSERT_TRUE(single);
    EXPECT_NEAR(*single, 2 * -2.674423081179647, 2e-6);

    const MaximumLikelihood twoAlternatives({ 0.0, 1.0, 0.0, 0.5 });
    EXPECT_FALSE(twoAlternatives.location(counts({ { 0, 4, 4 }, { 1, 3, 3 } }))) << "all positive";
    EXPECT_FALSE(twoAlternatives.location(counts({ { 0, 4, 0 }, { 1, 3, 0 } }))) << "all negative";
    // Chance performance: the likelihood rises towards the upper end.
    EXPECT_FALSE(twoAlternatives.location(counts({ { 0, 10, 5 } }))) << "at chance";
}

// Two interleaved 2AFC staircases (1-up/3-down and 1-up/2-down, μ = 0.3), six
// repetitions; the expected values come from an independent implementation
// reading this run's exported trial table (the batch program, seed 7).
TEST(Estimators, SeededRunMatchesAnIndependentImplementation)
{
    RunRequest request;
    request.observer = { 0.3, 1.0, 0.02, 0.5 };
    StaircaseSettings s;
    s.startLevel = 2.0;
    s.ascending = false;
    s.correctAnswers = 3;
    s.maxInversions = 14;
    s.maxTrials = 1000;
    s.positiveStepsText = "0.25";
    s.negativeStep = 0.25;
    StaircaseSettings t = s;
    t.startLevel = 1.5;
    t.correctAnswers = 2;
    t.maxInversions = 10;
    t.positiveStepsText = "0.5,0.25";
    request.staircases = { s, t };
    request.repetitions = 6;
    RandomEngine engine(7);
    const RunResult result = simulate(request, engine);

    // Per staircase and repetition: reversals (K = 6), trials (R = 3), cir, ml.
    const double expected[2][6][4] = {
        { { 0.7916666667, 0.8829787234, 0.8436526989, 0.7108389679 },
            { 1.3333333333, 1.0187500000, 0.9754725562, 1.0752343798 },
            { 0.0833333333, -0.1956521739, 0.1550187361, -0.1465195303 },
            { 0.7916666667, 0.5000000000, 0.5393578793, 0.6791417127 },
            { 1.5416666667, 1.3250000000, 0.9492084157, 1.1307577245 },
            { 0.0833333333, 0.7418032787, 0.5265501266, 0.6657924567 } },
        { { -0.1666666667, 0.0416666667, -0.2107290441, -0.3800371594 },
            { 0.5833333333, 0.5625000000, 0.4829365072, 0.4727178931 },
            { 0.1250000000, 0.2750000000, 0.2991089866, 0.3581764645 },
            { -0.1250000000, 0.0441176471, 0.1807352361, -0.2939548202 },
            { -0.2500000000, -0.2386363636, -0.1307749454, -0.1826898811 },
            { 0.1250000000, 0.1521739130, 0.1785113020, 0.0978190918 } },
    };
    const std::vector<StaircaseEstimates> all = runEstimates(result, EstimatorSettings {}, request.observer);
    // The window passes the theories its run worked out: the same targets, the run's own observer.
    const std::vector<StaircaseEstimates> fromTheories
        = runEstimates(result, EstimatorSettings {}, staircaseTheories(request.staircases, request.observer));
    for (int staircase = 0; staircase < 2; ++staircase) {
        const StaircaseEstimates one
            = allStaircaseEstimates(result, staircase, EstimatorSettings {}, request.observer);
        for (Estimator e : allEstimators) {
            const std::size_t i = std::size_t(e);
            const std::vector<std::optional<double>> values
                = staircaseEstimates(result, staircase, e, EstimatorSettings {}, request.observer);
            EXPECT_EQ(values, one.of(e));
            EXPECT_EQ(values, all[std::size_t(staircase)].of(e));
            EXPECT_EQ(values, fromTheories[std::size_t(staircase)].of(e));
            ASSERT_EQ(values.size(), 6u);
            for (std::size_t r = 0; r < 6; ++r) {
                ASSERT_TRUE(values[r]) << estimatorName(e) << " " << staircase << " " << r;
                EXPECT_NEAR(*values[r], expected[staircase][r][i], 1e-6)
                    << estimatorName(e) << " " << staircase << " " << r;
            }
        }
    }

    // With R beyond the reversals there is no trial mean; a later first reversal shortens it.
    EstimatorSettings late;
    late.firstReversal = 15;
    EXPECT_FALSE(staircaseEstimates(result, 0, Estimator::trials, late, request.observer)[0]);
    late.firstReversal = 14; // the last trial of a repetition that stopped on its 14th reversal
    EXPECT_EQ(staircaseEstimates(result, 0, Estimator::trials, late, request.observer)[0],
        result.outcome(0, 0).lastLevel);
}
