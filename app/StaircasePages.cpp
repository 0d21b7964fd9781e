#include "StaircasePages.h"

#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

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

RunRequest readRunRequest(const TabStaircase &tabs, const ObserverSettings &observer, int repetitions)
{
    RunRequest request;
    request.observer = observer;
    request.staircases = readStaircasePages(tabs);
    request.repetitions = repetitions;
    return request;
}
