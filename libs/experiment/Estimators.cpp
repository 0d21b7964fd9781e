#include "Estimators.h"

#include "Contract.h"
#include "RepetitionStats.h"
#include "StaircaseTheory.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

struct EstimatorNames {
    Estimator estimator;
    const char *name;
    const char *label;
};

constexpr EstimatorNames names[] = {
    { Estimator::reversals, "reversals", "Last K reversals" },
    { Estimator::trials, "trials", "Trials from reversal R" },
    { Estimator::cir, "cir", "Isotonic (CIR)" },
    { Estimator::ml, "ml", "Maximum likelihood (\u03c3 known)" },
};

const EstimatorNames &namesOf(Estimator estimator)
{
    return names[static_cast<std::size_t>(estimator)];
}

// The scan's step in σ, which is also the step of the table of log-likelihood
// terms, so that every level keeps one interpolation weight across the scan.
constexpr double zStep = 0.25;
// The table covers z from −zLimit to zLimit; terms beyond are computed exactly.
constexpr double zLimit = 64.0;
// Where the likelihood is looked for, in σ beyond the lowest and highest levels.
constexpr double searchReach = 10.0;
// The location is refined to within this many σ.
constexpr double tolerance = 1e-7;
constexpr double tiny = 1e-300;

// log(floor + c·Φ(z)); far in the lower tail, where Φ underflows, log c plus
// the tail's asymptote log Φ(z) ≈ −z²/2 − log(−z) − log √(2π).
double logRaised(double floor, double c, double z)
{
    const double phi = 0.5 * std::erfc(-z * M_SQRT1_2);
    const double value = floor + c * phi;
    if (value > tiny || z >= 0.0)
        return std::log(std::max(value, tiny));
    return std::log(c) - 0.5 * z * z - std::log(-z) - 0.5 * std::log(2.0 * M_PI);
}

} // namespace

const char *estimatorName(Estimator estimator)
{
    return namesOf(estimator).name;
}

const char *estimatorLabel(Estimator estimator)
{
    return namesOf(estimator).label;
}

std::optional<Estimator> estimatorFromName(std::string_view name)
{
    for (const EstimatorNames &n : names)
        if (name == n.name)
            return n.estimator;
    return std::nullopt;
}

std::string estimatorNameList()
{
    std::string list;
    for (const EstimatorNames &n : names)
        list += (list.empty() ? "" : ", ") + std::string(n.name);
    return list;
}

std::vector<LevelCounts> levelCounts(const std::vector<TrialAnswer> &trials)
{
    std::vector<LevelCounts> counts;
    std::size_t last = 0; // a staircase moves by one step: its next level is usually beside its last
    for (const TrialAnswer &t : trials) {
        std::size_t at = last;
        if (!(at < counts.size() && counts[at].level == t.level)) {
            if (at + 1 < counts.size() && counts[at + 1].level == t.level) {
                ++at;
            } else if (at >= 1 && at - 1 < counts.size() && counts[at - 1].level == t.level) {
                --at;
            } else {
                const auto found = std::lower_bound(counts.begin(), counts.end(), t.level,
                    [](const LevelCounts &c, double level) { return c.level < level; });
                at = std::size_t(found - counts.begin());
                if (found == counts.end() || found->level != t.level)
                    counts.insert(found, LevelCounts { t.level, 0, 0 });
            }
        }
        ++counts[at].trials;
        counts[at].positives += t.positive ? 1 : 0;
        last = at;
    }
    return counts;
}

std::optional<double> trialMeanFrom(const std::vector<TrialAnswer> &trials, std::size_t firstTrial)
{
    if (firstTrial >= trials.size())
        return std::nullopt;
    double sum = 0.0;
    for (std::size_t t = firstTrial; t < trials.size(); ++t)
        sum += trials[t].level;
    return sum / double(trials.size() - firstTrial);
}

std::optional<double> cirEstimate(const std::vector<LevelCounts> &counts, double psiStar)
{
    struct Block {
        double trials, positives, levelSum; // levelSum: Σ level × trials
        double proportion() const { return positives / trials; }
    };
    std::vector<Block> blocks;
    blocks.reserve(counts.size());
    for (const LevelCounts &c : counts) {
        if (c.trials <= 0)
            continue;
        Block b { double(c.trials), double(c.positives), c.level * c.trials };
        while (!blocks.empty() && blocks.back().proportion() >= b.proportion()) {
            b.trials += blocks.back().trials;
            b.positives += blocks.back().positives;
            b.levelSum += blocks.back().levelSum;
            blocks.pop_back();
        }
        blocks.push_back(b);
    }
    if (blocks.empty())
        return std::nullopt;
    const auto level = [](const Block &b) { return b.levelSum / b.trials; };
    if (psiStar < blocks.front().proportion() || psiStar > blocks.back().proportion())
        return std::nullopt;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const double p = blocks[i].proportion();
        if (p == psiStar)
            return level(blocks[i]);
        if (i + 1 < blocks.size() && psiStar < blocks[i + 1].proportion()) {
            const double q = blocks[i + 1].proportion();
            const double x0 = level(blocks[i]), x1 = level(blocks[i + 1]);
            return x0 + (psiStar - p) / (q - p) * (x1 - x0);
        }
    }
    return std::nullopt; // one point whose proportion is not ψ*
}

MaximumLikelihood::MaximumLikelihood(const ObserverSettings &observer)
    : observer(observer)
    , sigma(observer.standardDeviation)
    , scale(1.0 - observer.guessRate - observer.lapseRate)
{
    if (!(sigma > 0.0) || !(scale > 0.0))
        return; // no location: `location` gives none
    const int size = int(2.0 * zLimit / zStep) + 1;
    logPsi.resize(std::size_t(size));
    logOneMinusPsi.resize(std::size_t(size));
    for (int k = 0; k < size; ++k) {
        const double z = -zLimit + k * zStep;
        logPsi[std::size_t(k)] = logRaised(observer.guessRate, scale, z);
        logOneMinusPsi[std::size_t(k)] = logRaised(observer.lapseRate, scale, -z);
    }
    // The largest bend of a term between table entries bounds the error of the
    // straight lines between them: (zStep²/8)·|second derivative| per trial.
    for (std::size_t k = 1; k + 1 < logPsi.size(); ++k)
        for (const std::vector<double> *t : { &logPsi, &logOneMinusPsi })
            lineError = std::max(lineError, std::abs((*t)[k + 1] - 2.0 * (*t)[k] + (*t)[k - 1]) / 8.0);
}

double MaximumLikelihood::logLikelihood(const std::vector<LevelCounts> &counts, double mu) const
{
    double sum = 0.0;
    for (const LevelCounts &c : counts) {
        const double z = (c.level - mu) / sigma;
        if (c.positives > 0)
            sum += c.positives * logRaised(observer.guessRate, scale, z);
        if (c.trials > c.positives)
            sum += (c.trials - c.positives) * logRaised(observer.lapseRate, scale, -z);
    }
    return sum;
}

double MaximumLikelihood::tableLogLikelihood(const std::vector<LevelCounts> &counts, double mu) const
{
    double sum = 0.0;
    const double size = double(logPsi.size());
    for (const LevelCounts &c : counts) {
        const double position = ((c.level - mu) / sigma + zLimit) / zStep;
        const double whole = std::floor(position);
        if (!(whole >= 0.0 && whole + 1.0 < size)) {
            sum += logLikelihood({ c }, mu);
            continue;
        }
        const std::size_t m = std::size_t(whole);
        const double weight = position - whole;
        const double *p = logPsi.data(), *q = logOneMinusPsi.data();
        sum += c.positives * (p[m] + weight * (p[m + 1] - p[m]))
            + (c.trials - c.positives) * (q[m] + weight * (q[m + 1] - q[m]));
    }
    return sum;
}

MaximumLikelihood::Slope MaximumLikelihood::slope(const std::vector<LevelCounts> &counts, double mu) const
{
    Slope slope;
    for (const LevelCounts &c : counts) {
        const double z = (c.level - mu) / sigma;
        const double density = std::exp(-0.5 * z * z) * (0.5 * M_2_SQRTPI * M_SQRT1_2);
        // One erfc, on the side where its value is small and so accurate.
        const double tail = 0.5 * std::erfc(std::abs(z) * M_SQRT1_2);
        const double below = z < 0.0 ? tail : 1.0 - tail; // Φ(z)
        const double psi = std::max(observer.guessRate + scale * below, tiny);
        const double miss = std::max(observer.lapseRate + scale * (z < 0.0 ? 1.0 - tail : tail), tiny);
        const double d1 = -scale * density / sigma; // dψ/dμ
        const double d2 = -scale * z * density / (sigma * sigma); // d²ψ/dμ²
        const double s = c.positives, f = c.trials - c.positives;
        const double a = s / psi - f / miss;
        const double b = s / (psi * psi) + f / (miss * miss);
        slope.first += d1 * a;
        slope.second += d2 * a - d1 * d1 * b;
    }
    return slope;
}

// A root of the slope where it turns from rising to falling, between low and
// high: Newton's steps, kept inside a bracket that halves when a step leaves it.
double MaximumLikelihood::refine(
    const std::vector<LevelCounts> &counts, double low, double high, double mu) const
{
    for (int i = 0; i < 200 && high - low > tolerance * sigma; ++i) {
        const Slope s = slope(counts, mu);
        if (s.first == 0.0)
            return mu;
        (s.first > 0.0 ? low : high) = mu;
        double next = s.second < 0.0 ? mu - s.first / s.second : 0.5 * (low + high);
        if (!(next > low && next < high))
            next = 0.5 * (low + high);
        const bool converged = std::abs(next - mu) < tolerance * sigma;
        mu = next;
        if (converged)
            break;
    }
    return mu;
}

std::optional<double> MaximumLikelihood::location(const std::vector<LevelCounts> &counts) const
{
    if (logPsi.empty() || counts.empty())
        return std::nullopt;
    int trials = 0, positives = 0;
    for (const LevelCounts &c : counts) {
        trials += c.trials;
        positives += c.positives;
    }
    if (positives == 0 || positives == trials)
        return std::nullopt;

    const double first = counts.front().level - searchReach * sigma;
    const double last = counts.back().level + searchReach * sigma;
    const double step = zStep * sigma;
    const int points = int(std::floor((last - first) / step)) + 1;
    scan.assign(std::size_t(points), 0.0);
    const int tableSize = int(logPsi.size());
    for (const LevelCounts &c : counts) {
        // z at scan point j is (level − first)/σ − j·zStep: one table position per level.
        const double position = ((c.level - first) / sigma + zLimit) / zStep;
        const double whole = std::floor(position);
        const double weight = position - whole;
        const int k = int(whole);
        const double s = c.positives, f = c.trials - c.positives;
        // Scan points whose table entries k − j and k − j + 1 exist.
        const int from = std::max(0, k - (tableSize - 2)), to = std::min(points - 1, k);
        const double *p = logPsi.data(), *q = logOneMinusPsi.data();
        double *out = scan.data();
        for (int j = from; j <= to; ++j) {
            const int m = k - j;
            out[j] += s * (p[m] + weight * (p[m + 1] - p[m])) + f * (q[m] + weight * (q[m + 1] - q[m]));
        }
        // Far outside the table (levels hundreds of σ apart): exact terms.
        for (int j = 0; j < std::min(from, points); ++j)
            out[j] += logLikelihood({ c }, first + j * step);
        for (int j = std::max(to + 1, 0); j < points; ++j)
            out[j] += logLikelihood({ c }, first + j * step);
    }

    // Every peak within twice the table's error of the highest may be the true maximum.
    const double best = *std::max_element(scan.begin(), scan.end());
    const double margin = 2.0 * lineError * trials + 1e-9 * std::abs(best);
    std::vector<double> &peaks = candidates;
    peaks.clear();
    for (int j = 1; j + 1 < points; ++j) {
        const double v = scan[std::size_t(j)];
        if (v < best - margin || v < scan[std::size_t(j - 1)] || v < scan[std::size_t(j + 1)]
            || (v == scan[std::size_t(j - 1)] && v == scan[std::size_t(j + 1)]))
            continue;
        // Newton's steps from the vertex of the parabola through the three scan points.
        const double left = scan[std::size_t(j - 1)], right = scan[std::size_t(j + 1)];
        const double bend = left - 2.0 * v + right;
        const double centre = first + j * step;
        double start = centre + (bend < 0.0 ? 0.5 * step * (left - right) / bend : 0.0);
        double low = centre - step, high = centre + step;
        double mu = refine(counts, low, high, start);
        // The table may place a peak a step off: then the search ends on an edge; widen and go
        // on (a bounded number of times: a peak right on an edge would otherwise bounce).
        for (int widened = 0; widened < points
             && ((mu - low < 2.0 * tolerance * sigma && low > first)
                 || (high - mu < 2.0 * tolerance * sigma && high < last));
             ++widened) {
            const bool atLow = mu - low < 2.0 * tolerance * sigma;
            low = atLow ? std::max(first, low - step) : mu;
            high = atLow ? mu : std::min(last, high + step);
            mu = refine(counts, low, high, 0.5 * (low + high));
        }
        peaks.push_back(mu);
    }
    if (peaks.empty())
        return std::nullopt;
    // One peak clearly above both ends (by the table) needs no exact comparison.
    const double ends = std::max(scan.front(), tableLogLikelihood(counts, last));
    if (peaks.size() == 1 && tableLogLikelihood(counts, peaks.front()) > ends + margin)
        return peaks.front();
    std::optional<double> location;
    double highest = std::max(logLikelihood(counts, first), logLikelihood(counts, last));
    for (double mu : peaks) {
        const double value = logLikelihood(counts, mu);
        if (value > highest) {
            highest = value;
            location = mu;
        }
    }
    return location; // none when an end of the interval is as high as every peak
}

namespace
{

// The estimates of staircase `only`, or of every staircase when it is −1.
std::vector<StaircaseEstimates> estimatesOf(const RunResult &result, const EstimatorSettings &settings,
    const ObserverSettings &observer, const std::vector<ClassicTarget> &targets, int only)
{
    QUORVEL_ASSERT(targets.size() == std::size_t(result.staircaseCount()), "one target per staircase");
    QUORVEL_ASSERT(settings.lastReversals >= 1 && settings.firstReversal >= 1,
        "lastReversals >= 1 && firstReversal >= 1");
    const int repetitions = result.repetitionCount();
    const std::size_t staircases = std::size_t(result.staircaseCount());
    std::vector<StaircaseEstimates> estimates(staircases);
    for (StaircaseEstimates &e : estimates)
        for (std::vector<std::optional<double>> &values : e.byEstimator)
            values.assign(std::size_t(repetitions), std::nullopt);
    const MaximumLikelihood likelihood(observer);

    // Per staircase, the current repetition's trials and the position of its R-th reversal trial.
    constexpr std::size_t none = std::numeric_limits<std::size_t>::max();
    std::vector<std::vector<TrialAnswer>> trials(staircases);
    std::vector<std::size_t> fromReversal(staircases, none);
    const auto finish = [&](int r) {
        for (std::size_t s = 0; s < staircases; ++s) {
            const int si = int(s);
            if (only >= 0 && si != only)
                continue;
            const std::size_t ri = std::size_t(r);
            StaircaseEstimates &e = estimates[s];
            e.byEstimator[0][ri] = repetitionEstimate(result, r, si, settings.lastReversals);
            const std::vector<TrialAnswer> &answers = trials[s];
            if (result.outcome(r, si).reversalCount >= std::uint32_t(settings.firstReversal))
                // Without a trial past it, the R-th reversal was the last trial.
                e.byEstimator[1][ri]
                    = trialMeanFrom(answers, fromReversal[s] != none ? fromReversal[s] : answers.size() - 1);
            const ClassicTarget &target = targets[s];
            if (target.psi) {
                const std::vector<LevelCounts> counts = levelCounts(answers);
                e.byEstimator[2][ri] = cirEstimate(counts, *target.psi);
                if (target.level)
                    if (const std::optional<double> mu = likelihood.location(counts))
                        e.byEstimator[3][ri] = *mu + *target.level - observer.mean;
            }
            trials[s].clear();
            fromReversal[s] = none;
        }
    };

    int current = 0;
    for (std::size_t k = 0; k < result.trialCount(); ++k) {
        const TrialRecord &t = result.trial(k);
        if (t.repetitionIndex() >= repetitions)
            break;
        while (t.repetitionIndex() > current)
            finish(current++);
        const std::size_t s = t.staircase;
        if (only >= 0 && int(s) != only)
            continue;
        // The trial whose answer raised the count to R is the one before the first trial counting R.
        if (fromReversal[s] == none && t.reversals >= std::uint32_t(settings.firstReversal)
            && !trials[s].empty())
            fromReversal[s] = trials[s].size() - 1;
        trials[s].push_back(TrialAnswer { t.level, t.response });
    }
    while (current < repetitions)
        finish(current++);
    return estimates;
}

// The classic targets of the run's staircases for `observer`; only staircase `only` when it is not −1.
std::vector<ClassicTarget> classicTargets(const RunResult &result, const ObserverSettings &observer, int only)
{
    std::vector<ClassicTarget> targets(std::size_t(result.staircaseCount()));
    for (std::size_t s = 0; s < targets.size(); ++s)
        if (only < 0 || int(s) == only)
            targets[s] = classicTarget(result.request().staircases[s], observer);
    return targets;
}

} // namespace

std::vector<StaircaseEstimates> runEstimates(
    const RunResult &result, const EstimatorSettings &settings, const ObserverSettings &observer)
{
    return estimatesOf(result, settings, observer, classicTargets(result, observer, -1), -1);
}

std::vector<StaircaseEstimates> runEstimates(
    const RunResult &result, const EstimatorSettings &settings, const std::vector<StaircaseTheory> &theories)
{
    QUORVEL_ASSERT(theories.size() == std::size_t(result.staircaseCount()), "one theory per staircase");
    std::vector<ClassicTarget> targets;
    for (const StaircaseTheory &theory : theories)
        targets.push_back(theory.classic);
    return estimatesOf(result, settings, result.request().observer, targets, -1);
}

StaircaseEstimates allStaircaseEstimates(const RunResult &result, int staircase,
    const EstimatorSettings &settings, const ObserverSettings &observer)
{
    QUORVEL_ASSERT(staircase >= 0 && staircase < result.staircaseCount(), "staircase in range");
    return std::move(estimatesOf(result, settings, observer, classicTargets(result, observer, staircase),
        staircase)[std::size_t(staircase)]);
}

std::vector<std::optional<double>> staircaseEstimates(const RunResult &result, int staircase,
    Estimator estimator, const EstimatorSettings &settings, const ObserverSettings &observer)
{
    if (estimator == Estimator::reversals) {
        std::vector<std::optional<double>> values;
        for (int r = 0; r < result.repetitionCount(); ++r)
            values.push_back(repetitionEstimate(result, r, staircase, settings.lastReversals));
        return values;
    }
    return allStaircaseEstimates(result, staircase, settings, observer).of(estimator);
}
