#pragma once
// Simulates a machine out of memory: while an AddressSpaceLimit lives, this
// process may take only `extra` bytes of address space beyond what it holds now,
// so larger allocations fail with std::bad_alloc. The address and thread
// sanitizers reserve more address space than any such limit allows: tests that
// use this are left out of sanitizer builds (QUORVEL_ADDRESS_SANITIZER).

#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVEL_ADDRESS_SANITIZER 1
#endif

class AddressSpaceLimit
{
public:
    explicit AddressSpaceLimit(rlim_t extra)
    {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        getrlimit(RLIMIT_AS, &previous);
        rlimit limited = previous;
        limited.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + extra;
        setrlimit(RLIMIT_AS, &limited);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &previous); }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

private:
    rlimit previous {};
};
