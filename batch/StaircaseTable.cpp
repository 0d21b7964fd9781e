#include "StaircaseTable.h"

#include "RepetitionStats.h"
#include "StaircaseTheory.h"

#include <charconv>
#include <optional>
#include <vector>

namespace
{

std::string fixed(std::optional<double> value, int decimals)
{
    if (!value)
        return "NA";
    char text[400];
    const auto end = std::to_chars(text, text + sizeof text, *value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

std::string percent(std::optional<double> probability)
{
    if (!probability)
        return "NA";
    char text[40];
    const auto end
        = std::to_chars(text, text + sizeof text, *probability * 100.0, std::chars_format::general, 6).ptr;
    return std::string(text, end);
}

} // namespace

std::string staircaseTableText(const RunResult &result, int lastReversals)
{
    std::vector<std::vector<std::string>> rows { { "staircase", "target_pct", "x_star", "mean", "bias", "sd",
        "mean_trials", "estimates", "ID" } };
    const RunRequest &request = result.request();
    for (int s = 0; s < result.staircaseCount(); ++s) {
        const std::size_t i = static_cast<std::size_t>(s);
        const StaircaseTheory theory = staircaseTheory(request.staircases[i], request.observer);
        const RepetitionStats stats = repetitionStats(result, s, theory, lastReversals);
        const EstimateStats &e = stats.estimates;
        rows.push_back({ std::to_string(s), percent(theory.classic.psi), fixed(theory.classic.level, 6),
            fixed(e.mean, 6), fixed(e.bias, 6), fixed(e.sd, 6),
            fixed(stats.trials ? std::optional<double>(stats.trials->mean) : std::nullopt, 2),
            std::to_string(e.count), result.staircaseId(s) });
    }

    const std::size_t columns = rows.front().size();
    std::vector<std::size_t> widths(columns, 0);
    for (const std::vector<std::string> &row : rows)
        for (std::size_t c = 0; c < columns; ++c)
            widths[c] = std::max(widths[c], row[c].size());
    std::string text;
    for (const std::vector<std::string> &row : rows) {
        for (std::size_t c = 0; c + 1 < columns; ++c) {
            text.append(widths[c] - row[c].size(), ' ');
            text += row[c];
            text += "  ";
        }
        text += row.back(); // the ID, not padded: nothing follows it
        text += '\n';
    }
    return text;
}
