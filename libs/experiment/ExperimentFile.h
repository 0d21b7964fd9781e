#pragma once
// An experiment as the parameter file stores it, and the two conversions
// between that plain description and the file.
//
// `readExperiment` takes a loaded key table and either returns a complete,
// checked experiment or the one problem found: every required key, count check and
// number conversion is done here, so the window can apply the result without
// any step failing half-way. Missing observer keys are not errors; they give
// their default and a warning text, in the order the window shows them. Values
// outside their fields' ranges are not errors either: the experiment holds
// them fitted into the fields (FieldRanges.h), and `changes` lists them.
//
// `writeExperiment` produces the file's lines: the fifteen classic lines, whose
// single negative step, clamps and clamp-hit limit are the first staircase's,
// then "sStairClampActive" (each staircase's clamp switch), then what the
// classic lines cannot hold (readers that ignore unknown keys still read our
// files):
//
//   sStairRepetitions: 20                    the simulator's repetitions
//   sStairStringIdActive: 1,0,1              each "String ID" box
//   sStairStringIds: left,,right             each string ID (left out when all are empty)
//   sStairNegativeStepList: 0.5,0.25,1       each staircase's own negative step,
//   sStairClampLowerList: -3,-99999,-2       lower clamp,
//   sStairClampUpperList: 5,99999,2          upper clamp
//   sStairMaxClampHitsList: 2,0,5            and clamp-hit limit
//
// Each of these is optional on reading, with the count check of the other
// lists; a list replaces the single value of its classic line, and without the
// string ID lines Open leaves the pages' string IDs as they are. Reals are
// written in the shortest text that reads back to the same number.

#include "Problem.h"
#include "StaircaseSettings.h"

#include <optional>
#include <string>
#include <vector>

class ParametersLoader;

struct ExperimentDescription {
    ObserverSettings observer;
    std::vector<StaircaseSettings> staircases;
    // The simulator's repetitions; none for a file without them.
    std::optional<int> repetitions;
    // Whether the staircases' string IDs and their "String ID" boxes are known;
    // false for a file without them.
    bool stringIdsGiven = false;
};

bool operator==(const ExperimentDescription &a, const ExperimentDescription &b);
inline bool operator!=(const ExperimentDescription &a, const ExperimentDescription &b)
{
    return !(a == b);
}

// One value of a file that did not fit its field (FieldRanges.h).
struct ValueChange {
    std::string field; // the field's name, e.g. "Max trials"
    int staircase = -1; // the staircase's index; -1 for a value of the whole experiment
    std::string fileValue;
    std::string usedValue;
};

// A file that passed every check.
struct ExperimentReading {
    ExperimentDescription experiment;
    // One text per missing observer key, in the order GuessRate, LapseRate, Mu, Sigma.
    std::vector<std::string> warnings;
    // Every value that was changed to fit its field.
    std::vector<ValueChange> changes;
};

// The most positive step sizes a staircase's list may hold in a file. A page
// takes up to 999999 reversals, but no real procedure needs more than a few
// dozen sizes, and a much longer text makes the page slow to lay out.
constexpr int maxPositiveStepCount = 100000;

Expected<ExperimentReading> readExperiment(const ParametersLoader &loader);

// Loads the file at `path` and reads it as above; a file that cannot be read
// gives the problem "Can't read the parameters file <path>:\n<reason>".
Expected<ExperimentReading> readExperimentFile(const std::string &path);

// None unless the guess rate and the lapse rate add up to 1 or more, for
// which the psychometric function does not rise; then a warning that says so
// and that Start refuses to run.
std::optional<Problem> guessAndLapseWarning(const ObserverSettings &observer);

// None when the experiment can be written; otherwise the problem naming the first
// staircase whose positive-step text would break the file's line structure
// (white space inside it, a ':' or ';', or nothing at all once trimmed).
std::optional<Problem> positiveStepsProblem(const ExperimentDescription &experiment);

// None when the experiment can be written; otherwise the problem naming the first
// staircase whose string ID the file cannot hold (white space, a ':' or a ',').
std::optional<Problem> stringIdProblem(const ExperimentDescription &experiment);

// The whole file text, one line per key, each ending with a line break.
std::string writeExperiment(const ExperimentDescription &experiment);
