#pragma once
// The Analysis tab's statistics across repetitions: the comparison of the
// staircases of the run shown (ComparisonTable: the target each rule aims at,
// and what one session's estimate is worth over the repetitions), and the
// histogram of the per-repetition estimates, or numbers of trials, of every
// staircase ("All staircases", the first choice) or of one.
//
// Everything is read off the run shown: the targets use the observer and the
// staircase settings the run was started with (RunResult::request()), never the
// widgets as they are now. RunAnalysis.h computes, off the GUI thread when K or
// R changes (BackgroundAnalysis; the tables are greyed until the new numbers
// come, and a further change supersedes the one under way); this file only
// picks and formats ("." decimals whatever the locale).

#include "BackgroundRun.h"
#include "EstimatesHistogram.h"
#include "Estimators.h"
#include "ExactRun.h"
#include "RepetitionStats.h"
#include "RunAnalysis.h"
#include "StaircaseTheory.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>
#include <vector>

class BackgroundAnalysis;
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
    // staircase, for the run's observer), with estimates by `settings`, worked
    // out now on this thread.
    void setRun(std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories,
        const EstimatorSettings &settings);
    // The same with the analysis worked out with the run; if it was for other
    // settings, the one for `settings` follows in the background.
    void setRun(const FinishedRun &run, const EstimatorSettings &settings);
    // A new K or R: the analysis for it is worked out in the background.
    void setLastReversals(int lastReversals);
    void setFirstReversal(int firstReversal);
    // Whether an analysis for new settings is under way (the tables are greyed).
    bool isAnalysing() const;
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
    void show(std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories,
        std::shared_ptr<const RunAnalysis> analysis, const EstimatorSettings &settings);
    // Starts the analysis for `settings` unless the one shown is for them; one
    // under way for other settings is cancelled and this one follows it.
    void analyse();
    void analysed(std::shared_ptr<const RunResult> of, std::shared_ptr<const RunAnalysis> result);
    // The statistics of the estimator shown.
    void showEstimates();
    // The settings of the numbers shown.
    const EstimatorSettings &shownSettings() const;
    const RepetitionStats &statsOf(int staircase, Estimator e) const;
    const std::vector<std::optional<double>> &estimatesOf(int staircase, Estimator e) const;
    void fillEstimatorsTable(int staircase);
    void fillTable();
    QString staircaseName(int staircase) const;
    // The staircase's numbers of trials, one per repetition.
    std::vector<double> trialCounts(int staircase) const;
    // Its exact trials distribution, or none.
    WholeDistribution exactTrials(int staircase) const;

    QTableWidget &table;
    std::unique_ptr<ComparisonTable> comparison;
    QComboBox &staircaseChoice;
    QCustomPlot &histogram;
    QVector<QColor> colors;
    std::shared_ptr<const RunResult> run;
    std::vector<StaircaseTheory> theories;
    QComboBox &estimatorChoice;
    QTableWidget &estimatorsTable;
    // Every estimator's estimates and statistics of the run shown, for shownSettings().
    std::shared_ptr<const RunAnalysis> analysis;
    std::vector<RepetitionStats> stats; // per staircase, for `estimator`
    std::unique_ptr<BackgroundAnalysis> background;
    std::vector<ExactRun> exact;
    EstimatorSettings settings; // as the window's fields ask for them
    Estimator estimator = Estimator::reversals;
    bool trialsHistogram = false;
};
