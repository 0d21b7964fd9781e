#include "ExactRun.h"

#include "ExperimentFile.h"
#include "PsychometricObserver.h"
#include "TextUtils.h"

#include <algorithm>
#include <cmath>

// The chain
// ---------
// Work in level-index units k on the grid x = start + sgn·k·unit, sgn = −1 for
// an ascending staircase, so that the driving answer (the one whose runs give
// the positive step: true when descending, false when ascending) always moves k
// down and the other answer moves it up by the negative step. A state is
// (k, run counter c, last direction, reversals r); before the first reversal
// every answer moves the level, so the counter is not kept (it is 0 when the
// first reversal is reached: the window then holds a non-driving answer or was
// refilled). The states of one (r, direction, c) form a layer: a dense run of k
// with, per k, the probability P and, for j = 1 … min(r, K), A_j = E[S_j·1] and
// B_j = E[S_j²·1], S_j being the sum of the last j reversal levels. A reversal
// at level x turns S_j into S_(j−1) + x, which is linear in (P, A, B).
// Levels are carried relative to a reference near the target, which keeps the
// variance E[S²] − E[S]² free of cancellation.

namespace
{

constexpr double droppedProbability = 1e-20;
// Doubles held by the layers of one trial (two such sets live at once).
constexpr std::uint64_t maxLiveValues = std::uint64_t(1) << 24;

enum Direction { none = 0, up = 1, down = 2 };

struct Layer {
    long long lo = 0, hi = 0; // the occupied k, [lo, hi)
    long long base = 0; // the k of values[0]
    int moments = 0;
    std::vector<double> values; // per k: P, A_1 … A_m, B_1 … B_m

    int stride() const { return 1 + 2 * moments; }
    bool empty() const { return hi <= lo; }
    double *at(long long k) { return values.data() + (k - base) * stride(); }
};

struct Move {
    bool reversal = false;
    int reversals = 0; // r after the answer
    int target = -1; // the next layer; −1 when the answer reaches M reversals
    long long shift = 0;
};

class ExactChain
{
public:
    ExactChain(int maxReversals, int runLength, long long negativeUnits, std::vector<long long> positiveUnits)
        : runLength(runLength)
        , maxReversals(maxReversals)
        , a(negativeUnits)
        , b(std::move(positiveUnits))
    {
        const int runLayers = std::max(maxReversals - 1, 0) * 2 * runLength;
        layerCount = 3 + runLayers;
        moves.resize(std::size_t(layerCount) * 2);
        reversalsOf.resize(std::size_t(layerCount));
        for (int dir = none; dir <= down; ++dir)
            describe(dir, 0, dir, 0);
        for (int r = 1; r < maxReversals; ++r)
            for (int dir = up; dir <= down; ++dir)
                for (int c = 0; c < runLength; ++c)
                    describe(index(r, dir, c), r, dir, c);
    }

    int layers() const { return layerCount; }
    int reversals(int layer) const { return reversalsOf[std::size_t(layer)]; }
    const Move &move(int layer, bool driving) const
    {
        return moves[std::size_t(layer) * 2 + (driving ? 0 : 1)];
    }

private:
    int index(int r, int dir, int c) const
    {
        return r == 0 ? dir : 3 + ((r - 1) * 2 + (dir == down ? 1 : 0)) * runLength + c;
    }
    Move to(int r, bool reversal, int dir, int c, long long shift) const
    {
        Move m;
        m.reversal = reversal;
        m.reversals = r + (reversal ? 1 : 0);
        m.shift = shift;
        m.target = m.reversals >= maxReversals ? -1 : index(m.reversals, dir, c);
        return m;
    }
    void describe(int layer, int r, int dir, int c)
    {
        reversalsOf[std::size_t(layer)] = r;
        Move &driving = moves[std::size_t(layer) * 2];
        Move &other = moves[std::size_t(layer) * 2 + 1];
        if (r >= 1 && c + 1 < runLength) {
            driving = to(r, false, dir, c + 1, 0);
        } else {
            // The run (or, before the first reversal, the single driving answer)
            // steps with the entry of the reversal count it leads to.
            const int after = r + (dir == up ? 1 : 0);
            const std::size_t entry = r == 0 ? 0 : std::size_t(after / 2);
            driving = to(r, dir == up, down, 0, -b[std::min(entry, b.size() - 1)]);
        }
        other = to(r, dir == down, up, 0, a);
    }

    int runLength, maxReversals, layerCount = 0;
    long long a;
    std::vector<long long> b;
    std::vector<Move> moves;
    std::vector<int> reversalsOf;
};

// ρ(k), the probability of the driving answer, cached over the levels reached.
class DrivingTable
{
public:
    DrivingTable(const StaircaseSettings &s, const ObserverSettings &o, double unit)
        : observer(o)
        , sqrt2Sigma(observer.sqrt2Sigma())
        , start(s.startLevel)
        , step(s.ascending ? -unit : unit)
        , ascending(s.ascending)
    {
    }

    double level(long long k) const { return start + double(k) * step; }
    double operator[](long long k) const { return values[std::size_t(k - lo)]; }
    void cover(long long from, long long to)
    {
        if (!values.empty() && from >= lo && to <= lo + (long long)values.size())
            return;
        const long long newLo = values.empty() ? from : std::min(from, lo - (long long)values.size());
        const long long newHi = values.empty() ? to : std::max(to, lo + 2 * (long long)values.size());
        std::vector<double> next(std::size_t(newHi - newLo));
        for (long long k = newLo; k < newHi; ++k) {
            const double psi = observer.probability(level(k), sqrt2Sigma);
            next[std::size_t(k - newLo)] = ascending ? 1.0 - psi : psi;
        }
        values.swap(next);
        lo = newLo;
    }

private:
    PsychometricObserver observer;
    double sqrt2Sigma;
    double start, step;
    bool ascending;
    long long lo = 0;
    std::vector<double> values;
};

// Per K: the probability of ending with at least K reversals and the sums
// E[S_K·1], E[S_K²·1] over those endings.
struct EndingSums {
    double p = 0.0, s1 = 0.0, s2 = 0.0;
};

// The work a chain will take, estimated before any of it is done: every trial t
// holds at most the levels reachable in t trials that lie within the span the
// probability can reach above droppedProbability, times the layers of the
// reversal counts reachable in t trials; summed over the trials a session can
// last. It counts every layer a trial could hold where the chain holds a band of
// them, so it runs a few times over the work done (the hard cases of
// bench_exact: about 3.5×), and a chain it refuses would have taken a good part
// of the budget at the least. Stops counting once over `limit`.
std::uint64_t workEstimate(const StaircaseSettings &s, const ObserverSettings &o, double unit,
    std::optional<double> target, long long a, const std::vector<long long> &b, int n, int m, int maxTrials,
    std::uint64_t limit)
{
    // Without a target the level drifts off and nothing says when the chain
    // ends: the budget is then checked as the work is done.
    if (!target)
        return 0;
    const PsychometricObserver observer(o);
    const double signedUnit = s.ascending ? -unit : unit;
    const auto rho = [&](long long k) {
        const double psi = observer.probability(s.startLevel + double(k) * signedUnit);
        return s.ascending ? 1.0 - psi : psi;
    };
    const long long bMin = *std::min_element(b.begin(), b.end());
    const long long bMax = *std::max_element(b.begin(), b.end());
    const long long reachUp = (long long)maxTrials * a, reachDown = -(long long)maxTrials * bMax;
    // From the start to the target the staircase walks; beyond them the
    // probability of going further falls by the odds against each move, whichever
    // of the first phase (every answer moves) and the runs that follow falls slower.
    const long long kTarget = std::llround((*target - s.startLevel) / signedUnit);
    long long hi = std::max<long long>(0, kTarget), lo = std::min<long long>(0, kTarget);
    const double floor = std::log(droppedProbability);
    constexpr int maxWalk = 100000;
    double first = 0.0, runs = 0.0;
    for (int i = 0; i < maxWalk && hi < reachUp && std::max(first, runs) > floor; ++i, hi += a) {
        const double r = rho(hi), up = 1.0 - r, down = std::pow(r, n);
        first += std::log(up);
        runs += down > 0.0 ? std::min(0.0, std::log(up / down)) : 0.0;
    }
    first = runs = 0.0;
    for (int i = 0; i < maxWalk && lo > reachDown && std::max(first, runs) > floor; ++i) {
        const double r = rho(lo), up = 1.0 - r, down = std::pow(r, n);
        // The first phase moves b.front() at a time, the runs bMin at the least.
        first += std::log(r) * double(bMin) / double(b.front());
        runs += up > 0.0 ? std::min(0.0, std::log(down / up)) : 0.0;
        lo -= bMin;
    }
    const long long span = std::max<long long>(hi - lo + 1, 1);
    // A slack trial limit is not reached: the chain ends once all but 1e-20 of
    // the sessions have made M reversals. Near the target a reversal waits at
    // most for a run of n driving answers after a non-driving one, which comes at
    // the rate (1 − ρ*)ρ*ⁿ per trial; M of them are all done, but for e⁻⁴⁶, after
    // about (M + 46 + √(92M)) / rate trials, once the target is reached.
    const double r = rho(kTarget), rate = (1.0 - r) * std::pow(r, n);
    const double approach = double(std::llabs(kTarget)) / double(std::min(a, bMin));
    const long long horizon = rate > 0.0
        ? (long long)std::min<double>(maxTrials, approach + (m + 46.0 + std::sqrt(92.0 * m)) / rate + m)
        : maxTrials;
    std::uint64_t work = 0;
    for (long long t = 0; t < horizon && work <= limit; ++t) {
        const long long levels = std::min(t * (a + bMax) + 1, span);
        const long long layers = 3 + 2LL * n * std::min<long long>(t, std::max(m - 1, 0));
        work += std::uint64_t(levels) * std::uint64_t(layers);
    }
    return work;
}

ExactRun notComputed(ExactStatus status)
{
    ExactRun run;
    run.status = status;
    return run;
}

} // namespace

const ExactEstimate *ExactRun::estimate(int k) const
{
    if (status != ExactStatus::computed || k < 1 || std::size_t(k) > estimates.size())
        return nullptr;
    return &estimates[std::size_t(k - 1)];
}

ExactRun exactRun(const StaircaseSettings &staircase, const ObserverSettings &observer,
    const StaircaseTheory &theory, int lastReversals, const ExactControl &control)
{
    if (staircase.clampActive)
        return notComputed(ExactStatus::clamped);
    const Expected<std::vector<double>> parsed = positiveStepSizes(staircase.positiveStepsText);
    if (!parsed)
        return notComputed(ExactStatus::noSteps);
    std::vector<double> steps = *parsed;
    if (steps.empty())
        return notComputed(ExactStatus::noSteps);

    const int m = staircase.maxInversions;
    const int n = std::max(staircase.correctAnswers, 1);
    const int k = std::max(lastReversals, 1);
    const int maxTrials = std::max(staircase.maxTrials, 1);
    // The entries a run can step with before its last level is shown (the one of
    // the trial that reaches M ends the session).
    steps.resize(std::min(steps.size(), std::size_t(std::max(m - 1, 0) / 2 + 1)));
    std::vector<double> gridSteps = steps;
    gridSteps.push_back(staircase.negativeStep);
    const std::optional<double> unit = commonStepUnit(gridSteps);
    if (!unit)
        return notComputed(ExactStatus::noGrid);
    const auto units = [&](double step) { return std::llround(step / *unit); };
    std::vector<long long> positiveUnits;
    for (double step : steps)
        positiveUnits.push_back(units(step));
    // Refused before any work when the estimate, or the layers alone, are over.
    const std::uint64_t layers = 3 + 2 * std::uint64_t(n) * std::uint64_t(std::max(m - 1, 0));
    if (layers > maxLiveValues
        || workEstimate(staircase, observer, *unit, theory.classic.level, units(staircase.negativeStep),
               positiveUnits, n, m, maxTrials, control.stateTrialBudget)
            > control.stateTrialBudget)
        return notComputed(ExactStatus::overBudget);
    const ExactChain chain(m, n, units(staircase.negativeStep), positiveUnits);
    DrivingTable driving(staircase, observer, *unit);

    // Levels relative to the target, where the estimates gather.
    const double reference = theory.classic.level.value_or(staircase.startLevel);
    const double offset = staircase.startLevel - reference;
    const double signedUnit = staircase.ascending ? -*unit : *unit;

    ExactRun run;
    run.gridUnit = *unit;
    run.trialsDistribution.assign(std::size_t(maxTrials) + 1, 0.0);
    std::vector<EndingSums> endings(static_cast<std::size_t>(k));
    std::vector<Layer> current(std::size_t(chain.layers())), next(current.size());
    for (int layer = 0; layer < chain.layers(); ++layer) {
        const int moments = std::min(chain.reversals(layer), k);
        current[std::size_t(layer)].moments = moments;
        next[std::size_t(layer)].moments = moments;
    }
    Layer &first = current[none];
    first.lo = first.base = 0;
    first.hi = 1;
    first.values.assign(1, 1.0);
    long long lowest = 0, highest = 0;

    for (int t = 0;; ++t) {
        std::uint64_t work = 0;
        long long lo = 0, hi = 0;
        bool any = false;
        for (const Layer &layer : current)
            if (!layer.empty()) {
                work += std::uint64_t(layer.hi - layer.lo);
                lo = any ? std::min(lo, layer.lo) : layer.lo;
                hi = any ? std::max(hi, layer.hi) : layer.hi;
                any = true;
            }
        if (!any)
            break;
        lowest = std::min(lowest, lo);
        highest = std::max(highest, hi - 1);
        run.stateTrials += work;
        if (run.stateTrials > control.stateTrialBudget)
            return notComputed(ExactStatus::overBudget);
        driving.cover(lo, hi);
        const bool lastTrial = t + 1 >= maxTrials;

        // Where the next trial's layers lie.
        for (Layer &layer : next) {
            layer.lo = layer.hi = 0;
        }
        std::vector<char> reached(next.size(), 0);
        for (int l = 0; l < chain.layers(); ++l) {
            const Layer &layer = current[std::size_t(l)];
            if (layer.empty() || lastTrial)
                continue;
            for (bool answer : { true, false }) {
                const Move &mv = chain.move(l, answer);
                if (mv.target < 0)
                    continue;
                Layer &to = next[std::size_t(mv.target)];
                const long long from = layer.lo + mv.shift, until = layer.hi + mv.shift;
                to.lo = reached[std::size_t(mv.target)] ? std::min(to.lo, from) : from;
                to.hi = reached[std::size_t(mv.target)] ? std::max(to.hi, until) : until;
                reached[std::size_t(mv.target)] = 1;
            }
        }
        std::uint64_t live = 0;
        for (Layer &layer : next) {
            layer.base = layer.lo;
            live += std::uint64_t(layer.hi - layer.lo) * std::uint64_t(layer.stride());
        }
        if (live > maxLiveValues)
            return notComputed(ExactStatus::overBudget);
        for (Layer &layer : next)
            layer.values.assign(std::size_t(layer.hi - layer.lo) * std::size_t(layer.stride()), 0.0);

        // Push every state through both answers.
        for (int l = 0; l < chain.layers(); ++l) {
            Layer &layer = current[std::size_t(l)];
            if (layer.empty())
                continue;
            const int ms = layer.moments;
            for (long long kk = layer.lo; kk < layer.hi; ++kk) {
                const double *s = layer.at(kk);
                const double p = s[0];
                if (p == 0.0)
                    continue;
                const double rho = driving[kk];
                const double x = offset + double(kk) * signedUnit;
                for (bool answer : { true, false }) {
                    const double w = answer ? rho : 1.0 - rho;
                    if (w == 0.0)
                        continue;
                    const Move &mv = chain.move(l, answer);
                    const double pw = p * w;
                    if (mv.target < 0 || lastTrial) {
                        run.trialsDistribution[std::size_t(t) + 1] += pw;
                        (mv.target < 0 ? run.pStopReversals : run.pStopTrials) += pw;
                        for (int j = 1; j <= std::min(mv.reversals, k); ++j) {
                            EndingSums &e = endings[std::size_t(j - 1)];
                            e.p += pw;
                            if (mv.reversal) {
                                const double a1 = j > 1 ? s[j - 1] : 0.0, b1 = j > 1 ? s[ms + j - 1] : 0.0;
                                e.s1 += w * (a1 + x * p);
                                e.s2 += w * (b1 + 2.0 * x * a1 + x * x * p);
                            } else {
                                e.s1 += w * s[j];
                                e.s2 += w * s[ms + j];
                            }
                        }
                        continue;
                    }
                    Layer &to = next[std::size_t(mv.target)];
                    double *d = to.at(kk + mv.shift);
                    const int mt = to.moments;
                    d[0] += pw;
                    if (mv.reversal) {
                        for (int j = 1; j <= mt; ++j) {
                            const double a1 = j > 1 ? s[j - 1] : 0.0, b1 = j > 1 ? s[ms + j - 1] : 0.0;
                            d[j] += w * (a1 + x * p);
                            d[mt + j] += w * (b1 + 2.0 * x * a1 + x * x * p);
                        }
                    } else {
                        for (int j = 1; j <= mt; ++j) {
                            d[j] += w * s[j];
                            d[mt + j] += w * s[ms + j];
                        }
                    }
                }
            }
        }

        // Drop what is negligible at the edges of each layer.
        for (Layer &layer : next) {
            while (!layer.empty() && layer.at(layer.lo)[0] < droppedProbability)
                run.neglectedMass += layer.at(layer.lo++)[0];
            while (!layer.empty() && layer.at(layer.hi - 1)[0] < droppedProbability)
                run.neglectedMass += layer.at(--layer.hi)[0];
        }
        current.swap(next);

        if (control.cancel && control.cancel->load(std::memory_order_relaxed))
            return notComputed(ExactStatus::cancelled);
        if (control.progress)
            control.progress(double(t + 1) / double(maxTrials));
    }

    run.status = ExactStatus::computed;
    run.gridLevels = int(highest - lowest + 1);
    double total = 0.0, sum = 0.0;
    for (std::size_t t = 0; t < run.trialsDistribution.size(); ++t) {
        total += run.trialsDistribution[t];
        sum += double(t) * run.trialsDistribution[t];
    }
    run.meanTrials = sum / total;
    double squares = 0.0;
    for (std::size_t t = 0; t < run.trialsDistribution.size(); ++t)
        squares += (double(t) - run.meanTrials) * (double(t) - run.meanTrials) * run.trialsDistribution[t];
    run.sdTrials = std::sqrt(squares / total);

    const std::optional<double> target = theory.classic.level;
    const std::optional<double> stationary = theory.stationary.status == StationaryStatus::computed
        ? std::optional<double>(theory.stationary.meanReversalLevel)
        : std::nullopt;
    for (int j = 1; j <= k; ++j) {
        const EndingSums &e = endings[std::size_t(j - 1)];
        ExactEstimate estimate;
        estimate.lastReversals = j;
        estimate.pEstimate = e.p;
        if (e.p > 0.0) {
            const double centred = e.s1 / (double(j) * e.p);
            const double second = e.s2 / (double(j) * double(j) * e.p);
            const double variance = std::max(second - centred * centred, 0.0);
            estimate.mean = reference + centred;
            estimate.sd = std::sqrt(variance);
            if (target) {
                estimate.bias = *estimate.mean - *target;
                estimate.rmse = std::sqrt(variance + *estimate.bias * *estimate.bias);
                estimate.sweatFactor = *estimate.rmse * *estimate.rmse * run.meanTrials;
            }
            if (stationary)
                estimate.biasToStationary = *estimate.mean - *stationary;
        }
        run.estimates.push_back(estimate);
    }
    return run;
}

std::vector<ExactRun> exactRuns(const std::vector<StaircaseSettings> &staircases,
    const ObserverSettings &observer, const std::vector<StaircaseTheory> &theories, int lastReversals,
    const ExactControl &control)
{
    std::vector<ExactRun> runs;
    const double count = double(std::max<std::size_t>(staircases.size(), 1));
    for (std::size_t i = 0; i < staircases.size(); ++i) {
        if (control.cancel && control.cancel->load(std::memory_order_relaxed)) {
            runs.push_back(notComputed(ExactStatus::cancelled));
            continue;
        }
        ExactControl one = control;
        if (control.progress)
            one.progress = [&, i](double share) { control.progress((double(i) + share) / count); };
        runs.push_back(exactRun(staircases[i], observer, theories[i], lastReversals, one));
    }
    return runs;
}

const char *exactStatusName(ExactStatus status)
{
    switch (status) {
    case ExactStatus::computed:
        return "computed";
    case ExactStatus::clamped:
        return "clamped";
    case ExactStatus::noSteps:
        return "no-steps";
    case ExactStatus::noGrid:
        return "no-grid";
    case ExactStatus::overBudget:
        return "over-budget";
    case ExactStatus::cancelled:
        return "cancelled";
    }
    return "";
}

std::string exactStatusText(ExactStatus status)
{
    switch (status) {
    case ExactStatus::computed:
        return "Computed";
    case ExactStatus::clamped:
        return "Not computed: the clamps are on";
    case ExactStatus::noSteps:
        return "Not computed: the positive steps are not a list of numbers";
    case ExactStatus::noGrid:
        return "Not computed: the steps share no common grid";
    case ExactStatus::overBudget:
        return "Not computed: the chain needs more than 50 million state-trials";
    case ExactStatus::cancelled:
        return "Not computed: cancelled";
    }
    return std::string();
}

const std::vector<std::string> &exactStatsColumns()
{
    static const std::vector<std::string> columns { "exact_p_estimate", "exact_mean", "exact_sd",
        "exact_bias", "exact_rmse", "exact_p_stop_reversals", "exact_p_stop_trials", "exact_mean_trials",
        "exact_sd_trials", "exact_sweat", "exact_status" };
    return columns;
}

std::vector<std::string> exactStatsFields(const ExactRun *exact, int lastReversals)
{
    const auto text
        = [](std::optional<double> value) { return value ? formatReal(*value) : std::string("NA"); };
    std::vector<std::string> fields;
    const bool computed = exact && exact->status == ExactStatus::computed;
    const ExactEstimate *e = exact ? exact->estimate(lastReversals) : nullptr;
    const auto run = [&](double value) { return computed ? std::optional<double>(value) : std::nullopt; };
    fields.push_back(text(e ? std::optional<double>(e->pEstimate) : std::nullopt));
    fields.push_back(text(e ? e->mean : std::nullopt));
    fields.push_back(text(e ? e->sd : std::nullopt));
    fields.push_back(text(e ? e->bias : std::nullopt));
    fields.push_back(text(e ? e->rmse : std::nullopt));
    fields.push_back(text(run(exact ? exact->pStopReversals : 0.0)));
    fields.push_back(text(run(exact ? exact->pStopTrials : 0.0)));
    fields.push_back(text(run(exact ? exact->meanTrials : 0.0)));
    fields.push_back(text(run(exact ? exact->sdTrials : 0.0)));
    fields.push_back(text(e ? e->sweatFactor : std::nullopt));
    fields.push_back(exact ? exactStatusName(exact->status) : "not-requested");
    return fields;
}

std::optional<double> standardErrorsFrom(double simulated, double exact, double se)
{
    if (!(se > 0.0) || !std::isfinite(se) || !std::isfinite(simulated) || !std::isfinite(exact))
        return std::nullopt;
    return (simulated - exact) / se;
}

double shareStandardError(double p, int n)
{
    return n > 0 && p >= 0.0 && p <= 1.0 ? std::sqrt(p * (1.0 - p) / n) : 0.0;
}

double sdStandardError(double sd, int n)
{
    return n > 1 ? sd / std::sqrt(2.0 * (n - 1)) : 0.0;
}

double intervalStandardError(double low, double high)
{
    return (high - low) / (2.0 * 1.959963984540054);
}
