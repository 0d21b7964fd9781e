#include "StaircasePages.h"
#include "StaircaseParamSetter.h"

#include <QTest>

class StaircasePagesTest : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryFieldOfAPage();
    void namesWhatKeepsAStaircaseFromRunning_data();
    void namesWhatKeepsAStaircaseFromRunning();
    void runProblemNamesTheFirstFaultyStaircase();
};

void StaircasePagesTest::readsEveryFieldOfAPage()
{
    StaircaseParamSetter page;
    page.setAscending(false);
    page.setStartLevel(2.5);
    page.setCorrectAnswers(3);
    page.setMaxInversions(6);
    page.setMaxTrials(40);
    page.setNegativeStep(0.25);
    page.setPositiveStepsText(" 1,0.5,\n");
    page.setClampActive(true);
    page.setLowerClamp(-2);
    page.setUpperClamp(7);
    page.setMaxClampHits(2);

    const StaircaseSettings settings = readStaircasePage(page);
    QCOMPARE(settings.ascending, false);
    QCOMPARE(settings.startLevel, 2.5);
    QCOMPARE(settings.correctAnswers, 3);
    QCOMPARE(settings.maxInversions, 6);
    QCOMPARE(settings.maxTrials, 40);
    QCOMPARE(settings.negativeStep, 0.25);
    QCOMPARE(settings.positiveStepsText, std::string(" 1,0.5,\n"));
    QCOMPARE(settings.clampActive, true);
    QCOMPARE(settings.lowerClamp, -2.0);
    QCOMPARE(settings.upperClamp, 7.0);
    QCOMPARE(settings.maxClampHits, 2);
    QCOMPARE(staircaseProblem(settings, "Staircase 3"), QString());
}

void StaircasePagesTest::namesWhatKeepsAStaircaseFromRunning_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("clampActive");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<QString>("problem");
    const QString example = " Enter one step size per reversal, separated by commas, e.g. 1,0.5,0.2";
    const QString none = "Staircase 1: no positive step size is given." + example;
    QTest::newRow("valid") << "1,0.5" << false << 0.0 << 0.0 << QString();
    QTest::newRow("empty") << "" << false << 0.0 << 0.0 << none;
    QTest::newRow("blanks") << " \n\t" << false << 0.0 << 0.0 << none;
    QTest::newRow("commas only") << ",, ," << false << 0.0 << 0.0
                                 << "Staircase 1: the positive step size \" \" is not a number." + example;
    QTest::newRow("blank after comma")
        << "1, 0.5" << false << 0.0 << 0.0
        << "Staircase 1: the positive step size \" 0.5\" is not a number." + example;
    QTest::newRow("semicolon") << "1;0.5" << false << 0.0 << 0.0
                               << "Staircase 1: the positive step size \"1;0.5\" is not a number." + example;
    QTest::newRow("nan") << "1,nan" << false << 0.0 << 0.0
                         << "Staircase 1: the positive step size \"nan\" is not a number." + example;
    QTest::newRow("clamps equal") << "1" << true << 5.0 << 5.0
                                  << "Staircase 1: the lower clamp (5) must be below the upper clamp (5).";
    QTest::newRow("clamps reversed")
        << "1" << true << 2.5 << -1.0
        << "Staircase 1: the lower clamp (2.5) must be below the upper clamp (-1).";
    QTest::newRow("reversed but inactive") << "1" << false << 2.5 << -1.0 << QString();
}

void StaircasePagesTest::namesWhatKeepsAStaircaseFromRunning()
{
    QFETCH(QString, steps);
    QFETCH(bool, clampActive);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(QString, problem);
    StaircaseParamSetter page;
    page.setPositiveStepsText(steps.toStdString());
    page.setClampActive(clampActive);
    page.setLowerClamp(lower);
    page.setUpperClamp(upper);
    QCOMPARE(staircaseProblem(readStaircasePage(page), "Staircase 1"), problem);
}

void StaircasePagesTest::runProblemNamesTheFirstFaultyStaircase()
{
    StaircaseSettings good;
    good.positiveStepsText = "0.2";
    StaircaseSettings bad = good;
    bad.clampActive = true;
    bad.lowerClamp = bad.upperClamp = 1.0;
    StaircaseSettings worse = good;
    worse.positiveStepsText = "";

    QCOMPARE(runProblem({ good, good }), QString());
    QCOMPARE(runProblem({ good, bad, worse }),
        QString("Staircase 1: the lower clamp (1) must be below the upper clamp (1).\n"
                "The simulation was not started."));
}

QTEST_MAIN(StaircasePagesTest)
#include "StaircasePagesTest.moc"
