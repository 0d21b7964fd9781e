#include "RepetitionStats.h"

#include "Contract.h"
#include "PsychometricObserver.h"
#include "TextUtils.h"

#include <boost/random/mersenne_twister.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace
{

const char *stopText(StopReason stop)
{
    switch (stop) {
    case StopReason::maxReversals:
        return "reversals";
    case StopReason::maxTrials:
        return "trials";
    case StopReason::clampHits:
        return "clamp hits";
    }
    return "";
}

// What boost's uniform_int_distribution<std::uint32_t>(0, range) draws from
// boost's mt19937, with the same draws and rejections, so the resamples stay
// those of every earlier version: a 32-bit draw over the bucket size, refused
// above the range. The division is a multiplication by a 64-bit reciprocal,
// exact for every 32-bit draw (its error stays below 2⁻³² ≤ 1 / bucket).
__extension__ typedef unsigned __int128 Wide;

class RepetitionPick
{
public:
    explicit RepetitionPick(std::uint32_t range)
        : range(range)
    {
        QUORVEL_ASSERT(range < 0x80000000u, "a bucket of at least two draws");
        const std::uint64_t whole = 0xffffffffu; // the generator's range, max − min
        bucket = whole / (std::uint64_t(range) + 1);
        if (whole % (std::uint64_t(range) + 1) == range)
            ++bucket;
        reciprocal = ~std::uint64_t(0) / bucket + 1;
    }

    std::uint32_t operator()(boost::random::mt19937 &generator) const
    {
        if (range == 0)
            return 0; // boost draws nothing then
        for (;;) {
            const std::uint64_t draw = generator();
            const auto result = std::uint64_t(Wide(draw) * reciprocal >> 64);
            if (result <= range)
                return std::uint32_t(result);
        }
    }

private:
    std::uint32_t range;
    std::uint64_t bucket = 1;
    std::uint64_t reciprocal = 0;
};

} // namespace

std::optional<double> repetitionEstimate(
    const RunResult &result, int repetition, int staircase, int lastReversals)
{
    QUORVEL_ASSERT(lastReversals >= 1, "lastReversals >= 1");
    const double *begin = result.reversalLevelsBegin(repetition, staircase);
    const double *end = result.reversalLevelsEnd(repetition, staircase);
    if (end - begin < lastReversals)
        return std::nullopt;
    double sum = 0.0;
    for (const double *level = end - lastReversals; level != end; ++level)
        sum += *level;
    return sum / lastReversals;
}

std::vector<double> repetitionEstimates(const RunResult &result, int staircase, int lastReversals)
{
    std::vector<double> estimates;
    for (int r = 0; r < result.repetitionCount(); ++r)
        if (const std::optional<double> e = repetitionEstimate(result, r, staircase, lastReversals))
            estimates.push_back(*e);
    return estimates;
}

RepetitionStats repetitionStats(
    const RunResult &result, int staircase, const StaircaseTheory &theory, int lastReversals)
{
    std::vector<std::optional<double>> estimates;
    for (int r = 0; r < result.repetitionCount(); ++r)
        estimates.push_back(repetitionEstimate(result, r, staircase, lastReversals));
    return repetitionStats(result, staircase, theory, estimates, lastReversals);
}

RepetitionStats repetitionStats(const RunResult &result, int staircase, const StaircaseTheory &theory,
    Estimator estimator, const EstimatorSettings &settings)
{
    return repetitionStats(result, staircase, theory,
        staircaseEstimates(result, staircase, estimator, settings, result.request().observer),
        settings.lastReversals);
}

RepetitionStats repetitionStats(const RunResult &result, int staircase, const StaircaseTheory &theory,
    const std::vector<std::optional<double>> &estimates, int lastReversals)
{
    RepetitionStats stats;
    stats.lastReversals = lastReversals;
    stats.repetitions = result.repetitionCount();
    double trialSum = 0.0;
    QUORVEL_ASSERT(estimates.size() == std::size_t(stats.repetitions), "one estimate slot per repetition");
    std::vector<double> trials;
    trials.reserve(std::size_t(stats.repetitions));
    for (int r = 0; r < result.repetitionCount(); ++r) {
        const StaircaseOutcome &o = result.outcome(r, staircase);
        trialSum += o.trials;
        trials.push_back(o.trials);
        if (!stats.trials)
            stats.trials = TrialsPerRepetition { 0.0, o.trials, o.trials };
        stats.trials->min = std::min(stats.trials->min, o.trials);
        stats.trials->max = std::max(stats.trials->max, o.trials);
        switch (o.stop) {
        case StopReason::maxReversals:
            ++stats.stoppedOnReversals;
            break;
        case StopReason::maxTrials:
            ++stats.stoppedOnTrials;
            break;
        case StopReason::clampHits:
            ++stats.stoppedOnClampHits;
            break;
        }
    }
    if (stats.trials)
        stats.trials->mean = trialSum / stats.repetitions;

    std::vector<double> given;
    for (const std::optional<double> &e : estimates)
        if (e)
            given.push_back(*e);
    stats.fewerReversals = stats.repetitions - static_cast<int>(given.size());
    stats.estimates = estimateStats(std::move(given), theory, result.request().observer);
    addEfficiency(stats, estimates, trials, theory.classic.level);
    return stats;
}

void addEfficiency(RepetitionStats &stats, const std::vector<std::optional<double>> &estimates,
    const std::vector<double> &trials, std::optional<double> target, int resamples)
{
    QUORVEL_ASSERT(estimates.size() == trials.size(), "an estimate slot and trials per repetition");
    EstimateStats &e = stats.estimates;
    if (e.rmse && stats.trials)
        stats.sweatFactor = sweatFactor(*e.rmse, stats.trials->mean);
    if (!e.mean || !e.standardError)
        return;
    e.meanInterval = Interval { *e.mean - 1.96 * *e.standardError, *e.mean + 1.96 * *e.standardError };

    // Deviations from the mean keep the sums of squares exact enough for any level's size.
    const double mean = *e.mean;
    const std::size_t n = estimates.size();
    std::vector<double> deviations(n, 0.0); // estimate − mean, 0 without an estimate
    std::vector<std::uint32_t> hasEstimate(n, 0); // 1 or 0
    std::vector<std::uint32_t> trialCounts(n); // whole trials
    for (std::size_t r = 0; r < n; ++r) {
        if (estimates[r]) {
            deviations[r] = *estimates[r] - mean;
            hasEstimate[r] = 1;
        }
        trialCounts[r] = std::uint32_t(trials[r]);
    }
    const double offset = target ? mean - *target : 0.0; // the bias
    std::vector<double> sds, rmses, sweats;
    sds.reserve(std::size_t(resamples));
    rmses.reserve(std::size_t(resamples));
    sweats.reserve(std::size_t(resamples));
    boost::random::mt19937 generator(bootstrapSeed);
    const RepetitionPick pick(std::uint32_t(n - 1));
    // A resample counts how often it drew each repetition, then sums in one pass: the
    // counts stay in the cache where drawing the repetitions' values at random would not.
    // The sums run in repetition order, so every resample's values are the same to the bit
    // whatever the draws' order; the counts and trials are whole numbers, summed exactly.
    // The pass over one resample's counts runs in the loop that draws the next one: its
    // additions wait on each other, and the draws fill that wait.
    struct Sums {
        double sum = 0.0, squares = 0.0;
        std::uint64_t counted = 0, trialTotal = 0;
    };
    const auto finish = [&](const Sums &s) {
        const double count = double(s.counted), trialSum = double(s.trialTotal);
        if (count < 2.0)
            return;
        sds.push_back(std::sqrt(std::max(0.0, (s.squares - s.sum * s.sum / count) / (count - 1.0))));
        if (target) {
            // Mean of (deviation + bias)² over the resample's estimates.
            const double meanSquare
                = std::max(0.0, s.squares / count + 2.0 * offset * s.sum / count + offset * offset);
            rmses.push_back(std::sqrt(meanSquare));
            sweats.push_back(meanSquare * trialSum / double(n));
        }
    };
    const auto add = [&](Sums &s, std::uint32_t &drawnTimes, std::size_t r) {
        const std::uint32_t times = drawnTimes;
        drawnTimes = 0u; // ready for a later resample
        const double d = deviations[r];
        s.sum += double(times) * d;
        s.squares += double(times) * d * d;
        s.counted += times * hasEstimate[r];
        s.trialTotal += std::uint64_t(times) * trialCounts[r];
    };
    std::vector<std::uint32_t> drawing(n, 0u), drawn(n, 0u);
    for (int b = 0; b < resamples; ++b) {
        Sums previous;
        if (b == 0) {
            for (std::size_t i = 0; i < n; ++i)
                ++drawing[pick(generator)];
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                ++drawing[pick(generator)];
                add(previous, drawn[i], i);
            }
            finish(previous);
        }
        drawing.swap(drawn);
    }
    if (resamples > 0) {
        Sums last;
        for (std::size_t r = 0; r < n; ++r)
            add(last, drawn[r], r);
        finish(last);
    }
    const auto percentile = [](std::vector<double> &values) -> std::optional<Interval> {
        if (values.empty())
            return std::nullopt;
        const double low = quantile(values.data(), values.data() + values.size(), 0.025);
        return Interval { low, quantile(values.data(), values.data() + values.size(), 0.975) };
    };
    e.sdInterval = percentile(sds);
    if (e.rmse)
        e.rmseInterval = percentile(rmses);
    if (stats.sweatFactor)
        stats.sweatInterval = percentile(sweats);
}

double sweatFactor(double rmse, double meanTrials)
{
    return rmse * rmse * meanTrials;
}

EstimateStats estimateStats(
    std::vector<double> estimates, const StaircaseTheory &theory, const ObserverSettings &observer)
{
    EstimateStats stats;
    const std::size_t n = estimates.size();
    stats.count = static_cast<int>(n);
    if (n == 0)
        return stats;
    double sum = 0.0;
    for (double e : estimates)
        sum += e;
    const double mean = sum / double(n);
    stats.mean = mean;
    stats.psiAtMean = PsychometricObserver(observer).probability(mean);
    if (n >= 2) {
        double squares = 0.0;
        for (double e : estimates)
            squares += (e - mean) * (e - mean);
        stats.sd = std::sqrt(squares / double(n - 1));
        stats.standardError = *stats.sd / std::sqrt(double(n));
        std::sort(estimates.begin(), estimates.end());
        stats.lowerQuantile = quantileOfSorted(estimates, 0.025);
        stats.upperQuantile = quantileOfSorted(estimates, 0.975);
    }
    if (theory.classic.level && theory.classic.psi) {
        const double target = *theory.classic.level;
        stats.bias = mean - target;
        stats.biasPercentPoints = (*stats.psiAtMean - *theory.classic.psi) * 100.0;
        double squares = 0.0;
        for (double e : estimates)
            squares += (e - target) * (e - target);
        stats.rmse = std::sqrt(squares / double(n));
    }
    return stats;
}

bool writeRepetitionSummary(const RunResult &result, int lastReversals, const TextSink &sink)
{
    EstimatorSettings settings;
    settings.lastReversals = lastReversals;
    return writeRepetitionSummary(result, settings, sink);
}

bool writeRepetitionSummary(const RunResult &result, const EstimatorSettings &settings, const TextSink &sink)
{
    QUORVEL_ASSERT(settings.lastReversals >= 1, "lastReversals >= 1");
    constexpr std::size_t chunk = 1 << 16;
    std::string buffer = "repetition\tstaircase\tID\testimate\treversals\ttrials\tstop\testimate_trials"
                         "\testimate_cir\testimate_ml\n";
    const std::vector<StaircaseEstimates> estimates
        = runEstimates(result, settings, result.request().observer);
    std::vector<std::string> ids;
    for (int s = 0; s < result.staircaseCount(); ++s) {
        ids.push_back(tsvField(result.staircaseId(s)));
    }
    char number[realTextCapacity];
    for (int r = 0; r < result.repetitionCount(); ++r) {
        for (int s = 0; s < result.staircaseCount(); ++s) {
            const StaircaseOutcome &o = result.outcome(r, s);
            buffer += std::to_string(r + 1);
            buffer += '\t';
            buffer += std::to_string(s);
            buffer += '\t';
            buffer += ids[std::size_t(s)];
            buffer += '\t';
            const auto append = [&](Estimator estimator) {
                if (const std::optional<double> e = estimates[std::size_t(s)].of(estimator)[std::size_t(r)])
                    buffer.append(number, writeReal(*e, number));
                else
                    buffer += "NA";
            };
            append(Estimator::reversals);
            buffer += '\t';
            buffer += std::to_string(o.reversalCount);
            buffer += '\t';
            buffer += std::to_string(o.trials);
            buffer += '\t';
            buffer += stopText(o.stop);
            for (Estimator estimator : { Estimator::trials, Estimator::cir, Estimator::ml }) {
                buffer += '\t';
                append(estimator);
            }
            buffer += '\n';
            if (buffer.size() >= chunk) {
                if (!sink(buffer.data(), buffer.size()))
                    return false;
                buffer.clear();
            }
        }
    }
    return sink(buffer.data(), buffer.size());
}

std::string repetitionSummaryText(const RunResult &result, int lastReversals)
{
    EstimatorSettings settings;
    settings.lastReversals = lastReversals;
    return repetitionSummaryText(result, settings);
}

std::string repetitionSummaryText(const RunResult &result, const EstimatorSettings &settings)
{
    std::string text;
    writeRepetitionSummary(result, settings, [&text](const char *data, std::size_t size) {
        text.append(data, size);
        return true;
    });
    return text;
}

namespace
{

// R's type 7 quantile of n values; orderStatistic(k) gives the k-th smallest
// (0-based) and is asked for k, then perhaps for k + 1.
template <typename OrderStatistic>
double type7Quantile(std::size_t n, double p, OrderStatistic orderStatistic)
{
    const double h = double(n - 1) * p;
    const std::size_t below = static_cast<std::size_t>(std::floor(h));
    const double low = orderStatistic(below);
    if (below + 1 >= n || h == double(below))
        return low;
    return low + (h - double(below)) * (orderStatistic(below + 1) - low);
}

} // namespace

double quantileOfSorted(const std::vector<double> &sorted, double p)
{
    return type7Quantile(sorted.size(), p, [&sorted](std::size_t k) { return sorted[k]; });
}

double quantile(double *begin, double *end, double p)
{
    std::size_t placed = std::size_t(-1);
    return type7Quantile(std::size_t(end - begin), p, [&placed, begin, end](std::size_t k) {
        if (k == placed + 1) // after nth_element the values above the placed one are not below it
            return *std::min_element(begin + k, end);
        std::nth_element(begin, begin + k, end);
        placed = k;
        return begin[k];
    });
}
