#include "BackgroundSweep.h"

#include <QLocale>
#include <QTimer>

#include <new>
#include <stdexcept>

BackgroundSweep::BackgroundSweep(QObject *parent)
    : QObject(parent)
    , progressTimer(new QTimer(this))
{
    progressTimer->setInterval(200);
    connect(progressTimer, &QTimer::timeout, this, &BackgroundSweep::reportProgress);
}

BackgroundSweep::~BackgroundSweep()
{
    cancelRequested = true;
    if (worker.joinable())
        worker.join();
}

void BackgroundSweep::start(const SweepRequest &request, const SweepPlan &plan, bool exactOnly)
{
    if (isRunning())
        return;
    cancelRequested = false;
    repetitionsDone = 0;
    pointsDone = 0;
    exactPhase = exactOnly;
    exactShare = 0.0;
    totalPoints = int(plan.points.size());
    totalRepetitions = 0;
    for (const SweepPoint &point : plan.points)
        totalRepetitions += point.request.repetitions;
    outcome.reset();
    failure.clear();
    worker = std::thread([this, request, plan, exactOnly] {
        ExactControl exact;
        exact.cancel = &cancelRequested;
        exact.progress = [this](double share) { exactShare.store(share, std::memory_order_relaxed); };
        try {
            std::shared_ptr<SweepResult> result;
            if (exactOnly) {
                result = std::make_shared<SweepResult>(exactSweep(request, plan, exact));
            } else {
                result = std::make_shared<SweepResult>(runSweep(
                    request, plan,
                    [this](const SweepProgress &p) {
                        repetitionsDone.store(p.repetitions, std::memory_order_relaxed);
                        pointsDone.store(p.points, std::memory_order_relaxed);
                    },
                    &cancelRequested));
                exactPhase = true;
                result->complete = result->complete && addExactRuns(*result, exact);
            }
            if (result->complete)
                outcome = std::move(result);
        } catch (const std::bad_alloc &) {
            failure = tr("There was not enough memory for this sweep.");
        } catch (const std::length_error &e) {
            failure = QString::fromStdString(e.what());
        }
        QMetaObject::invokeMethod(this, &BackgroundSweep::workerDone, Qt::QueuedConnection);
    });
    progressTimer->start();
}

void BackgroundSweep::cancel()
{
    cancelRequested = true;
}

void BackgroundSweep::reportProgress()
{
    const QLocale english(QLocale::English);
    if (exactPhase) {
        const double share = exactShare.load(std::memory_order_relaxed);
        emit progressed(int(1000 * share), 1000,
            tr("Sweep: exact values, %1 % done").arg(english.toString(int(100 * share))));
        return;
    }
    const long long repetitions = repetitionsDone.load(std::memory_order_relaxed);
    emit progressed(totalRepetitions > 0 ? int(1000 * repetitions / totalRepetitions) : 0, 1000,
        tr("Sweep: value %1 of %2")
            .arg(english.toString(std::min(pointsDone.load(std::memory_order_relaxed) + 1, totalPoints)),
                english.toString(totalPoints)));
}

void BackgroundSweep::workerDone()
{
    worker.join();
    progressTimer->stop();
    if (!failure.isEmpty())
        emit failed(failure);
    else if (outcome)
        emit finished(outcome);
    else
        emit cancelled();
}
