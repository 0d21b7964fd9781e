#pragma once
// The experiment in the window as a document: the file it was last opened
// from or saved to (none for a new one, "untitled"), and whether the widgets
// now differ from what that file holds.
//
// "Differs" compares the experiment as the widgets give it now with a copy
// taken when it was last opened, saved or newly created, by value, so an edit
// that is undone leaves nothing to save. The copy is compared after every
// change of a widget that holds the experiment (pages included, which come
// and go with the staircase count); the comparisons are gathered into one per
// turn of the event loop, so applying a file of 99 pages stays fast.

#include "ExperimentFile.h"
#include "ExperimentFileCommands.h"

#include <QObject>
#include <QString>

class FileLocations;
class QTimer;
class QWidget;
class UserDialogs;

class ExperimentDocument : public QObject
{
    Q_OBJECT

public:
    // Watches the widgets, none owned, and takes them as the experiment's saved state.
    explicit ExperimentDocument(const ExperimentWidgets &widgets, QObject *parent = nullptr);

    // Compared now, not when the last change was noticed.
    bool isModified() const;
    // The widgets as they are now become the saved state, of the file at `filePath` (empty: untitled).
    void markSaved(const QString &filePath);
    // The file's name, or "untitled"; with "*" while the experiment differs from it.
    QString displayName() const;

    // The Save command: writes the experiment to its file, or asks for a name ("untitled.txt"
    // proposed) while it has none (saveExperiment); true when written.
    bool save(UserDialogs &dialogs, QWidget *parent, FileLocations &locations);
    // The Save As command: always asks, the file's own name proposed; true when written.
    bool saveAs(UserDialogs &dialogs, QWidget *parent, FileLocations &locations);
    // The file opened or saved last; empty while untitled.
    QString filePath() const { return path; }
    // Before a command that drops the experiment (New, Open, closing): when it has changed, asks
    // "Save changes to the experiment?" and saves when told to. True when the command may go on:
    // nothing changed, the changes were discarded, or they were saved; false when the user
    // cancelled or the save did not happen.
    bool settleChanges(UserDialogs &dialogs, QWidget *parent, FileLocations &locations);

signals:
    // The file or the modified state changed.
    void changed();

private:
    void compareSoon();
    void compare();

    ExperimentWidgets widgets;
    ExperimentDescription saved;
    QString path;
    bool modified = false;
    QTimer *pendingComparison;
};

// "<file name or untitled>[*] — <program title>".
QString documentTitle(const QString &programTitle, const ExperimentDocument &document);
