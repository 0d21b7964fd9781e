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

struct LineCase {
    const char *name;
    const char *text;
    const char *key;
    const char *value; // nullptr: the key must be absent
};

// Keeps CTest's test names readable.
void PrintTo(const LineCase &c, std::ostream *os)
{
    *os << c.name;
}

class ParametersLoaderLines : public testing::TestWithParam<LineCase>
{
};

TEST_P(ParametersLoaderLines, GivesTheFirstValueOfTheFirstOccurrence)
{
    const LineCase &c = GetParam();
    const ParametersLoader loader = loaded(c.text);
    if (c.value) {
        ASSERT_TRUE(loader.exists(c.key));
        EXPECT_EQ(loader.get(c.key), c.value);
    } else {
        EXPECT_FALSE(loader.exists(c.key));
    }
}

const LineCase lineCases[] = {
    { "SpaceAfterKey", "Mu 0.5\n", "Mu", "0.5" },
    { "ColonAndSpace", "Mu: 0.5\n", "Mu", "0.5" },
    { "Tab", "Mu\t0.5\n", "Mu", "0.5" },
    { "LeadingAndTrailingSeparators", " :Mu:: \t0.5 :\r\n", "Mu", "0.5" },
    { "CommentLine", "  # Mu 0.5\n", "Mu", nullptr },
    { "CommentKey", "#Mu 0.5\n", "#Mu", nullptr },
    { "HashAfterKeyIsAValue", "GuessRate: # 0.1\n", "GuessRate", "#" },
    { "NoteAfterValue", "GuessRate: 0.1 # note\n", "GuessRate", "0.1" },
    { "KeyWithoutValue", "LapseRate:\n", "LapseRate", nullptr },
    { "KeyWithoutValueThenValue", "LapseRate:\nLapseRate: 0.2\n", "LapseRate", "0.2" },
    { "RepeatedKey", "Sigma: 2\nSigma: 3\n", "Sigma", "2" },
    { "RepeatedKeyFirstLineHasTwoValues", "Sigma: 2 5\nSigma: 3\n", "Sigma", "2" },
    { "KeysAreCaseSensitive", "sigma: 2\n", "Sigma", nullptr },
    { "OneCharacterLine", "x\nMu 1\n", "x", nullptr },
    { "SeparatorOnlyLines", "  \n:\r\n \t \nMu 1\n", "Mu", "1" },
    { "CrLf", "Mu 0.5\r\nSigma 2\r\n", "Sigma", "2" },
    { "NoFinalLineBreak", "Mu 0.5\nSigma 2", "Sigma", "2" },
    { "CommaListIsOneValue", "sStairStartStates: 0,0.5,1\n", "sStairStartStates", "0,0.5,1" },
    { "BlanksSplitAList", "sStairStartStates: 0, 0.5, 1\n", "sStairStartStates", "0," },
    { "EmptyText", "", "Mu", nullptr },
};

INSTANTIATE_TEST_SUITE_P(, ParametersLoaderLines, testing::ValuesIn(lineCases),
    [](const testing::TestParamInfo<LineCase> &info) { return info.param.name; });

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
