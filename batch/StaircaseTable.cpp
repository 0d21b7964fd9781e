#include "StaircaseTable.h"

#include "ExperimentFile.h"
#include "RepetitionStats.h"
#include "StaircaseTheory.h"
#include "Sweep.h"

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

std::string significant(std::optional<double> value)
{
    if (!value)
        return "NA";
    char text[40];
    const auto end = std::to_chars(text, text + sizeof text, *value, std::chars_format::general, 6).ptr;
    return std::string(text, end);
}

} // namespace

std::string staircaseTableText(const RunResult &result, int lastReversals)
{
    return staircaseTableText(sweepResultOf(result, lastReversals, 0));
}

std::string staircaseTableText(const SweepResult &result)
{
    std::vector<std::string> header;
    for (const SweepAxis &axis : result.axes)
        header.push_back(axis.name());
    for (const char *name : { "staircase", "target_pct", "x_star", "mean", "bias", "sd", "mean_trials",
             "sweat", "estimates", "ID" })
        header.push_back(name);
    std::vector<std::vector<std::string>> rows { header };
    for (const SweepRow &row : result.rows) {
        std::vector<std::string> cells;
        for (double value : row.values)
            cells.push_back(formatReal(value));
        const EstimateStats &e = row.stats.estimates;
        const ClassicTarget &target = row.theory.classic;
        for (std::string cell : { std::to_string(row.staircase), percent(target.psi), fixed(target.level, 6),
                 fixed(e.mean, 6), fixed(e.bias, 6), fixed(e.sd, 6),
                 fixed(row.stats.trials ? std::optional<double>(row.stats.trials->mean) : std::nullopt, 2),
                 significant(sweatFactor(row.stats)), std::to_string(e.count), row.id })
            cells.push_back(std::move(cell));
        rows.push_back(std::move(cells));
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
