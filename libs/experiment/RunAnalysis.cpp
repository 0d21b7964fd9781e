#include "RunAnalysis.h"

namespace
{

// Whether the estimates of `estimator` differ between the two settings.
bool changes(Estimator estimator, const EstimatorSettings &a, const EstimatorSettings &b)
{
    switch (estimator) {
    case Estimator::reversals:
        return a.lastReversals != b.lastReversals;
    case Estimator::trials:
        return a.firstReversal != b.firstReversal;
    case Estimator::cir:
    case Estimator::ml:
        return false;
    }
    return true;
}

} // namespace

std::optional<RunAnalysis> analyseRun(const RunResult &run, const std::vector<StaircaseTheory> &theories,
    const EstimatorSettings &settings, const RunAnalysis *earlier, const std::atomic<bool> *cancel,
    const std::function<void(double)> &progress)
{
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    const std::size_t staircases = std::size_t(run.staircaseCount());
    RunAnalysis analysis;
    analysis.settings = settings;
    if (earlier && earlier->estimates.size() != staircases)
        earlier = nullptr;
    if (!earlier) {
        analysis.estimates = runEstimates(run, settings, theories); // one pass for every estimator
    } else {
        analysis.estimates = earlier->estimates;
        for (Estimator e : allEstimators)
            for (std::size_t s = 0; s < staircases && changes(e, earlier->settings, settings); ++s) {
                if (cancelled())
                    return std::nullopt;
                analysis.estimates[s].byEstimator[std::size_t(e)]
                    = staircaseEstimates(run, int(s), e, settings, run.request().observer);
            }
    }
    // The estimates count as one bootstrap.
    const double pieces = double(staircases * allEstimators.size() + 1);
    double done = 1.0;
    const auto report = [&] {
        if (progress)
            progress(done / pieces);
    };
    report();
    analysis.stats.resize(staircases);
    for (std::size_t s = 0; s < staircases; ++s)
        for (Estimator e : allEstimators) {
            done += 1.0;
            RepetitionStats &stats = analysis.stats[s][std::size_t(e)];
            if (earlier && !changes(e, earlier->settings, settings)) {
                stats = earlier->statsOf(int(s), e);
                stats.lastReversals = settings.lastReversals; // shown beside them; they do not depend on it
                continue;
            }
            if (cancelled()) // a bootstrap is the unit of work: a tenth of a second at 100,000 repetitions
                return std::nullopt;
            stats = repetitionStats(
                run, int(s), theories[s], analysis.estimates[s].of(e), settings.lastReversals);
            report();
        }
    return analysis;
}
