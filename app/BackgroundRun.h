#pragma once
// Runs a simulation off the GUI thread.
//
// `start` hands a checked RunRequest to a worker thread, which runs `simulate`
// with the given engine (no other thread may draw from it meanwhile). While it
// runs, `progressed` reports a few times a second how far it has come; `cancel`
// asks it to stop, which it does within a few thousand trials. At the end
// exactly one of `finished` (with the complete result, the targets of its
// staircases, their statistics across the repetitions and their exact
// finite-run values, all worked out off the GUI thread; a cancel while the
// exact values are computed leaves them "cancelled" and still shows the
// complete run), `cancelled` or `failed`
// (with the reason, e.g. memory ran out) is emitted on the GUI thread. Destroying
// the object cancels a run that is still going and waits for the worker.

#include "ExactRun.h"
#include "Run.h"
#include "RunAnalysis.h"
#include "StaircaseTheory.h"

#include "BackgroundWork.h"

#include <atomic>
#include <memory>

// The exact values are computed for K = 1 … this many last reversals, so that
// changing K in the window needs no new computation.
constexpr int exactLastReversalsInWindow = 20;

// A run that ended: its result, the theory of each of its staircases for its
// observer, its analysis for the estimator settings given to `start` (every
// estimator's estimates and statistics) and each staircase's exact values
// (ExactRun::estimate(K) for K up to exactLastReversalsInWindow).
struct FinishedRun {
    std::shared_ptr<const RunResult> result;
    std::vector<StaircaseTheory> theories;
    std::shared_ptr<const RunAnalysis> analysis;
    std::vector<ExactRun> exact;
};

class RandomEngine;

class BackgroundRun : public BackgroundWork
{
    Q_OBJECT

public:
    explicit BackgroundRun(QObject *parent = nullptr);
    ~BackgroundRun() override;

    // Starts the run; does nothing while another one is going.
    void start(const RunRequest &request, RandomEngine &engine, const EstimatorSettings &settings = {});

signals:
    void finished(const FinishedRun &run);

private:
    void reportProgress() override;
    void finishWork() override;

    std::atomic<std::size_t> trialsDone { 0 };
    std::atomic<int> repetitionsDone { 0 };
    // Share of the exact values done, in thousandths; −1 while simulating.
    std::atomic<int> exactDone { -1 };
    // Share of the statistics done, in thousandths; −1 before them.
    std::atomic<int> statsDone { -1 };
    int repetitions = 0;
    std::uint64_t trialBound = 0;
    // Set by the worker.
    FinishedRun outcome;
};
