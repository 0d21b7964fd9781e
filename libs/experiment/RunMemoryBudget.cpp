#include "RunMemoryBudget.h"

#include "Run.h"

#include <algorithm>

#include <unistd.h>

std::uint64_t runMemoryBudget()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::uint64_t(4) << 30; // unknown: assume a small machine of 8 GB
    return std::uint64_t(pages) * std::uint64_t(pageSize) / 2;
}

long double runMemoryBound(const RunRequest &request)
{
    long double perRepetition = 0;
    for (const StaircaseSettings &s : request.staircases)
        perRepetition += sizeof(StaircaseOutcome)
            + sizeof(double) * std::max(0, std::min(s.maxInversions, s.maxTrials));
    const long double trials = request.keepTrials ? static_cast<long double>(maximumTrials(request)) : 0;
    return static_cast<long double>(request.repetitions) * perRepetition + trials * RunResult::bytesPerTrial;
}
