#pragma once
// The experiment bench_engine's trial loop runs, in two forms: as settings for a
// staircase set, and as a parameters file for the batch program, so
// that the two benchmarks compare like with like (the trial's cost depends
// strongly on the experiment: erf dominates).
//
// n staircases: even ones ascend from -5 between the clamps -20 and 20, odd
// ones descend from 5 without clamps; 1-up/3-down, at most 200 reversals and
// 2000 trials, positive steps 1, 0.5, 0.25, 0.1 and a negative step of 0.1,
// against an observer with μ = 0, σ = 1, γ = λ = 0.02.

#include "ParStaircase.h"

#include <string>
#include <vector>

inline std::vector<StaircaseSettings> trialLoopStaircases(int n)
{
    std::vector<StaircaseSettings> staircases(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < staircases.size(); ++i) {
        StaircaseSettings &s = staircases[i];
        s.ascending = i % 2 == 0;
        s.startLevel = s.ascending ? -5.0 : 5.0;
        s.correctAnswers = 3;
        s.maxInversions = 200;
        s.maxTrials = 2000;
        s.positiveStepsText = "1,0.5,0.25,0.1";
        s.negativeStep = 0.1;
        s.clampActive = s.ascending;
        s.lowerClamp = -20.0;
        s.upperClamp = 20.0;
        s.maxClampHits = 0;
    }
    return staircases;
}

// The same experiment with four staircases as a parameters file.
inline const char *trialLoopExperimentFile()
{
    return "Mu 0\nSigma: 1\nLapseRate: 0.02\nGuessRate: 0.02\nsStairNumber: 4\n"
           "sStairStartStates: -5,5,-5,5\nsStairAscending: 1,0,1,0\nsStairCorrectAnswers: 3,3,3,3\n"
           "sStairMaxInversions: 200,200,200,200\nsStairMaxTrials: 2000,2000,2000,2000\n"
           "sStairPositiveStep: 1,0.5,0.25,0.1\nsStairNegativeStep: 0.1\nsStairClampLower: -20\n"
           "sStairClampUpper: 20\nsStairMaxClampHits: 0\nsStairClampActive: 1,0,1,0\n";
}
