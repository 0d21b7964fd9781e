#include "ExperimentFile.h"
#include "EngineTestSupport.h"
#include "Reporting.h"
#include "TextUtils.h"
#include "ThreeStaircasesFile.h"

#include "ParametersLoader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{

Expected<ExperimentReading> read(const std::string &text)
{
    ParametersLoader loader;
    std::istringstream is(text);
    loader.load(is);
    const ReportScope ignored([](const std::string &) {}); // a missing key is also reported there
    return readExperiment(loader);
}

TEST(ReadExperiment, RefusalNamesTheProblemAndGivesNoExperiment)
{
    const struct {
        const char *name;
        const char *key; // the line of this key is replaced ...
        const char *line; // ... by this one (removed when empty)
        const char *error;
    } cases[] = {
        { "CorrectAnswersCount", "sStairCorrectAnswers", "sStairCorrectAnswers: 2,3",
            "Wrong number of correct answers!\nCheck \"sStairCorrectAnswers\" to have 3 elements" },
        { "StartStatesCount", "sStairStartStates", "sStairStartStates: 4,-2.5",
            "Wrong number of start states!\nCheck \"sStairStartStates\" to have 3 elements" },
        { "AscendingCount", "sStairAscending", "sStairAscending: 0,1,0,1",
            "Wrong number of ascending/descending staircases!\nCheck \"sStairAscending\" to have 3 "
            "elements" },
        { "MaxInversionsCount", "sStairMaxInversions", "sStairMaxInversions: 8",
            "Wrong number of max inversions!\nCheck \"sStairMaxInversions\" to have 3 elements" },
        { "MaxTrialsCount", "sStairMaxTrials", "sStairMaxTrials: 50,60",
            "Wrong number of max trials!\nCheck \"sStairMaxTrials\" to have 3 elements" },
        { "NegativeStepList", "sStairNegativeStep", "sStairNegativeStep: 0.25,0.5",
            "You can only use one negative step size for every staircase! Please modify the parameters file "
            "under sStairNegativeStep section." },
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
        // The optional per-staircase lines are counted like the classic lists.
        { "NegativeStepListCount", "sStairMaxClampHits", "sStairMaxClampHits: 2\nsStairNegativeStepList: 1,2",
            "Wrong number of negative steps!\nCheck \"sStairNegativeStepList\" to have 3 elements" },
        { "StringIdsCount", "sStairMaxClampHits", "sStairMaxClampHits: 2\nsStairStringIds: a,b,c,",
            "Wrong number of string IDs!\nCheck \"sStairStringIds\" to have 3 elements" },
        { "ClampUpperListNotANumber", "sStairMaxClampHits",
            "sStairMaxClampHits: 2\nsStairClampUpperList: 1,x,3",
            "Can't read \"x\" in \"sStairClampUpperList\" as a number." },
        { "RepetitionsNotAnInt", "sStairMaxClampHits", "sStairMaxClampHits: 2\nsStairRepetitions: 2.5",
            "Can't read \"2.5\" in \"sStairRepetitions\" as a whole number." },
        { "MissingStaircaseCount", "sStairNumber", "", "Can't find such identifier: sStairNumber" },
        { "MissingPositiveStep", "sStairPositiveStep",
            "sStairPositiveStep:", "Can't find such identifier: sStairPositiveStep" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Expected<ExperimentReading> reading = read(withLine(c.key, c.line));
        EXPECT_EQ(problemText(reading), c.error);
    }
}

TEST(ReadExperiment, ShowsANulByteAndNamesRepeatedKeys)
{
    EXPECT_EQ(problemText(read(withLine("Sigma", std::string("Sigma: 1\0junk", 13)))),
        "Can't read \"1\\0junk\" in \"Sigma\" as a number.");
    // A key line without a value is no repetition.
    const Expected<ExperimentReading> twice
        = read(threeStaircasesFile + "Sigma: 3\nMu 7\nGuessRate:\nsStairNumber: 2\n");
    EXPECT_EQ(twice->experiment.observer.standardDeviation, 2.0);
    EXPECT_EQ(twice->warnings,
        std::vector<std::string> { "The parameters file gives \"Mu\", \"Sigma\", \"sStairNumber\" more than "
                                   "once; the first value of each is used." });
}

// Then held within the field's range 0 ... 99; numbers far beyond an int's range are no exception.
TEST(ReadExperiment, ClampHitLimitIsTruncatedTowardZeroThenFitted)
{
    const std::pair<const char *, int> cases[]
        = { { "2.9", 2 }, { "-2.9", 0 }, { "7", 7 }, { "1e300", 99 }, { "-1e300", 0 } };
    for (const auto &[value, expected] : cases) {
        const Expected<ExperimentReading> reading
            = read(withLine("sStairMaxClampHits", std::string("sStairMaxClampHits: ") + value));
        ASSERT_TRUE(reading) << problemText(reading);
        EXPECT_EQ(reading->experiment.staircases[2].maxClampHits, expected) << value;
    }
}

// A longer list froze Open for minutes while the page laid the text out.
TEST(ReadExperiment, StepListsHoldAtMostTheLimit)
{
    std::string longest = "1";
    for (int i = 1; i < maxPositiveStepCount; ++i)
        longest += ",0.5";
    const std::pair<std::string, const char *> cases[]
        = { { longest, nullptr }, { "1;2;" + longest, nullptr }, { "," + longest + ",", nullptr },
              { longest + ",0.5", "0" }, { "1;2;" + longest + ",0.5", "2" } };
    for (const auto &[steps, refused] : cases) {
        const Expected<ExperimentReading> reading
            = read(withLine("sStairPositiveStep", "sStairPositiveStep: " + steps));
        EXPECT_EQ(problemText(reading),
            refused ? "Too many positive step sizes!\nThe list of Staircase " + std::string(refused)
                    + " in \"sStairPositiveStep\" holds 100001 sizes; at most 100000 are accepted"
                    : "")
            << steps.substr(0, 8);
    }
}

TEST(ReadExperiment, OneStepListWithoutSemicolonServesEveryStaircase)
{
    const Expected<ExperimentReading> reading
        = read(withLine("sStairPositiveStep", "sStairPositiveStep: 0.5,0.25"));
    ASSERT_TRUE(reading) << problemText(reading);
    for (const StaircaseSettings &s : reading->experiment.staircases)
        EXPECT_EQ(s.positiveStepsText, "0.5,0.25");
}

TEST(ReadExperiment, PerStaircaseListsReplaceTheSharedValues)
{
    const Expected<ExperimentReading> reading = read(threeStaircasesFile
        + "sStairStringIds: ,x,\nsStairNegativeStepList: 1,2,3\nsStairMaxClampHitsList: 2.9,150,-1\n");
    ASSERT_TRUE(reading) << problemText(reading);
    std::ostringstream os;
    for (const StaircaseSettings &s : reading->experiment.staircases)
        os << '[' << s.stringId << "] " << s.useStringId << ' ' << s.negativeStep << ' ' << s.maxClampHits
           << ' ' << s.lowerClamp << ';';
    EXPECT_EQ(os.str(), "[] 0 1 2 -3;[x] 0 2 99 -3;[] 0 3 0 -3;");
    EXPECT_TRUE(reading->experiment.stringIdsGiven);
    EXPECT_FALSE(reading->experiment.repetitions);
    EXPECT_EQ(reading->changes.size(), 2u);
    EXPECT_EQ(reading->changes[0].fileValue, "150"); // the file's number, not the truncated one
}

TEST(StringIdProblem, RefusesWhatBreaksTheFilesLinesOrLists)
{
    ExperimentDescription e;
    e.staircases.resize(2);
    for (const char *id : { "", "left",
             "Gr\xC3\xB6\xC3\x9F"
             "e",
             "#1", "a;b" }) {
        e.staircases[1].stringId = id;
        EXPECT_FALSE(stringIdProblem(e)) << id;
    }
    for (const char *id : { "left eye", "a\tb", "a\nb", "a\rb", "a:b", "a,b", " " }) {
        e.staircases[1].stringId = id;
        EXPECT_EQ(problemText(stringIdProblem(e)).rfind("The string ID of Staircase 1 (", 0), 0u) << id;
    }
}

TEST(FormatReal, WritesTheShortestTextThatReadsBack)
{
    const std::pair<double, const char *> cases[] = { { 0.5, "0.5" }, { -99999, "-99999" },
        { 0.001, "0.001" }, { -12345.678, "-12345.678" }, { 0.1, "0.1" }, { 100000, "100000" }, { 0, "0" },
        { 1e-7, "1e-07" }, { 1.0 / 3, "0.3333333333333333" }, { 2.5e15, "2.5e+15" } };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(formatReal(value), text);
}

TEST(PositiveStepsProblem, RefusesTextsThatWouldBreakTheFile)
{
    // The text the message shows: trimmed; nullptr when the text can be written.
    const std::pair<const char *, const char *> cases[]
        = { { "1,0.5", nullptr }, { " \t1,0.5\n", nullptr }, { "1,,0.5,", nullptr }, { "1, 0.5", "1, 0.5" },
              { " 1,0.5\n0.2 ", "1,0.5\n0.2" }, { "1;0.5", "1;0.5" }, { "1:0.5", "1:0.5" }, { " \n ", "" } };
    ExperimentDescription e;
    e.staircases.resize(2);
    for (const auto &[text, shown] : cases) {
        e.staircases[1].positiveStepsText = text;
        const std::string expected = !shown ? ""
            : !*shown
            ? "Staircase 1 has no positive steps, so the file could not be read back. Nothing was written."
            : "The positive steps of Staircase 1 (\"" + std::string(shown)
                + "\") hold white space, a \":\" or a \";\", which would break the parameters file. "
                  "Separate the steps with commas only. Nothing was written.";
        EXPECT_EQ(problemText(positiveStepsProblem(e)), expected) << '"' << text << '"';
    }
}

} // namespace
