#pragma once
// The histogram of the per-repetition estimates on the Analysis tab: one
// staircase's as bars, with vertical lines at its target x* and at the mean of
// the estimates, or several staircases' together as step outlines on shared
// bins, each with its x* dashed in its colour. Works on a bare QCustomPlot, so
// it is tested without the window.

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

// Locale with "." decimals, the legend inside at the top right.
void setupPlot(QCustomPlot &plot, const QFont &windowFont);

// Redraws the plot: the bars, then "x*" (dashed), "Mean" (solid) and "Exact
// mean" (dotted, ExactRun.h) as vertical lines when given, and the mean's 95 %
// interval as an error bar across the top of the mean's line. `subject` names
// what is shown, for the bottom axis.
void draw(QCustomPlot &plot, const std::vector<double> &estimates, std::optional<double> target,
    std::optional<double> mean, const QString &subject, std::optional<Interval> meanInterval = std::nullopt,
    std::optional<double> exactMean = std::nullopt);

// One staircase of the histogram of several.
struct Series {
    QString name;
    std::vector<double> estimates;
    std::optional<double> target; // x*
    QColor color;
};

// Redraws the plot: every series' counts on the bins of all estimates as a step
// outline (graph i for series i, its keys the bin edges), then each x* as a
// dashed vertical line in its series' colour, left out of the legend.
void drawAll(QCustomPlot &plot, const std::vector<Series> &series, const QString &subject);

} // namespace EstimatesHistogram
