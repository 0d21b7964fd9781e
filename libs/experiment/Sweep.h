#pragma once
// A sweep: one experiment run again and again while one or more settings take
// a list of values, with the statistics across repetitions of every
// combination of values and every staircase.
//
// The window's Sweep tab, quorvel-batch's --vary and --stats and the Python
// module all go through here:
//  - `parseSweepValues` reads a value list ("0.5, 1, 2" or FROM:TO:STEP);
//  - `applySweepValue` sets one parameter of a RunRequest (and K) to a value;
//  - `planSweep` makes every combination of the axes' values (the first axis
//    varies slowest) and checks each one as Start would;
//  - `runSweep` runs each combination from its own RandomEngine seeded with
//    the same seed (common random numbers: the differences between values are
//    much less noisy than the values), keeps only the statistics of each
//    combination (RepetitionStats) and drops its trials;
//  - `sweepStatsText` writes the rows as one tidy tab-separated table.
// Combinations may run on several threads; every combination has its own
// engine and its own slot in the result, so the result does not depend on
// the number of threads or their timing.

#include "Estimators.h"
#include "ExactRun.h"
#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "Run.h"
#include "StaircaseTheory.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class SweepParameter {
    stepScale, // the negative step and every positive step times the value: the classic target stays
    positiveStep, // one positive step size for every reversal
    negativeStep,
    correctAnswers,
    maxReversals,
    maxTrials,
    lastReversals, // K, reversals per estimate
    start,
    sigma, // the observer's
    guess,
    lapse,
};

// In the order the window lists them.
constexpr std::array<SweepParameter, 11> allSweepParameters { SweepParameter::stepScale,
    SweepParameter::positiveStep, SweepParameter::negativeStep, SweepParameter::correctAnswers,
    SweepParameter::maxReversals, SweepParameter::maxTrials, SweepParameter::lastReversals,
    SweepParameter::start, SweepParameter::sigma, SweepParameter::guess, SweepParameter::lapse };

// "step-scale", "positive-step", ..., "lapse": the batch program's and the Python module's names.
const char *sweepParameterName(SweepParameter parameter);
std::optional<SweepParameter> sweepParameterFromName(std::string_view name);
// The window's texts: "Step size, target kept", "Positive step", ...
const char *sweepParameterLabel(SweepParameter parameter);
// Whether the parameter is a staircase's setting, which "S:NAME" may vary for staircase S alone
// (the observer's and K are not).
bool isStaircaseParameter(SweepParameter parameter);

constexpr std::size_t maxSweepValues = 200;
constexpr std::size_t maxSweepCombinations = 10000;

// A comma list ("0.5, 1, 2") or FROM:TO:STEP, inclusive ("0.25:2:0.25"; TO is
// kept when it lies within a millionth of a step of the last value); at most
// maxSweepValues values, every one finite. Otherwise one problem.
Expected<std::vector<double>> parseSweepValues(std::string_view text);

struct SweepAxis {
    SweepParameter parameter = SweepParameter::stepScale;
    int staircase = -1; // -1: every staircase
    std::vector<double> values;

    // The parameter's name, "S:" first for one staircase: the column's name in --stats.
    std::string name() const;
};

// An axis as the batch program's --vary and the Python module's sweep name it:
// "NAME", or "S:NAME" for staircase S alone (S its 0-based number); its values
// are left empty. Otherwise one problem, which names every parameter when NAME
// is none of them.
Expected<SweepAxis> parseSweepAxis(std::string_view text);

// Sets `parameter` of `request` (of every staircase, or of staircase
// `staircase` only) to `value`; K goes to `lastReversals`. Returns the
// problem (a value the parameter cannot take) and changes nothing then.
std::optional<Problem> applySweepValue(
    SweepParameter parameter, int staircase, double value, RunRequest &request, int &lastReversals);

struct SweepRequest {
    RunRequest base; // its repetitions are each combination's
    int lastReversals = defaultLastReversals;
    std::uint32_t seed = RandomEngine::defaultSeed;
    std::vector<SweepAxis> axes; // none: the base alone, one combination
};

// One combination of values, ready to run.
struct SweepPoint {
    std::vector<double> values; // one per axis
    RunRequest request;
    int lastReversals = defaultLastReversals;
};

struct SweepPlan {
    std::vector<SweepPoint> points; // the first axis varies slowest
};

// The problem of the first combination that cannot run, if any.
Expected<SweepPlan> planSweep(const SweepRequest &request);

// One combination × staircase.
struct SweepRow {
    std::size_t point = 0; // the combination's index in the plan
    std::vector<double> values; // the combination's values, one per axis
    int staircase = 0;
    Estimator estimator = Estimator::reversals; // whose estimates `stats` describes
    std::string id; // the staircase's display text
    StaircaseSettings settings; // as the combination ran it
    ObserverSettings observer;
    StaircaseTheory theory;
    RepetitionStats stats;
    // Its exact finite-run values, when asked for (addExactRuns).
    std::optional<ExactRun> exact;
};

struct SweepResult {
    std::vector<SweepAxis> axes;
    std::uint32_t seed = RandomEngine::defaultSeed;
    int repetitions = 0;
    std::vector<SweepRow> rows; // by combination, then staircase
    bool complete = false; // false when cancelled
    bool withExact = false; // the rows carry exact values: the tables add their columns
    bool simulated = true; // false: only the exact values, every simulated column NA

    // The staircases of a combination (every combination has the same number).
    int staircaseCount() const;
};

struct SweepProgress {
    long long repetitions = 0; // finished, over every combination
    long long totalRepetitions = 0;
    int points = 0; // combinations finished
    int totalPoints = 0;
};

// Called now and then from the threads that run the sweep, one call at a time.
using SweepProgressCallback = std::function<void(const SweepProgress &)>;

// The most trials that are kept at once: each running thread holds one
// combination's run until its statistics are taken.
std::uint64_t sweepMaximumTrialsHeld(const SweepPlan &plan, unsigned threads);

// The threads runSweep uses with threads = 0.
unsigned sweepThreads(const SweepPlan &plan);

// Runs every combination of a plan. Stops soon after `cancel` becomes
// true, with complete = false and the rows of the combinations finished.
// threads = 0: one per core, at most one per combination. Throws what
// simulate throws (std::bad_alloc, std::length_error).
SweepResult runSweep(const SweepRequest &request, const SweepPlan &plan,
    const SweepProgressCallback &progress = {}, const std::atomic<bool> *cancel = nullptr,
    unsigned threads = 0);

// The rows of one run made without a sweep (every staircase, no varied values),
// as runSweep would give them for its request with no axes.
SweepResult sweepResultOf(const RunResult &run, int lastReversals, std::uint32_t seed);
// The rows of a finished run for each of `estimators` in turn (one row per
// estimator and staircase).
SweepResult sweepResultOf(const RunResult &run, const EstimatorSettings &settings,
    const std::vector<Estimator> &estimators, std::uint32_t seed);

// RMSE² × mean trials: the statistics' own sweat factor when they give one,
// otherwise worked out from their RMSE and mean trials; empty without either.
// The rows of a request that is not simulated (every statistic empty), for
// the exact values alone.
SweepResult unsimulatedResultOf(const RunRequest &request, int lastReversals, std::uint32_t seed);

// Works out every row's exact values (ExactRun.h) for its own settings and K;
// false when cancelled through `control`. Rows of the same staircase and
// observer settings share one chain (worked out for the largest K they ask),
// and the chains run on one thread per core (threads = 0) or `threads`;
// progress is the share of the chains done.
bool addExactRuns(SweepResult &result, const ExactControl &control = {}, unsigned threads = 0);

// The sweep of the exact values alone: the rows of every combination of a
// plan as unsimulatedResultOf gives them, with their exact values, in a
// fraction of a simulation's time. complete = false when cancelled.
SweepResult exactSweep(const SweepRequest &request, const SweepPlan &plan, const ExactControl &control = {});

std::optional<double> sweatFactor(const RepetitionStats &stats);

// The estimator the rows' estimates come from (the mean of the last K reversal levels).

// A column of the --stats table: its name and the text of its cell in a row.
struct SweepColumn {
    std::string name;
    std::function<std::string(const SweepRow &)> cell;
};

// The columns of the --stats table, in order: each axis's name, seed,
// last_reversals, repetitions, staircase, id, estimator, psi_star, x_star,
// count, mean, mean_lo, mean_hi, bias, sd, sd_lo, sd_hi, se, q025, q975,
// rmse, rmse_lo, rmse_hi, mean_trials, sweat, sweat_lo, sweat_hi,
// stopped_reversals, stopped_trials, stopped_clamp, fewer_reversals, then the
// staircase's and the observer's settings. Numbers are the shortest text that
// reads back to the same double; "NA" where a value does not exist.
std::vector<SweepColumn> sweepStatsColumns(const SweepResult &result);

// The header, then one line per row; tab-separated, every line ends with "\n".
// An ID with a '"' is quoted, as R and pandas read it.
std::string sweepStatsText(const SweepResult &result);
