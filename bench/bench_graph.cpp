// The graph drawn from a results table of 1,000,000 rows: 4 staircases, many repetitions.
// Only the drawing is timed (reading the table back, ordering the points, replotting).
#include "StaircaseGraph.h"

#include <QApplication>
#include <QTableWidget>
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <random>

namespace
{

constexpr int rowCount = 1000000;
constexpr int staircaseCount = 4;
constexpr int trialsPerStaircase = 50;

// Rows in trial order, as the table shows them after a run: every repetition interleaves the
// staircases at random, and each staircase's steps start again at 0.
QTableWidget &resultsTable()
{
    static QTableWidget *table = [] {
        auto *t = new QTableWidget(rowCount, 6);
        std::mt19937 random(5489);
        int row = 0;
        while (row < rowCount) {
            int steps[staircaseCount] = {};
            double levels[staircaseCount] = { 1.0, 0.5, -0.5, 2.0 };
            for (int k = 0; k < staircaseCount * trialsPerStaircase && row < rowCount; ++k, ++row) {
                int v = static_cast<int>(random() % staircaseCount);
                while (steps[v] == trialsPerStaircase)
                    v = (v + 1) % staircaseCount;
                t->setItem(row, 0, new QTableWidgetItem(QString::number(v)));
                t->setItem(row, 2, new QTableWidgetItem(QString::number(steps[v]++)));
                t->setItem(row, 4, new QTableWidgetItem(QString::number(levels[v], 'f', 3)));
                levels[v] += random() % 2 ? 0.125 : -0.0625;
            }
        }
        return t;
    }();
    return *table;
}

void drawGraph(benchmark::State &state)
{
    const bool showReference = state.range(0) != 0;
    QTableWidget &table = resultsTable();
    QCustomPlot plot;
    plot.resize(800, 500);
    plot.show(); // a hidden plot skips most of its drawing
    StaircaseGraph::setupPlot(plot, QApplication::font());
    const QVector<QColor> colors = StaircaseGraph::staircaseColors();
    const QMap<int, QString> ids = { { 0, "0" }, { 1, "1" }, { 2, "2" }, { 3, "3" } };
    const StaircaseGraph::Settings settings { staircaseCount, 0, showReference, { 1.0, 0.5, 0.0, 0.0 } };
    for (auto _ : state)
        StaircaseGraph::draw(plot, *table.model(), ids, colors, settings);
    state.SetItemsProcessed(state.iterations() * rowCount);
}

BENCHMARK(drawGraph)->ArgName("reference")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
