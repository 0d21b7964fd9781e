#include "GraphSeries.h"

#include "RepetitionStats.h"
#include "Run.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>
#include <vector>

namespace GraphDrawing
{

namespace
{

    using Point = std::pair<std::uint32_t, double>;
    using Points = std::vector<Point>;

    // One step of a repetition's track: from the level at `trial` to the level at trial + 1.
    struct Segment {
        std::uint32_t trial;
        double from;
        double to;

        bool operator==(const Segment &o) const { return trial == o.trial && from == o.from && to == o.to; }
        bool operator<(const Segment &o) const
        {
            return std::tie(trial, from, to) < std::tie(o.trial, o.from, o.to);
        }
    };

    std::uint64_t bitsOf(double value)
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    }

    std::uint64_t hashOf(const Point &p)
    {
        return bitsOf(p.second) ^ (std::uint64_t(p.first) * 0x9e3779b97f4a7c15u);
    }

    std::uint64_t hashOf(const Segment &s)
    {
        return bitsOf(s.from) ^ (bitsOf(s.to) * 0xff51afd7ed558ccdu)
            ^ (std::uint64_t(s.trial) * 0x9e3779b97f4a7c15u);
    }

    // The distinct points seen, in an open-addressing table: a run of millions of trials looks up
    // every reversal, and node-based sets spend most of their time chasing pointers.
    template <typename T> class Distinct
    {
    public:
        std::size_t size() const { return count; }
        void insert(const T &value)
        {
            if (2 * (count + 1) > cells.size())
                grow();
            if (place(cells, value))
                ++count;
        }
        std::vector<T> sorted() const
        {
            std::vector<T> found;
            found.reserve(count);
            for (const Slot &slot : cells)
                if (slot.used)
                    found.push_back(slot.value);
            std::sort(found.begin(), found.end());
            return found;
        }

    private:
        struct Slot {
            T value;
            bool used = false;
        };

        static bool place(std::vector<Slot> &table, const T &value)
        {
            std::uint64_t h = hashOf(value);
            h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9u; // splitmix64's finaliser
            h = (h ^ (h >> 27)) * 0x94d049bb133111ebu;
            const std::size_t mask = table.size() - 1;
            for (std::size_t i = std::size_t(h ^ (h >> 31)) & mask;; i = (i + 1) & mask) {
                if (!table[i].used) {
                    table[i] = { value, true };
                    return true;
                }
                if (table[i].value == value)
                    return false;
            }
        }
        void grow()
        {
            std::vector<Slot> larger(std::max<std::size_t>(256, 2 * cells.size()));
            for (const Slot &slot : cells)
                if (slot.used)
                    place(larger, slot.value);
            cells.swap(larger);
        }

        std::vector<Slot> cells;
        std::size_t count = 0;
    };

} // namespace

std::pair<std::size_t, std::size_t> trialRange(const RunResult &result, int repetition)
{
    const std::size_t n = result.trialCount();
    if (repetition < 0)
        return { 0, n };
    // Trials are recorded repetition after repetition.
    const auto firstAt = [&result, n](int r) {
        std::size_t low = 0, high = n;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (result.trial(middle).repetitionIndex() < r)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    };
    return { firstAt(repetition), firstAt(repetition + 1) };
}

Tracks reversalPoints(const RunResult &result, int staircaseCount, int repetition)
{
    const int graphs = std::max(staircaseCount, 0);
    std::vector<Points> points(static_cast<std::size_t>(graphs));
    // Over all repetitions most reversal points repeat (the levels lie on a grid), so only the
    // distinct ones are kept, without collecting them all first.
    std::vector<Distinct<Point>> distinct(repetition < 0 ? points.size() : 0);
    const auto mark = [&](std::size_t k) {
        const TrialRecord &t = result.trial(k);
        if (!std::isfinite(t.level))
            return;
        if (repetition >= 0)
            points[t.staircase].emplace_back(t.staircaseTrial, t.level);
        else if (distinct[t.staircase].size() < std::size_t(maxReversalMarkers))
            distinct[t.staircase].insert({ t.staircaseTrial, t.level });
    };
    constexpr std::size_t none = std::size_t(-1);
    std::vector<std::size_t> previous(static_cast<std::size_t>(graphs), none);
    // The last trial of each staircase in a repetition reversed it when its outcome says so.
    const auto endRepetition = [&](int r) {
        for (int s = 0; s < graphs; ++s) {
            if (previous[std::size_t(s)] != none && r < result.repetitionCount()
                && result.outcome(r, s).endedOnReversal)
                mark(previous[std::size_t(s)]);
            previous[std::size_t(s)] = none;
        }
    };
    const auto [begin, end] = trialRange(result, repetition);
    for (std::size_t k = begin; k < end; ++k) {
        const TrialRecord &t = result.trial(k);
        if (k > begin && t.repetitionNumber != result.trial(k - 1).repetitionNumber)
            endRepetition(result.trial(k - 1).repetitionIndex());
        if (t.staircase >= graphs)
            continue;
        std::size_t &last = previous[t.staircase];
        if (last != none && t.reversals > result.trial(last).reversals)
            mark(last);
        last = k;
    }
    if (end > begin)
        endRepetition(result.trial(end - 1).repetitionIndex());

    Tracks tracks;
    tracks.keys.resize(graphs);
    tracks.values.resize(graphs);
    for (int s = 0; s < graphs; ++s) {
        Points &p = points[std::size_t(s)];
        if (repetition < 0) {
            p = distinct[std::size_t(s)].sorted();
        }
        for (const auto &[key, level] : p) {
            tracks.keys[s].append(key);
            tracks.values[s].append(level);
        }
        tracks.rowsUsed += int(p.size());
    }
    return tracks;
}

Tracks repetitionLines(const RunResult &result, int staircaseCount)
{
    const int graphs = std::max(staircaseCount, 0);
    std::vector<Distinct<Segment>> distinct(static_cast<std::size_t>(graphs));
    constexpr std::size_t none = std::size_t(-1);
    std::vector<std::size_t> previous(static_cast<std::size_t>(graphs), none);
    for (std::size_t k = 0; k < result.trialCount(); ++k) {
        const TrialRecord &t = result.trial(k);
        if (k > 0 && t.repetitionNumber != result.trial(k - 1).repetitionNumber)
            std::fill(previous.begin(), previous.end(), none);
        if (t.staircase >= graphs)
            continue;
        std::size_t &last = previous[t.staircase];
        if (last != none) {
            const TrialRecord &before = result.trial(last);
            if (std::isfinite(before.level) && std::isfinite(t.level))
                distinct[t.staircase].insert({ before.staircaseTrial, before.level, t.level });
        }
        last = k;
    }
    Tracks lines;
    lines.keys.resize(graphs);
    lines.values.resize(graphs);
    constexpr double gap = std::numeric_limits<double>::quiet_NaN();
    for (int s = 0; s < graphs; ++s) {
        const std::vector<Segment> segments = distinct[std::size_t(s)].sorted();
        QVector<double> &keys = lines.keys[s];
        QVector<double> &values = lines.values[s];
        keys.reserve(qsizetype(segments.size()) * 3);
        values.reserve(qsizetype(segments.size()) * 3);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const Segment &segment = segments[i];
            // Consecutive steps of one track join up; anything else starts after a gap.
            if (i > 0
                && !(segments[i - 1].trial + 1 == segment.trial && segments[i - 1].to == segment.from
                    && keys.size() >= 2 && keys.back() == segment.trial)) {
                keys.append(gap);
                values.append(gap);
            }
            if (keys.isEmpty() || std::isnan(keys.back())) {
                keys.append(segment.trial);
                values.append(segment.from);
            }
            keys.append(segment.trial + 1.0);
            values.append(segment.to);
        }
        lines.rowsUsed += int(segments.size());
    }
    return lines;
}

int medianEndCount(int repetitions)
{
    return std::max(int(std::ceil(0.1 * repetitions)), std::min(5, repetitions));
}

QVector<Band> medianBands(const RunResult &result, int staircaseCount)
{
    const int fewest = medianEndCount(result.repetitionCount());
    // The tracks hold each staircase's levels ordered by trial count: one stretch per count.
    Tracks tracks = collectTracks(result, staircaseCount);
    QVector<Band> bands(tracks.keys.size());
    for (int s = 0; s < bands.size(); ++s) {
        const QVector<double> &keys = tracks.keys[s];
        double *levels = tracks.values[s].data();
        Band &band = bands[s];
        for (qsizetype first = 0, end = 0; first < keys.size(); first = end) {
            end = std::find_if(keys.cbegin() + first, keys.cend(), [&](double k) { return k != keys[first]; })
                - keys.cbegin();
            if (end - first < fewest)
                break; // later trial counts are reached by no more repetitions
            band.keys.append(keys[first]);
            band.lower.append(quantile(levels + first, levels + end, 0.25));
            band.median.append(quantile(levels + first, levels + end, 0.5));
            band.upper.append(quantile(levels + first, levels + end, 0.75));
        }
    }
    return bands;
}

} // namespace GraphDrawing
