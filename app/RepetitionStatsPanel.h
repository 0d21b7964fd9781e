#pragma once
// The Analysis tab's statistics across repetitions: one table row per staircase
// of the run shown (its rule, the target the rule aims at, and what one
// session's estimate is worth over the repetitions), and the histogram of one
// staircase's per-repetition estimates.
//
// Everything is read off the run shown: the targets use the observer and the
// staircase settings the run was started with (RunResult::request()), never the
// widgets as they are now. StaircaseTheory.h and RepetitionStats.h compute;
// this file only picks and formats ("." decimals whatever the locale).

#include "ExactRun.h"
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

class RepetitionStatsPanel
{
public:
    RepetitionStatsPanel(QTableWidget &table, QComboBox &staircaseChoice, QCustomPlot &histogram);

    // Shows `run` (none: empty), whose staircases aim at `theories` (one per
    // staircase, for the run's observer), with estimates over the last
    // `lastReversals` reversals.
    void setRun(
        std::shared_ptr<const RunResult> run, std::vector<StaircaseTheory> theories, int lastReversals);
    void setLastReversals(int lastReversals);
    // The exact values of the run's staircases (one per staircase, or none);
    // the histogram marks the exact mean for the K shown.
    void setExact(std::vector<ExactRun> exact);
    // Draws the histogram of that staircase (an index out of range draws nothing).
    void showStaircase(int staircase);

    // x* of every staircase of the run shown; empty where unreachable.
    std::vector<std::optional<double>> targetLevels() const;

private:
    void fillTable();
    QString staircaseName(int staircase) const;

    QTableWidget &table;
    QComboBox &staircaseChoice;
    QCustomPlot &histogram;
    std::shared_ptr<const RunResult> run;
    std::vector<StaircaseTheory> theories;
    std::vector<RepetitionStats> stats;
    std::vector<ExactRun> exact;
    int lastReversals = defaultLastReversals;
};
