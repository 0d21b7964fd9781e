#pragma once
// The simulation run: the staircases of the parameter pages, run interleaved
// against the simulated observer, every trial recorded.
//
// Before every repetition the staircase set is rebuilt from the pages
// (configureParStaircase). On every trial the set picks a staircase, the
// observer answers its level, the trial is appended to the records and to the
// reversal map, and only then is the answer applied: the records hold the
// level, inversion count and trial count before the response. The pick is
// drawn before the answer, so a run is reproduced exactly from the same
// engine position.

#include "StaircaseSettings.h"

#include <QBitArray>
#include <QMap>
#include <QVector>

#include <vector>

class ParStaircase;
class PsychometricObserver;
class RandomEngine;

// The result records of a run, kept by the window; element k of the six
// per-trial arrays is trial k.
struct RunRecords {
    QVector<int> &vIds;
    QVector<int> &vNtrial;
    QVector<int> &vSteps;
    QVector<int> &vInversions;
    QVector<double> &vStates;
    QBitArray &vResponses;
    // Staircase id -> (inversion count before the answer -> level of the last
    // trial presented at that count).
    QMap<int, QMap<int, double>> &reversalLevels;

    // Empties all records (at the start of a run, not between repetitions).
    void clear();
};

// Rebuilds the set from the staircases' settings; staircase i gets id i.
// The settings must have passed runProblem (every step list non-empty).
void configureParStaircase(ParStaircase &parStaircase, const std::vector<StaircaseSettings> &staircases);

// Runs one repetition until every staircase of the configured set has
// finished, appending one record per trial numbered from `trialNumber` on.
// The observer answers with `engine`, which should be the one the set picks
// with. Returns the number for the next trial.
int runRepetition(ParStaircase &parStaircase, const PsychometricObserver &observer, RandomEngine &engine,
    RunRecords &records, int trialNumber);
