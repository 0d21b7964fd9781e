#include "BatchOptions.h"

#include <algorithm>
#include <charconv>

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
  --trials FILE       write every trial, byte for byte as the window's export
  --summary FILE      write one row per repetition and staircase (tab-separated)
  --tag NAME=VALUE    put a column NAME holding VALUE first in the summary
                      (may be given several times)
  --max-memory MB     refuse a run that may take more than MB megabytes (default:
                      half the machine's memory); only --trials keeps every trial
  --quiet             print no table
  --help              show this text and stop

Each option but --tag may be given once.

FILE "-" is the standard output, for one of --trials and --summary; the table
then goes to the standard error. A file is replaced only once it is complete.

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

std::string parseTag(const std::string &text, BatchOptions &options)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        return "--tag needs NAME=VALUE, for example --tag step=0.5, not " + quotedArgument(text) + ".";
    const std::string name = text.substr(0, equals);
    const std::string value = text.substr(equals + 1);
    if (breaksSummary(name) || breaksSummary(value))
        return "--tag " + quotedArgument(text)
            + " holds a tab, a line break or a '\"', which would break the summary's rows.";
    options.tags.emplace_back(name, value);
    return std::string();
}

// Applies one option that takes a value; returns the problem, if any.
std::string applyValue(const std::string &name, const std::string &value, BatchOptions &options)
{
    if (name == "--repetitions") {
        options.repetitions = parsePositiveCount(value);
        if (!options.repetitions)
            return "--repetitions needs a whole number from 1 to 2147483647, not " + quotedArgument(value)
                + ".";
    } else if (name == "--seed") {
        const std::optional<std::uint32_t> seed = parseSeed(value);
        if (!seed)
            return "--seed needs a whole number from 0 to 4294967295, not " + quotedArgument(value) + ".";
        options.seed = *seed;
    } else if (name == "--last-reversals") {
        const std::optional<int> k = parsePositiveCount(value);
        if (!k)
            return "--last-reversals needs a whole number from 1 to 2147483647, not " + quotedArgument(value)
                + ".";
        options.lastReversals = *k;
    } else if (name == "--max-memory") {
        options.maxMemoryMegabytes = parsePositiveCount(value);
        if (!options.maxMemoryMegabytes)
            return "--max-memory needs a whole number of megabytes from 1 to 2147483647, not "
                + quotedArgument(value) + ".";
    } else if (name == "--trials") {
        if (value.empty())
            return "--trials needs a file name, or - for the standard output.";
        options.trialsPath = value;
    } else if (name == "--summary") {
        if (value.empty())
            return "--summary needs a file name, or - for the standard output.";
        options.summaryPath = value;
    } else {
        return parseTag(value, options);
    }
    return std::string();
}

bool takesValue(const std::string &name)
{
    for (const char *option :
        { "--repetitions", "--seed", "--last-reversals", "--max-memory", "--trials", "--summary", "--tag" })
        if (name == option)
            return true;
    return false;
}

std::string checkOutputs(const BatchOptions &options)
{
    if (options.trialsPath == "-" && options.summaryPath == "-")
        return "--trials and --summary can't both go to the standard output (-); write one of them to a "
               "file.";
    if (!options.trialsPath.empty() && options.trialsPath == options.summaryPath)
        return "--trials and --summary name the same file, " + quotedArgument(options.trialsPath)
            + "; the second would replace the first.";
    return std::string();
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

ParsedOptions parseBatchOptions(const std::vector<std::string> &arguments)
{
    ParsedOptions parsed;
    BatchOptions &options = parsed.options;
    std::vector<std::string> files;
    std::vector<std::string> given;
    // The last of two values would win unseen; only --tag adds up.
    const auto repeated = [&given](const std::string &name) {
        if (name == "--tag")
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
            return parsed; // whatever else is given
        }
        const std::string name = argument.substr(0, argument.find('='));
        if (repeated(name)) {
            parsed.error = name + " is given twice; give each option once.";
            return parsed;
        }
        if (argument == "--quiet") {
            options.quiet = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        if (!takesValue(name)) {
            parsed.error = "Unknown option " + quotedArgument(argument) + ".";
            return parsed;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            parsed.error = name + " needs a value.";
            return parsed;
        }
        parsed.error = applyValue(name, value, options);
        if (!parsed.ok())
            return parsed;
    }
    if (files.size() != 1) {
        parsed.error = files.empty()
            ? "No experiment file is given."
            : "One experiment file at a time, not " + std::to_string(files.size()) + ".";
        return parsed;
    }
    options.experimentPath = files.front();
    parsed.error = checkOutputs(options);
    return parsed;
}
