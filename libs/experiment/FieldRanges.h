#pragma once
// The ranges of the window's fields, and how a value read from a file is
// brought into them.
//
// Every value of an experiment lives in a spin box of the window, which holds
// only part of the numbers: each has a range, and the real ones keep three
// decimals. `fitToFields` changes an experiment exactly as the fields would
// (a real is rounded to three decimals, an exact tie away from zero, and then
// held within the range; an int is held within the range) and lists every
// value it changed. The window applies the fitted experiment and shows the
// list, so a file's values reach the window and a batch run alike.

#include "ExperimentFile.h"

#include <string>
#include <vector>

struct RealField {
    const char *name;
    double minimum;
    double maximum;
};

struct IntField {
    const char *name;
    int minimum;
    int maximum;
};

namespace FieldRanges
{

constexpr int realDecimals = 3;

constexpr RealField mean { "Mean", -100000.0, 100000.0 };
constexpr RealField standardDeviation { "Standard deviation", 0.001, 100000.0 };
constexpr RealField guessRate { "Guess rate", 0.0, 1.0 };
constexpr RealField lapseRate { "Lapse rate", 0.0, 1.0 };
constexpr IntField repetitions { "Simulator repetitions", 1, 999999 };

constexpr RealField startLevel { "Start level", -100000.0, 100000.0 };
constexpr IntField correctAnswers { "Correct answers", 1, 99 };
constexpr IntField maxInversions { "Max reversals", 1, 999999 };
constexpr IntField maxTrials { "Max trials", 1, 999999 };
constexpr RealField negativeStep { "Negative step", -99999.0, 99999.0 };
constexpr IntField maxClampHits { "Max clamp hits", 0, 99 };
constexpr RealField lowerClamp { "Lower clamp", -99999.0, 99999.0 };
constexpr RealField upperClamp { "Upper clamp", -99999.0, 99999.0 };

} // namespace FieldRanges

// The value the field holds after being given `value`.
double fitReal(double value, const RealField &field);
int fitInt(int value, const IntField &field);

// Fits every value of the experiment into its field; returns the changes in
// the order observer, then field by field over the staircases.
std::vector<ValueChange> fitToFields(ExperimentDescription &experiment);

// The one message that lists the changes, a line per value; a change shared by
// several staircases takes one line. Empty when there is no change.
std::string valueChangesMessage(const std::vector<ValueChange> &changes, int staircaseCount);
