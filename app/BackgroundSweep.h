#pragma once
// Runs a sweep off the GUI thread, as BackgroundRun runs a simulation.
//
// `start` hands a planned sweep to a worker thread, which runs `runSweep`
// (every combination from its own generator seeded with the sweep's seed, so
// the program's own engine is never drawn from) and then works out every
// row's exact values (`addExactRuns`), or, exact only, `exactSweep` without
// any simulation. While it runs, `progressed`
// reports a few times a second; `cancel` asks it to stop, which it does within
// a few thousand trials. At the end exactly one of `finished`, `cancelled` or
// `failed` is emitted on the GUI thread. Destroying the object cancels a sweep
// that is still going and waits for it.

#include "Sweep.h"

#include "BackgroundWork.h"

#include <atomic>
#include <memory>

class BackgroundSweep : public BackgroundWork
{
    Q_OBJECT

public:
    explicit BackgroundSweep(QObject *parent = nullptr);
    ~BackgroundSweep() override;

    // Starts the sweep of a plan; does nothing while another one is going.
    void start(const SweepRequest &request, const SweepPlan &plan, bool exactOnly = false);

signals:
    void finished(std::shared_ptr<const SweepResult> result);

private:
    void reportProgress() override;
    void finishWork() override;

    std::atomic<long long> repetitionsDone { 0 };
    std::atomic<int> pointsDone { 0 };
    std::atomic<bool> exactPhase { false };
    std::atomic<double> exactShare { 0.0 };
    long long totalRepetitions = 0;
    int totalPoints = 0;
    // Set by the worker.
    std::shared_ptr<const SweepResult> outcome;
};
