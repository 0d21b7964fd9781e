#include "Sweep.h"

#include "ExperimentFile.h"
#include "FieldRanges.h"
#include "TextUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace
{

struct ParameterInfo {
    SweepParameter parameter;
    const char *name;
    const char *label;
};

constexpr ParameterInfo parameterInfo[] {
    { SweepParameter::stepScale, "step-scale", "Step size, target kept" },
    { SweepParameter::positiveStep, "positive-step", "Positive step" },
    { SweepParameter::negativeStep, "negative-step", "Negative step" },
    { SweepParameter::correctAnswers, "correct-answers", "Correct answers (N)" },
    { SweepParameter::maxReversals, "max-reversals", "Maximum reversals" },
    { SweepParameter::maxTrials, "max-trials", "Maximum trials" },
    { SweepParameter::lastReversals, "last-reversals", "Reversals per estimate (K)" },
    { SweepParameter::start, "start", "Start level" },
    { SweepParameter::sigma, "sigma", "Standard deviation" },
    { SweepParameter::guess, "guess", "Guess rate" },
    { SweepParameter::lapse, "lapse", "Lapse rate" },
};

const ParameterInfo &info(SweepParameter parameter)
{
    for (const ParameterInfo &i : parameterInfo)
        if (i.parameter == parameter)
            return i;
    return parameterInfo[0]; // not reached: every parameter is listed
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A finite number, read the same way in every locale; a leading '+' is allowed.
std::optional<double> number(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

// FROM + i·STEP drifts in its last bits (0.1 + 2·0.1 is 0.30000000000000004);
// 12 significant digits bring it back to the value a person wrote.
double tidy(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12).ptr;
    double back = value;
    std::from_chars(text, end, back);
    return back;
}

const char valuesExample[] = "a comma list such as 0.5, 1, 2 or FROM:TO:STEP such as 0.25:2:0.25";

std::string quotedText(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

Expected<std::vector<double>> parseRange(std::string_view text)
{
    const std::vector<std::string_view> parts = split(text, ':');
    std::optional<double> from, to, step;
    if (parts.size() == 3) {
        from = number(parts[0]);
        to = number(parts[1]);
        step = number(parts[2]);
    }
    if (!from || !to || !step)
        return Problem { "The values " + quotedText(text) + " are not " + valuesExample + "." };
    if (!(*step > 0.0))
        return Problem { "The step of " + quotedText(text) + " must be above 0." };
    if (*to < *from)
        return Problem { "In " + quotedText(text) + " TO must not be below FROM." };
    const double steps = std::floor((*to - *from) / *step + 1e-6);
    if (steps + 1.0 > double(maxSweepValues))
        return Problem { quotedText(text) + " gives more than " + std::to_string(maxSweepValues)
            + " values; take a larger step or a shorter range." };
    std::vector<double> values;
    for (int i = 0; i <= int(steps); ++i)
        values.push_back(tidy(*from + i * *step));
    return values;
}

Expected<std::vector<double>> parseList(std::string_view text)
{
    const std::vector<std::string_view> parts = split(text, ',');
    if (parts.size() > maxSweepValues)
        return Problem { "At most " + std::to_string(maxSweepValues) + " values, not "
            + std::to_string(parts.size()) + "." };
    std::vector<double> values;
    for (std::string_view part : parts) {
        const std::optional<double> value = number(part);
        if (!value)
            return Problem { quotedText(trimmed(part)) + " in the values " + quotedText(text)
                + " is not a number; give " + valuesExample + "." };
        values.push_back(*value);
    }
    return values;
}

std::string joinedSteps(const std::vector<double> &steps)
{
    std::string text;
    for (std::size_t i = 0; i < steps.size(); ++i)
        text += (i ? "," : "") + formatReal(steps[i]);
    return text;
}

Problem notIn(SweepParameter parameter, double value, const std::string &range)
{
    return Problem { std::string(sweepParameterLabel(parameter)) + " takes " + range + ", not "
        + formatReal(value) + "." };
}

// The whole number `value` when it is one within [minimum, maximum].
std::optional<int> wholeIn(double value, int minimum, int maximum)
{
    if (value != std::floor(value) || value < minimum || value > maximum)
        return std::nullopt;
    return int(value);
}

std::string wholeRange(int minimum, int maximum)
{
    return "whole numbers from " + std::to_string(minimum) + " to " + std::to_string(maximum);
}

// Sets a staircase's setting; returns the problem.
std::optional<Problem> applyToStaircase(SweepParameter parameter, double value, StaircaseSettings &s)
{
    const auto whole = [&](const IntField &field, int &target) -> std::optional<Problem> {
        const std::optional<int> n = wholeIn(value, field.minimum, field.maximum);
        if (!n)
            return notIn(parameter, value, wholeRange(field.minimum, field.maximum));
        target = *n;
        return std::nullopt;
    };
    switch (parameter) {
    case SweepParameter::stepScale: {
        if (!(value > 0.0))
            return notIn(parameter, value, "values above 0");
        const Expected<std::vector<double>> parsed = positiveStepSizes(s.positiveStepsText);
        if (!parsed)
            return std::nullopt; // left as it is: runProblem names the staircase and the fault
        std::vector<double> steps = *parsed;
        for (double &step : steps)
            step *= value;
        s.positiveStepsText = joinedSteps(steps);
        s.negativeStep *= value;
        return std::nullopt;
    }
    case SweepParameter::positiveStep:
        if (!(value > 0.0))
            return notIn(parameter, value, "values above 0");
        s.positiveStepsText = formatReal(value);
        return std::nullopt;
    case SweepParameter::negativeStep:
        if (!(value > 0.0) || value > FieldRanges::negativeStep.maximum)
            return notIn(
                parameter, value, "values above 0 up to " + formatReal(FieldRanges::negativeStep.maximum));
        s.negativeStep = value;
        return std::nullopt;
    case SweepParameter::correctAnswers:
        return whole(FieldRanges::correctAnswers, s.correctAnswers);
    case SweepParameter::maxReversals:
        return whole(FieldRanges::maxInversions, s.maxInversions);
    case SweepParameter::maxTrials:
        return whole(FieldRanges::maxTrials, s.maxTrials);
    case SweepParameter::start:
        if (value < FieldRanges::startLevel.minimum || value > FieldRanges::startLevel.maximum)
            return notIn(parameter, value,
                "values from " + formatReal(FieldRanges::startLevel.minimum) + " to "
                    + formatReal(FieldRanges::startLevel.maximum));
        s.startLevel = value;
        return std::nullopt;
    default:
        return std::nullopt; // not a staircase's
    }
}

std::optional<Problem> applyToObserver(SweepParameter parameter, double value, ObserverSettings &o)
{
    const auto within = [&](const RealField &field, double &target) -> std::optional<Problem> {
        if (value < field.minimum || value > field.maximum)
            return notIn(parameter, value,
                "values from " + formatReal(field.minimum) + " to " + formatReal(field.maximum));
        target = value;
        return std::nullopt;
    };
    switch (parameter) {
    case SweepParameter::sigma:
        return within(FieldRanges::standardDeviation, o.standardDeviation);
    case SweepParameter::guess:
        return within(FieldRanges::guessRate, o.guessRate);
    case SweepParameter::lapse:
        return within(FieldRanges::lapseRate, o.lapseRate);
    default:
        return std::nullopt;
    }
}

std::string combinationText(const std::vector<SweepAxis> &axes, const std::vector<double> &values)
{
    std::string text;
    for (std::size_t a = 0; a < axes.size(); ++a)
        text += (a ? ", " : "") + axes[a].name() + "=" + formatReal(values[a]);
    return text;
}

// R's read.delim and pandas' read_csv take a '"' as the start of a quoted field.
std::string quotedId(const std::string &id)
{
    if (id.find('"') == std::string::npos)
        return id;
    std::string q = "\"";
    for (char c : id) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

std::string text(std::optional<double> value)
{
    return value ? formatReal(*value) : std::string("NA");
}

std::string intervalEnd(const std::optional<Interval> &interval, bool high)
{
    return interval ? formatReal(high ? interval->high : interval->low) : std::string("NA");
}

// The statistics of every staircase of a finished run; its trials can go then.
void appendRows(const RunResult &run, std::size_t point, const std::vector<double> &values, int lastReversals,
    std::vector<SweepRow> &rows)
{
    const RunRequest &request = run.request();
    for (int s = 0; s < run.staircaseCount(); ++s) {
        SweepRow row;
        row.point = point;
        row.values = values;
        row.staircase = s;
        row.id = run.staircaseId(s);
        row.settings = request.staircases[std::size_t(s)];
        row.observer = request.observer;
        row.theory = staircaseTheory(row.settings, row.observer);
        row.stats = repetitionStats(run, s, row.theory, lastReversals);
        rows.push_back(std::move(row));
    }
}

// Runs `work` on `threads` threads, this one among them; each takes pieces
// until none are left. The first exception any of them throws sets `failed`,
// which `work` watches to end early, and is rethrown here once all have ended
// (an exception left on a thread of its own would end the program).
void runOnThreads(unsigned threads, std::atomic<bool> &failed, const std::function<void()> &work)
{
    std::exception_ptr failure;
    std::mutex guard;
    const auto guarded = [&] {
        try {
            work();
        } catch (...) {
            const std::lock_guard<std::mutex> lock(guard);
            if (!failure)
                failure = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(guarded);
        } catch (const std::system_error &) {
            break; // fewer threads: the pieces are shared among those there are
        }
    }
    guarded();
    for (std::thread &helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

const char *sweepParameterName(SweepParameter parameter)
{
    return info(parameter).name;
}

const char *sweepParameterLabel(SweepParameter parameter)
{
    return info(parameter).label;
}

std::optional<SweepParameter> sweepParameterFromName(std::string_view name)
{
    for (const ParameterInfo &i : parameterInfo)
        if (name == i.name)
            return i.parameter;
    return std::nullopt;
}

Expected<SweepAxis> parseSweepAxis(std::string_view text)
{
    SweepAxis axis;
    std::string_view name = text;
    if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
        const std::string_view digits = name.substr(0, colon);
        const auto [end, error]
            = std::from_chars(digits.data(), digits.data() + digits.size(), axis.staircase);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos
            || error != std::errc() || end != digits.data() + digits.size())
            return Problem { "needs NAME or S:NAME, S a staircase's number, not \"" + std::string(text)
                + "\"." };
        name = name.substr(colon + 1);
    }
    const std::optional<SweepParameter> parameter = sweepParameterFromName(name);
    if (!parameter) {
        std::string names;
        for (const ParameterInfo &i : parameterInfo)
            names += std::string(names.empty() ? "" : ", ") + i.name;
        return Problem { "can't vary \"" + std::string(name) + "\"; it varies " + names + "." };
    }
    axis.parameter = *parameter;
    return axis;
}

bool isStaircaseParameter(SweepParameter parameter)
{
    return parameter != SweepParameter::lastReversals && parameter != SweepParameter::sigma
        && parameter != SweepParameter::guess && parameter != SweepParameter::lapse;
}

Expected<std::vector<double>> parseSweepValues(std::string_view text)
{
    text = trimmed(text);
    if (text.empty())
        return Problem { std::string("No values are given; give ") + valuesExample + "." };
    return text.find(':') != std::string_view::npos ? parseRange(text) : parseList(text);
}

std::string SweepAxis::name() const
{
    return (staircase >= 0 ? std::to_string(staircase) + ":" : std::string()) + sweepParameterName(parameter);
}

std::optional<Problem> applySweepValue(
    SweepParameter parameter, int staircase, double value, RunRequest &request, int &lastReversals)
{
    if (parameter == SweepParameter::lastReversals) {
        const std::optional<int> k = wholeIn(value, 1, FieldRanges::maxInversions.maximum);
        if (!k)
            return notIn(parameter, value, wholeRange(1, FieldRanges::maxInversions.maximum));
        lastReversals = *k;
        return std::nullopt;
    }
    if (!isStaircaseParameter(parameter)) {
        if (staircase >= 0)
            return Problem { std::string(sweepParameterLabel(parameter))
                + " belongs to the observer, not to one staircase; vary it for every staircase." };
        return applyToObserver(parameter, value, request.observer);
    }
    if (staircase >= request.staircaseCount())
        return Problem { "There is no staircase " + std::to_string(staircase)
            + "; the experiment's staircases are 0 to " + std::to_string(request.staircaseCount() - 1)
            + "." };
    std::vector<StaircaseSettings> changed = request.staircases;
    for (int s = 0; s < request.staircaseCount(); ++s) {
        if (staircase >= 0 && s != staircase)
            continue;
        if (std::optional<Problem> problem = applyToStaircase(parameter, value, changed[std::size_t(s)]))
            return problem;
    }
    request.staircases = std::move(changed);
    return std::nullopt;
}

Expected<SweepPlan> planSweep(const SweepRequest &request)
{
    SweepPlan plan;
    std::size_t combinations = 1;
    for (const SweepAxis &axis : request.axes) {
        if (axis.values.empty())
            return Problem { axis.name() + " has no values." };
        combinations *= axis.values.size();
        if (combinations > maxSweepCombinations)
            return Problem { "The values make more than " + std::to_string(maxSweepCombinations)
                + " combinations; vary fewer settings or give fewer values." };
    }
    std::vector<std::size_t> at(request.axes.size(), 0);
    for (std::size_t c = 0; c < combinations; ++c) {
        SweepPoint point { {}, request.base, request.lastReversals };
        for (std::size_t a = 0; a < request.axes.size(); ++a) {
            const SweepAxis &axis = request.axes[a];
            point.values.push_back(axis.values[at[a]]);
            if (std::optional<Problem> problem = applySweepValue(
                    axis.parameter, axis.staircase, point.values.back(), point.request, point.lastReversals))
                return *problem;
        }
        if (std::optional<Problem> problem = runProblem(point.request)) {
            if (!request.axes.empty())
                problem->message
                    = "With " + combinationText(request.axes, point.values) + ": " + problem->message;
            return *problem;
        }
        plan.points.push_back(std::move(point));
        // The last axis turns fastest.
        for (std::size_t a = request.axes.size(); a-- > 0;) {
            if (++at[a] < request.axes[a].values.size())
                break;
            at[a] = 0;
        }
    }
    return plan;
}

int SweepResult::staircaseCount() const
{
    int count = 0;
    for (const SweepRow &row : rows) {
        if (row.point != rows.front().point)
            break;
        ++count;
    }
    return count;
}

unsigned sweepThreads(const SweepPlan &plan)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return unsigned(std::max<std::size_t>(1, std::min<std::size_t>(cores, plan.points.size())));
}

std::uint64_t sweepMaximumTrialsHeld(const SweepPlan &plan, unsigned threads)
{
    std::vector<std::uint64_t> largest;
    for (const SweepPoint &point : plan.points)
        largest.push_back(maximumTrials(point.request));
    std::sort(largest.rbegin(), largest.rend());
    std::uint64_t held = 0;
    for (std::size_t i = 0; i < largest.size() && i < threads; ++i)
        held += largest[i];
    return held;
}

SweepResult runSweep(const SweepRequest &request, const SweepPlan &plan,
    const SweepProgressCallback &progress, const std::atomic<bool> *cancel, unsigned threads)
{
    SweepResult result;
    result.axes = request.axes;
    result.seed = request.seed;
    result.repetitions = request.base.repetitions;
    const std::size_t points = plan.points.size();
    if (threads == 0)
        threads = sweepThreads(plan);

    std::vector<std::vector<SweepRow>> rowsOf(points);
    std::vector<char> done(points, 0);
    std::atomic<std::size_t> next { 0 };
    std::atomic<bool> failed { false };
    std::mutex reporting; // guards `report` and the progress callback
    SweepProgress report;
    report.totalPoints = int(points);
    for (const SweepPoint &point : plan.points)
        report.totalRepetitions += point.request.repetitions;
    const auto stopped = [&] {
        return failed.load(std::memory_order_relaxed) || (cancel && cancel->load(std::memory_order_relaxed));
    };

    const auto work = [&] {
        for (std::size_t p = next++; p < points && !stopped(); p = next++) {
            const SweepPoint &point = plan.points[p];
            RandomEngine engine(request.seed);
            int reported = 0;
            const auto onProgress = [&](const RunProgress &r) {
                const std::lock_guard<std::mutex> lock(reporting);
                report.repetitions += r.repetitions - reported;
                reported = r.repetitions;
                if (progress)
                    progress(report);
            };
            const RunResult run = simulate(point.request, engine, onProgress, cancel);
            if (!run.isComplete())
                return;
            appendRows(run, p, point.values, point.lastReversals, rowsOf[p]);
            done[p] = 1;
            const std::lock_guard<std::mutex> lock(reporting);
            ++report.points;
            if (progress)
                progress(report);
        }
    };
    runOnThreads(threads, failed, work);

    result.complete = std::all_of(done.begin(), done.end(), [](char d) { return d != 0; });
    for (std::size_t p = 0; p < points && done[p]; ++p)
        for (SweepRow &row : rowsOf[p])
            result.rows.push_back(std::move(row));
    return result;
}

SweepResult sweepResultOf(const RunResult &run, int lastReversals, std::uint32_t seed)
{
    SweepResult result;
    result.seed = seed;
    result.repetitions = run.request().repetitions;
    appendRows(run, 0, {}, lastReversals, result.rows);
    result.complete = run.isComplete();
    return result;
}

SweepResult sweepResultOf(const RunResult &run, const EstimatorSettings &settings,
    const std::vector<Estimator> &estimators, std::uint32_t seed)
{
    SweepResult result = sweepResultOf(run, settings.lastReversals, seed);
    if (estimators == std::vector<Estimator> { Estimator::reversals })
        return result;
    const std::vector<StaircaseEstimates> all = runEstimates(run, settings, run.request().observer);
    std::vector<SweepRow> rows;
    for (Estimator estimator : estimators)
        for (const SweepRow &reversals : result.rows) {
            SweepRow row = reversals;
            row.estimator = estimator;
            if (estimator != Estimator::reversals)
                row.stats = repetitionStats(run, row.staircase, row.theory,
                    all[std::size_t(row.staircase)].of(estimator), settings.lastReversals);
            rows.push_back(std::move(row));
        }
    result.rows = std::move(rows);
    return result;
}

SweepResult unsimulatedResultOf(const RunRequest &request, int lastReversals, std::uint32_t seed)
{
    SweepResult result;
    result.seed = seed;
    for (std::size_t s = 0; s < request.staircases.size(); ++s) {
        SweepRow row;
        row.staircase = int(s);
        row.id = validUtf8(staircaseId(request.staircases[s], int(s)));
        row.settings = request.staircases[s];
        row.observer = request.observer;
        row.theory = staircaseTheory(row.settings, row.observer);
        row.stats.lastReversals = lastReversals;
        result.rows.push_back(std::move(row));
    }
    result.complete = true;
    result.simulated = false;
    return result;
}

bool addExactRuns(SweepResult &result, const ExactControl &control, unsigned threads)
{
    result.withExact = true;
    // One chain per distinct staircase and observer, for the largest K of its rows.
    struct Chain {
        const SweepRow *settings;
        int lastReversals;
        ExactRun run;
    };
    std::vector<Chain> chains;
    std::vector<std::size_t> chainOf(result.rows.size(), 0);
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        const SweepRow &row = result.rows[r];
        if (row.estimator != Estimator::reversals)
            continue; // the exact values are those of the last-K-reversals estimate
        std::size_t c = 0;
        while (c < chains.size()
            && !(
                chains[c].settings->settings == row.settings && chains[c].settings->observer == row.observer))
            ++c;
        if (c == chains.size())
            chains.push_back({ &row, 0, {} });
        chains[c].lastReversals = std::max(chains[c].lastReversals, row.stats.lastReversals);
        chainOf[r] = c;
    }

    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = unsigned(std::max<std::size_t>(1, std::min<std::size_t>(threads, chains.size())));
    std::atomic<std::size_t> next { 0 };
    std::mutex reporting;
    std::size_t done = 0;
    ExactControl one = control;
    one.progress = nullptr; // the share of the chains is reported instead
    std::atomic<bool> failed { false };
    const auto work = [&] {
        for (std::size_t c = next++; c < chains.size() && !failed; c = next++) {
            const SweepRow &row = *chains[c].settings;
            chains[c].run = exactRun(row.settings, row.observer, row.theory, chains[c].lastReversals, one);
            const std::lock_guard<std::mutex> lock(reporting);
            ++done;
            if (control.progress)
                control.progress(double(done) / double(chains.size()));
        }
    };
    runOnThreads(threads, failed, work);

    for (std::size_t r = 0; r < result.rows.size(); ++r)
        if (result.rows[r].estimator == Estimator::reversals)
            result.rows[r].exact = chains[chainOf[r]].run;
    return std::none_of(
        chains.begin(), chains.end(), [](const Chain &c) { return c.run.status == ExactStatus::cancelled; });
}

SweepResult exactSweep(const SweepRequest &request, const SweepPlan &plan, const ExactControl &control)
{
    SweepResult result;
    result.axes = request.axes;
    result.seed = request.seed;
    result.simulated = false;
    for (std::size_t p = 0; p < plan.points.size(); ++p) {
        const SweepPoint &point = plan.points[p];
        for (SweepRow &row : unsimulatedResultOf(point.request, point.lastReversals, request.seed).rows) {
            row.point = p;
            row.values = point.values;
            result.rows.push_back(std::move(row));
        }
    }
    result.complete = addExactRuns(result, control);
    return result;
}

std::optional<double> sweatFactor(const RepetitionStats &stats)
{
    if (stats.sweatFactor)
        return stats.sweatFactor;
    if (!stats.estimates.rmse || !stats.trials)
        return std::nullopt;
    return *stats.estimates.rmse * *stats.estimates.rmse * stats.trials->mean;
}

std::vector<SweepColumn> sweepStatsColumns(const SweepResult &result)
{
    std::vector<SweepColumn> columns;
    for (std::size_t a = 0; a < result.axes.size(); ++a)
        columns.push_back(
            { result.axes[a].name(), [a](const SweepRow &r) { return formatReal(r.values[a]); } });
    const std::string seed = std::to_string(result.seed);
    const std::string repetitions = std::to_string(result.repetitions);
    const auto estimates = [](const SweepRow &r) -> const EstimateStats & { return r.stats.estimates; };
    // Nothing was counted when nothing was simulated.
    const bool simulated = result.simulated;
    const auto counted
        = [simulated](auto count) { return simulated ? std::to_string(count) : std::string("NA"); };
    columns.insert(columns.end(),
        {
            { "seed", [seed](const SweepRow &) { return seed; } },
            { "last_reversals", [](const SweepRow &r) { return std::to_string(r.stats.lastReversals); } },
            { "repetitions", [repetitions](const SweepRow &) { return repetitions; } },
            { "staircase", [](const SweepRow &r) { return std::to_string(r.staircase); } },
            { "id", [](const SweepRow &r) { return quotedId(r.id); } },
            { "estimator", [](const SweepRow &r) { return std::string(estimatorName(r.estimator)); } },
            { "psi_star", [](const SweepRow &r) { return text(r.theory.classic.psi); } },
            { "x_star", [](const SweepRow &r) { return text(r.theory.classic.level); } },
            { "count", [=](const SweepRow &r) { return counted(estimates(r).count); } },
            { "mean", [=](const SweepRow &r) { return text(estimates(r).mean); } },
            { "mean_lo", [=](const SweepRow &r) { return intervalEnd(estimates(r).meanInterval, false); } },
            { "mean_hi", [=](const SweepRow &r) { return intervalEnd(estimates(r).meanInterval, true); } },
            { "bias", [=](const SweepRow &r) { return text(estimates(r).bias); } },
            { "sd", [=](const SweepRow &r) { return text(estimates(r).sd); } },
            { "sd_lo", [=](const SweepRow &r) { return intervalEnd(estimates(r).sdInterval, false); } },
            { "sd_hi", [=](const SweepRow &r) { return intervalEnd(estimates(r).sdInterval, true); } },
            { "se", [=](const SweepRow &r) { return text(estimates(r).standardError); } },
            { "q025", [=](const SweepRow &r) { return text(estimates(r).lowerQuantile); } },
            { "q975", [=](const SweepRow &r) { return text(estimates(r).upperQuantile); } },
            { "rmse", [=](const SweepRow &r) { return text(estimates(r).rmse); } },
            { "rmse_lo", [=](const SweepRow &r) { return intervalEnd(estimates(r).rmseInterval, false); } },
            { "rmse_hi", [=](const SweepRow &r) { return intervalEnd(estimates(r).rmseInterval, true); } },
            { "mean_trials",
                [](const SweepRow &r) {
                    return r.stats.trials ? formatReal(r.stats.trials->mean) : std::string("NA");
                } },
            { "sweat", [](const SweepRow &r) { return text(sweatFactor(r.stats)); } },
            { "sweat_lo", [](const SweepRow &r) { return intervalEnd(r.stats.sweatInterval, false); } },
            { "sweat_hi", [](const SweepRow &r) { return intervalEnd(r.stats.sweatInterval, true); } },
            { "stopped_reversals", [=](const SweepRow &r) { return counted(r.stats.stoppedOnReversals); } },
            { "stopped_trials", [=](const SweepRow &r) { return counted(r.stats.stoppedOnTrials); } },
            { "stopped_clamp", [=](const SweepRow &r) { return counted(r.stats.stoppedOnClampHits); } },
            { "fewer_reversals", [=](const SweepRow &r) { return counted(r.stats.fewerReversals); } },
            // The staircase's settings as the combination ran them, then the observer's.
            { "direction",
                [](const SweepRow &r) {
                    return std::string(r.settings.ascending ? "ascending" : "descending");
                } },
            { "start_level", [](const SweepRow &r) { return formatReal(r.settings.startLevel); } },
            { "correct_answers",
                [](const SweepRow &r) { return std::to_string(r.settings.correctAnswers); } },
            { "max_reversals", [](const SweepRow &r) { return std::to_string(r.settings.maxInversions); } },
            { "max_trials", [](const SweepRow &r) { return std::to_string(r.settings.maxTrials); } },
            { "positive_steps", [](const SweepRow &r) { return r.settings.positiveStepsText; } },
            { "negative_step", [](const SweepRow &r) { return formatReal(r.settings.negativeStep); } },
            { "clamp_lower",
                [](const SweepRow &r) {
                    return r.settings.clampActive ? formatReal(r.settings.lowerClamp) : std::string("NA");
                } },
            { "clamp_upper",
                [](const SweepRow &r) {
                    return r.settings.clampActive ? formatReal(r.settings.upperClamp) : std::string("NA");
                } },
            { "max_clamp_hits",
                [](const SweepRow &r) {
                    return r.settings.clampActive ? std::to_string(r.settings.maxClampHits)
                                                  : std::string("NA");
                } },
            { "observer_mean", [](const SweepRow &r) { return formatReal(r.observer.mean); } },
            { "observer_sd", [](const SweepRow &r) { return formatReal(r.observer.standardDeviation); } },
            { "guess_rate", [](const SweepRow &r) { return formatReal(r.observer.guessRate); } },
            { "lapse_rate", [](const SweepRow &r) { return formatReal(r.observer.lapseRate); } },
        });
    if (result.withExact) {
        const std::vector<std::string> &names = exactStatsColumns();
        for (std::size_t c = 0; c < names.size(); ++c)
            columns.push_back({ names[c], [c](const SweepRow &r) {
                                   return exactStatsFields(
                                       r.exact ? &*r.exact : nullptr, r.stats.lastReversals)[c];
                               } });
    }
    return columns;
}

std::string sweepStatsText(const SweepResult &result)
{
    const std::vector<SweepColumn> columns = sweepStatsColumns(result);
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c)
        out += (c ? "\t" : "") + columns[c].name;
    out += '\n';
    for (const SweepRow &row : result.rows) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            out += (c ? "\t" : "") + columns[c].cell(row);
        out += '\n';
    }
    return out;
}
