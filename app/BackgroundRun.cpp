#include "BackgroundRun.h"

#include <QLocale>

#include <algorithm>

BackgroundRun::BackgroundRun(QObject *parent)
    : BackgroundWork(parent)
{
}

BackgroundRun::~BackgroundRun()
{
    stopWork();
}

void BackgroundRun::start(const RunRequest &request, RandomEngine &engine, const EstimatorSettings &settings)
{
    if (isRunning())
        return;
    trialsDone = 0;
    repetitionsDone = 0;
    exactDone = -1;
    statsDone = -1;
    repetitions = request.repetitions;
    trialBound = maximumTrials(request);
    outcome = FinishedRun();
    launch(
        [this, request, &engine, settings] {
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
                // The bootstraps of the intervals draw a million values per thousand repetitions.
                statsDone = 0;
                outcome.analysis = std::make_shared<const RunAnalysis>(*analyseRun(*result, outcome.theories,
                    settings, nullptr, nullptr, [this](double share) { statsDone = int(share * 1000.0); }));
                outcome.result = std::move(result);
            }
            return outcome.result != nullptr;
        },
        tr("There was not enough memory for this run."));
}

void BackgroundRun::reportProgress()
{
    if (const int stats = statsDone.load(std::memory_order_relaxed); stats >= 0) {
        emit progressed(stats, 1000, tr("Statistics across repetitions"));
        return;
    }
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

void BackgroundRun::finishWork()
{
    // The bar ends full, on the run's own count, however the timer fell.
    exactDone = -1;
    statsDone = -1;
    reportProgress();
    emit finished(outcome);
}
