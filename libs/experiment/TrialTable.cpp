#include "TrialTable.h"

#include "Run.h"
#include "TextUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>

const char *const trialTableColumns[6] = { "ID", "Ntrial", "Steps", "Inversions", "State", "Response" };

namespace
{

// The longest fixed text of a double with 3 decimals: 309 integer digits, a
// sign, the point and the decimals.
constexpr std::size_t maxLevelText = 320;

// Pieces are handed to the sink in blocks of about this size.
constexpr std::size_t blockSize = std::size_t(1) << 16;

// Below this magnitude a level times 1000 is under 2^52, so its fraction is
// exact and the fast path below can round it.
constexpr double fastLevelLimit = 1e9;

// Writes the level text at `out`, which has room for maxLevelText characters,
// and returns its end.
char *writeLevelText(char *out, double level)
{
    if (level == 0.0) {
        std::memcpy(out, "0.000", 5); // -0.0 too
        return out + 5;
    }
    const double magnitude = std::fabs(level);
    if (magnitude < fastLevelLimit) {
        // Thousandths, rounded to nearest from the exact value: the product p
        // is rounded, but p + e is exact. p can sit on the wrong side of a
        // halfway point only by being that point itself (it is a double
        // here), where e says which side the exact value is on; e == 0 is a
        // true tie, rounded away from zero as the table always has.
        const double p = magnitude * 1000.0;
        const double e = std::fma(magnitude, 1000.0, -p);
        double units = std::floor(p);
        const double fraction = p - units;
        if (fraction > 0.5 || (fraction == 0.5 && e >= 0.0))
            units += 1.0;
        const auto thousandths = static_cast<std::uint64_t>(units);
        if (level < 0.0)
            *out++ = '-'; // a small negative level is "-0.000"
        out = std::to_chars(out, out + 24, thousandths / 1000).ptr;
        const auto decimals = static_cast<unsigned>(thousandths % 1000);
        out[0] = '.';
        out[1] = char('0' + decimals / 100);
        out[2] = char('0' + decimals / 10 % 10);
        out[3] = char('0' + decimals % 10);
        return out + 4;
    }
    // The exact binary value lies halfway between two texts only when 16·level
    // is an odd integer (a tie at the third decimal needs a denominator that
    // divides 2000 and is a power of two). Such a level has exactly four
    // decimals, the last a 5, and rounds away from zero as the table always
    // has: its third decimal goes up by one (it is never a 9, so nothing carries).
    const double sixteenths = level * 16.0;
    if (std::isfinite(sixteenths) && sixteenths == std::trunc(sixteenths)
        && std::fmod(sixteenths, 2.0) != 0.0) {
        char *end = std::to_chars(out, out + maxLevelText, level, std::chars_format::fixed, 4).ptr;
        ++end[-2];
        return end - 1;
    }
    return std::to_chars(out, out + maxLevelText, level, std::chars_format::fixed, 3).ptr;
}

} // namespace

void appendLevelText(std::string &out, double level)
{
    char text[maxLevelText];
    out.append(text, writeLevelText(text, level));
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
        const std::size_t length = utf8SequenceAt(utf8, i);
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (length == 1)
            latin1 += char(c);
        else if (length == 2 && c < 0xc4) // U+0080 … U+00FF, the upper half of Latin-1
            latin1 += char(((c & 0x1f) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3f));
        else
            latin1 += '?';
        i += length == 0 ? 1 : length;
    }
    return latin1;
}

std::string tsvField(const std::string &text)
{
    std::string field = text;
    std::replace_if(
        field.begin(), field.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    if (field.find('"') == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
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
    std::size_t longestId = 0;
    for (int s = 0; s < result.staircaseCount(); ++s) {
        ids.push_back(latin1WithReplacement(result.staircaseId(s)));
        ids.back() += '\t';
        longestId = std::max(longestId, ids.back().size());
    }
    // Rows are written straight into one buffer, handed over whenever it
    // holds a block; it has room for one more row of the longest kind.
    constexpr std::size_t numberText = 24;
    std::vector<char> buffer(blockSize + longestId + 3 * numberText + maxLevelText + 8);
    char *const begin = buffer.data();
    char *const full = begin + blockSize;
    char *out = begin;
    const auto number = [&out](auto value) {
        out = std::to_chars(out, out + numberText, value).ptr;
        *out++ = '\t';
    };
    for (const char *name : trialTableColumns) {
        out = std::copy_n(name, std::strlen(name), out);
        *out++ = '\t';
    }
    out[-1] = '\n'; // the header line has no tab at its end
    const std::size_t n = result.trialCount();
    for (std::size_t row = 0; row < n; ++row) {
        const std::size_t k = order ? (*order)[row] : row;
        const TrialRecord &t = result.trial(k);
        const std::string &id = ids[t.staircase];
        out = std::copy_n(id.data(), id.size(), out);
        number(k);
        number(t.staircaseTrial);
        number(t.reversals);
        out = writeLevelText(out, t.level);
        std::memcpy(out, t.response ? "\t1\t\n" : "\t0\t\n", 4);
        out += 4;
        if (out >= full) {
            if (!sink(begin, std::size_t(out - begin)))
                return false;
            out = begin;
        }
    }
    return sink(begin, std::size_t(out - begin));
}
