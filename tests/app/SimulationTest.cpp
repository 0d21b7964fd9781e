#include "Simulation.h"
#include "ExperimentFileCommands.h"
#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"

#include <QTest>

#include <map>

namespace
{

// A page's defaults (ascending, correct answers 1, max reversals 4, steps 0.2
// up and 0.5 down, no clamp) with its own start level and trial limit.
StaircaseSettings page(double startLevel, int maxTrials = 100)
{
    StaircaseSettings settings;
    settings.startLevel = startLevel;
    settings.maxTrials = maxTrials;
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
};

} // namespace

class SimulationTest : public QObject
{
    Q_OBJECT

private slots:
    void firstTrialAfterStartUp_data();
    void firstTrialAfterStartUp();
    void threePagesOfOneTrialEach();
    void recordsShowEachStaircaseBeforeTheAnswer();
    void clampsReachOnlyTheirStaircase();
    void exampleExperimentsLoadWithoutWarningsAndRun();
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
    QCOMPARE(run.vResponses, QBitArray::fromBits("\x05", 3)); // true, false, true
    QCOMPARE(run.vNtrial, QVector<int>({ 0, 1, 2 }));
    QCOMPARE(run.vSteps, QVector<int>({ 0, 0, 0 }));
    QCOMPARE(run.vStates, QVector<double>({ 0.0, 0.0, 0.0 }));
}

void SimulationTest::recordsShowEachStaircaseBeforeTheAnswer()
{
    const double starts[] = { -2.0, 0.5, 3.0 };
    const Run run({ page(starts[0]), page(starts[1]), page(starts[2]) }, 4);
    const qsizetype n = run.vIds.size();
    for (qsizetype size : { run.vNtrial.size(), run.vSteps.size(), run.vInversions.size(), run.vStates.size(),
             run.vResponses.size() })
        QCOMPARE(size, n);
    QMap<int, QMap<int, double>> latest;
    for (int r = 0; r < 4; ++r) {
        std::map<int, int> seen; // id -> trials seen in this repetition
        for (int k = run.repetitionStarts[r]; k < run.repetitionStarts[r + 1]; ++k) {
            const int id = run.vIds[k];
            const int nth = seen[id]++;
            QCOMPARE(run.vNtrial[k], k); // numbered on across repetitions
            QCOMPARE(run.vSteps[k], nth); // each staircase's own count restarts
            // The first answer never counts a reversal, so the first two trials show none.
            if (nth < 2)
                QCOMPARE(run.vInversions[k], 0);
            if (nth == 0)
                QCOMPARE(run.vStates[k], starts[id]);
            // A staircase ends on the trial whose answer reaches its 4th reversal, which still shows 3.
            QVERIFY(run.vInversions[k] <= 3);
            latest[id][run.vInversions[k]] = run.vStates[k];
        }
        QCOMPARE(int(seen.size()), 3);
    }
    // Per staircase and reversal count: the level of the last trial shown at that count.
    QCOMPARE(run.reversalLevels, latest);
}

void SimulationTest::clampsReachOnlyTheirStaircase()
{
    StaircaseSettings clamped = page(0.0, 200);
    clamped.maxInversions = 50;
    clamped.positiveStepsText = "1";
    clamped.clampActive = true;
    clamped.lowerClamp = -0.5;
    clamped.upperClamp = 0.5;
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

void SimulationTest::exampleExperimentsLoadWithoutWarningsAndRun()
{
    const std::pair<const char *, int> examples[] = { { "single-staircase.txt", 1 },
        { "three-interleaved-staircases.txt", 3 }, { "clamped-staircases.txt", 2 } };
    for (const auto &[file, staircases] : examples) {
        const ExperimentReading reading = readExperimentFile(QStringLiteral(QUORVEL_EXAMPLES_DIR "/") + file);
        QVERIFY2(reading.ok(), reading.error.c_str());
        QVERIFY(reading.warnings.empty());
        QCOMPARE(int(reading.experiment.staircases.size()), staircases);
        QCOMPARE(positiveStepsProblem(reading.experiment), std::string());
        // Every staircase runs a real track, not a trial or two.
        const Run run(reading.experiment.staircases, 1, PsychometricObserver(reading.experiment.observer));
        for (int id = 0; id < staircases; ++id)
            QVERIFY2(run.vIds.count(id) >= 10, file);
    }
}

QTEST_GUILESS_MAIN(SimulationTest)
#include "SimulationTest.moc"
