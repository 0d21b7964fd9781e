#include "PsychometricObserver.h"

#include "RandomEngine.h"

#include <boost/math/special_functions/erf.hpp>

#include <cmath>

PsychometricObserver::PsychometricObserver(
    double mean, double standardDeviation, double guessRate, double lapseRate)
    : mean(mean)
    , standardDeviation(standardDeviation)
    , guessRate(guessRate)
    , lapseRate(lapseRate)
{
}

double PsychometricObserver::sqrt2Sigma() const
{
    return std::sqrt(2.0) * standardDeviation;
}

double PsychometricObserver::probability(double level) const
{
    return probability(level, sqrt2Sigma());
}

double PsychometricObserver::probability(double level, double sqrt2TimesSigma) const
{
    // The order of the operations is part of the result: keep it.
    const double z = (level - mean) / sqrt2TimesSigma;
    const double h = boost::math::erf(z);
    return guessRate + ((h + 1.0) * 0.5) * ((1.0 - guessRate) - lapseRate);
}

bool PsychometricObserver::respond(double level) const
{
    return respond(level, sqrt2Sigma(), RandomEngine::global());
}

bool PsychometricObserver::respond(double level, RandomEngine &engine) const
{
    return respond(level, sqrt2Sigma(), engine);
}

bool PsychometricObserver::respond(double level, double sqrt2TimesSigma, RandomEngine &engine) const
{
    const double u = engine.uniformReal(0.0, 1.0);
    return probability(level, sqrt2TimesSigma) > u;
}
