#pragma once
// The --tag columns of the batch program's tables: a TextSink that puts the
// tags' names in front of the first line that passes through (the header) and
// their values in front of every later line, however the text is cut into
// pieces on its way.

#include "TrialTable.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class TaggedLines
{
public:
    // `tags`: (name, value) pairs, in column order.
    TaggedLines(const std::vector<std::pair<std::string, std::string>> &tags, TextSink next);

    // Passes `data` on with the tags inserted; false as soon as `next` fails.
    bool operator()(const char *data, std::size_t size);

private:
    TextSink next;
    std::string headerPrefix, rowPrefix;
    bool atLineStart = true;
    bool header = true;
};
