#include "Sweep.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace
{

StaircaseSettings staircase(double start, bool ascending, int n, const char *steps, double negativeStep)
{
    StaircaseSettings s;
    s.startLevel = start;
    s.ascending = ascending;
    s.correctAnswers = n;
    s.maxInversions = 10;
    s.maxTrials = 120;
    s.positiveStepsText = steps;
    s.negativeStep = negativeStep;
    return s;
}

SweepRequest twoStaircases(int repetitions)
{
    SweepRequest request;
    request.base.observer = { 0.0, 1.0, 0.0, 0.0 };
    request.base.staircases = { staircase(3, false, 2, "1,0.5", 0.5), staircase(-3, true, 3, "0.8", 0.4) };
    request.base.repetitions = repetitions;
    return request;
}

SweepResult swept(const SweepRequest &request, unsigned threads = 0)
{
    const Expected<SweepPlan> plan = planSweep(request);
    if (!plan) {
        ADD_FAILURE() << plan.problem().message;
        return {};
    }
    return runSweep(request, *plan, {}, nullptr, threads);
}

void expectSameStats(const RepetitionStats &a, const RepetitionStats &b)
{
    EXPECT_EQ(a.estimates.count, b.estimates.count);
    EXPECT_EQ(a.estimates.mean, b.estimates.mean);
    EXPECT_EQ(a.estimates.sd, b.estimates.sd);
    EXPECT_EQ(a.estimates.rmse, b.estimates.rmse);
    EXPECT_EQ(a.trials->mean, b.trials->mean);
    EXPECT_EQ(a.stoppedOnReversals, b.stoppedOnReversals);
    EXPECT_EQ(a.fewerReversals, b.fewerReversals);
}

} // namespace

TEST(SweepValues, ListsAndRanges)
{
    EXPECT_EQ(*parseSweepValues(" 0.5, 1,2 "), (std::vector<double> { 0.5, 1, 2 }));
    EXPECT_EQ(parseSweepValues("0.25:2:0.25")->size(), 8u);
    EXPECT_EQ(parseSweepValues("0.25:2:0.25")->back(), 2.0);
    // No drift in the last bits: 0.1 + 2 · 0.1 is the 0.3 a person writes.
    EXPECT_EQ(*parseSweepValues("0.1:0.5:0.1"), (std::vector<double> { 0.1, 0.2, 0.3, 0.4, 0.5 }));
    EXPECT_EQ(*parseSweepValues("2:2:1"), (std::vector<double> { 2 }));
    EXPECT_EQ(parseSweepValues("1:200:1")->size(), 200u);
}

TEST(SweepValues, BadListsGetOneMessage)
{
    const struct {
        const char *text;
        const char *message;
    } cases[] = {
        { "",
            "No values are given; give a comma list such as 0.5, 1, 2 or FROM:TO:STEP such as 0.25:2:0.25." },
        { "0.5,,2",
            "\"\" in the values \"0.5,,2\" is not a number; give a comma list such as 0.5, 1, 2 or "
            "FROM:TO:STEP such as 0.25:2:0.25." },
        { "1;2",
            "\"1;2\" in the values \"1;2\" is not a number; give a comma list such as 0.5, 1, 2 or "
            "FROM:TO:STEP such as 0.25:2:0.25." },
        { "1, nan",
            "\"nan\" in the values \"1, nan\" is not a number; give a comma list such as 0.5, 1, 2 or "
            "FROM:TO:STEP such as 0.25:2:0.25." },
        { "1:2",
            "The values \"1:2\" are not a comma list such as 0.5, 1, 2 or FROM:TO:STEP such as "
            "0.25:2:0.25." },
        { "1:2:0", "The step of \"1:2:0\" must be above 0." },
        { "2:1:0.5", "In \"2:1:0.5\" TO must not be below FROM." },
        { "1:201:1", "\"1:201:1\" gives more than 200 values; take a larger step or a shorter range." },
        { "0:1e9:1", "\"0:1e9:1\" gives more than 200 values; take a larger step or a shorter range." },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(problemText(parseSweepValues(c.text)), c.message) << c.text;
    }
    std::string many = "1";
    for (int i = 0; i < 200; ++i)
        many += ",1";
    EXPECT_EQ(problemText(parseSweepValues(many)), "At most 200 values, not 201.");
}

TEST(SweepValues, AxisNames)
{
    const Expected<SweepAxis> one = parseSweepAxis("12:positive-step");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->staircase, 12);
    EXPECT_EQ(one->parameter, SweepParameter::positiveStep);
    EXPECT_EQ(parseSweepAxis("lapse")->staircase, -1);
    for (const char *bad : { "x:start", ":start", "-1:start", "1 :start", "99999999999:start" })
        EXPECT_EQ(parseSweepAxis(bad).problem().message,
            "needs NAME or S:NAME, S a staircase's number, not \"" + std::string(bad) + "\".")
            << bad;
    EXPECT_EQ(parseSweepAxis("0:steps").problem().message.substr(0, 31), "can't vary \"steps\"; it varies s");
}

TEST(Sweep, ApplyingValues)
{
    RunRequest request = twoStaircases(1).base;
    int k = 6;
    // The step scale keeps the classic target: every step, negative too, times the value.
    EXPECT_FALSE(applySweepValue(SweepParameter::stepScale, -1, 0.5, request, k));
    EXPECT_EQ(request.staircases[0].positiveStepsText, "0.5,0.25");
    EXPECT_EQ(request.staircases[0].negativeStep, 0.25);
    EXPECT_EQ(request.staircases[1].positiveStepsText, "0.4");
    EXPECT_FALSE(applySweepValue(SweepParameter::positiveStep, 1, 0.3, request, k));
    EXPECT_EQ(request.staircases[0].positiveStepsText, "0.5,0.25");
    EXPECT_EQ(request.staircases[1].positiveStepsText, "0.3");
    EXPECT_FALSE(applySweepValue(SweepParameter::lastReversals, -1, 4, request, k));
    EXPECT_EQ(k, 4);
    EXPECT_FALSE(applySweepValue(SweepParameter::guess, -1, 0.5, request, k));
    EXPECT_EQ(request.observer.guessRate, 0.5);

    const RunRequest before = request;
    const struct {
        SweepParameter parameter;
        int staircase;
        double value;
        const char *message;
    } refused[] = {
        { SweepParameter::correctAnswers, -1, 2.5,
            "Correct answers (N) takes whole numbers from 1 to 99, not 2.5." },
        { SweepParameter::stepScale, 0, 0, "Step size, target kept takes values above 0, not 0." },
        { SweepParameter::sigma, 1, 2,
            "Standard deviation belongs to the observer, not to one staircase; vary it for every "
            "staircase." },
        { SweepParameter::start, 2, 1, "There is no staircase 2; the experiment's staircases are 0 to 1." },
    };
    for (const auto &r : refused) {
        EXPECT_EQ(problemText(applySweepValue(r.parameter, r.staircase, r.value, request, k)), r.message);
        EXPECT_EQ(request.staircases, before.staircases);
        EXPECT_EQ(request.observer, before.observer);
    }
}

TEST(Sweep, ScaleOneGivesTheUnvariedRun)
{
    SweepRequest request = twoStaircases(300);
    request.axes = { { SweepParameter::stepScale, -1, { 0.5, 1, 2 } } };
    const SweepResult result = swept(request);
    ASSERT_TRUE(result.complete);
    ASSERT_EQ(result.rows.size(), 6u);

    RandomEngine engine(RandomEngine::defaultSeed);
    const RunResult plain = simulate(request.base, engine);
    for (int s = 0; s < 2; ++s) {
        const SweepRow &row = result.rows[2 + std::size_t(s)];
        EXPECT_EQ(row.values, std::vector<double> { 1 });
        const StaircaseTheory theory
            = staircaseTheory(request.base.staircases[std::size_t(s)], request.base.observer);
        expectSameStats(row.stats, repetitionStats(plain, s, theory));
        // The target is kept; the runs differ.
        EXPECT_EQ(result.rows[std::size_t(s)].theory.classic.psi, theory.classic.psi);
        EXPECT_NE(result.rows[std::size_t(s)].stats.estimates.sd, row.stats.estimates.sd);
    }
}

TEST(Sweep, EveryCombinationFromTheSeedWhateverTheThreads)
{
    SweepRequest request = twoStaircases(40);
    request.seed = 7;
    request.axes = { { SweepParameter::correctAnswers, -1, { 2, 3 } },
        { SweepParameter::negativeStep, 1, { 0.2, 0.3, 0.4 } } };
    const SweepResult result = swept(request, 1);
    ASSERT_EQ(result.rows.size(), 12u);
    const double expected[][2] = { { 2, 0.2 }, { 2, 0.3 }, { 2, 0.4 }, { 3, 0.2 }, { 3, 0.3 }, { 3, 0.4 } };
    for (std::size_t p = 0; p < 6; ++p) {
        const SweepRow &first = result.rows[2 * p];
        const SweepRow &second = result.rows[2 * p + 1];
        EXPECT_EQ(first.values, (std::vector<double> { expected[p][0], expected[p][1] }));
        EXPECT_EQ(first.settings.correctAnswers, expected[p][0]);
        EXPECT_EQ(second.settings.correctAnswers, expected[p][0]);
        EXPECT_EQ(first.settings.negativeStep, 0.5); // staircase 1 only
        EXPECT_EQ(second.settings.negativeStep, expected[p][1]);
    }
    // The last combination alone, from the same seed, is the same run.
    SweepRequest last = twoStaircases(40);
    last.seed = 7;
    last.base.staircases[0].correctAnswers = last.base.staircases[1].correctAnswers = 3;
    last.base.staircases[1].negativeStep = 0.4;
    expectSameStats(swept(last).rows[1].stats, result.rows[11].stats);

    EXPECT_EQ(sweepStatsText(swept(request, 2)), sweepStatsText(result));
}

TEST(Sweep, StatsTable)
{
    SweepRequest request = twoStaircases(5);
    nameStaircases(request.base.staircases, { "left \"a\"", "right" });
    request.axes = { { SweepParameter::maxTrials, 0, { 3, 50 } } };
    const std::string text = sweepStatsText(swept(request));
    const std::string header
        = "0:max-trials\tseed\tlast_reversals\trepetitions\tstaircase\tid\testimator\tpsi_star\t"
          "x_star\tcount\tmean\tmean_lo\tmean_hi\tbias\tsd\tsd_lo\tsd_hi\tse\tq025\tq975\t"
          "rmse\trmse_lo\trmse_hi\tmean_trials\tsweat\tsweat_lo\tsweat_hi\tstopped_reversals\t"
          "stopped_trials\tstopped_clamp\tfewer_reversals\tdirection\tstart_level\t"
          "correct_answers\tmax_reversals\tmax_trials\tpositive_steps\tnegative_step\t"
          "clamp_lower\tclamp_upper\tmax_clamp_hits\tobserver_mean\tobserver_sd\tguess_rate\t"
          "lapse_rate\n";
    ASSERT_EQ(text.substr(0, header.size()), header);
    // Three trials give no reversal, so no estimate: NA, and every repetition stopped on trials.
    const std::string first = text.substr(header.size(), text.find('\n', header.size()) + 1 - header.size());
    EXPECT_EQ(first,
        "3\t5489\t6\t5\t0\t\"left "
        "\"\"a\"\"\"\treversals\t0.7071067811865476\t0.5449521356173606\t0\tNA\tNA\tNA\t"
        "NA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\t3\tNA\tNA\tNA\t0\t5\t0\t5\tdescending\t3\t2\t10\t3\t1,0.5\t"
        "0.5\tNA\tNA\tNA\t0\t1\t0\t0\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

TEST(Sweep, PlanRefusesWhatStartRefuses)
{
    SweepRequest request = twoStaircases(5);
    request.axes = { { SweepParameter::guess, -1, { 0.5 } }, { SweepParameter::lapse, -1, { 0.2, 0.5 } } };
    const std::string problem = problemText(planSweep(request));
    EXPECT_EQ(
        problem.rfind("With guess=0.5, lapse=0.5: The guess rate (0.5) and the lapse rate (0.5) add up", 0),
        0u)
        << problem;
}

// The exact values alone: each row's are those of its own chain for its own K,
// though rows of the same settings share one chain, and nothing simulated shows.
TEST(Sweep, ExactSweepIsEachRowsOwnChain)
{
    SweepRequest request = twoStaircases(1);
    request.axes = { { SweepParameter::lastReversals, -1, { 2, 5 } },
        { SweepParameter::correctAnswers, 1, { 2, 3 } } };
    const Expected<SweepPlan> plan = planSweep(request);
    ASSERT_TRUE(plan) << plan.problem().message;
    const SweepResult result = exactSweep(request, *plan);
    ASSERT_TRUE(result.complete);
    ASSERT_EQ(result.rows.size(), 8u);
    for (const SweepRow &row : result.rows) {
        const int k = row.stats.lastReversals;
        const ExactRun alone = exactRun(row.settings, row.observer, row.theory, k);
        ASSERT_TRUE(row.exact);
        EXPECT_EQ(exactStatsFields(&*row.exact, k), exactStatsFields(&alone, k));
    }
    EXPECT_EQ(result.rows[4].stats.lastReversals, 5);
    const std::string text = sweepStatsText(result);
    // The axes, seed, K, no repetitions, staircase 0; no zero counts of sessions not run.
    const std::string first = "2\t2\t5489\t2\t0\t0\t0\treversals\t";
    EXPECT_EQ(text.substr(text.find('\n') + 1, first.size()), first);
    EXPECT_EQ(text.find("\t0\t0\t0\t0\t"), std::string::npos);
}
