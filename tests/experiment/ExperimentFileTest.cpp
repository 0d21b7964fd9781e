#include "ExperimentFile.h"
#include "ThreeStaircasesFile.h"

#include "ParStaircase.h"
#include "ParametersLoader.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "TextUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

namespace
{

const std::string threeStaircases = threeStaircasesFile;

// The file text with the line of `key` replaced by `line` (removed when empty).
std::string withLine(const std::string &text, const std::string &key, const std::string &line)
{
    std::istringstream is(text);
    std::string out, current;
    while (std::getline(is, current)) {
        const bool match = current.compare(0, key.size() + 1, key + ":") == 0
            || current.compare(0, key.size() + 1, key + " ") == 0;
        if (!match)
            out += current + "\n";
        else if (!line.empty())
            out += line + "\n";
    }
    return out;
}

ExperimentReading read(const std::string &text)
{
    ParametersLoader loader;
    std::istringstream is(text);
    loader.load(is);
    return readExperiment(loader);
}

std::string describe(const StaircaseSettings &s)
{
    std::ostringstream os;
    os << s.startLevel << ' ' << s.ascending << ' ' << s.correctAnswers << ' ' << s.maxInversions << ' '
       << s.maxTrials << " [" << s.positiveStepsText << "] " << s.negativeStep << ' ' << s.clampActive << ' '
       << s.lowerClamp << ' ' << s.upperClamp << ' ' << s.maxClampHits;
    return os.str();
}

std::vector<std::string> describe(const ExperimentDescription &e)
{
    std::ostringstream os;
    os.precision(17);
    os << e.observer.mean << ' ' << e.observer.standardDeviation << ' ' << e.observer.lapseRate << ' '
       << e.observer.guessRate;
    std::vector<std::string> lines { os.str() };
    for (const StaircaseSettings &s : e.staircases)
        lines.push_back(describe(s));
    return lines;
}

TEST(ReadExperiment, MissingObserverKeysGiveDefaultsAndWarningsInOrder)
{
    std::string text = withLine(threeStaircases, "Mu", "");
    text = withLine(text, "GuessRate", "GuessRate:");
    const ExperimentReading reading = read(text);
    ASSERT_TRUE(reading.ok()) << reading.error;
    EXPECT_EQ(reading.warnings,
        (std::vector<std::string> {
            "Parameter \"GuessRate\" doesn't exists. Setting it to 0.0",
            "Parameter \"Mu\" doesn't exists. Setting \"Mean\" to 0.0",
        }));
    EXPECT_EQ(describe(reading.experiment).front(), "0 2 0.01 0");

    const ExperimentReading bare = read(withLine(withLine(text, "LapseRate", ""), "Sigma", ""));
    ASSERT_EQ(bare.warnings.size(), 4u);
    EXPECT_EQ(bare.warnings[1], "Parameter \"LapseRate\" doesn't exists. Setting it to 0.0");
    EXPECT_EQ(bare.warnings[3], "Parameter \"Sigma\" doesn't exists. Setting \"standard deviation\" it to 1");
    EXPECT_EQ(describe(bare.experiment).front(), "0 1 0 0");
}

TEST(ReadExperiment, ClampHitLimitIsTruncatedTowardZeroWithinTheIntRange)
{
    const struct {
        const char *value;
        int expected;
    } cases[] = { { "2.9", 2 }, { "-2.9", -2 }, { "7", 7 }, { "1e300", INT_MAX }, { "-1e300", INT_MIN } };
    for (const auto &c : cases) {
        const ExperimentReading reading = read(
            withLine(threeStaircases, "sStairMaxClampHits", std::string("sStairMaxClampHits: ") + c.value));
        ASSERT_TRUE(reading.ok()) << reading.error;
        EXPECT_EQ(reading.experiment.staircases[2].maxClampHits, c.expected) << c.value;
    }
}

struct RefusalCase {
    const char *name;
    const char *key; // the line of this key is replaced ...
    const char *line; // ... by this one (removed when empty)
    const char *error;
};

// Keeps CTest's test names readable.
void PrintTo(const RefusalCase &c, std::ostream *os)
{
    *os << c.name;
}

class ReadExperimentRefusal : public testing::TestWithParam<RefusalCase>
{
};

TEST_P(ReadExperimentRefusal, NamesTheProblemAndGivesNoExperiment)
{
    const RefusalCase &c = GetParam();
    testing::internal::CaptureStderr();
    const ExperimentReading reading = read(withLine(threeStaircases, c.key, c.line));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(reading.error, c.error);
    EXPECT_TRUE(reading.experiment.staircases.empty());
    EXPECT_TRUE(reading.warnings.empty());
}

const RefusalCase refusalCases[] = {
    { "CorrectAnswersCount", "sStairCorrectAnswers", "sStairCorrectAnswers: 2,3",
        "Wrong number of correct answers!\nCheck \"sStairCorrectAnswers\" to have 3 elements" },
    { "StartStatesCount", "sStairStartStates", "sStairStartStates: 4,-2.5",
        "Wrong number of start states!\nCheck \"sStairStartStates\" to have 3 elements" },
    { "AscendingCount", "sStairAscending", "sStairAscending: 0,1,0,1",
        "Wrong number of ascending/descending staircases!\nCheck \"sStairAscending\" to have 3 elements" },
    { "MaxInversionsCount", "sStairMaxInversions", "sStairMaxInversions: 8",
        "Wrong number of max inversions!\nCheck \"sStairMaxInversions\" to have 3 elements" },
    { "MaxTrialsCount", "sStairMaxTrials", "sStairMaxTrials: 50,60",
        "Wrong number of max trials!\nCheck \"sStairMaxTrials\" to have 3 elements" },
    { "NegativeStepList", "sStairNegativeStep", "sStairNegativeStep: 0.25,0.5",
        "You can only use one negative step size for every staircase! Please modify the parameters file "
        "under "
        "sStairNegativeStep section." },
    { "LowerClampList", "sStairClampLower", "sStairClampLower: -3,",
        "Please specify only 1 number for lower clamp. It will be applied to every staircase." },
    { "UpperClampList", "sStairClampUpper", "sStairClampUpper: 5,6",
        "Please specify only 1 number for upper clamp. It will be applied to every staircase." },
    { "ClampHitsList", "sStairMaxClampHits", "sStairMaxClampHits: 1,2",
        "Please specify only 1 number for maximum clamp hits. It will be applied to every staircase." },
    { "ClampStatesCount", "sStairMaxClampHits", "sStairMaxClampHits: 2\nsStairClampActive: 1,0",
        "Wrong number of clamp states!\nCheck \"sStairClampActive\" to have 3 elements" },
    // The count checks run in a fixed order: correct answers before start states.
    { "FirstFailedCheckWins", "sStairStartStates", "sStairStartStates: 1\nsStairCorrectAnswers: 1",
        "Wrong number of correct answers!\nCheck \"sStairCorrectAnswers\" to have 3 elements" },
    { "EmptyListElement", "sStairStartStates", "sStairStartStates: 4,,0",
        "Wrong number of start states!\nCheck \"sStairStartStates\" to have 3 elements" },
    { "FewerStepListsThanStaircases", "sStairPositiveStep", "sStairPositiveStep: 1,0.5;2",
        "Wrong number of positive step lists!\nCheck \"sStairPositiveStep\" to have 3 lists separated by "
        "\";\"" },
    { "NoStaircase", "sStairNumber", "sStairNumber: 0",
        "Wrong number of staircases!\nCheck \"sStairNumber\" to be between 1 and 99" },
    { "TooManyStaircases", "sStairNumber", "sStairNumber: 100",
        "Wrong number of staircases!\nCheck \"sStairNumber\" to be between 1 and 99" },
    { "StartStateNotANumber", "sStairStartStates", "sStairStartStates: 4,x,0",
        "Can't read \"x\" in \"sStairStartStates\" as a number." },
    { "StartStateNotFinite", "sStairStartStates", "sStairStartStates: 4,nan,0",
        "Can't read \"nan\" in \"sStairStartStates\" as a number." },
    { "CorrectAnswersNotAnInt", "sStairCorrectAnswers", "sStairCorrectAnswers: 2,3.5,1",
        "Can't read \"3.5\" in \"sStairCorrectAnswers\" as a whole number." },
    { "AscendingNotABool", "sStairAscending", "sStairAscending: 0,2,1",
        "Can't read \"2\" in \"sStairAscending\" as 1 or 0." },
    { "MaxTrialsOverflow", "sStairMaxTrials", "sStairMaxTrials: 50,60,99999999999",
        "Can't read \"99999999999\" in \"sStairMaxTrials\" as a whole number." },
    { "ClampHitsNotANumber", "sStairMaxClampHits", "sStairMaxClampHits: inf",
        "Can't read \"inf\" in \"sStairMaxClampHits\" as a number." },
    { "ObserverValueNotANumber", "Sigma", "Sigma: 0,5", "Can't read \"0,5\" in \"Sigma\" as a number." },
    { "MissingStaircaseCount", "sStairNumber", "", "Can't find such identifier: sStairNumber" },
    { "MissingPositiveStep", "sStairPositiveStep",
        "sStairPositiveStep:", "Can't find such identifier: sStairPositiveStep" },
};

INSTANTIATE_TEST_SUITE_P(, ReadExperimentRefusal, testing::ValuesIn(refusalCases),
    [](const testing::TestParamInfo<RefusalCase> &info) { return info.param.name; });

TEST(FormatReal, WritesTheShortestTextThatReadsBack)
{
    const struct {
        double value;
        const char *text;
    } cases[] = { { 0.5, "0.5" }, { -99999, "-99999" }, { 0.001, "0.001" }, { -12345.678, "-12345.678" },
        { 0.1, "0.1" }, { 100000, "100000" }, { 0, "0" }, { 1e-7, "1e-07" },
        { 1.0 / 3, "0.3333333333333333" }, { 2.5e15, "2.5e+15" } };
    for (const auto &c : cases)
        EXPECT_EQ(formatReal(c.value), c.text);
}

ExperimentDescription twoStaircases()
{
    ExperimentDescription e;
    e.observer = { -12345.678, 0.001, 0.05, 0.5 };
    StaircaseSettings first;
    first.startLevel = 99999.125;
    first.ascending = false;
    first.correctAnswers = 3;
    first.maxInversions = 12;
    first.maxTrials = 999999;
    first.positiveStepsText = "  1,0.5,0.25\n";
    first.negativeStep = -0.001;
    first.clampActive = true;
    first.lowerClamp = -2.5;
    first.upperClamp = 7.125;
    first.maxClampHits = 9;
    StaircaseSettings second = first;
    second.startLevel = -3;
    second.ascending = true;
    second.correctAnswers = 1;
    second.positiveStepsText = "2";
    second.clampActive = false;
    e.staircases = { first, second };
    return e;
}

TEST(WriteExperiment, WritesTheFifteenLinesThenTheClampStates)
{
    EXPECT_EQ(writeExperiment(twoStaircases()),
        "Mu -12345.678\n"
        "Sigma: 0.001\n"
        "LapseRate: 0.05\n"
        "GuessRate: 0.5\n"
        "sStairNumber: 2\n"
        "sStairStartStates: 99999.125,-3\n"
        "sStairAscending: 0,1\n"
        "sStairCorrectAnswers: 3,1\n"
        "sStairMaxInversions: 12,12\n"
        "sStairMaxTrials: 999999,999999\n"
        "sStairPositiveStep: 1,0.5,0.25;2\n"
        "sStairNegativeStep: -0.001\n"
        "sStairClampLower: -2.5\n"
        "sStairClampUpper: 7.125\n"
        "sStairMaxClampHits: 9\n"
        "sStairClampActive: 1,0\n");
}

TEST(ReplacedSettingsWarning, NamesTheStaircasesWhoseSharedValuesDiffer)
{
    ExperimentDescription e = twoStaircases();
    EXPECT_EQ(replacedSettingsWarning(e), "");
    e.staircases.push_back(e.staircases[0]);
    e.staircases.push_back(e.staircases[0]);
    e.staircases[1].upperClamp = 8;
    e.staircases[3].maxClampHits = 0;
    EXPECT_EQ(replacedSettingsWarning(e),
        "The parameters file holds one negative step, one pair of clamps and one maximum of clamp hits "
        "for every staircase, those of Staircase 0. The different values of Staircase 1, Staircase 3 "
        "were not saved.");
    e.staircases[0].negativeStep = 1; // now every other staircase differs
    EXPECT_NE(
        replacedSettingsWarning(e).find("Staircase 1, Staircase 2, Staircase 3 were"), std::string::npos);
}

TEST(PositiveStepsProblem, RefusesTextsThatWouldBreakTheFile)
{
    const struct {
        const char *text;
        bool writable;
    } cases[] = { { "1,0.5", true }, { " \t1,0.5\n", true }, { "1,,0.5,", true }, { "1, 0.5", false },
        { "1,0.5\n0.2", false }, { "1;0.5", false }, { "1:0.5", false }, { "", false }, { " \n ", false } };
    for (const auto &c : cases) {
        ExperimentDescription e = twoStaircases();
        e.staircases[1].positiveStepsText = c.text;
        const std::string problem = positiveStepsProblem(e);
        EXPECT_EQ(problem.empty(), c.writable) << '"' << c.text << '"';
        if (!c.writable) {
            EXPECT_NE(problem.find("Staircase 1"), std::string::npos) << problem;
        }
    }
    ExperimentDescription e = twoStaircases();
    e.staircases[0].positiveStepsText = "1, 0.5";
    EXPECT_EQ(positiveStepsProblem(e),
        "The positive steps of Staircase 0 (\"1, 0.5\") hold white space, a \":\" or a \";\", which would "
        "break the parameters file. Separate the steps with commas only. Nothing was written.");
}

// Runs the experiment as the simulation does, with a freshly seeded engine;
// returns the number of trials each staircase was given.
std::vector<int> runOnce(const ExperimentDescription &e)
{
    RandomEngine engine;
    const PsychometricObserver observer(
        e.observer.mean, e.observer.standardDeviation, e.observer.guessRate, e.observer.lapseRate);
    const int n = static_cast<int>(e.staircases.size());
    std::vector<bool> ascending;
    std::vector<double> startStates;
    std::vector<int> correctAnswers, maxInversions, maxTrials;
    for (const StaircaseSettings &s : e.staircases) {
        ascending.push_back(s.ascending);
        startStates.push_back(s.startLevel);
        correctAnswers.push_back(s.correctAnswers);
        maxInversions.push_back(s.maxInversions);
        maxTrials.push_back(s.maxTrials);
    }
    ParStaircase set(engine);
    set.addStaircases(n);
    set.setAscending(ascending);
    set.setStartStates(startStates);
    set.setCorrectAnswersToPositiveStep(correctAnswers);
    set.setMaxInversions(maxInversions);
    set.setMaxTrials(maxTrials);
    for (int id = 0; id < n; ++id) {
        const StaircaseSettings &s = e.staircases[static_cast<std::size_t>(id)];
        set.setStepSizes(id, stringToVector<double>(s.positiveStepsText, ","), s.negativeStep);
        if (s.clampActive)
            set.setClamps(id, s.lowerClamp, s.upperClamp, s.maxClampHits);
    }
    std::vector<int> trials(static_cast<std::size_t>(n), 0);
    bool finished = false;
    for (int trial = 0; !finished && trial < 100000; ++trial) {
        Staircase &s = set.chooseStaircase();
        ++trials[static_cast<std::size_t>(s.getId())];
        finished = set.step(observer.respond(s.getState(), engine));
    }
    EXPECT_TRUE(finished);
    return trials;
}

TEST(ExampleExperiments, LoadWithoutWarningsAndRun)
{
    const struct {
        const char *file;
        std::size_t staircases;
    } examples[] = { { "single-staircase.txt", 1 }, { "three-interleaved-staircases.txt", 3 },
        { "clamped-staircases.txt", 2 } };
    for (const auto &example : examples) {
        SCOPED_TRACE(example.file);
        ParametersLoader loader;
        loader.loadFile(std::string(QUORVEL_EXAMPLES_DIR) + "/" + example.file);
        const ExperimentReading reading = readExperiment(loader);
        ASSERT_TRUE(reading.ok()) << reading.error;
        EXPECT_TRUE(reading.warnings.empty());
        ASSERT_EQ(reading.experiment.staircases.size(), example.staircases);
        EXPECT_EQ(positiveStepsProblem(reading.experiment), "");
        EXPECT_EQ(replacedSettingsWarning(reading.experiment), "");
        // Every staircase runs a real track, not a trial or two.
        for (int trials : runOnce(reading.experiment))
            EXPECT_GE(trials, 10);
    }
}

} // namespace
