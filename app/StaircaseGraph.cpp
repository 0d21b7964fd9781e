#include "StaircaseGraph.h"

#include "Run.h"

#include <boost/math/special_functions/erf.hpp>

#include <QFont>
#include <QLocale>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace StaircaseGraph
{

namespace
{

    // Distinct colours after the sixteen named ones: hues spread by the golden angle, at a few
    // saturation/value levels so that neighbouring ids stay apart.
    QColor extraColor(int k)
    {
        static const int saturations[] = { 255, 170, 255, 120 };
        static const int values[] = { 200, 230, 140, 170 };
        const double hue = std::fmod(k * 0.6180339887498949, 1.0);
        return QColor::fromHsv(static_cast<int>(hue * 359.0), saturations[k % 4], values[(k / 4) % 4]);
    }

    double levelRangePadding(double level)
    {
        return std::max(0.5, std::abs(level) * 0.05);
    }

} // namespace

QVector<QColor> staircaseColors()
{
    QVector<QColor> colors = { Qt::red, Qt::green, Qt::blue, Qt::magenta, Qt::cyan, Qt::darkRed,
        Qt::darkGreen, Qt::darkBlue, Qt::darkMagenta, Qt::darkCyan, Qt::darkMagenta, Qt::yellow,
        Qt::darkYellow, Qt::gray, Qt::darkGray, Qt::lightGray };
    for (int k = 0; colors.size() < maxStaircases; ++k) {
        const QColor c = extraColor(k);
        if (!colors.contains(c))
            colors.append(c);
    }
    return colors;
}

int scatterStyleForIndex(int index, int current)
{
    static const int codes[] = { QCPScatterStyle::ssNone, QCPScatterStyle::ssCross, QCPScatterStyle::ssCircle,
        QCPScatterStyle::ssSquare };
    return index >= 0 && index < 4 ? codes[index] : current;
}

Tracks collectTracks(const RunResult &result, int staircaseCount)
{
    Tracks tracks;
    const int graphs = std::max(staircaseCount, 0);
    tracks.keys.resize(graphs);
    tracks.values.resize(graphs);
    // Counting sort by key per staircase: later repetitions start again at step 0, and adding
    // points out of key order would be quadratic in the plot.
    QVector<QVector<qsizetype>> starts(graphs);
    const std::size_t n = result.trialCount();
    for (std::size_t k = 0; k < n; ++k) {
        const TrialRecord &t = result.trial(k);
        if (t.staircase >= graphs || !std::isfinite(t.level))
            continue;
        QVector<qsizetype> &counts = starts[t.staircase];
        if (counts.size() <= qsizetype(t.staircaseTrial) + 1)
            counts.resize(qsizetype(t.staircaseTrial) + 2);
        ++counts[qsizetype(t.staircaseTrial) + 1];
    }
    for (int v = 0; v < graphs; ++v) {
        std::partial_sum(starts[v].begin(), starts[v].end(), starts[v].begin());
        const qsizetype points = starts[v].isEmpty() ? 0 : starts[v].back();
        tracks.keys[v].resize(points);
        tracks.values[v].resize(points);
    }
    for (std::size_t k = 0; k < n; ++k) {
        const TrialRecord &t = result.trial(k);
        if (t.staircase >= graphs || !std::isfinite(t.level))
            continue;
        const qsizetype at = starts[t.staircase][qsizetype(t.staircaseTrial)]++;
        tracks.keys[t.staircase][at] = t.staircaseTrial;
        tracks.values[t.staircase][at] = t.level;
        if (tracks.rowsUsed == 0) {
            tracks.largestSteps = int(t.staircaseTrial);
            tracks.lowestLevel = tracks.highestLevel = t.level;
        } else {
            tracks.largestSteps = std::max(tracks.largestSteps, int(t.staircaseTrial));
            tracks.lowestLevel = std::min(tracks.lowestLevel, t.level);
            tracks.highestLevel = std::max(tracks.highestLevel, t.level);
        }
        ++tracks.rowsUsed;
    }
    return tracks;
}

void referenceCurve(
    const ObserverSettings &observer, double stripStart, QVector<double> &keys, QVector<double> &values)
{
    const double mu = observer.mean;
    const double sigma = observer.standardDeviation;
    const double gamma = observer.guessRate;
    const double lambda = observer.lapseRate;
    keys.clear();
    values.clear();
    if (!(sigma > 0.0))
        return;
    const double step = sigma / 50.0;
    const double last = mu + 10.0 * sigma;
    // 1000 or 1001 points, depending on the rounding of the running sum; the cap only guards
    // against a step too small to move x.
    const int maxPoints = 1001;
    keys.reserve(maxPoints);
    values.reserve(maxPoints);
    for (double x = mu - 10.0 * sigma; x <= last && keys.size() < maxPoints; x += step) {
        const double r = gamma
            + (1.0 - gamma - lambda) * (1.0 + boost::math::erf(-(x - mu) / (sigma * std::sqrt(2.0)))) / 2.0;
        keys.append(x);
        values.append(stripStart + referenceStripWidth * r);
    }
}

QString referenceName(const ObserverSettings &observer)
{
    return QStringLiteral("Reference psychometric (") + QStringLiteral("\u03bc ,") + QStringLiteral("\u03c3")
        + QStringLiteral(")=(") + QString::number(observer.mean, 'g', 6) + QStringLiteral(", ")
        + QString::number(observer.standardDeviation, 'g', 6) + QStringLiteral(" )");
}

void setupPlot(QCustomPlot &plot, const QFont &windowFont)
{
    plot.setLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    plot.setAntialiasedElement(QCP::aeScatters, true);
    plot.legend->setVisible(true);
    QFont legendFont = windowFont;
    legendFont.setPointSize(9);
    plot.legend->setFont(legendFont);
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);
    plot.legend->setBrush(QBrush(QColor(255, 255, 255, 230)));
}

void draw(QCustomPlot &plot, const RunResult *result, const QVector<QColor> &colors, const Settings &settings)
{
    plot.clearPlottables();
    plot.clearGraphs();
    for (int v = 0; v < settings.staircaseCount; ++v)
        plot.addGraph();
    if (plot.graphCount() == 0)
        return;

    const Tracks tracks = result ? collectTracks(*result, settings.staircaseCount) : Tracks();
    const QCPScatterStyle scatter(static_cast<QCPScatterStyle::ScatterShape>(settings.scatterStyle));
    QPen pen; // solid, width 0: one device pixel whatever the scale
    pen.setWidth(0);
    for (int v = 0; v < settings.staircaseCount; ++v) {
        if (tracks.keys[v].isEmpty())
            continue;
        QCPGraph *graph = plot.graph(v);
        if (!colors.isEmpty())
            pen.setColor(colors[v % colors.size()]);
        const std::vector<std::string> &ids = result->request().staircaseIds;
        graph->setName(QStringLiteral("Staircase ")
            + (std::size_t(v) < ids.size() ? QString::fromStdString(ids[std::size_t(v)]) : QString()));
        graph->setPen(pen);
        graph->setScatterStyle(scatter);
        graph->setData(tracks.keys[v], tracks.values[v], true);
    }

    plot.xAxis->setLabel(QStringLiteral("Trials"));
    plot.yAxis->setLabel(QStringLiteral("Stimulus intensity"));
    // The first view shows every point, and with the reference also its strip. Degenerate ranges
    // (one step count, one level, no row) are widened, since the plot would ignore them.
    const int largestSteps = tracks.rowsUsed > 0 ? tracks.largestSteps : 0;
    double keyUpper = largestSteps + (settings.showReference ? referenceStripWidth : 0.0);
    if (keyUpper <= 0.0)
        keyUpper = 1.0;
    plot.xAxis->setRange(0.0, keyUpper);
    double lowest = tracks.rowsUsed > 0 ? tracks.lowestLevel : 0.0;
    double highest = tracks.rowsUsed > 0 ? tracks.highestLevel : 1.0;
    if (highest - lowest <= 0.0) {
        lowest -= levelRangePadding(lowest);
        highest += levelRangePadding(highest);
    }
    plot.yAxis->setRange(lowest, highest);

    if (settings.showReference) {
        QCPGraph *reference = plot.addGraph(plot.yAxis2, plot.xAxis2);
        plot.xAxis2->setVisible(true);
        plot.yAxis2->setVisible(true);
        plot.yAxis2->setLabel(QStringLiteral("Psychometric function (dotted)"));
        plot.xAxis2->setLabel(QStringLiteral("Probability (%)"));
        reference->setPen(QPen(QBrush(Qt::black), 2, Qt::DashLine));
        reference->setName(referenceName(settings.observer));
        const auto rangeChanged = qOverload<const QCPRange &>(&QCPAxis::rangeChanged);
        const auto setRange = qOverload<const QCPRange &>(&QCPAxis::setRange);
        QObject::connect(plot.xAxis, rangeChanged, plot.xAxis2, setRange, Qt::UniqueConnection);
        QObject::connect(plot.yAxis, rangeChanged, plot.yAxis2, setRange, Qt::UniqueConnection);
        plot.axisRect()->setupFullAxesBox(false);
        QVector<double> keys, values;
        referenceCurve(settings.observer, largestSteps, keys, values);
        reference->setData(keys, values, true);
    } else {
        plot.xAxis2->setVisible(false);
        plot.yAxis2->setVisible(false);
    }

    plot.setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot.axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    plot.axisRect()->setRangeZoom(Qt::Vertical);
    plot.axisRect()->setAutoMargins(QCP::msAll);
    plot.replot();
}

} // namespace StaircaseGraph
