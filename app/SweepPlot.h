#pragma once
// The Sweep tab's plot: one measure of a finished sweep against the value,
// one line per staircase in its graph colour, with the 95 % intervals of the
// statistics as error bars, and a dashed line of the same colour through the
// exact values where they were computed. `sweepSeries` gives the numbers, `draw` hands them
// to the plot, so the numbers are tested without pixels.

#include "Sweep.h"

#include <QColor>
#include <QString>
#include <QVector>

class QCustomPlot;
class QFont;

enum class SweepMeasure { bias, sd, rmse, meanTrials, sweat };

// "Bias", "SD", "RMSE", "Mean trials", "Sweat factor": the items of comboBoxSweepMeasure, in order.
QStringList sweepMeasureNames();

struct SweepSeries {
    int staircase = 0;
    QString name; // the staircase's display text
    QVector<double> values, measures;
    // Distances from the measure down and up to its interval's ends; empty when
    // no point of the series has an interval (0 where one point has none).
    QVector<double> below, above;
};

// One series per staircase; a value without the measure is left out.
QVector<SweepSeries> sweepSeries(const SweepResult &result, SweepMeasure measure);
// The same of the rows' exact values (no intervals): a value whose exact values
// were not computed (clamps, over the budget) is left out.
QVector<SweepSeries> exactSweepSeries(const SweepResult &result, SweepMeasure measure);

// A logarithmic value axis when every value is positive and the largest is at least 10 × the smallest.
bool sweepValuesWantLogAxis(const SweepResult &result);

namespace SweepPlot
{

void setupPlot(QCustomPlot &plot, const QFont &windowFont);
// Draws `result` (none: empties the plot) with the value axis named `valueLabel`.
void draw(QCustomPlot &plot, const SweepResult *result, SweepMeasure measure, const QString &valueLabel,
    const QVector<QColor> &colors);

} // namespace SweepPlot
