#include "ExperimentDocument.h"

#include "TabStaircase.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QSpinBox>
#include <QTimer>

ExperimentDocument::ExperimentDocument(const ExperimentWidgets &widgets, QObject *parent)
    : QObject(parent)
    , widgets(widgets)
    , saved(experimentFromWidgets(widgets))
    , pendingComparison(new QTimer(this))
{
    pendingComparison->setSingleShot(true);
    pendingComparison->setInterval(0);
    connect(pendingComparison, &QTimer::timeout, this, &ExperimentDocument::compare);
    for (QDoubleSpinBox *box :
        { widgets.mean, widgets.standardDeviation, widgets.lapseRate, widgets.guessRate })
        connect(box, &QDoubleSpinBox::valueChanged, this, &ExperimentDocument::compareSoon);
    for (QSpinBox *box : { widgets.staircaseCount, widgets.repetitions })
        connect(box, &QSpinBox::valueChanged, this, &ExperimentDocument::compareSoon);
    connect(widgets.tabs, &TabStaircase::pagesEdited, this, &ExperimentDocument::compareSoon);
}

bool ExperimentDocument::isModified() const
{
    return experimentFromWidgets(widgets) != saved;
}

void ExperimentDocument::markSaved(const QString &filePath)
{
    setSaved(experimentFromWidgets(widgets), filePath);
}

void ExperimentDocument::setSaved(const ExperimentDescription &experiment, const QString &filePath)
{
    saved = experiment;
    path = filePath;
    modified = false;
    pendingComparison->stop();
    emit changed();
}

QString ExperimentDocument::displayName() const
{
    const QString name = path.isEmpty() ? QStringLiteral("untitled") : QFileInfo(path).fileName();
    return isModified() ? name + QLatin1Char('*') : name;
}

QString ExperimentDocument::proposedName() const
{
    return path.isEmpty() ? QStringLiteral("untitled.txt") : QFileInfo(path).fileName();
}

QString ExperimentDocument::saveRefusal() const
{
    return experimentFileRefusal(experimentFromWidgets(widgets));
}

QString ExperimentDocument::saveTo(const QString &filePath)
{
    const ExperimentDescription experiment = experimentFromWidgets(widgets);
    const QString problem = writeExperimentFile(filePath, experiment);
    if (problem.isEmpty())
        setSaved(experiment, filePath);
    return problem;
}

void ExperimentDocument::compareSoon()
{
    pendingComparison->start();
}

void ExperimentDocument::compare()
{
    const bool now = isModified();
    if (now == modified)
        return;
    modified = now;
    emit changed();
}

QString documentTitle(const QString &programTitle, const ExperimentDocument &document)
{
    return document.displayName() + QStringLiteral(" \u2014 ") + programTitle;
}
