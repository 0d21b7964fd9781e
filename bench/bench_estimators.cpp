// The four threshold estimators over a large run: 100,000 repetitions of three
// interleaved 1-up/3-down staircases against a two-alternative observer (the
// steps of 0.25, 14 reversals, about 70 trials each), all four estimates of
// every repetition and staircase from one pass over the run. The run itself is
// made once, outside the measured time.
#include "Estimators.h"
#include "RandomEngine.h"
#include "Run.h"

#include <benchmark/benchmark.h>

namespace
{

RunResult largeRun()
{
    RunRequest request;
    request.observer = { 0.0, 1.0, 0.02, 0.5 };
    for (double start : { 2.0, 1.0, 3.0 }) {
        StaircaseSettings s;
        s.startLevel = start;
        s.ascending = false;
        s.correctAnswers = 3;
        s.maxInversions = 14;
        s.maxTrials = 1000;
        s.positiveStepsText = "0.25";
        s.negativeStep = 0.25;
        request.staircases.push_back(s);
    }
    request.repetitions = 100000;
    RandomEngine engine(1);
    return simulate(request, engine);
}

void fourEstimators(benchmark::State &state)
{
    static const RunResult run = largeRun();
    for (auto _ : state) {
        const std::vector<StaircaseEstimates> estimates
            = runEstimates(run, EstimatorSettings {}, run.request().observer);
        benchmark::DoNotOptimize(estimates.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(run.repetitionCount()) * run.staircaseCount());
}

} // namespace

BENCHMARK(fourEstimators)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
