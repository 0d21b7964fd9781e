#include "BatchOptions.h"
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

TEST(BatchOptions, ReadsEveryOptionBeforeOrAfterTheFileInBothForms)
{
    const Expected<BatchOptions> parsed = parseBatchOptions({ "--seed=4294967295", "--repetitions", "7",
        "exp.txt", "--last-reversals=1", "--trials", "-", "--summary", "s.tsv", "--tag", "step=0.5",
        "--tag=seed=", "--quiet", "--stats", "st.tsv", "--estimator", "all", "--first-reversal=2" });
    ASSERT_TRUE(parsed) << problemText(parsed);
    const BatchOptions &o = *parsed;
    EXPECT_EQ(o.experimentPath, "exp.txt");
    EXPECT_EQ(o.seed, 4294967295u);
    EXPECT_EQ(o.repetitions, 7);
    EXPECT_EQ(o.lastReversals, 1);
    EXPECT_EQ(o.trialsPath, "-");
    EXPECT_EQ(o.summaryPath, "s.tsv");
    const std::vector<std::pair<std::string, std::string>> tags { { "step", "0.5" }, { "seed", "" } };
    EXPECT_EQ(o.tags, tags);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.statsPath, "st.tsv");

    const BatchOptions varied
        = *parseBatchOptions({ "e.txt", "--vary", "2:correct-answers=1:3:1", "--vary=guess=0.5" });
    ASSERT_EQ(varied.vary.size(), 2u);
    EXPECT_EQ(varied.vary[0].name(), "2:correct-answers");
    EXPECT_EQ(varied.vary[0].values, (std::vector<double> { 1, 2, 3 }));
    EXPECT_EQ(varied.vary[1].name(), "guess");
    EXPECT_EQ(o.firstReversal, 2);
    EXPECT_EQ(o.estimators, std::vector<Estimator>(allEstimators.begin(), allEstimators.end()));

    EXPECT_EQ(parseBatchOptions({ "-" })->experimentPath, "-");
    const BatchOptions defaults = *parseBatchOptions({ "--", "--odd-name.txt" });
    EXPECT_EQ(defaults.experimentPath, "--odd-name.txt");
    EXPECT_EQ(defaults.seed, 5489u);
    EXPECT_FALSE(defaults.repetitions);
    EXPECT_EQ(defaults.lastReversals, 6);
    EXPECT_EQ(defaults.firstReversal, 3);
    EXPECT_EQ(defaults.estimators, std::vector<Estimator> { Estimator::reversals });
}

// The usual bad input is run through the program itself (BatchProgramTest).
TEST(BatchOptions, RefusesWhatItCannotUseWithTheReason)
{
    const struct {
        std::vector<std::string> arguments;
        const char *error;
    } cases[] = {
        { { "e.txt", "--seed", "+5" }, "--seed needs a whole number from 0 to 4294967295, not \"+5\"." },
        { { "e.txt", "--seed", "" }, "--seed needs a whole number from 0 to 4294967295, not \"\"." },
        { { "e.txt", "--repetitions", "2147483648" },
            "--repetitions needs a whole number from 1 to 2147483647, not \"2147483648\"." },
        { { "e.txt", "--seed" }, "--seed needs a value." },
        { { "e.txt", "--trials=" }, "--trials needs a file name, or - for the standard output." },
        { { "e.txt", "--tag", "=1" }, "--tag needs NAME=VALUE, for example --tag step=0.5, not \"=1\"." },
        { { "e.txt", "--tag", "a=x\ty" },
            "--tag \"a=x\ty\" holds a tab, a line break or a '\"', which would break the summary's rows." },
        { { "e.txt", "--tag", "a=\"y" },
            "--tag \"a=\"y\" holds a tab, a line break or a '\"', which would break the summary's rows." },
        { { "e.txt", "-q" }, "Unknown option \"-q\"." },
        { { "e.txt", "--estimator", "last" },
            "--estimator needs one of reversals, trials, cir, ml or all, not \"last\"." },
        { { "e.txt", "--first-reversal", "0" },
            "--first-reversal needs a whole number from 1 to 2147483647, not \"0\"." },
        { { "e.txt", "--seed", "1", "--seed=2" }, "--seed is given twice; give each option once." },
        { { "--quiet", "e.txt", "--quiet" }, "--quiet is given twice; give each option once." },
        { {}, "No experiment file is given." },
        { { "a.txt", "b.txt" }, "One experiment file at a time, not 2." },
        { { "e.txt", "--trials", "-", "--summary", "-" },
            "--trials and --summary can't both go to the standard output (-); write one of them to a file." },
        { { "e.txt", "--trials", "out", "--summary", "out" },
            "--trials and --summary name the same file, \"out\"; the second would replace the first." },
        { { "e.txt", "--summary", "-", "--stats", "-" },
            "--summary and --stats can't both go to the standard output (-); write one of them to a file." },
        { { "e.txt", "--exact-only", "--summary", "s.tsv" },
            "--summary needs a simulation, and --exact-only runs none." },
        { { "e.txt", "--stats", "-", "--trials", "-" },
            "--trials and --stats can't both go to the standard output (-); write one of them to a file." },
        { { "e.txt", "--vary", "step" },
            "--vary needs NAME=VALUES or S:NAME=VALUES, for example --vary step-scale=0.5,1,2, not "
            "\"step\"." },
        { { "e.txt", "--vary", "x:start=1" },
            "--vary needs NAME or S:NAME, S a staircase's number, not \"x:start\"." },
        { { "e.txt", "--vary", "step=1" },
            "--vary can't vary \"step\"; it varies step-scale, positive-step, negative-step, "
            "correct-answers, "
            "max-reversals, max-trials, last-reversals, start, sigma, guess, lapse." },
        { { "e.txt", "--vary", "1:start=1,,2" },
            "--vary 1:start: \"\" in the values \"1,,2\" is not a number; give a comma list such as 0.5, 1, "
            "2 or "
            "FROM:TO:STEP such as 0.25:2:0.25." },
        { { "e.txt", "--vary", "guess=0", "--vary=guess=0.5" },
            "--vary guess is given twice; give all its values at once." },
        { { "e.txt", "--vary", "guess=0", "--summary", "s.tsv" },
            "--trials, --tidy-trials and --summary write a single run, not a --vary sweep; use --stats for "
            "the sweep." },
        { { "e.txt", "--tidy-trials", "-", "--summary", "-" },
            "--tidy-trials and --summary can't both go to the standard output (-); write one of them to a "
            "file." },
        { { "e.txt", "--trials", "t", "--tidy-trials=t" },
            "--trials and --tidy-trials name the same file, \"t\"; the second would replace the first." },
    };
    for (const auto &c : cases)
        EXPECT_EQ(problemText(parseBatchOptions(c.arguments)), c.error)
            << ::testing::PrintToString(c.arguments);
}
