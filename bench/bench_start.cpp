// A whole Start, headless: the run, the results table and the analysis, for
// about 100,000 and 1,000,000 trials (4 staircases x 100 trials x 250 or 2,500
// repetitions). BM_Start presses Start on a real window; the other benchmarks
// time each phase on its own. "peak_MB" is the process's peak resident memory
// so far (the largest run dominates it).
#include "MainWindow.h"
#include "ParStaircase.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "ResultStats.h"
#include "ResultsTable.h"
#include "Simulation.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

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

// Staircases that end on their trial limit alone, so every repetition has 400 trials.
std::vector<StaircaseSettings> pages()
{
    std::vector<StaircaseSettings> settings(staircases);
    for (int i = 0; i < staircases; ++i) {
        settings[std::size_t(i)].startLevel = -1.0 + i;
        settings[std::size_t(i)].maxInversions = trialsPerStaircase; // never reached in 100 trials
        settings[std::size_t(i)].maxTrials = trialsPerStaircase;
        settings[std::size_t(i)].negativeStep = 0.5;
        settings[std::size_t(i)].positiveStepsText = "0.2";
    }
    return settings;
}

struct Records {
    QVector<int> vIds, vNtrial, vSteps, vInversions;
    QVector<double> vStates;
    QBitArray vResponses;
    QMap<int, QMap<int, double>> reversalLevels;
    RunRecords records { vIds, vNtrial, vSteps, vInversions, vStates, vResponses, reversalLevels };
    TrialColumns columns() const { return { vIds, vNtrial, vSteps, vInversions, vStates, vResponses }; }
};

void simulate(Records &r, int repetitions)
{
    RandomEngine engine;
    ParStaircase parStaircase(engine);
    const PsychometricObserver observer(0.0, 1.0, 0.0, 0.0);
    const std::vector<StaircaseSettings> settings = pages();
    r.records.clear();
    int trialNumber = 0;
    for (int rep = 0; rep < repetitions; ++rep) {
        configureParStaircase(parStaircase, settings);
        trialNumber = runRepetition(parStaircase, observer, engine, r.records, trialNumber);
    }
}

void BM_Run(benchmark::State &state)
{
    for (auto _ : state) {
        Records r;
        simulate(r, int(state.range(0)));
        benchmark::DoNotOptimize(r.vIds.data());
    }
    state.counters["trials"] = double(state.range(0)) * staircases * trialsPerStaircase;
    state.counters["peak_MB"] = peakMegabytes();
}

void BM_Table(benchmark::State &state)
{
    Records r;
    simulate(r, int(state.range(0)));
    const QStringList headers { "ID", "Ntrial", "Steps", "Inversions", "State", "Response" };
    const QMap<int, QString> idTexts { { 0, "0" }, { 1, "1" }, { 2, "2" }, { 3, "3" } };
    QTableWidget table;
    for (auto _ : state)
        fillResultsTable(table, headers, r.columns(), idTexts, state.range(1) != 0);
    state.counters["rows"] = double(table.rowCount());
    state.counters["peak_MB"] = peakMegabytes();
}

void BM_Analysis(benchmark::State &state)
{
    Records r;
    simulate(r, int(state.range(0)));
    const PsychometricObserver observer(0.0, 1.0, 0.0, 0.0);
    for (auto _ : state)
        benchmark::DoNotOptimize(analysisLines(r.reversalLevels, 3, observer));
}

// Presses Start on a window, as the user does; includes clearing the previous run.
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
    auto *start = window.findChild<QPushButton *>("buttonStart");
    for (auto _ : state)
        start->click();
    state.counters["rows"] = double(window.findChild<QTableWidget *>("tableWidget")->rowCount());
    state.counters["peak_MB"] = peakMegabytes();
}

} // namespace

BENCHMARK(BM_Run)->Arg(250)->Arg(2500)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Table)
    ->Args({ 250, 0 })
    ->Args({ 2500, 0 })
    ->Args({ 2500, 1 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Analysis)->Arg(2500)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Start)
    ->Args({ 250, 0 })
    ->Args({ 2500, 0 })
    ->Args({ 2500, 1 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
