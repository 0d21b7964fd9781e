#include "ParStaircase.h"

#include "Contract.h"
#include "RandomEngine.h"

#include <algorithm>

ParStaircase::ParStaircase()
    : ParStaircase(RandomEngine::global())
{
}

ParStaircase::ParStaircase(RandomEngine &engine)
    : engine(&engine)
    , currentStaircase(noCurrent)
{
}

void ParStaircase::configure(const std::vector<StaircaseSettings> &staircases)
{
    const std::size_t n = staircases.size();
    parsedStepTexts.resize(n);
    parsedSteps.resize(n);
    std::vector<bool> ascending;
    std::vector<double> startLevels;
    std::vector<int> correctAnswers, maxInversions, maxTrials;
    for (std::size_t i = 0; i < n; ++i) {
        const StaircaseSettings &s = staircases[i];
        ascending.push_back(s.ascending);
        startLevels.push_back(s.startLevel);
        correctAnswers.push_back(s.correctAnswers);
        maxInversions.push_back(s.maxInversions);
        maxTrials.push_back(s.maxTrials);
        if (parsedSteps[i].empty() || parsedStepTexts[i] != s.positiveStepsText) {
            parsedSteps[i] = *positiveStepSizes(s.positiveStepsText);
            parsedStepTexts[i] = s.positiveStepsText;
        }
    }
    clear();
    addStaircases(static_cast<int>(n));
    setAscending(ascending);
    setStartStates(startLevels);
    setCorrectAnswersToPositiveStep(correctAnswers);
    // Before the step sizes: a step list is checked against the maximum reversals when it is set.
    setMaxInversions(maxInversions);
    setMaxTrials(maxTrials);
    for (std::size_t i = 0; i < n; ++i)
        setStepSizes(static_cast<int>(i), parsedSteps[i], staircases[i].negativeStep);
    for (std::size_t i = 0; i < n; ++i) {
        const StaircaseSettings &s = staircases[i];
        if (s.clampActive)
            setClamps(static_cast<int>(i), s.lowerClamp, s.upperClamp, s.maxClampHits);
    }
}

void ParStaircase::clear()
{
    vStaircase.clear();
    currentStaircase = noCurrent;
    lastStep = noCurrent;
    lastFinished = false;
}

void ParStaircase::addStaircases(int n)
{
    if (n > 0)
        vStaircase.resize(vStaircase.size() + static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < vStaircase.size(); ++i) {
        vStaircase[i].init();
        vStaircase[i].setId(static_cast<int>(i));
    }
}

void ParStaircase::setAscending(const std::vector<bool> &ascending)
{
    QUORVEL_ASSERT(ascending.size() == vStaircase.size(), "ascending.size() == vStaircase.size()");
    for (std::size_t i = 0; i < vStaircase.size(); ++i)
        vStaircase[i].setAscending(ascending[i]);
}

void ParStaircase::setStartStates(const std::vector<double> &startStates)
{
    QUORVEL_ASSERT(startStates.size() == vStaircase.size(), "startStates.size() == vStaircase.size()");
    for (std::size_t i = 0; i < vStaircase.size(); ++i)
        vStaircase[i].setStartState(startStates[i]);
}

void ParStaircase::setCorrectAnswersToPositiveStep(const std::vector<int> &correctAnswersToPositiveStep)
{
    QUORVEL_ASSERT(correctAnswersToPositiveStep.size() == vStaircase.size(),
        "correctAnswersToPositiveStep.size()==vStaircase.size()");
    for (std::size_t i = 0; i < vStaircase.size(); ++i)
        vStaircase[i].setCorrectAnswersToPositiveStep(correctAnswersToPositiveStep[i]);
}

void ParStaircase::setMaxInversions(const std::vector<int> &maxInversions)
{
    QUORVEL_ASSERT(maxInversions.size() == vStaircase.size(), "maxInversions.size() == vStaircase.size()");
    for (std::size_t i = 0; i < vStaircase.size(); ++i)
        vStaircase[i].setMaxInversions(maxInversions[i]);
}

void ParStaircase::setMaxTrials(const std::vector<int> &maxTrials)
{
    QUORVEL_ASSERT(maxTrials.size() == vStaircase.size(), "maxTrials.size() == vStaircase.size()");
    for (std::size_t i = 0; i < vStaircase.size(); ++i)
        vStaircase[i].setMaxTrials(maxTrials[i]);
}

void ParStaircase::setStepSizes(int id, const std::vector<double> &steps, double negativeStep)
{
    Staircase *s = findById(id);
    QUORVEL_ASSERT(s != nullptr, "s!=NULL");
    s->setStepSizes(steps, negativeStep);
}

void ParStaircase::setClamps(int id, double lower, double upper, int limit)
{
    Staircase *s = findById(id);
    QUORVEL_ASSERT(s != nullptr, "s!=NULL");
    s->setClamps(lower, upper, limit);
}

Staircase &ParStaircase::chooseStaircase()
{
    QUORVEL_ASSERT(!vStaircase.empty(), "!vStaircase.empty()");
    const int n = static_cast<int>(vStaircase.size());
    // uniformInt gives 1 ... n; n itself maps to position 0.
    currentStaircase = static_cast<std::size_t>(engine->uniformInt(n) % n);
    return vStaircase[currentStaircase];
}

bool ParStaircase::step(bool response)
{
    QUORVEL_ASSERT(currentStaircase < vStaircase.size(), "currentStaircase < vStaircase.size()");
    lastStep = currentStaircase;
    lastFinished = vStaircase[currentStaircase].step(response);
    if (!lastFinished)
        return false;
    finishedStaircase = std::move(vStaircase[currentStaircase]);
    vStaircase.erase(vStaircase.begin() + static_cast<std::ptrdiff_t>(currentStaircase));
    currentStaircase = noCurrent;
    return vStaircase.empty();
}

const Staircase &ParStaircase::lastStepped() const
{
    QUORVEL_ASSERT(
        lastFinished || lastStep < vStaircase.size(), "lastFinished || lastStep < vStaircase.size()");
    return lastFinished ? finishedStaircase : vStaircase[lastStep];
}

Staircase *ParStaircase::findById(int id)
{
    const auto it = std::lower_bound(vStaircase.begin(), vStaircase.end(), id,
        [](const Staircase &s, int wanted) { return s.getId() < wanted; });
    return it != vStaircase.end() && it->getId() == id ? &*it : nullptr;
}
