#pragma once
// The histogram of the per-repetition estimates (or numbers of trials) on the
// Analysis tab: one staircase's as bars, with vertical lines at its target x*
// and at the mean, or several staircases' together as step outlines on shared
// bins, each with its x* dashed and its mean's 95 % interval as an error bar in
// its colour. Where the exact distribution of the values is known (ExactRun's
// trials distribution), it is drawn over the bars as a line of the counts it
// expects per bin. Works on a bare QCustomPlot, so it is tested without the
// window.

#include "RepetitionStats.h"

#include <QColor>
#include <QString>
#include <QVector>

#include <optional>
#include <vector>

class QCustomPlot;
class QFont;

namespace EstimatesHistogram
{

constexpr int maxBins = 100;

// Bin i covers [origin + i·width, origin + (i + 1)·width).
struct Bins {
    double origin = 0.0;
    double width = 0.0;
    QVector<double> counts;

    double center(int i) const { return origin + (i + 0.5) * width; }
};

// Bins for `values`: the smaller of the Freedman–Diaconis and Sturges widths
// (numpy's "auto"), at most maxBins of them. Estimates often lie on a lattice
// (means of K levels on a step grid); then the width is a whole number of
// lattice steps and each lattice value sits in the middle of a bin, so no bin
// is empty only because no lattice value falls into it.
Bins binsFor(std::vector<double> values);

// P(value = t) for the whole numbers t = 0, 1, ...: an exact distribution of
// values that are whole numbers (ExactRun::trialsDistribution).
using WholeDistribution = std::vector<double>;

// `bins` widened by whole bins, at most to 4 × maxBins of them, until they hold
// every t where `distribution` has all but 1e-6 of its mass at either end.
Bins coveringBins(Bins bins, const WholeDistribution &distribution);

// The counts `distribution` expects per bin of `bins` for `total` values,
// binned as binsFor bins them (the mass outside the bins left out).
QVector<double> expectedCounts(const Bins &bins, const WholeDistribution &distribution, double total);

// Locale with "." decimals, the legend inside at the top right.
void setupPlot(QCustomPlot &plot, const QFont &windowFont);

// Redraws the plot: the bars, then "x*" (dashed), "Mean" (solid) and "Exact
// mean" (dotted, ExactRun.h) as vertical lines when given, and the mean's 95 %
// interval as an error bar across the top of the mean's line, and the counts
// that `exact` expects as the line "Exact distribution" (graph last). `subject`
// names what is shown, for the bottom axis.
void draw(QCustomPlot &plot, const std::vector<double> &estimates, std::optional<double> target,
    std::optional<double> mean, const QString &subject, std::optional<Interval> meanInterval = std::nullopt,
    std::optional<double> exactMean = std::nullopt, const WholeDistribution &exact = {});

// One staircase of the histogram of several.
struct Series {
    QString name;
    std::vector<double> estimates;
    std::optional<double> target; // x*
    QColor color;
    std::optional<double> mean = std::nullopt;
    std::optional<Interval> meanInterval = std::nullopt; // 95 %
    WholeDistribution exact = {}; // empty: none
};

// Redraws the plot: every series' counts on the bins of all estimates as a step
// outline (graph i for series i, its keys the bin edges), then each x* as a
// dashed vertical line in its series' colour, each mean's interval as an error
// bar above the outline, and each exact distribution's expected counts as a
// dotted line, all in their series' colour and left out of the legend.
void drawAll(QCustomPlot &plot, const std::vector<Series> &series, const QString &subject);

} // namespace EstimatesHistogram
