#pragma once
// The table quorvel-batch prints: one line per staircase with where it aims
// and what its estimates came to over the repetitions.
//
// Columns, separated by at least two spaces and aligned (numbers to the right):
//   staircase    the staircase's index, as in the trial table
//   target_pct   the classic target ψ* of its final positive step, in percent
//                (6 significant digits)
//   x_star       the observer's level at ψ*
//   mean         the mean of the repetitions' estimates (mean of the last K
//                reversal levels)
//   bias         mean − x_star
//   sd           the estimates' standard deviation (n − 1 divisor)
//   mean_trials  the staircase's trials per repetition, averaged
//   sweat        the sweat factor, RMSE² × mean_trials (4 decimals): trials
//                spent per unit of squared error, lower is better
//   estimates    how many repetitions reached K reversals and so gave an estimate
//   ID           the staircase's display text: the rest of the line
// Levels have 6 decimals, as the Analysis tab shows averages; a value that
// does not exist (an unreachable target, no estimate, fewer than two for the
// SD) is "NA". The first line names the columns. Every number is the one
// StaircaseTheory and RepetitionStats give, so the window and the batch
// program agree; "." is the decimal point whatever the locale.

#include <string>

class RunResult;

std::string staircaseTableText(const RunResult &result, int lastReversals);
