#pragma once
// The graph's PDF export. The plot writes its PDF to a temporary file beside
// the target; only a complete PDF (the plot reports success, the file starts
// with "%PDF" and ends with "%%EOF") is copied over the target through
// AtomicFile, so a full disk or an unwritable folder leaves an existing file
// exactly as it was.

#include <QString>

#include <functional>

class FileLocations;
class QCustomPlot;
class QWidget;
class UserDialogs;

// Asks for a file name, starting in the folder last used, and writes the plot
// as a one-page PDF of the widget's size (".pdf" is added to a name without a
// suffix). Returns the message for the window to show when the plot has no
// graph or the file cannot be written; empty when a file was written or the
// dialog was cancelled.
QString exportGraphPdf(QCustomPlot &plot, UserDialogs &dialogs, QWidget *parent, FileLocations &locations);

// Writes the plot to `path` whole or not at all. Empty on success, otherwise
// the reason.
QString writeGraphPdf(QCustomPlot &plot, const QString &path);

// Writes a PDF to `path` whole or not at all: `render` writes it to the temporary file it is
// given and says whether it succeeded; only a complete PDF replaces the target. Empty on
// success, otherwise the reason.
QString writePdfAtomically(const QString &path, const std::function<bool(const QString &)> &render);
