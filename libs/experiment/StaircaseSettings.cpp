#include "StaircaseSettings.h"

#include "TextUtils.h"

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>

#include <tuple>

Expected<std::vector<double>> positiveStepSizes(const std::string &text)
{
    std::vector<double> steps;
    for (const std::string &token : tokenize(boost::algorithm::trim_copy(text), ",")) {
        double step;
        if (!boost::conversion::try_lexical_convert(token, step))
            return Problem { "the positive step size \"" + token + "\" is not a number" };
        steps.push_back(step);
    }
    return steps;
}

bool observerRises(const ObserverSettings &observer)
{
    return observer.guessRate + observer.lapseRate < 1.0;
}

std::string staircaseId(const StaircaseSettings &settings, int index)
{
    return settings.useStringId ? settings.stringId : std::to_string(index);
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
