// The graph drawn from a run of 1,000,000 trials: 4 staircases, many repetitions.
// Only the drawing is timed (grouping and ordering the points, or their median
// and quartiles at each trial count, and replotting).
#include "GraphDrawing.h"
#include "Run.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <random>

namespace
{

constexpr int rowCount = 1000000;
constexpr int staircaseCount = 4;
constexpr int trialsPerStaircase = 50;

// Trials in run order, as a run records them: every repetition interleaves the staircases at
// random, and each staircase's steps start again at 0.
const RunResult &result()
{
    static const RunResult *run = [] {
        RunRequest request;
        request.staircases.resize(staircaseCount);
        auto *r = new RunResult(request);
        RunRecorder recorder(*r);
        std::mt19937 random(5489);
        std::size_t k = 0;
        for (unsigned repetitionNumber = 1; k < std::size_t(rowCount); ++repetitionNumber) {
            std::uint32_t steps[staircaseCount] = {};
            double levels[staircaseCount] = { 1.0, 0.5, -0.5, 2.0 };
            for (int n = 0; n < staircaseCount * trialsPerStaircase && k < std::size_t(rowCount); ++n, ++k) {
                int v = static_cast<int>(random() % staircaseCount);
                while (steps[v] == trialsPerStaircase)
                    v = (v + 1) % staircaseCount;
                recorder.record({ levels[v], repetitionNumber, steps[v]++, 0, std::uint8_t(v), true, false });
                levels[v] += random() % 2 ? 0.125 : -0.0625;
            }
        }
        recorder.end(true);
        return r;
    }();
    return *run;
}

void drawGraph(benchmark::State &state)
{
    const bool showReference = state.range(0) != 0;
    const auto repetitions = static_cast<GraphDrawing::Repetitions>(state.range(1));
    const RunResult &run = result();
    QCustomPlot plot;
    plot.resize(800, 500);
    plot.show(); // a hidden plot skips most of its drawing
    GraphDrawing::setupPlot(plot, QApplication::font());
    const QVector<QColor> colors = GraphDrawing::staircaseColors();
    GraphDrawing::Settings settings(staircaseCount, 0, showReference, { 1.0, 0.5, 0.0, 0.0 });
    settings.repetitions = repetitions;
    for (auto _ : state)
        GraphDrawing::draw(plot, &run, colors, settings);
    state.SetItemsProcessed(state.iterations() * rowCount);
}

// Repetitions: 0 all, 2 the median with its 25–75 % band.
BENCHMARK(drawGraph)
    ->ArgNames({ "reference", "repetitions" })
    ->Args({ 0, 0 })
    ->Args({ 1, 0 })
    ->Args({ 0, 2 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
