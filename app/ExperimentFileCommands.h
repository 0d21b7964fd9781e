#pragma once
// The New, Open and Save commands of the File menu, between the window's
// widgets and a parameter file.
//
// Open reads and checks the whole file (ExperimentFile.h) before it touches a
// widget, so a broken file changes nothing; only a file that passes every check
// is applied, pages first, then the observer. Values that do not fit their
// fields are applied as the fields hold them, and one message lists them; the
// window's slot shows the messages, each in its own box. Save
// writes through a temporary file that replaces the target only once it is
// complete.

#include "ExperimentFile.h"

#include <QString>
#include <QStringList>

class FileLocations;
class QDoubleSpinBox;
class QSpinBox;
class QWidget;
class TabStaircase;
class UserDialogs;

// The widgets that hold an experiment; none is owned.
struct ExperimentWidgets {
    QDoubleSpinBox *mean;
    QDoubleSpinBox *standardDeviation;
    QDoubleSpinBox *lapseRate;
    QDoubleSpinBox *guessRate;
    QSpinBox *staircaseCount;
    TabStaircase *tabs;
    QSpinBox *repetitions;
};

// New experiment: one default page; the observer is left as it is.
void newExperiment(const ExperimentWidgets &widgets);

// Writes the experiment to `path` when one is given; otherwise asks for a file
// name, starting in the folder last used with `proposedName` in the name field
// (".txt" is added to a name without a suffix). Returns the path written, or an
// empty string when nothing was written.
QString saveExperiment(const ExperimentWidgets &widgets, UserDialogs &dialogs, QWidget *parent,
    FileLocations &locations, const QString &path = QString(),
    const QString &proposedName = QStringLiteral("untitled.txt"));

// Open's steps: the file read and checked, a problem naming it when it cannot be applied;
Expected<ExperimentReading> readExperimentForWindow(const QString &path);
// then applied, which returns the messages to show ("Error" boxes), in order.
QStringList applyExperiment(const ExperimentReading &reading, const ExperimentWidgets &widgets);
ObserverSettings observerFromWidgets(const ExperimentWidgets &widgets);
ExperimentDescription experimentFromWidgets(const ExperimentWidgets &widgets);
// Empty on success, otherwise the message naming the file and the reason.
QString writeExperimentFile(const QString &path, const ExperimentDescription &experiment);
