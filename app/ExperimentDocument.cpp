#include "ExperimentDocument.h"

#include "TabStaircase.h"
#include "UserDialogs.h"

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
    saved = experimentFromWidgets(widgets);
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

bool ExperimentDocument::save(UserDialogs &dialogs, QWidget *parent, FileLocations &locations)
{
    const QString written = saveExperiment(widgets, dialogs, parent, locations, path);
    if (written.isEmpty())
        return false;
    markSaved(written);
    return true;
}

bool ExperimentDocument::saveAs(UserDialogs &dialogs, QWidget *parent, FileLocations &locations)
{
    const QString proposed = path.isEmpty() ? QStringLiteral("untitled.txt") : QFileInfo(path).fileName();
    const QString written = saveExperiment(widgets, dialogs, parent, locations, QString(), proposed);
    if (written.isEmpty())
        return false;
    markSaved(written);
    return true;
}

bool ExperimentDocument::settleChanges(UserDialogs &dialogs, QWidget *parent, FileLocations &locations)
{
    if (!isModified())
        return true;
    switch (dialogs.askToSave(
        parent, QStringLiteral("Warning"), QStringLiteral("Save changes to the experiment?"))) {
    case SaveChoice::save:
        return save(dialogs, parent, locations);
    case SaveChoice::discard:
        return true;
    case SaveChoice::cancel:
        break;
    }
    return false;
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
