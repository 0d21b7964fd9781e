#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"

#include "EngineTestSupport.h"

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace
{

// n staircases with the given trial limits and nothing else that could end
// them (inversion limit far away, default clamps).
void configure(ParStaircase &set, const std::vector<int> &maxTrials)
{
    const std::size_t n = maxTrials.size();
    set.clear();
    set.addStaircases(static_cast<int>(n));
    set.setAscending(std::vector<bool>(n, false));
    set.setStartStates(std::vector<double>(n, 0.0));
    set.setCorrectAnswersToPositiveStep(std::vector<int>(n, 2));
    set.setMaxInversions(std::vector<int>(n, 100000));
    set.setMaxTrials(maxTrials);
    for (std::size_t i = 0; i < n; ++i)
        set.setStepSizes(static_cast<int>(i), { 0.5 }, 0.5);
}

} // namespace

TEST(ParStaircase, OneStaircaseTakesEveryTrialWithoutDrawing)
{
    RandomEngine engine;
    ParStaircase set(engine);
    configure(set, { 4 });
    for (int t = 0; t < 4; ++t) {
        Staircase &s = set.chooseStaircase();
        EXPECT_EQ(s.getId(), 0);
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

// Three staircases of one trial each against the standard observer, first
// draws of a fresh engine: picks take outputs 1 and 3, the last pick none.
TEST(ParStaircase, FirstTrialsOfThreeOneTrialStaircases)
{
    RandomEngine engine;
    ParStaircase set(engine);
    configure(set, { 1, 1, 1 });
    const PsychometricObserver observer(0, 1, 0, 0);
    std::vector<int> ids;
    std::vector<bool> responses;
    bool allFinished = false;
    while (!allFinished) {
        Staircase &s = set.chooseStaircase();
        ids.push_back(s.getId());
        responses.push_back(observer.respond(s.getState(), engine));
        allFinished = set.step(responses.back());
    }
    EXPECT_EQ(ids, (std::vector<int> { 0, 1, 2 }));
    EXPECT_EQ(responses, (std::vector<bool> { true, false, true }));
    boost::random::mt19937 reference;
    reference.discard(5);
    EXPECT_EQ(engine.nextWord(), reference());
}

TEST(ParStaircase, SettersReachTheStaircaseWithTheMatchingId)
{
    ParStaircase set;
    set.addStaircases(3);
    set.setAscending({ true, false, true });
    set.setStartStates({ 10, 11, 12 });
    set.setCorrectAnswersToPositiveStep({ 1, 2, 3 });
    set.setMaxInversions({ 4, 5, 6 });
    set.setMaxTrials({ 7, 8, 9 });
    set.setStepSizes(0, { 1 }, 1);
    set.setStepSizes(1, { 1 }, 1);
    set.setStepSizes(2, { 3, 2 }, 1);
    set.setClamps(2, -1, 1, 2);

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
