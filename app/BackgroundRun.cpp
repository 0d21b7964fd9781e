#include "BackgroundRun.h"

#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace
{

// Progress is shown this often, in milliseconds.
constexpr int progressPeriod = 200;

} // namespace

BackgroundRun::BackgroundRun(QObject *parent)
    : QObject(parent)
    , progressTimer(new QTimer(this))
{
    progressTimer->setInterval(progressPeriod);
    connect(progressTimer, &QTimer::timeout, this, &BackgroundRun::reportProgress);
}

BackgroundRun::~BackgroundRun()
{
    cancelRequested = true;
    if (worker.joinable())
        worker.join();
}

void BackgroundRun::start(const RunRequest &request, RandomEngine &engine, int lastReversals)
{
    if (isRunning())
        return;
    cancelRequested = false;
    trialsDone = 0;
    repetitionsDone = 0;
    exactDone = -1;
    repetitions = request.repetitions;
    trialBound = maximumTrials(request);
    outcome = FinishedRun();
    failure.clear();
    worker = std::thread([this, request, &engine, lastReversals] {
        try {
            auto result = std::make_shared<RunResult>(simulate(
                request, engine,
                [this](const RunProgress &p) {
                    trialsDone.store(p.trials, std::memory_order_relaxed);
                    repetitionsDone.store(p.repetitions, std::memory_order_relaxed);
                },
                &cancelRequested));
            if (result->isComplete()) {
                // A fine common grid can take a good fraction of a second per staircase.
                outcome.theories = staircaseTheories(request.staircases, request.observer);
                exactDone = 0;
                ExactControl control;
                control.cancel = &cancelRequested;
                control.progress = [this](double share) { exactDone = int(share * 1000.0); };
                outcome.exact = exactRuns(request.staircases, request.observer, outcome.theories,
                    exactLastReversalsInWindow, control);
                // A cancel now stops only the exact values: the run itself is complete.
                // The bootstrap of the intervals draws a million values per thousand repetitions.
                for (int s = 0; s < result->staircaseCount(); ++s)
                    outcome.stats.push_back(
                        repetitionStats(*result, s, outcome.theories[std::size_t(s)], lastReversals));
                outcome.result = std::move(result);
            }
        } catch (const std::bad_alloc &) {
            failure = tr("There was not enough memory for this run.");
        } catch (const std::length_error &e) {
            failure = QString::fromStdString(e.what());
        }
        QMetaObject::invokeMethod(this, &BackgroundRun::workerDone, Qt::QueuedConnection);
    });
    progressTimer->start();
}

void BackgroundRun::cancel()
{
    cancelRequested = true;
}

void BackgroundRun::reportProgress()
{
    if (const int exact = exactDone.load(std::memory_order_relaxed); exact >= 0) {
        emit progressed(exact, 1000, tr("Exact values"));
        return;
    }
    const std::size_t trials = trialsDone.load(std::memory_order_relaxed);
    const int finished = repetitionsDone.load(std::memory_order_relaxed);
    // The repetitions say how far a run of many repetitions is; the trials
    // against their upper bound give at least a lower mark for one long repetition.
    const double byRepetitions = repetitions > 0 ? double(finished) / repetitions : 0.0;
    const double byTrials = trialBound > 0 ? double(trials) / double(trialBound) : 0.0;
    const int done = int(1000.0 * std::min(1.0, std::max(byRepetitions, byTrials)));
    const QLocale english(QLocale::English);
    emit progressed(done, 1000,
        tr("Repetition %1 of %2, %3 trials")
            .arg(english.toString(std::min(finished + 1, repetitions)), english.toString(repetitions),
                english.toString(qulonglong(trials))));
}

void BackgroundRun::workerDone()
{
    worker.join();
    progressTimer->stop();
    if (!failure.isEmpty())
        emit failed(failure);
    else if (outcome.result) {
        // The bar ends full, on the run's own count, however the timer fell.
        exactDone = -1;
        reportProgress();
        emit finished(outcome);
    } else
        emit cancelled();
}
