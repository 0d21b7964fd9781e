// Throughput of quorvel-batch, in simulated trials per second, beside the
// engine's own trial loop on the same experiment (TrialLoopExperiment.h, four
// staircases). batchProgram is the whole program but for process start-up:
// read the file, run 200 repetitions (about 1.3 million trials), compute the
// table (--quiet prints nothing), and write the trials nowhere (none), to
// /dev/null (formatting without a disk), or to a TSV file (AtomicFile, with
// its fsync). trialTableWriter formats an already finished run's trial table
// into a sink that drops it: rows per second of the writer alone.
#include "BatchRun.h"
#include "ExperimentLoading.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "Run.h"
#include "TrialLoopExperiment.h"
#include "TrialTable.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace
{

constexpr int repetitions = 200;

// A folder with the experiment file, removed when the benchmarks end.
struct Scratch {
    Scratch()
    {
        char pattern[] = "/tmp/bench-batch-XXXXXX";
        folder = mkdtemp(pattern);
        experiment = folder + "/trial-loop.txt";
        std::ofstream(experiment) << trialLoopExperimentFile();
    }
    ~Scratch() { std::system(("rm -rf '" + folder + "'").c_str()); }
    std::string folder, experiment;
};

const Scratch scratch;

RunResult experimentRun()
{
    RunRequest request = loadExperimentFile(scratch.experiment)->request;
    request.repetitions = repetitions;
    RandomEngine engine;
    return simulate(request, engine);
}

void engineTrialLoop(benchmark::State &state)
{
    RandomEngine engine;
    ParStaircase set(engine);
    const std::vector<StaircaseSettings> staircases = trialLoopStaircases(4);
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

void batchProgram(benchmark::State &state, const std::string &trials)
{
    const std::size_t trialsPerRun = experimentRun().trialCount();
    std::vector<std::string> arguments { scratch.experiment, "--repetitions", std::to_string(repetitions),
        "--quiet" };
    if (!trials.empty())
        arguments.insert(arguments.end(), { "--trials", trials });
    std::FILE *discard = std::fopen("/dev/null", "w");
    const BatchConsole console { discard, discard, false };
    for (auto _ : state)
        if (batchMain(arguments, console, nullptr) != exitDone)
            state.SkipWithError("quorvel-batch failed");
    std::fclose(discard);
    state.SetItemsProcessed(state.iterations() * std::int64_t(trialsPerRun));
}

void trialTableWriter(benchmark::State &state)
{
    const RunResult result = experimentRun();
    const TextSink drop = [](const char *data, std::size_t size) {
        benchmark::DoNotOptimize(data);
        benchmark::DoNotOptimize(size);
        return true;
    };
    for (auto _ : state)
        writeTrialTable(result, nullptr, drop);
    state.SetItemsProcessed(state.iterations() * std::int64_t(result.trialCount()));
}

} // namespace

BENCHMARK(engineTrialLoop);
BENCHMARK_CAPTURE(batchProgram, none, std::string())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(batchProgram, devnull, std::string("/dev/null"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(batchProgram, file, scratch.folder + "/trials.tsv")->Unit(benchmark::kMillisecond);
BENCHMARK(trialTableWriter)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
