#pragma once
// The window's side of its file commands: the one place that asks the user for
// the name of a file to write and whether to save a changed experiment, and
// that shows why a save did not happen. The helpers it calls
// (ExperimentDocument, the writers) do the work without asking and return
// their problem; the window's slots make one of these for each command.

#include <QString>

class ExperimentDocument;
class FileLocations;
class QWidget;
class UserDialogs;

class FilePrompts
{
public:
    // None is owned; `parent` is the dialogs' parent.
    FilePrompts(UserDialogs &dialogs, QWidget *parent, FileLocations &locations);

    // Asks for the name of a file to write: the dialog starts in the folder last
    // used (with `proposedName` in its name field, when given) and lists the files
    // with `suffix` (fileFilter), the name gets that suffix when it has none, and
    // its folder becomes the one the next dialog starts in. Empty when cancelled.
    QString askFileToSave(
        const QString &caption, const QString &suffix, const QString &proposedName = QString());

    // The Save command: an experiment the file cannot hold is refused before a
    // name is asked for; then it is written to its file, or, while it has none,
    // to the file named in the dialog ("untitled.txt" proposed). A refusal or a
    // failed write is shown in a "Warning" box. True when written.
    bool save(ExperimentDocument &document);
    // The Save As command: as Save, but always asks, the file's own name proposed.
    bool saveAs(ExperimentDocument &document);
    // Before a command that drops the experiment (New, Open, closing): when it has
    // changed, asks "Save changes to the experiment?" and saves when told to. True
    // when the command may go on: nothing changed, the changes were discarded, or
    // they were saved; false when the user cancelled or the save did not happen.
    bool settleChanges(ExperimentDocument &document);

private:
    bool save(ExperimentDocument &document, bool askName);

    UserDialogs &dialogs;
    QWidget *parent;
    FileLocations &locations;
};
