#include "BatchOutput.h"

#include "AtomicFile.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

BatchOutput::BatchOutput(std::string path, std::FILE *standardOutput)
    : path(std::move(path))
    , standardOutput(standardOutput)
{
}

BatchOutput::~BatchOutput()
{
    discard();
}

std::string BatchOutput::name() const
{
    return isStandardOutput() ? "the standard output" : path;
}

bool BatchOutput::open()
{
    if (isStandardOutput()) {
        stream = standardOutput;
        return true;
    }
    struct stat status;
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        errno = 0;
        stream = std::fopen(path.c_str(), "w");
        if (!stream)
            return fail(errno ? errno : EIO);
        ownsStream = true;
        return true;
    }
    file = std::make_unique<AtomicFile>(path);
    if (!file->open()) {
        reason = file->error();
        file.reset();
        return false;
    }
    return true;
}

bool BatchOutput::write(const char *data, std::size_t size)
{
    if (file) {
        if (file->write(data, size))
            return true;
        reason = file->error();
        file.reset();
        return false;
    }
    if (!stream)
        return false;
    errno = 0;
    if (std::fwrite(data, 1, size, stream) == size)
        return true;
    return fail(errno ? errno : EIO);
}

bool BatchOutput::finish()
{
    if (file) {
        const bool committed = file->commit();
        if (!committed)
            reason = file->error();
        file.reset();
        return committed;
    }
    if (!stream)
        return false;
    errno = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream))
        return fail(errno ? errno : EIO);
    if (ownsStream) {
        std::FILE *closing = stream;
        stream = nullptr;
        ownsStream = false;
        errno = 0;
        if (std::fclose(closing) != 0)
            return fail(errno ? errno : EIO);
    }
    stream = nullptr;
    return true;
}

void BatchOutput::discard()
{
    file.reset(); // an uncommitted AtomicFile removes its temporary file
    if (ownsStream)
        std::fclose(stream);
    stream = nullptr;
    ownsStream = false;
}

bool BatchOutput::fail(int errorNumber)
{
    if (reason.empty())
        reason = std::strerror(errorNumber);
    discard();
    return false;
}
