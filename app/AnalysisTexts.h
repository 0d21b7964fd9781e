#pragma once
// Number texts and statistics of the Analysis tab.
//
// Every number text of the analysis is made here, with Qt's own conversion (the
// trial table's texts come from TrialTable.h): "." is always the decimal point,
// whatever the user's locale.

#include <QString>
#include <QStringList>
#include <QVector>

// An average over the last reversals: fixed notation, 6 decimals (1.5 gives "1.500000").
QString averageText(double average);

// A probability as a percentage: 6 significant digits, shortest of fixed or
// exponential notation, then "%" (0.75 gives "75%").
QString targetText(double probability);

// Texts of the statistics across repetitions. A value that is not available
// (no estimate, an unreachable target) reads notAvailableText.
extern const QString notAvailableText;

// A level or a spread in level units: 4 decimals, or 3 significant digits for
// magnitudes below 0.01 so that small spreads do not read 0.0000.
QString statLevelText(double level);
// A difference in level units: statLevelText with a sign ("+0.0125", "-0.2000").
QString signedStatLevelText(double difference);
// A probability as a percentage with 2 decimals (0.79370 gives "79.37%").
QString percentText(double probability);
// A difference of percentages in percentage points, signed, 2 decimals ("+0.18").
QString percentPointsText(double points);

struct RunRequest;
class RunResult;

// The two analysis lists, one line per staircase in ascending id order.
struct AnalysisLines {
    QStringList averages; // average level over the last reversals
    QStringList targets; // the observer's probability of a positive answer there
};

// The lines of the run's lastReversalsAverages over the last `lastCount` reversals (Run.h).
AnalysisLines analysisLines(const RunResult &result, int lastCount);

// Checks the number of reversals to average against the maximum reversals of
// the run's staircases. When `value` exceeds the smallest maximum, returns the
// warning naming the staircases whose maximum is below `value` and sets
// `lowest` to that smallest maximum; otherwise returns an empty string.
QString lastReversalsWarning(const RunRequest &request, int value, int &lowest);
