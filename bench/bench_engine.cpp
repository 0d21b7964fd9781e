// Simulated trials per second of the trial loop: pick a staircase, let the
// observer answer its level, step it. The staircase set is rebuilt whenever
// all its staircases have finished, as the run does for every repetition,
// and that rebuild is part of the measured time.
#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "TrialLoopExperiment.h"

#include <benchmark/benchmark.h>
#include <boost/math/special_functions/erf.hpp>

namespace
{

void trialLoop(benchmark::State &state)
{
    const std::vector<StaircaseSettings> staircases = trialLoopStaircases(static_cast<int>(state.range(0)));
    RandomEngine engine;
    ParStaircase set(engine);
    const PsychometricObserver observer(0.0, 1.0, 0.02, 0.02);
    const double sqrt2Sigma = observer.sqrt2Sigma();
    set.configure(staircases);
    for (auto _ : state) {
        Staircase &s = set.chooseStaircase();
        const bool response = observer.respond(s.getState(), sqrt2Sigma, engine);
        if (set.step(response))
            set.configure(staircases);
    }
    state.SetItemsProcessed(state.iterations());
}

// For comparison: one pick, one uniform draw and one erf (Boost's default,
// long double inside) per trial. The trial loop can beat it because the
// observer settles all but near-tie answers with the double-precision erf.
void bareDraws(benchmark::State &state)
{
    RandomEngine engine;
    double level = 0.5;
    for (auto _ : state) {
        const int pick = engine.uniformInt(4);
        const double u = engine.uniformReal(0.0, 1.0);
        const bool response = boost::math::erf(level) > u;
        level += response ? -0.1 : 0.1;
        benchmark::DoNotOptimize(pick);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(trialLoop)->Arg(1)->Arg(4);
BENCHMARK(bareDraws);

BENCHMARK_MAIN();
