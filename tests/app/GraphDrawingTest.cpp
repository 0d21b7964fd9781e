// The graph drawn on a bare plot from a run's result made by hand.
#include "GraphDrawing.h"
#include "EngineTestSupport.h"
#include "GraphSeries.h"
#include "RandomEngine.h"
#include "Run.h"

#include <QtTest>
#include <QtWidgets>
#include <qcustomplot.h>

#include <cmath>

namespace
{

struct Row {
    unsigned repetition;
    std::uint8_t staircase;
    unsigned steps;
    double level;
};
using Rows = QVector<Row>;

// A result holding exactly these trials, for staircases named by `ids`.
RunResult runOf(const Rows &rows, const std::vector<std::string> &ids = { "0", "left" })
{
    RunRequest request;
    request.staircases.resize(ids.size());
    nameStaircases(request.staircases, ids);
    RunResult result(request);
    RunRecorder recorder(result);
    for (const Row &row : rows)
        recorder.record({ row.level, row.repetition + 1, row.steps, 0, row.staircase, true, false });
    recorder.end(true);
    return result;
}

// Two staircases, two repetitions: steps restart at 0 in the second repetition.
const Rows twoRepetitions
    = { { 0, 0, 0, 1.0 }, { 0, 1, 0, 2.0 }, { 0, 0, 1, 0.5 }, { 0, 1, 1, 1.5 }, { 0, 0, 2, 0.75 },
          { 1, 0, 0, 1.0 }, { 1, 1, 0, 2.0 }, { 1, 0, 1, 1.25 }, { 1, 1, 1, 2.5 }, { 1, 1, 2, -0.125 } };

// Trials with their reversal counts, and how each staircase ended each repetition.
struct Trial {
    unsigned repetition;
    std::uint8_t staircase;
    unsigned steps;
    unsigned reversals;
    double level;
};

RunResult recorded(const QVector<Trial> &trials, int repetitions, const QVector<int> &endedOnReversal = {})
{
    RunRequest request;
    request.staircases.resize(2);
    RunResult result(request);
    RunRecorder recorder(result);
    for (int r = 0; r < repetitions; ++r) {
        for (const Trial &t : trials)
            if (t.repetition == unsigned(r))
                recorder.record(
                    { t.level, t.repetition + 1, t.steps, t.reversals, t.staircase, true, false });
        for (int s = 0; s < 2; ++s) // staircase s of repetition r ended on a reversal: entry 2r + s
            recorder.finished(s, 0, 0.0, endedOnReversal.value(2 * r + s) != 0, StopReason::maxTrials);
        recorder.endRepetition();
    }
    recorder.end(true);
    return result;
}

// Staircase 0 reverses on trial 0 of repetition 0 (its next trial has one reversal more) and
// ends that repetition on a reversal; in repetition 1 it reverses on trial 1.
const QVector<Trial> reversing = { { 0, 0, 0, 0, 1.0 }, { 0, 1, 0, 0, 2.0 }, { 0, 0, 1, 1, 0.5 },
    { 0, 0, 2, 1, 1.0 }, { 0, 1, 1, 0, 1.5 }, { 1, 0, 0, 0, 3.0 }, { 1, 0, 1, 0, 2.0 }, { 1, 1, 0, 0, 2.0 },
    { 1, 0, 2, 1, 2.5 } };

bool near(const QCPRange &a, const QCPRange &b)
{
    return std::abs(a.lower - b.lower) < 1e-12 && std::abs(a.upper - b.upper) < 1e-12;
}

QVector<QPointF> points(const QCPAbstractPlottable *plottable)
{
    QVector<QPointF> found;
    if (const auto *graph = qobject_cast<const QCPGraph *>(plottable))
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            found << QPointF(it->key, it->value);
    if (const auto *curve = qobject_cast<const QCPCurve *>(plottable))
        for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it)
            found << QPointF(it->key, it->value);
    return found;
}

} // namespace

class GraphDrawingTest : public QObject
{
    Q_OBJECT

private slots:
    void colorsStartWithTheSixteenNamedOnesThenStayDistinct();
    void tracksAreSortedByStepsKeepingTrialOrderForEqualSteps();
    void referenceCurveSpansTenSigmaMirroredInItsStrip();
    void referenceNameShowsMeanAndSigmaWithSixDigits();
    void drawBuildsNamedColouredTracksAndTheSidewaysReference();
    void degenerateTablesGiveUsableRanges();
    void oneRepetitionOrTheMedianBandReplacesTheTracks();
    void medianBandsAreQuartilesAtEachTrialCount();
    void allRepetitionsAreSeparateLines();
    void reversalTrialsAreMarkedWhenMarkersAreShown();
    void targetsAreDashedLinesInTheFirstViewWhichResetBringsBack();
};

void GraphDrawingTest::colorsStartWithTheSixteenNamedOnesThenStayDistinct()
{
    // One colour per staircase; past the sixteen named ones (red first), none repeats.
    const QVector<QColor> colors = GraphDrawing::staircaseColors();
    QCOMPARE(colors.size(), maxStaircaseCount);
    QCOMPARE(colors[0], QColor(Qt::red));
    for (int i = 16; i < colors.size(); ++i)
        for (int j = 0; j < i; ++j)
            QVERIFY2(
                colors[i] != colors[j], qPrintable(QStringLiteral("colour %1 repeats %2").arg(i).arg(j)));
}

void GraphDrawingTest::tracksAreSortedByStepsKeepingTrialOrderForEqualSteps()
{
    GraphDrawing::Tracks tracks = GraphDrawing::collectTracks(runOf(twoRepetitions), 2);
    QCOMPARE(tracks.keys, (QVector<QVector<double>> { { 0, 0, 1, 1, 2 }, { 0, 0, 1, 1, 2 } }));
    QCOMPARE(tracks.values,
        (QVector<QVector<double>> { { 1.0, 1.0, 0.5, 1.25, 0.75 }, { 2.0, 2.0, 1.5, 2.5, -0.125 } }));
    QCOMPARE(QVector<double>({ double(tracks.largestSteps), tracks.lowestLevel, tracks.highestLevel }),
        QVector<double>({ 2, -0.125, 2.5 }));

    // Staircase 1 is named by a text, not a number: its points still go to its own graph.
    // Levels keep their full precision; a level that is not finite is skipped.
    tracks = GraphDrawing::collectTracks(
        runOf({ { 0, 0, 3, 4.0 }, { 0, 1, 0, 2.0004 }, { 0, 0, 1, 1.0 }, { 0, 1, 5, HUGE_VAL } },
            { "0", "twoDown" }),
        2);
    QCOMPARE(tracks.keys, (QVector<QVector<double>> { { 1, 3 }, { 0 } }));
    QCOMPARE(tracks.values, (QVector<QVector<double>> { { 1.0, 4.0 }, { 2.0004 } }));
    QCOMPARE(QVector<double>({ double(tracks.rowsUsed), double(tracks.largestSteps), tracks.lowestLevel,
                 tracks.highestLevel }),
        QVector<double>({ 3, 3, 1, 4 }));
}

void GraphDrawingTest::referenceCurveSpansTenSigmaMirroredInItsStrip()
{
    const ObserverSettings observers[] = { // mean, sigma, lapse, guess
        { 0.0, 0.1, 0.0, 0.0 }, { 1.0, 1.0, 0.02, 0.5 }, { 50.0, 0.001, 0.1, 0.0 },
        { -99.99, 99.99, 0.0, 0.25 }
    };
    for (const ObserverSettings &observer : observers) {
        const double mu = observer.mean, sigma = observer.standardDeviation;
        const double start = 17.0;
        QVector<double> keys, values;
        GraphDrawing::referenceCurve(observer, start, keys, values);

        QVERIFY2(keys.size() == 1000 || keys.size() == 1001, qPrintable(QString::number(keys.size())));
        QCOMPARE(values.size(), keys.size());
        QCOMPARE(keys.first(), mu - 10 * sigma);
        QVERIFY(keys.last() <= mu + 10 * sigma);
        // Low levels sit near start + 6(1 - λ), high levels near start + 6γ, the mean halfway.
        const double gamma = observer.guessRate, lambda = observer.lapseRate;
        QVERIFY(std::abs(values.first() - (start + 6 * (1 - lambda))) < 1e-9);
        QVERIFY(std::abs(values.last() - (start + 6 * gamma)) < 1e-6);
        const int middle = static_cast<int>(std::lround((mu - keys.first()) / (sigma / 50)));
        QVERIFY(std::abs(values[middle] - (start + 6 * (gamma + (1 - gamma - lambda) / 2))) < 1e-6);
        QVERIFY(std::is_sorted(values.crbegin(), values.crend()));
    }
}

void GraphDrawingTest::referenceNameShowsMeanAndSigmaWithSixDigits()
{
    QLocale::setDefault(QLocale(QLocale::German)); // numbers ignore the user's locale
    QCOMPARE(GraphDrawing::referenceName({ 0.0, 0.1, 0.0, 0.0 }),
        QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(0, 0.1 )"));
    QCOMPARE(GraphDrawing::referenceName({ -12.3456789, 0.001, 0.0, 0.0 }),
        QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(-12.3457, 0.001 )"));
    QLocale::setDefault(QLocale::c());
}

void GraphDrawingTest::drawBuildsNamedColouredTracksAndTheSidewaysReference()
{
    const RunResult run = runOf(twoRepetitions);
    QCustomPlot plot;
    const QVector<QColor> colors = GraphDrawing::staircaseColors();
    for (int i = 0; i < 2; ++i) // a redraw replaces everything, connections included
        GraphDrawing::draw(plot, &run, colors, { 2, 4, true, { 1.0, 0.5, 0.0, 0.0 } });

    QCOMPARE(plot.graphCount(), 3);
    // The run's observer is another one (the default).
    const QStringList names = { "Staircase 0", "Staircase left",
        QStringLiteral(
            "Reference psychometric (\u03bc ,\u03c3)=(1, 0.5 ) \u2014 not the simulated observer") };
    // With all repetitions the legend names each staircase's lines (a curve), not its points.
    for (int v = 0; v < 3; ++v) {
        QCOMPARE(plot.graph(v)->name(), names[v]);
        auto *entry = qobject_cast<QCPPlottableLegendItem *>(plot.legend->item(v));
        QCOMPARE(entry->plottable()->name(), names[v]);
    }
    for (int v = 0; v < 2; ++v) {
        QCOMPARE(plot.graph(v)->pen().color(), colors[v]);
        QCOMPARE(plot.graph(v)->scatterStyle().shape(), QCPScatterStyle::ssCircle);
        QCOMPARE(plot.graph(v)->dataCount(), 5);
    }
    QCOMPARE(
        QStringList({ plot.xAxis->label(), plot.yAxis->label(), plot.xAxis2->label(), plot.yAxis2->label() }),
        QStringList({ "Trials", "Stimulus intensity", "Probability (%)", "Psychometric function (dotted)" }));
    const QCPGraph *reference = plot.graph(2);
    QCOMPARE(reference->keyAxis(), plot.yAxis2);
    QCOMPARE(reference->valueAxis(), plot.xAxis2);
    QCOMPARE(reference->pen(), QPen(QBrush(Qt::black), 2, Qt::DashLine));
    QVERIFY(reference->dataCount() == 1000 || reference->dataCount() == 1001);
    QCOMPARE(reference->data()->constBegin()->value, 2.0 + 6.0); // the strip starts at the largest step count
    // The top axis reads the strip in percent; the right one repeats the levels.
    QVERIFY(plot.xAxis2->visible() && plot.xAxis2->tickLabels());
    QVERIFY(plot.yAxis2->visible() && plot.yAxis2->tickLabels());
    const auto percent = plot.xAxis2->ticker().dynamicCast<QCPAxisTickerText>();
    QVERIFY(percent);
    QCOMPARE(percent->ticks().keys(), QList<double>({ 2.0, 5.0, 8.0 }));
    QCOMPARE(percent->ticks().values(), QStringList({ "0", "50", "100" }));
    // The first view reaches past the strip, with a margin; the boxed axes share the ranges, also
    // after a drag.
    QCOMPARE(plot.xAxis->range(), QCPRange(-0.5, 2 + 6 + 0.5));
    QVERIFY(near(plot.yAxis->range(), QCPRange(-0.125 - 0.13125, 2.5 + 0.13125)));
    plot.xAxis->setRange(5, 30);
    plot.yAxis->setRange(-3, 3);
    QCOMPARE(plot.xAxis2->range(), QCPRange(5, 30));
    QCOMPARE(plot.yAxis2->range(), QCPRange(-3, 3));

    // Without the reference: no extra graph or axes, and the view ends at the largest step count.
    const RunResult last = runOf({ { 0, 98, 0, 1.0 }, { 0, 98, 1, 2.0 } }, std::vector<std::string>(99));
    GraphDrawing::draw(plot, &last, colors, { 99, 0, false, {} });
    QCOMPARE(plot.graphCount(), 99);
    QCOMPARE(plot.graph(98)->pen().color(), colors[98]);
    QCOMPARE(plot.graph(98)->scatterStyle().shape(), QCPScatterStyle::ssNone);
    QVERIFY(!plot.xAxis2->visible() && !plot.yAxis2->visible());
    QCOMPARE(plot.xAxis->range(), QCPRange(-0.5, 1.5));
}

void GraphDrawingTest::degenerateTablesGiveUsableRanges()
{
    const std::tuple<const char *, Rows, bool, QCPRange> cases[] = { // rows, reference, key range
        { "empty", {}, false, QCPRange(0, 1) }, { "empty with reference", {}, true, QCPRange(0, 6) },
        { "one row", { { 0, 0, 0, 2.5 } }, false, QCPRange(0, 1) },
        { "level never moved", { { 0, 0, 0, -3.0 }, { 0, 0, 1, -3.0 } }, false, QCPRange(-0.5, 1.5) }
    };
    for (const auto &[name, rows, reference, keyRange] : cases) {
        const RunResult run = runOf(rows);
        QCustomPlot plot;
        plot.yAxis->setRange(100, 200); // a stale range from an earlier picture
        GraphDrawing::draw(plot, &run, GraphDrawing::staircaseColors(), { 1, 0, reference, {} });
        QVERIFY2(plot.graph(0)->dataCount() == rows.size(), name);
        QVERIFY2(plot.xAxis->range() == keyRange, name);
        const QCPRange levels = plot.yAxis->range();
        QVERIFY2(levels.size() > 0 && levels.size() < 100, name);
        for (const Row &row : rows)
            QVERIFY2(levels.contains(row.level), name);
    }
}

void GraphDrawingTest::oneRepetitionOrTheMedianBandReplacesTheTracks()
{
    const RunResult run = recorded(reversing, 2);
    const QVector<QColor> colors = GraphDrawing::staircaseColors();
    QCustomPlot plot;
    GraphDrawing::Settings settings(2, 0, true);
    settings.repetitions = GraphDrawing::Repetitions::one;
    settings.repetition = 1;
    GraphDrawing::draw(plot, &run, colors, settings);
    QCOMPARE(plot.graphCount(), 3); // two staircases and the reference
    QCOMPARE(points(plot.graph(0)), QVector<QPointF>({ { 0, 3.0 }, { 1, 2.0 }, { 2, 2.5 } }));
    QCOMPARE(points(plot.graph(1)), QVector<QPointF>({ { 0, 2.0 } }));
    QCOMPARE(plot.xAxis->range(), QCPRange(-0.5, 2 + 6 + 0.5));

    // The median of each staircase, then its quartiles with the band between them filled, then the reference.
    settings.repetitions = GraphDrawing::Repetitions::medianBand;
    GraphDrawing::draw(plot, &run, colors, settings);
    QCOMPARE(plot.graphCount(), 2 + 4 + 1);
    QCOMPARE(points(plot.graph(0)), QVector<QPointF>({ { 0, 2.0 }, { 1, 1.25 }, { 2, 1.75 } }));
    QCOMPARE(points(plot.graph(2)), QVector<QPointF>({ { 0, 1.5 }, { 1, 0.875 }, { 2, 1.375 } }));
    QCOMPARE(points(plot.graph(3)), QVector<QPointF>({ { 0, 2.5 }, { 1, 1.625 }, { 2, 2.125 } }));
    QCOMPARE(plot.graph(3)->channelFillGraph(), plot.graph(2));
    QCOMPARE(plot.graph(5)->channelFillGraph(), plot.graph(4));
    QCOMPARE(plot.graph(0)->name(),
        QString("Staircase 0 median of repetitions still running; ends where fewer than 10 % remain"));
    QCOMPARE(plot.graph(6)->keyAxis(), plot.yAxis2);
    QCOMPARE(plot.legend->itemCount(), 3); // the medians and the reference
    QVERIFY(near(plot.yAxis->range(), QCPRange(0.875 - 0.08125, 2.5 + 0.08125)));
}

void GraphDrawingTest::medianBandsAreQuartilesAtEachTrialCount()
{
    // Six repetitions reach trial 0, five trial 1 and four trial 2, their levels out of order: the
    // median ends at trial 1, the last that five repetitions reached.
    const RunResult run
        = recorded({ { 0, 0, 0, 0, 5.0 }, { 1, 0, 0, 0, 1.0 }, { 2, 0, 0, 0, 4.0 }, { 3, 0, 0, 0, 2.0 },
                       { 4, 0, 0, 0, 3.0 }, { 5, 0, 0, 0, 6.0 }, { 0, 0, 1, 0, 4.0 }, { 1, 0, 1, 0, 1.0 },
                       { 2, 0, 1, 0, 3.0 }, { 3, 0, 1, 0, 2.0 }, { 4, 0, 1, 0, 5.0 }, { 0, 0, 2, 0, 1.0 },
                       { 1, 0, 2, 0, 1.0 }, { 2, 0, 2, 0, 1.0 }, { 3, 0, 2, 0, 1.0 } },
            6);
    const QVector<GraphDrawing::Band> bands = GraphDrawing::medianBands(run, 2);
    QCOMPARE(bands.size(), 2);
    QCOMPARE(bands[0].keys, QVector<double>({ 0, 1 }));
    QCOMPARE(bands[0].lower, QVector<double>({ 2.25, 2.0 }));
    QCOMPARE(bands[0].median, QVector<double>({ 3.5, 3.0 }));
    QCOMPARE(bands[0].upper, QVector<double>({ 4.75, 4.0 }));
    QVERIFY(bands[1].keys.isEmpty());

    // 10 % of the repetitions, at least 5, all of them when fewer: with 20,000 repetitions the
    // median no longer follows the last few long runs.
    const std::pair<int, int> ends[] = { { 1, 1 }, { 4, 4 }, { 40, 5 }, { 51, 6 }, { 20000, 2000 } };
    for (const auto &[repetitions, fewest] : ends)
        QCOMPARE(GraphDrawing::medianEndCount(repetitions), fewest);
}

void GraphDrawingTest::allRepetitionsAreSeparateLines()
{
    // Staircase 0 runs 1, 0.5, 0.75 in repetition 0 and 1, 1.25 in repetition 1: every piece steps
    // one trial on, and none joins the end of a repetition (trial 2) to the next one's start.
    const RunResult run = runOf(twoRepetitions);
    const GraphDrawing::Tracks lines = GraphDrawing::repetitionLines(run, 2);
    const auto text = [&lines](int s) {
        QStringList points;
        for (int i = 0; i < lines.keys[s].size(); ++i)
            points << QString::number(lines.keys[s][i]) + ":" + QString::number(lines.values[s][i]);
        return points.join(' ');
    };
    QCOMPARE(text(0), QString("0:1 1:0.5 nan:nan 0:1 1:1.25 nan:nan 1:0.5 2:0.75"));
    QCOMPARE(text(1), QString("0:2 1:1.5 nan:nan 0:2 1:2.5 2:-0.125"));

    // Drawn as one curve per staircase in its colour, after the graphs, which keep the points.
    QCustomPlot plot;
    GraphDrawing::draw(plot, &run, GraphDrawing::staircaseColors(), GraphDrawing::Settings(2, 0, false));
    const auto *curve = qobject_cast<QCPCurve *>(plot.plottable(2));
    QVERIFY(curve);
    QCOMPARE(curve->dataCount(), 8);
    QCOMPARE(curve->pen().color(), GraphDrawing::staircaseColors()[0]);
    QCOMPARE(plot.graph(0)->lineStyle(), QCPGraph::lsNone);
}

void GraphDrawingTest::reversalTrialsAreMarkedWhenMarkersAreShown()
{
    const RunResult run = recorded(reversing, 2, { 1, 0, 0, 0 });
    const std::tuple<int, QVector<double>, QVector<double>> cases[] = { // repetition, keys, levels
        { 0, { 0, 2 }, { 1.0, 1.0 } }, { 1, { 1 }, { 2.0 } }, { -1, { 0, 1, 2 }, { 1.0, 2.0, 1.0 } }
    };
    for (const auto &[repetition, keys, levels] : cases) {
        const GraphDrawing::Tracks marked = GraphDrawing::reversalPoints(run, 2, repetition);
        QCOMPARE(marked.keys, QVector<QVector<double>>({ keys, {} }));
        QCOMPARE(marked.values, QVector<QVector<double>>({ levels, {} }));
    }

    // On a simulated run the marks agree with the reversals the run counted.
    RunRequest request;
    request.staircases.resize(2);
    request.staircases[1].ascending = false;
    request.staircases[1].correctAnswers = 3;
    request.repetitions = 20;
    RandomEngine engine;
    const RunResult simulated = simulate(request, engine);
    for (int r = 0; r < 20; ++r) {
        const GraphDrawing::Tracks marked = GraphDrawing::reversalPoints(simulated, 2, r);
        for (int s = 0; s < 2; ++s)
            QCOMPARE(std::vector<double>(marked.values[s].cbegin(), marked.values[s].cend()),
                std::vector<double>(simulated.reversalLevelsBegin(r, s), simulated.reversalLevelsEnd(r, s)));
    }

    // Drawn as filled diamonds only with markers, after the graphs, with one legend entry.
    QCustomPlot plot;
    GraphDrawing::draw(plot, &run, GraphDrawing::staircaseColors(), GraphDrawing::Settings(2, 0, false));
    QCOMPARE(plot.plottableCount(), 2 + 2); // the graphs and the repetitions' lines
    GraphDrawing::draw(plot, &run, GraphDrawing::staircaseColors(), GraphDrawing::Settings(2, 6, false));
    QCOMPARE(plot.plottableCount(), 4 + 2);
    const auto *diamonds = qobject_cast<QCPCurve *>(plot.plottable(4));
    QVERIFY(diamonds);
    QCOMPARE(points(diamonds), QVector<QPointF>({ { 0, 1.0 }, { 1, 2.0 }, { 2, 1.0 } }));
    QCOMPARE(diamonds->scatterStyle().shape(), QCPScatterStyle::ssDiamond);
    QCOMPARE(diamonds->scatterStyle().brush().color(), GraphDrawing::staircaseColors()[0]);
    QCOMPARE(plot.legend->itemCount(), 3);
    QCOMPARE(plot.plottable(5)->name(), QString("Reversal trials"));
}

void GraphDrawingTest::targetsAreDashedLinesInTheFirstViewWhichResetBringsBack()
{
    const RunResult run = recorded(reversing, 2);
    const QVector<QColor> colors = GraphDrawing::staircaseColors();
    GraphDrawing::Settings settings(2, 0, false);
    settings.targetLevels = { std::nullopt, 4.0 };
    QCustomPlot plot;
    const GraphDrawing::View view = GraphDrawing::draw(plot, &run, colors, settings);
    QCOMPARE(plot.itemCount(), 2); // the line and its label
    const auto *line = qobject_cast<QCPItemStraightLine *>(plot.item(0));
    QVERIFY(line);
    QCOMPARE(line->point1->value(), 4.0);
    QCOMPARE(line->point2->value(), 4.0);
    QCOMPARE(line->pen().color(), colors[1]);
    QCOMPARE(line->pen().style(), Qt::DashLine);
    // The tracks reach 3, the target 4; 5 % of the range is added on each side.
    QVERIFY(near(plot.yAxis->range(), QCPRange(0.5 - 0.175, 4.0 + 0.175)));

    plot.xAxis->setRange(10, 20);
    plot.yAxis->setRange(-5, -4);
    GraphDrawing::showView(plot, view);
    QCOMPARE(plot.xAxis->range(), QCPRange(-0.5, 2.5));
    QVERIFY(near(plot.yAxis->range(), QCPRange(0.5 - 0.175, 4.0 + 0.175)));

    // Equal targets share one label, below the line when it lies in the upper half.
    settings.targetLevels = { 4.0, 4.0 };
    GraphDrawing::draw(plot, &run, colors, settings);
    QCOMPARE(plot.itemCount(), 3);
    const auto *label = qobject_cast<QCPItemText *>(plot.item(2));
    QVERIFY(label);
    QCOMPARE(label->text(), QString("x* Staircase 0, 1"));
    QCOMPARE(label->positionAlignment(), Qt::AlignRight | Qt::AlignTop);
}

QTEST_MAIN(GraphDrawingTest)
#include "GraphDrawingTest.moc"
