#pragma once
// What one session's last-K-reversals estimate is worth, computed exactly from
// the staircase's Markov chain instead of simulated.
//
// A session is not long-run: it stops after M reversals or T trials, and its
// estimate averages its last K reversal levels. `exactRun` follows the
// staircase's rules exactly as Staircase applies them (the first phase before
// the first reversal, the step index from the reversal count, stopping at M
// reversals or T trials) on the chain whose state is the level (on the common
// grid of the negative step and every positive step the staircase can use,
// anchored at the start level), the run counter, the direction of the last
// level change (none before the first trial) and the reversal count. The
// probability is pushed forward trial by trial; beside it every state carries
// the expected sums of its last j reversal levels and of their squares, for
// j = 1 … K, so that whatever count a session ends with, the moments of its
// estimate are known exactly. No random numbers are drawn.
//
// States whose probability falls below 1e-20 at the edges of the levels a layer
// of the chain occupies are dropped; `neglectedMass` adds up what was dropped
// (a few 1e-15 at most in practice), which bounds the error of every value.
//
// Clamps change the levels (and stop a session on clamp hits), so a clamped
// staircase is not computed; nor is one whose steps share no grid, or whose
// chain needs more than the budget of state-trials. That is estimated before
// the first trial (the levels the probability can reach times the layers of
// the reversal counts, over the trials a session lasts), so a chain far over
// it is refused at once, and checked again as the work is done. The window computes it in
// the background with a progress bar and cancel; the batch program and the
// Python module call the same function.

#include "StaircaseSettings.h"
#include "StaircaseTheory.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class ExactStatus : unsigned char {
    computed,
    clamped, // the clamps are on
    noSteps, // the positive step text is not a list of numbers, or is empty
    noGrid, // the steps share no grid within the stationary solution's limit
    overBudget, // the chain needs more than the budget of state-trials
    cancelled,
};

// The most (chain state, trial) pairs one staircase is pushed through: about a
// second on one core, which keeps the window's answer prompt.
constexpr std::uint64_t exactStateTrialBudget = 50'000'000;

// The estimate of one K (level units). Values given an estimate are empty when
// no session reaches K reversals; those against a target are empty without it.
struct ExactEstimate {
    int lastReversals = 0; // K
    double pEstimate = 0.0; // P(at least K reversals)
    std::optional<double> mean; // given an estimate
    std::optional<double> sd; // given an estimate
    std::optional<double> bias; // mean − x* (the classic target of the final step)
    std::optional<double> biasToStationary; // mean − the long-run mean reversal level
    std::optional<double> rmse; // √E[(estimate − x*)²], given an estimate
    std::optional<double> sweatFactor; // rmse² × mean trials
};

struct ExactRun {
    ExactStatus status = ExactStatus::noSteps;
    // The rest is meaningful only when computed.
    double pStopReversals = 0.0;
    double pStopTrials = 0.0;
    double meanTrials = 0.0;
    double sdTrials = 0.0;
    // Element t: P(the staircase stops after exactly t trials), t = 0 … T.
    std::vector<double> trialsDistribution;
    // Element K − 1 for K = 1 … the lastReversals asked for: every smaller K
    // comes at no extra cost.
    std::vector<ExactEstimate> estimates;
    double gridUnit = 0.0; // level units
    int gridLevels = 0; // levels from the lowest visited to the highest
    std::uint64_t stateTrials = 0; // work done, against the budget
    double neglectedMass = 0.0;

    // Null when K is outside 1 … estimates.size() or nothing was computed.
    const ExactEstimate *estimate(int lastReversals) const;
};

struct ExactControl {
    // Stops the work soon after it becomes true (status cancelled).
    const std::atomic<bool> *cancel = nullptr;
    // Called after every trial pushed, with the share of the trial limit done (0 … 1).
    std::function<void(double)> progress;
    std::uint64_t stateTrialBudget = exactStateTrialBudget;
};

// `theory` is staircaseTheory(staircase, observer): its x* and long-run mean
// reversal level give the biases. Needs lastReversals ≥ 1.
ExactRun exactRun(const StaircaseSettings &staircase, const ObserverSettings &observer,
    const StaircaseTheory &theory, int lastReversals, const ExactControl &control = {});

// The exact values of every staircase of an experiment, in order, with one
// control: progress is the share of the staircases done, and once cancelled
// the staircases not yet done are left cancelled too.
std::vector<ExactRun> exactRuns(const std::vector<StaircaseSettings> &staircases,
    const ObserverSettings &observer, const std::vector<StaircaseTheory> &theories, int lastReversals,
    const ExactControl &control = {});

// How far a simulated value lies from the exact one, in standard errors of the
// simulation: (simulated − exact) / se. Empty unless se is positive and finite.
std::optional<double> standardErrorsFrom(double simulated, double exact, double se);
// Standard errors of simulated values over n repetitions (0 when n is too small):
// of a share whose exact value is p, √(p(1 − p)/n);
double shareStandardError(double p, int n);
// of a sample SD, sd/√(2(n − 1)), which assumes normal tails;
double sdStandardError(double sd, int n);
// of a value with a 95 % interval, its width / (2 × 1.96).
double intervalStandardError(double low, double high);

// "computed", "clamped", "no-steps", "no-grid", "over-budget", "cancelled": the
// batch program's exact_status.
const char *exactStatusName(ExactStatus status);
// The window's text: "Computed", "Not computed: the clamps are on", ...
std::string exactStatusText(ExactStatus status);

// The exact columns of the batch program's --stats table, in order:
// exact_p_estimate, exact_mean, exact_sd, exact_bias, exact_rmse,
// exact_p_stop_reversals, exact_p_stop_trials, exact_mean_trials,
// exact_sd_trials, exact_sweat, exact_status.
const std::vector<std::string> &exactStatsColumns();
// One field per column for K = lastReversals: numbers as formatReal writes
// them, "NA" where there is no value, the status name last. `exact` null means
// not asked for: every value NA and the status "not-requested".
std::vector<std::string> exactStatsFields(const ExactRun *exact, int lastReversals);
