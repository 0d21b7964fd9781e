#pragma once
// One adaptive up/down staircase.
//
// The staircase holds the level to present next (`state`), takes one boolean
// response per trial in `step`, moves the level, counts direction reversals
// (inversions), keeps the level inside its clamps and reports when it has
// finished. It keeps no per-trial history: the caller reads the getters
// (id, level, inversions, trials) for a trial's record before calling `step`.
//
// Directions (true is the observer's positive answer):
//  - descending: every false raises the level by `negativeStep`; a run of
//    `correctAnswersToPositiveStep` consecutive true answers lowers it by a
//    positive step;
//  - ascending: the mirror image (true lowers by `negativeStep`, a run of
//    false answers raises by a positive step).
// Until the first inversion a single answer of the driving kind gives a
// positive step of size positiveSteps[0]. After that a run step uses
// positiveSteps[inversions / 2], or the last entry positiveSteps[maxInversions - 1]
// on the trial that reaches maxInversions.
//
// It finishes once trials reach maxTrials, inversions reach maxInversions, or
// the hits on a clamp reach a clamp-hit limit of 1 or more (a limit of 0
// leaves the clamps active but never ends the staircase).
//
// Expected order of calls: init, the setters (setMaxInversions before
// setStepSizes, which checks the list against maxInversions), then
// getState / step once per trial until step returns true. Stepping when a
// positive step is due and the step list has no entry for it is a broken
// caller contract and aborts with a message (see Contract.h).

#include <cstddef>
#include <vector>

class Staircase
{
public:
    Staircase();

    // Resets every setting and counter to its default: level 0, ascending,
    // run length 3 with a window of three false answers, maxInversions 3,
    // maxTrials 30, negativeStep 1, id 0, clamps at ±1e30 (never reached)
    // with hit limits 3, no trials, inversions or hits. The positive step
    // sizes are left as they are.
    void init();

    void setMaxInversions(int maxInversions);
    void setMaxTrials(int maxTrials);
    void setStartState(double startState);
    void setId(int id);
    // Both refill the response window with the value that starts no run
    // step: all true when ascending, all false when descending.
    void setCorrectAnswersToPositiveStep(int n);
    void setAscending(bool ascending);
    // Copies `steps`, which count as padded with their last entry to
    // maxInversions entries; a longer list is kept whole after a message
    // (see Reporting.h).
    void setStepSizes(const std::vector<double> &steps, double negativeStep);
    // Needs lower < upper; otherwise reports a message and keeps
    // the clamps and limits it had. `limit` goes to both clamp-hit limits;
    // the hit counters are not reset.
    void setClamps(double lower, double upper, int limit);

    // Applies one response; returns true once the staircase has finished.
    bool step(bool response);

    double getState() const { return state; }
    int getId() const { return id; }
    int getInversions() const { return inversions; }
    int getTrials() const { return trials; }
    int getMaxInversions() const { return maxInversions; }
    int getMaxTrials() const { return maxTrials; }
    double getLowerClamp() const { return lowerClamp; }
    double getUpperClamp() const { return upperClamp; }
    int getLowerClampHits() const { return lowerClampHits; }
    int getUpperClampHits() const { return upperClampHits; }
    // The step sizes as the rule indexes them, padded to maxInversions entries.
    std::vector<double> getPositiveSteps() const;
    // The last responses, newest first. A run length of 0 keeps one entry,
    // the newest response, as a run length of 1 does.
    std::vector<bool> getResponseWindow() const;

private:
    void resetResponseWindow(bool value);
    void fillResponseWindow(bool value);
    void pushResponse(bool response);
    // Records a level change in `direction`, counting an inversion when it reverses the last one.
    void changeDirection(int direction);
    double runStepSize() const;
    // Entry `index` of the padded step list.
    double stepSize(int index) const;

    double state;
    int maxInversions;
    double negativeStep;
    int trials;
    int maxTrials;
    bool ascending;
    int id;
    int correctAnswersToPositiveStep;
    int lastDirection; // 1: the last level change went down, 0: it went up
    int inversions;
    double lowerClamp;
    double upperClamp;
    int upperClampHits;
    int lowerClampHits;
    int maxUpperClampHits;
    int maxLowerClampHits;
    // The last correctAnswersToPositiveStep responses (at least one slot) as
    // a ring: the newest at windowFront, older ones following it circularly.
    // Only "none true" and "all true" are asked of it, hence the count.
    std::vector<char> responseWindow;
    std::size_t windowFront;
    std::size_t windowTrueCount;
    std::vector<double> positiveSteps; // as given, not padded
};
