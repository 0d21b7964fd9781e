#pragma once
// The Analysis tab's statistics across repetitions: the comparison of the
// staircases of the run shown (ComparisonTable: the target each rule aims at,
// and what one session's estimate is worth over the repetitions), and the
// histogram of the per-repetition estimates, or numbers of trials, of every
// staircase ("All staircases", the first choice) or of one.
//
// Everything is read off the run shown: the targets use the observer and the
// staircase settings the run was started with (RunResult::request()), never the
// widgets as they are now. StaircaseTheory.h and RepetitionStats.h compute;
// this file only picks and formats ("." decimals whatever the locale).

#include "BackgroundRun.h"
#include "EstimatesHistogram.h"
#include "Estimators.h"
#include "ExactRun.h"
#include "RepetitionStats.h"
#include "StaircaseTheory.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class ComparisonTable;
class QComboBox;
class QCustomPlot;
class QTableWidget;

using EstimatesHistogram::WholeDistribution;

// How the staircase moves: "1-up/3-down, descending" (three positive answers in a
// row lower the level, one negative answer raises it), "2-up/1-down, ascending".
QString ruleText(const StaircaseSettings &staircase);

// The comparison of the estimators: its column titles, and one row per estimator.
QStringList estimatorComparisonHeaders();
QStringList estimatorComparisonRow(Estimator estimator, const RepetitionStats &stats);

class RepetitionStatsPanel
{
public:
    // `colors` are the staircases' graph colours, in staircase order (repeating;
    // none: black). Fills `estimatorChoice` with the estimators' labels, in their order.
    RepetitionStatsPanel(QTableWidget &table, QComboBox &staircaseChoice, QCustomPlot &histogram,
        QComboBox &estimatorChoice, QTableWidget &estimatorsTable, QVector<QColor> colors = {});
    ~RepetitionStatsPanel();

    // Shows `run` (none: empty), whose staircases aim at `theories` (one per
    // staircase, for the run's observer), with estimates by `settings`.
    void setRun(std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories,
        const EstimatorSettings &settings);
    // The same with the statistics worked out with the run, when they are for
    // the reversal estimates over the same K.
    void setRun(const FinishedRun &run, const EstimatorSettings &settings);
    void setLastReversals(int lastReversals);
    void setFirstReversal(int firstReversal);
    // The estimator of the table and the histogram (index in allEstimators).
    void setEstimator(int index);
    // The exact values of the run's staircases (one per staircase, or none);
    // the comparison table shows them beside the simulated values and the
    // histogram marks the exact mean for the K shown. A new run drops them.
    void setExact(std::vector<ExactRun> exact);
    // What the histogram counts: 0 the estimates, 1 the numbers of trials (with
    // the exact trials distribution as a line where it was computed).
    void setHistogramQuantity(int index);
    // Whether the comparison gives the exact values rows of their own.
    void setExactRows(bool shown);
    // Draws the histogram of the choice at that index of the staircase box: 0 is
    // every staircase, i ≥ 1 staircase i − 1 (an index out of range draws nothing).
    void showStaircase(int choice);

    // x* of every staircase of the run shown; empty where unreachable.
    std::vector<std::optional<double>> targetLevels() const;

private:
    // Shows the run with `given` statistics, one per staircase, or computes them.
    void show(std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories,
        const EstimatorSettings &settings, std::vector<RepetitionStats> given);
    void computeEstimates();
    // The statistics of the estimator shown.
    void showEstimates();
    // A staircase's statistics for an estimator, worked out the first time they are asked for.
    const RepetitionStats &statsOf(int staircase, Estimator e);
    const std::vector<std::optional<double>> &estimatesOf(int staircase, Estimator e) const;
    void fillEstimatorsTable(int staircase);
    void fillTable();
    QString staircaseName(int staircase) const;
    // The staircase's numbers of trials, one per repetition.
    std::vector<double> trialCounts(int staircase) const;
    // Its exact trials distribution, or none.
    WholeDistribution exactTrials(int staircase) const;

    std::unique_ptr<ComparisonTable> comparison;
    QComboBox &staircaseChoice;
    QCustomPlot &histogram;
    QVector<QColor> colors;
    std::shared_ptr<const RunResult> run;
    std::vector<StaircaseTheory> theories;
    QComboBox &estimatorChoice;
    QTableWidget &estimatorsTable;
    std::vector<StaircaseEstimates> estimates; // per staircase, every estimator
    std::vector<RepetitionStats> stats; // per staircase, for `estimator`
    // Per staircase and estimator, those worked out so far for the settings shown.
    std::vector<std::array<std::optional<RepetitionStats>, allEstimators.size()>> statsByEstimator;
    std::vector<ExactRun> exact;
    EstimatorSettings settings;
    Estimator estimator = Estimator::reversals;
    bool trialsHistogram = false;
};
