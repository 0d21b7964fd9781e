#include "Simulation.h"
#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"

#include <QTest>

#include <map>

namespace
{

// A page's defaults: ascending, correct answers 1, max reversals 4, max trials
// 100, negative step 0.5, positive steps 0.2, no clamp.
StaircaseSettings page(double startLevel = -5.0, int maxTrials = 100, int maxInversions = 4)
{
    StaircaseSettings settings;
    settings.ascending = true;
    settings.startLevel = startLevel;
    settings.correctAnswers = 1;
    settings.maxInversions = maxInversions;
    settings.maxTrials = maxTrials;
    settings.negativeStep = 0.5;
    settings.positiveStepsText = "0.2";
    return settings;
}

// A run with its own freshly seeded engine, as right after program start.
struct Run {
    RandomEngine engine;
    ParStaircase parStaircase { engine };
    QVector<int> vIds, vNtrial, vSteps, vInversions;
    QVector<double> vStates;
    QBitArray vResponses;
    QMap<int, QMap<int, double>> reversalLevels;
    RunRecords records { vIds, vNtrial, vSteps, vInversions, vStates, vResponses, reversalLevels };
    QVector<int> repetitionStarts;

    Run(const std::vector<StaircaseSettings> &pages, int repetitions,
        const PsychometricObserver &observer = PsychometricObserver(0.0, 1.0, 0.0, 0.0))
    {
        int trialNumber = 0;
        for (int r = 0; r < repetitions; ++r) {
            repetitionStarts.append(trialNumber);
            configureParStaircase(parStaircase, pages);
            trialNumber = runRepetition(parStaircase, observer, engine, records, trialNumber);
        }
        repetitionStarts.append(trialNumber);
    }

    QVector<bool> responses() const
    {
        QVector<bool> answers;
        for (int k = 0; k < vResponses.size(); ++k)
            answers.append(vResponses.testBit(k));
        return answers;
    }
};

} // namespace

class SimulationTest : public QObject
{
    Q_OBJECT

private slots:
    void firstTrialAfterStartUp_data();
    void firstTrialAfterStartUp();
    void threePagesOfOneTrialEach();
    void recordsAreParallelAndNumberedAcrossRepetitions();
    void recordsShowTheStaircaseBeforeTheAnswer();
    void reversalLevelsKeepTheLatestLevelPerCount();
    void clampsReachOnlyTheirStaircase();
};

void SimulationTest::firstTrialAfterStartUp_data()
{
    QTest::addColumn<double>("startLevel");
    QTest::addColumn<bool>("answer");
    // One staircase: the pick draws nothing, u = 0.8147236919030547.
    QTest::newRow("0.9, psi 0.81594") << 0.9 << true;
    QTest::newRow("0.89, psi 0.81327") << 0.89 << false;
}

void SimulationTest::firstTrialAfterStartUp()
{
    QFETCH(double, startLevel);
    QFETCH(bool, answer);
    const Run run({ page(startLevel) }, 1);
    QVERIFY(run.vIds.size() > 1);
    QCOMPARE(run.vIds[0], 0);
    QCOMPARE(run.vNtrial[0], 0);
    QCOMPARE(run.vSteps[0], 0);
    QCOMPARE(run.vInversions[0], 0);
    QCOMPARE(run.vStates[0], startLevel);
    QCOMPARE(run.vResponses.testBit(0), answer);
    // One page, one repetition: every trial is staircase 0's, and its steps count the trials.
    QCOMPARE(run.vIds, QVector<int>(run.vIds.size(), 0));
    QCOMPARE(run.vSteps, run.vNtrial);
}

void SimulationTest::threePagesOfOneTrialEach()
{
    // Picks take the engine outputs 1 and 3 (the last pick draws nothing);
    // u = 0.13548, 0.83501, 0.12699 at level 0 where psi is 0.5.
    const Run run({ page(0.0, 1), page(0.0, 1), page(0.0, 1) }, 1);
    QCOMPARE(run.vIds, QVector<int>({ 0, 1, 2 }));
    QCOMPARE(run.responses(), QVector<bool>({ true, false, true }));
    QCOMPARE(run.vNtrial, QVector<int>({ 0, 1, 2 }));
    QCOMPARE(run.vSteps, QVector<int>({ 0, 0, 0 }));
    QCOMPARE(run.vStates, QVector<double>({ 0.0, 0.0, 0.0 }));
}

void SimulationTest::recordsAreParallelAndNumberedAcrossRepetitions()
{
    const Run run({ page(-1.0, 30), page(1.0, 30) }, 3);
    const qsizetype n = run.vIds.size();
    QCOMPARE(run.vNtrial.size(), n);
    QCOMPARE(run.vSteps.size(), n);
    QCOMPARE(run.vInversions.size(), n);
    QCOMPARE(run.vStates.size(), n);
    QCOMPARE(run.vResponses.size(), n);
    for (int k = 0; k < n; ++k)
        QCOMPARE(run.vNtrial[k], k);

    // Within every repetition both ids appear and each staircase's steps count 0, 1, 2 ...
    for (int r = 0; r < 3; ++r) {
        int nextStep[2] = { 0, 0 };
        for (int k = run.repetitionStarts[r]; k < run.repetitionStarts[r + 1]; ++k) {
            const int id = run.vIds[k];
            QVERIFY(id == 0 || id == 1);
            QCOMPARE(run.vSteps[k], nextStep[id]++);
        }
        QVERIFY(nextStep[0] > 0 && nextStep[1] > 0);
    }
}

void SimulationTest::recordsShowTheStaircaseBeforeTheAnswer()
{
    const Run run({ page(-2.0), page(0.5), page(3.0) }, 4);
    std::map<std::pair<int, int>, int> seen; // (repetition, id) -> trials seen
    int repetition = 0;
    for (int k = 0; k < run.vIds.size(); ++k) {
        if (k == run.repetitionStarts[repetition + 1])
            ++repetition;
        const int nth = seen[{ repetition, run.vIds[k] }]++;
        // The first answer never counts a reversal, so the first two trials show none.
        if (nth < 2)
            QCOMPARE(run.vInversions[k], 0);
        if (nth == 0)
            QCOMPARE(run.vStates[k], (std::vector<double> { -2.0, 0.5, 3.0 })[std::size_t(run.vIds[k])]);
    }
    // A staircase ends on the trial whose answer reaches its 4th reversal, which still shows 3.
    for (int count : run.vInversions)
        QVERIFY(count <= 3);
}

void SimulationTest::reversalLevelsKeepTheLatestLevelPerCount()
{
    const Run run({ page(-1.0), page(1.0) }, 3);
    QMap<int, QMap<int, double>> latest;
    QMap<int, QMap<int, double>> lastRepetition;
    for (int k = 0; k < run.vIds.size(); ++k) {
        latest[run.vIds[k]][run.vInversions[k]] = run.vStates[k];
        if (k >= run.repetitionStarts[2])
            lastRepetition[run.vIds[k]][run.vInversions[k]] = run.vStates[k];
    }
    QCOMPARE(run.reversalLevels, latest);
    for (auto id = lastRepetition.cbegin(); id != lastRepetition.cend(); ++id)
        for (auto count = id->cbegin(); count != id->cend(); ++count)
            QCOMPARE(run.reversalLevels[id.key()][count.key()], *count);
}

void SimulationTest::clampsReachOnlyTheirStaircase()
{
    StaircaseSettings clamped = page(0.0, 200, 50);
    clamped.positiveStepsText = "1";
    clamped.clampActive = true;
    clamped.lowerClamp = -0.5;
    clamped.upperClamp = 0.5;
    clamped.maxClampHits = 0;
    StaircaseSettings free = clamped;
    free.clampActive = false;
    // An observer far off the levels keeps both staircases climbing.
    const Run run({ free, clamped }, 1, PsychometricObserver(100.0, 1.0, 0.0, 0.0));
    double highest[2] = { -1e9, -1e9 };
    for (int k = 0; k < run.vIds.size(); ++k)
        highest[run.vIds[k]] = std::max(highest[run.vIds[k]], run.vStates[k]);
    QCOMPARE(highest[1], 0.5);
    QVERIFY(highest[0] > 100.0);
}

QTEST_GUILESS_MAIN(SimulationTest)
#include "SimulationTest.moc"
