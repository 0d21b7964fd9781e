#include "RunMemory.h"

#include "Run.h"

#include <QLocale>

#include <unistd.h>

std::uint64_t runMemoryBudget()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::uint64_t(4) << 30; // unknown: assume a small machine of 8 GB
    return std::uint64_t(pages) * std::uint64_t(pageSize) / 2;
}

QString memoryQuestion(const RunRequest &request, std::uint64_t budget)
{
    const std::uint64_t trials = maximumTrials(request);
    // In long double: the bound of the largest run the window allows overflows 64 bits in bytes.
    const long double bytes = static_cast<long double>(trials) * windowBytesPerTrial;
    if (bytes <= static_cast<long double>(budget))
        return QString();
    const QLocale english(QLocale::English);
    return QObject::tr("This run may record up to %1 trials (about %2 GB). Run anyway?")
        .arg(english.toString(qulonglong(trials)), english.toString(double(bytes / 1e9L), 'f', 1));
}
