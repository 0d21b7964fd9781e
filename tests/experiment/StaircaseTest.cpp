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
    return s;
}

std::vector<bool> answers(const std::string &letters)
{
    std::vector<bool> result;
    for (char c : letters)
        result.push_back(c == 'T');
    return result;
}

} // namespace

TEST(Staircase, Traces)
{
    struct Case {
        const char *name;
        Settings settings;
        const char *answers;
        std::vector<double> levels;
        std::vector<int> inversions;
        int finishedOnTrial; // 1-based; 0 = never
    };
    Settings worked;
    worked.runLength = 2;
    worked.steps = { 4, 2, 1 };
    worked.maxInversions = 3;
    worked.start = 10;
    Settings mirrored = worked;
    mirrored.ascending = true;
    Settings descendingRunOf3 = worked;
    descendingRunOf3.runLength = 3;
    descendingRunOf3.steps = { 4 };
    const Case cases[] = {
        // The fourth trial's run step uses index 1 = half the count of 2.
        { "WorkedTraceDescending", worked, "TFTTF", { 6, 7, 7, 5, 6 }, { 0, 1, 1, 2, 3 }, 5 },
        { "WorkedTraceAscending", mirrored, "FTFFT", { 14, 13, 13, 15, 14 }, { 0, 1, 1, 2, 3 }, 5 },
        // Before the first inversion one answer of the driving kind is a run.
        { "AscendingFirstFalseStepsUpWithoutInversion", mirrored, "FT", { 14, 13 }, { 0, 1 }, 0 },
        { "DescendingFirstTrueStepsDownWithoutInversion", descendingRunOf3, "T", { 6 }, { 0 }, 0 },
        { "DescendingFirstFalseThenTrueCountsAnInversion", descendingRunOf3, "FT", { 11, 7 }, { 0, 1 }, 0 },
        // After it, N answers are needed and each run keeps stepping the same way.
        { "DescendingRunsOfThree", descendingRunOf3, "TFTTTTTT", { 6, 7, 7, 7, 3, 3, 3, -1 },
            { 0, 1, 1, 1, 2, 2, 2, 2 }, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Staircase s = makeStaircase(c.settings);
        const std::vector<bool> responses = answers(c.answers);
        for (std::size_t t = 0; t < responses.size(); ++t) {
            SCOPED_TRACE(testing::Message() << "trial " << t + 1);
            EXPECT_EQ(s.getTrials(), static_cast<int>(t));
            const bool finished = s.step(responses[t]);
            EXPECT_EQ(s.getState(), c.levels[t]);
            EXPECT_EQ(s.getInversions(), c.inversions[t]);
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
    const Case cases[] = {
        { "FTT", 1, 1 },
        { "TFT", 2, 2 },
        { "TFTT", 2, 2 },
        { "FTFT", 3, 2 },
        { "TFTFT", 4, 4 },
        { "FTFTFT", 5, 4 },
        { "TFTFTFT", 6, 32 },
    };
    Settings settings;
    settings.steps = { 1, 2, 4, 8, 16, 32 };
    settings.negativeStep = 0;
    settings.maxInversions = 6;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answers);
        Staircase s = makeStaircase(settings);
        const std::vector<bool> responses = answers(c.answers);
        bool finished = false;
        double before = 0;
        for (bool response : responses) {
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
    const std::string letters = "TTFTTTFFTFTTTTFFFTFTTTFTFFFTTTTTFTFFTFTTTT";
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
        for (bool response : answers(letters)) {
            EXPECT_EQ(a.step(response), b.step(response));
            EXPECT_EQ(a.getState(), b.getState());
            EXPECT_EQ(a.getInversions(), b.getInversions());
            EXPECT_EQ(b.getResponseWindow().size(), 1u);
        }
    }
}

TEST(Staircase, SettersRefillTheWindowForTheDirection)
{
    Staircase s;
    s.init();
    EXPECT_EQ(s.getResponseWindow(), std::vector<bool>(3, false));
    s.setCorrectAnswersToPositiveStep(4);
    EXPECT_EQ(s.getResponseWindow(), std::vector<bool>(4, true)); // init leaves it ascending
    s.setAscending(false);
    EXPECT_EQ(s.getResponseWindow(), std::vector<bool>(4, false));
    s.setStepSizes({ 1 }, 1);
    s.step(true);
    // The first-phase step refills it with the descending value; the newest is front.
    EXPECT_EQ(s.getResponseWindow(), std::vector<bool>(4, false));
    s.step(false);
    s.step(true);
    EXPECT_EQ(s.getResponseWindow(), (std::vector<bool> { true, false, false, false }));
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
        s.init();
        s.setId(7);
        s.setMaxInversions(c.maxInversions);
        CerrCapture cerr;
        s.setStepSizes(c.steps, 0.5);
        EXPECT_EQ(s.getPositiveSteps(), c.expected);
        EXPECT_EQ(cerr.text(),
            c.reportsTooMany ? "Error: Staircase 7 has more reversal step size than number "
                               "of allowed inversion, something wrong!\n"
                             : "");
    }
}

TEST(Staircase, LimitsEndTheStaircaseAfterTheFirstTrial)
{
    struct Case {
        const char *name;
        int maxTrials;
        int maxInversions;
        bool finishesOnFirstTrial;
    };
    const Case cases[] = {
        { "MaxTrialsOne", 1, 100, true },
        { "MaxTrialsZero", 0, 100, true },
        { "MaxInversionsZero", 100, 0, true },
        { "NeitherReached", 2, 1, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (bool response : { false, true }) {
            Settings settings;
            settings.maxTrials = c.maxTrials;
            settings.maxInversions = c.maxInversions;
            CerrCapture cerr; // {1} is one step size too many for 0 inversions
            Staircase s = makeStaircase(settings);
            EXPECT_EQ(s.step(response), c.finishesOnFirstTrial);
        }
    }
}

TEST(Staircase, ClampsHoldTheLevelAndCountHits)
{
    struct Case {
        const char *name;
        bool ascending;
        double start;
        double lower, upper;
        int limit;
        const char *answers;
        std::vector<double> levels;
        std::vector<int> hits; // on the clamp the answers drive towards
        int finishedOnTrial;
    };
    const Case cases[] = {
        // Beyond the clamp: clamped, one hit; exactly on it: none; resting on it: none.
        { "UpperBeyondExactlyAndResting", false, 9.5, -100, 10, 3, "FTFFTF", { 10, 9, 10, 10, 10, 10 },
            { 1, 1, 1, 2, 2, 3 }, 6 },
        { "LowerBeyondExactlyAndResting", true, -9.5, -10, 100, 3, "TFTTFT", { -10, -9, -10, -10, -10, -10 },
            { 1, 1, 1, 2, 2, 3 }, 6 },
        { "LimitOneEndsOnTheFirstHit", false, 9.5, -100, 10, 1, "F", { 10 }, { 1 }, 1 },
        // A limit of 0 keeps the clamp but no number of hits ends the staircase.
        { "LimitZeroNeverEnds", false, 10, -100, 10, 0, "FFFFFFFFFF", std::vector<double>(10, 10),
            { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }, 0 },
        { "LimitZeroLowerNeverEnds", true, -10, -10, 100, 0, "TTTTT", std::vector<double>(5, -10),
            { 1, 2, 3, 4, 5 }, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings;
        settings.ascending = c.ascending;
        settings.runLength = 2;
        settings.start = c.start;
        Staircase s = makeStaircase(settings);
        s.setClamps(c.lower, c.upper, c.limit);
        const std::vector<bool> responses = answers(c.answers);
        for (std::size_t t = 0; t < responses.size(); ++t) {
            SCOPED_TRACE(testing::Message() << "trial " << t + 1);
            const bool finished = s.step(responses[t]);
            EXPECT_EQ(s.getState(), c.levels[t]);
            EXPECT_EQ(c.ascending ? s.getLowerClampHits() : s.getUpperClampHits(), c.hits[t]);
            EXPECT_EQ(c.ascending ? s.getUpperClampHits() : s.getLowerClampHits(), 0);
            EXPECT_EQ(finished, static_cast<int>(t) + 1 == c.finishedOnTrial);
        }
    }
}

TEST(Staircase, DefaultClampsNeverEndAStaircase)
{
    Settings settings;
    settings.negativeStep = 1e20;
    settings.maxTrials = 50;
    Staircase s = makeStaircase(settings);
    for (int t = 1; t < 50; ++t)
        ASSERT_FALSE(s.step(false)) << "trial " << t;
    EXPECT_EQ(s.getUpperClampHits(), 0);
}

TEST(Staircase, ClampsNotBelowEachOtherAreRefusedAndTheOldOnesKept)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, double> refused[] = { { 3, 3 }, { 5, -5 }, { nan, 1 } };
    for (const auto &[lower, upper] : refused) {
        SCOPED_TRACE(testing::Message() << lower << ", " << upper);
        Settings settings;
        settings.start = 4.5;
        Staircase s = makeStaircase(settings);
        s.setClamps(-5, 5, 1);
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
