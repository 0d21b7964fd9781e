// The Analysis tab's pieces: number texts and statistics, the results table
// and its export. Every test runs under a German default locale, which must
// not reach any number text.
#include "FileSizeLimit.h"
#include "PsychometricObserver.h"
#include "QtTestSupport.h"
#include "RandomEngine.h"
#include "ResultStats.h"
#include "ResultsExport.h"
#include "ResultsModel.h"
#include "Run.h"
#include "TrialTable.h"

#include <QtTest>
#include <QtWidgets>

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
    request.staircaseIds = ids;
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
    const std::map<int, std::map<int, double>> reversalLevels {
        { 0, { { 0, 5.0 }, { 1, 3.0 } } }, // 3 asked, 2 reached: divided by the 2 summed, not by 3
        { 1, { { 0, 1.0 } } }, // mean + sigma
        { 2, { { 0, 0.5 }, { 1, 9.0 }, { 2, 0.5 }, { 3, 1.5 }, { 4, 1.0 } } }, // the last three only
        { 3, {} }, // no reversal: 0
    };
    const AnalysisLines lines = analysisLines(reversalLevels, 3, PsychometricObserver(0.0, 1.0, 0.0, 0.0));
    QCOMPARE(lines.averages, QStringList({ "4.000000", "1.000000", "1.000000", "0.000000" }));
    QCOMPARE(lines.targets, QStringList({ "99.9968%", "84.1345%", "84.1345%", "50%" }));
    QCOMPARE(analysisLines({ { 0, { { 0, 0.0 } } } }, 1, PsychometricObserver(0.0, 1.0, 0.5, 0.0)).targets,
        QStringList({ "75%" }));
}

void ResultsTest::warnsWhenAveragingMoreReversalsThanAPageAllows()
{
    const QString text = "You can't average on a number of inversion higher than the inversions for the "
                         "staircase(s)\n";
    const std::tuple<int, QString, int> cases[]
        = { { 5, text + "0 2", 3 }, { 4, text + "0", 3 }, { 3, QString(), -1 } }; // value, warning, lowest
    for (const auto &[value, warning, lowest] : cases) {
        int found = -1;
        QCOMPARE(lastReversalsWarning({ 3, 8, 4 }, value, found), warning);
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
    // The longest trial numbers and levels sit in the last rows, far from the first ones.
    const auto run = freshRun({ "0" }, 3000, 4, -12345.678);
    ResultsModel model(headers);
    model.setResult(run, false);
    QTableView view;
    view.setModel(&model);
    setupResultsView(view);
    view.resize(400, 300);
    view.show();
    fitResultsColumns(view);
    const QFontMetrics metrics(view.font());
    for (int column = 0; column < 6; ++column)
        for (int row : { model.rowCount() - 1, 0 })
            QVERIFY2(view.columnWidth(column)
                    >= metrics.horizontalAdvance(model.index(row, column).data().toString()),
                qPrintable(headers[column]));
    QCOMPARE(view.rowHeight(model.rowCount() - 1), view.rowHeight(0));
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

QTEST_MAIN(ResultsTest)
#include "ResultsTest.moc"
