// The background run on its own: its signals, a second start, a Cancel that
// must not reach the next run, and its end while a hand-over is still queued.
#include "BackgroundRun.h"
#include "AddressSpaceLimit.h"
#include "RandomEngine.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <thread>

// One staircase that runs `trials` trials in each repetition.
static RunRequest longRun(int trials, int repetitions)
{
    RunRequest request { {}, { StaircaseSettings() }, repetitions };
    request.staircases[0].maxTrials = request.staircases[0].maxInversions = trials;
    return request;
}

class BackgroundRunTest : public QObject
{
    Q_OBJECT

    RandomEngine engine;
    BackgroundRun run;
    QSignalSpy finished { &run, &BackgroundRun::finished };
    QSignalSpy cancelled { &run, &BackgroundRun::cancelled };
    QSignalSpy failed { &run, &BackgroundRun::failed };

private slots:
    void init()
    {
        for (QSignalSpy *spy : { &finished, &cancelled, &failed })
            spy->clear();
    }

    void secondStartIsIgnoredAndCancelDoesNotReachTheNextRun()
    {
        run.start(longRun(1000, 1000000), engine);
        run.start(longRun(10, 1), engine); // ignored while the first one runs
        run.cancel();
        QVERIFY(cancelled.wait(20000));
        QSignalSpy progressed(&run, &BackgroundRun::progressed);
        run.start(longRun(20000, 1), engine); // more trials than a run makes between looks at the flag
        QVERIFY(finished.wait(20000));
        // The last report is the whole run, before the hand-over.
        QVERIFY(!progressed.isEmpty());
        QCOMPARE(
            progressed.last(), (QList<QVariant> { 1000, 1000, QString("Repetition 1 of 1, 20,000 trials") }));
        QTest::qWait(50);
        QCOMPARE(finished.count() + cancelled.count(), 2);
        QCOMPARE(cancelled.count(), 1);
    }

    // Within its only repetition the bar follows the trials against their bound.
    void progressCountsTrialsWithinOneRepetition()
    {
        QSignalSpy progressed(&run, &BackgroundRun::progressed);
        const int bound = 10000000; // a few seconds; a report comes every 16,384 trials
        run.start(longRun(bound, 1), engine);
        QList<QVariant> report { 0, 0, QString() };
        while (report[0].toInt() == 0 && progressed.wait(20000))
            report = progressed.takeFirst();
        run.cancel();
        const QRegularExpressionMatch text
            = QRegularExpression("^Repetition 1 of 1, ([0-9,]+) trials$").match(report[2].toString());
        QVERIFY2(text.hasMatch(), qPrintable(report[2].toString()));
        QVERIFY(report[0].toInt() > 0);
        QCOMPARE(report[0].toInt(), int(1000.0 * text.captured(1).remove(',').toDouble() / bound));
        QCOMPARE(report[1].toInt(), 1000);
        QVERIFY(cancelled.wait(20000));
    }

    void runningOutOfMemoryFails()
    {
#ifdef QUORVEL_ADDRESS_SANITIZER
        QSKIP("the address sanitizer needs more address space than the limit leaves");
#endif
        {
            const AddressSpaceLimit limit(64 << 20); // room for the worker's stack, not for 240 MB of trials
            run.start(longRun(100000, 100), engine);
            QVERIFY(failed.wait(20000));
        }
        QCOMPARE(failed.first()[0].toString(), QString("There was not enough memory for this run."));
        QCOMPARE(finished.count(), 0);
    }

    void destructionWithTheHandOverQueued()
    {
        auto *other = new BackgroundRun;
        QSignalSpy done(other, &BackgroundRun::finished);
        other->start(longRun(10, 1), engine);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(200)); // the worker ends and posts its hand-over
        delete other;
        QCoreApplication::processEvents(); // the queued hand-over must find nothing to run
        QCOMPARE(done.count(), 0);
    }
};

QTEST_MAIN(BackgroundRunTest)
#include "BackgroundRunTest.moc"
