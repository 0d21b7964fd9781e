#include "BatchOptions.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

const char batchUsage[] = R"(Usage: quorvel-batch EXPERIMENT.txt [options]
Runs the experiment of a parameters file without the window and prints, per
staircase, its classic target and the estimates' mean, bias and SD over the
repetitions.

Options:
  --repetitions R     run the experiment R times (default: the file's count, else 1)
  --seed S            seed the random generator with S, 0 to 4294967295 (default
                      5489: the window's first run after start-up)
  --last-reversals K  a repetition's estimate is the mean of its last K reversal
                      levels (default 6)
  --estimator NAME    the estimator the table shows: reversals (the last K
                      reversals), trials (every trial from reversal R on), cir
                      (centered isotonic regression), ml (maximum likelihood,
                      sigma known), or all (one block each); default reversals
  --first-reversal R  the first reversal of the trials estimator (default 3)
  --trials FILE       write every trial, byte for byte as the window's export
  --tidy-trials FILE  write every trial as a table for R and pandas, as the
                      window's "Export trials for analysis..."
  --summary FILE      write one row per repetition and staircase (tab-separated),
                      with every estimator's estimate
  --tag NAME=VALUE    put a column NAME holding VALUE first in the summary
                      (may be given several times)
  --vary NAME=VALUES  run the experiment once per value of the setting NAME,
                      each run from the seed; VALUES is a comma list (0.5,1,2)
                      or FROM:TO:STEP (0.25:2:0.25), at most 200 values.
                      S:NAME=VALUES varies staircase S only. Given several
                      times: every combination. NAME is one of
                        step-scale (every step times the value; the target
                        stays), positive-step, negative-step, correct-answers,
                        max-reversals, max-trials, last-reversals, start,
                        sigma, guess, lapse
  --stats FILE        write one row per combination and staircase with the
                      statistics across repetitions (tab-separated); with
                      --exact the exact values follow
  --exact             add the exact values of each staircase's estimate (from its
                      Markov chain, no simulation noise) to the table and the stats
  --exact-only        print the exact values without running any simulation
  --max-memory MB     refuse a run that may take more than MB megabytes (default:
                      half the machine's memory)
  --quiet             print no table
  --help              show this text and stop

Each option but --tag and --vary may be given once.

FILE "-" is the standard output, for one of the four outputs; the table
then goes to the standard error. A file is replaced only once it is complete.
--trials, --tidy-trials and --summary write a single run, so not with --vary.

Exit status: 0 done; 1 the run may take more memory than allowed, ran out of
memory or past 2147483647 trials;
2 bad usage; 3 the experiment file cannot be read or is refused; 4 an output
cannot be written; 130 or 143 interrupted (nothing is left half-written).
)";

namespace
{

template <typename T> std::optional<T> parseDigits(const std::string &text)
{
    // from_chars alone would take a leading '-' and stop at the first non-digit.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    T value {};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Characters that would break the summary's rows or its reading by R and pandas.
bool breaksSummary(const std::string &text)
{
    return text.find_first_of("\t\r\n\"") != std::string::npos;
}

std::string quotedArgument(const std::string &text)
{
    return "\"" + text + "\"";
}

std::optional<Problem> parseTag(const std::string &text, BatchOptions &options)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        return Problem { "--tag needs NAME=VALUE, for example --tag step=0.5, not " + quotedArgument(text)
            + "." };
    const std::string name = text.substr(0, equals);
    const std::string value = text.substr(equals + 1);
    if (breaksSummary(name) || breaksSummary(value))
        return Problem { "--tag " + quotedArgument(text)
            + " holds a tab, a line break or a '\"', which would break the summary's rows." };
    options.tags.emplace_back(name, value);
    return std::nullopt;
}

std::optional<Problem> parseVary(const std::string &text, BatchOptions &options)
{
    const std::size_t equals = text.find('=');
    const std::string usage
        = "--vary needs NAME=VALUES or S:NAME=VALUES, for example --vary step-scale=0.5,1,2, not "
        + quotedArgument(text) + ".";
    if (equals == std::string::npos)
        return Problem { usage };
    Expected<SweepAxis> named = parseSweepAxis(text.substr(0, equals));
    if (!named)
        return Problem { "--vary " + named.problem().message };
    SweepAxis axis = *named;
    const Expected<std::vector<double>> values = parseSweepValues(text.substr(equals + 1));
    if (!values)
        return Problem { "--vary " + text.substr(0, equals) + ": " + values.problem().message };
    axis.values = *values;
    for (const SweepAxis &earlier : options.vary)
        if (earlier.name() == axis.name())
            return Problem { "--vary " + axis.name() + " is given twice; give all its values at once." };
    options.vary.push_back(std::move(axis));
    return std::nullopt;
}

// Applies one option that takes a value; returns the problem, if any.
std::optional<Problem> applyValue(const std::string &name, const std::string &value, BatchOptions &options)
{
    if (name == "--repetitions") {
        options.repetitions = parsePositiveCount(value);
        if (!options.repetitions)
            return Problem { "--repetitions needs a whole number from 1 to 2147483647, not "
                + quotedArgument(value) + "." };
    } else if (name == "--seed") {
        const std::optional<std::uint32_t> seed = parseSeed(value);
        if (!seed)
            return Problem { "--seed needs a whole number from 0 to 4294967295, not " + quotedArgument(value)
                + "." };
        options.seed = *seed;
    } else if (name == "--last-reversals") {
        const std::optional<int> k = parsePositiveCount(value);
        if (!k)
            return Problem { "--last-reversals needs a whole number from 1 to 2147483647, not "
                + quotedArgument(value) + "." };
        options.lastReversals = *k;
    } else if (name == "--first-reversal") {
        const std::optional<int> r = parsePositiveCount(value);
        if (!r)
            return Problem { "--first-reversal needs a whole number from 1 to 2147483647, not "
                + quotedArgument(value) + "." };
        options.firstReversal = *r;
    } else if (name == "--estimator") {
        if (value == "all") {
            options.estimators.assign(allEstimators.begin(), allEstimators.end());
        } else if (const std::optional<Estimator> estimator = estimatorFromName(value)) {
            options.estimators = { *estimator };
        } else {
            return Problem { "--estimator needs one of " + estimatorNameList() + " or all, not "
                + quotedArgument(value) + "." };
        }
    } else if (name == "--max-memory") {
        options.maxMemoryMegabytes = parsePositiveCount(value);
        if (!options.maxMemoryMegabytes)
            return Problem { "--max-memory needs a whole number of megabytes from 1 to 2147483647, not "
                + quotedArgument(value) + "." };
    } else if (name == "--trials") {
        if (value.empty())
            return Problem { "--trials needs a file name, or - for the standard output." };
        options.trialsPath = value;
    } else if (name == "--tidy-trials") {
        if (value.empty())
            return Problem { "--tidy-trials needs a file name, or - for the standard output." };
        options.tidyTrialsPath = value;
    } else if (name == "--summary") {
        if (value.empty())
            return Problem { "--summary needs a file name, or - for the standard output." };
        options.summaryPath = value;
    } else if (name == "--stats") {
        if (value.empty())
            return Problem { "--stats needs a file name, or - for the standard output." };
        options.statsPath = value;
    } else if (name == "--vary") {
        return parseVary(value, options);
    } else {
        return parseTag(value, options);
    }
    return std::nullopt;
}

bool takesValue(const std::string &name)
{
    for (const char *option :
        { "--repetitions", "--seed", "--last-reversals", "--first-reversal", "--estimator", "--max-memory",
            "--trials", "--tidy-trials", "--summary", "--tag", "--stats", "--vary" })
        if (name == option)
            return true;
    return false;
}

std::optional<Problem> checkOutputs(const BatchOptions &options)
{
    if (!options.vary.empty()
        && !(options.trialsPath.empty() && options.tidyTrialsPath.empty() && options.summaryPath.empty()))
        return Problem {
            "--trials, --tidy-trials and --summary write a single run, not a --vary sweep; use --stats "
            "for "
            "the sweep."
        };
    const std::pair<const char *, const std::string *> outputs[]
        = { { "--trials", &options.trialsPath }, { "--tidy-trials", &options.tidyTrialsPath },
              { "--summary", &options.summaryPath }, { "--stats", &options.statsPath } };
    for (std::size_t i = 0; i < std::size(outputs); ++i) {
        const auto &[first, firstPath] = outputs[i];
        if (options.exactOnly && i < 3 && !firstPath->empty())
            return Problem { std::string(first) + " needs a simulation, and --exact-only runs none." };
        for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
            const auto &[second, secondPath] = outputs[j];
            if (firstPath->empty() || *firstPath != *secondPath)
                continue;
            if (*firstPath == "-")
                return Problem { std::string(first) + " and " + second
                    + " can't both go to the standard output (-); write one of them to a file." };
            return Problem { std::string(first) + " and " + second + " name the same file, "
                + quotedArgument(*firstPath) + "; the second would replace the first." };
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint32_t> parseSeed(const std::string &text)
{
    return parseDigits<std::uint32_t>(text);
}

std::optional<int> parsePositiveCount(const std::string &text)
{
    const std::optional<int> value = parseDigits<int>(text);
    if (!value || *value < 1)
        return std::nullopt;
    return value;
}

Expected<BatchOptions> parseBatchOptions(const std::vector<std::string> &arguments)
{
    BatchOptions options;
    std::vector<std::string> files;
    std::vector<std::string> given;
    // The last of two values would win unseen; only --tag adds up.
    const auto repeated = [&given](const std::string &name) {
        if (name == "--tag" || name == "--vary")
            return false;
        if (std::find(given.begin(), given.end(), name) != given.end())
            return true;
        given.push_back(name);
        return false;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help") {
            options.help = true;
            return options; // whatever else is given
        }
        const std::string name = argument.substr(0, argument.find('='));
        if (repeated(name)) {
            return Problem { name + " is given twice; give each option once." };
        }
        const std::pair<const char *, bool *> switches[] = { { "--quiet", &options.quiet },
            { "--exact", &options.exact }, { "--exact-only", &options.exactOnly } };
        if (const auto found = std::find_if(
                std::begin(switches), std::end(switches), [&](const auto &s) { return argument == s.first; });
            found != std::end(switches)) {
            *found->second = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        if (!takesValue(name)) {
            return Problem { "Unknown option " + quotedArgument(argument) + "." };
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return Problem { name + " needs a value." };
        }
        if (std::optional<Problem> problem = applyValue(name, value, options))
            return *problem;
    }
    if (files.size() != 1) {
        return Problem { files.empty()
                ? "No experiment file is given."
                : "One experiment file at a time, not " + std::to_string(files.size()) + "." };
    }
    options.experimentPath = files.front();
    if (std::optional<Problem> problem = checkOutputs(options))
        return *problem;
    return options;
}
