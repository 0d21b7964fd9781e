#include "StaircasePages.h"

#include "StaircaseParamSetter.h"
#include "TabStaircase.h"
#include "TextUtils.h"

#include <QCoreApplication>

#include <cmath>

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>

namespace
{

const char stepsSeparators[] = ",";

QString tr(const char *text)
{
    return QCoreApplication::translate("StaircasePages", text);
}

// The first token of the positive steps text that is not a number, if any.
bool firstBadToken(const std::string &text, std::string &bad)
{
    std::string trimmed = text;
    boost::algorithm::trim(trimmed);
    for (const std::string &token : tokenize(trimmed, stepsSeparators)) {
        double value;
        // "nan" and "inf" convert, but no staircase can step by them.
        if (!boost::conversion::try_lexical_convert(token, value) || !std::isfinite(value)) {
            bad = token;
            return true;
        }
    }
    return false;
}

} // namespace

StaircaseSettings readStaircasePage(const StaircaseParamSetter &page)
{
    StaircaseSettings settings;
    settings.ascending = page.isAscending();
    settings.startLevel = page.getStartLevel();
    settings.correctAnswers = page.getCorrectAnswers();
    settings.maxInversions = page.getMaxInversions();
    settings.maxTrials = page.getMaxTrials();
    settings.negativeStep = page.getNegativeStep();
    settings.positiveStepsText = page.getPositiveStepsText();
    settings.clampActive = page.isClampActive();
    settings.lowerClamp = page.getLowerClamp();
    settings.upperClamp = page.getUpperClamp();
    settings.maxClampHits = page.getMaxClampHits();
    settings.stringId = page.getStringIdText().toStdString();
    settings.useStringId = page.isStringIdActive();
    return settings;
}

std::vector<StaircaseSettings> readStaircasePages(const TabStaircase &tabs)
{
    std::vector<StaircaseSettings> staircases;
    staircases.reserve(std::size_t(tabs.count()));
    for (int i = 0; i < tabs.count(); ++i)
        staircases.push_back(readStaircasePage(*tabs.pageAt(i)));
    return staircases;
}

QString staircaseProblem(const StaircaseSettings &settings, const QString &title)
{
    const QString example = tr("Enter one step size per reversal, separated by commas, e.g. 1,0.5,0.2");
    std::string bad;
    if (firstBadToken(settings.positiveStepsText, bad))
        return tr("%1: the positive step size \"%2\" is not a number. %3")
            .arg(title, QString::fromStdString(bad), example);
    if (positiveStepSizes(settings.positiveStepsText).empty()) // every token is a number by now
        return tr("%1: no positive step size is given. %2").arg(title, example);
    if (settings.clampActive && !(settings.lowerClamp < settings.upperClamp))
        return tr("%1: the lower clamp (%2) must be below the upper clamp (%3).")
            .arg(title, QString::number(settings.lowerClamp), QString::number(settings.upperClamp));
    return QString();
}

QString runProblem(const std::vector<StaircaseSettings> &staircases)
{
    for (std::size_t i = 0; i < staircases.size(); ++i) {
        const QString problem = staircaseProblem(staircases[i], staircaseTabTitle(int(i)));
        if (!problem.isEmpty())
            return problem + QLatin1Char('\n') + tr("The simulation was not started.");
    }
    return QString();
}
