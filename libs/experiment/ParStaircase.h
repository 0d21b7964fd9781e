#pragma once
// The staircases of one repetition, run interleaved.
//
// On every trial `chooseStaircase` picks one unfinished staircase uniformly
// at random (uniformInt(n) from the engine, reduced modulo n; no draw when
// only one is left), the caller records that staircase's getters and
// presents its level, and `step` routes the answer to it and removes it
// once it has finished. The set is finished when its last staircase is
// removed.
//
// `configure` sets the set up from the experiment's settings before every
// repetition. It runs the setters below in the order they need: clear;
// addStaircases(n); setAscending; setStartStates;
// setCorrectAnswersToPositiveStep; setMaxInversions; setMaxTrials; then
// setStepSizes for every id; then setClamps for the ids that use clamps.
// Element i of every vector setter goes to the staircase with id i, and
// each vector must hold exactly one element per staircase: a wrong length,
// an unknown id, or a pick from an empty set is a broken caller contract
// and aborts with the text of the condition (see Contract.h).

#include "Staircase.h"
#include "StaircaseSettings.h"

#include <cstddef>
#include <string>
#include <vector>

class RandomEngine;

class ParStaircase
{
public:
    // Picks draw from `engine`, by default the program's global engine.
    ParStaircase();
    explicit ParStaircase(RandomEngine &engine);

    // One staircase per element, staircase i with the settings of element i.
    // Every step text must hold numbers only (as runProblem in Run.h checks);
    // each text is parsed once and reused while it stays the same.
    void configure(const std::vector<StaircaseSettings> &staircases);

    // Destroys every staircase.
    void clear();
    // Adds n staircases, then initialises every staircase in the set and
    // numbers them 0, 1, 2 ... in order. n <= 0 adds nothing.
    void addStaircases(int n);

    void setAscending(const std::vector<bool> &ascending);
    void setStartStates(const std::vector<double> &startStates);
    void setCorrectAnswersToPositiveStep(const std::vector<int> &correctAnswersToPositiveStep);
    void setMaxInversions(const std::vector<int> &maxInversions);
    void setMaxTrials(const std::vector<int> &maxTrials);
    void setStepSizes(int id, const std::vector<double> &steps, double negativeStep);
    void setClamps(int id, double lower, double upper, int limit);

    // Picks the staircase for the trial under way. The reference stays valid
    // until the `step` that removes that staircase.
    Staircase &chooseStaircase();
    // Routes the response to the picked staircase; returns true once no
    // staircase is left.
    bool step(bool response);
    // The staircase that took the last response, as it is after it (kept
    // until the next step even when it finished and left the set).
    const Staircase &lastStepped() const;
    // Whether that response finished it.
    bool lastStepFinished() const { return lastFinished; }

    // Number of staircases not finished yet.
    int size() const { return static_cast<int>(vStaircase.size()); }
    bool empty() const { return vStaircase.empty(); }
    // The unfinished staircases in ascending id order.
    const std::vector<Staircase> &getStaircases() const { return vStaircase; }

private:
    Staircase *findById(int id);

    RandomEngine *engine;
    // Unfinished staircases in ascending id order. Held by value: the set
    // is small and a removal only moves the few staircases behind it.
    std::vector<Staircase> vStaircase;
    // Position of currentStaircase in vStaircase; noCurrent when none.
    std::size_t currentStaircase;
    std::size_t lastStep = noCurrent;
    bool lastFinished = false;
    Staircase finishedStaircase;
    // The step texts configure parsed last, and their sizes.
    std::vector<std::string> parsedStepTexts;
    std::vector<std::vector<double>> parsedSteps;
    static constexpr std::size_t noCurrent = static_cast<std::size_t>(-1);
};
