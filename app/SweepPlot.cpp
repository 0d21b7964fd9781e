#include "SweepPlot.h"

#include "PlotLegend.h"

#include <qcustomplot.h>

#include <algorithm>

namespace
{

std::optional<double> measureOf(const SweepRow &row, SweepMeasure measure)
{
    const EstimateStats &e = row.stats.estimates;
    switch (measure) {
    case SweepMeasure::bias:
        return e.bias;
    case SweepMeasure::sd:
        return e.sd;
    case SweepMeasure::rmse:
        return e.rmse;
    case SweepMeasure::meanTrials:
        return row.stats.trials ? std::optional<double>(row.stats.trials->mean) : std::nullopt;
    case SweepMeasure::sweat:
        return sweatFactor(row.stats);
    }
    return std::nullopt;
}

std::optional<double> exactMeasureOf(const SweepRow &row, SweepMeasure measure)
{
    const ExactEstimate *e = row.exact ? row.exact->estimate(row.stats.lastReversals) : nullptr;
    if (!e)
        return std::nullopt;
    switch (measure) {
    case SweepMeasure::bias:
        return e->bias;
    case SweepMeasure::sd:
        return e->sd;
    case SweepMeasure::rmse:
        return e->rmse;
    case SweepMeasure::meanTrials:
        return row.exact->meanTrials;
    case SweepMeasure::sweat:
        return e->sweatFactor;
    }
    return std::nullopt;
}

// The measure's interval: the bias's is the mean's, moved by x*.
std::optional<Interval> intervalOf(const SweepRow &row, SweepMeasure measure)
{
    const EstimateStats &e = row.stats.estimates;
    switch (measure) {
    case SweepMeasure::bias:
        if (!e.meanInterval || !row.theory.classic.level)
            return std::nullopt;
        return Interval { e.meanInterval->low - *row.theory.classic.level,
            e.meanInterval->high - *row.theory.classic.level };
    case SweepMeasure::sd:
        return e.sdInterval;
    case SweepMeasure::rmse:
        return e.rmseInterval;
    case SweepMeasure::sweat:
        return row.stats.sweatInterval;
    case SweepMeasure::meanTrials:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

QStringList sweepMeasureNames()
{
    return { QObject::tr("Bias"), QObject::tr("SD"), QObject::tr("RMSE"), QObject::tr("Mean trials"),
        QObject::tr("Sweat factor") };
}

QVector<SweepSeries> exactSweepSeries(const SweepResult &result, SweepMeasure measure)
{
    QVector<SweepSeries> series;
    for (const SweepRow &row : result.rows) {
        while (series.size() <= row.staircase) {
            series.append(SweepSeries());
            series.back().staircase = series.size() - 1;
        }
        SweepSeries &s = series[row.staircase];
        s.name = QObject::tr("%1 exact").arg(QString::fromStdString(row.id));
        const std::optional<double> m = exactMeasureOf(row, measure);
        if (!m || row.values.empty())
            continue;
        s.values.append(row.values.front());
        s.measures.append(*m);
    }
    return series;
}

QVector<SweepSeries> sweepSeries(const SweepResult &result, SweepMeasure measure)
{
    QVector<SweepSeries> series;
    bool anyInterval = false;
    for (const SweepRow &row : result.rows) {
        while (series.size() <= row.staircase) {
            series.append(SweepSeries());
            series.back().staircase = series.size() - 1;
        }
        SweepSeries &s = series[row.staircase];
        s.name = QString::fromStdString(row.id);
        const std::optional<double> m = measureOf(row, measure);
        if (!m || row.values.empty())
            continue;
        s.values.append(row.values.front());
        s.measures.append(*m);
        const std::optional<Interval> interval = intervalOf(row, measure);
        anyInterval = anyInterval || interval;
        s.below.append(interval ? *m - interval->low : 0.0);
        s.above.append(interval ? interval->high - *m : 0.0);
    }
    if (!anyInterval)
        for (SweepSeries &s : series)
            s.below.clear(), s.above.clear();
    return series;
}

bool sweepValuesWantLogAxis(const SweepResult &result)
{
    if (result.rows.empty() || result.rows.front().values.empty())
        return false;
    double low = result.rows.front().values.front(), high = low;
    for (const SweepRow &row : result.rows) {
        low = std::min(low, row.values.front());
        high = std::max(high, row.values.front());
    }
    return low > 0.0 && high >= 10.0 * low;
}

namespace SweepPlot
{

void setupPlot(QCustomPlot &plot, const QFont &windowFont)
{
    setupLegendAbove(plot, windowFont);
}

void draw(QCustomPlot &plot, const SweepResult *result, SweepMeasure measure, const QString &valueLabel,
    const QVector<QColor> &colors)
{
    plot.clearPlottables();
    plot.xAxis->setLabel(valueLabel);
    plot.yAxis->setLabel(sweepMeasureNames().value(int(measure)));
    const bool logAxis = result && sweepValuesWantLogAxis(*result);
    plot.xAxis->setScaleType(logAxis ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
    plot.xAxis->setTicker(logAxis ? QSharedPointer<QCPAxisTicker>(new QCPAxisTickerLog)
                                  : QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    if (!result) {
        plot.replot();
        return;
    }
    const auto colorOf = [&](int staircase) {
        return colors.isEmpty() ? QColor(Qt::black) : colors[staircase % colors.size()];
    };
    for (const SweepSeries &s : sweepSeries(*result, measure)) {
        if (s.values.isEmpty())
            continue; // nothing simulated, or no value has the measure
        const QColor color = colorOf(s.staircase);
        QCPGraph *graph = plot.addGraph();
        graph->setName(s.name);
        graph->setPen(QPen(color, 2));
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
        graph->setData(s.values, s.measures, true);
        if (!s.below.isEmpty()) {
            auto *bars = new QCPErrorBars(plot.xAxis, plot.yAxis);
            bars->removeFromLegend();
            bars->setDataPlottable(graph);
            bars->setData(s.below, s.above);
            bars->setPen(QPen(color));
        }
    }
    for (const SweepSeries &s : exactSweepSeries(*result, measure)) {
        if (s.values.isEmpty())
            continue;
        QCPGraph *graph = plot.addGraph();
        graph->setName(s.name);
        graph->setPen(QPen(colorOf(s.staircase), 1.5, Qt::DashLine));
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 4));
        graph->setData(s.values, s.measures, true);
    }
    plot.rescaleAxes();
    plot.xAxis->scaleRange(1.1, plot.xAxis->range().center());
    plot.yAxis->scaleRange(1.15, plot.yAxis->range().center());
    plot.replot();
}

} // namespace SweepPlot
