#pragma once
// The plain values of an experiment: the simulated observer and one
// staircase's settings as its parameter page holds them. The parameter file,
// the run and the window's pages all exchange experiments in this form.

#include "Problem.h"

#include <string>
#include <vector>

struct ObserverSettings {
    double mean = 0.0;
    double standardDeviation = 1.0;
    double lapseRate = 0.0;
    double guessRate = 0.0;
};

// Whether the psychometric function rises with the level: the guess rate and
// the lapse rate add up to less than 1 (false for a NaN). A run needs it.
bool observerRises(const ObserverSettings &observer);

bool operator==(const ObserverSettings &a, const ObserverSettings &b);
inline bool operator!=(const ObserverSettings &a, const ObserverSettings &b)
{
    return !(a == b);
}

// The largest number of staircases an experiment may have.
constexpr int maxStaircaseCount = 99;

// One staircase page's values; the defaults are those of a new page.
struct StaircaseSettings {
    double startLevel = -5.0;
    bool ascending = true;
    int correctAnswers = 1;
    int maxInversions = 4;
    int maxTrials = 100;
    std::string positiveStepsText = "0.2";
    double negativeStep = 0.5;
    bool clampActive = false;
    double lowerClamp = -99999.0;
    double upperClamp = 99999.0;
    int maxClampHits = 0;
    // The page's "String ID" text (UTF-8), kept whether or not its box is checked.
    std::string stringId;
    bool useStringId = false;
};

// The text that names a staircase in tables, legends and files: its string ID
// when the box is checked (even when empty), otherwise its index among the
// experiment's staircases, "0" for the first. A run's result gives it as valid
// UTF-8 (RunResult::staircaseId), and each writer encodes that text in one way:
// the results table, the graph's legend, the statistics and the repetition
// summary show it as UTF-8 (the summary with blanks for tabs and line breaks,
// quoted when it holds a '"'); the trials export writes Latin-1 with "?" for
// every other character (TrialTable.h), byte for byte as it always has.
std::string staircaseId(const StaircaseSettings &settings, int index);

// Every field equal; the string ID text counts even while its box is unchecked.
bool operator==(const StaircaseSettings &a, const StaircaseSettings &b);
inline bool operator!=(const StaircaseSettings &a, const StaircaseSettings &b)
{
    return !(a == b);
}

// The positive step sizes of a step text such as "1,0.5,0.2": the ends are
// trimmed, the text is split at commas (empty parts are skipped) and every part
// must be a number. The problem names the first part that is not one:
// 'the positive step size "abc" is not a number'.
Expected<std::vector<double>> positiveStepSizes(const std::string &text);
