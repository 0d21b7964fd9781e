// A whole Start, headless, for 1,000,000 and 10,000,000 trials (4 staircases x
// 100 trials x 2,500 or 25,000 repetitions). BM_Start presses Start on a real
// window and waits for "Data updated"; the other benchmarks time each phase on
// its own: the run, the results table's model (sorted by ID or not), the
// analysis lists, the statistics across repetitions and the graph (all
// repetitions without and with markers, and the median band). "peak_MB_above_idle" is the process's peak
// resident memory so far less what it held before the first benchmark; run one
// size alone (--benchmark_filter) to read the peak of that size.
#include "AnalysisTexts.h"
#include "GraphDrawing.h"
#include "MainWindow.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "RepetitionStatsPanel.h"
#include "ResultsModel.h"
#include "Run.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <qcustomplot.h>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace
{

constexpr int staircases = 4;
constexpr int trialsPerStaircase = 100;

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// What the process held before any benchmark ran.
const double idleMegabytes = peakMegabytes();

// Staircases that end on their trial limit alone, so every repetition has 400 trials.
RunRequest request(int repetitions)
{
    RunRequest r;
    r.observer = { 0.0, 1.0, 0.0, 0.0 };
    r.staircases.resize(staircases);
    for (int i = 0; i < staircases; ++i) {
        StaircaseSettings &s = r.staircases[std::size_t(i)];
        s.startLevel = -1.0 + i;
        s.maxInversions = trialsPerStaircase; // never reached in 100 trials
        s.maxTrials = trialsPerStaircase;
        s.negativeStep = 0.5;
        s.positiveStepsText = "0.2";
    }
    r.repetitions = repetitions;
    return r;
}

std::shared_ptr<const RunResult> run(int repetitions)
{
    RandomEngine engine;
    return std::make_shared<const RunResult>(simulate(request(repetitions), engine));
}

void counters(benchmark::State &state, double trials)
{
    state.counters["trials"] = trials;
    state.counters["peak_MB_above_idle"] = peakMegabytes() - idleMegabytes;
}

void BM_Run(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(run(int(state.range(0))));
    counters(state, double(state.range(0)) * staircases * trialsPerStaircase);
}

void BM_Table(benchmark::State &state)
{
    const auto result = run(int(state.range(0)));
    const QStringList headers { "ID", "Ntrial", "Steps", "Inversions", "State", "Response" };
    ResultsModel model(headers);
    QTableView view;
    view.setModel(&model);
    setupResultsView(view);
    for (auto _ : state) {
        model.setResult(result, state.range(1) != 0);
        fitResultsColumns(view);
    }
    counters(state, double(result->trialCount()));
}

void BM_Analysis(benchmark::State &state)
{
    const auto result = run(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(analysisLines(*result, 3));
}

// The Analysis tab's statistics panel with widgets of its own.
struct StatsPanel {
    QTableWidget table;
    QComboBox staircase;
    QCustomPlot histogram;
    QComboBox estimator;
    QTableWidget comparison;
    RepetitionStatsPanel panel { table, staircase, histogram, estimator, comparison };
};

void BM_RepetitionStats(benchmark::State &state)
{
    const auto result = run(int(state.range(0)));
    StatsPanel widgets;
    RepetitionStatsPanel &panel = widgets.panel;
    const std::vector<StaircaseTheory> theories
        = staircaseTheories(result->request().staircases, result->request().observer);
    for (auto _ : state)
        panel.setRun(result, theories, EstimatorSettings {});
    counters(state, double(result->trialCount()));
}

// The three-staircase example (examples/three-interleaved-staircases.txt).
RunRequest threeStaircases(int repetitions)
{
    RunRequest r;
    r.observer = { 0.0, 1.0, 0.0, 0.0 };
    const double starts[] = { 3.0, 3.0, -3.0 };
    const int runs[] = { 2, 3, 2 }, reversals[] = { 10, 12, 10 }, trials[] = { 150, 200, 150 };
    const char *steps[] = { "1,0.5", "1,0.5,0.25", "1,0.5" };
    for (int i = 0; i < 3; ++i) {
        StaircaseSettings s;
        s.startLevel = starts[i];
        s.ascending = i == 2;
        s.correctAnswers = runs[i];
        s.maxInversions = reversals[i];
        s.maxTrials = trials[i];
        s.positiveStepsText = steps[i];
        s.negativeStep = 0.5;
        r.staircases.push_back(s);
    }
    r.repetitions = repetitions;
    return r;
}

// Long step lists: `staircases` 1-up/2-down staircases, each with 80,000 positive steps.
RunRequest longStepLists(int staircases, int repetitions)
{
    RunRequest r = threeStaircases(repetitions);
    std::string steps;
    for (int i = 0; i < 80000; ++i)
        steps += i == 0 ? "0.5" : ",0.5";
    StaircaseSettings s = r.staircases[0];
    s.positiveStepsText = steps;
    r.staircases.assign(std::size_t(staircases), s);
    return r;
}

// What the window does after a run to show the Analysis tab's statistics (the
// run, its theories and analysis made as the background run makes them,
// outside the measured time); range(2): 0 the new run shown, 1 a change of K,
// 2 a change of estimator. range(0) 0: the three-staircase
// example with range(1) repetitions; otherwise range(0) staircases with long step lists.
void BM_ShowStatistics(benchmark::State &state)
{
    const RunRequest r = state.range(0) == 0 ? threeStaircases(int(state.range(1)))
                                             : longStepLists(int(state.range(0)), int(state.range(1)));
    RandomEngine engine(1);
    FinishedRun finished;
    finished.result = std::make_shared<const RunResult>(simulate(r, engine));
    finished.theories = staircaseTheories(r.staircases, r.observer);
    finished.analysis = std::make_shared<const RunAnalysis>(
        *analyseRun(*finished.result, finished.theories, EstimatorSettings {}));
    StatsPanel widgets;
    RepetitionStatsPanel &panel = widgets.panel;
    panel.setRun(finished, EstimatorSettings {});
    int k = defaultLastReversals, choice = 0;
    for (auto _ : state) {
        if (state.range(2) == 0)
            panel.setRun(finished, EstimatorSettings {});
        else if (state.range(2) == 1) {
            // Worked out in the background: the real time is until the new numbers
            // show, the CPU time the GUI thread's.
            panel.setLastReversals(k = k == 6 ? 4 : 6);
            if (!QTest::qWaitFor([&panel] { return !panel.isAnalysing(); }, 600000))
                state.SkipWithError("the analysis did not end");
        } else
            panel.setEstimator(choice = (choice + 1) % int(allEstimators.size()));
    }
    counters(state, double(finished.result->trialCount()));
}

// Drawing: 0 all repetitions, 1 all with the markers and reversal marks, 2 the median band.
void BM_Graph(benchmark::State &state)
{
    const auto result = run(int(state.range(0)));
    QCustomPlot plot;
    plot.resize(800, 500);
    plot.show();
    const QVector<QColor> colors = GraphDrawing::staircaseColors();
    GraphDrawing::Settings settings(staircases, state.range(1) == 1 ? 4 : 0, false, { 0.0, 1.0, 0.0, 0.0 });
    if (state.range(1) == 2)
        settings.repetitions = GraphDrawing::Repetitions::medianBand;
    for (auto _ : state)
        GraphDrawing::draw(plot, result.get(), colors, settings);
    counters(state, double(result->trialCount()));
}

// Presses Start on a window, as the user does, and waits for "Data updated".
void BM_Start(benchmark::State &state)
{
    MainWindow window;
    window.findChild<QSpinBox *>("spinBoxNStaircases")->setValue(staircases);
    auto *tabs = window.findChild<TabStaircase *>("tabStaircase");
    for (int i = 0; i < staircases; ++i) {
        tabs->pageAt(i)->setMaxInversions(trialsPerStaircase);
        tabs->pageAt(i)->setMaxTrials(trialsPerStaircase);
    }
    window.findChild<QSpinBox *>("spinBoxSimRepetitions")->setValue(int(state.range(0)));
    window.findChild<QCheckBox *>("checkBoxSortByID")->setChecked(state.range(1) != 0);
    window.show();
    auto *start = window.findChild<QPushButton *>("buttonStart");
    for (auto _ : state) {
        start->click();
        if (!QTest::qWaitFor([start] { return start->isEnabled(); }, 600000))
            state.SkipWithError("the run did not end");
        QApplication::processEvents(); // the repaint after the new results
    }
    if (window.statusBar()->currentMessage() != QStringLiteral("Data updated"))
        state.SkipWithError("the run did not end with \"Data updated\"");
    counters(state, double(state.range(0)) * staircases * trialsPerStaircase);
}

} // namespace

BENCHMARK(BM_Run)->Arg(2500)->Arg(25000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Table)
    ->Args({ 2500, 0 })
    ->Args({ 25000, 0 })
    ->Args({ 25000, 1 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Analysis)->Arg(25000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RepetitionStats)->Arg(25000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShowStatistics)
    ->Args({ 0, 100000, 0 })
    ->Args({ 0, 100000, 1 })
    ->Args({ 0, 100000, 2 })
    ->Args({ 20, 10, 0 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Graph)
    ->Args({ 2500, 0 })
    ->Args({ 25000, 0 })
    ->Args({ 25000, 1 })
    ->Args({ 25000, 2 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Start)
    ->Args({ 2500, 0 })
    ->Args({ 25000, 0 })
    ->Args({ 25000, 1 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
