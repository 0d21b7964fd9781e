// Time to work out one staircase's targets, the stationary chain included:
// the window does it for every staircase after each run. Typical settings
// solve a grid of tens of levels; a fine grid (steps 0.123 and 0.1 share a unit
// of 0.001) comes close to the work the solver accepts.
#include "StaircaseTheory.h"

#include <benchmark/benchmark.h>

namespace
{

StaircaseSettings staircase(int n, const char *positiveSteps, double negativeStep)
{
    StaircaseSettings s;
    s.startLevel = 3.0;
    s.ascending = false;
    s.correctAnswers = n;
    s.maxInversions = 14;
    s.positiveStepsText = positiveSteps;
    s.negativeStep = negativeStep;
    return s;
}

void theory(benchmark::State &state, StaircaseSettings s, ObserverSettings observer)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(staircaseTheory(s, observer));
}

const ObserverSettings twoAlternative { 0.0, 1.0, 0.02, 0.5 };

} // namespace

BENCHMARK_CAPTURE(theory, oneUpThreeDown, staircase(3, "1,0.5,0.25", 0.25), twoAlternative)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(theory, weightedOneUpOneDown, staircase(1, "0.1", 0.3), twoAlternative)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(
    theory, smallStepsWideObserver, staircase(2, "0.01", 0.01), ObserverSettings { 0.0, 100.0, 0.02, 0.5 })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(theory, fineGrid, staircase(2, "0.1", 0.123), twoAlternative)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
