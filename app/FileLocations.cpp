#include "FileLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

FileLocations::FileLocations()
    : FileLocations(
        examplesFolder(QStringLiteral(QUORVEL_EXAMPLES_DIR), QCoreApplication::applicationDirPath()))
{
}

FileLocations::FileLocations(QString startFolder)
    : lastFolder(std::move(startFolder))
{
}

void FileLocations::remember(const QString &filePath)
{
    if (!filePath.isEmpty())
        lastFolder = QFileInfo(filePath).absolutePath();
}

QString examplesFolder(const QString &builtIn, const QString &programFolder)
{
    for (const QString &candidate : { builtIn, programFolder + QStringLiteral("/../../examples") })
        if (!candidate.isEmpty() && QFileInfo(candidate).isDir())
            return QDir::cleanPath(QDir(candidate).absolutePath());
    return QDir::homePath();
}

QString withDefaultSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || QFileInfo(path).fileName().contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + suffix;
}

QString fileFilter(const QString &suffix)
{
    const QString kind = suffix == QLatin1String("txt") ? QStringLiteral("Parameter files")
        : suffix == QLatin1String("tsv")                ? QStringLiteral("Tab-separated")
                                                        : suffix.toUpper();
    return kind + QStringLiteral(" (*.") + suffix + QStringLiteral(");;All files (*)");
}
