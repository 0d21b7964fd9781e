#include "BackgroundSweep.h"

#include <QLocale>

BackgroundSweep::BackgroundSweep(QObject *parent)
    : BackgroundWork(parent)
{
}

BackgroundSweep::~BackgroundSweep()
{
    stopWork();
}

void BackgroundSweep::start(const SweepRequest &request, const SweepPlan &plan, bool exactOnly)
{
    if (isRunning())
        return;
    repetitionsDone = 0;
    pointsDone = 0;
    exactPhase = exactOnly;
    exactShare = 0.0;
    totalPoints = int(plan.points.size());
    totalRepetitions = 0;
    for (const SweepPoint &point : plan.points)
        totalRepetitions += point.request.repetitions;
    outcome.reset();
    launch(
        [this, request, plan, exactOnly] {
            ExactControl exact;
            exact.cancel = &cancelRequested;
            exact.progress = [this](double share) { exactShare.store(share, std::memory_order_relaxed); };
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
            return outcome != nullptr;
        },
        tr("There was not enough memory for this sweep."));
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

void BackgroundSweep::finishWork()
{
    emit finished(outcome);
}
