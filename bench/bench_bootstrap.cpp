// Time of the intervals of one staircase's statistics (the percentile
// bootstrap over the repetitions): the window, the batch program and every
// value of a sweep compute them after each run.
#include "RepetitionStats.h"

#include <benchmark/benchmark.h>

#include <random>

namespace
{

void bootstrap(benchmark::State &state)
{
    const auto repetitions = std::size_t(state.range(0));
    std::mt19937 random(1);
    std::student_t_distribution<double> heavyTailed(3.0);
    std::uniform_int_distribution<int> trialCount(40, 120);
    std::vector<std::optional<double>> estimates;
    std::vector<double> trials;
    for (std::size_t r = 0; r < repetitions; ++r) {
        estimates.push_back(r % 50 == 0 ? std::nullopt : std::optional<double>(heavyTailed(random)));
        trials.push_back(trialCount(random));
    }
    RepetitionStats stats;
    stats.repetitions = int(repetitions);
    stats.trials = TrialsPerRepetition { 80.0, 40, 120 };
    StaircaseTheory theory;
    theory.classic = { 0.5, 0.5, 0.0 };
    std::vector<double> given;
    for (const std::optional<double> &e : estimates)
        if (e)
            given.push_back(*e);
    const EstimateStats plain = estimateStats(given, theory, ObserverSettings { 0.0, 1.0, 0.0, 0.0 });
    for (auto _ : state) {
        stats.estimates = plain;
        addEfficiency(stats, estimates, trials, 0.0);
        benchmark::DoNotOptimize(stats);
    }
}

} // namespace

BENCHMARK(bootstrap)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
