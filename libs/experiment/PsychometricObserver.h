#pragma once
// The simulated observer: a normal cumulative distribution raised from below
// by the guess rate γ and held under 1 by the lapse rate λ,
//
//   ψ(x) = γ + (1 − γ − λ) · ½ · (1 + erf((x − μ) / (√2 · σ)))
//
// evaluated as z = (x − μ) / (√2·σ), h = erf(z), ψ = γ + ((h + 1) · 0.5) · ((1 − γ) − λ)
// with Boost.Math's erf, so every machine gives the same bits. `respond`
// draws u = uniformReal(0, 1) and answers true exactly when ψ(level) > u.
//
// A plain value built from the four observer settings; it keeps nothing
// between trials. The run computes √2·σ once (`sqrt2Sigma`) and passes it
// to the overloads that take it; the other overloads compute it per call.
// Nothing here checks that γ + λ < 1: with γ + λ > 1 ψ falls with the level.

#include "StaircaseSettings.h"

class RandomEngine;

class PsychometricObserver
{
public:
    PsychometricObserver(double mean, double standardDeviation, double guessRate, double lapseRate);
    explicit PsychometricObserver(const ObserverSettings &settings);

    double getMean() const { return mean; }
    double getStandardDeviation() const { return standardDeviation; }
    double getGuessRate() const { return guessRate; }
    double getLapseRate() const { return lapseRate; }

    // sqrt(2.0) × σ, the divisor of the error function's argument.
    double sqrt2Sigma() const;

    // ψ(level); no draw.
    double probability(double level) const;
    double probability(double level, double sqrt2TimesSigma) const;

    // One answer; consumes exactly one output of the engine
    // (RandomEngine::global() unless an engine is given).
    bool respond(double level) const;
    bool respond(double level, RandomEngine &engine) const;
    bool respond(double level, double sqrt2TimesSigma, RandomEngine &engine) const;

private:
    // ψ from h = erf(z), in the stated order of operations.
    double scaled(double h) const;

    double mean;
    double standardDeviation;
    double guessRate;
    double lapseRate;
};
