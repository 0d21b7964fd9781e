#pragma once
// Where a staircase converges, worked out from its rules instead of simulated.
//
// Read off Staircase's rules: a descending staircase raises the level by the
// negative step d on every negative (wrong) answer and lowers it by the current
// positive step u after N positive answers in a row; an ascending one mirrors
// this (a positive answer lowers by d, N negative answers in a row raise by u).
// Call "driving" the answer whose runs give the positive step, and r its
// probability at a level: r = ψ when descending, r = 1 − ψ when ascending.
//
// Two answers are given per staircase:
//  - The classic target ψ*: the level neither rises nor falls on average where
//    r^N · u = (1 − r^N) · d, that is r^N = d / (d + u). x* is the observer's
//    level there, x* = μ + σ·Φ⁻¹((ψ* − γ) / (1 − γ − λ)), which exists only when
//    γ < ψ* < 1 − λ. It is given for the final positive step and, since d stays
//    fixed while u changes with the reversals, for every entry a run can reach.
//  - The stationary target: the exact long-run behaviour of the staircase with
//    its final steps, from the stationary distribution of its Markov chain
//    (level on a grid, run counter, direction of the last level change). It
//    gives the mean reversal level, ψ at that level and the trial-averaged ψ.
//
// The final positive step is the entry the staircase steps with in the last
// stretch of a run, between its last two reversals: positiveSteps[(M − 1) / 2]
// of the list padded to M = maxInversions entries (the entry M − 1 is used only
// on the trial that reaches M, after which no level is presented).
//
// The window, the batch program and the tests all show these numbers, so they
// come from here and nowhere else.

#include "StaircaseSettings.h"

#include <cstddef>
#include <optional>
#include <vector>

struct ClassicTarget {
    double positiveStep = 0.0;
    // ψ*: empty when a step is not positive, so the level drifts off in one
    // direction and aims at no probability at all.
    std::optional<double> psi;
    // x*: empty when ψ* is missing or not strictly between γ and 1 − λ
    // ("unreachable": e.g. an ascending staircase against a two-alternative
    // observer aims below the guess rate).
    std::optional<double> level;
};

enum class StationaryStatus : unsigned char {
    computed,
    // Not computed: the clamps are on, so the levels are not those of the free chain.
    clamped,
    // Not computed: the steps the staircase takes share no grid of at most
    // maxStationaryGridLevels levels over the range the chain lives on, or one
    // so fine for the size of its steps that solving it would be slow (see
    // StaircaseTheory.cpp).
    noGrid,
    // The classic target has no level x*: the chain drifts off and has no
    // stationary distribution.
    unreachable,
};

// Levels of the long-run regime. A reversal is a trial whose answer turns the
// level's direction; its level is the one presented on that trial (as
// RunResult records reversal levels). The values are meaningful only when
// `status` is computed.
struct StationaryTarget {
    StationaryStatus status = StationaryStatus::unreachable;
    // The level of reversal trials averaged over the stationary stream of
    // reversals (peaks and troughs alternate, so each counts half).
    double meanReversalLevel = 0.0;
    // ψ(meanReversalLevel).
    double psiAtMeanReversalLevel = 0.0;
    // ψ of the presented level averaged over the stationary stream of trials.
    double trialAveragedPsi = 0.0;
    // The grid the chain was solved on: its unit (level units) and size.
    double gridUnit = 0.0;
    int gridLevels = 0;
};

struct StaircaseTheory {
    bool ascending = false;
    int runLength = 1; // N as the staircase applies it (a run length below 1 acts as 1)
    double negativeStep = 0.0;
    // Index, in the positive steps as given, of the final positive step.
    std::size_t finalStepIndex = 0;
    ClassicTarget classic; // for the final positive step
    // One per entry a run can reach (0 … finalStepIndex, the last being
    // `classic`), when the positive steps as given are several; the entries
    // beyond are never stepped with, so a list of any length costs no more than
    // the reversals allow.
    std::vector<ClassicTarget> perStep;
    // Entries of the positive steps as given.
    std::size_t positiveStepCount = 0;
    StationaryTarget stationary;
};

// The largest grid the stationary chain is solved on.
constexpr int maxStationaryGridLevels = 100000;

// A positive-step text that is not a list of numbers (runProblem refuses such
// staircases before a run) gives no target, as an empty one does.
StaircaseTheory staircaseTheory(const StaircaseSettings &staircase, const ObserverSettings &observer);

// Its classic target alone (StaircaseTheory::classic), without the stationary
// chain: what the estimators need.
ClassicTarget classicTarget(const StaircaseSettings &staircase, const ObserverSettings &observer);

// The theory of every staircase, in order; a staircase whose positive-step text
// is not a list of numbers gets a default StaircaseTheory (no target).
std::vector<StaircaseTheory> staircaseTheories(
    const std::vector<StaircaseSettings> &staircases, const ObserverSettings &observer);

// How many per-step targets staircaseTheory gives `staircase` (the entries a
// run can reach, when the list has several), counted without reading the
// numbers: what the memory question before a run counts.
std::size_t perStepTargetCount(const StaircaseSettings &staircase);

// ψ* of one positive step u with negative step d and run length n; empty when
// u or d is not positive.
std::optional<double> classicTargetPsi(
    double positiveStep, double negativeStep, int runLength, bool ascending);

// The largest unit of which every step (sign ignored) is a whole multiple,
// found as the stationary chain finds its grid, and with every step at most
// maxStationaryGridLevels units; empty when there is none. Zero steps fit any
// unit, and a list of them alone gives 1.
std::optional<double> commonStepUnit(const std::vector<double> &steps);

// x* = μ + σ·Φ⁻¹((ψ − γ) / (1 − γ − λ)); empty unless γ < ψ < 1 − λ.
std::optional<double> observerLevelAt(double psi, const ObserverSettings &observer);
