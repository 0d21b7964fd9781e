#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr std::size_t bufferSize = std::size_t(1) << 16;

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

AtomicFile::AtomicFile(std::string path)
    : target(std::move(path))
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::open()
{
    discard();
    reason.clear();
    if (target.empty() || target.back() == '/')
        return fail(EISDIR);
    static std::atomic<unsigned> counter { 0 };
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folderOf(target) + "." + nameOf(target) + ".tmp-" + std::to_string(getpid()) + "-"
            + std::to_string(counter++);
        // 0666 less the umask, as for any new file; O_EXCL never reuses a file that is there.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            break;
        if (errno != EEXIST) {
            temporary.clear();
            return fail(errno);
        }
    }
    if (fd < 0) {
        temporary.clear();
        return fail(EEXIST);
    }
    buffer.reserve(bufferSize);
    return true;
}

bool AtomicFile::write(const char *data, std::size_t size)
{
    if (fd < 0)
        return false;
    if (buffer.size() + size > bufferSize && !flushBuffer())
        return false;
    if (size >= bufferSize) {
        buffer.assign(data, data + size);
        return flushBuffer();
    }
    buffer.insert(buffer.end(), data, data + size);
    return true;
}

bool AtomicFile::flushBuffer()
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (n == 0)
            return fail(EIO);
        done += std::size_t(n);
    }
    buffer.clear();
    return true;
}

bool AtomicFile::commit()
{
    if (fd < 0)
        return false;
    if (!flushBuffer())
        return false;
    struct stat old;
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        return fail(errno);
    // The data reach the disk before the name does, so a crash leaves the old file or the new one.
    if (::fsync(fd) != 0)
        return fail(errno);
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        temporary.clear();
        return fail(error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        temporary.clear();
        return fail(error);
    }
    temporary.clear();
    return true;
}

void AtomicFile::discard()
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (!temporary.empty()) {
        ::unlink(temporary.c_str());
        temporary.clear();
    }
    buffer.clear();
}

bool AtomicFile::fail(int errorNumber)
{
    if (reason.empty())
        reason = std::strerror(errorNumber);
    discard();
    return false;
}
