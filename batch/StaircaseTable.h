#pragma once
// The table quorvel-batch prints: one line per staircase with where it aims
// and what its estimates came to over the repetitions.
//
// Columns, separated by at least two spaces and aligned (numbers to the right):
//   staircase    the staircase's index, as in the trial table
//   target_pct   the classic target ψ* of its final positive step, in percent
//                (6 significant digits)
//   x_star       the observer's level at ψ*
//   mean         the mean of the repetitions' estimates (by default the mean
//                of the last K reversal levels; Estimators.h has the others)
//   bias         mean − x_star
//   sd           the estimates' standard deviation (n − 1 divisor)
//   mean_trials  the staircase's trials per repetition, averaged
//   estimates    how many repetitions gave an estimate (reached K reversals)
//   ID           the staircase's display text: the rest of the line
// Levels have 6 decimals, as the Analysis tab shows averages; a value that
// does not exist (an unreachable target, no estimate, fewer than two for the
// SD) is "NA". The first line names the columns. Every number is the one
// StaircaseTheory and RepetitionStats give, so the window and the batch
// program agree; "." is the decimal point whatever the locale.

//
// With several estimators the table comes once per estimator, each block
// after a line "estimator: NAME" and a blank line between blocks; with one,
// the table alone.

#include "Estimators.h"

#include <string>
#include <vector>

class RunResult;

std::string staircaseTableText(const RunResult &result, int lastReversals);
std::string staircaseTableText(
    const RunResult &result, const std::vector<Estimator> &estimators, const EstimatorSettings &settings);
