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
//
// The document asks nothing and shows nothing: the window's FilePrompts ask for
// names and whether to save, and show the problems the document returns.

#include "ExperimentFile.h"
#include "ExperimentFileCommands.h"

#include <QObject>
#include <QString>

class QTimer;

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

    // The file opened or saved last; empty while untitled.
    QString filePath() const { return path; }
    // The name a Save dialog proposes: the file's own, or "untitled.txt".
    QString proposedName() const;
    // Empty when the parameters file can hold the experiment as the widgets give it now;
    // otherwise the reason (experimentFileRefusal). Nothing is asked or shown.
    QString saveRefusal() const;
    // Writes the experiment to `filePath` and makes it the saved state of that file. Empty on
    // success; otherwise the problem (a refusal, or the write's message naming the file),
    // with the document left as it was. Nothing is asked or shown.
    QString saveTo(const QString &filePath);

signals:
    // The file or the modified state changed.
    void changed();

private:
    void setSaved(const ExperimentDescription &experiment, const QString &filePath);
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
