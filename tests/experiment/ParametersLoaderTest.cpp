#include "ParametersLoader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{

ParametersLoader loaded(const std::string &text)
{
    ParametersLoader loader;
    std::istringstream is(text);
    EXPECT_TRUE(loader.load(is));
    return loader;
}

TEST(ParametersLoader, GivesTheFirstValueOfTheFirstOccurrence)
{
    const struct {
        const char *name, *text, *key;
        const char *value; // nullptr: the key must be absent
    } cases[] = {
        { "LeadingAndTrailingSeparators", " :Mu:: \t0.5 :\r\n", "Mu", "0.5" },
        { "CommentLine", "  # Mu 0.5\n", "Mu", nullptr },
        { "CommentKey", "#Mu 0.5\n", "#Mu", nullptr },
        { "HashAfterKeyIsAValue", "GuessRate: # 0.1\n", "GuessRate", "#" },
        { "NoteAfterValue", "GuessRate: 0.1 # note\n", "GuessRate", "0.1" },
        { "KeyWithoutValue", "LapseRate:\n", "LapseRate", nullptr },
        { "KeyWithoutValueThenValue", "LapseRate:\nLapseRate: 0.2\n", "LapseRate", "0.2" },
        { "RepeatedKeyFirstLineHasTwoValues", "Sigma: 2 5\nSigma: 3\n", "Sigma", "2" },
        { "KeysAreCaseSensitive", "sigma: 2\n", "Sigma", nullptr },
        { "OneCharacterLine", "x\nMu 1\n", "x", nullptr },
        { "SeparatorOnlyLines", "  \n:\r\n \t \nMu 1\n", "Mu", "1" },
        { "NoFinalLineBreak", "Mu 0.5\r\nSigma 2", "Sigma", "2" },
        { "CommaListIsOneValue", "sStairStartStates: 0,0.5,1\n", "sStairStartStates", "0,0.5,1" },
        { "BlanksSplitAList", "sStairStartStates: 0, 0.5, 1\n", "sStairStartStates", "0," },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ParametersLoader loader = loaded(c.text);
        EXPECT_EQ(loader.exists(c.key), c.value != nullptr);
        if (c.value) {
            EXPECT_EQ(loader.get(c.key), c.value);
        }
    }
}

// Neither problem ends the process: the caller gets an exception.
TEST(ParametersLoader, MissingKeyIsReportedToTheCallerAndOnStandardError)
{
    const ParametersLoader loader = loaded("Mu 0.5\nLapseRate:\n");
    testing::internal::CaptureStderr();
    try {
        loader.get("LapseRate");
        FAIL() << "no exception";
    } catch (const MissingKeyError &e) {
        EXPECT_EQ(e.key(), "LapseRate");
        EXPECT_STREQ(e.what(), "Can't find such identifier: LapseRate");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can't find such identifier: LapseRate !!!\n");
}

TEST(ParametersLoader, UnreadableFileIsReportedWithTheSystemsReason)
{
    const std::string missing = testing::TempDir() + "no-such-dir/no-such-file.txt";
    try {
        ParametersLoader().loadFile(missing);
        FAIL() << "no exception";
    } catch (const ParametersFileError &e) {
        EXPECT_EQ(e.path(), missing);
        EXPECT_EQ(e.reason(), "No such file or directory");
    }
    // A directory opens but cannot be read.
    EXPECT_THROW(ParametersLoader().loadFile(testing::TempDir()), ParametersFileError);
}

} // namespace
