#pragma once
// The plain values of an experiment: the simulated observer and one
// staircase's settings as its parameter page holds them. The parameter file,
// the run and the window's pages all exchange experiments in this form.

#include <string>
#include <vector>

struct ObserverSettings {
    double mean = 0.0;
    double standardDeviation = 1.0;
    double lapseRate = 0.0;
    double guessRate = 0.0;
};

bool operator==(const ObserverSettings &a, const ObserverSettings &b);
inline bool operator!=(const ObserverSettings &a, const ObserverSettings &b)
{
    return !(a == b);
}

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

// Every field equal; the string ID text counts even while its box is unchecked.
bool operator==(const StaircaseSettings &a, const StaircaseSettings &b);
inline bool operator!=(const StaircaseSettings &a, const StaircaseSettings &b)
{
    return !(a == b);
}

// The positive step sizes of a step text such as "1,0.5,0.2": the ends are
// trimmed, the text is split at commas (empty parts are skipped) and every part
// must be a number; throws boost::bad_lexical_cast otherwise.
std::vector<double> positiveStepSizes(const std::string &text);
