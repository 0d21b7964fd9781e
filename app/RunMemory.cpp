#include "RunMemory.h"

#include "Run.h"

#include <QLocale>

QString memoryQuestion(const RunRequest &request, std::uint64_t budget)
{
    const std::uint64_t trials = maximumTrials(request);
    // In long double: the bound of the largest run the window allows overflows 64 bits in bytes.
    long double bytes = runMemoryBound(request)
        + static_cast<long double>(trials) * (windowBytesPerTrial - RunResult::bytesPerTrial)
        + static_cast<long double>(request.repetitions) * request.staircaseCount()
            * windowBytesPerStaircaseRepetition;
    for (const StaircaseSettings &staircase : request.staircases)
        bytes += static_cast<long double>(perStepTargetCount(staircase)) * windowBytesPerStepTarget;
    if (bytes <= static_cast<long double>(budget))
        return QString();
    const QLocale english(QLocale::English);
    return QObject::tr("This run may record up to %1 trials (about %2 GB). Run anyway?")
        .arg(english.toString(qulonglong(trials)), english.toString(double(bytes / 1e9L), 'f', 1));
}
