#pragma once
// The table quorvel-batch prints: one line per staircase with where it aims
// and what its estimates came to over the repetitions.
//
// Columns, separated by at least two spaces and aligned (numbers to the right):
//   NAME...      with --vary, one column per varied setting first, named as
//                given ("step-scale", "1:negative-step") and holding its value
//   staircase    the staircase's index, as in the trial table
//   target_pct   the classic target ψ* of its final positive step, in percent
//                (6 significant digits)
//   x_star       the observer's level at ψ*
//   mean         the mean of the repetitions' estimates (by default the mean
//                of the last K reversal levels; Estimators.h has the others)
//   bias         mean − x_star
//   sd           the estimates' standard deviation (n − 1 divisor)
//   mean_trials  the staircase's trials per repetition, averaged
//   sweat        the sweat factor, RMSE² × mean_trials (6 significant digits)
//   estimates    how many repetitions reached K reversals and so gave an estimate
//   ID           the staircase's display text: the rest of the line
// With --exact, these come before the ID (ExactRun.h, for the same K):
//   exact_mean        the exact mean of the estimate, given one
//   exact_bias        exact_mean − x_star
//   exact_sd          the exact SD of the estimate, given one
//   exact_mean_trials the exact mean number of trials
//   exact_p_estimate  the probability of at least K reversals
// With --exact-only the table is staircase, target_pct, x_star, those five,
// exact_rmse, exact_p_stop_trials (the probability of stopping on the trial
// limit), exact_status and ID.
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
struct RunRequest;
struct ExactRun;
struct SweepResult;

// One line per row of the sweep (combination × staircase); with the exact
// columns when its rows carry exact values.
std::string staircaseTableText(const SweepResult &result);
// The table of one run without a sweep.
std::string staircaseTableText(const RunResult &result, int lastReversals);
// The --exact-only table: one ExactRun per staircase of the request.
std::string exactTableText(const RunRequest &request, const std::vector<ExactRun> &exact, int lastReversals);
