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
#include "StaircaseTheory.h"
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class Estimator { reversals, trials, cir, ml };

constexpr std::array<Estimator, 4> allEstimators { Estimator::reversals, Estimator::trials, Estimator::cir,
    Estimator::ml };

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

// The estimators' names in their order, for messages ("reversals, trials, cir, ml").
std::string estimatorNameList();

// The trials of one staircase at one level (equal numbers are one level).
struct LevelCounts {
    double level = 0.0;
    int trials = 0;
    int positives = 0; // answers that were positive
};

// One trial of a staircase: the level presented and whether the answer was positive.
struct TrialAnswer {
    double level = 0.0;
    bool positive = false;
};

// Groups trials by level, in rising order of level.
std::vector<LevelCounts> levelCounts(const std::vector<TrialAnswer> &trials);

// `trials`: the mean level of the trials from `firstTrial` (0-based: the R-th
// reversal trial) to the last; empty when firstTrial is past the last trial.
std::optional<double> trialMeanFrom(const std::vector<TrialAnswer> &trials, std::size_t firstTrial);

// `cir`: pool-adjacent-violators on the levels' proportions (weights: their
// trials), a block merged into the one before it while that one's proportion
// is greater than or equal to it; each block becomes one point (the trials'
// mean level, the pooled proportion), so the points rise strictly. The level
// where the straight lines between the points reach `psiStar` (a point's own
// level when ψ* equals its proportion); empty when ψ* lies outside the points'
// proportions, or there is one point whose proportion is not ψ*.
std::optional<double> cirEstimate(const std::vector<LevelCounts> &counts, double psiStar);

// `ml`: the location μ̂ of the observer's psychometric function (σ, γ, λ as
// given) that maximises the binomial log-likelihood of the answers, to within
// 1e-6 σ. The likelihood can have several peaks: it is scanned over
// [lowest level − 10σ, highest level + 10σ] in steps of σ/4 and every peak that
// might be the highest is refined. Empty when every answer is the same, or when
// the maximum lies on the interval's end. The estimate at ψ* is
// μ̂ + x* − μ. Builds a table of the log-likelihood terms once, so make one per
// observer and reuse it; `location` is not for several threads at once.
class MaximumLikelihood
{
public:
    explicit MaximumLikelihood(const ObserverSettings &observer);
    std::optional<double> location(const std::vector<LevelCounts> &counts) const;
    // The log-likelihood at location mu (exact, no table).
    double logLikelihood(const std::vector<LevelCounts> &counts, double mu) const;

private:
    struct Slope {
        double first = 0.0; // d/dμ of the log-likelihood
        double second = 0.0; // d²/dμ²
    };
    Slope slope(const std::vector<LevelCounts> &counts, double mu) const;
    // logLikelihood from the table's straight lines, off by at most lineError per trial.
    double tableLogLikelihood(const std::vector<LevelCounts> &counts, double mu) const;
    double refine(const std::vector<LevelCounts> &counts, double low, double high, double start) const;

    ObserverSettings observer;
    double sigma;
    double scale; // 1 − γ − λ
    // log ψ and log(1 − ψ) at z = (x − μ)/σ = zFirst + k × zStep.
    std::vector<double> logPsi, logOneMinusPsi;
    double lineError = 0.0; // the most a straight line between entries is off, per trial
    mutable std::vector<double> scan, candidates; // reused between calls
};

// The estimates of every repetition of one staircase that ran to its end, one
// entry per repetition (empty where the estimator gives none), for each
// estimator: all four from one pass over the run's trials. ψ* and x* are the
// staircase's classic target for `observer` (StaircaseTheory); cir and ml give
// none without ψ*, ml none without x*. `observer` is normally the run's own
// (result.request().observer).
struct StaircaseEstimates {
    std::array<std::vector<std::optional<double>>, 4> byEstimator;
    const std::vector<std::optional<double>> &of(Estimator estimator) const
    {
        return byEstimator[static_cast<std::size_t>(estimator)];
    }
};
StaircaseEstimates allStaircaseEstimates(const RunResult &result, int staircase,
    const EstimatorSettings &settings, const ObserverSettings &observer);

// The same for every staircase (element i: staircase i), from one pass over the run.
std::vector<StaircaseEstimates> runEstimates(
    const RunResult &result, const EstimatorSettings &settings, const ObserverSettings &observer);
// The same for the run's own observer, with its staircases' theories for that
// observer already worked out (one per staircase, as a finished run in the
// window holds them): nothing of the theory is computed again.
std::vector<StaircaseEstimates> runEstimates(
    const RunResult &result, const EstimatorSettings &settings, const std::vector<StaircaseTheory> &theories);

// One estimator's estimates of one staircase, one entry per repetition.
std::vector<std::optional<double>> staircaseEstimates(const RunResult &result, int staircase,
    Estimator estimator, const EstimatorSettings &settings, const ObserverSettings &observer);
