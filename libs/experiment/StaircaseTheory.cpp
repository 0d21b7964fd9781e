#include "StaircaseTheory.h"

#include "PsychometricObserver.h"

#include <boost/math/special_functions/erf.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

// The stationary chain
// --------------------
// Work in the coordinate y = x (descending) or y = −x (ascending), in which the
// driving probability r rises with y, a run step moves y down by u and a
// negative step moves it up by d. A level change starts a "cycle" at the new
// level with a cleared run counter (the response window is refilled after a run
// step, and holds the non-driving answer after a negative step). From a cycle
// start at y the cycle is c driving answers and then either a non-driving one
// (after c < N trials: probability r^c (1 − r), y moves up by d) or the N-th
// driving one (probability r^N, y moves down by u). The chain of the pre-trial
// states (y, counter c, last direction) therefore reduces to the chain of cycle
// starts on the grid y0 + k·unit, with jumps +a units (probability 1 − r^N) and
// −b units (r^N), d = a·unit, u = b·unit:
//  - the state (y, c) is visited r(y)^c times per cycle start at y, so a cycle
//    at y lasts (1 − r^N) / (1 − r) trials on average;
//  - the last direction at a cycle start is "down" when it was entered by a run
//    step (rate τ(y + u)·r(y + u)^N) and "up" when entered by a negative step
//    (τ(y − d)·(1 − r(y − d)^N)); a reversal happens at y when a down-entered
//    cycle ends with a negative step or an up-entered one with a run step, on a
//    trial presented at y.
// The stationary distribution τ of the cycle starts comes from the GTH
// (Grassmann–Taksar–Heyman) state reduction, which subtracts nothing and so
// keeps even the tiny tail probabilities accurate. The cycle-start chain is
// banded (jumps +a, −b), and eliminating states from the top keeps every fill-in
// inside that band: the work is levels × a × b.
//
// The grid is anchored at the start level, which holds exactly when every step
// the staircase takes is a multiple of the unit; otherwise the levels of the
// final regime depend on the early steps and the chain is not solved.
//
// The chain lives on an infinite grid; it is cut where its mass is negligible.
// Above a level y1 > y* every cycle moves down with probability at least
// p1 = r(y1)^N, so there the chain is dominated by the homogeneous walk (+d with
// 1 − p1, −u with p1), whose mass beyond y1 + t is at most e^(−s·t), s being the
// positive root of (1 − p1)·e^(s·d) + p1·e^(−s·u) = 1 (Cramér–Lundberg). The cut
// is placed at the y1 (tried on a geometric ladder away from y*) that makes
// y1 + ln(1/ε)/s smallest, plus one jump of each kind for the overshoot, with
// ε = 1e-15; the same from below. The ladder goes out to where ψ stops
// changing (|z| = 6, where erf is ±1 in double precision), beyond which no cut
// point does better; when that asymptote is 0 or 1 the walk cannot move against
// it at all (s is infinite), so the cut is close.

namespace
{

constexpr double negligibleMass = 1e-15;
// d / u must equal a / b to this relative accuracy (the steps come from
// decimal texts, so a real common grid agrees to about 1e-16).
constexpr double gridTolerance = 1e-9;
// Budgets that keep the solve well under a second and a few tens of megabytes.
constexpr double maxEliminationWork = 1.5e8; // multiply-adds, levels × a × b
constexpr double maxBandEntries = 4e6; // doubles, levels × (a + b + 1)

// Smallest a, b ≥ 1 with d / u = a / b (continued fraction convergents).
bool commonGrid(double d, double u, long long &a, long long &b)
{
    const double ratio = d / u;
    if (!std::isfinite(ratio) || ratio <= 0.0)
        return false;
    long long h0 = 0, h1 = 1, k0 = 1, k1 = 0; // convergents h/k, previous and current
    double x = ratio;
    for (int i = 0; i < 64; ++i) {
        const double whole = std::floor(x);
        if (whole > double(maxStationaryGridLevels))
            return false;
        const long long w = static_cast<long long>(whole);
        const long long h = w * h1 + h0, k = w * k1 + k0;
        if (h > maxStationaryGridLevels || k > maxStationaryGridLevels)
            return false;
        h0 = h1, h1 = h, k0 = k1, k1 = k;
        if (h >= 1 && std::abs(double(h) / double(k) - ratio) <= gridTolerance * ratio) {
            a = h, b = k;
            return true;
        }
        const double fraction = x - whole;
        if (fraction <= 0.0)
            return false;
        x = 1.0 / fraction;
    }
    return false;
}

bool onGrid(double step, double unit)
{
    const double multiple = std::round(step / unit);
    return std::abs(step - multiple * unit) <= gridTolerance * std::max(std::abs(step), unit);
}

// The decay rate s (per level unit) of the mass beyond a distance t of a walk
// that moves +up with probability pUp and −down with probability pDown and
// drifts down (pUp·up < pDown·down): the positive root of
// pUp·e^(s·up) + pDown·e^(−s·down) = 1. Infinite when it never moves up, 0 when
// it does not drift down.
double tailRate(double up, double pUp, double down, double pDown)
{
    if (pUp <= 0.0)
        return std::numeric_limits<double>::infinity();
    if (!(pDown > 0.0) || !(pUp * up < pDown * down))
        return 0.0;
    const double logUp = std::log(pUp), logDown = std::log(pDown);
    // log(pUp·e^(s·up) + pDown·e^(−s·down)), without overflow.
    const auto g = [&](double s) {
        const double e1 = logUp + s * up, e2 = logDown - s * down;
        const double m = std::max(e1, e2);
        return m + std::log(std::exp(e1 - m) + std::exp(e2 - m));
    };
    double high = 1.0 / (up + down);
    while (g(high) < 0.0)
        high *= 2.0;
    double low = 0.0;
    for (int i = 0; i < 200 && high - low > 1e-12 * high; ++i) {
        const double mid = 0.5 * (low + high);
        (g(mid) < 0.0 ? low : high) = mid;
    }
    return low; // the smaller end: a slightly longer cut, never a shorter one
}

struct Chain {
    bool ascending;
    int runLength;
    double d, u;
    PsychometricObserver observer;

    double x(double y) const { return ascending ? -y : y; }
    double driving(double y) const
    {
        const double psi = observer.probability(x(y));
        return ascending ? 1.0 - psi : psi;
    }
    double runProbability(double y) const { return std::pow(driving(y), runLength); }

    // How far above yStar (direction +1) or below it (−1) the mass becomes
    // negligible, trying cut points up to `reach` away.
    double cutDistance(double yStar, int direction, double reach) const
    {
        double best = std::numeric_limits<double>::infinity();
        if (!std::isfinite(reach))
            return best;
        // From `reach` inwards, four cut points per halving of the distance.
        const double closest = std::min(u, d) / 16.0;
        for (int i = 0; i < 400; ++i) {
            const double t = reach * std::pow(2.0, -0.25 * i);
            if (t < closest)
                break;
            const double p = runProbability(yStar + direction * t);
            const double s = direction > 0 ? tailRate(d, 1.0 - p, u, p) : tailRate(u, p, d, 1.0 - p);
            if (s > 0.0)
                best = std::min(best, t + std::log(1.0 / negligibleMass) / s + d + u);
        }
        return best;
    }
};

StationaryTarget solveStationary(const StaircaseTheory &theory, const StaircaseSettings &staircase,
    const std::vector<double> &steps, const ObserverSettings &o)
{
    StationaryTarget result;
    if (staircase.clampActive) {
        result.status = StationaryStatus::clamped;
        return result;
    }
    if (!theory.classic.level) {
        result.status = StationaryStatus::unreachable;
        return result;
    }
    result.status = StationaryStatus::noGrid;
    const double d = theory.negativeStep, u = theory.classic.positiveStep;
    long long a = 0, b = 0;
    if (!commonGrid(d, u, a, b))
        return result;
    const double unit = u / double(b);
    for (std::size_t i = 0; i <= theory.finalStepIndex && i < steps.size(); ++i)
        if (!onGrid(steps[i], unit))
            return result;

    const Chain chain { theory.ascending, theory.runLength, d, u, PsychometricObserver(o) };
    const double yStar = chain.x(*theory.classic.level); // x ↦ y is its own inverse
    // Beyond |z| = 6 erf is ±1 in double precision: ψ sits on its asymptote.
    const double halfWidth = 6.0 * chain.observer.sqrt2Sigma();
    const double yMin = std::min(chain.x(o.mean - halfWidth), chain.x(o.mean + halfWidth));
    const double yMax = std::max(chain.x(o.mean - halfWidth), chain.x(o.mean + halfWidth));
    const double above = chain.cutDistance(yStar, +1, std::max(yMax - yStar, 0.0) + d + u);
    const double below = chain.cutDistance(yStar, -1, std::max(yStar - yMin, 0.0) + d + u);
    const double y0 = chain.x(staircase.startLevel);
    const double kLow = std::floor((yStar - below - y0) / unit);
    const double kHigh = std::ceil((yStar + above - y0) / unit);
    const double levels = kHigh - kLow + 1.0;
    if (!(levels <= maxStationaryGridLevels) || levels * double(a) * double(b) > maxEliminationWork
        || levels * double(a + b + 1) > maxBandEntries)
        return result;

    const std::size_t n = static_cast<std::size_t>(levels);
    const std::size_t up = static_cast<std::size_t>(a), down = static_cast<std::size_t>(b);
    std::vector<double> y(n), p(n), q(n);
    for (std::size_t k = 0; k < n; ++k) {
        y[k] = y0 + (kLow + double(k)) * unit;
        p[k] = chain.runProbability(y[k]);
        q[k] = 1.0 - p[k];
    }

    // Band of the transition matrix: row i holds columns i − b … i + a. Jumps
    // off the grid are dropped, which GTH treats as staying put.
    const std::size_t width = up + down + 1;
    std::vector<double> band(n * width, 0.0);
    const auto at
        = [&](std::size_t i, std::size_t j) -> double & { return band[i * width + (j + down - i)]; };
    for (std::size_t k = 0; k < n; ++k) {
        if (k + up < n)
            at(k, k + up) = q[k];
        if (k >= down)
            at(k, k - down) = p[k];
    }
    // Eliminate states from the top; outflow[m] is state m's total probability
    // of leaving to lower states in the chain reduced to 0 … m.
    std::vector<double> outflow(n, 0.0);
    std::size_t lowest = 0; // states below it are never reached again (no mass)
    for (std::size_t m = n - 1; m >= 1; --m) {
        const std::size_t jFirst = m >= down ? m - down : 0;
        double s = 0.0;
        for (std::size_t j = jFirst; j < m; ++j)
            s += at(m, j);
        if (!(s > 0.0)) {
            lowest = m;
            break;
        }
        outflow[m] = s;
        for (std::size_t i = m >= up ? m - up : 0; i < m; ++i) {
            const double f = at(i, m) / s;
            if (f == 0.0)
                continue;
            for (std::size_t j = jFirst; j < m; ++j)
                at(i, j) += f * at(m, j);
        }
    }
    std::vector<double> tau(n, 0.0);
    tau[lowest] = 1.0;
    double total = 1.0;
    for (std::size_t m = lowest + 1; m < n; ++m) {
        double inflow = 0.0;
        for (std::size_t i = std::max(lowest, m >= up ? m - up : 0); i < m; ++i)
            inflow += tau[i] * at(i, m);
        tau[m] = inflow / outflow[m];
        total += tau[m];
    }
    for (double &t : tau)
        t /= total;

    double trials = 0.0, psiSum = 0.0, reversals = 0.0, levelSum = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double x = chain.x(y[k]);
        const double psi = chain.observer.probability(x);
        const double r = theory.ascending ? 1.0 - psi : psi;
        double cycleTrials = 0.0, rc = 1.0; // Σ r^c, c < N
        for (int c = 0; c < theory.runLength; ++c, rc *= r)
            cycleTrials += rc;
        trials += tau[k] * cycleTrials;
        psiSum += tau[k] * cycleTrials * psi;
        const double enteredByRunStep = k + down < n ? tau[k + down] * p[k + down] : 0.0;
        const double enteredByNegativeStep = k >= up ? tau[k - up] * q[k - up] : 0.0;
        const double reversalRate = enteredByRunStep * q[k] + enteredByNegativeStep * p[k];
        reversals += reversalRate;
        levelSum += reversalRate * x;
    }
    result.status = StationaryStatus::computed;
    result.meanReversalLevel = levelSum / reversals;
    result.psiAtMeanReversalLevel = chain.observer.probability(result.meanReversalLevel);
    result.trialAveragedPsi = psiSum / trials;
    result.gridUnit = unit;
    result.gridLevels = static_cast<int>(n);
    return result;
}

// The index of the final positive step in the list padded to maxInversions entries.
std::size_t lastReachableStep(const StaircaseSettings &staircase)
{
    return static_cast<std::size_t>(std::max(staircase.maxInversions - 1, 0) / 2);
}

} // namespace

std::size_t perStepTargetCount(const StaircaseSettings &staircase)
{
    // The parts positiveStepSizes reads: the text split at commas, blank parts skipped.
    std::size_t entries = 0;
    bool blank = true;
    for (char c : staircase.positiveStepsText) {
        if (c == ',') {
            entries += blank ? 0 : 1;
            blank = true;
        } else if (!std::isspace(static_cast<unsigned char>(c)))
            blank = false;
    }
    entries += blank ? 0 : 1;
    return entries > 1 ? std::min(entries, lastReachableStep(staircase) + 1) : 0;
}

std::optional<double> classicTargetPsi(
    double positiveStep, double negativeStep, int runLength, bool ascending)
{
    if (!(positiveStep > 0.0 && negativeStep > 0.0) || !std::isfinite(positiveStep + negativeStep))
        return std::nullopt;
    const double q = std::pow(negativeStep / (negativeStep + positiveStep), 1.0 / std::max(runLength, 1));
    return ascending ? 1.0 - q : q;
}

std::optional<double> observerLevelAt(double psi, const ObserverSettings &observer)
{
    const double g = observer.guessRate, l = observer.lapseRate;
    if (!(psi > g && psi < 1.0 - l))
        return std::nullopt;
    const double p = (psi - g) / (1.0 - g - l);
    // Φ⁻¹(p) = −√2·erfc⁻¹(2p), accurate for small p too.
    return observer.mean - observer.standardDeviation * std::sqrt(2.0) * boost::math::erfc_inv(2.0 * p);
}

namespace
{

ClassicTarget targetOfStep(double step, const StaircaseSettings &staircase, const ObserverSettings &observer)
{
    ClassicTarget t;
    t.positiveStep = step;
    t.psi = classicTargetPsi(step, staircase.negativeStep, staircase.correctAnswers, staircase.ascending);
    if (t.psi)
        t.level = observerLevelAt(*t.psi, observer);
    return t;
}

// The index of the final positive step in `steps` (not empty).
std::size_t finalStep(const StaircaseSettings &staircase, const std::vector<double> &steps)
{
    return std::min(lastReachableStep(staircase), steps.size() - 1);
}

} // namespace

ClassicTarget classicTarget(const StaircaseSettings &staircase, const ObserverSettings &observer)
{
    const Expected<std::vector<double>> parsed = positiveStepSizes(staircase.positiveStepsText);
    if (!parsed || parsed->empty())
        return ClassicTarget();
    return targetOfStep((*parsed)[finalStep(staircase, *parsed)], staircase, observer);
}

StaircaseTheory staircaseTheory(const StaircaseSettings &staircase, const ObserverSettings &observer)
{
    StaircaseTheory theory;
    theory.ascending = staircase.ascending;
    theory.runLength = std::max(staircase.correctAnswers, 1);
    theory.negativeStep = staircase.negativeStep;
    const Expected<std::vector<double>> parsed = positiveStepSizes(staircase.positiveStepsText);
    if (!parsed || parsed->empty()) {
        theory.stationary.status = StationaryStatus::unreachable;
        return theory;
    }
    const std::vector<double> &steps = *parsed;
    const auto target = [&](double step) { return targetOfStep(step, staircase, observer); };
    theory.positiveStepCount = steps.size();
    theory.finalStepIndex = finalStep(staircase, steps);
    theory.classic = target(steps[theory.finalStepIndex]);
    if (steps.size() > 1)
        for (std::size_t i = 0; i <= theory.finalStepIndex; ++i)
            theory.perStep.push_back(target(steps[i]));
    theory.stationary = solveStationary(theory, staircase, steps, observer);
    return theory;
}

std::vector<StaircaseTheory> staircaseTheories(
    const std::vector<StaircaseSettings> &staircases, const ObserverSettings &observer)
{
    std::vector<StaircaseTheory> theories;
    for (const StaircaseSettings &staircase : staircases)
        theories.push_back(staircaseTheory(staircase, observer));
    return theories;
}

std::optional<double> commonStepUnit(const std::vector<double> &steps)
{
    std::optional<double> unit;
    for (double step : steps) {
        const double size = std::abs(step);
        if (!std::isfinite(size))
            return std::nullopt;
        if (size == 0.0)
            continue;
        if (!unit) {
            unit = size;
            continue;
        }
        if (onGrid(size, *unit))
            continue;
        long long a = 0, b = 0;
        if (!commonGrid(*unit, size, a, b))
            return std::nullopt;
        unit = *unit / double(a);
    }
    for (double step : steps)
        if (unit && std::abs(step) / *unit > double(maxStationaryGridLevels))
            return std::nullopt;
    return unit.value_or(1.0);
}
