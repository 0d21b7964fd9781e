#include "ResultStats.h"
#include "PsychometricObserver.h"

#include <QLocale>
#include <QTest>

using LevelsByInversion = QMap<int, double>;

class ResultStatsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void numberTexts_data();
    void numberTexts();
    void numberTextsIgnoreTheUsersLocale();
    void averageOfLastReversals_data();
    void averageOfLastReversals();
    void analysisLinesPerStaircase();
    void warnsWhenAveragingMoreReversalsThanAPageAllows_data();
    void warnsWhenAveragingMoreReversalsThanAPageAllows();
};

void ResultStatsTest::numberTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("state 2") << stateText(2.0) << "2.000";
    QTest::newRow("state -0.12345") << stateText(-0.12345) << "-0.123";
    QTest::newRow("state -4.5") << stateText(-4.5) << "-4.500";
    QTest::newRow("state 1234567.0005") << stateText(1234567.25) << "1234567.250";
    QTest::newRow("average 1.5") << averageText(1.5) << "1.500000";
    QTest::newRow("average 8/3") << averageText(8.0 / 3.0) << "2.666667";
    QTest::newRow("target 0.8413447") << targetText(0.8413447460685429) << "84.1345%";
    QTest::newRow("target 0.75") << targetText(0.75) << "75%";
    QTest::newRow("target 1e-9") << targetText(1e-9) << "1e-07%";
}

void ResultStatsTest::numberTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void ResultStatsTest::numberTextsIgnoreTheUsersLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(stateText(-1234.5), QString("-1234.500"));
    QCOMPARE(averageText(1234.5), QString("1234.500000"));
    QCOMPARE(targetText(0.123456789), QString("12.3457%"));
}

void ResultStatsTest::averageOfLastReversals_data()
{
    QTest::addColumn<LevelsByInversion>("levels");
    QTest::addColumn<int>("lastCount");
    QTest::addColumn<double>("average");
    const QMap<int, double> three { { 0, 5.0 }, { 1, 3.0 }, { 2, 4.0 } };
    QTest::newRow("last 2 of 3") << three << 2 << 3.5;
    QTest::newRow("last 1 of 3") << three << 1 << 4.0;
    QTest::newRow("all 3") << three << 3 << 4.0;
    // A staircase that stopped on its trial limit with fewer reversals than asked for:
    // the levels it has are averaged, not divided by the count asked for.
    QTest::newRow("3 asked, 2 reached") << QMap<int, double> { { 0, 5.0 }, { 1, 3.0 } } << 3 << 4.0;
    QTest::newRow("negative levels") << QMap<int, double> { { 0, -1.0 }, { 4, -2.0 } } << 5 << -1.5;
    QTest::newRow("no reversal") << QMap<int, double> {} << 2 << 0.0;
}

void ResultStatsTest::averageOfLastReversals()
{
    QFETCH(LevelsByInversion, levels);
    QFETCH(int, lastCount);
    QFETCH(double, average);
    QCOMPARE(::averageOfLastReversals(levels, lastCount), average);
}

void ResultStatsTest::analysisLinesPerStaircase()
{
    const QMap<int, QMap<int, double>> reversalLevels {
        { 0, { { 0, 5.0 }, { 1, 3.0 }, { 2, 4.0 } } }, // last two average to 3.5
        { 1, { { 0, 1.0 } } }, // mean + sigma
        { 2, { { 0, 0.5 }, { 1, 1.5 } } }, // average 1.0
    };
    const PsychometricObserver observer(0.0, 1.0, 0.0, 0.0);
    const AnalysisLines lines = analysisLines(reversalLevels, 2, observer);
    QCOMPARE(lines.averages, QStringList({ "3.500000", "1.000000", "1.000000" }));
    QCOMPARE(lines.targets, QStringList({ "99.9767%", "84.1345%", "84.1345%" }));

    const PsychometricObserver guessing(0.0, 1.0, 0.5, 0.0);
    const AnalysisLines atMean = analysisLines({ { 0, { { 0, 0.0 } } } }, 1, guessing);
    QCOMPARE(atMean.targets, QStringList({ "75%" }));
}

void ResultStatsTest::warnsWhenAveragingMoreReversalsThanAPageAllows_data()
{
    QTest::addColumn<QVector<int>>("maxInversions");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<int>("lowest");
    const QString text = "You can't average on a number of inversion higher than the inversions for the "
                         "staircase(s)\n";
    QTest::newRow("5 over 3, 8, 4") << QVector<int> { 3, 8, 4 } << 5 << text + "0 2" << 3;
    QTest::newRow("4 over 3, 8, 4") << QVector<int> { 3, 8, 4 } << 4 << text + "0" << 3;
    QTest::newRow("equal to the smallest") << QVector<int> { 3, 8, 4 } << 3 << QString() << -1;
    QTest::newRow("one page") << QVector<int> { 4 } << 9 << text + "0" << 4;
}

void ResultStatsTest::warnsWhenAveragingMoreReversalsThanAPageAllows()
{
    QFETCH(QVector<int>, maxInversions);
    QFETCH(int, value);
    QFETCH(QString, warning);
    QFETCH(int, lowest);
    int found = -1;
    QCOMPARE(lastReversalsWarning(maxInversions, value, found), warning);
    QCOMPARE(found, lowest);
}

QTEST_GUILESS_MAIN(ResultStatsTest)
#include "ResultStatsTest.moc"
