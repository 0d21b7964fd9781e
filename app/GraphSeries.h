#pragma once
// The series the Graph tab draws besides the plain tracks: the trials of one
// repetition, the trials that reversed a staircase's direction, and per
// staircase the median level at each of its trial counts with the 25–75 % band
// over the repetitions. Plain numbers from a RunResult, so the drawing is tested
// on them rather than on pixels.

#include "GraphDrawing.h"

#include <cstddef>
#include <utility>

namespace GraphDrawing
{

// With all repetitions, equal reversal points are drawn once, and at most this
// many distinct points per staircase: once that many are found, points of
// later repetitions that are not among them are left out (repetitions are
// alike, so many markers cover the plot anyway, and each costs every replot
// its time).
constexpr int maxReversalMarkers = 100000;

// Run-wide trial numbers [first, second) of repetition `repetition` (0-based);
// the whole run for a negative one.
std::pair<std::size_t, std::size_t> trialRange(const RunResult &result, int repetition);

// The reversal trials of staircases 0 … staircaseCount-1 as points (the staircase's trial
// count, the level), from one repetition or, for a negative `repetition`, from all of them.
// A reversal trial is one whose answer counted a reversal: the staircase's next trial in the
// repetition has more reversals, or it is the staircase's last trial and the repetition's
// outcome says it ended on a reversal. Only `keys`, `values` and `rowsUsed` are filled.
Tracks reversalPoints(const RunResult &result, int staircaseCount, int repetition);

// The lines of "All" repetitions: per staircase, every distinct step (trial count k, its level, the
// level at k + 1) of any repetition, as points to join in order, a NaN point between pieces that
// do not join. No line joins the end of one repetition to the start of the next, and steps that
// many repetitions share are drawn once. `rowsUsed` counts the distinct steps.
Tracks repetitionLines(const RunResult &result, int staircaseCount);

// The median is drawn up to the last trial count that at least this many of `repetitions`
// reached: 10 % of them, and at least 5 (all of them, when there are fewer).
int medianEndCount(int repetitions);

// Median and quartiles (type 7: linear between order statistics, as RepetitionStats) of the
// levels a staircase presented at each of its trial counts, over the repetitions that reached it,
// up to the last count that medianEndCount of the run's repetitions reached.
struct Band {
    QVector<double> keys; // trial counts with at least one level
    QVector<double> lower; // 25 %
    QVector<double> median;
    QVector<double> upper; // 75 %
};

QVector<Band> medianBands(const RunResult &result, int staircaseCount);

} // namespace GraphDrawing
