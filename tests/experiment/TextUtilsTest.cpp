#include "TextUtils.h"

#include <gtest/gtest.h>

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

TEST(StringToVector, TrimsTheSixWhiteSpaceCharactersAtTheEndsOnly)
{
    EXPECT_EQ(stringToVector<double>(" \t\n\v\f\r1,0.5 \t\n\v\f\r", ","), (std::vector<double> { 1, 0.5 }));
    EXPECT_EQ(stringToVector<double>("0.2", ","), std::vector<double> { 0.2 });
    EXPECT_EQ(stringToVector<double>("1,,0.5,", ","), (std::vector<double> { 1, 0.5 }));
    EXPECT_TRUE(stringToVector<double>("", ",").empty());
    EXPECT_TRUE(stringToVector<double>(" \n ", ",").empty());
    // White space inside the text stays and makes its token unconvertible.
    EXPECT_THROW(stringToVector<double>("1, 0.5", ","), boost::bad_lexical_cast);
}

TEST(StringToVector, ConvertsStrictlyByElementType)
{
    EXPECT_EQ(stringToVector<int>("3,-2,10", ","), (std::vector<int> { 3, -2, 10 }));
    EXPECT_EQ(stringToVector<bool>("1,0,1", ","), (std::vector<bool> { true, false, true }));
    EXPECT_EQ(stringToVector<double>("-12345.678,1e-3", ","), (std::vector<double> { -12345.678, 0.001 }));

    EXPECT_THROW(stringToVector<int>("3.5", ","), boost::bad_lexical_cast);
    EXPECT_THROW(stringToVector<bool>("2", ","), boost::bad_lexical_cast);
    EXPECT_THROW(stringToVector<bool>("true", ","), boost::bad_lexical_cast);
    EXPECT_THROW(stringToVector<double>("0,5", ";"), boost::bad_lexical_cast); // comma is no decimal point
    EXPECT_THROW(stringToVector<double>("1;0.5", ","), boost::bad_lexical_cast);
    EXPECT_THROW(stringToVector<double>("abc", ","), boost::bad_lexical_cast);
}
