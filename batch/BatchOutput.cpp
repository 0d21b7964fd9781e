#include "BatchOutput.h"

#include "AtomicFile.h"

#include <cerrno>
#include <cstring>

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
    reason.clear();
    if (isStandardOutput()) {
        stream = standardOutput;
        return true;
    }
    file = std::make_unique<AtomicFile>(path);
    if (file->check())
        return true;
    reason = file->error();
    file.reset();
    return false;
}

bool BatchOutput::startFile()
{
    if (started)
        return true;
    started = true;
    if (file->open())
        return true;
    reason = file->error();
    file.reset();
    return false;
}

bool BatchOutput::write(const char *data, std::size_t size)
{
    if (file) {
        if (startFile() && file->write(data, size))
            return true;
        if (file)
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
        const bool committed = startFile() && file->commit();
        if (!committed && file)
            reason = file->error();
        file.reset();
        return committed;
    }
    if (!stream)
        return false;
    errno = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream))
        return fail(errno ? errno : EIO);
    stream = nullptr;
    return true;
}

void BatchOutput::discard()
{
    file.reset(); // an uncommitted AtomicFile removes its temporary file
    stream = nullptr; // the standard output stays open
}

bool BatchOutput::fail(int errorNumber)
{
    if (reason.empty())
        reason = std::strerror(errorNumber);
    discard();
    return false;
}
