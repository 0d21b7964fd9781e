#include "ParametersLoader.h"

#include "Reporting.h"
#include "TextUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <iterator>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char *const ParametersLoader::separators = ":\t\r  ";

namespace
{

const char byteOrderMark[] = "\xEF\xBB\xBF";

// Closes the descriptor when the read ends, however it ends.
struct Descriptor {
    int fd;
    ~Descriptor() { ::close(fd); }
};

ParametersFileError tooLarge(const std::string &path)
{
    return ParametersFileError(path, "The file is larger than 16 MB, the most a parameters file may hold");
}

// Refuses what `loadFile` must not read: anything but a regular file, or a
// regular file beyond the size limit.
void checkKind(const std::string &path, const struct stat &info)
{
    if (S_ISDIR(info.st_mode))
        throw ParametersFileError(path, std::strerror(EISDIR));
    if (!S_ISREG(info.st_mode)) {
        const char *kind = S_ISFIFO(info.st_mode)            ? "a named pipe"
            : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
            : S_ISSOCK(info.st_mode)                         ? "a socket"
                                                             : "something else";
        throw ParametersFileError(path, std::string("It is ") + kind + ", not a regular file");
    }
    if (info.st_size > ParametersLoader::maxFileSize)
        throw tooLarge(path);
}

// The whole content of an open regular file. Files such as those of /proc
// report a size of 0, so the size limit is checked again while reading.
std::string readAll(const std::string &path, int fd, off_t size)
{
    std::string text;
    text.reserve(static_cast<std::size_t>(size) + 1);
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw ParametersFileError(path, std::strerror(errno));
        }
        if (n == 0)
            return text;
        if (static_cast<long long>(text.size()) + n > ParametersLoader::maxFileSize)
            throw tooLarge(path);
        text.append(chunk, static_cast<std::size_t>(n));
    }
}

} // namespace

MissingKeyError::MissingKeyError(const std::string &key)
    : std::runtime_error("Can't find such identifier: " + key)
    , missingKey(key)
{
}

ParametersFileError::ParametersFileError(const std::string &path, const std::string &reason)
    : std::runtime_error("Can't read parameters file " + path + ": " + reason)
    , filePath(path)
    , why(reason)
{
}

void ParametersLoader::loadFile(const std::string &path)
{
    struct stat info {
    };
    if (::stat(path.c_str(), &info) != 0)
        throw ParametersFileError(path, std::strerror(errno));
    checkKind(path, info);
    // Opened without blocking: should the name have become a named pipe since
    // the check, the open still returns at once and the check below refuses it.
    const Descriptor file { ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) };
    if (file.fd < 0)
        throw ParametersFileError(path, std::strerror(errno));
    if (::fstat(file.fd, &info) != 0)
        throw ParametersFileError(path, std::strerror(errno));
    checkKind(path, info);
    try {
        ParametersLoader read = *this;
        if (!read.parse(readAll(path, file.fd, info.st_size)))
            throw ParametersFileError(path,
                "It holds more than " + std::to_string(maxKeyCount)
                    + " different keys, the most a parameters " + "file may hold");
        *this = std::move(read);
    } catch (const std::bad_alloc &) {
        throw ParametersFileError(path, "There is not enough memory to read it");
    }
}

bool ParametersLoader::load(std::istream &is)
{
    const std::string text { std::istreambuf_iterator<char>(is), std::istreambuf_iterator<char>() };
    if (is.bad())
        return false;
    ParametersLoader read = *this;
    if (!read.parse(text))
        return false;
    *this = std::move(read);
    return true;
}

bool ParametersLoader::parse(const std::string &text)
{
    std::size_t start = text.compare(0, 3, byteOrderMark) == 0 ? 3 : 0;
    // Lines end at a line feed; a last line without one is read too.
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end - start > 1) {
            const std::size_t keyStart = text.find_first_not_of(separators, start);
            const std::size_t keyEnd = std::min(text.find_first_of(separators, keyStart), end);
            const std::size_t valueStart = std::min(text.find_first_not_of(separators, keyEnd), end);
            const std::size_t valueEnd = std::min(text.find_first_of(separators, valueStart), end);
            if (keyStart < end && text[keyStart] != '#' && valueStart < end) {
                Entry &entry = table[text.substr(keyStart, keyEnd - keyStart)];
                if (entry.lines++ == 0)
                    entry.firstValue = text.substr(valueStart, valueEnd - valueStart);
                if (table.size() > maxKeyCount)
                    return false;
            }
        }
        start = end + 1;
    }
    return true;
}

std::vector<std::string> ParametersLoader::repeatedKeys() const
{
    std::vector<std::string> keys;
    for (const auto &[key, entry] : table)
        if (entry.lines > 1)
            keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

bool ParametersLoader::exists(const std::string &key) const
{
    return table.count(key) != 0;
}

std::string ParametersLoader::get(const std::string &key) const
{
    const auto it = table.find(key);
    if (it == table.end()) {
        reportMessage("Can't find such identifier: " + key + " !!!");
        throw MissingKeyError(key);
    }
    return it->second.firstValue;
}
