#include "Run.h"
#include "AddressSpaceLimit.h"
#include "EngineTestSupport.h"
#include "ExperimentFile.h"
#include "ParametersLoader.h"
#include "RandomEngine.h"
#include "Reporting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

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
        EXPECT_EQ(mapDigest(lastLevelsByReversalCount(result)), c.map);
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
        byStaircase[std::size_t(t.repetitionIndex())][t.staircase].push_back(&t);
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
    // The trials marked as reversals are exactly those whose levels the reversal lists hold.
    std::vector<std::vector<double>> flagged(std::size_t(result.repetitionCount() * n));
    for (std::size_t k = 0; k < result.trialCount(); ++k)
        if (result.trial(k).reversal)
            flagged[std::size_t(result.trial(k).repetitionIndex() * n + result.trial(k).staircase)].push_back(
                result.trial(k).level);
    for (int r = 0; r < result.repetitionCount(); ++r)
        for (int s = 0; s < n; ++s)
            EXPECT_EQ(flagged[std::size_t(r * n + s)],
                std::vector<double>(result.reversalLevelsBegin(r, s), result.reversalLevelsEnd(r, s)));
    // The Analysis lists' map: the last level recorded under each (staircase, count), trial by trial.
    std::map<int, std::map<int, double>> lastWritten;
    for (std::size_t k = 0; k < result.trialCount(); ++k)
        lastWritten[result.trial(k).staircase][int(result.trial(k).reversals)] = result.trial(k).level;
    EXPECT_EQ(lastLevelsByReversalCount(result), lastWritten);
    // The experiment reaches every kind of stop.
    EXPECT_GT(stops[0], 0);
    EXPECT_GT(stops[1], 0);
    EXPECT_GT(stops[2], 0);
}

// A run reserves its most trials at once, so even a long one lies in one array;
// a recorder given no such bound keeps 64K-trial blocks.
TEST(Run, TrialsLieInOneArrayWhenTheirMaximumIsKnown)
{
    RunRequest request = oneUpThreeDown();
    request.repetitions = 2000;
    RandomEngine engine;
    const RunResult result = simulate(request, engine);
    ASSERT_GT(result.trialCount(), std::size_t(1) << 16);
    ASSERT_NE(result.contiguousTrials(), nullptr);
    EXPECT_EQ(&result.trial(result.trialCount() - 1), result.contiguousTrials() + result.trialCount() - 1);

    RunResult blocks(request);
    RunRecorder recorder(blocks);
    for (std::size_t k = 0; k < result.trialCount(); ++k)
        recorder.record(result.trial(k));
    EXPECT_EQ(blocks.contiguousTrials(), nullptr);
    EXPECT_EQ(blocks.trial(70000).level, result.trial(70000).level);
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

// Reports count the repetitions finished before the trial reported last, and the last report is the whole
// run.
TEST(Run, ProgressCountsFinishedRepetitions)
{
    RunRequest request = oneUpThreeDown();
    request.repetitions = 1000;
    std::vector<RunProgress> reports;
    RandomEngine engine;
    const RunResult result = simulate(request, engine, [&](const RunProgress &p) { reports.push_back(p); });
    ASSERT_GT(reports.size(), 2u);
    for (std::size_t i = 0; i + 1 < reports.size(); ++i)
        EXPECT_EQ(reports[i].repetitions, result.trial(reports[i].trials - 1).repetitionIndex());
    EXPECT_EQ(reports.back().trials, result.trialCount());
    EXPECT_EQ(reports.back().repetitions, 1000);
}

// A staircase's message comes once per run, not once per repetition.
TEST(Run, ReportsEachMessageOncePerRun)
{
    RunRequest request = oneUpThreeDown();
    request.staircases[0].positiveStepsText = "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1"; // 15 sizes, 14 reversals
    request.repetitions = 3;
    std::vector<std::string> messages;
    const ReportScope scope([&](const std::string &m) { messages.push_back(m); });
    RandomEngine engine;
    simulate(request, engine);
    simulate(request, engine);
    const std::string tooMany
        = "Error: Staircase 0 has more reversal step size than number of allowed inversion, something wrong!";
    EXPECT_EQ(messages, std::vector<std::string>(2, tooMany));
}

TEST(Run, RefusesWhatCannotRun)
{
    const std::string notStarted = "\nThe simulation was not started.";
    const std::string example
        = " Enter one step size per pair of reversals, separated by commas, e.g. 1,0.5,0.2";
    const auto notANumber = [&](const std::string &token) {
        return "Staircase 1: the positive step size \"" + token + "\" is not a number." + example
            + notStarted;
    };
    const std::string none = "Staircase 1: no positive step size is given." + example + notStarted;
    const auto blanked = [&](const std::string &token) {
        return "Staircase 1: the positive step size \"" + token
            + "\" has blanks around it. Blanks after commas are not allowed." + example + notStarted;
    };
    struct Case {
        const char *steps;
        bool clamp;
        double lower, upper;
        std::string message;
    };
    const Case staircases[]
        = { { "1,0.5", false, 0, 0, "" }, { "", false, 0, 0, none }, { " \n\t", false, 0, 0, none },
              { ",, ,", false, 0, 0, blanked(" ") }, { "1, 0.5, 0.2", false, 0, 0, blanked(" 0.5") },
              { "1, 0.5, abc", false, 0, 0,
                  "Staircase 1: the positive step size \"abc\" is not a number. Blanks after commas are not "
                  "allowed."
                      + example + notStarted },
              { "1;0.5", false, 0, 0, notANumber("1;0.5") }, { "1,nan", false, 0, 0, notANumber("nan") },
              { "1", true, 5, 5,
                  "Staircase 1: the lower clamp (5) must be below the upper clamp (5)." + notStarted },
              { "1", true, 2.5, -1,
                  "Staircase 1: the lower clamp (2.5) must be below the upper clamp (-1)." + notStarted },
              { "1", false, 2.5, -1, "" } };
    for (const Case &c : staircases) {
        RunRequest request = threeClampedStaircases();
        request.staircases[1].positiveStepsText = c.steps;
        request.staircases[1].clampActive = c.clamp;
        request.staircases[1].lowerClamp = c.lower;
        request.staircases[1].upperClamp = c.upper;
        request.staircases[2].positiveStepsText = ""; // only the first problem is named
        const std::string laterOne = "Staircase 2: no positive step size is given." + example + notStarted;
        EXPECT_EQ(problemText(runProblem(request)), c.message.empty() ? laterOne : c.message) << c.steps;
    }

    RunRequest request = threeClampedStaircases();
    EXPECT_FALSE(runProblem(request));
    for (const char *id : { "a\tb", "a\rb", "a\nb" }) {
        request = threeClampedStaircases();
        nameStaircases(request.staircases, { "0", id });
        EXPECT_EQ(problemText(runProblem(request)),
            "Staircase 1: its string ID holds a tab or a line break, which would break the rows of the "
            "results "
            "table and its export. Remove it from the string ID."
                + notStarted);
    }
    request = threeClampedStaircases();
    request.staircases.resize(100);
    EXPECT_EQ(
        problemText(runProblem(request)), "An experiment needs between 1 and 99 staircases." + notStarted);
    request.staircases.resize(99);
    request.repetitions = 0;
    EXPECT_EQ(problemText(runProblem(request)), "An experiment needs at least one repetition." + notStarted);
    request = threeClampedStaircases();
    request.observer.guessRate = 0.6; // written as the fields show it, not as 0.59999999999999998
    request.observer.lapseRate = 0.4;
    EXPECT_EQ(problemText(runProblem(request)),
        "The guess rate (0.6) and the lapse rate (0.4) add up to 1 or more, so the psychometric function "
        "would not rise with the level. Their sum must stay below 1."
            + notStarted);

    // Values no field holds, as a request built in code may have them.
    request = threeClampedStaircases();
    request.observer.standardDeviation = std::nan("");
    EXPECT_EQ(problemText(settingsProblem(request)),
        "The observer's \"Standard deviation\" is nan, outside its range 0.001 to 100000.");
    request = threeClampedStaircases();
    request.observer.guessRate = -0.5;
    EXPECT_EQ(problemText(runProblem(request)),
        "The observer's \"Guess rate\" is -0.5, outside its range 0 to 1." + notStarted);
    request = threeClampedStaircases();
    request.staircases[2].maxTrials = 0;
    EXPECT_EQ(problemText(runProblem(request)),
        "Staircase 2: its \"Max trials\" is 0, outside its range 1 to 999999." + notStarted);
    request = threeClampedStaircases();
    request.staircases[1].clampActive = false; // an unused clamp is not checked
    request.staircases[1].lowerClamp = -std::numeric_limits<double>::infinity();
    EXPECT_FALSE(runProblem(request));
    request.staircases[1].clampActive = true;
    EXPECT_EQ(problemText(runProblem(request)),
        "Staircase 1: its \"Lower clamp\" is -inf, outside its range -99999 to 99999." + notStarted);
}

namespace
{

// A page's defaults (ascending, correct answers 1, max reversals 4, steps 0.2
// up and 0.5 down, no clamp) with its own start level and trial limit.
StaircaseSettings page(double startLevel, int maxTrials = 100)
{
    StaircaseSettings settings;
    settings.startLevel = startLevel;
    settings.maxTrials = maxTrials;
    return settings;
}

// A run with its own freshly seeded engine, as right after program start.
RunResult freshRun(const std::vector<StaircaseSettings> &pages, int repetitions,
    const ObserverSettings &observer = ObserverSettings { 0.0, 1.0, 0.0, 0.0 })
{
    RunRequest request;
    request.observer = observer;
    request.staircases = pages;
    request.repetitions = repetitions;
    RandomEngine engine;
    return simulate(request, engine);
}

} // namespace

TEST(Run, FirstTrialAfterStartUpAnswersByTheFirstDraw)
{
    // One staircase: the pick draws nothing, u = 0.8147236919030547.
    for (const auto &[startLevel, answer] : { std::pair(0.9, true), std::pair(0.89, false) }) {
        const RunResult run = freshRun({ page(startLevel) }, 1);
        ASSERT_GT(run.trialCount(), 1u);
        EXPECT_EQ(run.trial(0).level, startLevel);
        EXPECT_EQ(run.trial(0).response, answer) << startLevel;
        // One page, one repetition: every trial is staircase 0's, and its steps count the trials.
        for (std::size_t k = 0; k < run.trialCount(); ++k) {
            EXPECT_EQ(run.trial(k).staircase, 0);
            EXPECT_EQ(run.trial(k).staircaseTrial, k);
        }
    }
}

TEST(Run, ThreePagesOfOneTrialEach)
{
    // Picks take the engine outputs 1 and 3 (the last pick draws nothing);
    // u = 0.13548, 0.83501, 0.12699 at level 0 where psi is 0.5.
    const RunResult run = freshRun({ page(0.0, 1), page(0.0, 1), page(0.0, 1) }, 1);
    ASSERT_EQ(run.trialCount(), 3u);
    const bool answers[] = { true, false, true };
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(run.trial(k).staircase, k);
        EXPECT_EQ(run.trial(k).response, answers[k]);
        EXPECT_EQ(run.trial(k).staircaseTrial, 0u);
        EXPECT_EQ(run.trial(k).level, 0.0);
    }
}

TEST(Run, RecordsShowEachStaircaseBeforeTheAnswer)
{
    const double starts[] = { -2.0, 0.5, 3.0 };
    const RunResult run = freshRun({ page(starts[0]), page(starts[1]), page(starts[2]) }, 4);
    std::map<std::pair<unsigned, int>, unsigned> seen; // (repetition, staircase) -> trials seen
    for (std::size_t k = 0; k < run.trialCount(); ++k) {
        const TrialRecord &t = run.trial(k);
        const unsigned nth = seen[{ t.repetitionNumber, t.staircase }]++;
        EXPECT_EQ(t.staircaseTrial, nth); // each staircase's own count restarts
        // The first answer never counts a reversal, so the first two trials show none.
        if (nth < 2) {
            EXPECT_EQ(t.reversals, 0u);
        }
        if (nth == 0) {
            EXPECT_EQ(t.level, starts[t.staircase]);
        }
        // A staircase ends on the trial whose answer reaches its 4th reversal, which still shows 3.
        EXPECT_LE(t.reversals, 3u);
    }
    EXPECT_EQ(seen.size(), 12u);
    // Repetitions are numbered from 1.
    EXPECT_EQ(run.trial(0).repetitionNumber, 1u);
    EXPECT_EQ(run.trial(run.trialCount() - 1).repetitionNumber, 4u);
}

TEST(Run, ClampsReachOnlyTheirStaircase)
{
    StaircaseSettings clamped = page(0.0, 200);
    clamped.maxInversions = 50;
    clamped.positiveStepsText = "1";
    clamped.clampActive = true;
    clamped.lowerClamp = -0.5;
    clamped.upperClamp = 0.5;
    StaircaseSettings free = clamped;
    free.clampActive = false;
    // An observer far off the levels keeps both staircases climbing.
    const RunResult run = freshRun({ free, clamped }, 1, ObserverSettings { 100.0, 1.0, 0.0, 0.0 });
    double highest[2] = { -1e9, -1e9 };
    for (std::size_t k = 0; k < run.trialCount(); ++k)
        highest[run.trial(k).staircase] = std::max(highest[run.trial(k).staircase], run.trial(k).level);
    EXPECT_EQ(highest[1], 0.5);
    EXPECT_GT(highest[0], 100.0);
}

TEST(Run, ExampleExperimentsLoadWithoutWarningsAndRun)
{
    const std::pair<const char *, int> examples[] = { { "single-staircase.txt", 1 },
        { "three-interleaved-staircases.txt", 3 }, { "clamped-staircases.txt", 2 } };
    for (const auto &[file, staircases] : examples) {
        SCOPED_TRACE(file);
        ParametersLoader loader;
        loader.loadFile(std::string(QUORVEL_EXAMPLES_DIR "/") + file);
        const Expected<ExperimentReading> reading = readExperiment(loader);
        ASSERT_TRUE(reading) << problemText(reading);
        EXPECT_TRUE(reading->warnings.empty());
        ASSERT_EQ(int(reading->experiment.staircases.size()), staircases);
        EXPECT_FALSE(positiveStepsProblem(reading->experiment));
        // Every staircase runs a real track, not a trial or two.
        const RunResult run = freshRun(reading->experiment.staircases, 1, reading->experiment.observer);
        for (int id = 0; id < staircases; ++id)
            EXPECT_GE(run.outcome(0, id).trials, 10u);
    }
}

#ifndef QUORVEL_ADDRESS_SANITIZER
// A run that outgrows the memory it may take stops with std::bad_alloc, which the
// window turns into a warning; nothing else breaks.
TEST(Run, RunningOutOfMemoryThrowsBadAlloc)
{
    RunRequest request = oneUpThreeDown();
    request.repetitions = 999999; // about 70 million trials, 1.6 GB
    const AddressSpaceLimit outOfMemory(rlim_t(256) << 20);
    RandomEngine engine;
    EXPECT_THROW(simulate(request, engine), std::bad_alloc);
}
#endif
