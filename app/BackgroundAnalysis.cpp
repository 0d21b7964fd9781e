#include "BackgroundAnalysis.h"

BackgroundAnalysis::BackgroundAnalysis(QObject *parent)
    : BackgroundWork(parent)
{
}

BackgroundAnalysis::~BackgroundAnalysis()
{
    stopWork();
}

void BackgroundAnalysis::start(std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories,
    const EstimatorSettings &settings, std::shared_ptr<const RunAnalysis> earlier)
{
    if (isRunning() || !run)
        return;
    analysed = run;
    outcome.reset();
    launch(
        [this, run, theories = std::move(theories), settings, earlier] {
            std::optional<RunAnalysis> analysis
                = analyseRun(*run, theories, settings, earlier.get(), &cancelRequested);
            if (analysis)
                outcome = std::make_shared<const RunAnalysis>(std::move(*analysis));
            return analysis.has_value();
        },
        tr("There was not enough memory for the statistics."));
}

void BackgroundAnalysis::finishWork()
{
    emit finished(analysed, outcome);
}
