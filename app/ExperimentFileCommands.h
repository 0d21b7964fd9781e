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
// complete. None of these asks the user anything or shows a message: the
// window's slots and its FilePrompts do.

#include "ExperimentFile.h"

#include <QString>
#include <QStringList>

class QDoubleSpinBox;
class QSpinBox;
class TabStaircase;

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

// Open's steps: the file read and checked, a problem naming it when it cannot be applied;
Expected<ExperimentReading> readExperimentForWindow(const QString &path);
// then applied, which returns the messages to show ("Error" boxes), in order.
QStringList applyExperiment(const ExperimentReading &reading, const ExperimentWidgets &widgets);
ObserverSettings observerFromWidgets(const ExperimentWidgets &widgets);
ExperimentDescription experimentFromWidgets(const ExperimentWidgets &widgets);
// Empty when the parameters file can hold the experiment; otherwise why it cannot (a
// positive-step text or a string ID that would break its lines), checked before a name is
// asked for.
QString experimentFileRefusal(const ExperimentDescription &experiment);
// Writes the experiment to `path` whole or not at all. Empty on success; otherwise the
// refusal, or the message naming the file and the reason.
QString writeExperimentFile(const QString &path, const ExperimentDescription &experiment);
