#include "RepetitionStats.h"

#include "Contract.h"
#include "PsychometricObserver.h"
#include "TextUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace
{

// R's read.delim and pandas' read_csv take a '"' as the start of a quoted field.
std::string quoted(const std::string &text)
{
    std::string q = "\"";
    for (char c : text) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

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
    RepetitionStats stats;
    stats.lastReversals = lastReversals;
    stats.repetitions = result.repetitionCount();
    double trialSum = 0.0;
    for (int r = 0; r < result.repetitionCount(); ++r) {
        const StaircaseOutcome &o = result.outcome(r, staircase);
        trialSum += o.trials;
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

    const std::vector<double> estimates = repetitionEstimates(result, staircase, lastReversals);
    stats.fewerReversals = stats.repetitions - static_cast<int>(estimates.size());
    stats.estimates = estimateStats(estimates, theory, result.request().observer);
    return stats;
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
    QUORVEL_ASSERT(lastReversals >= 1, "lastReversals >= 1");
    constexpr std::size_t chunk = 1 << 16;
    std::string buffer = "repetition\tstaircase\tID\testimate\treversals\ttrials\tstop\n";
    std::vector<std::string> ids;
    for (int s = 0; s < result.staircaseCount(); ++s) {
        std::string id = result.staircaseId(s);
        std::replace_if(
            id.begin(), id.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
        ids.push_back(id.find('"') == std::string::npos ? id : quoted(id));
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
            if (const std::optional<double> e = repetitionEstimate(result, r, s, lastReversals))
                buffer.append(number, writeReal(*e, number));
            else
                buffer += "NA";
            buffer += '\t';
            buffer += std::to_string(o.reversalCount);
            buffer += '\t';
            buffer += std::to_string(o.trials);
            buffer += '\t';
            buffer += stopText(o.stop);
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
    std::string text;
    writeRepetitionSummary(result, lastReversals, [&text](const char *data, std::size_t size) {
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
