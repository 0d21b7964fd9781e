#include "RunMemoryBudget.h"

#include "Run.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

#include <sys/resource.h>

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

std::uint64_t memoryLeft()
{
    std::uint64_t left = std::numeric_limits<std::uint64_t>::max();
    rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        std::uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const std::uint64_t held = pages * std::uint64_t(sysconf(_SC_PAGESIZE));
        left = limit.rlim_cur > held ? limit.rlim_cur - held : 0;
    }
    std::ifstream meminfo("/proc/meminfo");
    for (std::string key; meminfo >> key;) {
        std::uint64_t kilobytes = 0;
        if (key == "MemAvailable:" && meminfo >> kilobytes) {
            left = std::min(left, kilobytes * 1024);
            break;
        }
        meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return left;
}
