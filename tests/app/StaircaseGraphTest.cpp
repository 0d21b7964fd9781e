// The graph drawn on a bare plot from a results table filled by hand.
#include "StaircaseGraph.h"
#include "ScriptedDialogs.h"

#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include <cmath>

namespace
{

struct Row {
    const char *id;
    const char *steps;
    const char *state;
};

} // namespace

Q_DECLARE_METATYPE(QVector<Row>)

namespace
{

void fillTable(QTableWidget &table, const QVector<Row> &rows)
{
    table.clear();
    table.setColumnCount(6);
    table.setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        table.setItem(r, 0, new QTableWidgetItem(QString::fromUtf8(rows[r].id)));
        table.setItem(r, 2, new QTableWidgetItem(QString::fromUtf8(rows[r].steps)));
        table.setItem(r, 4, new QTableWidgetItem(QString::fromUtf8(rows[r].state)));
    }
}

// Two staircases, two repetitions: steps restart at 0 in the second repetition.
const QVector<Row> twoRepetitions = {
    { "0", "0", "1.000" },
    { "1", "0", "2.000" },
    { "0", "1", "0.500" },
    { "1", "1", "1.500" },
    { "0", "2", "0.750" },
    { "0", "0", "1.000" },
    { "1", "0", "2.000" },
    { "0", "1", "1.250" },
    { "1", "1", "2.500" },
    { "1", "2", "-0.125" },
};

QMap<int, QString> defaultIds(int n)
{
    QMap<int, QString> ids;
    for (int i = 0; i < n; ++i)
        ids[i] = QString::number(i);
    return ids;
}

QVector<double> graphKeys(const QCPGraph *graph)
{
    QVector<double> keys;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        keys << it->key;
    return keys;
}

QVector<double> graphValues(const QCPGraph *graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values << it->value;
    return values;
}

} // namespace

class StaircaseGraphTest : public QObject
{
    Q_OBJECT

private slots:
    void colorsStartWithTheSixteenNamedOnesThenStayDistinct();
    void drawStyleIndexMapsToScatterCode_data();
    void drawStyleIndexMapsToScatterCode();
    void tracksAreSortedByStepsKeepingRowOrderForEqualSteps();
    void rowsWithBadIdsGoToGraphZeroOrAreSkipped();
    void levelTextsReadExactlyAsQtReadsThem_data();
    void levelTextsReadExactlyAsQtReadsThem();
    void idTextsReadAsDecimalIntegers_data();
    void idTextsReadAsDecimalIntegers();
    void referenceCurveSpansTenSigmaMirroredInItsStrip_data();
    void referenceCurveSpansTenSigmaMirroredInItsStrip();
    void referenceNameShowsMeanAndSigma_data();
    void referenceNameShowsMeanAndSigma();
    void setupConfiguresLegendAndLocale();
    void drawBuildsOneNamedColouredGraphPerStaircase();
    void drawWithReferenceAddsSidewaysCurveAndBoxedAxes();
    void referenceAxesFollowDragsAfterRepeatedDraws();
    void degenerateTablesGiveUsableRanges_data();
    void degenerateTablesGiveUsableRanges();
    void noStaircaseLeavesThePlotEmpty();
    void pdfExportCancelledWritesNothing();
    void pdfExportReportsUnwritablePath();
};

void StaircaseGraphTest::colorsStartWithTheSixteenNamedOnesThenStayDistinct()
{
    const QVector<QRgb> named = { 0xff0000, 0x00ff00, 0x0000ff, 0xff00ff, 0x00ffff, 0x800000, 0x008000,
        0x000080, 0x800080, 0x008080, 0x800080, 0xffff00, 0x808000, 0xa0a0a4, 0x808080, 0xc0c0c0 };
    const QVector<QColor> colors = StaircaseGraph::staircaseColors();
    QCOMPARE(colors.size(), 99);
    for (int i = 0; i < named.size(); ++i)
        QCOMPARE(colors[i].rgb() & 0xffffff, named[i]);
    for (int i = named.size(); i < colors.size(); ++i) {
        QCOMPARE(colors[i].alpha(), 255);
        for (int j = 0; j < i; ++j)
            QVERIFY2(
                colors[i] != colors[j], qPrintable(QStringLiteral("colour %1 repeats %2").arg(i).arg(j)));
    }
}

void StaircaseGraphTest::drawStyleIndexMapsToScatterCode_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::newRow("None") << 0 << 0;
    QTest::newRow("Cross") << 1 << 2;
    QTest::newRow("Circles") << 2 << 4;
    QTest::newRow("Squares") << 3 << 6;
    QTest::newRow("emptied combo keeps") << -1 << 4;
    QTest::newRow("beyond the items keeps") << 4 << 4;
}

void StaircaseGraphTest::drawStyleIndexMapsToScatterCode()
{
    QFETCH(int, index);
    QFETCH(int, code);
    QCOMPARE(StaircaseGraph::scatterStyleForIndex(index, 4), code);
}

void StaircaseGraphTest::tracksAreSortedByStepsKeepingRowOrderForEqualSteps()
{
    QTableWidget table;
    fillTable(table, twoRepetitions);
    const StaircaseGraph::Tracks tracks = StaircaseGraph::collectTracks(*table.model(), 2);
    QCOMPARE(tracks.keys, (QVector<QVector<double>> { { 0, 0, 1, 1, 2 }, { 0, 0, 1, 1, 2 } }));
    QCOMPARE(tracks.values,
        (QVector<QVector<double>> { { 1.0, 1.0, 0.5, 1.25, 0.75 }, { 2.0, 2.0, 1.5, 2.5, -0.125 } }));
    QCOMPARE(tracks.rowsUsed, 10);
    QCOMPARE(tracks.largestSteps, 2);
    QCOMPARE(tracks.lowestLevel, -0.125);
    QCOMPARE(tracks.highestLevel, 2.5);
}

void StaircaseGraphTest::rowsWithBadIdsGoToGraphZeroOrAreSkipped()
{
    QTableWidget table;
    fillTable(table,
        {
            { "A", "3", "4.000" }, // text id: staircase 0
            { "", "1", "1.000" }, // empty id (no page any more): staircase 0
            { "1", "0", "2.000" }, //
            { "2", "9", "99.000" }, // outside the two staircases: skipped
            { "-1", "8", "-9.000" }, // skipped
            { "1", "x", "y" }, // unreadable numbers read as 0
            { "1", "5", "inf" }, // not a finite level: skipped
        });
    const StaircaseGraph::Tracks tracks = StaircaseGraph::collectTracks(*table.model(), 2);
    QCOMPARE(tracks.keys, (QVector<QVector<double>> { { 1, 3 }, { 0, 0 } }));
    QCOMPARE(tracks.values, (QVector<QVector<double>> { { 1.0, 4.0 }, { 2.0, 0.0 } }));
    QCOMPARE(tracks.rowsUsed, 4);
    QCOMPARE(tracks.largestSteps, 3);
    QCOMPARE(tracks.lowestLevel, 0.0);
    QCOMPARE(tracks.highestLevel, 4.0);
}

void StaircaseGraphTest::levelTextsReadExactlyAsQtReadsThem_data()
{
    QTest::addColumn<QString>("text");
    const char *texts[]
        = { "0.000", "0.100", "-0.125", "2.675", "-4.500", "123456.789", "0.3", "1e3", "1.", ".5", "+2.500",
              " 3.000", "-", "0.1.2", "12,5", "-0", "99999999999999.9", "1234567890123456.7", "0.123456789" };
    for (const char *text : texts)
        QTest::newRow(text) << QString::fromLatin1(text);
}

void StaircaseGraphTest::levelTextsReadExactlyAsQtReadsThem()
{
    QFETCH(QString, text);
    QTableWidget table(1, 6);
    table.setItem(0, 0, new QTableWidgetItem(QStringLiteral("0")));
    table.setItem(0, 2, new QTableWidgetItem(QStringLiteral("0")));
    table.setItem(0, 4, new QTableWidgetItem(text));
    const StaircaseGraph::Tracks tracks = StaircaseGraph::collectTracks(*table.model(), 1);
    const double level = tracks.values[0][0];
    const double expected = text.toDouble(); // 0 when the text is no number
    QVERIFY2(level == expected && std::signbit(level) == std::signbit(expected),
        qPrintable(QString::number(level, 'g', 17)));
}

void StaircaseGraphTest::idTextsReadAsDecimalIntegers_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("graph");
    QTest::newRow("plain") << QStringLiteral("3") << 3;
    QTest::newRow("leading zeros") << QStringLiteral("007") << 7;
    QTest::newRow("plus sign") << QStringLiteral("+2") << 2;
    QTest::newRow("blanks") << QStringLiteral(" 1 ") << 1;
    QTest::newRow("a real") << QStringLiteral("1.0") << 0;
    QTest::newRow("too large for an int") << QStringLiteral("4294967297") << 0;
    QTest::newRow("minus zero") << QStringLiteral("-0") << 0;
}

void StaircaseGraphTest::idTextsReadAsDecimalIntegers()
{
    QFETCH(QString, id);
    QFETCH(int, graph);
    QTableWidget table(1, 6);
    table.setItem(0, 0, new QTableWidgetItem(id));
    table.setItem(0, 2, new QTableWidgetItem(QStringLiteral("4")));
    table.setItem(0, 4, new QTableWidgetItem(QStringLiteral("1.000")));
    const StaircaseGraph::Tracks tracks = StaircaseGraph::collectTracks(*table.model(), 8);
    for (int v = 0; v < 8; ++v)
        QCOMPARE(tracks.keys[v], v == graph ? QVector<double> { 4 } : QVector<double> {});
}

void StaircaseGraphTest::referenceCurveSpansTenSigmaMirroredInItsStrip_data()
{
    QTest::addColumn<double>("mu");
    QTest::addColumn<double>("sigma");
    QTest::addColumn<double>("gamma");
    QTest::addColumn<double>("lambda");
    QTest::newRow("defaults") << 0.0 << 0.1 << 0.0 << 0.0;
    QTest::newRow("guess and lapse") << 1.0 << 1.0 << 0.5 << 0.02;
    QTest::newRow("smallest sigma") << 50.0 << 0.001 << 0.0 << 0.1;
    QTest::newRow("wide") << 99.99 << 99.99 << 0.25 << 0.0;
}

void StaircaseGraphTest::referenceCurveSpansTenSigmaMirroredInItsStrip()
{
    QFETCH(double, mu);
    QFETCH(double, sigma);
    QFETCH(double, gamma);
    QFETCH(double, lambda);
    const double start = 17.0;
    QVector<double> keys, values;
    StaircaseGraph::referenceCurve({ mu, sigma, gamma, lambda }, start, keys, values);

    QVERIFY2(keys.size() == 1000 || keys.size() == 1001, qPrintable(QString::number(keys.size())));
    QCOMPARE(values.size(), keys.size());
    QCOMPARE(keys.first(), mu - 10 * sigma);
    QVERIFY(keys.last() <= mu + 10 * sigma);
    QVERIFY(std::is_sorted(keys.cbegin(), keys.cend()));
    // Low levels sit near start + 6(1 - λ), high levels near start + 6γ, the middle halfway.
    QVERIFY(std::abs(values.first() - (start + 6 * (1 - lambda))) < 1e-9);
    QVERIFY(std::abs(values.last() - (start + 6 * gamma)) < 1e-6);
    const int middle = static_cast<int>(std::lround((mu - keys.first()) / (sigma / 50)));
    QVERIFY(std::abs(values[middle] - (start + 6 * (gamma + (1 - gamma - lambda) / 2))) < 1e-6);
    QVERIFY(std::is_sorted(values.crbegin(), values.crend()));
}

void StaircaseGraphTest::referenceNameShowsMeanAndSigma_data()
{
    QTest::addColumn<double>("mu");
    QTest::addColumn<double>("sigma");
    QTest::addColumn<QString>("name");
    QTest::newRow("defaults") << 0.0 << 0.1
                              << QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(0, 0.1 )");
    QTest::newRow("six digits") << 12.3456789 << 0.001
                                << QStringLiteral(
                                       "Reference psychometric (\u03bc ,\u03c3)=(12.3457, 0.001 )");
    QTest::newRow("largest") << 99.99 << 2.5
                             << QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(99.99, 2.5 )");
}

void StaircaseGraphTest::referenceNameShowsMeanAndSigma()
{
    QFETCH(double, mu);
    QFETCH(double, sigma);
    QFETCH(QString, name);
    QLocale::setDefault(QLocale(QLocale::German)); // numbers ignore the user's locale
    QCOMPARE(StaircaseGraph::referenceName({ mu, sigma, 0.0, 0.0 }), name);
    QLocale::setDefault(QLocale::c());
}

void StaircaseGraphTest::setupConfiguresLegendAndLocale()
{
    QCustomPlot plot;
    QFont font(QStringLiteral("Sans"), 14);
    StaircaseGraph::setupPlot(plot, font);
    QCOMPARE(plot.locale(), QLocale(QLocale::English, QLocale::UnitedKingdom));
    QVERIFY(plot.antialiasedElements().testFlag(QCP::aeScatters));
    QVERIFY(plot.legend->visible());
    QCOMPARE(plot.legend->font().pointSize(), 9);
    QCOMPARE(plot.legend->font().family(), font.family());
    QCOMPARE(plot.axisRect()->insetLayout()->insetAlignment(0), Qt::AlignBottom | Qt::AlignRight);
    QCOMPARE(plot.legend->brush(), QBrush(QColor(255, 255, 255, 230)));
}

void StaircaseGraphTest::drawBuildsOneNamedColouredGraphPerStaircase()
{
    QTableWidget table;
    fillTable(table, twoRepetitions);
    QCustomPlot plot;
    const QVector<QColor> colors = StaircaseGraph::staircaseColors();
    QMap<int, QString> ids = { { 0, QStringLiteral("0") }, { 1, QStringLiteral("left") } };
    StaircaseGraph::draw(plot, *table.model(), ids, colors, { 2, 4, false, {} });

    QCOMPARE(plot.graphCount(), 2);
    const QStringList names = { QStringLiteral("Staircase 0"), QStringLiteral("Staircase left") };
    for (int v = 0; v < 2; ++v) {
        const QCPGraph *graph = plot.graph(v);
        QCOMPARE(graph->name(), names[v]);
        QCOMPARE(graph->pen().color(), colors[v]);
        QCOMPARE(graph->pen().widthF(), 0.0);
        QCOMPARE(graph->pen().style(), Qt::SolidLine);
        QCOMPARE(graph->scatterStyle().shape(), QCPScatterStyle::ssCircle);
        QCOMPARE(graph->keyAxis(), plot.xAxis);
        QCOMPARE(graph->valueAxis(), plot.yAxis);
        QCOMPARE(graph->lineStyle(), QCPGraph::lsLine);
    }
    QCOMPARE(graphKeys(plot.graph(1)), (QVector<double> { 0, 0, 1, 1, 2 }));
    QCOMPARE(graphValues(plot.graph(1)), (QVector<double> { 2.0, 2.0, 1.5, 2.5, -0.125 }));

    QCOMPARE(plot.xAxis->label(), QStringLiteral("Trials"));
    QCOMPARE(plot.yAxis->label(), QStringLiteral("Stimulus intensity"));
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 2));
    QCOMPARE(plot.yAxis->range(), QCPRange(-0.125, 2.5));
    QVERIFY(!plot.xAxis2->visible());
    QVERIFY(!plot.yAxis2->visible());
    QCOMPARE(plot.axisRect()->rangeDrag(), Qt::Horizontal | Qt::Vertical);
    QCOMPARE(plot.axisRect()->rangeZoom(), Qt::Vertical);
    QVERIFY(plot.interactions().testFlag(QCP::iRangeDrag));
    QVERIFY(plot.interactions().testFlag(QCP::iRangeZoom));
    QCOMPARE(plot.axisRect()->autoMargins(), QCP::msAll);

    // Staircases past the sixteenth get their own colours, with the run's ids.
    fillTable(table, { { "20", "0", "1.000" }, { "98", "1", "2.000" } });
    StaircaseGraph::draw(plot, *table.model(), defaultIds(99), colors, { 99, 0, false, {} });
    QCOMPARE(plot.graphCount(), 99);
    QCOMPARE(plot.graph(20)->pen().color(), colors[20]);
    QCOMPARE(plot.graph(98)->pen().color(), colors[98]);
    QCOMPARE(plot.graph(98)->name(), QStringLiteral("Staircase 98"));
    QCOMPARE(plot.graph(98)->scatterStyle().shape(), QCPScatterStyle::ssNone);
}

void StaircaseGraphTest::drawWithReferenceAddsSidewaysCurveAndBoxedAxes()
{
    QTableWidget table;
    fillTable(table, twoRepetitions);
    QCustomPlot plot;
    const StaircaseGraph::Observer observer { 1.0, 0.5, 0.0, 0.0 };
    StaircaseGraph::draw(
        plot, *table.model(), defaultIds(2), StaircaseGraph::staircaseColors(), { 2, 0, true, observer });

    QCOMPARE(plot.graphCount(), 3);
    QCOMPARE(plot.legend->itemCount(), 3);
    auto *lastEntry = qobject_cast<QCPPlottableLegendItem *>(plot.legend->item(2));
    QVERIFY(lastEntry && lastEntry->plottable() == plot.graph(2));
    const QCPGraph *reference = plot.graph(2);
    QCOMPARE(reference->name(), QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(1, 0.5 )"));
    QCOMPARE(reference->keyAxis(), plot.yAxis2);
    QCOMPARE(reference->valueAxis(), plot.xAxis2);
    QCOMPARE(reference->pen(), QPen(QBrush(Qt::black), 2, Qt::DashLine));
    const int points = reference->dataCount();
    QVERIFY2(points == 1000 || points == 1001, qPrintable(QString::number(points)));
    QCOMPARE(graphValues(reference).first(), 2.0 + 6.0); // the strip starts at the largest step count

    QVERIFY(plot.xAxis2->visible());
    QVERIFY(plot.yAxis2->visible());
    QVERIFY(!plot.xAxis2->tickLabels());
    QVERIFY(!plot.yAxis2->tickLabels());
    QCOMPARE(plot.xAxis2->label(), QStringLiteral("Probability (%)"));
    QCOMPARE(plot.yAxis2->label(), QStringLiteral("Psychometric function (dotted)"));
    // The first view reaches past the strip, and the boxed axes share the ranges.
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 2 + 6));
    QCOMPARE(plot.xAxis2->range(), plot.xAxis->range());
    QCOMPARE(plot.yAxis2->range(), plot.yAxis->range());

    // Switching the reference off hides the extra axes and graph.
    StaircaseGraph::draw(
        plot, *table.model(), defaultIds(2), StaircaseGraph::staircaseColors(), { 2, 0, false, observer });
    QCOMPARE(plot.graphCount(), 2);
    QVERIFY(!plot.xAxis2->visible());
    QVERIFY(!plot.yAxis2->visible());
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 2));
}

void StaircaseGraphTest::referenceAxesFollowDragsAfterRepeatedDraws()
{
    QTableWidget table;
    fillTable(table, twoRepetitions);
    QCustomPlot plot;
    for (int i = 0; i < 3; ++i)
        StaircaseGraph::draw(plot, *table.model(), defaultIds(2), StaircaseGraph::staircaseColors(),
            { 2, 0, true, { 1.0, 0.5, 0.0, 0.0 } });
    QSignalSpy topChanges(plot.xAxis2, qOverload<const QCPRange &>(&QCPAxis::rangeChanged));
    plot.xAxis->setRange(5, 30);
    plot.yAxis->setRange(-3, 3);
    QCOMPARE(plot.xAxis2->range(), QCPRange(5, 30));
    QCOMPARE(plot.yAxis2->range(), QCPRange(-3, 3));
    QCOMPARE(topChanges.count(), 1); // forwarded once, not once per draw
}

void StaircaseGraphTest::degenerateTablesGiveUsableRanges_data()
{
    QTest::addColumn<QVector<Row>>("rows");
    QTest::addColumn<bool>("reference");
    QTest::addColumn<int>("points");
    QTest::addColumn<QCPRange>("keyRange");
    QTest::newRow("empty table") << QVector<Row> {} << false << 0 << QCPRange(0, 1);
    QTest::newRow("empty table with reference") << QVector<Row> {} << true << 0 << QCPRange(0, 6);
    QTest::newRow("one row") << QVector<Row> { { "0", "0", "2.500" } } << false << 1 << QCPRange(0, 1);
    QTest::newRow("level never moved")
        << QVector<Row> { { "0", "0", "-3.000" }, { "0", "1", "-3.000" } } << false << 2 << QCPRange(0, 1);
}

void StaircaseGraphTest::degenerateTablesGiveUsableRanges()
{
    QFETCH(QVector<Row>, rows);
    QFETCH(bool, reference);
    QFETCH(int, points);
    QFETCH(QCPRange, keyRange);
    QTableWidget table;
    fillTable(table, rows);
    QCustomPlot plot;
    plot.yAxis->setRange(100, 200); // a stale range from an earlier picture
    StaircaseGraph::draw(
        plot, *table.model(), defaultIds(1), StaircaseGraph::staircaseColors(), { 1, 0, reference, {} });
    QCOMPARE(plot.graph(0)->dataCount(), points);
    QCOMPARE(plot.xAxis->range(), keyRange);
    const QCPRange levels = plot.yAxis->range();
    QVERIFY(levels.size() > 0 && levels.size() < 100);
    for (const Row &row : rows)
        QVERIFY(levels.contains(QString::fromUtf8(row.state).toDouble()));
}

void StaircaseGraphTest::noStaircaseLeavesThePlotEmpty()
{
    QTableWidget table;
    fillTable(table, twoRepetitions);
    QCustomPlot plot;
    plot.addGraph();
    StaircaseGraph::draw(
        plot, *table.model(), defaultIds(2), StaircaseGraph::staircaseColors(), { 0, 6, true, {} });
    QCOMPARE(plot.graphCount(), 0);
    QCOMPARE(plot.plottableCount(), 0);
}

void StaircaseGraphTest::pdfExportCancelledWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QCustomPlot plot;
    plot.addGraph();
    ScriptedDialogs dialogs; // no name queued: the dialog is cancelled
    QVERIFY(!StaircaseGraph::exportPdf(plot, dialogs, nullptr));
    QCOMPARE(dialogs.prompts.size(), 1);
    QCOMPARE(dialogs.prompts[0].caption, QStringLiteral("Output file..."));
    QCOMPARE(dialogs.prompts[0].dir, QDir::currentPath());
    QCOMPARE(dialogs.prompts[0].filter, QStringLiteral(".pdf"));
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(QDir(dir.path()).isEmpty());
}

void StaircaseGraphTest::pdfExportReportsUnwritablePath()
{
    QTemporaryDir dir;
    QCustomPlot plot;
    plot.addGraph();
    ScriptedDialogs dialogs;
    const QString fileName = dir.filePath(QStringLiteral("missing/graph.pdf"));
    dialogs.fileNames.enqueue(fileName);
    QVERIFY(!StaircaseGraph::exportPdf(plot, dialogs, nullptr));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(dialogs.messages[0].text,
        QStringLiteral("The graph could not be written to %1.").arg(QDir::toNativeSeparators(fileName)));
}

QTEST_MAIN(StaircaseGraphTest)
#include "StaircaseGraphTest.moc"
