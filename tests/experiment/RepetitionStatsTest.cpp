#include "RepetitionStats.h"

#include "EngineTestSupport.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "RunAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Reference numbers from an independent resampling in Python: the same mt19937 stream
// and index mapping, but each resample's SD, RMSE and sweat factor computed directly
// from its estimates and trials.
TEST(RepetitionStats, SweatFactorAndIntervalsMatchAnIndependentResampling)
{
    using std::nullopt;
    const std::vector<std::optional<double>> estimates { 0.31, nullopt, 0.12, 0.55, 0.2, 0.05, 1.4, 0.27,
        nullopt, 0.18, 0.33, -0.4 };
    const std::vector<double> trials { 40, 75, 52, 48, 61, 44, 90, 50, 80, 47, 55, 63 };
    StaircaseTheory theory;
    theory.classic = { 0.5, 0.5793, 0.2 };
    std::vector<double> given;
    for (const std::optional<double> &e : estimates)
        if (e)
            given.push_back(*e);
    RepetitionStats stats;
    stats.repetitions = 12;
    stats.trials = TrialsPerRepetition { 705.0 / 12, 40, 90 };
    stats.estimates = estimateStats(given, theory, yesNo);
    addEfficiency(stats, estimates, trials, 0.2);

    const EstimateStats &e = stats.estimates;
    ASSERT_TRUE(stats.sweatFactor && e.meanInterval && e.sdInterval && e.rmseInterval && stats.sweatInterval);
    EXPECT_NEAR(*stats.sweatFactor, 11.665987499999998, 1e-12);
    const std::tuple<const char *, Interval, Interval> intervals[] = {
        { "mean", *e.meanInterval, { 0.017443548555926003, 0.5845564514440741 } },
        { "sd", *e.sdInterval, { 0.09411239481143203, 0.6692434013408183 } },
        { "rmse", *e.rmseInterval, { 0.09584384910931533, 0.7111135490618977 } },
        { "sweat", *stats.sweatInterval, { 0.5007727430555556, 33.18914839285713 } },
    };
    for (const auto &[name, actual, expected] : intervals) {
        EXPECT_NEAR(actual.low, expected.low, 1e-9) << name;
        EXPECT_NEAR(actual.high, expected.high, 1e-9) << name;
    }

    // Without x*, no RMSE and so no sweat factor; one estimate gives no spread to resample.
    RepetitionStats noTarget = stats;
    noTarget.estimates = estimateStats(given, StaircaseTheory(), yesNo);
    noTarget.sweatFactor.reset();
    noTarget.sweatInterval.reset();
    addEfficiency(noTarget, estimates, trials, nullopt);
    EXPECT_TRUE(noTarget.estimates.sdInterval);
    EXPECT_FALSE(noTarget.estimates.rmseInterval || noTarget.sweatFactor || noTarget.sweatInterval);
    RepetitionStats single;
    single.trials = TrialsPerRepetition { 10.0, 10, 10 };
    single.estimates = estimateStats({ 0.3 }, theory, yesNo);
    addEfficiency(single, { 0.3 }, { 10.0 }, 0.2);
    EXPECT_NEAR(*single.sweatFactor, 0.1, 1e-12);
    EXPECT_FALSE(single.estimates.sdInterval || single.sweatInterval || single.estimates.meanInterval);
}

// A run's statistics come with their intervals, the same every time, and narrower for more
// repetitions.
TEST(RepetitionStats, RunIntervalsAreReproducibleAndNarrowWithMoreRepetitions)
{
    RunRequest request;
    request.observer = yesNo;
    request.staircases = { staircase(1.0, false, 3, "0.2", 12, 1000) };
    const StaircaseTheory theory = staircaseTheory(request.staircases[0], yesNo);
    const auto width = [](const Interval &i) { return i.high - i.low; };
    double previousWidth = 0.0;
    for (int repetitions : { 4000, 100 }) {
        request.repetitions = repetitions;
        RandomEngine engine;
        const RunResult result = simulate(request, engine);
        const RepetitionStats stats = repetitionStats(result, 0, theory, 6);
        const RepetitionStats again = repetitionStats(result, 0, theory, 6);
        const EstimateStats &e = stats.estimates;
        ASSERT_TRUE(e.sdInterval && e.rmseInterval && stats.sweatInterval && stats.sweatFactor);
        EXPECT_DOUBLE_EQ(*stats.sweatFactor, *e.rmse * *e.rmse * stats.trials->mean);
        EXPECT_EQ(again.sweatInterval->low, stats.sweatInterval->low);
        EXPECT_EQ(again.estimates.sdInterval->high, e.sdInterval->high);
        for (const auto &[point, interval] :
            { std::pair { *e.sd, *e.sdInterval }, std::pair { *e.rmse, *e.rmseInterval },
                std::pair { *stats.sweatFactor, *stats.sweatInterval } }) {
            EXPECT_LT(interval.low, point);
            EXPECT_GT(interval.high, point);
        }
        EXPECT_GT(width(*e.sdInterval), previousWidth);
        previousWidth = width(*e.sdInterval);
    }
}

// A run's analysis equals each estimator's statistics worked out alone; a new
// K or R takes over the estimators it leaves alone and recomputes the others.
TEST(RepetitionStats, AnalysisOfARunKeepsWhatAChangeLeavesAlone)
{
    RunRequest request;
    request.observer = yesNo;
    request.staircases
        = { staircase(1.0, false, 3, "0.2", 12, 1000), staircase(-1.0, true, 1, "0.3", 9, 400) };
    request.repetitions = 300;
    RandomEngine engine;
    const RunResult run = simulate(request, engine);
    const std::vector<StaircaseTheory> theories = staircaseTheories(request.staircases, yesNo);
    const auto same = [](const RepetitionStats &a, const RepetitionStats &b) {
        return a.estimates.count == b.estimates.count && a.estimates.mean == b.estimates.mean
            && a.estimates.rmseInterval->low == b.estimates.rmseInterval->low
            && a.lastReversals == b.lastReversals;
    };
    const auto expectAlone = [&](const RunAnalysis &analysis) {
        for (int s = 0; s < 2; ++s)
            for (Estimator e : allEstimators)
                EXPECT_TRUE(same(analysis.statsOf(s, e),
                    repetitionStats(run, s, theories[std::size_t(s)],
                        staircaseEstimates(run, s, e, analysis.settings, yesNo),
                        analysis.settings.lastReversals)))
                    << s << estimatorName(e);
    };
    std::vector<double> shares;
    const std::optional<RunAnalysis> first = analyseRun(run, theories, EstimatorSettings { 6, 3 }, nullptr,
        nullptr, [&shares](double share) { shares.push_back(share); });
    ASSERT_TRUE(first);
    EXPECT_EQ(shares.size(), 1 + 2 * allEstimators.size()); // the estimates, then each bootstrap
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.back(), 1.0);
    expectAlone(*first);
    EXPECT_TRUE(same(first->statsOf(1, Estimator::reversals), repetitionStats(run, 1, theories[1], 6)));
    for (const EstimatorSettings changed : { EstimatorSettings { 2, 3 }, EstimatorSettings { 6, 1 } }) {
        const std::optional<RunAnalysis> next = analyseRun(run, theories, changed, &*first);
        ASSERT_TRUE(next);
        expectAlone(*next);
        EXPECT_EQ(next->statsOf(0, Estimator::reversals).estimates.mean
                == first->statsOf(0, Estimator::reversals).estimates.mean,
            changed.lastReversals == 6);
    }
    const std::atomic<bool> cancel { true };
    EXPECT_FALSE(analyseRun(run, theories, EstimatorSettings { 4, 3 }, &*first, &cancel));
}

// The estimate is the mean of the last K reversals (0.3, 0.1 rather than the first
// 0.2, 0.3 in repetition 1), NA below K reversals; the ID's tab becomes a space
// and its quotes are doubled inside quotes. The other estimators follow, NA
// where they give none (R = 2 with one reversal). Repetition 1 of "left" runs
// 0.3+ 0.2− 0.3+ 0.2+ 0.1−: from its 2nd reversal trial the mean is 0.2, and
// its proportions 0/1, 1/2, 2/2 put ψ* = 50 % at 0.2.
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
    EstimatorSettings settings;
    settings.lastReversals = 2;
    settings.firstReversal = 2;
    std::string text = repetitionSummaryText(result, settings);
    // The maximum-likelihood estimates, to within their precision, then masked.
    const double ml[] = { -0.0384925917, 1.2673447642, 0.3166689230, 0.4054987071, 0.45, 0.9809670382 };
    std::size_t line = text.find('\n') + 1;
    for (double expected : ml) {
        const std::size_t end = text.find('\n', line);
        const std::size_t field = text.rfind('\t', end) + 1;
        EXPECT_NEAR(std::stod(text.substr(field, end - field)), expected, 1e-6);
        text.replace(field, end - field, "ml");
        line = text.find('\n', line) + 1;
    }
    EXPECT_EQ(text,
        "repetition\tstaircase\tID\testimate\treversals\ttrials\tstop\testimate_trials\testimate_"
        "cir\testimate_ml\n"
        "1\t0\tleft\xef\xbf\xbd\t0.19999999999999998\t3\t5\treversals\t0.19999999999999998\t0."
        "19999999999999998\tml\n"
        "1\t1\t\"right \"\"side\"\" "
        "\"\t0.49999999999999994\t3\t9\ttrials\t0.5499999999999999\t0.6611111111111111\tml\n"
        "2\t0\tleft\xef\xbf\xbd\t0.30000000000000004\t3\t6\treversals\t0.30000000000000004\t0."
        "30000000000000004\tml\n"
        "2\t1\t\"right \"\"side\"\" \"\t0.1\t4\t8\treversals\t0.02\t0.03333333333333336\tml\n"
        "3\t0\tleft\xef\xbf\xbd\tNA\t1\t6\ttrials\tNA\t0.45\tml\n"
        "3\t1\t\"right \"\"side\"\" \"\t0.25000000000000006\t4\t6\treversals\t0.20000000000000004\t0."
        "23333333333333336\tml\n");
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
