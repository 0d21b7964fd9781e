#pragma once
// What one session's threshold estimate is worth: statistics across the
// repetitions of a run, per staircase.
//
// A repetition's estimate for a staircase is the mean of its last K reversal
// levels (RunResult's reversal levels: the level presented on each trial whose
// answer reversed the direction). Repetitions with fewer than K reversals give
// no estimate; they are counted and left out. Over the estimates of a staircase
// `repetitionStats` gives their mean and spread and compares them with the
// classic target x* of StaircaseTheory (the final positive step's target), so
// the window's table, its histogram, the batch program and the tests share one
// set of numbers. Only the repetitions that ran to their end count.
//
// `writeRepetitionSummary` writes the estimates as a tab-separated table, one
// row per repetition and staircase, for R or pandas.

#include "Estimators.h"
#include "Run.h"
#include "StaircaseTheory.h"
#include "TrialTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

constexpr int defaultLastReversals = 6;

// A two-sided interval, low ≤ high.
struct Interval {
    double low = 0.0;
    double high = 0.0;
};

struct TrialsPerRepetition {
    double mean = 0.0;
    std::uint32_t min = 0;
    std::uint32_t max = 0;
};

// Statistics of a set of estimates (level units) against a staircase's classic target.
struct EstimateStats {
    int count = 0;
    // Empty without estimates.
    std::optional<double> mean;
    std::optional<double> psiAtMean; // ψ(mean)
    // Need two estimates: the standard deviation with the n − 1 divisor, the
    // standard error of the mean (SD / √n), and the 2.5 % and 97.5 % quantiles
    // (linear interpolation between order statistics at (n − 1)·p: R's default
    // type 7, numpy's "linear").
    std::optional<double> sd;
    std::optional<double> standardError;
    std::optional<double> lowerQuantile;
    std::optional<double> upperQuantile;
    // Against the classic target; empty when x* is unreachable or there is no estimate.
    std::optional<double> bias; // mean − x*
    std::optional<double> biasPercentPoints; // (ψ(mean) − ψ*) × 100
    std::optional<double> rmse; // √(mean of (estimate − x*)²)
    // 95 % intervals (empty until computed by addEfficiency, or with fewer
    // than two estimates): the mean's is mean ± 1.96 SE; SD's and RMSE's are
    // percentile-bootstrap intervals over the repetitions (estimates can be
    // heavy-tailed, so no normal theory for them).
    std::optional<Interval> meanInterval;
    std::optional<Interval> sdInterval;
    std::optional<Interval> rmseInterval;
};

struct RepetitionStats {
    int lastReversals = defaultLastReversals; // K
    int repetitions = 0; // repetitions that ran to their end
    int fewerReversals = 0; // of them, those with fewer than K reversals (no estimate)
    EstimateStats estimates; // of the others

    // Over every repetition that ran to its end; empty without one.
    std::optional<TrialsPerRepetition> trials;
    int stoppedOnReversals = 0;
    int stoppedOnTrials = 0;
    int stoppedOnClampHits = 0;
    // RMSE² × mean trials: the trials a setting spends per unit of squared
    // error (lower is better); empty without an RMSE or trials.
    std::optional<double> sweatFactor;
    std::optional<Interval> sweatInterval; // percentile bootstrap, as the RMSE's
};

// The bootstrap behind the intervals: this many resamples of the repetitions,
// drawn from a generator of its own (never the run's) seeded thus, so the same
// run always gives the same intervals.
constexpr int bootstrapResamples = 1000;
constexpr std::uint32_t bootstrapSeed = 5489;

// Fills the sweat factor and the 95 % intervals of `stats`, whose estimate
// statistics and trials are already set, from the repetitions they came from:
// `estimates[r]` (empty for a repetition without one) and `trials[r]`, in
// repetition order, for every repetition that ran to its end. A resample draws
// that many repetitions with replacement (boost's mt19937 and
// uniform_int_distribution, so every platform draws the same) and recomputes
// SD, RMSE and sweat factor from its estimates and trials; resamples with fewer
// than two estimates are left out. Each interval runs from the 2.5 % to the
// 97.5 % quantile (type 7) of its resampled values. `target` is x*.
void addEfficiency(RepetitionStats &stats, const std::vector<std::optional<double>> &estimates,
    const std::vector<double> &trials, std::optional<double> target, int resamples = bootstrapResamples);

// The p-quantile of sorted, non-empty values: h = (n − 1)·p, then linear
// interpolation between the order statistics around h (R's type 7).
double quantileOfSorted(const std::vector<double> &sorted, double p);
// The same quantile of the values in [begin, end), not sorted and not empty, which it reorders.
double quantile(double *begin, double *end, double p);

// The estimate of one repetition: the mean of its last `lastReversals`
// reversal levels; empty when it had fewer. Needs lastReversals ≥ 1.
std::optional<double> repetitionEstimate(
    const RunResult &result, int repetition, int staircase, int lastReversals);

// The estimates of a staircase in repetition order, repetitions without one left out.
std::vector<double> repetitionEstimates(const RunResult &result, int staircase, int lastReversals);

EstimateStats estimateStats(
    std::vector<double> estimates, const StaircaseTheory &theory, const ObserverSettings &observer);

// `theory` is the staircase's StaircaseTheory for the run's observer.
RepetitionStats repetitionStats(const RunResult &result, int staircase, const StaircaseTheory &theory,
    int lastReversals = defaultLastReversals);

// The same statistics for any estimator: `estimates` are the staircase's
// estimates one per repetition (staircaseEstimates or allStaircaseEstimates,
// empty where none); `fewerReversals` then counts the repetitions without one.
RepetitionStats repetitionStats(const RunResult &result, int staircase, const StaircaseTheory &theory,
    const std::vector<std::optional<double>> &estimates, int lastReversals = defaultLastReversals);
RepetitionStats repetitionStats(const RunResult &result, int staircase, const StaircaseTheory &theory,
    Estimator estimator, const EstimatorSettings &settings);

// RMSE² × mean trials per repetition.
double sweatFactor(double rmse, double meanTrials);

// The per-repetition summary: the header
//   repetition  staircase  ID  estimate  reversals  trials  stop
//   estimate_trials  estimate_cir  estimate_ml
// then one row per repetition (numbered from 1, as the graph's repetition
// selector does) and staircase (its 0-based index, as in the results table),
// in that order. ID is the staircase's display text (tabs and line breaks,
// which runProblem refuses anyway, become spaces; a text with a '"' is quoted,
// inner quotes doubled, as R and pandas read it); estimate is the shortest text
// that reads back to the same double (formatReal's form) or NA without one;
// reversals and trials are the repetition's counts; stop is "reversals",
// "trials" or "clamp hits"; the last three are the other estimators' estimates
// (Estimators.h; the run's own observer), in the same form, after the seven
// columns older readers know. Fields are separated by one tab and every line
// ends with "\n", without a trailing tab, so every line has exactly ten fields.
// Returns false as soon as the sink refuses a piece.
bool writeRepetitionSummary(const RunResult &result, const EstimatorSettings &settings, const TextSink &sink);
// With K = lastReversals and the default R.
bool writeRepetitionSummary(const RunResult &result, int lastReversals, const TextSink &sink);

// The same text in one string (for small runs and tests).
std::string repetitionSummaryText(const RunResult &result, const EstimatorSettings &settings);
std::string repetitionSummaryText(const RunResult &result, int lastReversals);
