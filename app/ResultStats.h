#pragma once
// Number texts and statistics of the Analysis tab.
//
// The results table, the analysis lists and everything that reads them back
// (graph, export) agree because every number text is made here, with Qt's own
// conversion: "." is always the decimal point, whatever the user's locale.

#include <QMap>
#include <QString>

// A level in the "State" column: fixed notation, 3 decimals (-4.5 gives "-4.500").
QString stateText(double level);

// An average over the last reversals: fixed notation, 6 decimals (1.5 gives "1.500000").
QString averageText(double average);

// A probability as a percentage: 6 significant digits, shortest of fixed or
// exponential notation, then "%" (0.75 gives "75%").
QString targetText(double probability);

// Average of the levels stored under the highest `lastCount` inversion counts
// (inversion count -> level). The divisor is the number of levels actually
// summed, so a staircase that reached fewer reversals than asked for is not
// pulled towards 0. An empty map, or a count below 1, gives 0.
double averageOfLastReversals(const QMap<int, double> &levelsByInversion, int lastCount);
