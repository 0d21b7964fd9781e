#include "GraphDrawing.h"

#include "GraphSeries.h"
#include "PsychometricObserver.h"
#include "Run.h"

#include <QFont>
#include <QLocale>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace GraphDrawing
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

    // The first view's margin on every side, as a share of the range drawn.
    constexpr double viewMargin = 0.05;

    double levelRangePadding(double level)
    {
        return std::max(0.5, std::abs(level) * 0.05);
    }

    // The points drawn: the largest step count and the level range.
    struct Extent {
        bool any = false;
        int largestSteps = 0;
        double lowest = 0.0;
        double highest = 0.0;

        void add(int steps, double low, double high)
        {
            largestSteps = any ? std::max(largestSteps, steps) : steps;
            lowest = any ? std::min(lowest, low) : low;
            highest = any ? std::max(highest, high) : high;
            any = true;
        }
    };

    QColor colorOf(const QVector<QColor> &colors, int v)
    {
        return colors.isEmpty() ? QColor(Qt::black) : colors[v % colors.size()];
    }

    QString staircaseName(const RunResult *result, int v)
    {
        return QStringLiteral("Staircase ") + QString::fromStdString(result->staircaseId(v));
    }

    // Graph v: the trials of staircase v, from all repetitions or from the one chosen.
    Extent drawTracks(
        QCustomPlot &plot, const RunResult *result, const QVector<QColor> &colors, const Settings &settings)
    {
        Extent extent;
        if (!result)
            return extent;
        const int repetition = settings.repetitions == Repetitions::one ? settings.repetition : -1;
        const Tracks tracks = collectTracks(*result, settings.staircaseCount, repetition);
        const QCPScatterStyle scatter(static_cast<QCPScatterStyle::ScatterShape>(settings.scatterStyle));
        QPen pen; // solid, width 0: one device pixel whatever the scale
        pen.setWidth(0);
        // With all repetitions graph v holds the points and a curve the repetitions' lines, since a
        // graph would join each repetition's end to the next one's start.
        const bool all = repetition < 0;
        const Tracks lines = all ? repetitionLines(*result, settings.staircaseCount) : Tracks();
        for (int v = 0; v < settings.staircaseCount; ++v) {
            if (tracks.keys[v].isEmpty())
                continue;
            QCPGraph *graph = plot.graph(v);
            pen.setColor(colorOf(colors, v));
            graph->setName(staircaseName(result, v));
            graph->setPen(pen);
            graph->setScatterStyle(scatter);
            graph->setData(tracks.keys[v], tracks.values[v], true);
            if (!all)
                continue;
            graph->setLineStyle(QCPGraph::lsNone);
            graph->removeFromLegend();
            auto *curve = new QCPCurve(plot.xAxis, plot.yAxis);
            curve->setName(staircaseName(result, v));
            curve->setPen(pen);
            curve->setData(lines.keys[v], lines.values[v]);
        }
        if (tracks.rowsUsed > 0)
            extent.add(tracks.largestSteps, tracks.lowestLevel, tracks.highestLevel);
        return extent;
    }

    // Graph v: the median of staircase v; graphs staircaseCount + 2v and + 2v + 1 its quartiles,
    // the band between them filled.
    Extent drawBands(
        QCustomPlot &plot, const RunResult *result, const QVector<QColor> &colors, const Settings &settings)
    {
        Extent extent;
        const QVector<Band> bands = result ? medianBands(*result, settings.staircaseCount) : QVector<Band>();
        const QCPScatterStyle scatter(static_cast<QCPScatterStyle::ScatterShape>(settings.scatterStyle));
        for (int v = 0; v < bands.size(); ++v) {
            const Band &band = bands[v];
            const QColor color = colorOf(colors, v);
            QCPGraph *median = plot.graph(v);
            median->setName(staircaseName(result, v)
                + QStringLiteral(" median of repetitions still running; "
                                 "ends where fewer than 10 % remain"));
            median->setPen(QPen(QBrush(color), 2));
            median->setScatterStyle(scatter);
            median->setData(band.keys, band.median, true);
            QColor shade = color;
            shade.setAlpha(110);
            QCPGraph *lower = plot.addGraph();
            QCPGraph *upper = plot.addGraph();
            for (QCPGraph *quartile : { lower, upper }) {
                quartile->setPen(QPen(QBrush(shade), 0));
                quartile->removeFromLegend();
            }
            lower->setName(staircaseName(result, v) + QStringLiteral(" 25 %"));
            upper->setName(staircaseName(result, v) + QStringLiteral(" 75 %"));
            lower->setData(band.keys, band.lower, true);
            upper->setData(band.keys, band.upper, true);
            shade.setAlpha(50);
            upper->setBrush(shade);
            upper->setChannelFillGraph(lower);
            for (int i = 0; i < band.keys.size(); ++i)
                extent.add(int(band.keys[i]), band.lower[i], band.upper[i]);
        }
        return extent;
    }

    // A dashed line at every staircase's x*, in its colour; staircases with the same x* share one
    // label ("x* Staircase 0, 1"), at the right edge, below the line in the upper half of the view
    // so that it stays inside the plot.
    Extent drawTargets(
        QCustomPlot &plot, const RunResult *result, const QVector<QColor> &colors, const Settings &settings)
    {
        Extent levels;
        const int count = std::min(settings.staircaseCount, int(settings.targetLevels.size()));
        QMap<double, QVector<int>> sharing;
        for (int v = 0; v < count; ++v) {
            const std::optional<double> &target = settings.targetLevels[std::size_t(v)];
            if (!target || !std::isfinite(*target))
                continue;
            auto *line = new QCPItemStraightLine(&plot);
            line->setPen(QPen(QBrush(colorOf(colors, v)), 1, Qt::DashLine));
            line->point1->setCoords(0.0, *target);
            line->point2->setCoords(1.0, *target);
            sharing[*target].append(v);
            levels.add(0, *target, *target);
        }
        for (auto it = sharing.cbegin(); it != sharing.cend(); ++it) {
            QStringList ids;
            for (int v : it.value())
                ids << (result ? staircaseName(result, v).mid(QStringLiteral("Staircase ").size())
                               : QString::number(v));
            auto *label = new QCPItemText(&plot);
            label->setObjectName(QStringLiteral("targetLabel"));
            label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
            label->position->setCoords(1.0, it.key());
            label->setPadding(QMargins(2, 1, 4, 1));
            label->setColor(it.value().size() == 1 ? colorOf(colors, it.value().front()) : QColor(Qt::black));
            label->setText(QStringLiteral("x* Staircase ") + ids.join(QStringLiteral(", ")));
        }
        return levels;
    }

    // Target labels below their line in the upper half of the levels shown, above it otherwise.
    void placeTargetLabels(QCustomPlot &plot)
    {
        const double middle = plot.yAxis->range().center();
        for (int i = 0; i < plot.itemCount(); ++i)
            if (auto *label = qobject_cast<QCPItemText *>(plot.item(i));
                label && label->objectName() == QLatin1String("targetLabel"))
                label->setPositionAlignment(
                    Qt::AlignRight | (label->position->value() > middle ? Qt::AlignTop : Qt::AlignBottom));
    }

    // The run's caption ("... (previous experiment)") at the top left inside the plot.
    void drawCaption(QCustomPlot &plot, const QString &caption)
    {
        if (caption.isEmpty())
            return;
        auto *text = new QCPItemText(&plot);
        text->position->setType(QCPItemPosition::ptAxisRectRatio);
        text->position->setCoords(0.0, 0.0);
        text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        text->setPadding(QMargins(6, 4, 6, 4));
        text->setBrush(QBrush(QColor(255, 255, 255, 200)));
        text->setColor(QColor(60, 60, 60));
        text->setText(caption);
    }

    View firstView(const Extent &points, const Extent &targets, bool showReference)
    {
        View view;
        // Degenerate ranges (one step count, one level, no point) are widened, since the plot
        // would ignore them.
        view.keyUpper = (points.any ? points.largestSteps : 0) + (showReference ? referenceStripWidth : 0.0);
        if (view.keyUpper <= 0.0)
            view.keyUpper = 1.0;
        Extent levels = points;
        if (targets.any)
            levels.add(0, targets.lowest, targets.highest);
        view.levelLower = levels.any ? levels.lowest : 0.0;
        view.levelUpper = levels.any ? levels.highest : 1.0;
        if (view.levelUpper - view.levelLower <= 0.0) {
            view.levelLower -= levelRangePadding(view.levelLower);
            view.levelUpper += levelRangePadding(view.levelUpper);
        } else if (points.any) {
            // A margin, so that tracks held at a clamp or at their extremes are not drawn on the
            // axis line, and the first and last trials are not on the plot's edges.
            const double margin = (view.levelUpper - view.levelLower) * viewMargin;
            view.levelLower -= margin;
            view.levelUpper += margin;
        }
        if (points.any && points.largestSteps > 0) {
            const double margin = std::max(0.5, points.largestSteps * viewMargin);
            view.keyLower -= margin;
            view.keyUpper += margin;
        }
        return view;
    }

    void drawReference(QCustomPlot &plot, const ObserverSettings &observer, bool simulated, int stripStart)
    {
        QCPGraph *reference = plot.addGraph(plot.yAxis2, plot.xAxis2);
        plot.xAxis2->setVisible(true);
        plot.yAxis2->setVisible(true);
        plot.yAxis2->setLabel(QStringLiteral("Psychometric function (dotted)"));
        plot.xAxis2->setLabel(QStringLiteral("Probability (%)"));
        reference->setPen(QPen(QBrush(Qt::black), 2, Qt::DashLine));
        reference->setName(referenceName(observer, simulated));
        const auto rangeChanged = qOverload<const QCPRange &>(&QCPAxis::rangeChanged);
        const auto setRange = qOverload<const QCPRange &>(&QCPAxis::setRange);
        QObject::connect(plot.xAxis, rangeChanged, plot.xAxis2, setRange, Qt::UniqueConnection);
        QObject::connect(plot.yAxis, rangeChanged, plot.yAxis2, setRange, Qt::UniqueConnection);
        plot.axisRect()->setupFullAxesBox(false);
        // The top axis reads the strip as probabilities, the right one repeats the levels.
        auto ticker = QSharedPointer<QCPAxisTickerText>::create();
        for (int percent = 0; percent <= 100; percent += 50)
            ticker->addTick(stripStart + referenceStripWidth * percent / 100.0, QString::number(percent));
        plot.xAxis2->setTicker(ticker);
        plot.xAxis2->setTickLabels(true);
        plot.yAxis2->setTickLabels(true);
        QVector<double> keys, values;
        referenceCurve(observer, stripStart, keys, values);
        reference->setData(keys, values, true);
    }

    // Filled diamonds in the staircase's colour on its reversal trials, and one legend entry saying so.
    void drawReversals(
        QCustomPlot &plot, const RunResult &result, const QVector<QColor> &colors, const Settings &settings)
    {
        const int repetition = settings.repetitions == Repetitions::one ? settings.repetition : -1;
        const Tracks points = reversalPoints(result, settings.staircaseCount, repetition);
        if (points.rowsUsed == 0)
            return;
        const auto diamonds = [&plot](const QColor &color) {
            auto *curve = new QCPCurve(plot.xAxis, plot.yAxis);
            curve->setLineStyle(QCPCurve::lsNone);
            curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, color, color, 9));
            return curve;
        };
        for (int v = 0; v < settings.staircaseCount; ++v) {
            if (points.keys[v].isEmpty())
                continue;
            QCPCurve *curve = diamonds(colorOf(colors, v));
            curve->setName(staircaseName(&result, v) + QStringLiteral(" reversals"));
            curve->setData(points.keys[v], points.values[v]);
            curve->removeFromLegend();
        }
        diamonds(Qt::black)->setName(QStringLiteral("Reversal trials"));
    }

} // namespace

QVector<QColor> staircaseColors()
{
    QVector<QColor> colors = { Qt::red, Qt::green, Qt::blue, Qt::magenta, Qt::cyan, Qt::darkRed,
        Qt::darkGreen, Qt::darkBlue, Qt::darkMagenta, Qt::darkCyan, Qt::darkMagenta, Qt::yellow,
        Qt::darkYellow, Qt::gray, Qt::darkGray, Qt::lightGray };
    for (int k = 0; colors.size() < maxStaircaseCount; ++k) {
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

Tracks collectTracks(const RunResult &result, int staircaseCount, int repetition)
{
    Tracks tracks;
    const int graphs = std::max(staircaseCount, 0);
    tracks.keys.resize(graphs);
    tracks.values.resize(graphs);
    // Counting sort by key per staircase: later repetitions start again at step 0, and adding
    // points out of key order would be quadratic in the plot.
    QVector<QVector<qsizetype>> starts(graphs);
    const auto [first, end] = trialRange(result, repetition);
    for (std::size_t k = first; k < end; ++k) {
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
    for (std::size_t k = first; k < end; ++k) {
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
    const PsychometricObserver psi(observer);
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
        keys.append(x);
        // Mirrored about the mean: the strip's low levels show the function's high end.
        values.append(stripStart + referenceStripWidth * psi.probability(mu - (x - mu)));
    }
}

QString referenceName(const ObserverSettings &observer, bool simulated)
{
    return QStringLiteral("Reference psychometric (") + QStringLiteral("\u03bc ,") + QStringLiteral("\u03c3")
        + QStringLiteral(")=(") + QString::number(observer.mean, 'g', 6) + QStringLiteral(", ")
        + QString::number(observer.standardDeviation, 'g', 6) + QStringLiteral(" )")
        + (simulated ? QString() : QStringLiteral(" \u2014 not the simulated observer"));
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

View draw(QCustomPlot &plot, const RunResult *result, const QVector<QColor> &colors, const Settings &settings)
{
    plot.clearPlottables();
    plot.clearGraphs();
    plot.clearItems();
    plot.xAxis2->setTicker(QSharedPointer<QCPAxisTicker>::create());
    for (int v = 0; v < settings.staircaseCount; ++v)
        plot.addGraph();
    if (plot.graphCount() == 0)
        return View();

    const Extent extent = settings.repetitions == Repetitions::medianBand
        ? drawBands(plot, result, colors, settings)
        : drawTracks(plot, result, colors, settings);
    const View view = firstView(extent, drawTargets(plot, result, colors, settings), settings.showReference);
    plot.xAxis->setLabel(QStringLiteral("Trials"));
    plot.yAxis->setLabel(QStringLiteral("Stimulus intensity"));
    plot.xAxis->setRange(view.keyLower, view.keyUpper);
    plot.yAxis->setRange(view.levelLower, view.levelUpper);
    placeTargetLabels(plot);
    drawCaption(plot, settings.caption);

    if (settings.showReference)
        drawReference(plot, settings.observer, !result || result->request().observer == settings.observer,
            extent.any ? extent.largestSteps : 0);
    else {
        plot.xAxis2->setVisible(false);
        plot.yAxis2->setVisible(false);
    }
    if (result && settings.scatterStyle != QCPScatterStyle::ssNone
        && settings.repetitions != Repetitions::medianBand)
        drawReversals(plot, *result, colors, settings);

    plot.setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot.axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    plot.axisRect()->setRangeZoom(Qt::Vertical);
    plot.axisRect()->setAutoMargins(QCP::msAll);
    plot.replot();
    return view;
}

void showNotDrawn(QCustomPlot &plot, const QString &note)
{
    plot.clearPlottables();
    plot.clearGraphs();
    plot.clearItems();
    auto *text = new QCPItemText(&plot);
    text->setObjectName(QStringLiteral("notDrawn"));
    text->position->setType(QCPItemPosition::ptAxisRectRatio);
    text->position->setCoords(0.5, 0.5);
    text->setText(note);
    plot.replot();
}

void showView(QCustomPlot &plot, const View &view)
{
    plot.xAxis->setRange(view.keyLower, view.keyUpper);
    plot.yAxis->setRange(view.levelLower, view.levelUpper);
    placeTargetLabels(plot);
    plot.replot();
}

} // namespace GraphDrawing
