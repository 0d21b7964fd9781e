// A sweep of 20 values of the step scale (0.25 to 5), 1,000 repetitions each,
// of examples/three-interleaved-staircases.txt: through quorvel-batch
// (--vary with --stats, the table not printed) and through the window's Sweep
// tab (Run sweep pressed, timed until the table and the plot show it). The
// engine's runSweep on one thread and on every core shows what the threads
// bring. Every combination starts from the seed, so each iteration does the
// same work. The window's sweep works out the exact values after the
// simulation; "exactOnly" is the same sweep from the exact values alone (the
// engine's exactSweep, --exact-only, the tab's "Exact only (no simulation)").
#include "BatchRun.h"
#include "ExperimentLoading.h"
#include "Sweep.h"
#include "SweepPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace
{

const std::string example = QUORVEL_EXAMPLES_DIR "/three-interleaved-staircases.txt";
const char values[] = "0.25:5:0.25";
constexpr int repetitions = 1000;

SweepRequest sweepRequest()
{
    SweepRequest request;
    request.base = loadExperimentFile(example)->request;
    request.base.repetitions = repetitions;
    request.axes = { { SweepParameter::stepScale, -1, *parseSweepValues(values) } };
    return request;
}

void sweepEngine(benchmark::State &state)
{
    const SweepRequest request = sweepRequest();
    const SweepPlan plan = *planSweep(request);
    for (auto _ : state)
        benchmark::DoNotOptimize(runSweep(request, plan, {}, nullptr, unsigned(state.range(0))));
    state.counters["values"] = double(plan.points.size());
}
BENCHMARK(sweepEngine)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void sweepExactOnlyEngine(benchmark::State &state)
{
    const SweepRequest request = sweepRequest();
    const SweepPlan plan = *planSweep(request);
    for (auto _ : state)
        benchmark::DoNotOptimize(exactSweep(request, plan));
    state.counters["values"] = double(plan.points.size());
}
BENCHMARK(sweepExactOnlyEngine)->Unit(benchmark::kMillisecond)->UseRealTime();

void sweepBatch(benchmark::State &state)
{
    const bool exactOnly = state.range(0) != 0;
    for (auto _ : state) {
        BatchConsole console { std::fopen("/dev/null", "w"), std::fopen("/dev/null", "w"), false };
        std::vector<std::string> arguments { example, "--repetitions", std::to_string(repetitions), "--vary",
            std::string("step-scale=") + values, "--stats", "/dev/null", "--quiet" };
        if (exactOnly)
            arguments.push_back("--exact-only");
        const int status = batchMain(arguments, console, nullptr);
        std::fclose(console.out);
        std::fclose(console.err);
        if (status != exitDone)
            state.SkipWithError("quorvel-batch failed");
    }
}
BENCHMARK(sweepBatch)->ArgName("exactOnly")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void sweepWindow(benchmark::State &state)
{
    SweepPage page;
    page.setExperimentSource(sweepRequest);
    page.setStaircaseCount(3);
    page.findChild<QLineEdit *>("lineEditSweepValues")->setText(values);
    page.findChild<QSpinBox *>("spinBoxSweepRepetitions")->setValue(repetitions);
    page.findChild<QCheckBox *>("checkBoxSweepExactOnly")->setChecked(state.range(0) != 0);
    auto *run = page.findChild<QPushButton *>("buttonSweepRun");
    for (auto _ : state) {
        run->click();
        while (page.isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        QCoreApplication::processEvents(); // the hand-over: table and plot
    }
}
BENCHMARK(sweepWindow)->ArgName("exactOnly")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
