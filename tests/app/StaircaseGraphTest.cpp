// The graph drawn on a bare plot from a run's result made by hand.
#include "StaircaseGraph.h"
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
    request.staircaseIds = ids;
    RunResult result(request);
    RunRecorder recorder(result);
    for (const Row &row : rows)
        recorder.record({ row.level, row.repetition, row.steps, 0, row.staircase, true });
    recorder.end(true);
    return result;
}

// Two staircases, two repetitions: steps restart at 0 in the second repetition.
const Rows twoRepetitions
    = { { 0, 0, 0, 1.0 }, { 0, 1, 0, 2.0 }, { 0, 0, 1, 0.5 }, { 0, 1, 1, 1.5 }, { 0, 0, 2, 0.75 },
          { 1, 0, 0, 1.0 }, { 1, 1, 0, 2.0 }, { 1, 0, 1, 1.25 }, { 1, 1, 1, 2.5 }, { 1, 1, 2, -0.125 } };

} // namespace

class StaircaseGraphTest : public QObject
{
    Q_OBJECT

private slots:
    void colorsStartWithTheSixteenNamedOnesThenStayDistinct();
    void tracksAreSortedByStepsKeepingTrialOrderForEqualSteps();
    void referenceCurveSpansTenSigmaMirroredInItsStrip();
    void referenceNameShowsMeanAndSigmaWithSixDigits();
    void drawBuildsNamedColouredTracksAndTheSidewaysReference();
    void degenerateTablesGiveUsableRanges();
};

void StaircaseGraphTest::colorsStartWithTheSixteenNamedOnesThenStayDistinct()
{
    const QVector<QRgb> named = { 0xff0000, 0x00ff00, 0x0000ff, 0xff00ff, 0x00ffff, 0x800000, 0x008000,
        0x000080, 0x800080, 0x008080, 0x800080, 0xffff00, 0x808000, 0xa0a0a4, 0x808080, 0xc0c0c0 };
    const QVector<QColor> colors = StaircaseGraph::staircaseColors();
    QCOMPARE(colors.size(), 99);
    for (int i = 0; i < named.size(); ++i)
        QCOMPARE(colors[i].rgb() & 0xffffff, named[i]);
    for (int i = named.size(); i < colors.size(); ++i)
        for (int j = 0; j < i; ++j)
            QVERIFY2(
                colors[i] != colors[j], qPrintable(QStringLiteral("colour %1 repeats %2").arg(i).arg(j)));
}

void StaircaseGraphTest::tracksAreSortedByStepsKeepingTrialOrderForEqualSteps()
{
    StaircaseGraph::Tracks tracks = StaircaseGraph::collectTracks(runOf(twoRepetitions), 2);
    QCOMPARE(tracks.keys, (QVector<QVector<double>> { { 0, 0, 1, 1, 2 }, { 0, 0, 1, 1, 2 } }));
    QCOMPARE(tracks.values,
        (QVector<QVector<double>> { { 1.0, 1.0, 0.5, 1.25, 0.75 }, { 2.0, 2.0, 1.5, 2.5, -0.125 } }));
    QCOMPARE(QVector<double>({ double(tracks.largestSteps), tracks.lowestLevel, tracks.highestLevel }),
        QVector<double>({ 2, -0.125, 2.5 }));

    // Staircase 1 is named by a text, not a number: its points still go to its own graph.
    // Levels keep their full precision; a level that is not finite is skipped.
    tracks = StaircaseGraph::collectTracks(
        runOf({ { 0, 0, 3, 4.0 }, { 0, 1, 0, 2.0004 }, { 0, 0, 1, 1.0 }, { 0, 1, 5, HUGE_VAL } },
            { "0", "twoDown" }),
        2);
    QCOMPARE(tracks.keys, (QVector<QVector<double>> { { 1, 3 }, { 0 } }));
    QCOMPARE(tracks.values, (QVector<QVector<double>> { { 1.0, 4.0 }, { 2.0004 } }));
    QCOMPARE(QVector<double>({ double(tracks.rowsUsed), double(tracks.largestSteps), tracks.lowestLevel,
                 tracks.highestLevel }),
        QVector<double>({ 3, 3, 1, 4 }));
}

void StaircaseGraphTest::referenceCurveSpansTenSigmaMirroredInItsStrip()
{
    const ObserverSettings observers[] = { // mean, sigma, lapse, guess
        { 0.0, 0.1, 0.0, 0.0 }, { 1.0, 1.0, 0.02, 0.5 }, { 50.0, 0.001, 0.1, 0.0 },
        { -99.99, 99.99, 0.0, 0.25 }
    };
    for (const ObserverSettings &observer : observers) {
        const double mu = observer.mean, sigma = observer.standardDeviation;
        const double start = 17.0;
        QVector<double> keys, values;
        StaircaseGraph::referenceCurve(observer, start, keys, values);

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

void StaircaseGraphTest::referenceNameShowsMeanAndSigmaWithSixDigits()
{
    QLocale::setDefault(QLocale(QLocale::German)); // numbers ignore the user's locale
    QCOMPARE(StaircaseGraph::referenceName({ 0.0, 0.1, 0.0, 0.0 }),
        QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(0, 0.1 )"));
    QCOMPARE(StaircaseGraph::referenceName({ -12.3456789, 0.001, 0.0, 0.0 }),
        QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(-12.3457, 0.001 )"));
    QLocale::setDefault(QLocale::c());
}

void StaircaseGraphTest::drawBuildsNamedColouredTracksAndTheSidewaysReference()
{
    const RunResult run = runOf(twoRepetitions);
    QCustomPlot plot;
    const QVector<QColor> colors = StaircaseGraph::staircaseColors();
    for (int i = 0; i < 2; ++i) // a redraw replaces everything, connections included
        StaircaseGraph::draw(plot, &run, colors, { 2, 4, true, { 1.0, 0.5, 0.0, 0.0 } });

    QCOMPARE(plot.graphCount(), 3);
    const QStringList names = { "Staircase 0", "Staircase left",
        QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(1, 0.5 )") };
    for (int v = 0; v < 3; ++v) {
        QCOMPARE(plot.graph(v)->name(), names[v]);
        QCOMPARE(plot.legend->itemWithPlottable(plot.graph(v)), plot.legend->item(v));
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
    QVERIFY(plot.xAxis2->visible() && !plot.xAxis2->tickLabels());
    QVERIFY(plot.yAxis2->visible() && !plot.yAxis2->tickLabels());
    // The first view reaches past the strip; the boxed axes share the ranges, also after a drag.
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 2 + 6));
    QCOMPARE(plot.yAxis->range(), QCPRange(-0.125, 2.5));
    plot.xAxis->setRange(5, 30);
    plot.yAxis->setRange(-3, 3);
    QCOMPARE(plot.xAxis2->range(), QCPRange(5, 30));
    QCOMPARE(plot.yAxis2->range(), QCPRange(-3, 3));

    // Without the reference: no extra graph or axes, and the view ends at the largest step count.
    const RunResult last = runOf({ { 0, 98, 0, 1.0 }, { 0, 98, 1, 2.0 } }, std::vector<std::string>(99));
    StaircaseGraph::draw(plot, &last, colors, { 99, 0, false, {} });
    QCOMPARE(plot.graphCount(), 99);
    QCOMPARE(plot.graph(98)->pen().color(), colors[98]);
    QCOMPARE(plot.graph(98)->scatterStyle().shape(), QCPScatterStyle::ssNone);
    QVERIFY(!plot.xAxis2->visible() && !plot.yAxis2->visible());
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 1));
}

void StaircaseGraphTest::degenerateTablesGiveUsableRanges()
{
    const std::tuple<const char *, Rows, bool, QCPRange> cases[] = { // rows, reference, key range
        { "empty", {}, false, QCPRange(0, 1) }, { "empty with reference", {}, true, QCPRange(0, 6) },
        { "one row", { { 0, 0, 0, 2.5 } }, false, QCPRange(0, 1) },
        { "level never moved", { { 0, 0, 0, -3.0 }, { 0, 0, 1, -3.0 } }, false, QCPRange(0, 1) }
    };
    for (const auto &[name, rows, reference, keyRange] : cases) {
        const RunResult run = runOf(rows);
        QCustomPlot plot;
        plot.yAxis->setRange(100, 200); // a stale range from an earlier picture
        StaircaseGraph::draw(plot, &run, StaircaseGraph::staircaseColors(), { 1, 0, reference, {} });
        QVERIFY2(plot.graph(0)->dataCount() == rows.size(), name);
        QVERIFY2(plot.xAxis->range() == keyRange, name);
        const QCPRange levels = plot.yAxis->range();
        QVERIFY2(levels.size() > 0 && levels.size() < 100, name);
        for (const Row &row : rows)
            QVERIFY2(levels.contains(row.level), name);
    }
}

QTEST_MAIN(StaircaseGraphTest)
#include "StaircaseGraphTest.moc"
