#include "PsychometricObserver.h"

#include "RandomEngine.h"

#include <boost/math/special_functions/erf.hpp>

#include <cmath>

namespace
{

// Boost.Math's erf evaluated in double precision throughout. The reference
// erf (Boost's default for a double) evaluates in long double and rounds; the
// two agree to within a few units in the last place, and the double one is
// several times faster where the function needs its exponential.
using DoublePrecisionErf = boost::math::policies::policy<boost::math::policies::promote_double<false>>;

// Distance from u within which an answer is left to the reference erf: many
// orders of magnitude wider than the few ulps by which the two ψ can differ.
constexpr double tieMargin = 1e-9;

} // namespace

PsychometricObserver::PsychometricObserver(
    double mean, double standardDeviation, double guessRate, double lapseRate)
    : mean(mean)
    , standardDeviation(standardDeviation)
    , guessRate(guessRate)
    , lapseRate(lapseRate)
{
}

PsychometricObserver::PsychometricObserver(const ObserverSettings &settings)
    : PsychometricObserver(settings.mean, settings.standardDeviation, settings.guessRate, settings.lapseRate)
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
    return scaled(boost::math::erf((level - mean) / sqrt2TimesSigma));
}

double PsychometricObserver::scaled(double h) const
{
    // The order of the operations is part of the result: keep it.
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
    // The answer is probability(level) > u. A ψ from the double-precision erf
    // lies so close to that probability that it settles every answer except a
    // near tie with u, which the reference erf decides: the answers are the
    // same, bit for bit, at a fraction of the cost.
    const double z = (level - mean) / sqrt2TimesSigma;
    const double estimate = scaled(boost::math::erf(z, DoublePrecisionErf()));
    const double scale = 1.0 + std::fabs(guessRate) + std::fabs((1.0 - guessRate) - lapseRate);
    if (std::fabs(estimate - u) > tieMargin * scale)
        return estimate > u;
    return scaled(boost::math::erf(z)) > u;
}
