#include "ResultsExport.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QSaveFile>

const char resultsHeaderLine[] = "ID\tNtrial\tSteps\tInversions\tState\tResponse";

QByteArray toLatin1WithReplacement(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() <= 0xff) {
            bytes.append(char(c.unicode()));
            continue;
        }
        bytes.append('?');
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return bytes;
}

bool writeResults(const QAbstractItemModel &model, QIODevice &device)
{
    QByteArray line(resultsHeaderLine);
    line.append('\n');
    if (device.write(line) != line.size())
        return false;

    const int rows = model.rowCount();
    const int columns = model.columnCount();
    for (int row = 0; row < rows; ++row) {
        line.clear();
        for (int column = 0; column < columns; ++column) {
            // A cell without an item has no display data and is written as an empty text.
            line.append(toLatin1WithReplacement(model.data(model.index(row, column)).toString()));
            line.append('\t');
        }
        line.append('\n');
        if (device.write(line) != line.size())
            return false;
    }
    return true;
}

QString exportResults(const QAbstractItemModel &model, const QString &path)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && writeResults(model, file) && file.commit())
        return QString();
    return QObject::tr("Could not write the simulation results to %1:\n%2")
        .arg(QDir::toNativeSeparators(path), file.errorString());
}
