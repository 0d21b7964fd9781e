#include "TextUtils.h"
#include "StaircaseSettings.h"

#include <gtest/gtest.h>

#include <tuple>

using Tokens = std::vector<std::string>;

TEST(Tokenize, RunsOfSeparatorsNeverYieldEmptyTokens)
{
    const std::string seps = ":\t\r  ";
    EXPECT_EQ(tokenize("Mu 0.5", seps), (Tokens { "Mu", "0.5" }));
    EXPECT_EQ(tokenize("Mu: 0.5", seps), (Tokens { "Mu", "0.5" }));
    EXPECT_EQ(tokenize("Mu\t0.5\r", seps), (Tokens { "Mu", "0.5" }));
    EXPECT_EQ(tokenize("  ::Sigma:: \t 2 :", seps), (Tokens { "Sigma", "2" }));
    EXPECT_EQ(tokenize("1,,2,", ","), (Tokens { "1", "2" }));
    EXPECT_EQ(tokenize(",,,", ","), Tokens {});
    EXPECT_EQ(tokenize("", ","), Tokens {});
    EXPECT_EQ(tokenize("1,0.5;2,1;4", ";"), (Tokens { "1,0.5", "2,1", "4" }));
}

// The ends lose the six white-space characters; inside, a blank makes its part no number.
TEST(PositiveStepSizes, TrimTheEndsSkipEmptyPartsAndNameThePartThatIsNoNumber)
{
    const std::tuple<const char *, std::vector<double>, const char *> cases[]
        = { { " \t\n\v\f\r1,0.5 \t\n\v\f\r", { 1, 0.5 }, nullptr }, { "1,,0.5,", { 1, 0.5 }, nullptr },
              { "-12345.678,1e-3", { -12345.678, 0.001 }, nullptr }, { " \n ", {}, nullptr },
              { "1, 0.5", {}, " 0.5" }, { "0,5;1", {}, "5;1" }, { "abc,1x", {}, "abc" } };
    for (const auto &[text, expected, notANumber] : cases) {
        const Expected<std::vector<double>> steps = positiveStepSizes(text);
        if (notANumber)
            EXPECT_EQ(steps.problem().message,
                "the positive step size \"" + std::string(notANumber) + "\" is not a number");
        else
            EXPECT_EQ(*steps, expected) << text;
    }
}
