#include "AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

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

// Follows symbolic links to the name that is to be replaced, so that the link
// stays a link. Sets `open` when the way leads into /proc (/dev/stdout and its
// kin): that names a file some process has open, to be written straight through.
std::string followLinks(std::string path, bool &open)
{
    for (int depth = 0; depth < 40; ++depth) {
        if (path.rfind("/proc/", 0) == 0) {
            open = true;
            return path;
        }
        struct stat info;
        char link[PATH_MAX];
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
        if (n <= 0 || std::size_t(n) >= sizeof link)
            return path;
        const std::string next(link, std::size_t(n));
        path = next[0] == '/' ? next : folderOf(path) + next;
    }
    return path; // a loop of links: opening it says so
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

bool AtomicFile::check()
{
    discard();
    reason.clear();
    direct = false;
    if (target.empty() || target.back() == '/')
        return fail(EISDIR);
    finalTarget = followLinks(target, direct);
    if (direct)
        return true;
    struct stat info;
    if (::stat(finalTarget.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return fail(EISDIR);
        if (!S_ISREG(info.st_mode)) {
            direct = true;
            return true;
        }
        // access() alone lets root replace a file that its owner protected.
        if ((info.st_mode & 0222) == 0 || ::access(finalTarget.c_str(), W_OK) != 0)
            return fail(EACCES);
    } else if (errno != ENOENT) {
        return fail(errno);
    }
    const std::string folder = folderOf(finalTarget);
    if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0)
        return fail(errno);
    return true;
}

bool AtomicFile::open()
{
    if (!check())
        return false;
    try {
        buffer.reserve(bufferSize);
    } catch (const std::bad_alloc &) {
        return fail(ENOMEM);
    }
    if (direct) {
        // Appending: a file behind /dev/stdout keeps what was written to it before.
        fd = ::open(finalTarget.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        return fd >= 0 || fail(errno);
    }
    static std::atomic<unsigned> counter { 0 };
    const std::string name = nameOf(finalTarget);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        // A long name would make the temporary name longer than a name may be.
        temporary = folderOf(finalTarget) + (name.size() + suffix.size() < NAME_MAX ? "." + name : ".quorvel")
            + suffix;
        // 0666 less the umask, as for any new file; O_EXCL never reuses a file that is there.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return true;
        if (errno != EEXIST) {
            temporary.clear();
            return fail(errno);
        }
    }
    temporary.clear();
    return fail(EEXIST);
}

bool AtomicFile::write(const char *data, std::size_t size)
{
    if (fd < 0)
        return false;
    if (buffer.size() + size > bufferSize && !flushBuffer())
        return false;
    if (size >= bufferSize)
        return writeOut(data, size); // no copy of a large piece
    buffer.insert(buffer.end(), data, data + size);
    return true;
}

bool AtomicFile::flushBuffer()
{
    if (!writeOut(buffer.data(), buffer.size()))
        return false;
    buffer.clear();
    return true;
}

bool AtomicFile::writeOut(const char *data, std::size_t size)
{
    // A signal that ends a wait on a pipe (EINTR) ends the writing: the program meant to stop. A
    // pipe takes PIPE_BUF bytes whole or not at all, so a signal cannot just shorten such a write.
    const std::size_t piece = direct ? PIPE_BUF : size;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, std::min(piece, size - done));
        if (n < 0)
            return fail(errno);
        if (n == 0)
            return fail(EIO);
        done += std::size_t(n);
    }
    return true;
}

bool AtomicFile::commit()
{
    if (fd < 0)
        return false;
    if (!flushBuffer())
        return false;
    if (direct) {
        const int closing = fd;
        fd = -1;
        return ::close(closing) == 0 || fail(errno);
    }
    struct stat old;
    if (::stat(finalTarget.c_str(), &old) == 0) {
        // Only root may give a file away; others keep their own ownership.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return fail(errno);
    }
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
    if (::rename(temporary.c_str(), finalTarget.c_str()) != 0) {
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
