#include "ResultsTable.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTest>

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

QStringList rowTexts(const QTableWidget &table, int row)
{
    QStringList texts;
    for (int column = 0; column < table.columnCount(); ++column)
        texts.append(table.model()->data(table.model()->index(row, column)).toString());
    return texts;
}

QList<QStringList> allTexts(const QTableWidget &table)
{
    QList<QStringList> rows;
    for (int row = 0; row < table.rowCount(); ++row)
        rows.append(rowTexts(table, row));
    return rows;
}

} // namespace

class ResultsTableTest : public QObject
{
    Q_OBJECT

private slots:
    void showsOneRowPerTrialInTrialOrder();
    void sortsByIdTextLikeTheTablesOwnSort();
    void replacesThePreviousContent();
    void sizesColumnsForTheirLongestTextAndRowsAlike();
};

void ResultsTableTest::showsOneRowPerTrialInTrialOrder()
{
    Trials trials;
    trials.add(0, 0, 0, 0.9, true);
    trials.add(1, 0, 0, -4.5, false);
    trials.add(0, 1, 0, -0.12345, true);
    trials.add(7, 0, 2, 2.0, false); // an id without a page
    QTableWidget table;
    fillResultsTable(table, headers, trials.columns(), { { 0, "0" }, { 1, "left" } }, false);

    QCOMPARE(table.columnCount(), 6);
    for (int column = 0; column < 6; ++column)
        QCOMPARE(table.horizontalHeaderItem(column)->text(), headers[column]);
    const QList<QStringList> expected {
        { "0", "0", "0", "0", "0.900", "1" },
        { "left", "1", "0", "0", "-4.500", "0" },
        { "0", "2", "1", "0", "-0.123", "1" },
        { "", "3", "0", "2", "2.000", "0" },
    };
    QCOMPARE(allTexts(table), expected);
}

void ResultsTableTest::sortsByIdTextLikeTheTablesOwnSort()
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

    QCOMPARE(allTexts(sorted), allTexts(reference));
    QCOMPARE(rowTexts(sorted, 0)[1], QString("4")); // the first row without a page
    QCOMPARE(rowTexts(sorted, 2)[0], QString("10"));
}

void ResultsTableTest::replacesThePreviousContent()
{
    Trials many;
    for (int k = 0; k < 5; ++k)
        many.add(0, k, 0, 1.0, true);
    Trials none;
    QTableWidget table;
    fillResultsTable(table, headers, many.columns(), { { 0, "0" } }, false);
    fillResultsTable(table, headers, none.columns(), { { 0, "0" } }, true);
    QCOMPARE(table.rowCount(), 0);
    QCOMPARE(table.columnCount(), 6);
    QCOMPARE(table.horizontalHeaderItem(5)->text(), QString("Response"));
}

void ResultsTableTest::sizesColumnsForTheirLongestTextAndRowsAlike()
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
    QVERIFY(height > 0);
    QCOMPARE(table.rowHeight(2999), height);
    table.resizeRowToContents(2999);
    QCOMPARE(table.rowHeight(2999), height);
}

QTEST_MAIN(ResultsTableTest)
#include "ResultsTableTest.moc"
