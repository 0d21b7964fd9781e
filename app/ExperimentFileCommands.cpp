#include "ExperimentFileCommands.h"

#include "AtomicFile.h"
#include "FieldRanges.h"
#include "StaircasePages.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSpinBox>

void newExperiment(const ExperimentWidgets &widgets)
{
    widgets.tabs->removeAllPages();
    widgets.tabs->setNumberOfTabs(1);
    widgets.staircaseCount->setValue(1);
}

Expected<ExperimentReading> readExperimentForWindow(const QString &path)
{
    const std::string name = QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
    Expected<ExperimentReading> reading = readExperimentFile(QFile::encodeName(path).toStdString());
    // A file that was read but is no experiment (a missing key, a bad value) is named too.
    if (!reading
        && reading.problem().message.find(QFile::encodeName(path).toStdString()) == std::string::npos)
        return Problem { "Can't open the parameters file " + name + ":\n" + reading.problem().message };
    return reading;
}

QStringList applyExperiment(const ExperimentReading &reading, const ExperimentWidgets &widgets)
{
    const std::vector<StaircaseSettings> &staircases = reading.experiment.staircases;
    const int n = static_cast<int>(staircases.size());
    widgets.tabs->setNumberOfTabs(n);
    widgets.staircaseCount->setValue(n);

    for (int i = 0; i < widgets.tabs->count() && i < n; ++i) {
        const StaircaseSettings &s = staircases[static_cast<std::size_t>(i)];
        StaircaseParamSetter *page = widgets.tabs->pageAt(i);
        page->setStartLevel(s.startLevel);
        page->setCorrectAnswers(s.correctAnswers);
        page->setAscending(s.ascending);
        page->setMaxInversions(s.maxInversions);
        page->setMaxTrials(s.maxTrials);
        page->setNegativeStep(s.negativeStep);
        page->setPositiveStepsText(s.positiveStepsText);
    }
    for (int i = 0; i < widgets.tabs->count() && i < n; ++i) {
        const StaircaseSettings &s = staircases[static_cast<std::size_t>(i)];
        StaircaseParamSetter *page = widgets.tabs->pageAt(i);
        page->setClampActive(s.clampActive);
        page->setUpperClamp(s.upperClamp);
        page->setLowerClamp(s.lowerClamp);
        page->setMaxClampHits(s.maxClampHits);
        if (reading.experiment.stringIdsGiven) {
            page->setStringIdActive(s.useStringId);
            page->setStringIdText(QString::fromStdString(s.stringId));
        }
    }
    if (reading.experiment.repetitions)
        widgets.repetitions->setValue(*reading.experiment.repetitions);

    // Missing observer keys are reported in key order; their defaults are already in the values.
    QStringList messages;
    for (const std::string &warning : reading.warnings)
        messages << QString::fromStdString(warning);
    const ObserverSettings &observer = reading.experiment.observer;
    widgets.guessRate->setValue(observer.guessRate);
    widgets.lapseRate->setValue(observer.lapseRate);
    widgets.mean->setValue(observer.mean);
    widgets.standardDeviation->setValue(observer.standardDeviation);

    // The file is applied in full first, so each message describes the window as it now is.
    if (!reading.changes.empty())
        messages << QString::fromStdString(valueChangesMessage(reading.changes, n));
    if (const std::optional<Problem> sum = guessAndLapseWarning(observer))
        messages << QString::fromStdString(sum->message);
    return messages;
}

ObserverSettings observerFromWidgets(const ExperimentWidgets &widgets)
{
    ObserverSettings observer;
    observer.mean = widgets.mean->value();
    observer.standardDeviation = widgets.standardDeviation->value();
    observer.lapseRate = widgets.lapseRate->value();
    observer.guessRate = widgets.guessRate->value();
    return observer;
}

ExperimentDescription experimentFromWidgets(const ExperimentWidgets &widgets)
{
    ExperimentDescription experiment;
    experiment.observer = observerFromWidgets(widgets);
    experiment.staircases = readStaircasePages(*widgets.tabs);
    experiment.repetitions = widgets.repetitions->value();
    experiment.stringIdsGiven = true;
    return experiment;
}

QString experimentFileRefusal(const ExperimentDescription &experiment)
{
    for (const std::optional<Problem> &problem :
        { positiveStepsProblem(experiment), stringIdProblem(experiment) })
        if (problem)
            return QString::fromStdString(problem->message);
    return QString();
}

QString writeExperimentFile(const QString &path, const ExperimentDescription &experiment)
{
    const QString refusal = experimentFileRefusal(experiment);
    if (!refusal.isEmpty())
        return refusal;
    AtomicFile file(QFile::encodeName(path).toStdString());
    if (file.open() && file.write(writeExperiment(experiment)) && file.commit())
        return QString();
    return QStringLiteral("Can't write the parameters file %1:\n%2")
        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(file.error().c_str()));
}
