#include "TrialTable.h"

#include "Run.h"

#include <charconv>
#include <cmath>
#include <numeric>

const char trialTableHeader[] = "ID\tNtrial\tSteps\tInversions\tState\tResponse";

namespace
{

// The longest fixed text of a double with 3 decimals: 309 integer digits, a
// sign, the point and the decimals.
constexpr std::size_t maxLevelText = 320;

// Pieces are handed to the sink in blocks of about this size.
constexpr std::size_t blockSize = std::size_t(1) << 16;

template <typename T> void appendNumber(std::string &out, T value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

} // namespace

void appendLevelText(std::string &out, double level)
{
    if (level == 0.0) {
        out += "0.000"; // -0.0 too
        return;
    }
    // The exact binary value lies halfway between two texts only when 16·level
    // is an odd integer (a tie at the third decimal needs a denominator that
    // divides 2000 and is a power of two). Such a level has exactly four
    // decimals, the last a 5, and rounds away from zero as the table always
    // has: its third decimal goes up by one (it is never a 9, so nothing carries).
    char text[maxLevelText];
    const double sixteenths = level * 16.0;
    if (std::isfinite(sixteenths) && sixteenths == std::trunc(sixteenths)
        && std::fmod(sixteenths, 2.0) != 0.0) {
        const auto end = std::to_chars(text, text + sizeof text, level, std::chars_format::fixed, 4).ptr;
        ++end[-2];
        out.append(text, end - 1);
        return;
    }
    const auto end = std::to_chars(text, text + sizeof text, level, std::chars_format::fixed, 3).ptr;
    out.append(text, end);
}

std::string levelText(double level)
{
    std::string text;
    appendLevelText(text, level);
    return text;
}

std::string latin1WithReplacement(const std::string &utf8)
{
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            latin1 += char(c);
            ++i;
            continue;
        }
        // The length the lead byte announces, and whether the continuation bytes are there.
        const std::size_t length = c >= 0xf0 && c < 0xf5 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 1;
        std::size_t valid = 1;
        while (valid < length && i + valid < utf8.size()
            && (static_cast<unsigned char>(utf8[i + valid]) & 0xc0) == 0x80)
            ++valid;
        // Two bytes with the lead 0xc2 or 0xc3 encode U+0080 … U+00FF, the upper half of Latin-1.
        if (length == 2 && valid == 2 && c < 0xc4)
            latin1 += char(((c & 0x1f) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3f));
        else
            latin1 += '?';
        i += length > 1 && valid == length ? length : 1;
    }
    return latin1;
}

std::vector<std::uint32_t> rowsSortedById(const RunResult &result, const std::vector<int> &rankOfStaircase)
{
    // Counting sort by rank: stable and linear in the number of trials.
    const int ranks
        = rankOfStaircase.empty() ? 0 : *std::max_element(rankOfStaircase.begin(), rankOfStaircase.end()) + 1;
    std::vector<std::size_t> start(std::size_t(ranks) + 1, 0);
    const std::size_t n = result.trialCount();
    for (std::size_t k = 0; k < n; ++k)
        ++start[std::size_t(rankOfStaircase[result.trial(k).staircase]) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::uint32_t> order(n);
    for (std::size_t k = 0; k < n; ++k)
        order[start[std::size_t(rankOfStaircase[result.trial(k).staircase])]++] = std::uint32_t(k);
    return order;
}

bool writeTrialTable(const RunResult &result, const std::vector<std::uint32_t> *order, const TextSink &sink)
{
    std::vector<std::string> ids;
    for (int s = 0; s < result.staircaseCount(); ++s) {
        const auto &texts = result.request().staircaseIds;
        ids.push_back(latin1WithReplacement(std::size_t(s) < texts.size() ? texts[std::size_t(s)] : ""));
        ids.back() += '\t';
    }
    std::string block = trialTableHeader;
    block += '\n';
    block.reserve(blockSize + 2 * maxLevelText);
    const std::size_t n = result.trialCount();
    for (std::size_t row = 0; row < n; ++row) {
        const std::size_t k = order ? (*order)[row] : row;
        const TrialRecord &t = result.trial(k);
        block += ids[t.staircase];
        appendNumber(block, k);
        block += '\t';
        appendNumber(block, t.staircaseTrial);
        block += '\t';
        appendNumber(block, t.reversals);
        block += '\t';
        appendLevelText(block, t.level);
        block += t.response ? "\t1\t\n" : "\t0\t\n";
        if (block.size() >= blockSize) {
            if (!sink(block.data(), block.size()))
                return false;
            block.clear();
        }
    }
    return sink(block.data(), block.size());
}
