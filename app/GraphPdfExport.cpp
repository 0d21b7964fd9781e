#include "GraphPdfExport.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <qcustomplot.h>

namespace
{

// The PDF writer does not report failed writes, so a full disk leaves a file
// that is empty or cut short: a complete PDF starts with its header and ends
// with its trailer.
bool isCompletePdf(const QByteArray &bytes)
{
    return bytes.startsWith("%PDF") && bytes.trimmed().endsWith("%%EOF");
}

} // namespace

QString graphExportRefusal(const QCustomPlot &plot)
{
    return plot.graphCount() == 0 ? QStringLiteral("No graph to export, please run experiment before.")
                                  : QString();
}

QString exportGraphPdf(QCustomPlot &plot, const QString &path)
{
    const QString problem = writeGraphPdf(plot, path);
    if (problem.isEmpty())
        return QString();
    return QStringLiteral("The graph could not be written to %1:\n%2")
        .arg(QDir::toNativeSeparators(path), problem);
}

QString writeGraphPdf(QCustomPlot &plot, const QString &path)
{
    return writePdfAtomically(path,
        [&plot](const QString &temporary) { return plot.savePdf(temporary, 0, 0, QCP::epAllowCosmetic); });
}

QString writePdfAtomically(const QString &path, const std::function<bool(const QString &)> &render)
{
    const QFileInfo target(path);
    // Beside the target, so a folder that cannot take the PDF fails here already.
    QTemporaryFile temporary(
        target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return temporary.errorString();
    temporary.close(); // the writer opens the file by its name; it is removed when `temporary` goes
    const bool saved = render(temporary.fileName());
    QFile written(temporary.fileName());
    const QByteArray bytes = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    if (!saved || !isCompletePdf(bytes))
        return QStringLiteral("The PDF came out incomplete; the disk may be full.");

    AtomicFile file(QFile::encodeName(path).toStdString());
    if (file.open() && file.write(bytes.constData(), std::size_t(bytes.size())) && file.commit())
        return QString();
    return QString::fromLocal8Bit(file.error().c_str());
}
