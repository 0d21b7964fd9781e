#include "Staircase.h"
#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "Reporting.h"

#include "EngineTestSupport.h"

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
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
    Settings s;
    s.ascending = ascending;
    s.runLength = 2;
    s.start = start;
    s.clamped = true;
    s.lower = lower;
    s.upper = upper;
    s.clampLimit = limit;
    return s;
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
    Settings oneTrial, noTrial, noInversion;
    oneTrial.maxTrials = 1;
    noTrial.maxTrials = 0;
    noInversion.maxInversions = 0; // its one step size is too many: a message, no harm
    Settings runOf3 = worked;
    runOf3.runLength = 3;
    runOf3.steps = { 4 };
    const Case cases[] = {
        // The fourth trial's run step uses index 1, half the count of 2.
        { "WorkedTraceDescending", worked, "TFTTF", { 6, 7, 7, 5, 6 }, { 0, 1, 1, 2, 3 }, {}, 5 },
        { "WorkedTraceAscending", mirrored, "FTFFT", { 14, 13, 13, 15, 14 }, { 0, 1, 1, 2, 3 }, {}, 5 },
        // Before the first inversion one answer of the driving kind is a run.
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
        const ReportScope quiet([](const std::string &) {}); // some cases give more step sizes than reversals
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
    const struct {
        const char *answers;
        int inversions;
        double lastMove;
    } cases[] = { { "FTT", 1, 1 }, { "TFT", 2, 2 }, { "TFTT", 2, 2 }, { "FTFT", 3, 2 }, { "TFTFT", 4, 4 },
        { "FTFTFT", 5, 4 }, { "TFTFTFT", 6, 32 } };
    Settings settings;
    settings.steps = { 1, 2, 4, 8, 16, 32 };
    settings.negativeStep = 0;
    settings.maxInversions = 6;
    for (const auto &c : cases) {
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

// Padding to maxInversions entries is checked through the staircase set below.
TEST(Staircase, TooManyStepSizesAreKeptWholeWithAMessage)
{
    for (int maxInversions : { 2, 0 }) {
        Staircase s;
        s.setId(7);
        s.setMaxInversions(maxInversions);
        std::vector<std::string> messages;
        const ReportScope scope([&](const std::string &m) { messages.push_back(m); });
        s.setStepSizes({ 4, 2, 1 }, 0.5);
        EXPECT_EQ(messages,
            std::vector<std::string> { "Error: Staircase 7 has more reversal step size than "
                                       "number of allowed inversion, something wrong!" });
        EXPECT_EQ(s.getPositiveSteps(), (std::vector<double> { 4, 2, 1 }));
    }
}

TEST(Staircase, ClampsNotBelowEachOtherAreRefusedAndTheOldOnesKept)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto &[lower, upper] : { std::pair { 3.0, 3.0 }, { 5.0, -5.0 }, { nan, 1.0 } }) {
        SCOPED_TRACE(testing::Message() << lower << ", " << upper);
        Staircase s = makeStaircase(clamped(false, 4.5, -5, 5, 1));
        std::vector<std::string> messages;
        const ReportScope scope([&](const std::string &m) { messages.push_back(m); });
        s.setClamps(lower, upper, 0);
        EXPECT_EQ(messages, std::vector<std::string> { "Error, lower clamp must be < upperClamp " });
        EXPECT_EQ(s.getLowerClamp(), -5);
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
    EXPECT_FALSE(s.step(false)); // a negative step needs no entry
    EXPECT_EQ(s.getState(), 1);
    EXPECT_DEATH(s.step(true), literally("!positiveSteps.empty()"));
}

namespace
{

// n staircases that end on their trial limits alone.
void configure(ParStaircase &set, const std::vector<int> &maxTrials)
{
    std::vector<StaircaseSettings> staircases(maxTrials.size());
    for (std::size_t i = 0; i < staircases.size(); ++i) {
        staircases[i].ascending = false;
        staircases[i].startLevel = 0.0;
        staircases[i].correctAnswers = 2;
        staircases[i].maxInversions = 100000;
        staircases[i].maxTrials = maxTrials[i];
        staircases[i].positiveStepsText = "0.5";
    }
    set.configure(staircases);
}

} // namespace

TEST(ParStaircase, OneStaircaseTakesEveryTrialWithoutDrawing)
{
    RandomEngine engine;
    ParStaircase set(engine);
    configure(set, { 4 });
    for (int t = 0; t < 4; ++t) {
        Staircase &s = set.chooseStaircase();
        EXPECT_EQ(s.getTrials(), t);
        EXPECT_EQ(set.step(t % 2 == 0), t == 3);
    }
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(engine.nextWord(), 3499211612u);
}

// Picks follow uniformInt(n) % n over the unfinished staircases in id order,
// n shrinking as staircases finish; the answers are drawn after the picks.
TEST(ParStaircase, PicksFollowTheEngineAndRemoveFinishedStaircases)
{
    const std::vector<int> maxTrials = { 5, 10, 20 };
    RandomEngine engine;
    ParStaircase set(engine);
    configure(set, maxTrials);
    const PsychometricObserver observer(0, 1, 0.1, 0.05);

    boost::random::mt19937 reference;
    std::vector<int> remainingIds = { 0, 1, 2 };
    std::map<int, int> trialsPerId;
    int trials = 0;
    bool allFinished = false;
    while (!allFinished) {
        ASSERT_LT(trials, 35);
        const int n = static_cast<int>(remainingIds.size());
        const int expectedId
            = remainingIds[boost::random::uniform_int_distribution<int>(1, n)(reference) % n];
        reference(); // the observer's draw

        Staircase &s = set.chooseStaircase();
        ASSERT_EQ(s.getId(), expectedId) << "trial " << trials;
        EXPECT_EQ(s.getTrials(), trialsPerId[expectedId]);
        const bool response = observer.respond(s.getState(), engine);
        ++trialsPerId[expectedId];
        ++trials;
        allFinished = set.step(response);
        if (trialsPerId[expectedId] == maxTrials[static_cast<std::size_t>(expectedId)])
            remainingIds.erase(std::find(remainingIds.begin(), remainingIds.end(), expectedId));
        EXPECT_EQ(set.size(), static_cast<int>(remainingIds.size()));
        EXPECT_EQ(allFinished, remainingIds.empty());
    }
    EXPECT_EQ(trials, 35);
    EXPECT_EQ(trialsPerId, (std::map<int, int> { { 0, 5 }, { 1, 10 }, { 2, 20 } }));
    EXPECT_EQ(engine.nextWord(), reference());
}

TEST(ParStaircase, ConfigureGivesEachStaircaseItsOwnSettings)
{
    ParStaircase set;
    std::vector<StaircaseSettings> settings(3);
    for (std::size_t i = 0; i < 3; ++i) {
        settings[i].ascending = i != 1;
        settings[i].startLevel = 10.0 + double(i);
        settings[i].correctAnswers = int(i) + 1;
        settings[i].maxInversions = int(i) + 4;
        settings[i].maxTrials = int(i) + 7;
        settings[i].positiveStepsText = "1";
    }
    settings[2].positiveStepsText = "3,2";
    settings[2].clampActive = true;
    settings[2].lowerClamp = -1;
    settings[2].upperClamp = 1;
    set.configure(settings);
    set.configure(settings); // again, as before every repetition

    const std::vector<Staircase> &staircases = set.getStaircases();
    ASSERT_EQ(staircases.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(staircases[i].getId(), static_cast<int>(i));
        EXPECT_EQ(staircases[i].getState(), 10.0 + static_cast<double>(i));
        EXPECT_EQ(staircases[i].getResponseWindow(), std::vector<bool>(i + 1, i != 1));
    }
    EXPECT_EQ(staircases[2].getPositiveSteps(), (std::vector<double> { 3, 2, 2, 2, 2, 2 }));
    EXPECT_EQ(staircases[1].getPositiveSteps(), std::vector<double>(5, 1));
    EXPECT_EQ(staircases[2].getUpperClamp(), 1);
    EXPECT_EQ(staircases[1].getUpperClamp(), 1e30);
}

TEST(ParStaircaseDeathTest, BrokenCallerContractsFailWithTheirText)
{
    ParStaircase set;
    set.addStaircases(2);
    EXPECT_DEATH(set.setAscending({ true }), literally("ascending.size() == vStaircase.size()"));
    EXPECT_DEATH(set.setStartStates({ 1, 2, 3 }), literally("startStates.size() == vStaircase.size()"));
    EXPECT_DEATH(set.setCorrectAnswersToPositiveStep({}),
        literally("correctAnswersToPositiveStep.size()==vStaircase.size()"));
    EXPECT_DEATH(set.setMaxInversions({ 1 }), literally("maxInversions.size() == vStaircase.size()"));
    EXPECT_DEATH(set.setMaxTrials({ 1 }), literally("maxTrials.size() == vStaircase.size()"));
    EXPECT_DEATH(set.setStepSizes(2, { 1 }, 1), literally("s!=NULL"));
    EXPECT_DEATH(set.setClamps(-1, 0, 1, 1), literally("s!=NULL"));
    EXPECT_DEATH(set.step(true), literally("currentStaircase < vStaircase.size()"));
    set.clear();
    EXPECT_DEATH(set.chooseStaircase(), literally("!vStaircase.empty()"));
}
