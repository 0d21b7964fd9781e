#include "BatchRun.h"

#include "BatchOptions.h"
#include "BatchOutput.h"
#include "ExactRun.h"
#include "ExperimentLoading.h"
#include "ProgressLine.h"
#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "Run.h"
#include "RunMemoryBudget.h"
#include "StaircaseTable.h"
#include "Sweep.h"
#include "TaggedLines.h"
#include "TidyTrials.h"
#include "TrialTable.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include <sys/stat.h>

namespace
{

const char programName[] = "quorvel-batch";

// Messages go through here so that a progress line never runs into them.
class Reporter
{
public:
    explicit Reporter(const BatchConsole &console)
        : console(console)
        , progress(console.err, console.progress)
    {
    }

    void error(const std::string &message)
    {
        progress.clear();
        std::fprintf(console.err, "%s: %s\n", programName, message.c_str());
    }
    void warning(const std::string &message) { error("warning: " + message); }
    ProgressLine &line() { return progress; }

private:
    const BatchConsole &console;
    ProgressLine progress;
};

int usageError(const BatchConsole &console, const std::string &message)
{
    std::fprintf(console.err, "%s: %s\n\n%s", programName, message.c_str(), batchUsage);
    return exitUsage;
}

// The folder of a file that is not there yet, with its links and dots resolved, and its name.
std::string canonicalName(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved))
        return path;
    return std::string(resolved) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// However they are spelt: one device and inode, or for files not there yet one folder and name.
bool sameFile(const std::string &a, const std::string &b)
{
    struct stat first, second;
    const bool aThere = ::stat(a.c_str(), &first) == 0;
    const bool bThere = ::stat(b.c_str(), &second) == 0;
    if (aThere || bThere)
        return aThere && bThere && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return canonicalName(a) == canonicalName(b);
}

std::string outputProblem(const BatchOptions &options)
{
    const bool bothFiles = !options.trialsPath.empty() && options.trialsPath != "-"
        && !options.summaryPath.empty() && options.summaryPath != "-";
    if (bothFiles && sameFile(options.trialsPath, options.summaryPath))
        return "--trials " + options.trialsPath + " and --summary " + options.summaryPath
            + " name the same file; the second would replace the first.";
    for (const auto &[option, path] :
        { std::pair { "--trials", options.trialsPath }, std::pair { "--tidy-trials", options.tidyTrialsPath },
            std::pair { "--summary", options.summaryPath }, std::pair { "--stats", options.statsPath } })
        if (!path.empty() && path != "-" && sameFile(path, options.experimentPath))
            return std::string(option) + " " + path
                + " is the experiment file itself, which it would replace.";
    return std::string();
}

std::string gigabytes(long double bytes)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1Lf GB", bytes / 1e9L);
    return text;
}

// Empty when the run's bound fits the budget; else why it is refused.
std::string memoryProblem(const RunRequest &request, const BatchOptions &options)
{
    const long double budget = options.maxMemoryMegabytes
        ? static_cast<long double>(*options.maxMemoryMegabytes) * (1 << 20)
        : static_cast<long double>(runMemoryBudget());
    const long double bound = runMemoryBound(request);
    if (bound <= budget)
        return std::string();
    return "this run may take up to " + gigabytes(bound) + " of memory"
        + (request.keepTrials ? " (it keeps every trial, up to " + std::to_string(maximumTrials(request))
                    + " of " + std::to_string(RunResult::bytesPerTrial) + " bytes)"
                              : std::string())
        + ", more than the " + gigabytes(budget) + " allowed"
        + (options.maxMemoryMegabytes ? std::string() : std::string(" (half this machine's memory)"))
        + ". Run fewer repetitions, or allow more with --max-memory MB.";
}

class BatchRun
{
public:
    BatchRun(const BatchOptions &options, const BatchConsole &console, const std::atomic<bool> *cancel)
        : options(options)
        , console(console)
        , cancel(cancel)
        , report(console)
    {
    }

    int run();

private:
    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    int unwritable(const char *what, BatchOutput &output);
    int interrupted();
    void discardAll();
    int sweep(const RunRequest &request);
    // `result` null: --exact-only, nothing simulated.
    int writeOutputs(const RunResult *result, const SweepResult &rows);
    int printTable(const std::string &table);
    // Every row's exact values; false when interrupted.
    bool addExact(SweepResult &rows);
    ExactControl exactControl();
    TextSink sinkFor(BatchOutput &output, const char *what);
    EstimatorSettings estimatorSettings() const
    {
        EstimatorSettings settings;
        settings.lastReversals = options.lastReversals;
        settings.firstReversal = options.firstReversal;
        return settings;
    }

    const BatchOptions &options;
    const BatchConsole &console;
    const std::atomic<bool> *cancel;
    Reporter report;
    BatchOutput trials { options.trialsPath, console.out };
    BatchOutput tidyTrials { options.tidyTrialsPath, console.out };
    BatchOutput summary { options.summaryPath, console.out };
    BatchOutput stats { options.statsPath, console.out };
};

void BatchRun::discardAll()
{
    trials.discard();
    tidyTrials.discard();
    summary.discard();
    stats.discard();
}

int BatchRun::unwritable(const char *what, BatchOutput &output)
{
    // A signal ends a write that waits on a stalled pipe: that is an interruption, not a failure.
    if (cancelled())
        return interrupted();
    report.error("can't write the " + std::string(what) + " to " + output.name() + ": " + output.error());
    discardAll();
    return exitUnwritable;
}

int BatchRun::interrupted()
{
    discardAll();
    report.error("interrupted; no output file was replaced.");
    return exitInterrupted;
}

TextSink BatchRun::sinkFor(BatchOutput &output, const char *what)
{
    return [this, &output, what, written = std::size_t(0)](const char *data, std::size_t size) mutable {
        if (cancelled())
            return false;
        written += size;
        if (report.line().due())
            report.line().show(std::string(programName) + ": writing the " + what + ", "
                + std::to_string(written >> 20) + " MB");
        return output.write(data, size);
    };
}

int BatchRun::run()
{
    if (const std::string problem = outputProblem(options); !problem.empty())
        return usageError(console, problem);
    Expected<LoadedExperiment> experiment = loadExperimentFile(options.experimentPath);
    if (!experiment) {
        report.error(experiment.problem().message);
        return exitUnreadable;
    }
    for (const std::string &warning : experiment->warnings)
        report.warning(warning);
    RunRequest &request = experiment->request;
    request.repetitions = options.repetitions.value_or(request.repetitions);
    if (const std::optional<Problem> problem = runProblem(request)) {
        report.error(problem->message);
        return exitUnreadable;
    }
    if (!options.vary.empty())
        return sweep(request);
    // The table of the reversal estimates and the stats need each repetition's
    // outcome, not its trials; the other estimators and the summary read them all.
    request.keepTrials = !options.trialsPath.empty() || !options.tidyTrialsPath.empty()
        || !options.summaryPath.empty()
        || options.estimators != std::vector<Estimator> { Estimator::reversals };
    if (const std::string problem = memoryProblem(request, options); !problem.empty()) {
        report.error(problem);
        return exitRunFailed;
    }

    // Before the run: a long run must not end in a file that cannot be written.
    if (!options.trialsPath.empty() && !trials.open())
        return unwritable("trials", trials);
    if (!options.tidyTrialsPath.empty() && !tidyTrials.open())
        return unwritable("tidy trials", tidyTrials);
    if (!options.summaryPath.empty() && !summary.open())
        return unwritable("summary", summary);
    if (!options.statsPath.empty() && !stats.open())
        return unwritable("statistics", stats);

    if (options.exactOnly) {
        SweepResult rows = unsimulatedResultOf(request, options.lastReversals, options.seed);
        if (!addExact(rows))
            return interrupted();
        if (const int status = writeOutputs(nullptr, rows); status != exitDone)
            return status;
        std::vector<ExactRun> exact;
        for (const SweepRow &row : rows.rows)
            exact.push_back(*row.exact);
        report.line().clear();
        return printTable(exactTableText(request, exact, options.lastReversals));
    }

    RandomEngine engine(options.seed);
    const auto showProgress = [&](const RunProgress &p) {
        if (report.line().due())
            report.line().show(progressText(p, request.repetitions));
    };
    try {
        const RunResult result = simulate(request, engine, showProgress, cancel);
        if (!result.isComplete())
            return interrupted();
        SweepResult rows = sweepResultOf(result, estimatorSettings(), options.estimators, options.seed);
        if (options.exact && !addExact(rows))
            return interrupted();
        if (const int status = writeOutputs(&result, rows); status != exitDone)
            return status;
        report.line().clear();
        return printTable(options.quiet ? std::string() : staircaseTableText(rows));
    } catch (const std::bad_alloc &) {
        discardAll();
        report.error(request.keepTrials
                ? "out of memory: the run keeps every trial in memory ("
                    + std::to_string(RunResult::bytesPerTrial)
                    + " bytes each), and this one may record up to " + std::to_string(maximumTrials(request))
                    + " trials. Run fewer repetitions, or lower the maximum trials."
                : "out of memory: the run keeps each repetition's outcome and reversal levels. Run fewer "
                  "repetitions.");
        return exitRunFailed;
    } catch (const std::length_error &e) {
        discardAll();
        report.error(e.what());
        return exitRunFailed;
    }
}

int BatchRun::sweep(const RunRequest &request)
{
    const SweepRequest sweepRequest { request, options.lastReversals, options.seed, options.vary };
    const Expected<SweepPlan> planned = planSweep(sweepRequest);
    if (!planned) {
        report.error(planned.problem().message);
        return exitUsage;
    }
    const SweepPlan &plan = *planned;
    if (!options.statsPath.empty() && !stats.open())
        return unwritable("statistics", stats);
    const auto showProgress = [&](const SweepProgress &p) {
        if (report.line().due())
            report.line().show(std::string(programName) + ": " + std::to_string(p.points) + " of "
                + std::to_string(p.totalPoints) + " combinations, " + std::to_string(p.repetitions) + " of "
                + std::to_string(p.totalRepetitions) + " repetitions");
    };
    try {
        SweepResult result;
        if (options.exactOnly) {
            result = exactSweep(sweepRequest, plan, exactControl());
            if (!result.complete || cancelled())
                return interrupted();
        } else {
            result = runSweep(sweepRequest, plan, showProgress, cancel);
            if (!result.complete || (options.exact && !addExact(result)))
                return interrupted();
        }
        const std::string text = sweepStatsText(result);
        if (!options.statsPath.empty()
            && !(TaggedLines(options.tags, sinkFor(stats, "statistics"))(text.data(), text.size())
                && stats.finish()))
            return cancelled() ? interrupted() : unwritable("statistics", stats);
        report.line().clear();
        return printTable(staircaseTableText(result));
    } catch (const std::bad_alloc &) {
        discardAll();
        report.error("out of memory: each combination's run keeps its trials until its statistics are taken ("
            + std::to_string(RunResult::bytesPerTrial) + " bytes each), and this sweep may hold up to "
            + std::to_string(sweepMaximumTrialsHeld(plan, sweepThreads(plan)))
            + " trials at once. Run fewer repetitions, or lower the maximum trials.");
        return exitRunFailed;
    } catch (const std::length_error &e) {
        discardAll();
        report.error(e.what());
        return exitRunFailed;
    }
}

ExactControl BatchRun::exactControl()
{
    ExactControl control;
    control.cancel = cancel;
    control.progress = [this](double share) {
        if (report.line().due())
            report.line().show(std::string(programName) + ": exact values, "
                + std::to_string(int(share * 100.0)) + " % done");
    };
    return control;
}

bool BatchRun::addExact(SweepResult &rows)
{
    return addExactRuns(rows, exactControl()) && !cancelled();
}

int BatchRun::writeOutputs(const RunResult *result, const SweepResult &rows)
{
    // All are written in full before any replaces its file.
    if (result && !options.trialsPath.empty()
        && !writeTrialTable(*result, nullptr, sinkFor(trials, "trials")))
        return cancelled() ? interrupted() : unwritable("trials", trials);
    if (result && !options.tidyTrialsPath.empty()
        && !writeTidyTrials(*result, sinkFor(tidyTrials, "tidy trials")))
        return cancelled() ? interrupted() : unwritable("tidy trials", tidyTrials);
    if (result && !options.summaryPath.empty()
        && !writeRepetitionSummary(
            *result, estimatorSettings(), TaggedLines(options.tags, sinkFor(summary, "summary"))))
        return cancelled() ? interrupted() : unwritable("summary", summary);
    if (!options.statsPath.empty()) {
        const std::string text = sweepStatsText(rows);
        if (!TaggedLines(options.tags, sinkFor(stats, "statistics"))(text.data(), text.size()))
            return cancelled() ? interrupted() : unwritable("statistics", stats);
    }
    if (cancelled())
        return interrupted();
    if (!options.trialsPath.empty() && !trials.finish())
        return unwritable("trials", trials);
    if (!options.tidyTrialsPath.empty() && !tidyTrials.finish())
        return unwritable("tidy trials", tidyTrials);
    if (!options.summaryPath.empty() && !summary.finish())
        return unwritable("summary", summary);
    if (!options.statsPath.empty() && !stats.finish())
        return unwritable("statistics", stats);
    return exitDone;
}

int BatchRun::printTable(const std::string &table)
{
    if (options.quiet)
        return exitDone;
    // The standard output carries a TSV when an output is "-"; the table must not mix into it.
    if (trials.isStandardOutput() || tidyTrials.isStandardOutput() || summary.isStandardOutput()
        || stats.isStandardOutput()) {
        std::fputs(table.c_str(), console.err);
        return exitDone;
    }
    errno = 0;
    if (std::fwrite(table.data(), 1, table.size(), console.out) != table.size()
        || std::fflush(console.out) != 0 || std::ferror(console.out)) {
        if (cancelled())
            return interrupted();
        report.error(std::string("can't write the table to the standard output: ")
            + std::strerror(errno ? errno : EIO));
        return exitUnwritable;
    }
    return exitDone;
}

} // namespace

std::string progressText(const RunProgress &p, int repetitions)
{
    return std::string(programName) + ": repetition "
        + std::to_string(std::min(p.repetitions + 1, repetitions)) + " of " + std::to_string(repetitions)
        + ", " + std::to_string(p.trials) + " trials";
}

int batchMain(
    const std::vector<std::string> &arguments, const BatchConsole &console, const std::atomic<bool> *cancel)
{
    const Expected<BatchOptions> parsed = parseBatchOptions(arguments);
    if (!parsed)
        return usageError(console, parsed.problem().message);
    if (parsed->help) {
        std::fputs(batchUsage, console.out);
        return std::fflush(console.out) == 0 && !std::ferror(console.out) ? exitDone : exitUnwritable;
    }
    try {
        return BatchRun(*parsed, console, cancel).run();
    } catch (const std::bad_alloc &) {
        // Outside the run itself (an output's buffer, a message): the outputs are discarded on the way out.
        std::fprintf(console.err, "%s: out of memory.\n", programName);
        return exitRunFailed;
    }
}
