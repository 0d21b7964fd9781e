#pragma once
// Fills the results table of the Analysis tab from the per-trial arrays of a
// run: one row per trial, one plain text item per cell, texts from
// ResultStats.h. Built for a million rows: the view is not updated while it
// fills, sorting is Qt's own stable text sort, and every row gets the height
// of one line instead of being measured.

#include <QBitArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

class QTableWidget;

// The per-trial arrays of one run; element k of every array is trial k.
struct TrialColumns {
    const QVector<int> &vIds;
    const QVector<int> &vNtrial;
    const QVector<int> &vSteps;
    const QVector<int> &vInversions;
    const QVector<double> &vStates;
    const QBitArray &vResponses;
};

// Replaces the table's content with one row per trial. Column 0 shows the
// display text of the trial's staircase id (`idTexts`; an id without a text
// shows an empty cell). With `sortById` the rows are sorted by that text,
// ascending and stable (an ID of "10" sorts before "2").
void fillResultsTable(QTableWidget &table, const QStringList &headerLabels, const TrialColumns &trials,
    const QMap<int, QString> &idTexts, bool sortById);
