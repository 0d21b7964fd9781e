#pragma once
// The Analysis tab's statistics across repetitions: one table row per staircase
// of the run shown (its rule, the target the rule aims at, and what one
// session's estimate is worth over the repetitions), and the histogram of one
// staircase's per-repetition estimates.
//
// The estimator chosen in its combo box (Estimators.h) gives the estimates of
// the table and the histogram; a second table compares all four estimators on
// one staircase (the one whose histogram is shown), the lowest RMSE in bold.
// The estimates of every estimator come from one pass over the run
// (runEstimates) and are kept until K or R change.
//
// Everything is read off the run shown: the targets use the observer and the
// staircase settings the run was started with (RunResult::request()), never the
// widgets as they are now. StaircaseTheory.h and RepetitionStats.h compute;
// this file only picks and formats ("." decimals whatever the locale).

#include "RepetitionStats.h"
#include "StaircaseTheory.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QCustomPlot;
class QTableWidget;

// How the staircase moves: "1-up/3-down, descending" (three positive answers in a
// row lower the level, one negative answer raises it), "2-up/1-down, ascending".
QString ruleText(const StaircaseSettings &staircase);

// The column titles; the last one names K ("Fewer than 6 reversals").
QStringList repetitionStatsHeaders(int lastReversals);

// One row of the table, in the order of repetitionStatsHeaders.
QStringList repetitionStatsRow(const QString &id, const StaircaseSettings &staircase,
    const StaircaseTheory &theory, const RepetitionStats &stats);

// The target of every entry of the positive steps, one line each with ψ* and x*.
QString perStepTargetsToolTip(const StaircaseTheory &theory);

// The comparison of the estimators: its column titles, and one row per estimator.
QStringList estimatorComparisonHeaders();
QStringList estimatorComparisonRow(Estimator estimator, const RepetitionStats &stats);

class RepetitionStatsPanel
{
public:
    // Fills `estimatorChoice` with the estimators' labels, in their order.
    RepetitionStatsPanel(QTableWidget &table, QComboBox &staircaseChoice, QCustomPlot &histogram,
        QComboBox &estimatorChoice, QTableWidget &estimatorsTable);

    // Shows `run` (none: empty), whose staircases aim at `theories` (one per
    // staircase, for the run's observer), with estimates by `settings`.
    void setRun(std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories,
        const EstimatorSettings &settings);
    void setLastReversals(int lastReversals);
    void setFirstReversal(int firstReversal);
    // The estimator of the table and the histogram (index in allEstimators).
    void setEstimator(int index);
    // Draws the histogram of that staircase (an index out of range draws nothing).
    void showStaircase(int staircase);

    // x* of every staircase of the run shown; empty where unreachable.
    std::vector<std::optional<double>> targetLevels() const;

private:
    void computeEstimates();
    void showEstimates();
    void fillTable();
    void fillEstimatorsTable(int staircase);
    const std::vector<std::optional<double>> &estimatesOf(int staircase, Estimator estimator) const;
    QString staircaseName(int staircase) const;

    QTableWidget &table;
    QComboBox &staircaseChoice;
    QCustomPlot &histogram;
    std::shared_ptr<const RunResult> run;
    std::vector<StaircaseTheory> theories;
    QComboBox &estimatorChoice;
    QTableWidget &estimatorsTable;
    std::vector<StaircaseEstimates> estimates; // per staircase, every estimator
    std::vector<RepetitionStats> stats; // per staircase, for `estimator`
    EstimatorSettings settings;
    Estimator estimator = Estimator::reversals;
};
