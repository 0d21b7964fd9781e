#pragma once
// Simulates a full disk: while a FileSizeLimit lives, no file of this process
// can grow past `bytes` (writes beyond fail with EFBIG, "File too large"),
// because SIGXFSZ, which would otherwise end the process, is ignored.

#include <csignal>

#include <sys/resource.h>

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit previous {};
    void (*previousHandler)(int) = nullptr;
};
