#include "Run.h"
#include "RandomEngine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

// Two experiments whose trials were recorded from the window's run before the
// run moved into the engine: three clamped staircases that differ in every
// setting over 5 repetitions, and one 1-up/3-down staircase over 200.
RunRequest threeClampedStaircases()
{
    RunRequest request;
    request.observer = { 0.5, 2.0, 0.01, 0.25 };
    StaircaseSettings a;
    a.startLevel = 4;
    a.ascending = false;
    a.correctAnswers = 2;
    a.maxInversions = 8;
    a.maxTrials = 50;
    a.positiveStepsText = "1,0.5";
    a.negativeStep = 0.25;
    a.clampActive = true;
    a.lowerClamp = -3;
    a.upperClamp = 5;
    a.maxClampHits = 2;
    StaircaseSettings b = a;
    b.startLevel = -2.5;
    b.ascending = true;
    b.correctAnswers = 3;
    b.maxInversions = 10;
    b.maxTrials = 60;
    b.positiveStepsText = "2,1";
    StaircaseSettings c = a;
    c.startLevel = 0;
    c.correctAnswers = 1;
    c.maxInversions = 12;
    c.maxTrials = 70;
    c.positiveStepsText = "4";
    c.clampActive = false;
    request.staircases = { a, b, c };
    request.staircaseIds = { "0", "1", "2" };
    request.repetitions = 5;
    return request;
}

RunRequest oneUpThreeDown()
{
    RunRequest request;
    request.observer = { 0.0, 1.0, 0.02, 0.5 };
    StaircaseSettings a;
    a.startLevel = 3;
    a.ascending = false;
    a.correctAnswers = 3;
    a.maxInversions = 14;
    a.maxTrials = 1000;
    a.positiveStepsText = "0.5,0.25";
    a.negativeStep = 0.25;
    request.staircases = { a };
    request.staircaseIds = { "0" };
    request.repetitions = 200;
    return request;
}

std::uint64_t fnv(std::uint64_t h, const void *data, std::size_t n)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (std::size_t i = 0; i < n; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

constexpr std::uint64_t fnvStart = 1469598103934665603ull;

// The digest the old window arrays gave: id, trial number, steps, reversals, level, answer.
std::uint64_t trialDigest(const RunResult &result)
{
    std::uint64_t h = fnvStart;
    for (std::size_t k = 0; k < result.trialCount(); ++k) {
        const TrialRecord &t = result.trial(k);
        const std::int32_t counts[4]
            = { t.staircase, std::int32_t(k), std::int32_t(t.staircaseTrial), std::int32_t(t.reversals) };
        h = fnv(h, counts, sizeof counts);
        h = fnv(h, &t.level, sizeof t.level);
        const char answer = t.response;
        h = fnv(h, &answer, 1);
    }
    return h;
}

std::uint64_t mapDigest(const std::map<int, std::map<int, double>> &levels)
{
    std::uint64_t h = fnvStart;
    for (const auto &[id, byCount] : levels)
        for (const auto &[count, level] : byCount) {
            const std::int32_t keys[2] = { id, count };
            h = fnv(h, keys, sizeof keys);
            h = fnv(h, &level, sizeof level);
        }
    return h;
}

} // namespace

TEST(Run, ReproducesTheRecordedTrialsAndReversalMap)
{
    struct Case {
        const char *name;
        RunRequest request;
        std::size_t trials;
        std::uint64_t digest, map;
        std::uint32_t nextWord;
    };
    const Case cases[] = {
        { "three clamped", threeClampedStaircases(), 566, 0x71205015f874f32bull, 0xccbe53bfadf36c55ull,
            1155622524u },
        { "1-up/3-down", oneUpThreeDown(), 13643, 0x58307b6444af5728ull, 0x4542c9346ed6b3e2ull, 486322799u },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RandomEngine engine;
        const RunResult result = simulate(c.request, engine);
        EXPECT_TRUE(result.isComplete());
        EXPECT_EQ(result.repetitionCount(), c.request.repetitions);
        EXPECT_EQ(result.trialCount(), c.trials);
        EXPECT_EQ(trialDigest(result), c.digest);
        EXPECT_EQ(mapDigest(lastReversalLevels(result)), c.map);
        EXPECT_EQ(engine.nextWord(), c.nextWord);
    }
    static_assert(sizeof(TrialRecord) == 24, "a trial record stays compact");
}

// Each repetition's reversal list holds the levels of the trials after which the
// staircase's count went up, in order; its trial count and stop reason match its trials.
TEST(Run, OutcomesAgreeWithTheTrials)
{
    RunRequest request = threeClampedStaircases();
    request.staircases[0].lowerClamp = 2.5; // both well inside their tracks
    request.staircases[1].upperClamp = -1.0;
    request.repetitions = 20;
    RandomEngine engine;
    const RunResult result = simulate(request, engine);
    const int n = result.staircaseCount();
    std::vector<std::vector<std::vector<const TrialRecord *>>> byStaircase(
        std::size_t(result.repetitionCount()), std::vector<std::vector<const TrialRecord *>>(std::size_t(n)));
    for (std::size_t k = 0; k < result.trialCount(); ++k) {
        const TrialRecord &t = result.trial(k);
        byStaircase[t.repetition][t.staircase].push_back(&t);
    }
    int stops[3] = {};
    for (int r = 0; r < result.repetitionCount(); ++r)
        for (int s = 0; s < n; ++s) {
            const auto &trials = byStaircase[std::size_t(r)][std::size_t(s)];
            const StaircaseOutcome &o = result.outcome(r, s);
            const StaircaseSettings &settings = result.request().staircases[std::size_t(s)];
            ASSERT_EQ(o.trials, trials.size());
            EXPECT_EQ(o.lastLevel, trials.back()->level);
            std::vector<double> expected;
            for (std::size_t i = 0; i + 1 < trials.size(); ++i)
                if (trials[i + 1]->reversals > trials[i]->reversals)
                    expected.push_back(trials[i]->level);
            if (o.reversalCount > trials.back()->reversals)
                expected.push_back(trials.back()->level);
            EXPECT_EQ(o.endedOnReversal, o.reversalCount > trials.back()->reversals);
            EXPECT_EQ(std::vector<double>(result.reversalLevelsBegin(r, s), result.reversalLevelsEnd(r, s)),
                expected);
            if (o.stop == StopReason::maxReversals) {
                EXPECT_EQ(int(o.reversalCount), settings.maxInversions);
            } else if (o.stop == StopReason::maxTrials) {
                EXPECT_EQ(int(o.trials), settings.maxTrials);
            }
            ++stops[int(o.stop)];
        }
    // The Analysis lists' map: the last level recorded under each (staircase, count), trial by trial.
    std::map<int, std::map<int, double>> lastWritten;
    for (std::size_t k = 0; k < result.trialCount(); ++k)
        lastWritten[result.trial(k).staircase][int(result.trial(k).reversals)] = result.trial(k).level;
    EXPECT_EQ(lastReversalLevels(result), lastWritten);
    // The experiment reaches every kind of stop.
    EXPECT_GT(stops[0], 0);
    EXPECT_GT(stops[1], 0);
    EXPECT_GT(stops[2], 0);
}

TEST(Run, CancelStopsEarlyWithAnIncompleteResult)
{
    RunRequest request = oneUpThreeDown();
    request.repetitions = 100000;
    std::atomic<bool> cancel { false };
    std::size_t reported = 0;
    RandomEngine engine;
    const RunResult result = simulate(
        request, engine,
        [&](const RunProgress &p) {
            reported = p.trials;
            if (p.repetitions >= 10)
                cancel = true;
        },
        &cancel);
    EXPECT_FALSE(result.isComplete());
    // It stops at the first look at the flag after the request, a few thousand trials later.
    EXPECT_GE(result.repetitionCount(), 10);
    EXPECT_GT(reported, 0u);
    EXPECT_LE(result.trialCount(), reported + (1u << 14));
}

TEST(Run, RefusesWhatCannotRun)
{
    struct Case {
        const char *name;
        void (*change)(RunRequest &);
        const char *message;
    };
    const Case cases[] = {
        { "runnable", [](RunRequest &) {}, "" },
        { "falling function", [](RunRequest &r) { r.observer.guessRate = 0.5, r.observer.lapseRate = 0.5; },
            "The guess rate (0.5) and the lapse rate (0.5) add up to 1 or more, so the psychometric function "
            "would not rise with the level. Their sum must stay below 1.\nThe simulation was not started." },
        { "bad step", [](RunRequest &r) { r.staircases[2].positiveStepsText = "1,x"; },
            "Staircase 2: the positive step size \"x\" is not a number. Enter one step size per reversal, "
            "separated by commas, e.g. 1,0.5,0.2\nThe simulation was not started." },
        { "tab in id", [](RunRequest &r) { r.staircaseIds[1] = "a\tb"; },
            "Staircase 1: its string ID holds a tab or a line break, which would break the rows of the "
            "results "
            "table and its export. Remove it from the string ID.\nThe simulation was not started." },
    };
    for (const Case &c : cases) {
        RunRequest request = threeClampedStaircases();
        c.change(request);
        EXPECT_EQ(runProblem(request), c.message) << c.name;
    }
}
