#include "Simulation.h"

#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"

void RunRecords::clear()
{
    reversalLevels.clear();
    vResponses.clear();
    vIds.clear();
    vInversions.clear();
    vNtrial.clear();
    vSteps.clear();
    vStates.clear();
}

void configureParStaircase(ParStaircase &parStaircase, const std::vector<StaircaseSettings> &staircases)
{
    const int n = int(staircases.size());
    parStaircase.clear();
    parStaircase.addStaircases(n);

    std::vector<bool> ascending;
    std::vector<double> startLevels;
    std::vector<int> correctAnswers, maxInversions, maxTrials;
    for (const StaircaseSettings &settings : staircases) {
        ascending.push_back(settings.ascending);
        startLevels.push_back(settings.startLevel);
        correctAnswers.push_back(settings.correctAnswers);
        maxInversions.push_back(settings.maxInversions);
        maxTrials.push_back(settings.maxTrials);
    }
    parStaircase.setAscending(ascending);
    parStaircase.setStartStates(startLevels);
    parStaircase.setCorrectAnswersToPositiveStep(correctAnswers);
    // Before the step sizes: a step list is checked against the maximum reversals when it is set.
    parStaircase.setMaxInversions(maxInversions);
    parStaircase.setMaxTrials(maxTrials);
    for (int i = 0; i < n; ++i)
        parStaircase.setStepSizes(i, positiveStepSizes(staircases[std::size_t(i)].positiveStepsText),
            staircases[std::size_t(i)].negativeStep);
    for (int i = 0; i < n; ++i) {
        const StaircaseSettings &settings = staircases[std::size_t(i)];
        if (settings.clampActive)
            parStaircase.setClamps(i, settings.lowerClamp, settings.upperClamp, settings.maxClampHits);
    }
}

int runRepetition(ParStaircase &parStaircase, const PsychometricObserver &observer, RandomEngine &engine,
    RunRecords &records, int trialNumber)
{
    const double sqrt2Sigma = observer.sqrt2Sigma();
    bool allFinished = false;
    while (!allFinished) {
        Staircase &s = parStaircase.chooseStaircase();
        // Drawn after the pick: the order of the draws is part of the results.
        const bool response = observer.respond(s.getState(), sqrt2Sigma, engine);

        records.vIds.append(s.getId());
        records.vInversions.append(s.getInversions());
        records.vStates.append(s.getState());
        const qsizetype k = records.vResponses.size();
        records.vResponses.resize(k + 1);
        records.vResponses.setBit(k, response);
        records.vSteps.append(s.getTrials());
        records.vNtrial.append(trialNumber++);
        records.reversalLevels[s.getId()][s.getInversions()] = s.getState();

        allFinished = parStaircase.step(response);
    }
    return trialNumber;
}
