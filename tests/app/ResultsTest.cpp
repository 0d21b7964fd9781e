// The Analysis tab's pieces: number texts and statistics, the results table
// and its export. Every test runs under a German default locale, which must
// not reach any number text.
#include "PsychometricObserver.h"
#include "QtTestSupport.h"
#include "ResultStats.h"
#include "ResultsExport.h"
#include "ResultsTable.h"

#include <QtTest>
#include <QtWidgets>

namespace
{

const QStringList headers { "ID", "Ntrial", "Steps", "Inversions", "State", "Response" };

// Per-trial arrays kept alive for the TrialColumns that refer to them.
struct Trials {
    QVector<int> ids, ntrial, steps, inversions;
    QVector<double> states;
    QBitArray responses;

    void add(int id, int step, int inversion, double state, bool response)
    {
        ids.append(id);
        ntrial.append(int(ntrial.size()));
        steps.append(step);
        inversions.append(inversion);
        states.append(state);
        responses.resize(responses.size() + 1);
        responses.setBit(responses.size() - 1, response);
    }
    TrialColumns columns() const { return { ids, ntrial, steps, inversions, states, responses }; }
};

} // namespace

class ResultsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void numberTexts();
    void analysisAveragesTheLastReversalsReached();
    void warnsWhenAveragingMoreReversalsThanAPageAllows();
    void tableShowsOneRowPerTrialInTrialOrder();
    void sortsByIdTextLikeTheTablesOwnSort();
    void sizesColumnsForTheirLongestTextAndRowsAlike();
    void exportWritesHeaderThenEveryCellFollowedByATab();
    void exportReportsAFileItCannotWriteByName();
};

void ResultsTest::numberTexts()
{
    const std::pair<QString, QString> cases[]
        = { { stateText(-0.12345), "-0.123" }, { stateText(-4.5), "-4.500" },
              { stateText(1234567.25), "1234567.250" }, { averageText(8.0 / 3.0), "2.666667" },
              { averageText(1234.5), "1234.500000" }, { targetText(0.8413447460685429), "84.1345%" },
              { targetText(0.75), "75%" }, { targetText(1e-9), "1e-07%" } };
    for (const auto &[text, expected] : cases)
        QCOMPARE(text, expected);
}

void ResultsTest::analysisAveragesTheLastReversalsReached()
{
    const QMap<int, QMap<int, double>> reversalLevels {
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

void ResultsTest::tableShowsOneRowPerTrialInTrialOrder()
{
    QTableWidget table;
    Trials earlier;
    for (int k = 0; k < 5; ++k)
        earlier.add(0, k, 0, 1.0, true);
    fillResultsTable(table, headers, earlier.columns(), { { 0, "0" } }, false);

    Trials trials;
    trials.add(0, 0, 0, 0.9, true);
    trials.add(1, 0, 0, -4.5, false);
    trials.add(0, 1, 0, -0.12345, true);
    trials.add(7, 0, 2, 2.0, false); // an id without a page
    fillResultsTable(table, headers, trials.columns(), { { 0, "0" }, { 1, "left" } }, false);
    QStringList shown;
    for (int column = 0; column < table.columnCount(); ++column)
        shown << table.horizontalHeaderItem(column)->text();
    QCOMPARE(shown, headers);
    QCOMPARE(rowTexts(*table.model()),
        QStringList({ "0\t0\t0\t0\t0.900\t1\t", "left\t1\t0\t0\t-4.500\t0\t", "0\t2\t1\t0\t-0.123\t1\t",
            "\t3\t0\t2\t2.000\t0\t" }));
}

void ResultsTest::sortsByIdTextLikeTheTablesOwnSort()
{
    // Texts compare as text ("10" before "2"); equal texts keep trial order, even
    // when two staircases share a text; an id without a page sorts first.
    const QMap<int, QString> idTexts { { 0, "2" }, { 1, "10" }, { 2, "b" }, { 3, "10" } };
    Trials trials;
    const int ids[] = { 0, 1, 2, 3, 9, 2, 1, 0, 3, 0, 9, 1 };
    for (int k = 0; k < int(std::size(ids)); ++k)
        trials.add(ids[k], k, k % 3, k * 0.5, k % 2);

    QTableWidget sorted;
    fillResultsTable(sorted, headers, trials.columns(), idTexts, true);
    QTableWidget reference;
    fillResultsTable(reference, headers, trials.columns(), idTexts, false);
    reference.sortItems(0, Qt::AscendingOrder);
    QCOMPARE(rowTexts(*sorted.model()), rowTexts(*reference.model()));
    QCOMPARE(rowTexts(*sorted.model()).mid(0, 3),
        QStringList({ "\t4\t4\t1\t2.000\t0\t", "\t10\t10\t1\t5.000\t0\t", "10\t1\t1\t1\t0.500\t1\t" }));
}

void ResultsTest::sizesColumnsForTheirLongestTextAndRowsAlike()
{
    // The longest texts sit far beyond the rows Qt samples when it sizes a column.
    Trials trials;
    for (int k = 0; k < 3000; ++k)
        trials.add(0, k < 2999 ? 1 : 123456, 0, k < 2999 ? 0.0 : -12345.678, true);
    QTableWidget table;
    table.resize(400, 300);
    table.show();
    fillResultsTable(table, headers, trials.columns(), { { 0, "0" } }, false);
    QVector<int> widths;
    for (int column = 0; column < 6; ++column)
        widths.append(table.columnWidth(column));

    table.horizontalHeader()->setResizeContentsPrecision(-1); // measure every row
    table.resizeColumnsToContents();
    for (int column = 0; column < 6; ++column)
        QVERIFY2(widths[column] >= table.columnWidth(column), qPrintable(headers[column]));

    const int height = table.rowHeight(0);
    QCOMPARE(table.rowHeight(2999), height);
    table.resizeRowToContents(2999);
    QCOMPARE(table.rowHeight(2999), height);
}

void ResultsTest::exportWritesHeaderThenEveryCellFollowedByATab()
{
    QTableWidget table(4, 6);
    const QStringList cells[] = { { "1", "0", "0", "0", "0.900", "1" },
        { QString::fromUtf8("f\xc3\xa9"
                            "e"),
            QString::fromUtf8("\xce\xb1-\xce\xb2"), QString::fromUtf8("a\xf0\x9f\x98\x80z") },
        { "0", "2", "1", "0", "-0.123" } }; // the last cell has no item
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < cells[row].size(); ++column)
            table.setItem(row, column, new QTableWidgetItem(cells[row][column]));
    QTemporaryDir dir;
    const QString path = dir.filePath("results.csv");
    QVERIFY(writeFile(path, QByteArray(1000, 'x'))); // replaced as a whole
    QCOMPARE(exportResults(*table.model(), path), QString());
    // Latin-1; a character outside it, even one of two UTF-16 units, is one "?".
    QCOMPARE(readFile(path),
        QByteArray("ID\tNtrial\tSteps\tInversions\tState\tResponse\n"
                   "1\t0\t0\t0\t0.900\t1\t\n"
                   "f\xe9"
                   "e\t?-?\ta?z\t\t\t\t\n"
                   "0\t2\t1\t0\t-0.123\t\t\n"
                   "\t\t\t\t\t\t\n"));
}

void ResultsTest::exportReportsAFileItCannotWriteByName()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/results.csv");
    QTableWidget table(0, 6);
    const QString message = exportResults(*table.model(), path);
    QVERIFY2(
        message.startsWith("Could not write the simulation results to " + QDir::toNativeSeparators(path)),
        qPrintable(message));
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(ResultsTest)
#include "ResultsTest.moc"
