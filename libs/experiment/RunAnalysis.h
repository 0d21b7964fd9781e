#pragma once
// What the window's Analysis tab shows of one run for one choice of K and R:
// every staircase's estimates by every estimator, one per repetition, and
// their statistics across the repetitions (each with its bootstrap intervals).
//
// For a long run this is seconds of work (the estimates take a pass over every
// trial, each bootstrap a million draws per thousand repetitions), so it is
// worked out off the GUI thread, with the run and again when K or R changes; a
// change of K or R keeps what it does not touch.

#include "Estimators.h"
#include "RepetitionStats.h"
#include "Run.h"
#include "StaircaseTheory.h"

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

struct RunAnalysis {
    EstimatorSettings settings;
    std::vector<StaircaseEstimates> estimates; // element s: staircase s
    std::vector<std::array<RepetitionStats, allEstimators.size()>> stats; // [staircase][estimator]

    const RepetitionStats &statsOf(int staircase, Estimator estimator) const
    {
        return stats[std::size_t(staircase)][std::size_t(estimator)];
    }
};

// Works out the analysis of `run`, whose staircases aim at `theories` (one per
// staircase, for the run's observer). What `earlier` (an analysis of the same
// run) holds of an estimator that the new settings leave alone is taken over
// instead of worked out again: K changes only the reversal estimates, R only
// the trial means. Nothing when `cancel` becomes true midway. `progress`, if
// given, hears the share done (0 to 1) after each piece of work.
std::optional<RunAnalysis> analyseRun(const RunResult &run, const std::vector<StaircaseTheory> &theories,
    const EstimatorSettings &settings, const RunAnalysis *earlier = nullptr,
    const std::atomic<bool> *cancel = nullptr, const std::function<void(double)> &progress = {});
