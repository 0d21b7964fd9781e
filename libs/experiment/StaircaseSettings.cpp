#include "StaircaseSettings.h"

#include "TextUtils.h"

#include <tuple>

std::vector<double> positiveStepSizes(const std::string &text)
{
    return stringToVector<double>(text, ",");
}

bool operator==(const ObserverSettings &a, const ObserverSettings &b)
{
    return std::tie(a.mean, a.standardDeviation, a.lapseRate, a.guessRate)
        == std::tie(b.mean, b.standardDeviation, b.lapseRate, b.guessRate);
}

bool operator==(const StaircaseSettings &a, const StaircaseSettings &b)
{
    const auto fields = [](const StaircaseSettings &s) {
        return std::tie(s.startLevel, s.ascending, s.correctAnswers, s.maxInversions, s.maxTrials,
            s.positiveStepsText, s.negativeStep, s.clampActive, s.lowerClamp, s.upperClamp, s.maxClampHits,
            s.stringId, s.useStringId);
    };
    return fields(a) == fields(b);
}
