#pragma once
// Works out a run's analysis (RunAnalysis) off the GUI thread, as BackgroundRun
// runs the simulation: for the Analysis tab, when K or R changes after a run.
// `cancel` stops it between two bootstraps; `finished` gives the analysis and
// the run it is of.

#include "BackgroundWork.h"
#include "RunAnalysis.h"

#include <memory>

class BackgroundAnalysis : public BackgroundWork
{
    Q_OBJECT

public:
    explicit BackgroundAnalysis(QObject *parent = nullptr);
    ~BackgroundAnalysis() override;

    // Starts the analysis of `run` (its staircases aiming at `theories`) for
    // `settings`, taking over what `earlier` holds that they leave alone; does
    // nothing while another one is going.
    void start(std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories,
        const EstimatorSettings &settings, std::shared_ptr<const RunAnalysis> earlier);

signals:
    void finished(std::shared_ptr<const RunResult> run, std::shared_ptr<const RunAnalysis> analysis);

private:
    void reportProgress() override { }
    void finishWork() override;

    // Set by the worker.
    std::shared_ptr<const RunResult> analysed;
    std::shared_ptr<const RunAnalysis> outcome;
};
