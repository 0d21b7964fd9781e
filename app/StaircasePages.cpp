#include "StaircasePages.h"

#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

#include <QSpinBox>

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

void writeStaircasePage(StaircaseParamSetter &page, const StaircaseSettings &settings)
{
    page.setAscending(settings.ascending);
    page.setStartLevel(settings.startLevel);
    page.setCorrectAnswers(settings.correctAnswers);
    page.setMaxInversions(settings.maxInversions);
    page.setMaxTrials(settings.maxTrials);
    page.setNegativeStep(settings.negativeStep);
    page.setPositiveStepsText(settings.positiveStepsText);
    page.setClampActive(settings.clampActive);
    page.setLowerClamp(settings.lowerClamp);
    page.setUpperClamp(settings.upperClamp);
    page.setMaxClampHits(settings.maxClampHits);
    page.setStringIdText(QString::fromStdString(settings.stringId));
    page.setStringIdActive(settings.useStringId);
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

QString duplicateCurrentPage(TabStaircase &tabs, QSpinBox &staircaseCount)
{
    const StaircaseParamSetter *current = tabs.pageAt(tabs.currentIndex());
    if (!current)
        return QString();
    const int n = tabs.count();
    if (n >= staircaseCount.maximum())
        return QStringLiteral("The experiment already has %1 staircases, the most it can have; "
                              "Duplicate staircase added none.")
            .arg(n);
    const StaircaseSettings settings = readStaircasePage(*current);
    staircaseCount.setValue(n + 1); // adds the page
    if (StaircaseParamSetter *added = tabs.pageAt(n)) {
        writeStaircasePage(*added, settings);
        tabs.setCurrentIndex(n);
    }
    return QString();
}
