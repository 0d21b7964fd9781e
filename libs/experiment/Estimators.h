#pragma once
// Threshold estimators: what one repetition of a staircase says about the
// observer's level at the staircase's target.
//
//   reversals  the mean of the last K reversal levels (none with fewer than K);
//   trials     the mean level of every trial from the R-th reversal on;
//   cir        centered isotonic regression of the answers on the levels,
//              read off where it reaches the target ψ*;
//   ml         the maximum-likelihood location of the observer's psychometric
//              function (σ, guess and lapse rates known), moved to ψ*.
#include "Run.h"
#include <array>
#include <optional>
#include <string_view>
#include <vector>

enum class Estimator { reversals, trials, cir, ml };

constexpr std::array<Estimator, 4> allEstimators { Estimator::reversals, Estimator::trials,
    Estimator::cir, Estimator::ml };

// "reversals", "trials", "cir", "ml": the names of the batch program, the
// files and the Python module.
const char *estimatorName(Estimator estimator);
std::optional<Estimator> estimatorFromName(std::string_view name);
// The window's texts: "Last K reversals", "Trials from reversal R",
// "Isotonic (CIR)", "Maximum likelihood (σ known)".
const char *estimatorLabel(Estimator estimator);

struct EstimatorSettings {
    int lastReversals = 6; // K, for `reversals`
    int firstReversal = 3; // R, for `trials`
};
