#include "ExactRun.h"

#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "Run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace
{

StaircaseSettings staircase(bool ascending, int n, const char *steps, double negativeStep, int maxReversals,
    int maxTrials, double start)
{
    StaircaseSettings s;
    s.startLevel = start;
    s.ascending = ascending;
    s.correctAnswers = n;
    s.positiveStepsText = steps;
    s.negativeStep = negativeStep;
    s.maxInversions = maxReversals;
    s.maxTrials = maxTrials;
    return s;
}

ExactRun exact(const StaircaseSettings &s, const ObserverSettings &o, int k, const ExactControl &control = {})
{
    return exactRun(s, o, staircaseTheory(s, o), k, control);
}

void expectClose(double actual, double expected, const char *what)
{
    EXPECT_NEAR(actual, expected, 1e-9 * std::max(std::abs(expected), 1e-3)) << what;
}

} // namespace

// Reference values from an independent computation that replays the
// staircase's step rules literally (its response window, last direction and
// reversal count) on every response sequence, merging identical states.
TEST(ExactRun, MatchesTheLiteralReplayOfEveryResponseSequence)
{
    struct Estimate {
        double p, mean, sd;
    };
    struct Case {
        const char *name;
        StaircaseSettings staircase;
        ObserverSettings observer; // μ, σ, λ, γ
        double pStopReversals, pStopTrials, meanTrials, sdTrials;
        std::vector<Estimate> estimates; // K = 1, 2, ...
    };
    const Case cases[] = {
        { "descending 1-up/1-down, yes/no", staircase(false, 1, "0.5", 0.5, 6, 20, 1.0),
            { 0.0, 1.0, 0.0, 0.0 }, 0.99763226435455221, 0.0023677356454429224, 11.605965599185597,
            2.4617990245583865,
            { { 1, 0.33108641414778223, 0.59421930701265846 },
                { 0.99999999999982403, 0.055564032360944975, 0.46568209490718765 },
                { 0.99999983497308564, 0.16928045297056338, 0.43634166305129551 },
                { 0.99998217119808896, 0.099008985383297554, 0.40862880187799305 } } },
        { "2-down with steps 1,0.5,0.25, 2AFC with lapses",
            staircase(false, 2, "1,0.5,0.25", 0.25, 8, 22, 2.0), { 0.0, 1.0, 0.02, 0.5 }, 0.20775289298352573,
            0.79224710701634948, 21.571198901318979, 1.191336229175882,
            { { 0.99999854238348473, -1.1341017752938722, 1.5228442123667947 },
                { 0.99264541027447983, -1.1134567422262613, 1.3993684750371047 },
                { 0.98352001268609646, -1.1410396171166555, 1.4158951712320709 },
                { 0.90809067612344596, -1.0112305399770187, 1.2652027229447711 },
                { 0.82523036356571133, -0.97213737009658863, 1.2404720187876588 },
                { 0.60815279648732312, -0.72554033216332725, 1.0392870842399369 } } },
        { "ascending 3-up, unequal steps", staircase(true, 3, "0.3", 0.2, 5, 24, -1.0),
            { 0.5, 1.5, 0.02, 0.0 }, 0.702646961444921, 0.29735303855507583, 20.010793660176098,
            3.9305809373407543,
            { { 0.99999999999999978, -0.28421193363309816, 0.54494982229155342 },
                { 0.99079132729262076, -0.38494064616551371, 0.42680351253015264 } } },
        { "4-down, the trial limit binds", staircase(false, 4, "0.4", 0.4, 9, 18, 0.4),
            { 0.0, 1.0, 0.0, 0.5 }, 0, 0.99999999999999789, 17.999999999999961, 3.9079850466805466e-14,
            { { 0.99998121651982796, -0.0067942744355338784, 0.93908688908907345 },
                { 0.9159750155301174, 0.11301183135366073, 0.57224403794072964 },
                { 0.75558298688502101, 0.041366789186977303, 0.59468475399744392 },
                { 0.39232178388008859, 0.21853757384289377, 0.41490706602568095 },
                { 0.16957367056279551, 0.17420474214392134, 0.43855999022410391 },
                { 0.02402297144321295, 0.39810156770934774, 0.29045495881495081 },
                { 0.002254411605680887, 0.31131518186314416, 0.28263590884751566 },
                { 3.5410633973973025e-05, 0.60000000000000009, 0 } } },
        { "ascending 2-up with steps 1,0.5,0.25, 2AFC", staircase(true, 2, "1,0.5,0.25", 0.5, 7, 20, -2.0),
            { 0.0, 1.0, 0.02, 0.5 }, 0.23225568916508388, 0.76774431083490435, 19.413099722343198,
            1.4804307592700559,
            { { 0.99999901816509185, -3.4736522300195625, 1.6180022706858315 },
                { 0.98124936499298565, -3.4328901110156615, 1.3494545882040014 },
                { 0.94187828085896219, -3.0476090622525658, 1.2356570948277932 },
                { 0.82391495205524046, -2.9591858764636667, 1.0875715218720454 },
                { 0.64918720837167943, -2.6980808383759025, 1.0152099094516636 } } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int k = int(c.estimates.size());
        const ExactRun run = exact(c.staircase, c.observer, k);
        ASSERT_EQ(run.status, ExactStatus::computed);
        expectClose(run.pStopReversals, c.pStopReversals, "P(stop on reversals)");
        expectClose(run.pStopTrials, c.pStopTrials, "P(stop on trials)");
        expectClose(run.meanTrials, c.meanTrials, "mean trials");
        expectClose(run.sdTrials, c.sdTrials, "SD of trials");
        for (int j = 1; j <= k; ++j) {
            SCOPED_TRACE("K = " + std::to_string(j));
            const ExactEstimate *e = run.estimate(j);
            ASSERT_TRUE(e && e->mean && e->sd);
            expectClose(e->pEstimate, c.estimates[std::size_t(j - 1)].p, "P(an estimate)");
            expectClose(*e->mean, c.estimates[std::size_t(j - 1)].mean, "mean");
            // The variance, not the SD: an SD of 0 comes out as the root of rounding noise.
            expectClose(*e->sd * *e->sd, std::pow(c.estimates[std::size_t(j - 1)].sd, 2), "variance");
        }
    }
}

// Start at 0, one answer steps by 1 (1-up/1-down), M = 1, T = 2: the second
// trial ends the session, on a reversal when its answer turns the first move.
TEST(ExactRun, TwoTrialChainWorkedByHand)
{
    const ObserverSettings o { 0.0, 1.0, 0.0, 0.0 };
    const PsychometricObserver psi(o);
    const double p0 = psi.probability(0.0), pDown = psi.probability(-1.0), pUp = psi.probability(1.0);
    const double reversalAtDown = p0 * (1.0 - pDown), reversalAtUp = (1.0 - p0) * pUp;
    const StaircaseSettings s = staircase(false, 1, "1", 1.0, 1, 2, 0.0);

    const ExactRun run = exact(s, o, 1);
    ASSERT_EQ(run.status, ExactStatus::computed);
    expectClose(run.pStopReversals, reversalAtDown + reversalAtUp, "P(stop on reversals)");
    expectClose(run.pStopTrials, 1.0 - reversalAtDown - reversalAtUp, "P(stop on trials)");
    EXPECT_EQ(run.trialsDistribution, (std::vector<double> { 0.0, 0.0, 1.0 }));
    EXPECT_EQ(run.sdTrials, 0.0);
    const ExactEstimate &e = *run.estimate(1);
    const double p = reversalAtDown + reversalAtUp;
    const double mean = (reversalAtUp - reversalAtDown) / p;
    expectClose(e.pEstimate, p, "P(an estimate)");
    expectClose(*e.mean, mean, "mean");
    expectClose(*e.sd, std::sqrt(1.0 - mean * mean), "SD");
    expectClose(*e.bias, mean - 0.0, "bias against x* = 0");
    expectClose(*e.rmse, 1.0, "RMSE: every reversal is 1 from x*");
    EXPECT_EQ(run.gridLevels, 3);
}

// With K = M = 1 the estimate is the first reversal's level. Before it every
// answer moves the level, so the first reversal comes where the first move's
// direction first turns: a product of answer probabilities along a straight path.
TEST(ExactRun, OneReversalIsTheFirstReversalLevel)
{
    const ObserverSettings o { 0.3, 1.2, 0.02, 0.5 };
    const PsychometricObserver psi(o);
    for (bool ascending : { false, true }) {
        SCOPED_TRACE(ascending ? "ascending" : "descending");
        const double start = 1.0, u = 0.5, d = 0.25;
        const StaircaseSettings s = staircase(ascending, 3, "0.5", d, 1, 100000, start);
        // Driving answers move the level by u towards lower ψ-driving levels; the other answer by d.
        const auto driving
            = [&](double x) { return ascending ? 1.0 - psi.probability(x) : psi.probability(x); };
        const double sign = ascending ? -1.0 : 1.0;
        double p = 0.0, sum = 0.0;
        for (const auto &[first, stepSize] : { std::pair { true, u }, std::pair { false, d } }) {
            double x = start, path = first ? driving(start) : 1.0 - driving(start);
            for (int i = 1; i < 1000 && path > 1e-300; ++i) {
                x += first ? -sign * stepSize : sign * stepSize;
                const double turn = first ? 1.0 - driving(x) : driving(x);
                p += path * turn;
                sum += path * turn * x;
                path *= 1.0 - turn;
            }
        }
        const ExactRun run = exact(s, o, 1);
        ASSERT_EQ(run.status, ExactStatus::computed);
        expectClose(run.estimate(1)->pEstimate, p, "P(a reversal)");
        expectClose(*run.estimate(1)->mean, sum / p, "mean first reversal level");
    }
}

// A moderate seeded run agrees with the exact values within 3 of its standard
// errors; the standard error of an SD uses the fourth central moment.
TEST(ExactRun, SeededSimulationAgreesWithinItsStandardErrors)
{
    const ObserverSettings o { 0.0, 1.0, 0.02, 0.5 };
    const StaircaseSettings s = staircase(false, 3, "0.5,0.25", 0.25, 10, 60, 2.0);
    const int k = 6;
    const ExactRun run = exact(s, o, k);
    ASSERT_EQ(run.status, ExactStatus::computed);
    expectClose(run.pStopReversals + run.pStopTrials, 1.0, "stop shares");
    expectClose(std::accumulate(run.trialsDistribution.begin(), run.trialsDistribution.end(), 0.0), 1.0,
        "trials distribution");
    EXPECT_LT(run.neglectedMass, 1e-12);
    EXPECT_GT(run.pStopTrials, 0.05) << "the trial limit should bind sometimes";

    RunRequest request;
    request.observer = o;
    request.staircases = { s };
    request.repetitions = 20000;
    RandomEngine engine(20261209);
    const RunResult result = simulate(request, engine);
    const std::vector<double> estimates = repetitionEstimates(result, 0, k);
    const double n = double(estimates.size());
    double mean = 0.0;
    for (double e : estimates)
        mean += e / n;
    double m2 = 0.0, m4 = 0.0;
    for (double e : estimates) {
        m2 += (e - mean) * (e - mean) / n;
        m4 += std::pow(e - mean, 4) / n;
    }
    const ExactEstimate &e = *run.estimate(k);
    const double repetitions = request.repetitions;
    EXPECT_NEAR(n / repetitions, e.pEstimate, 3 * std::sqrt(e.pEstimate * (1 - e.pEstimate) / repetitions));
    EXPECT_NEAR(mean, *e.mean, 3 * std::sqrt(m2 / n));
    EXPECT_NEAR(std::sqrt(m2), *e.sd, 3 * std::sqrt((m4 - m2 * m2) / (4 * m2 * n)));
    double onReversals = 0.0, trials = 0.0;
    for (int r = 0; r < result.repetitionCount(); ++r) {
        onReversals += result.outcome(r, 0).stop == StopReason::maxReversals ? 1.0 : 0.0;
        trials += result.outcome(r, 0).trials;
    }
    const double share = run.pStopReversals;
    EXPECT_NEAR(onReversals / repetitions, share, 3 * std::sqrt(share * (1 - share) / repetitions));
    EXPECT_NEAR(trials / repetitions, run.meanTrials, 3 * run.sdTrials / std::sqrt(repetitions));
}

TEST(ExactRun, NotComputedSaysWhy)
{
    const ObserverSettings o { 0.0, 1.0, 0.0, 0.0 };
    StaircaseSettings clamped = staircase(false, 2, "0.5", 0.5, 8, 50, 1.0);
    clamped.clampActive = true;
    // d / u = π: no grid of at most 100000 units holds both to 1e-9.
    const StaircaseSettings noGrid = staircase(false, 2, "1", 3.141592653589793, 8, 50, 1.0);
    const StaircaseSettings small = staircase(false, 2, "0.5", 0.5, 8, 50, 1.0);
    ExactControl tight;
    tight.stateTrialBudget = 100;
    struct Case {
        const char *name;
        StaircaseSettings staircase;
        ExactControl control;
        ExactStatus status;
        const char *statusName;
    };
    for (const Case &c : { Case { "clamps on", clamped, {}, ExactStatus::clamped, "clamped" },
             Case { "no common grid", noGrid, {}, ExactStatus::noGrid, "no-grid" },
             Case { "over the budget", small, tight, ExactStatus::overBudget, "over-budget" } }) {
        SCOPED_TRACE(c.name);
        const ExactRun run = exact(c.staircase, o, 3, c.control);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.estimate(3), nullptr);
        std::vector<std::string> expected(exactStatsColumns().size() - 1, "NA");
        expected.push_back(c.statusName);
        EXPECT_EQ(exactStatsFields(&run, 3), expected);
    }
    EXPECT_EQ(exact(small, o, 3).status, ExactStatus::computed);
}

// A chain far over the budget is refused before its first trial, not after a
// second of work; the hard case of bench_exact, under it, is still computed.
TEST(ExactRun, FarOverTheBudgetIsRefusedBeforeAnyTrial)
{
    const ObserverSettings o { 0.0, 1.0, 0.0, 0.0 };
    int calls = 0;
    ExactControl control;
    control.progress = [&](double) { ++calls; };
    const ExactRun refused = exact(staircase(false, 2, "0.01", 0.01, 20000, 999999, 2.0), o, 6, control);
    EXPECT_EQ(refused.status, ExactStatus::overBudget);
    EXPECT_EQ(refused.stateTrials, 0u);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(
        exact(staircase(false, 4, "0.02", 0.02, 30, 600, 2.0), o, 10, control).status, ExactStatus::computed);
}

TEST(ExactRun, CancelStopsAfterTheTrialUnderWay)
{
    const ObserverSettings o { 0.0, 1.0, 0.0, 0.0 };
    std::atomic<bool> cancel { false };
    int calls = 0;
    ExactControl control;
    control.cancel = &cancel;
    control.progress = [&](double share) {
        ++calls;
        EXPECT_DOUBLE_EQ(share, 1.0 / 600.0);
        cancel = true;
    };
    const ExactRun run = exact(staircase(false, 4, "0.02", 0.02, 30, 600, 2.0), o, 10, control);
    EXPECT_EQ(run.status, ExactStatus::cancelled);
    EXPECT_EQ(calls, 1);
}

TEST(ExactRun, DistanceInStandardErrors)
{
    EXPECT_DOUBLE_EQ(*standardErrorsFrom(0.55, 0.5, 0.025), 2.0);
    EXPECT_DOUBLE_EQ(*standardErrorsFrom(0.45, 0.5, 0.025), -2.0);
    EXPECT_FALSE(standardErrorsFrom(0.5, 0.5, 0.0)); // no spread: no distance
    EXPECT_FALSE(standardErrorsFrom(0.5, 0.5, std::nan("")));
    EXPECT_DOUBLE_EQ(shareStandardError(0.2, 100), 0.04);
    EXPECT_DOUBLE_EQ(shareStandardError(0.2, 0), 0.0);
    EXPECT_DOUBLE_EQ(sdStandardError(3.0, 51), 0.3);
    EXPECT_DOUBLE_EQ(sdStandardError(3.0, 1), 0.0);
    EXPECT_NEAR(intervalStandardError(1.0, 1.0 + 2 * 1.96), 1.0, 1e-4);
}
