#include "StaircaseStats.h"

#include "ExactRun.h"
#include "Run.h"

#include <algorithm>

namespace
{

std::string idField(std::string id)
{
    std::replace_if(
        id.begin(), id.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    if (id.find('"') == std::string::npos)
        return id;
    std::string quoted = "\"";
    for (char c : id) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

void appendRow(std::string &text, const std::vector<std::string> &fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += fields[i];
        text += i + 1 < fields.size() ? '\t' : '\n';
    }
}

} // namespace

std::string staircaseStatsText(
    const RunRequest &request, const std::vector<ExactRun> *exact, int lastReversals)
{
    std::vector<std::string> header { "staircase", "ID" };
    if (exact)
        header.insert(header.end(), exactStatsColumns().begin(), exactStatsColumns().end());
    std::string text;
    appendRow(text, header);
    for (std::size_t i = 0; i < request.staircases.size(); ++i) {
        std::vector<std::string> row { std::to_string(i),
            idField(i < request.staircaseIds.size() ? request.staircaseIds[i] : std::string()) };
        if (exact) {
            const std::vector<std::string> fields = exactStatsFields(&(*exact)[i], lastReversals);
            row.insert(row.end(), fields.begin(), fields.end());
        }
        appendRow(text, row);
    }
    return text;
}
