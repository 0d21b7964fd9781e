#include "ResultsExport.h"

#include "AtomicFile.h"
#include "FileLocations.h"
#include "RepetitionStats.h"
#include "Run.h"
#include "TidyTrials.h"
#include "TrialTable.h"

#include <QDir>
#include <QFile>

QString exportResults(const RunResult *result, const std::vector<std::uint32_t> *order, const QString &path)
{
    AtomicFile file(QFile::encodeName(path).toStdString());
    const RunResult none;
    const auto sink = [&file](const char *data, std::size_t size) { return file.write(data, size); };
    if (file.open() && writeTrialTable(result ? *result : none, order, sink) && file.commit())
        return QString();
    return QObject::tr("Could not write the simulation results to %1:\n%2")
        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(file.error().c_str()));
}

QString exportTidyTrials(const RunResult &result, const QString &path)
{
    const QString target = withDefaultSuffix(path, QStringLiteral("tsv"));
    AtomicFile file(QFile::encodeName(target).toStdString());
    const auto sink = [&file](const char *data, std::size_t size) { return file.write(data, size); };
    if (file.open() && writeTidyTrials(result, sink) && file.commit())
        return QString();
    return QObject::tr("Could not write the trials to %1:\n%2")
        .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(file.error().c_str()));
}

QString exportRepetitionSummary(
    const RunResult &result, const EstimatorSettings &settings, const QString &path)
{
    const QString target = withDefaultSuffix(path, QStringLiteral("tsv"));
    AtomicFile file(QFile::encodeName(target).toStdString());
    const auto sink = [&file](const char *data, std::size_t size) { return file.write(data, size); };
    if (file.open() && writeRepetitionSummary(result, settings, sink) && file.commit())
        return QString();
    return QObject::tr("Could not write the repetition summary to %1:\n%2")
        .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(file.error().c_str()));
}
