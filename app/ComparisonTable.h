#pragma once
// The Analysis tab's comparison of the staircases of the run shown: one
// column per staircase, one row per measure, grouped Target, Estimates, Cost
// and Efficiency. The measures' names sit in the table's vertical header, so
// they stay in view when the columns scroll; each has a tooltip saying what it
// means and what it is measured against.
//
// `comparisonRows` turns the engine's values (StaircaseTheory,
// RepetitionStats) into texts and marks, without a widget; `ComparisonTable`
// shows them on a QTableWidget, marks each row's best value bold and copies
// the selection as tab-separated text (Ctrl+C). So that four staircases read at
// a glance at the window's first size, a measure's 95 % interval shows on a
// second line of its cell and its exact value in the cell's tooltip (or, on
// request, in rows of their own); a copy still gives each as a row of its own.
// A new measure is one more entry in the list of measures in
// ComparisonTable.cpp; a new column (a value per staircase from elsewhere) is
// one more ComparisonColumn.

#include "ExactRun.h"
#include "RepetitionStats.h"
#include "StaircaseTheory.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>
#include <vector>

class QTableWidget;

// What one column shows: a staircase of the run, its targets for the run's
// observer and its statistics across the repetitions.
struct ComparisonColumn {
    QString header; // "0 · 1-up/3-down, desc."
    StaircaseSettings staircase;
    StaircaseTheory theory;
    RepetitionStats stats;
    QString headerToolTip; // the rule in full
    // The staircase's exact finite-run values (null: none for this run). The
    // rows "…, exact" show them beside the simulated values.
    const ExactRun *exact = nullptr;
    // False when the estimates shown are not the last K reversals': the exact
    // values are for that estimator only, and their rows show "—".
    bool exactApplies = true;
};

// Which value of a row is best across the staircases.
enum class BestValue { none, smallest, smallestMagnitude };

// A row of its own, or one that the table shows in the cells of the measure
// row before it: its 95 % interval, or its exact value.
enum class RowKind { measure, interval, exact };

struct ComparisonRow {
    QString group; // "Target", "Estimates", "Cost", "Efficiency"
    QString name;
    QString toolTip;
    QStringList cells; // one per column
    QStringList cellToolTips; // one per column, most empty
    BestValue best = BestValue::none;
    QVector<std::optional<double>> values; // what `best` compares, one per column
    RowKind kind = RowKind::measure;
};

// "0 · 1-up/3-down, desc.": the staircase's ID and its rule, short.
QString comparisonHeader(const QString &id, const StaircaseSettings &staircase);

// The rows in the order shown; K names the reversals per estimate. Each
// "…, exact" row follows its simulated row: "0.5321 (sim. +0.8 SE)".
QVector<ComparisonRow> comparisonRows(const std::vector<ComparisonColumn> &columns, int lastReversals);

// The column of the row's best value, or −1: with fewer than two columns, when
// the row has no best, or when no column has a value.
int bestColumn(const ComparisonRow &row);

// A 95 % interval: "[0.3800, 0.4400]".
QString intervalText(const std::optional<Interval> &interval, QString (*format)(double));

class ComparisonTable
{
public:
    // Sets the table's minimum height to what every measure needs, so that the
    // window's first size shows them all without scrolling.
    explicit ComparisonTable(QTableWidget &table);

    void show(const std::vector<ComparisonColumn> &columns, int lastReversals);
    // Whether the exact values get rows of their own (the table then scrolls)
    // rather than only the tooltips of the simulated values' cells.
    void setExactRows(bool shown);

    // The selected cells as tab-separated lines: a first line of the selected
    // columns' headers (after an empty corner), then one line per selected
    // measure, its name first. What Ctrl+C puts on the clipboard.
    QString selectionText() const;
    void copySelection() const;

private:
    void fill();
    // The height of a line of the table: one measure, or one interval.
    int lineHeight() const;

    QTableWidget &table;
    QVector<ComparisonRow> rows; // of the run shown
    int columnCount = 0;
    bool exactRows = false;
    // Per line of the table, the rows it shows (the measure's first); none for a group's heading.
    std::vector<std::vector<int>> lineRows;
};
