#include "Staircase.h"

#include "Contract.h"
#include "Reporting.h"

#include <algorithm>
#include <string>

namespace
{
constexpr int wentDown = 1;
constexpr int wentUp = 0;
} // namespace

Staircase::Staircase()
{
    init();
}

void Staircase::init()
{
    state = 0.0;
    maxInversions = 3;
    negativeStep = 1.0;
    trials = 0;
    maxTrials = 30;
    ascending = true;
    id = 0;
    correctAnswersToPositiveStep = 3;
    lastDirection = wentUp;
    inversions = 0;
    lowerClamp = -1e30;
    upperClamp = 1e30;
    upperClampHits = 0;
    lowerClampHits = 0;
    maxUpperClampHits = 3;
    maxLowerClampHits = 3;
    resetResponseWindow(false);
}

void Staircase::setMaxInversions(int value)
{
    maxInversions = value;
}

void Staircase::setMaxTrials(int value)
{
    maxTrials = value;
}

void Staircase::setStartState(double startState)
{
    state = startState;
}

void Staircase::setId(int value)
{
    id = value;
}

void Staircase::setCorrectAnswersToPositiveStep(int n)
{
    correctAnswersToPositiveStep = n;
    resetResponseWindow(ascending);
}

void Staircase::setAscending(bool value)
{
    ascending = value;
    resetResponseWindow(ascending);
}

void Staircase::setStepSizes(const std::vector<double> &steps, double negative)
{
    negativeStep = negative;
    positiveSteps = steps;
    if (static_cast<std::size_t>(std::max(maxInversions, 0)) < positiveSteps.size()) {
        reportMessage("Error: Staircase " + std::to_string(id)
            + " has more reversal step size than number of allowed inversion, something wrong!");
        return;
    }
    // The list counts as padded with its last entry up to maxInversions entries; stepSize
    // reads it that way, so a large maxInversions costs no memory and no time per repetition.
}

std::vector<double> Staircase::getPositiveSteps() const
{
    std::vector<double> padded = positiveSteps;
    if (!padded.empty() && padded.size() < static_cast<std::size_t>(std::max(maxInversions, 0)))
        padded.resize(static_cast<std::size_t>(maxInversions), padded.back());
    return padded;
}

void Staircase::setClamps(double lower, double upper, int limit)
{
    if (!(lower < upper)) {
        reportMessage("Error, lower clamp must be < upperClamp ");
        return;
    }
    lowerClamp = lower;
    upperClamp = upper;
    maxUpperClampHits = limit;
    maxLowerClampHits = limit;
}

bool Staircase::step(bool response)
{
    ++trials;
    if (trials == 1)
        lastDirection = response ? wentDown : wentUp;
    pushResponse(response);

    if (ascending) {
        if (response) {
            state -= negativeStep;
            changeDirection(wentDown);
        } else if (inversions == 0) {
            // First phase: a single false answer is a run.
            changeDirection(wentUp);
            fillResponseWindow(true);
            state += stepSize(0);
        }
        if (windowTrueCount == 0 && inversions >= 1 && trials > 1) {
            changeDirection(wentUp);
            fillResponseWindow(true);
            state += runStepSize();
        }
    } else {
        if (!response) {
            state += negativeStep;
            changeDirection(wentUp);
        } else if (inversions == 0) {
            changeDirection(wentDown);
            fillResponseWindow(false);
            state -= stepSize(0);
        }
        if (windowTrueCount == responseWindow.size() && inversions >= 1 && trials > 1) {
            changeDirection(wentDown);
            fillResponseWindow(false);
            state -= runStepSize();
        }
    }

    // Hits are counted on the level the change produced, before clamping,
    // so resting on a clamp counts no further hits.
    if (state > upperClamp)
        ++upperClampHits;
    if (state < lowerClamp)
        ++lowerClampHits;
    if (state < lowerClamp)
        state = lowerClamp;
    else if (state > upperClamp)
        state = upperClamp;

    return trials >= maxTrials || inversions >= maxInversions
        || (maxUpperClampHits >= 1 && upperClampHits >= maxUpperClampHits)
        || (maxLowerClampHits >= 1 && lowerClampHits >= maxLowerClampHits);
}

void Staircase::changeDirection(int direction)
{
    if (lastDirection != direction)
        ++inversions;
    lastDirection = direction;
}

double Staircase::runStepSize() const
{
    return stepSize(inversions == maxInversions ? maxInversions - 1 : inversions / 2);
}

double Staircase::stepSize(int index) const
{
    // An empty list has no entry to repeat: a step that needs one is a broken contract.
    QUORVEL_ASSERT(!positiveSteps.empty(), "!positiveSteps.empty()");
    const std::size_t last = positiveSteps.size() - 1;
    return positiveSteps[std::min(static_cast<std::size_t>(std::max(index, 0)), last)];
}

std::vector<bool> Staircase::getResponseWindow() const
{
    std::vector<bool> newestFirst;
    for (std::size_t i = 0; i < responseWindow.size(); ++i)
        newestFirst.push_back(responseWindow[(windowFront + i) % responseWindow.size()] != 0);
    return newestFirst;
}

void Staircase::resetResponseWindow(bool value)
{
    responseWindow.assign(static_cast<std::size_t>(std::max(correctAnswersToPositiveStep, 1)), value);
    windowFront = 0;
    windowTrueCount = value ? responseWindow.size() : 0;
}

void Staircase::fillResponseWindow(bool value)
{
    std::fill(responseWindow.begin(), responseWindow.end(), value);
    windowTrueCount = value ? responseWindow.size() : 0;
}

void Staircase::pushResponse(bool response)
{
    // The slot before the front holds the oldest response: it becomes the
    // newest.
    windowFront = windowFront == 0 ? responseWindow.size() - 1 : windowFront - 1;
    char &slot = responseWindow[windowFront];
    if (slot)
        --windowTrueCount;
    if (response)
        ++windowTrueCount;
    slot = response;
}
