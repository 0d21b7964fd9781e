#include "ExperimentFile.h"

#include "FieldRanges.h"
#include "ParametersLoader.h"
#include "TextUtils.h"

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <locale>
#include <new>
#include <sstream>
#include <stdexcept>

namespace
{

// A file problem found while reading; its text is what the user is shown.
class ReadFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

std::string wrongCount(const std::string &what, const std::string &key, int n)
{
    return "Wrong number of " + what + "!\nCheck \"" + key + "\" to have " + std::to_string(n) + " elements";
}

std::size_t commaCount(const std::string &value)
{
    return static_cast<std::size_t>(std::count(value.begin(), value.end(), ','));
}

// The number of elements tokenize finds in a trimmed comma-separated list, without making them.
std::size_t elementCount(const std::string &list)
{
    std::size_t count = 0;
    bool inElement = false;
    const std::string trimmed = boost::algorithm::trim_copy(list);
    for (const char c : trimmed) {
        if (c == ',')
            inElement = false;
        else if (!inElement) {
            inElement = true;
            ++count;
        }
    }
    return count;
}

ReadFailure unreadable(const std::string &key, const std::string &token, const char *expected)
{
    // A NUL byte would end the message wherever it is shown as a C string.
    std::string shown;
    for (const char c : token)
        shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    return ReadFailure("Can't read \"" + shown + "\" in \"" + key + "\" as " + expected + ".");
}

std::string repeatedKeysWarning(const std::vector<std::string> &keys)
{
    constexpr std::size_t named = 5;
    std::string names;
    for (std::size_t i = 0; i < std::min(keys.size(), named); ++i)
        names += (i ? ", \"" : "\"") + keys[i] + "\"";
    if (keys.size() > named)
        names += " and " + std::to_string(keys.size() - named) + " more keys";
    return "The parameters file gives " + names + " more than once; "
        + (keys.size() == 1 ? "the first value is used." : "the first value of each is used.");
}

template <typename T> T convert(const std::string &key, const std::string &token);

template <> double convert<double>(const std::string &key, const std::string &token)
{
    double value = 0.0;
    // A level or a rate must be a finite number; "nan" and "inf" would pass the cast.
    if (!boost::conversion::try_lexical_convert(token, value) || !std::isfinite(value))
        throw unreadable(key, token, "a number");
    return value;
}

template <> int convert<int>(const std::string &key, const std::string &token)
{
    int value = 0;
    if (!boost::conversion::try_lexical_convert(token, value))
        throw unreadable(key, token, "a whole number");
    return value;
}

template <> bool convert<bool>(const std::string &key, const std::string &token)
{
    bool value = false;
    if (!boost::conversion::try_lexical_convert(token, value))
        throw unreadable(key, token, "1 or 0");
    return value;
}

// One list key with one element per staircase; `what` names it in the count-check text.
struct ListKey {
    const char *key;
    const char *what;
};

const ListKey correctAnswersKey { "sStairCorrectAnswers", "correct answers" };
const ListKey startStatesKey { "sStairStartStates", "start states" };
const ListKey ascendingKey { "sStairAscending", "ascending/descending staircases" };
const ListKey maxInversionsKey { "sStairMaxInversions", "max inversions" };
const ListKey maxTrialsKey { "sStairMaxTrials", "max trials" };
const ListKey clampActiveKey { "sStairClampActive", "clamp states" };
// The optional per-staircase lines that follow the classic ones.
const char repetitionsKey[] = "sStairRepetitions";
const ListKey stringIdActiveKey { "sStairStringIdActive", "string ID states" };
const ListKey stringIdsKey { "sStairStringIds", "string IDs" };
const ListKey negativeStepListKey { "sStairNegativeStepList", "negative steps" };
const ListKey clampLowerListKey { "sStairClampLowerList", "lower clamps" };
const ListKey clampUpperListKey { "sStairClampUpperList", "upper clamps" };
const ListKey maxClampHitsListKey { "sStairMaxClampHitsList", "maximum clamp hits" };
const ListKey perStaircaseKeys[] = { stringIdActiveKey, stringIdsKey, negativeStepListKey, clampLowerListKey,
    clampUpperListKey, maxClampHitsListKey };

void checkListCount(const ParametersLoader &loader, const ListKey &list, int n)
{
    if (commaCount(loader.get(list.key)) + 1 != static_cast<std::size_t>(n))
        throw ReadFailure(wrongCount(list.what, list.key, n));
}

void checkSingleValue(const ParametersLoader &loader, const char *key, const char *text)
{
    if (commaCount(loader.get(key)) != 0)
        throw ReadFailure(text);
}

// Converts the trimmed list's tokens (separator ","), naming the
// offending token; empty elements ("1,,2") leave fewer than n, which fails
// like a wrong comma count.
template <typename T> std::vector<T> convertList(const ParametersLoader &loader, const ListKey &list, int n)
{
    const std::vector<std::string> tokens = tokenize(boost::algorithm::trim_copy(loader.get(list.key)), ",");
    if (tokens.size() < static_cast<std::size_t>(n))
        throw ReadFailure(wrongCount(list.what, list.key, n));
    std::vector<T> values;
    for (int i = 0; i < n; ++i)
        values.push_back(convert<T>(list.key, tokens[static_cast<std::size_t>(i)]));
    return values;
}

// The list's own elements when the file holds it, otherwise n times `single`.
template <typename T>
std::vector<T> perStaircase(const ParametersLoader &loader, const ListKey &list, int n, const T &single)
{
    return loader.exists(list.key) ? convertList<T>(loader, list, n) : std::vector<T>(std::size_t(n), single);
}

// String IDs are split at every comma, so an empty ID ("left,,right") keeps its place.
std::vector<std::string> stringIds(const ParametersLoader &loader)
{
    std::vector<std::string> ids(1);
    for (const char c : loader.get(stringIdsKey.key)) {
        if (c == ',')
            ids.emplace_back();
        else
            ids.back() += c;
    }
    return ids;
}

// The clamp-hit limit is read as a real and truncated toward zero; values
// beyond the int range are held at its ends (the page clamps them further).
int truncateToInt(double value)
{
    const double truncated = std::trunc(value);
    if (truncated <= static_cast<double>(INT_MIN))
        return INT_MIN;
    if (truncated >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(truncated);
}

double observerValue(const ParametersLoader &loader, const std::string &key, double fallback,
    const std::string &missingText, std::vector<std::string> &warnings)
{
    if (!loader.exists(key)) {
        warnings.push_back(missingText);
        return fallback;
    }
    return convert<double>(key, loader.get(key));
}

ExperimentReading readChecked(const ParametersLoader &loader)
{
    ExperimentReading reading;
    const int n = convert<int>("sStairNumber", loader.get("sStairNumber"));
    if (n < 1 || n > maxStaircaseCount)
        throw ReadFailure("Wrong number of staircases!\nCheck \"sStairNumber\" to be between 1 and "
            + std::to_string(maxStaircaseCount));

    const std::string positiveStep = loader.get("sStairPositiveStep");
    const std::vector<std::string> stepLists = tokenize(positiveStep, ";");
    const bool listPerStaircase = positiveStep.find(';') != std::string::npos;

    for (const ListKey &list :
        { correctAnswersKey, startStatesKey, ascendingKey, maxInversionsKey, maxTrialsKey })
        checkListCount(loader, list, n);
    checkSingleValue(loader, "sStairNegativeStep",
        "You can only use one negative step size for every staircase! Please modify the "
        "parameters file under sStairNegativeStep section.");
    checkSingleValue(loader, "sStairClampLower",
        "Please specify only 1 number for lower clamp. It will be applied to every staircase.");
    checkSingleValue(loader, "sStairClampUpper",
        "Please specify only 1 number for upper clamp. It will be applied to every staircase.");
    checkSingleValue(loader, "sStairMaxClampHits",
        "Please specify only 1 number for maximum clamp hits. It will be applied to every "
        "staircase.");
    const bool clampStatesGiven = loader.exists(clampActiveKey.key);
    if (clampStatesGiven)
        checkListCount(loader, clampActiveKey, n);
    for (const ListKey &list : perStaircaseKeys)
        if (loader.exists(list.key))
            checkListCount(loader, list, n);

    const std::vector<double> startStates = convertList<double>(loader, startStatesKey, n);
    const std::vector<int> correctAnswers = convertList<int>(loader, correctAnswersKey, n);
    const std::vector<bool> ascending = convertList<bool>(loader, ascendingKey, n);
    const std::vector<int> maxInversions = convertList<int>(loader, maxInversionsKey, n);
    const std::vector<int> maxTrials = convertList<int>(loader, maxTrialsKey, n);
    const double negativeStep = convert<double>("sStairNegativeStep", loader.get("sStairNegativeStep"));
    if (listPerStaircase && stepLists.size() < static_cast<std::size_t>(n))
        throw ReadFailure("Wrong number of positive step lists!\nCheck \"sStairPositiveStep\" to have "
            + std::to_string(n) + " lists separated by \";\"");
    for (int i = 0; i < (listPerStaircase ? n : 1); ++i) {
        const std::size_t sizes = elementCount(stepLists[std::size_t(i)]);
        if (sizes > std::size_t(maxPositiveStepCount))
            throw ReadFailure("Too many positive step sizes!\nThe list of Staircase " + std::to_string(i)
                + " in \"sStairPositiveStep\" holds " + std::to_string(sizes) + " sizes; at most "
                + std::to_string(maxPositiveStepCount) + " are accepted");
    }
    const std::vector<bool> clampActive
        = clampStatesGiven ? convertList<bool>(loader, clampActiveKey, n) : std::vector<bool>(n, true);
    const double upperClamp = convert<double>("sStairClampUpper", loader.get("sStairClampUpper"));
    const double lowerClamp = convert<double>("sStairClampLower", loader.get("sStairClampLower"));
    const double clampHitsInFile = convert<double>("sStairMaxClampHits", loader.get("sStairMaxClampHits"));
    const std::vector<double> negativeSteps = perStaircase(loader, negativeStepListKey, n, negativeStep);
    const std::vector<double> lowerClamps = perStaircase(loader, clampLowerListKey, n, lowerClamp);
    const std::vector<double> upperClamps = perStaircase(loader, clampUpperListKey, n, upperClamp);
    const std::vector<double> clampHits = perStaircase(loader, maxClampHitsListKey, n, clampHitsInFile);
    ExperimentDescription &experiment = reading.experiment;
    experiment.stringIdsGiven = loader.exists(stringIdActiveKey.key) || loader.exists(stringIdsKey.key);
    const std::vector<bool> useStringIds = perStaircase(loader, stringIdActiveKey, n, false);
    const std::vector<std::string> ids
        = loader.exists(stringIdsKey.key) ? stringIds(loader) : std::vector<std::string>(std::size_t(n));
    if (loader.exists(repetitionsKey))
        experiment.repetitions = convert<int>(repetitionsKey, loader.get(repetitionsKey));

    for (int i = 0; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        StaircaseSettings s;
        s.startLevel = startStates[k];
        s.correctAnswers = correctAnswers[k];
        s.ascending = ascending[k];
        s.maxInversions = maxInversions[k];
        s.maxTrials = maxTrials[k];
        s.negativeStep = negativeSteps[k];
        s.positiveStepsText = listPerStaircase ? stepLists[k] : stepLists.front();
        s.clampActive = clampActive[k];
        s.upperClamp = upperClamps[k];
        s.lowerClamp = lowerClamps[k];
        s.maxClampHits = truncateToInt(clampHits[k]);
        s.stringId = ids[k];
        s.useStringId = useStringIds[k];
        experiment.staircases.push_back(s);
    }

    ObserverSettings &observer = experiment.observer;
    observer.guessRate = observerValue(loader, "GuessRate", 0.0,
        "Parameter \"GuessRate\" doesn't exists. Setting it to 0.0", reading.warnings);
    observer.lapseRate = observerValue(loader, "LapseRate", 0.0,
        "Parameter \"LapseRate\" doesn't exists. Setting it to 0.0", reading.warnings);
    observer.mean = observerValue(
        loader, "Mu", 0.0, "Parameter \"Mu\" doesn't exists. Setting \"Mean\" to 0.0", reading.warnings);
    observer.standardDeviation = observerValue(loader, "Sigma", 1.0,
        "Parameter \"Sigma\" doesn't exists. Setting \"standard deviation\" it to 1", reading.warnings);

    if (!loader.repeatedKeys().empty())
        reading.warnings.push_back(repeatedKeysWarning(loader.repeatedKeys()));

    reading.changes = fitToFields(experiment);
    // The limit was truncated to an int on reading; the change shows the file's own number.
    for (ValueChange &change : reading.changes)
        if (change.field == FieldRanges::maxClampHits.name)
            change.fileValue = formatReal(clampHits[std::size_t(change.staircase)]);
    return reading;
}

std::string joined(const std::vector<std::string> &items, const char *separator)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i ? separator : "") + items[i];
    return text;
}

template <typename F> std::string joinedStaircases(const ExperimentDescription &experiment, F field)
{
    std::vector<std::string> items;
    for (const StaircaseSettings &s : experiment.staircases)
        items.push_back(field(s));
    return joined(items, ",");
}

} // namespace

bool operator==(const ExperimentDescription &a, const ExperimentDescription &b)
{
    return a.observer == b.observer && a.staircases == b.staircases && a.repetitions == b.repetitions
        && a.stringIdsGiven == b.stringIdsGiven;
}

Expected<ExperimentReading> readExperiment(const ParametersLoader &loader)
{
    try {
        return readChecked(loader);
    } catch (const MissingKeyError &e) {
        return Problem { e.what() };
    } catch (const ReadFailure &e) {
        return Problem { e.what() };
    } catch (const std::bad_alloc &) {
        return Problem { "There is not enough memory to read the parameters file." };
    }
}

Expected<ExperimentReading> readExperimentFile(const std::string &path)
{
    ParametersLoader loader;
    try {
        loader.loadFile(path);
    } catch (const ParametersFileError &e) {
        return Problem { "Can't read the parameters file " + path + ":\n" + e.reason() };
    }
    return readExperiment(loader);
}

std::optional<Problem> guessAndLapseWarning(const ObserverSettings &observer)
{
    if (observerRises(observer))
        return std::nullopt;
    return Problem { "The guess rate (" + formatReal(observer.guessRate) + ") and the lapse rate ("
        + formatReal(observer.lapseRate)
        + ") add up to 1 or more, so the psychometric function does not rise with the level. Start "
          "refuses to run until their sum is below 1." };
}

std::optional<Problem> positiveStepsProblem(const ExperimentDescription &experiment)
{
    for (std::size_t i = 0; i < experiment.staircases.size(); ++i) {
        const std::string text = boost::algorithm::trim_copy(experiment.staircases[i].positiveStepsText);
        const std::string name = "Staircase " + std::to_string(i);
        if (text.empty())
            return Problem { name
                + " has no positive steps, so the file could not be read back. Nothing was written." };
        if (text.find_first_of(" \t\n\v\f\r:;") != std::string::npos)
            return Problem { "The positive steps of " + name + " (\"" + text
                + "\") hold white space, a \":\" or a \";\", which would break the parameters file. Separate "
                  "the steps with commas only. Nothing was written." };
    }
    return std::nullopt;
}

std::string writeExperiment(const ExperimentDescription &experiment)
{
    const ObserverSettings &observer = experiment.observer;
    const StaircaseSettings first
        = experiment.staircases.empty() ? StaircaseSettings() : experiment.staircases.front();
    std::vector<std::string> stepTexts;
    for (const StaircaseSettings &s : experiment.staircases)
        stepTexts.push_back(boost::algorithm::trim_copy(s.positiveStepsText));
    const auto number = [](int value) { return std::to_string(value); };

    std::string text;
    text += "Mu " + formatReal(observer.mean) + "\n";
    text += "Sigma: " + formatReal(observer.standardDeviation) + "\n";
    text += "LapseRate: " + formatReal(observer.lapseRate) + "\n";
    text += "GuessRate: " + formatReal(observer.guessRate) + "\n";
    text += "sStairNumber: " + number(static_cast<int>(experiment.staircases.size())) + "\n";
    text += "sStairStartStates: " + joinedStaircases(experiment, [](const StaircaseSettings &s) {
        return formatReal(s.startLevel);
    }) + "\n";
    text += "sStairAscending: " + joinedStaircases(experiment, [](const StaircaseSettings &s) {
        return s.ascending ? "1" : "0";
    }) + "\n";
    text += "sStairCorrectAnswers: " + joinedStaircases(experiment, [&](const StaircaseSettings &s) {
        return number(s.correctAnswers);
    }) + "\n";
    text += "sStairMaxInversions: " + joinedStaircases(experiment, [&](const StaircaseSettings &s) {
        return number(s.maxInversions);
    }) + "\n";
    text += "sStairMaxTrials: " + joinedStaircases(experiment, [&](const StaircaseSettings &s) {
        return number(s.maxTrials);
    }) + "\n";
    text += "sStairPositiveStep: " + joined(stepTexts, ";") + "\n";
    text += "sStairNegativeStep: " + formatReal(first.negativeStep) + "\n";
    text += "sStairClampLower: " + formatReal(first.lowerClamp) + "\n";
    text += "sStairClampUpper: " + formatReal(first.upperClamp) + "\n";
    text += "sStairMaxClampHits: " + number(first.maxClampHits) + "\n";
    text += "sStairClampActive: " + joinedStaircases(experiment, [](const StaircaseSettings &s) {
        return s.clampActive ? "1" : "0";
    }) + "\n";
    // The lines above are the classic file, unchanged; what it could not hold follows.
    if (experiment.repetitions)
        text += std::string(repetitionsKey) + ": " + number(*experiment.repetitions) + "\n";
    if (experiment.stringIdsGiven) {
        text += std::string(stringIdActiveKey.key) + ": "
            + joinedStaircases(
                experiment, [](const StaircaseSettings &s) { return s.useStringId ? "1" : "0"; })
            + "\n";
        // A line without a value would read as no line, so IDs that are all empty are left out.
        const std::string ids
            = joinedStaircases(experiment, [](const StaircaseSettings &s) { return s.stringId; });
        if (ids.find_first_not_of(',') != std::string::npos)
            text += std::string(stringIdsKey.key) + ": " + ids + "\n";
    }
    text += std::string(negativeStepListKey.key) + ": "
        + joinedStaircases(experiment, [](const StaircaseSettings &s) { return formatReal(s.negativeStep); })
        + "\n";
    text += std::string(clampLowerListKey.key) + ": "
        + joinedStaircases(experiment, [](const StaircaseSettings &s) { return formatReal(s.lowerClamp); })
        + "\n";
    text += std::string(clampUpperListKey.key) + ": "
        + joinedStaircases(experiment, [](const StaircaseSettings &s) { return formatReal(s.upperClamp); })
        + "\n";
    text += std::string(maxClampHitsListKey.key) + ": "
        + joinedStaircases(experiment, [&](const StaircaseSettings &s) { return number(s.maxClampHits); })
        + "\n";
    return text;
}

std::optional<Problem> stringIdProblem(const ExperimentDescription &experiment)
{
    for (std::size_t i = 0; i < experiment.staircases.size(); ++i) {
        const std::string &id = experiment.staircases[i].stringId;
        if (id.find_first_of(" \t\n\v\f\r:,") != std::string::npos)
            return Problem { "The string ID of Staircase " + std::to_string(i) + " (\"" + id
                + "\") holds a blank, a tab, a line break, a \":\" or a \",\", which the parameters file "
                  "cannot hold. Change the string ID. Nothing was written." };
    }
    return std::nullopt;
}
