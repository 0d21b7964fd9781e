#include "FieldRanges.h"

#include "TextUtils.h"
#include "TrialTable.h"

#include <algorithm>
#include <charconv>

double fitReal(double value, const RealField &field)
{
    // The spin box keeps the number its text shows, then holds it within its
    // range. Its text has three decimals, rounded as the results table rounds
    // its levels (an exact tie such as 0.0625 away from zero).
    static_assert(FieldRanges::realDecimals == 3, "the level text has three decimals");
    const std::string text = levelText(value);
    double rounded = value;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return std::clamp(rounded, field.minimum, field.maximum);
}

int fitInt(int value, const IntField &field)
{
    return std::clamp(value, field.minimum, field.maximum);
}

namespace
{

class Fitter
{
public:
    void real(double &value, const RealField &field, int staircase = -1)
    {
        const double fitted = fitReal(value, field);
        if (fitted != value)
            changes.push_back({ field.name, staircase, formatReal(value), formatReal(fitted) });
        value = fitted;
    }
    void integer(int &value, const IntField &field, int staircase = -1)
    {
        const int fitted = fitInt(value, field);
        if (fitted != value)
            changes.push_back({ field.name, staircase, std::to_string(value), std::to_string(fitted) });
        value = fitted;
    }

    std::vector<ValueChange> changes;
};

// "Staircase 3", "Staircases 0, 2 and 5" or "every staircase".
std::string staircasesText(const std::vector<int> &staircases, int staircaseCount)
{
    if (staircases.size() == 1)
        return "Staircase " + std::to_string(staircases.front());
    if (static_cast<int>(staircases.size()) == staircaseCount)
        return "every staircase";
    std::string text = "Staircases ";
    for (std::size_t i = 0; i < staircases.size(); ++i)
        text += (i == 0 ? "" : i + 1 == staircases.size() ? " and " : ", ") + std::to_string(staircases[i]);
    return text;
}

} // namespace

std::vector<ValueChange> fitToFields(ExperimentDescription &experiment)
{
    Fitter fit;
    ObserverSettings &o = experiment.observer;
    fit.real(o.mean, FieldRanges::mean);
    fit.real(o.standardDeviation, FieldRanges::standardDeviation);
    fit.real(o.guessRate, FieldRanges::guessRate);
    fit.real(o.lapseRate, FieldRanges::lapseRate);
    if (experiment.repetitions)
        fit.integer(*experiment.repetitions, FieldRanges::repetitions);

    std::vector<StaircaseSettings> &staircases = experiment.staircases;
    const int n = static_cast<int>(staircases.size());
    const auto eachStaircase = [&](auto fitOne) {
        for (int i = 0; i < n; ++i)
            fitOne(staircases[std::size_t(i)], i);
    };
    eachStaircase([&](StaircaseSettings &s, int i) { fit.real(s.startLevel, FieldRanges::startLevel, i); });
    eachStaircase(
        [&](StaircaseSettings &s, int i) { fit.integer(s.correctAnswers, FieldRanges::correctAnswers, i); });
    eachStaircase(
        [&](StaircaseSettings &s, int i) { fit.integer(s.maxInversions, FieldRanges::maxInversions, i); });
    eachStaircase([&](StaircaseSettings &s, int i) { fit.integer(s.maxTrials, FieldRanges::maxTrials, i); });
    eachStaircase(
        [&](StaircaseSettings &s, int i) { fit.real(s.negativeStep, FieldRanges::negativeStep, i); });
    eachStaircase(
        [&](StaircaseSettings &s, int i) { fit.integer(s.maxClampHits, FieldRanges::maxClampHits, i); });
    eachStaircase([&](StaircaseSettings &s, int i) { fit.real(s.lowerClamp, FieldRanges::lowerClamp, i); });
    eachStaircase([&](StaircaseSettings &s, int i) { fit.real(s.upperClamp, FieldRanges::upperClamp, i); });
    return fit.changes;
}

std::string valueChangesMessage(const std::vector<ValueChange> &changes, int staircaseCount)
{
    if (changes.empty())
        return std::string();
    // Changes of the same field from the same file value to the same used value share a line.
    struct Line {
        const ValueChange *change;
        std::vector<int> staircases;
    };
    std::vector<Line> lines;
    for (const ValueChange &c : changes) {
        const auto same = [&c](const Line &l) {
            return l.change->field == c.field && l.change->fileValue == c.fileValue
                && l.change->usedValue == c.usedValue && (l.change->staircase < 0) == (c.staircase < 0);
        };
        const auto line = std::find_if(lines.begin(), lines.end(), same);
        if (line == lines.end())
            lines.push_back({ &c, { c.staircase } });
        else
            line->staircases.push_back(c.staircase);
    }
    std::string text = "These values of the parameters file do not fit their fields and were changed; "
                       "Save writes the values used:\n";
    for (const Line &l : lines) {
        text += "\n" + l.change->field;
        if (l.change->staircase >= 0)
            text += " of " + staircasesText(l.staircases, staircaseCount);
        text += ": " + l.change->fileValue + " in the file, " + l.change->usedValue + " used";
    }
    return text;
}
