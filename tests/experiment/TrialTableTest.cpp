#include "TrialTable.h"
#include "EngineTestSupport.h"
#include "RandomEngine.h"
#include "Run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

TEST(TrialTable, LevelTextsRoundLikeTheTableAlwaysHas)
{
    const std::pair<double, const char *> cases[]
        = { { -0.12345, "-0.123" }, { -4.5, "-4.500" }, { 1234567.25, "1234567.250" }, { 0.0625, "0.063" },
              { -0.0625, "-0.063" }, { 2.9375, "2.938" }, { -6249.8125, "-6249.813" }, { 0.125, "0.125" },
              { -0.0, "0.000" }, { -0.0001, "-0.000" }, { 1e20, "100000000000000000000.000" } };
    for (const auto &[level, text] : cases)
        EXPECT_EQ(levelText(level), text) << level;
}

// Against printf's exact "%.3f" (which rounds an exact tie to even): a tie is
// moved a long double's ulp away from zero first, so it rounds away from zero as the table
// has it. Ties, thousandths and their neighbours, and levels of every size on
// both sides of the writer's fast path.
TEST(TrialTable, LevelTextsAreTheExactValueRoundedWithTiesAwayFromZero)
{
    const auto expected = [](double level) {
        if (level == 0.0)
            return std::string("0.000");
        const double sixteenths = level * 16.0;
        long double exact = level; // finer steps than a double's, so a nudge stays below 0.0005
        if (sixteenths == std::trunc(sixteenths) && std::fmod(sixteenths, 2.0) != 0.0)
            exact = std::nextafter(exact, exact * 2.0L);
        char text[400];
        std::snprintf(text, sizeof text, "%.3Lf", exact);
        return std::string(text);
    };
    std::vector<double> levels;
    std::mt19937_64 random(42);
    for (int k = -5000; k <= 5000; ++k)
        for (double level : { k / 16.0, k / 1000.0, (k + 0.5) / 1000.0, k * 1e5 + 0.0625 })
            for (double near : { level, std::nextafter(level, -1e300), std::nextafter(level, 1e300) })
                levels.push_back(near);
    for (int i = 0; i < 50000; ++i) {
        const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(-5.0, 14.0)(random));
        levels.push_back(i % 2 ? magnitude : -magnitude);
    }
    for (double level : levels)
        ASSERT_EQ(levelText(level), expected(level)) << std::hexfloat << level;
}

// Three staircases of one trial each right after start-up: answers true, false, true at level 0.
TEST(TrialTable, WritesTheHeaderThenEveryTrialInTrialOrSortedOrder)
{
    RunRequest request;
    request.observer = { 0.0, 1.0, 0.0, 0.0 };
    request.staircases.assign(3, StaircaseSettings());
    for (StaircaseSettings &s : request.staircases) {
        s.startLevel = 0.0;
        s.maxTrials = 1;
    }
    // "é" is Latin-1; "€", "α" and U+0100 are not; a cut sequence and a stray byte give one "?" per byte.
    nameStaircases(request.staircases, { "b", "\xc3\xa9", "a\xe2\x82\xac\xce\xb1\xc4\x80\xe2\x82z\xff" });
    RandomEngine engine;
    const RunResult result = simulate(request, engine);

    std::string written;
    const TextSink collect = [&](const char *data, std::size_t size) {
        written.append(data, size);
        return true;
    };
    ASSERT_TRUE(writeTrialTable(result, nullptr, collect));
    EXPECT_EQ(written,
        "ID\tNtrial\tSteps\tInversions\tState\tResponse\n"
        "b\t0\t0\t0\t0.000\t1\t\n"
        "\xe9\t1\t0\t0\t0.000\t0\t\n"
        "a?????z?\t2\t0\t0\t0.000\t1\t\n");

    const std::vector<std::uint32_t> sorted = rowsSortedById(result, { 1, 2, 0 });
    EXPECT_EQ(sorted, (std::vector<std::uint32_t> { 2, 0, 1 }));
    written.clear();
    ASSERT_TRUE(writeTrialTable(result, &sorted, collect));
    EXPECT_EQ(written.substr(written.find('\n') + 1, 3), "a??");

    written.clear();
    ASSERT_TRUE(writeTrialTable(RunResult(), nullptr, collect));
    EXPECT_EQ(written, "ID\tNtrial\tSteps\tInversions\tState\tResponse\n");
    EXPECT_FALSE(writeTrialTable(result, nullptr, [](const char *, std::size_t) { return false; }));
}
