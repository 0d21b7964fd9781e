#include "TidyTrials.h"

#include "Run.h"

#include <charconv>
#include <cstring>

const char tidyTrialsHeader[]
    = "repetition\tstaircase\tid\ttrial\trun_trial\treversals_before\tlevel\tresponse\treversal";

std::vector<bool> reversalTrials(const RunResult &result)
{
    const std::size_t n = result.trialCount();
    std::vector<bool> reversed(n, false);
    constexpr std::size_t none = std::size_t(-1);
    std::vector<std::size_t> previous(std::size_t(result.staircaseCount()), none);
    // A cancelled run's last repetition has no outcome: its last trials stay unmarked.
    const auto endRepetition = [&](int r) {
        for (std::size_t s = 0; s < previous.size(); ++s) {
            if (previous[s] != none && r < result.repetitionCount()
                && result.outcome(r, int(s)).endedOnReversal)
                reversed[previous[s]] = true;
            previous[s] = none;
        }
    };
    for (std::size_t k = 0; k < n; ++k) {
        const TrialRecord &t = result.trial(k);
        if (k > 0 && t.repetitionNumber != result.trial(k - 1).repetitionNumber)
            endRepetition(result.trial(k - 1).repetitionIndex());
        std::size_t &last = previous[t.staircase];
        if (last != none && t.reversals > result.trial(last).reversals)
            reversed[last] = true;
        last = k;
    }
    if (n > 0)
        endRepetition(result.trial(n - 1).repetitionIndex());
    return reversed;
}

bool writeTidyTrials(const RunResult &result, const TextSink &sink)
{
    std::vector<std::string> ids;
    for (int s = 0; s < result.staircaseCount(); ++s)
        ids.push_back(tsvField(result.staircaseId(s)));
    const std::vector<bool> reversed = reversalTrials(result);
    constexpr std::size_t chunk = std::size_t(1) << 16;
    std::string buffer = tidyTrialsHeader;
    buffer += '\n';
    char number[32];
    const auto field = [&](auto value, char after) {
        // A double gets its shortest round-trip text: to_chars without a precision.
        buffer.append(number, std::to_chars(number, number + sizeof number, value).ptr);
        buffer += after;
    };
    const std::size_t n = result.trialCount();
    for (std::size_t k = 0; k < n; ++k) {
        const TrialRecord &t = result.trial(k);
        field(t.repetitionNumber, '\t');
        field(unsigned(t.staircase), '\t');
        buffer += ids[t.staircase];
        buffer += '\t';
        field(t.staircaseTrial, '\t');
        field(k, '\t');
        field(t.reversals, '\t');
        field(t.level, '\t');
        buffer += t.response ? "1\t" : "0\t";
        buffer += reversed[k] ? "1\n" : "0\n";
        if (buffer.size() >= chunk) {
            if (!sink(buffer.data(), buffer.size()))
                return false;
            buffer.clear();
        }
    }
    return sink(buffer.data(), buffer.size());
}

std::string tidyTrialsText(const RunResult &result)
{
    std::string text;
    writeTidyTrials(result, [&text](const char *data, std::size_t size) {
        text.append(data, size);
        return true;
    });
    return text;
}
