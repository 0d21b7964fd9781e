#include "Staircase.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{

struct Settings {
    bool ascending = false;
    int runLength = 1;
    std::vector<double> steps { 1.0 };
    double negativeStep = 1.0;
    int maxInversions = 100;
    int maxTrials = 1000;
    double start = 0.0;
    bool clamped = false;
    double lower = 0, upper = 0;
    int clampLimit = 0;
};

// Configured in the order the staircase set uses.
Staircase makeStaircase(const Settings &settings)
{
    Staircase s;
    s.init();
    s.setAscending(settings.ascending);
    s.setStartState(settings.start);
    s.setCorrectAnswersToPositiveStep(settings.runLength);
    s.setMaxInversions(settings.maxInversions);
    s.setMaxTrials(settings.maxTrials);
    s.setStepSizes(settings.steps, settings.negativeStep);
    if (settings.clamped)
        s.setClamps(settings.lower, settings.upper, settings.clampLimit);
    return s;
}

std::vector<bool> answers(const std::string &letters)
{
    std::vector<bool> result;
    for (char c : letters)
        result.push_back(c == 'T');
    return result;
}

Settings clamped(bool ascending, double start, double lower, double upper, int limit)
{
    Settings settings;
    settings.ascending = ascending;
    settings.runLength = 2;
    settings.start = start;
    settings.clamped = true;
    settings.lower = lower;
    settings.upper = upper;
    settings.clampLimit = limit;
    return settings;
}

} // namespace

TEST(Staircase, Traces)
{
    struct Case {
        const char *name;
        Settings settings;
        const char *answers;
        std::vector<double> levels;
        std::vector<int> inversions; // empty: not checked
        std::vector<int> clampHits; // on the clamp the answers drive towards; empty: none at all
        int finishedOnTrial; // 1-based; 0 = never
    };
    Settings worked;
    worked.runLength = 2;
    worked.steps = { 4, 2, 1 };
    worked.maxInversions = 3;
    worked.start = 10;
    Settings mirrored = worked;
    mirrored.ascending = true;
    Settings oneTrial;
    oneTrial.maxTrials = 1;
    Settings noTrial;
    noTrial.maxTrials = 0;
    Settings noInversion;
    noInversion.maxInversions = 0; // its one step size is too many: a message, no harm
    Settings runOf3 = worked;
    runOf3.runLength = 3;
    runOf3.steps = { 4 };
    const Case cases[] = {
        // The fourth trial's run step uses index 1, half the count of 2.
        { "WorkedTraceDescending", worked, "TFTTF", { 6, 7, 7, 5, 6 }, { 0, 1, 1, 2, 3 }, {}, 5 },
        { "WorkedTraceAscending", mirrored, "FTFFT", { 14, 13, 13, 15, 14 }, { 0, 1, 1, 2, 3 }, {}, 5 },
        // Before the first inversion one answer of the driving kind is a run.
        { "DescendingFirstTrueStepsDownAtOnce", runOf3, "T", { 6 }, { 0 }, {}, 0 },
        { "DescendingFirstFalseThenTrue", runOf3, "FT", { 11, 7 }, { 0, 1 }, {}, 0 },
        // After it, N answers are needed and runs keep stepping the same way.
        { "DescendingRunsOfThree", runOf3, "TFTTTTTT", { 6, 7, 7, 7, 3, 3, 3, -1 },
            { 0, 1, 1, 1, 2, 2, 2, 2 }, {}, 0 },
        // Limits of 0 (and maxTrials 1) end a staircase after its first trial.
        { "MaxTrialsOne", oneTrial, "T", { -1 }, { 0 }, {}, 1 },
        { "MaxTrialsZero", noTrial, "F", { 1 }, { 0 }, {}, 1 },
        { "MaxInversionsZero", noInversion, "F", { 1 }, { 0 }, {}, 1 },
        // Beyond a clamp: clamped, one hit; exactly on it or resting on it: none.
        { "UpperClamp", clamped(false, 9.5, -100, 10, 3), "FTFFTF", { 10, 9, 10, 10, 10, 10 }, {},
            { 1, 1, 1, 2, 2, 3 }, 6 },
        { "LowerClamp", clamped(true, -9.5, -10, 100, 3), "TFTTFT", { -10, -9, -10, -10, -10, -10 }, {},
            { 1, 1, 1, 2, 2, 3 }, 6 },
        { "ClampLimitOne", clamped(false, 9.5, -100, 10, 1), "F", { 10 }, {}, { 1 }, 1 },
        // A limit of 0 keeps the clamp, but no number of hits ends the staircase.
        { "ClampLimitZeroUpper", clamped(false, 10, -100, 10, 0), "FFFFFF", std::vector<double>(6, 10), {},
            { 1, 2, 3, 4, 5, 6 }, 0 },
        { "ClampLimitZeroLower", clamped(true, -10, -10, 100, 0), "TTTT", std::vector<double>(4, -10), {},
            { 1, 2, 3, 4 }, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CerrCapture cerr;
        Staircase s = makeStaircase(c.settings);
        const std::vector<bool> responses = answers(c.answers);
        for (std::size_t t = 0; t < responses.size(); ++t) {
            SCOPED_TRACE(testing::Message() << "trial " << t + 1);
            const bool finished = s.step(responses[t]);
            EXPECT_EQ(s.getState(), c.levels[t]);
            if (!c.inversions.empty()) {
                EXPECT_EQ(s.getInversions(), c.inversions[t]);
            }
            const int towards = c.settings.ascending ? s.getLowerClampHits() : s.getUpperClampHits();
            const int away = c.settings.ascending ? s.getUpperClampHits() : s.getLowerClampHits();
            EXPECT_EQ(towards, c.clampHits.empty() ? 0 : c.clampHits[t]);
            EXPECT_EQ(away, 0);
            EXPECT_EQ(finished, static_cast<int>(t) + 1 == c.finishedOnTrial);
        }
    }
}

// Descending, run length 1, no negative step: each move of the level is one
// positive step, so the index used can be read off the step sizes.
TEST(Staircase, RunStepSizeIndexIsHalfTheCountExceptAtTheFinalInversion)
{
    struct Case {
        const char *answers;
        int inversions;
        double lastMove;
    };
    const Case cases[] = { { "FTT", 1, 1 }, { "TFT", 2, 2 }, { "TFTT", 2, 2 }, { "FTFT", 3, 2 },
        { "TFTFT", 4, 4 }, { "FTFTFT", 5, 4 }, { "TFTFTFT", 6, 32 } };
    Settings settings;
    settings.steps = { 1, 2, 4, 8, 16, 32 };
    settings.negativeStep = 0;
    settings.maxInversions = 6;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answers);
        Staircase s = makeStaircase(settings);
        bool finished = false;
        double before = 0;
        for (bool response : answers(c.answers)) {
            ASSERT_FALSE(finished);
            before = s.getState();
            finished = s.step(response);
        }
        EXPECT_EQ(s.getInversions(), c.inversions);
        EXPECT_EQ(before - s.getState(), c.lastMove);
        EXPECT_EQ(finished, c.inversions == 6);
    }
}

TEST(Staircase, RunLengthZeroBehavesAsRunLengthOne)
{
    for (bool ascending : { false, true }) {
        SCOPED_TRACE(ascending ? "ascending" : "descending");
        Settings one;
        one.ascending = ascending;
        one.steps = { 3, 2, 1 };
        one.negativeStep = 0.5;
        Settings zero = one;
        zero.runLength = 0;
        Staircase a = makeStaircase(one);
        Staircase b = makeStaircase(zero);
        for (bool response : answers("TTFTTTFFTFTTTTFFFTFTTTFTFFFTTTTTFTFFTFTTTT")) {
            EXPECT_EQ(a.step(response), b.step(response));
            EXPECT_EQ(a.getState(), b.getState());
            EXPECT_EQ(a.getInversions(), b.getInversions());
        }
    }
}

TEST(Staircase, StepSizeListIsPaddedToMaxInversions)
{
    struct Case {
        const char *name;
        int maxInversions;
        std::vector<double> steps;
        std::vector<double> expected;
        bool reportsTooMany;
    };
    const Case cases[] = {
        { "PaddedWithTheLastEntry", 5, { 4, 2 }, { 4, 2, 2, 2, 2 }, false },
        { "ExactLength", 3, { 4, 2, 1 }, { 4, 2, 1 }, false },
        { "TooManyKeptWhole", 2, { 4, 2, 1 }, { 4, 2, 1 }, true },
        { "AnyEntryIsTooManyForZeroInversions", 0, { 1 }, { 1 }, true },
        { "EmptyStaysEmpty", 3, {}, {}, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Staircase s;
        s.setId(7);
        s.setMaxInversions(c.maxInversions);
        CerrCapture cerr;
        s.setStepSizes(c.steps, 0.5);
        EXPECT_EQ(s.getPositiveSteps(), c.expected);
        EXPECT_EQ(cerr.text(),
            c.reportsTooMany ? "Error: Staircase 7 has more reversal step size than number of allowed "
                               "inversion, something wrong!\n"
                             : "");
    }
}

TEST(Staircase, ClampsNotBelowEachOtherAreRefusedAndTheOldOnesKept)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, double> refused[] = { { 3, 3 }, { 5, -5 }, { nan, 1 } };
    for (const auto &[lower, upper] : refused) {
        SCOPED_TRACE(testing::Message() << lower << ", " << upper);
        Settings settings = clamped(false, 4.5, -5, 5, 1);
        Staircase s = makeStaircase(settings);
        CerrCapture cerr;
        s.setClamps(lower, upper, 0);
        EXPECT_EQ(cerr.text(), "Error, lower clamp must be < upperClamp \n");
        EXPECT_EQ(s.getLowerClamp(), -5);
        EXPECT_EQ(s.getUpperClamp(), 5);
        // The limit of 1 still holds: the first hit ends the staircase.
        EXPECT_TRUE(s.step(false));
        EXPECT_EQ(s.getState(), 5);
    }
}

TEST(StaircaseDeathTest, PositiveStepFromAnEmptyListBreaksTheContract)
{
    Settings settings;
    settings.steps = {};
    Staircase s = makeStaircase(settings);
    // A negative step needs no entry.
    EXPECT_FALSE(s.step(false));
    EXPECT_EQ(s.getState(), 1);
    EXPECT_DEATH(s.step(true), literally("!positiveSteps.empty()"));
}
