#pragma once
// The graph's PDF export. The plot writes its PDF to a temporary file beside
// the target; only a complete PDF (the plot reports success, the file starts
// with "%PDF" and ends with "%%EOF") is copied over the target through
// AtomicFile, so a full disk or an unwritable folder leaves an existing file
// exactly as it was.

#include <QString>

#include <functional>

class QCustomPlot;

// "No graph to export, please run experiment before." while the plot has no
// graph (no run shown yet), checked before a file name is asked for; empty
// otherwise.
QString graphExportRefusal(const QCustomPlot &plot);

// The Print graph command's work once a name is chosen: writes the plot to
// `path` as a one-page PDF of the widget's size. Empty on success, otherwise
// the message for the window to show, naming the file and the reason.
QString exportGraphPdf(QCustomPlot &plot, const QString &path);

// Writes the plot to `path` whole or not at all. Empty on success, otherwise
// the reason.
QString writeGraphPdf(QCustomPlot &plot, const QString &path);

// Writes a PDF to `path` whole or not at all: `render` writes it to the temporary file it is
// given and says whether it succeeded; only a complete PDF replaces the target. Empty on
// success, otherwise the reason.
QString writePdfAtomically(const QString &path, const std::function<bool(const QString &)> &render);
