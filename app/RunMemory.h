#pragma once
// What a run may cost in memory, asked about before it starts. The bound is
// the run's most trials (repetitions × the staircases' maximum trials) times
// what the window keeps per trial; most runs stop far below it, so a run over
// the budget is asked about rather than refused.

#include "Estimators.h"
#include "RunMemoryBudget.h"
#include "StaircaseTheory.h"

#include <QString>

#include <cstdint>
#include <optional>

struct RunRequest;

// Bytes the window holds per recorded trial: the trial (24), its graph point
// together with the copy the plot makes of it (2 × 16) and its place in the
// row order sorted by ID (4).
constexpr std::uint64_t windowBytesPerTrial = 24 + 2 * 16 + 4;

// Bytes the window holds per per-step target (perStepTargetCount): the run's
// theories, the comparison table's copy of them and the estimators' own.
constexpr std::uint64_t windowBytesPerStepTarget = 3 * sizeof(ClassicTarget);

// Bytes the window holds per staircase and repetition beyond the run's own
// outcome and reversal levels: every estimator's estimate in the run's analysis.
constexpr std::uint64_t windowBytesPerStaircaseRepetition
    = allEstimators.size() * sizeof(std::optional<double>);

// "This run may record up to N trials (about X GB). Run anyway?" when the run's
// bound (runMemoryBound, what the window adds per trial and per staircase and
// repetition, and its staircases' per-step targets) exceeds `budget` bytes;
// otherwise an empty string.
QString memoryQuestion(const RunRequest &request, std::uint64_t budget);
