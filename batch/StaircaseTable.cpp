#include "StaircaseTable.h"

#include "Estimators.h"
#include "ExactRun.h"
#include "ExperimentFile.h"
#include "RepetitionStats.h"
#include "StaircaseTheory.h"
#include "Sweep.h"
#include "TextUtils.h"

#include <algorithm>
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

const std::vector<std::string> exactHeader { "exact_mean", "exact_bias", "exact_sd", "exact_mean_trials",
    "exact_p_estimate" };

std::vector<std::string> exactCells(const ExactRun &exact, int lastReversals)
{
    const ExactEstimate *e = exact.estimate(lastReversals);
    const bool computed = exact.status == ExactStatus::computed;
    return { fixed(e ? e->mean : std::nullopt, 6), fixed(e ? e->bias : std::nullopt, 6),
        fixed(e ? e->sd : std::nullopt, 6),
        fixed(computed ? std::optional(exact.meanTrials) : std::nullopt, 2),
        fixed(e ? std::optional(e->pEstimate) : std::nullopt, 4) };
}

std::string aligned(const std::vector<std::vector<std::string>> &rows);

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
    // Rows of several estimators: one block each, named, in the order they come.
    std::vector<Estimator> estimators;
    for (const SweepRow &row : result.rows)
        if (std::find(estimators.begin(), estimators.end(), row.estimator) == estimators.end())
            estimators.push_back(row.estimator);
    if (estimators.size() > 1) {
        std::string text;
        for (Estimator estimator : estimators) {
            SweepResult block = result;
            block.rows.clear();
            for (const SweepRow &row : result.rows)
                if (row.estimator == estimator)
                    block.rows.push_back(row);
            text += std::string(text.empty() ? "" : "\n") + "estimator: " + estimatorName(estimator) + "\n"
                + staircaseTableText(block);
        }
        return text;
    }

    std::vector<std::string> header;
    for (const SweepAxis &axis : result.axes)
        header.push_back(axis.name());
    for (const char *name :
        { "staircase", "target_pct", "x_star", "mean", "bias", "sd", "mean_trials", "sweat", "estimates" })
        header.push_back(name);
    if (result.withExact)
        header.insert(header.end(), exactHeader.begin(), exactHeader.end());
    header.push_back("ID");
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
                 significant(sweatFactor(row.stats)), result.simulated ? std::to_string(e.count) : "NA" })
            cells.push_back(std::move(cell));
        if (result.withExact) {
            const std::vector<std::string> exact = row.exact
                ? exactCells(*row.exact, row.stats.lastReversals)
                : std::vector<std::string>(exactHeader.size(), "NA");
            cells.insert(cells.end(), exact.begin(), exact.end());
        }
        cells.push_back(row.id);
        rows.push_back(std::move(cells));
    }
    return aligned(rows);
}

std::string exactTableText(const RunRequest &request, const std::vector<ExactRun> &exact, int lastReversals)
{
    std::vector<std::vector<std::string>> rows { { "staircase", "target_pct", "x_star" } };
    rows.front().insert(rows.front().end(), exactHeader.begin(), exactHeader.end());
    for (const char *name : { "exact_rmse", "exact_p_stop_trials", "exact_status", "ID" })
        rows.front().push_back(name);
    for (std::size_t i = 0; i < request.staircases.size(); ++i) {
        const StaircaseTheory theory = staircaseTheory(request.staircases[i], request.observer);
        const ExactRun &run = exact[i];
        const ExactEstimate *e = run.estimate(lastReversals);
        rows.push_back({ std::to_string(i), percent(theory.classic.psi), fixed(theory.classic.level, 6) });
        const std::vector<std::string> cells = exactCells(run, lastReversals);
        rows.back().insert(rows.back().end(), cells.begin(), cells.end());
        rows.back().push_back(fixed(e ? e->rmse : std::nullopt, 6));
        rows.back().push_back(
            fixed(run.status == ExactStatus::computed ? std::optional(run.pStopTrials) : std::nullopt, 4));
        rows.back().push_back(exactStatusName(run.status));
        rows.back().push_back(validUtf8(staircaseId(request.staircases[i], static_cast<int>(i))));
    }
    return aligned(rows);
}

namespace
{

std::string aligned(const std::vector<std::vector<std::string>> &rows)
{
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

} // namespace
