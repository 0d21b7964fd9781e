// The Analysis tab's pieces: number texts and statistics, the results table
// and its export. Every test runs under a German default locale, which must
// not reach any number text.
#include "AddressSpaceLimit.h"
#include "AnalysisTexts.h"
#include "ComparisonTable.h"
#include "EngineTestSupport.h"
#include "EstimatesHistogram.h"
#include "FileSizeLimit.h"
#include "PsychometricObserver.h"
#include "QtTestSupport.h"
#include "RandomEngine.h"
#include "RepetitionStatsPanel.h"
#include "ResultsExport.h"
#include "ResultsModel.h"
#include "Run.h"
#include "RunMemory.h"
#include "TrialTable.h"

#include <QtTest>
#include <QtWidgets>
#include <qcustomplot.h>

#include <random>

namespace
{

const QStringList headers { "ID", "Ntrial", "Steps", "Inversions", "State", "Response" };

// A run from a freshly seeded engine: one staircase per ID, each with the
// default page settings, its own start level and a trial limit it always reaches.
std::shared_ptr<const RunResult> freshRun(
    const std::vector<std::string> &ids, int maxTrials, int repetitions, double startLevel = 0.5)
{
    RunRequest request;
    request.observer = { 0.0, 1.0, 0.0, 0.0 };
    for (std::size_t i = 0; i < ids.size(); ++i) {
        StaircaseSettings page;
        page.startLevel = startLevel + double(i);
        page.maxTrials = maxTrials;
        page.maxInversions = maxTrials;
        request.staircases.push_back(page);
    }
    nameStaircases(request.staircases, ids);
    request.repetitions = repetitions;
    RandomEngine engine;
    return std::make_shared<const RunResult>(simulate(request, engine));
}

// The rows of the exported file, each without its line end.
QStringList exportedRows(const RunResult &result, const std::vector<std::uint32_t> *order)
{
    std::string text;
    writeTrialTable(result, order, [&text](const char *data, std::size_t size) {
        text.append(data, size);
        return true;
    });
    QStringList rows = QString::fromLatin1(text.c_str()).split('\n', Qt::SkipEmptyParts);
    rows.removeFirst(); // the header
    return rows;
}

} // namespace

class ResultsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void numberTexts();
    void analysisAveragesTheLastReversalsReached();
    void warnsWhenAveragingMoreReversalsThanAPageAllows();
    void tableShowsOneRowPerTrialAsTheExportWritesIt();
    void sortsByIdTextStably();
    void sizesColumnsForTheirLongestTextAndRowsAlike();
    void exportReplacesAFileWholeOrNotAtAll();
    void comparisonRowsShowEveryValueOrADashAndMarkTheBest();
    void memoryQuestionCountsThePerStepTargetsARunCanReach();
    void comparisonTableMarksTheBestAndCopiesTheSelectionWithItsNames();
    void exactRowsShowTheExactValueAndTheSimulationsDistanceInStandardErrors();
    void comparisonOfFourStaircasesFitsItsMinimumHeightAndCopiesFoldedRowsWhole();
    void histogramOfAllStaircasesOutlinesEachInItsColour();
    void histogramDrawsIntervalsAndTheExactCountsOnTheBarsScale();
    void estimateBinsKeepLatticeValuesCentred();
    void histogramMarksTheTargetAndTheMean();
    void repetitionSummaryIsWrittenWholeWithItsSuffix();
};

void ResultsTest::numberTexts()
{
    const std::pair<QString, QString> cases[] = { { averageText(8.0 / 3.0), "2.666667" },
        { averageText(1234.5), "1234.500000" }, { targetText(0.8413447460685429), "84.1345%" },
        { targetText(0.75), "75%" }, { targetText(1e-9), "1e-07%" } };
    for (const auto &[text, expected] : cases)
        QCOMPARE(text, expected);
}

void ResultsTest::analysisAveragesTheLastReversalsReached()
{
    // Per staircase: its reversal levels, then its last level (counted when it did not end on a reversal).
    const std::vector<std::pair<std::vector<double>, double>> staircases {
        { { 5.0 }, 3.0 }, // 3 asked, 2 reached: divided by the 2 summed, not by 3
        { {}, 1.0 }, // mean + sigma
        { { 0.5, 9.0, 0.5, 1.5 }, 1.0 }, // the last three only
        { { -2.0, 0.0 }, 0.0 }, // ended on its reversal: no third level
    };
    RunRequest request;
    request.observer = { 0.0, 1.0, 0.0, 0.5 }; // the run's own observer gives the targets
    request.staircases.resize(staircases.size());
    RunResult result(request);
    RunRecorder recorder(result);
    for (int s = 0; s < 4; ++s) {
        const auto &[reversals, last] = staircases[std::size_t(s)];
        for (double level : reversals)
            recorder.reversal(s, level);
        recorder.finished(s, 9, last, s == 3, StopReason::maxTrials);
    }
    recorder.endRepetition();
    const AnalysisLines lines = analysisLines(result, 3);
    QCOMPARE(lines.averages, QStringList({ "4.000000", "1.000000", "1.000000", "-1.000000" }));
    QCOMPARE(lines.targets, QStringList({ "99.9984%", "92.0672%", "92.0672%", "57.9328%" }));
}

void ResultsTest::warnsWhenAveragingMoreReversalsThanAPageAllows()
{
    const QString text = "You can't average on a number of inversion higher than the inversions for the "
                         "staircase(s)\n";
    const std::tuple<int, QString, int> cases[]
        = { { 5, text + "0 2", 3 }, { 4, text + "0", 3 }, { 3, QString(), -1 } }; // value, warning, lowest
    RunRequest request;
    request.staircases.resize(3);
    request.staircases[0].maxInversions = 3;
    request.staircases[1].maxInversions = 8;
    request.staircases[2].maxInversions = 4;
    for (const auto &[value, warning, lowest] : cases) {
        int found = -1;
        QCOMPARE(lastReversalsWarning(request, value, found), warning);
        QCOMPARE(found, lowest);
    }
}

void ResultsTest::tableShowsOneRowPerTrialAsTheExportWritesIt()
{
    ResultsModel model(headers);
    QCOMPARE(model.rowCount(), 0);
    const auto run = freshRun({ "0", "left" }, 10, 3);
    model.setResult(run, false);
    QStringList shown;
    for (int column = 0; column < model.columnCount(); ++column)
        shown << model.headerData(column, Qt::Horizontal).toString();
    QCOMPARE(shown, headers);
    QCOMPARE(model.rowCount(), 60);
    QCOMPARE(rowTexts(model), exportedRows(*run, nullptr));
    QCOMPARE(rowTexts(model).first(), QString("0\t0\t0\t0\t0.500\t1\t"));
}

void ResultsTest::sortsByIdTextStably()
{
    // Texts compare as text ("10" before "2"); equal texts keep trial order, even
    // when two staircases share a text.
    const std::vector<std::string> ids { "2", "10", "b", "10" };
    const auto run = freshRun(ids, 5, 2);
    ResultsModel model(headers);
    model.setResult(run, true);
    QVERIFY(model.rowOrder());
    QCOMPARE(rowTexts(model), exportedRows(*run, model.rowOrder()));

    std::vector<std::uint32_t> expected(run->trialCount());
    std::iota(expected.begin(), expected.end(), 0u);
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
        return QString::fromStdString(ids[run->trial(a).staircase])
            < QString::fromStdString(ids[run->trial(b).staircase]);
    });
    QCOMPARE(*model.rowOrder(), expected);
    model.setResult(run, false);
    QVERIFY(!model.rowOrder());

#ifndef QUORVEL_ADDRESS_SANITIZER
    // A row order that does not fit in memory (8 MB) leaves the table as it was.
    const auto large = freshRun({ "a", "b" }, 1000, 1000);
    {
        const AddressSpaceLimit limit(1 << 20);
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, model.setResult(large, true));
    }
    QCOMPARE(model.result(), run);
    QCOMPARE(rowTexts(model), exportedRows(*run, nullptr));
#endif
}

void ResultsTest::sizesColumnsForTheirLongestTextAndRowsAlike()
{
    // Far below the first 100 rows, the last row holds steps and a level wider than their headers.
    RunRequest request;
    request.staircases.resize(1);
    auto run = std::make_shared<RunResult>(request);
    RunRecorder recorder(*run);
    for (std::uint32_t k = 0; k < 300; ++k)
        recorder.record(k + 1 < 300 ? TrialRecord { 0.5, 1, k, 0, 0, true, false }
                                    : TrialRecord { -1e12, 1, 4000000000u, 4000000000u, 0, true, false });
    ResultsModel model(headers);
    model.setResult(run, false);
    QTableView view;
    view.setModel(&model);
    setupResultsView(view);
    view.resize(400, 300);
    view.show();
    fitResultsColumns(view);
    const QFontMetrics metrics(view.font());
    for (int column : { 2, 4 }) {
        const int last = metrics.horizontalAdvance(model.index(299, column).data().toString());
        QVERIFY(last > view.horizontalHeader()->sectionSizeHint(column));
        QVERIFY2(view.columnWidth(column) >= last, qPrintable(headers[column]));
    }
    QCOMPARE(view.rowHeight(299), view.rowHeight(0));
}

void ResultsTest::exportReplacesAFileWholeOrNotAtAll()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("results.tsv");
    QVERIFY(writeFile(path, QByteArray(1000, 'x')));
    QCOMPARE(exportResults(nullptr, nullptr, path), QString());
    QCOMPARE(readFile(path), QByteArray("ID\tNtrial\tSteps\tInversions\tState\tResponse\n"));

    const auto run = freshRun({ "0", "1" }, 100, 50);
    {
        const FileSizeLimit fullDisk(4096);
        const QString message = exportResults(run.get(), nullptr, path);
        QCOMPARE(message,
            "Could not write the simulation results to " + QDir::toNativeSeparators(path)
                + ":\nFile too large");
    }
    QCOMPARE(readFile(path), QByteArray("ID\tNtrial\tSteps\tInversions\tState\tResponse\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "results.tsv" });

    const QString missing = dir.filePath("missing/results.tsv");
    QVERIFY(
        exportResults(run.get(), nullptr, missing)
            .startsWith("Could not write the simulation results to " + QDir::toNativeSeparators(missing)));
    QVERIFY(!QFile::exists(missing));
}

void ResultsTest::comparisonRowsShowEveryValueOrADashAndMarkTheBest()
{
    const QString none = QStringLiteral("\u2014");
    StaircaseSettings oneUpThreeDown;
    oneUpThreeDown.ascending = false;
    oneUpThreeDown.correctAnswers = 3;
    StaircaseTheory computed;
    computed.classic = { 0.25, 0.7937005, 0.28397 };
    computed.perStep = { { 1.0, 0.69336, std::nullopt }, { 0.5, 0.79370, 0.28397 }, { 0.25, 0.87358, 0.7 } };
    computed.positiveStepCount = 5; // two entries beyond reach
    computed.stationary = { StationaryStatus::computed, 0.26912, 0.79104, 0.79263, 0.25, 60 };
    RepetitionStats full;
    full.repetitions = 20000;
    full.fewerReversals = 2;
    full.estimates = { 19998, 0.30126, 0.79552, 0.30004, 0.0021217, -0.25, 0.875, 0.01728, 0.182, 0.30051,
        Interval { 0.297, 0.305 }, Interval { 0.29, 0.31 }, Interval { 0.295, 0.306 } };
    full.trials = TrialsPerRepetition { 134.56, 60, 412 };
    full.stoppedOnReversals = 20000;
    full.sweatFactor = 12.152;
    full.sweatInterval = Interval { 11.5, 12.9 };

    StaircaseSettings twoUpAscending;
    twoUpAscending.correctAnswers = 2;
    StaircaseTheory unreachable;
    unreachable.classic = { 0.5, 0.29289, std::nullopt };
    unreachable.stationary.status = StationaryStatus::clamped;
    RepetitionStats empty;
    empty.fewerReversals = 5;
    empty.stoppedOnClampHits = 5;

    StaircaseTheory noTarget; // a step that is not positive
    noTarget.stationary.status = StationaryStatus::noGrid;
    RepetitionStats single;
    single.estimates = { 1, 1234.5, 1.0, {}, {}, {}, {}, -0.0004, -0.001, 0.0004, {}, {}, {} };
    single.trials = TrialsPerRepetition { 10.0, 10, 10 };
    single.stoppedOnTrials = 1;
    single.sweatFactor = 6.076;

    const std::vector<ComparisonColumn> columns { { comparisonHeader("A", oneUpThreeDown), oneUpThreeDown,
                                                      computed, full, {} },
        { comparisonHeader("B", twoUpAscending), twoUpAscending, unreachable, empty, {} },
        { comparisonHeader("C", StaircaseSettings()), StaircaseSettings(), noTarget, single, {} } };
    QCOMPARE(columns[0].header, QString("A \u00b7 1-up/3-down, desc."));
    QCOMPARE(columns[1].header, QString("B \u00b7 2-up/1-down, asc."));

    // name, the three cells, the best column
    const std::tuple<QString, QStringList, int> expected[] = {
        { "Target \u03c8*", { "79.37%", "29.29%", none }, -1 },
        { "x*", { "0.2840", "unreachable", none }, -1 },
        { "\u03c8* per positive step",
            { "1: 69.34%, 0.5: 79.37%, 0.25: 87.36% \u2026 (entries beyond reach not shown)", none, none },
            -1 },
        { "Long-run mean reversal level",
            { "0.2691", "not computed (clamps on)", "not computed (steps share no grid)" }, -1 },
        { "\u03c8 there", { "79.10%", none, none }, -1 },
        { "Long-run \u03c8 over trials", { "79.26%", none, none }, -1 },
        { "Count", { "19998", "0", "1" }, -1 },
        { "Mean", { "0.3013", none, "1234.5000" }, -1 },
        { "Mean, exact", { none, none, none }, -1 }, // no exact values for this run
        { "Mean, 95 % interval", { "[0.2970, 0.3050]", none, none }, -1 },
        { "\u03c8(mean)", { "79.55%", none, "100.00%" }, -1 },
        { "Bias against x*", { "+0.0173", none, "-0.0004" }, 2 },
        { "Bias against x*, exact", { none, none, none }, -1 },
        { "Bias in \u03c8 (pp)", { "+0.18", none, "0.00" }, -1 },
        { "Bias against long-run level", { "+0.0321", none, none }, -1 },
        { "SD", { "0.3000", none, none }, 0 },
        { "SD, exact", { none, none, none }, -1 },
        { "SD, 95 % interval", { "[0.2900, 0.3100]", none, none }, -1 },
        { "SE", { "0.00212", none, none }, -1 },
        { "2.5 %", { "-0.2500", none, none }, -1 },
        { "97.5 %", { "0.8750", none, none }, -1 },
        { "RMSE", { "0.3005", none, "0.0004" }, 2 },
        { "RMSE, exact", { none, none, none }, -1 },
        { "RMSE, 95 % interval", { "[0.2950, 0.3060]", none, none }, -1 },
        { "Trials, mean", { "134.6", none, "10.0" }, 2 },
        { "Trials, mean, exact", { none, none, none }, -1 },
        { "Trials, min", { "60", none, "10" }, -1 },
        { "Trials, max", { "412", none, "10" }, -1 },
        { "Stopped on reversals", { "20000", "0", "0" }, -1 },
        { "Stopped on reversals, exact", { none, none, none }, -1 },
        { "Stopped on trials", { "0", "0", "1" }, -1 },
        { "Stopped on trials, exact", { none, none, none }, -1 },
        { "Stopped on clamp hits", { "0", "5", "0" }, -1 },
        { "Fewer than 4 reversals", { "2", "5", "0" }, -1 },
        { "Sweat factor", { "12.15", none, "6.076" }, 2 },
        { "Sweat factor, exact", { none, none, none }, -1 },
        { "Sweat factor, 95 % interval", { "[11.5, 12.9]", none, none }, -1 },
        { "Relative sweat factor", { "2.00", none, "1.00" }, 2 },
    };
    const QVector<ComparisonRow> rows = comparisonRows(columns, 4);
    QCOMPARE(rows.size(), int(std::size(expected)));
    QStringList groups;
    for (int r = 0; r < rows.size(); ++r) {
        const auto &[name, cells, best] = expected[r];
        QCOMPARE(rows[r].name, name);
        QCOMPARE(rows[r].cells, cells);
        QCOMPARE(bestColumn(rows[r]), best);
        QVERIFY(!rows[r].toolTip.isEmpty());
        if (groups.isEmpty() || groups.last() != rows[r].group)
            groups << rows[r].group;
    }
    QCOMPARE(groups, QStringList({ "Target", "Estimates", "Cost", "Efficiency" }));
    QCOMPARE(rows[2].cellToolTips[0],
        QString("positive step 1: \u03c8* 69.34%, x* unreachable\npositive step 0.5: \u03c8* 79.37%, x* "
                "0.2840\npositive step 0.25: \u03c8* 87.36%, x* 0.7000\n\u2026 (entries beyond reach not "
                "shown)"));
    // One staircase has nothing to be best against.
    QCOMPARE(bestColumn(comparisonRows({ columns[0] }, 4)[11]), -1);
}

void ResultsTest::memoryQuestionCountsThePerStepTargetsARunCanReach()
{
    RunRequest request;
    request.staircases.resize(1);
    StaircaseSettings &s = request.staircases[0];
    s.maxTrials = 100;
    s.maxInversions = 999999;
    const std::uint64_t budget = 1000000; // far above what 100 trials hold
    QVERIFY(memoryQuestion(request, budget).isEmpty());
    for (int i = 0; i < 80000; ++i)
        s.positiveStepsText += ",0.1";
    QVERIFY(!memoryQuestion(request, budget).isEmpty());
    s.maxInversions = 10; // five entries within reach
    QVERIFY(memoryQuestion(request, budget).isEmpty());

    // One trial a repetition: its outcome, reversal level and estimates weigh more than the trial.
    RunRequest many;
    many.staircases.resize(1);
    many.staircases[0].maxTrials = 1;
    many.repetitions = 100000;
    QVERIFY(!memoryQuestion(many, 2 * 100000 * windowBytesPerTrial).isEmpty());
}

void ResultsTest::comparisonTableMarksTheBestAndCopiesTheSelectionWithItsNames()
{
    StaircaseTheory theory;
    theory.classic = { 0.5, 0.5, 0.0 };
    RepetitionStats a, b;
    a.estimates = estimateStats({ 0.1, 0.3 }, theory, ObserverSettings());
    b.estimates = estimateStats({ -0.05, 0.05 }, theory, ObserverSettings());
    QTableWidget widget;
    ComparisonTable table(widget);
    table.show({ { comparisonHeader("0", StaircaseSettings()), {}, theory, a, {} },
                   { comparisonHeader("1", StaircaseSettings()), {}, theory, b, {} } },
        6);
    int bias = -1, rmse = -1;
    for (int r = 0; r < widget.rowCount(); ++r) {
        const QString name = widget.verticalHeaderItem(r)->text().trimmed();
        bias = name == "Bias against x*" ? r : bias;
        rmse = name == "RMSE" ? r : rmse;
    }
    QVERIFY(bias > 0 && rmse > bias);
    QVERIFY(!widget.item(bias, 0)->font().bold() && widget.item(bias, 1)->font().bold());
    QVERIFY(!widget.item(rmse, 0)->font().bold() && widget.item(rmse, 1)->font().bold());

    widget.setRangeSelected(QTableWidgetSelectionRange(bias, 0, bias, 1), true);
    widget.setRangeSelected(QTableWidgetSelectionRange(rmse, 1, rmse, 1), true);
    widget.show();
    widget.activateWindow();
    widget.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&widget));
    QTest::keySequence(&widget, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(),
        QString("\t0 \u00b7 1-up/1-down, asc.\t1 \u00b7 1-up/1-down, asc.\n"
                "Bias against x*\t+0.2000\t0.0000\n"
                "RMSE\t\t0.0500\n"));
}

void ResultsTest::exactRowsShowTheExactValueAndTheSimulationsDistanceInStandardErrors()
{
    const QString none = QStringLiteral("\u2014");
    StaircaseTheory theory;
    theory.classic = { 0.5, 0.5, 0.5 };
    RepetitionStats stats;
    stats.repetitions = 100;
    stats.estimates.count = 100;
    stats.estimates.mean = 0.54;
    stats.estimates.sd = 0.5; // no bootstrap interval: SE 0.5 / √198
    stats.estimates.standardError = 0.05;
    stats.estimates.bias = 0.04;
    stats.estimates.rmse = 0.5016;
    stats.estimates.rmseInterval = Interval { 0.45, 0.45 + 2 * 1.959964 * 0.1 }; // SE 0.1
    stats.trials = TrialsPerRepetition { 50.0, 20, 90 };
    stats.stoppedOnReversals = 80;
    stats.stoppedOnTrials = 20;
    stats.sweatFactor = 12.0; // no interval: no distance

    ExactRun exact;
    exact.status = ExactStatus::computed;
    exact.pStopReversals = 0.84; // SE √(0.84 × 0.16 / 100) = 0.0367
    exact.pStopTrials = 0.16;
    exact.meanTrials = 48.0;
    exact.sdTrials = 10.0; // SE 1
    exact.estimates.resize(4);
    ExactEstimate &four = exact.estimates[3];
    four.lastReversals = 4;
    four.pEstimate = 1.0;
    four.mean = 0.5;
    four.bias = 0.01;
    four.sd = 0.45;
    four.rmse = 0.45;
    four.sweatFactor = 9.72;
    ExactRun clamped;
    clamped.status = ExactStatus::clamped;

    const std::vector<ComparisonColumn> columns { { "A", {}, theory, stats, {}, &exact, true },
        { "B", {}, theory, stats, {}, &clamped, true }, { "C", {}, theory, stats, {}, &exact, false } };
    const std::pair<QString, QStringList> expected[] = {
        { "Mean, exact", { "0.5000 (sim. +0.8 SE)", "Not computed: the clamps are on", none } },
        { "Bias against x*, exact", { "+0.0100 (sim. +0.6 SE)", "", none } },
        { "SD, exact", { "0.4500 (sim. +1.4 SE)", "", none } },
        { "RMSE, exact", { "0.4500 (sim. +0.5 SE)", "", none } },
        { "Trials, mean, exact", { "48.0 (sim. +2.0 SE)", "", none } },
        { "Stopped on reversals, exact", { "84.00% (sim. -1.1 SE)", "", none } },
        { "Stopped on trials, exact", { "16.00% (sim. +1.1 SE)", "", none } },
        { "Sweat factor, exact", { "9.72", "", none } },
    };
    const QVector<ComparisonRow> rows = comparisonRows(columns, 4);
    int found = 0;
    for (int r = 0; r < rows.size(); ++r) {
        if (!rows[r].name.endsWith(", exact"))
            continue;
        QVERIFY(found < int(std::size(expected)));
        const auto &[name, cells] = expected[found++];
        QCOMPARE(rows[r].name, name);
        // Right after the simulated value it is compared with.
        QCOMPARE(rows[r - 1].name + ", exact", name);
        QCOMPARE(rows[r].cells, cells);
        QVERIFY(rows[r].toolTip.contains("Markov chain"));
    }
    QCOMPARE(found, int(std::size(expected)));

    // K beyond the exact values computed: the estimate's rows have none, the cost's still do.
    for (const ComparisonRow &row : comparisonRows({ columns[0] }, 5)) {
        if (row.name == "Mean, exact")
            QCOMPARE(row.cells, QStringList { none });
        if (row.name == "Trials, mean, exact")
            QCOMPARE(row.cells, QStringList { "48.0 (sim. +2.0 SE)" });
    }
}

void ResultsTest::comparisonOfFourStaircasesFitsItsMinimumHeightAndCopiesFoldedRowsWhole()
{
    StaircaseTheory theory;
    theory.classic = { 0.5, 0.7937, 0.28397 };
    theory.stationary = { StationaryStatus::computed, 0.26912, 0.79104, 0.79263, 0.25, 60 };
    RepetitionStats stats;
    stats.repetitions = 20000;
    stats.estimates = { 19998, -12.30126, 0.79552, 0.30004, 0.0021217, -0.25, 0.875, 0.01728, 0.182, 0.30051,
        Interval { -12.305, -12.297 }, Interval { 0.29, 0.31 }, Interval { 0.295, 0.306 } };
    stats.trials = TrialsPerRepetition { 134.56, 60, 412 };
    stats.sweatFactor = 12.152;
    stats.sweatInterval = Interval { 11.5, 12.9 };
    StaircaseSettings staircase;
    staircase.correctAnswers = 3;
    std::vector<ComparisonColumn> columns;
    for (int c = 0; c < 4; ++c)
        columns.push_back({ comparisonHeader(QString::number(c), staircase), staircase, theory, stats, {} });

    // The table of the Analysis tab, in the window's narrowest width: every measure of four
    // staircases in view, without scrolling either way.
    QTableWidget widget;
    QFont small = widget.font();
    small.setPointSize(9);
    widget.setFont(small);
    ComparisonTable table(widget);
    table.show(columns, 6);
    widget.resize(780, widget.minimumHeight());
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QCOMPARE(widget.verticalScrollBar()->maximum(), 0);
    QCOMPARE(widget.horizontalScrollBar()->maximum(), 0);

    const auto line = [&widget](const QString &name) {
        for (int r = 0; r < widget.rowCount(); ++r)
            if (widget.verticalHeaderItem(r)->text().trimmed() == name)
                return r;
        return -1;
    };
    const int sd = line("SD");
    QVERIFY(sd > 0);
    widget.setRangeSelected(QTableWidgetSelectionRange(sd, 1, sd, 2), true);
    // The interval shown under the SD and its exact value (none for this run) copy as rows of their own.
    QCOMPARE(table.selectionText(),
        QString("\t1 \u00b7 3-up/1-down, asc.\t2 \u00b7 3-up/1-down, asc.\n"
                "SD\t0.3000\t0.3000\n"
                "SD, 95 % interval\t[0.2900, 0.3100]\t[0.2900, 0.3100]\n"));
    table.setExactRows(true);
    QCOMPARE(line("SD, exact"), line("SD") + 1);
}

void ResultsTest::histogramOfAllStaircasesOutlinesEachInItsColour()
{
    QCustomPlot plot;
    EstimatesHistogram::drawAll(plot,
        { { "Staircase 0", { 0.0, 0.25, 0.25 }, 0.3, Qt::red },
            { "Staircase 1", { 0.5 }, std::nullopt, Qt::blue } },
        "All staircases");
    QCOMPARE(plot.graphCount(), 3); // two outlines, one x*
    for (int g = 0; g < 2; ++g) {
        QCOMPARE(plot.graph(g)->lineStyle(), QCPGraph::lsStepLeft);
        double total = 0.0;
        for (auto it = plot.graph(g)->data()->constBegin(); it != plot.graph(g)->data()->constEnd(); ++it)
            total += it->value;
        QCOMPARE(total, g == 0 ? 3.0 : 1.0);
    }
    // Both on the same bins: the same edges.
    QCOMPARE(plot.graph(0)->data()->constBegin()->key, plot.graph(1)->data()->constBegin()->key);
    QCOMPARE(plot.graph(0)->pen().color(), QColor(Qt::red));
    QCOMPARE(plot.graph(1)->pen().color(), QColor(Qt::blue));
    QCOMPARE(plot.graph(2)->pen().color(), QColor(Qt::red));
    QCOMPARE(plot.graph(2)->pen().style(), Qt::DashLine);
    QCOMPARE(plot.graph(2)->data()->constBegin()->key, 0.3);
    QCOMPARE(plot.legend->itemCount(), 2);
}

void ResultsTest::histogramDrawsIntervalsAndTheExactCountsOnTheBarsScale()
{
    // Trials of 8 repetitions, and an exact distribution over 9 … 13 trials, partly beyond them.
    const std::vector<double> trials { 10, 10, 11, 11, 11, 12, 12, 10 };
    const EstimatesHistogram::WholeDistribution exact { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.125, 0.25, 0.375, 0.125,
        0.125 };
    QCustomPlot plot;
    EstimatesHistogram::draw(plot, trials, std::nullopt, 10.875, "Trials", std::nullopt, std::nullopt, exact);
    const QCPGraph *line = plot.graph(plot.graphCount() - 1);
    QCOMPARE(line->name(), QString("Exact distribution"));
    double expected = 0.0;
    for (auto it = line->data()->constBegin(); it != line->data()->constEnd(); ++it) {
        expected += it->value;
        if (it->key == 11.0)
            QCOMPARE(it->value, 0.375 * 8);
    }
    QCOMPARE(expected, 8.0);

    EstimatesHistogram::drawAll(plot,
        { { "Staircase 0", { 0.0, 0.25, 0.25 }, 0.3, Qt::red, 0.2, Interval { 0.1, 0.3 } },
            { "Staircase 1", { 0.5 }, std::nullopt, Qt::blue } },
        "All staircases");
    const auto *bar = qobject_cast<QCPErrorBars *>(plot.plottable(plot.plottableCount() - 1));
    QVERIFY(bar);
    QCOMPARE(bar->pen().color(), QColor(Qt::red));
    QCOMPARE(bar->dataPlottable()->interface1D()->dataMainKey(0), 0.2);
    QCOMPARE(bar->data()->at(0).errorMinus, 0.2 - 0.1);
    QCOMPARE(bar->data()->at(0).errorPlus, 0.3 - 0.2);
    // Above its own outline (two estimates in the highest bin), below the top.
    const double height = bar->dataPlottable()->interface1D()->dataMainValue(0);
    QVERIFY(height > 2.0 && height < plot.yAxis->range().upper);
}

void ResultsTest::estimateBinsKeepLatticeValuesCentred()
{
    // Means of 6 levels on a 0.25 grid lie on a grid of 1/24: every bin holds the same number of
    // grid values, none is empty for falling between them.
    std::vector<double> lattice;
    for (int k = 0; k < 12; ++k)
        lattice.push_back(k * 0.25 / 6);
    EstimatesHistogram::Bins bins = EstimatesHistogram::binsFor(lattice);
    QCOMPARE(bins.width, 2.0 / 24);
    QCOMPARE(bins.origin, -1.0 / 48);
    QCOMPARE(bins.counts, QVector<double>(6, 2.0));

    bins = EstimatesHistogram::binsFor({ 0.5, 0.5, 0.5 });
    QCOMPARE(bins.counts, QVector<double>({ 3 }));
    QCOMPARE(bins.center(0), 0.5);

    std::mt19937 random(1);
    std::normal_distribution<double> normal;
    std::vector<double> spread(20000);
    for (double &v : spread)
        v = normal(random);
    spread.push_back(1e6); // one far outlier must not make thousands of bins
    bins = EstimatesHistogram::binsFor(spread);
    QVERIFY(bins.counts.size() <= EstimatesHistogram::maxBins + 1);
    QCOMPARE(std::accumulate(bins.counts.cbegin(), bins.counts.cend(), 0.0), double(spread.size()));
    QVERIFY(EstimatesHistogram::binsFor({}).counts.isEmpty());
}

void ResultsTest::histogramMarksTheTargetAndTheMean()
{
    QCustomPlot plot;
    EstimatesHistogram::draw(plot, { 0.0, 0.25, 0.25, 0.5 }, 0.3, 0.25, "Staircase 0");
    QCOMPARE(plot.plottableCount(), 3);
    const auto *bars = qobject_cast<QCPBars *>(plot.plottable(0));
    QVERIFY(bars);
    double total = 0.0;
    for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
        total += it->value;
    QCOMPARE(total, 4.0);
    const std::pair<QString, double> lines[] = { { "Target x* 0.3000", 0.3 }, { "Mean 0.2500", 0.25 } };
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(plot.graph(i)->name(), lines[i].first);
        QCOMPARE(plot.graph(i)->data()->constBegin()->key, lines[i].second);
        QCOMPARE((plot.graph(i)->data()->constEnd() - 1)->key, lines[i].second);
    }
    QVERIFY(plot.xAxis->range().contains(0.3) && plot.xAxis->range().contains(0.0));

    EstimatesHistogram::draw(plot, { 1.0, 2.0 }, std::nullopt, 1.5, "Staircase 1", Interval { 1.2, 1.9 });
    QCOMPARE(plot.graphCount(), 2); // an unreachable target has no line; the mean has its interval
    const auto *bar = qobject_cast<QCPErrorBars *>(plot.plottable(plot.plottableCount() - 1));
    QVERIFY(bar);
    QCOMPARE(bar->dataPlottable()->interface1D()->dataMainKey(0), 1.5);
    QCOMPARE(bar->data()->at(0).errorMinus, 1.5 - 1.2);
    QCOMPARE(bar->data()->at(0).errorPlus, 1.9 - 1.5);

    EstimatesHistogram::draw(plot, { 1.0, 2.0 }, std::nullopt, 1.5, "Staircase 1", std::nullopt, 3.0);
    QCOMPARE(plot.graph(1)->name(), QString("Exact mean 3.0000"));
    QVERIFY(plot.xAxis->range().contains(3.0));
}

void ResultsTest::repetitionSummaryIsWrittenWholeWithItsSuffix()
{
    QTemporaryDir dir;
    const auto run = freshRun({ "0", "1" }, 50, 400);
    QCOMPARE(exportRepetitionSummary(*run, EstimatorSettings { 3, 3 }, dir.filePath("summary")), QString());
    const QStringList lines = QString::fromLatin1(readFile(dir.filePath("summary.tsv"))).split('\n');
    QCOMPARE(lines.first(),
        QString("repetition\tstaircase\tID\testimate\treversals\ttrials\tstop\testimate_trials\testimate_"
                "cir\testimate_ml"));
    QCOMPARE(lines.size(), 1 + 800 + 1); // the header, a row per repetition and staircase, the last line end
    QCOMPARE(exportRepetitionSummary(*run, EstimatorSettings { 3, 3 }, dir.filePath("summary.txt")),
        QString()); // a suffix stays
    QVERIFY(QFile::exists(dir.filePath("summary.txt")));

    const QByteArray before = readFile(dir.filePath("summary.tsv"));
    {
        const FileSizeLimit fullDisk(4096);
        QCOMPARE(exportRepetitionSummary(*run, EstimatorSettings { 3, 3 }, dir.filePath("summary")),
            "Could not write the repetition summary to "
                + QDir::toNativeSeparators(dir.filePath("summary.tsv")) + ":\nFile too large");
    }
    QCOMPARE(readFile(dir.filePath("summary.tsv")), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({ "summary.tsv", "summary.txt" }));
}

QTEST_MAIN(ResultsTest)
#include "ResultsTest.moc"
