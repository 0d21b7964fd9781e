// Time to compute one staircase's exact finite-run values (ExactRun.h): the
// window does it for every staircase after each run, the batch program with
// --exact. Every staircase of the example experiments, and a hard case: small
// steps (0.02 on σ = 1), 4-down, 30 reversals, 600 trials, K = 10.
#include "ExactRun.h"
#include "ExperimentFile.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{

void exact(benchmark::State &state, StaircaseSettings s, ObserverSettings observer, int lastReversals)
{
    const StaircaseTheory theory = staircaseTheory(s, observer);
    for (auto _ : state)
        benchmark::DoNotOptimize(exactRun(s, observer, theory, lastReversals));
    const ExactRun run = exactRun(s, observer, theory, lastReversals);
    state.counters["stateTrials"] = double(run.stateTrials);
    state.counters["levels"] = run.gridLevels;
    state.counters["neglected"] = run.neglectedMass;
    state.SetLabel(exactStatusName(run.status));
}

StaircaseSettings hardCase()
{
    StaircaseSettings s;
    s.startLevel = 2.0;
    s.ascending = false;
    s.correctAnswers = 4;
    s.maxInversions = 30;
    s.maxTrials = 600;
    s.positiveStepsText = "0.02";
    s.negativeStep = 0.02;
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    for (const char *file : { "single-staircase", "three-interleaved-staircases", "clamped-staircases" }) {
        const Expected<ExperimentReading> reading
            = readExperimentFile(std::string(QUORVEL_EXAMPLES_DIR) + "/" + file + ".txt");
        if (!reading)
            return 1;
        const ExperimentDescription &e = reading->experiment;
        for (std::size_t i = 0; i < e.staircases.size(); ++i)
            benchmark::RegisterBenchmark((std::string("exact/") + file + "/" + std::to_string(i)).c_str(),
                exact, e.staircases[i], e.observer, 6)
                ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(
        "exact/hard/yesNo", exact, hardCase(), ObserverSettings { 0.0, 1.0, 0.0, 0.0 }, 10)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "exact/hard/twoAlternative", exact, hardCase(), ObserverSettings { 0.0, 1.0, 0.02, 0.5 }, 10)
        ->Unit(benchmark::kMillisecond);
    // The window computes every K up to 20 at once.
    benchmark::RegisterBenchmark(
        "exact/hard/twoAlternative/K20", exact, hardCase(), ObserverSettings { 0.0, 1.0, 0.02, 0.5 }, 20)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
