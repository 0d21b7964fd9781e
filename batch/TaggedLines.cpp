#include "TaggedLines.h"

#include <cstring>

TaggedLines::TaggedLines(const std::vector<std::pair<std::string, std::string>> &tags, TextSink next)
    : next(std::move(next))
{
    for (const auto &[name, value] : tags) {
        headerPrefix += name + '\t';
        rowPrefix += value + '\t';
    }
}

bool TaggedLines::operator()(const char *data, std::size_t size)
{
    std::size_t start = 0;
    while (start < size) {
        if (atLineStart) {
            const std::string &prefix = header ? headerPrefix : rowPrefix;
            if (!next(prefix.data(), prefix.size()))
                return false;
            atLineStart = header = false;
        }
        const void *newline = std::memchr(data + start, '\n', size - start);
        const std::size_t end = newline ? std::size_t(static_cast<const char *>(newline) - data) + 1 : size;
        if (!next(data + start, end - start))
            return false;
        atLineStart = newline != nullptr;
        start = end;
    }
    return true;
}
