#include "EstimatesHistogram.h"

#include "AnalysisTexts.h"
#include "PlotLegend.h"
#include "RepetitionStats.h"

#include <QFont>
#include <QLocale>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace EstimatesHistogram
{

namespace
{

    // The step of the lattice the sorted values lie on, or 0 when they lie on none of at most
    // a million steps over their range.
    double latticeStep(const std::vector<double> &sorted, double range)
    {
        const double tolerance
            = 1e-9 * std::max({ std::abs(sorted.front()), std::abs(sorted.back()), range });
        double step = std::numeric_limits<double>::infinity();
        for (std::size_t i = 1; i < sorted.size(); ++i)
            if (sorted[i] - sorted[i - 1] > tolerance)
                step = std::min(step, sorted[i] - sorted[i - 1]);
        if (!std::isfinite(step) || range / step > 1e6)
            return 0.0;
        for (double v : sorted) {
            const double units = (v - sorted.front()) / step;
            if (std::abs(units - std::round(units)) > 1e-6)
                return 0.0;
        }
        return step;
    }

    QCPGraph *verticalLine(QCustomPlot &plot, double x, double top, const QPen &pen, const QString &name)
    {
        QCPGraph *line = plot.addGraph();
        line->setPen(pen);
        line->setName(name);
        line->setData({ x, x }, { 0.0, top }, true);
        return line;
    }

    int binOf(const Bins &bins, double value)
    {
        const int count = int(bins.counts.size());
        return std::min(static_cast<int>(std::floor((value - bins.origin) / bins.width)), count - 1);
    }

    // The line of the counts `distribution` expects on `bins`, through the bins' centres.
    QCPGraph *expectedLine(QCustomPlot &plot, const Bins &bins, const WholeDistribution &distribution,
        double total, const QPen &pen, const QString &name)
    {
        const QVector<double> expected = expectedCounts(bins, distribution, total);
        QVector<double> centers;
        for (int i = 0; i < expected.size(); ++i)
            centers << bins.center(i);
        QCPGraph *line = plot.addGraph();
        line->setPen(pen);
        line->setName(name);
        line->setData(centers, expected, true);
        return line;
    }

    double highest(const QVector<double> &values)
    {
        return values.isEmpty() ? 0.0 : *std::max_element(values.cbegin(), values.cend());
    }

} // namespace

Bins coveringBins(Bins bins, const WholeDistribution &distribution)
{
    if (bins.counts.isEmpty() || distribution.empty())
        return bins;
    const double tail = 1e-6;
    double below = 0.0;
    std::size_t low = 0, high = distribution.size() - 1;
    for (; low < distribution.size() && below + distribution[low] <= tail; ++low)
        below += distribution[low];
    for (double above = 0.0; high > low && above + distribution[high] <= tail; --high)
        above += distribution[high];
    const int limit = 4 * maxBins;
    while (bins.origin > double(low) && bins.counts.size() < limit) {
        bins.origin -= bins.width;
        bins.counts.prepend(0.0);
    }
    while (bins.origin + bins.counts.size() * bins.width <= double(high) && bins.counts.size() < limit)
        bins.counts.append(0.0);
    return bins;
}

QVector<double> expectedCounts(const Bins &bins, const WholeDistribution &distribution, double total)
{
    QVector<double> expected(bins.counts.size(), 0.0);
    if (expected.isEmpty())
        return expected;
    for (std::size_t t = 0; t < distribution.size(); ++t)
        if (double(t) >= bins.origin && distribution[t] > 0.0)
            expected[binOf(bins, double(t))] += distribution[t] * total;
    return expected;
}

Bins binsFor(std::vector<double> values)
{
    Bins bins;
    if (values.empty())
        return bins;
    std::sort(values.begin(), values.end());
    const double n = double(values.size());
    const double lowest = values.front(), range = values.back() - lowest;
    if (!(range > 0.0)) {
        bins.width = std::max(std::abs(lowest) * 0.05, 0.01);
        bins.origin = lowest - bins.width / 2.0;
        bins.counts = { n };
        return bins;
    }
    const double sturges = range / (std::ceil(std::log2(n)) + 1.0);
    const double iqr = quantileOfSorted(values, 0.75) - quantileOfSorted(values, 0.25);
    const double freedmanDiaconis
        = iqr > 0.0 ? 2.0 * iqr / std::cbrt(n) : std::numeric_limits<double>::infinity();
    bins.width = std::max(std::min(sturges, freedmanDiaconis), range / maxBins);
    bins.origin = lowest;
    if (const double step = latticeStep(values, range); step > 0.0) {
        bins.width = std::max(1.0, std::round(bins.width / step)) * step;
        bins.origin = lowest - step / 2.0;
    }
    const int count = static_cast<int>(std::floor((values.back() - bins.origin) / bins.width)) + 1;
    bins.counts.fill(0.0, count);
    for (double v : values)
        bins.counts[std::min(static_cast<int>(std::floor((v - bins.origin) / bins.width)), count - 1)] += 1.0;
    return bins;
}

void setupPlot(QCustomPlot &plot, const QFont &windowFont)
{
    setupLegendAbove(plot, windowFont);
    plot.yAxis->setLabel(QStringLiteral("Repetitions"));
}

void draw(QCustomPlot &plot, const std::vector<double> &estimates, std::optional<double> target,
    std::optional<double> mean, const QString &subject, std::optional<Interval> meanInterval,
    std::optional<double> exactMean, const WholeDistribution &exact)
{
    plot.clearPlottables();
    plot.xAxis->setLabel(subject);
    const Bins bins = coveringBins(binsFor(estimates), exact);
    if (bins.counts.isEmpty()) {
        plot.replot();
        return;
    }
    auto *bars = new QCPBars(plot.xAxis, plot.yAxis);
    bars->setName(QStringLiteral("Repetitions"));
    bars->setWidth(bins.width);
    bars->setPen(QPen(QColor(70, 90, 140)));
    bars->setBrush(QColor(150, 175, 220));
    QVector<double> centers;
    for (int i = 0; i < bins.counts.size(); ++i)
        centers.append(bins.center(i));
    bars->setData(centers, bins.counts, true);

    const QVector<double> expected = expectedCounts(bins, exact, double(estimates.size()));
    const double top = std::max(highest(bins.counts), highest(expected)) * 1.1;
    double left = bins.origin, right = bins.origin + bins.counts.size() * bins.width;
    if (target) {
        verticalLine(plot, *target, top, QPen(QBrush(Qt::red), 2, Qt::DashLine),
            QStringLiteral("Target x* ") + statLevelText(*target));
        left = std::min(left, *target);
        right = std::max(right, *target);
    }
    if (mean)
        verticalLine(
            plot, *mean, top, QPen(QBrush(Qt::black), 2), QStringLiteral("Mean ") + statLevelText(*mean));
    if (exactMean) {
        verticalLine(plot, *exactMean, top, QPen(QBrush(QColor(0, 130, 60)), 2, Qt::DotLine),
            QStringLiteral("Exact mean ") + statLevelText(*exactMean));
        left = std::min(left, *exactMean);
        right = std::max(right, *exactMean);
    }
    if (mean && meanInterval) {
        QCPGraph *point = plot.addGraph();
        point->setName(QStringLiteral("95 % interval"));
        point->setLineStyle(QCPGraph::lsNone);
        point->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
        point->setPen(QPen(Qt::black));
        point->setData({ *mean }, { top * 0.95 }, true);
        auto *bar = new QCPErrorBars(plot.xAxis, plot.yAxis);
        bar->removeFromLegend();
        bar->setErrorType(QCPErrorBars::etKeyError);
        bar->setPen(QPen(Qt::black, 1.5));
        bar->setDataPlottable(point);
        bar->setData({ *mean - meanInterval->low }, { meanInterval->high - *mean });
    }
    if (!exact.empty())
        expectedLine(plot, bins, exact, double(estimates.size()), QPen(QColor(0, 130, 60), 2),
            QStringLiteral("Exact distribution"))
            ->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 4));
    const double margin = (right - left) * 0.05;
    plot.xAxis->setRange(left - margin, right + margin);
    plot.yAxis->setRange(0.0, top);
    plot.replot();
}

void drawAll(QCustomPlot &plot, const std::vector<Series> &series, const QString &subject)
{
    plot.clearPlottables();
    plot.xAxis->setLabel(subject);
    std::vector<double> all;
    for (const Series &s : series)
        all.insert(all.end(), s.estimates.begin(), s.estimates.end());
    Bins bins = binsFor(all);
    for (const Series &s : series)
        bins = coveringBins(bins, s.exact);
    if (bins.counts.isEmpty()) {
        plot.replot();
        return;
    }
    const int binCount = int(bins.counts.size());
    double top = 1.0, left = bins.origin, right = bins.origin + binCount * bins.width;
    std::vector<double> peaks; // per series: where its interval goes
    for (const Series &s : series) {
        QVector<double> counts(binCount, 0.0);
        for (double v : s.estimates)
            counts[std::clamp(static_cast<int>(std::floor((v - bins.origin) / bins.width)), 0, binCount - 1)]
                += 1.0;
        // Up from 0 at the first edge, across each bin, down to 0 at the last edge.
        QVector<double> keys { bins.origin }, values { 0.0 };
        for (int i = 0; i < binCount; ++i) {
            keys << bins.origin + i * bins.width;
            values << counts[i];
        }
        keys << bins.origin + binCount * bins.width;
        values << 0.0;
        QCPGraph *outline = plot.addGraph();
        outline->setName(s.name);
        outline->setPen(QPen(s.color, 2));
        outline->setLineStyle(QCPGraph::lsStepLeft);
        outline->setData(keys, values, true);
        const double peak
            = std::max(highest(counts), highest(expectedCounts(bins, s.exact, double(s.estimates.size()))));
        peaks.push_back(peak);
        top = std::max(top, peak * 1.1);
    }
    // Each interval just above its own outline, and every one below the top.
    top *= 1.08;
    for (const Series &s : series) {
        if (!s.target)
            continue;
        verticalLine(
            plot, *s.target, top, QPen(QBrush(s.color), 1.5, Qt::DashLine), QStringLiteral("x* ") + s.name)
            ->removeFromLegend();
        left = std::min(left, *s.target);
        right = std::max(right, *s.target);
    }
    for (std::size_t i = 0; i < series.size(); ++i) {
        const Series &s = series[i];
        if (!s.exact.empty())
            expectedLine(plot, bins, s.exact, double(s.estimates.size()),
                QPen(QBrush(s.color), 1.5, Qt::DotLine), QStringLiteral("Exact ") + s.name)
                ->removeFromLegend();
        if (!s.mean || !s.meanInterval)
            continue;
        QCPGraph *point = plot.addGraph();
        point->setName(QStringLiteral("95 % interval ") + s.name);
        point->removeFromLegend();
        point->setLineStyle(QCPGraph::lsNone);
        point->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
        point->setPen(QPen(s.color));
        point->setData({ *s.mean }, { peaks[i] + top * 0.04 }, true);
        auto *bar = new QCPErrorBars(plot.xAxis, plot.yAxis);
        bar->removeFromLegend();
        bar->setErrorType(QCPErrorBars::etKeyError);
        bar->setPen(QPen(s.color, 1.5));
        bar->setDataPlottable(point);
        bar->setData({ *s.mean - s.meanInterval->low }, { s.meanInterval->high - *s.mean });
    }
    const double margin = (right - left) * 0.05;
    plot.xAxis->setRange(left - margin, right + margin);
    plot.yAxis->setRange(0.0, top);
    plot.replot();
}

} // namespace EstimatesHistogram
