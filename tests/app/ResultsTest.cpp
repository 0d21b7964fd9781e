// The Analysis tab's pieces: number texts and statistics, the results table
// and its export. Every test runs under a German default locale, which must
// not reach any number text.
#include "EngineTestSupport.h"
#include "EstimatesHistogram.h"
#include "FileSizeLimit.h"
#include "PsychometricObserver.h"
#include "QtTestSupport.h"
#include "RandomEngine.h"
#include "RepetitionStatsPanel.h"
#include "ResultStats.h"
#include "ResultsExport.h"
#include "ResultsModel.h"
#include "Run.h"
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
    void repetitionStatsRowsShowEveryValueOrADash();
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
}

void ResultsTest::sizesColumnsForTheirLongestTextAndRowsAlike()
{
    // Far below the first 100 rows, the last row holds steps and a level wider than their headers.
    RunRequest request;
    request.staircases.resize(1);
    auto run = std::make_shared<RunResult>(request);
    RunRecorder recorder(*run);
    for (std::uint32_t k = 0; k < 300; ++k)
        recorder.record(k + 1 < 300 ? TrialRecord { 0.5, 0, k, 0, 0, true }
                                    : TrialRecord { -1e12, 0, 4000000000u, 4000000000u, 0, true });
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

void ResultsTest::repetitionStatsRowsShowEveryValueOrADash()
{
    const QString none = QStringLiteral("\u2014");
    StaircaseSettings oneUpThreeDown;
    oneUpThreeDown.ascending = false;
    oneUpThreeDown.correctAnswers = 3;
    StaircaseTheory computed;
    computed.classic = { 0.25, 0.7937005, 0.28397 };
    computed.perStep = { { 1.0, 0.69336, std::nullopt }, { 0.5, 0.79370, 0.28397 }, { 0.25, 0.87358, 0.7 } };
    computed.stationary = { StationaryStatus::computed, 0.26912, 0.79104, 0.79263, 0.25, 60 };
    RepetitionStats full;
    full.repetitions = 20000;
    full.fewerReversals = 2;
    full.estimates
        = { 19998, 0.30126, 0.79552, 0.30004, 0.0021217, -0.25, 0.875, 0.01728, 0.182, 0.30051, {}, {}, {} };
    full.trials = TrialsPerRepetition { 134.56, 60, 412 };
    full.stoppedOnReversals = 20000;

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

    const std::tuple<QString, StaircaseSettings, StaircaseTheory, RepetitionStats, QStringList> rows[] = {
        { "A", oneUpThreeDown, computed, full,
            { "A", "1-up/3-down, descending", "79.37%", "0.2840", "1: 69.34%, 0.5: 79.37%, 0.25: 87.36%",
                "0.2691", "79.10%", "79.26%", "19998", "0.3013", "79.55%", "+0.0173", "+0.18", "0.3000",
                "0.00212", "-0.2500", "0.8750", "0.3005", "134.6", "60", "412", "20000", "0", "0", "2" } },
        { "B", twoUpAscending, unreachable, empty,
            { "B", "2-up/1-down, ascending", "29.29%", "unreachable", none, "not computed (clamps on)", none,
                none, "0", none, none, none, none, none, none, none, none, none, none, none, none, "0", "0",
                "5", "5" } },
        { "C", StaircaseSettings(), noTarget, single,
            { "C", "1-up/1-down, ascending", none, none, none, "not computed (steps share no grid)", none,
                none, "1", "1234.5000", "100.00%", "-0.0004", "0.00", none, none, none, none, "0.0004", none,
                none, none, "0", "0", "0", "0" } },
    };
    for (const auto &[id, staircase, theory, stats, expected] : rows)
        QCOMPARE(repetitionStatsRow(id, staircase, theory, stats), expected);
    QCOMPARE(repetitionStatsHeaders(4).size(), std::get<4>(rows[0]).size());
    QCOMPARE(repetitionStatsHeaders(4).last(), QString("Fewer than 4 reversals"));
    QCOMPARE(perStepTargetsToolTip(computed),
        QString("positive step 1: \u03c8* 69.34%, x* unreachable\npositive step 0.5: \u03c8* 79.37%, x* "
                "0.2840\npositive step 0.25: \u03c8* 87.36%, x* 0.7000"));
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

    EstimatesHistogram::draw(plot, { 1.0, 2.0 }, std::nullopt, 1.5, "Staircase 1");
    QCOMPARE(plot.graphCount(), 1); // an unreachable target has no line
}

void ResultsTest::repetitionSummaryIsWrittenWholeWithItsSuffix()
{
    QTemporaryDir dir;
    const auto run = freshRun({ "0", "1" }, 50, 400);
    QCOMPARE(exportRepetitionSummary(*run, 3, dir.filePath("summary")), QString());
    const QStringList lines = QString::fromLatin1(readFile(dir.filePath("summary.tsv"))).split('\n');
    QCOMPARE(lines.first(), QString("repetition\tstaircase\tID\testimate\treversals\ttrials\tstop"));
    QCOMPARE(lines.size(), 1 + 800 + 1); // the header, a row per repetition and staircase, the last line end
    QCOMPARE(exportRepetitionSummary(*run, 3, dir.filePath("summary.txt")), QString()); // a suffix stays
    QVERIFY(QFile::exists(dir.filePath("summary.txt")));

    const QByteArray before = readFile(dir.filePath("summary.tsv"));
    {
        const FileSizeLimit fullDisk(4096);
        QCOMPARE(exportRepetitionSummary(*run, 3, dir.filePath("summary")),
            "Could not write the repetition summary to "
                + QDir::toNativeSeparators(dir.filePath("summary.tsv")) + ":\nFile too large");
    }
    QCOMPARE(readFile(dir.filePath("summary.tsv")), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({ "summary.tsv", "summary.txt" }));
}

QTEST_MAIN(ResultsTest)
#include "ResultsTest.moc"
