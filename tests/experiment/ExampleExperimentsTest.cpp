#include "ExperimentFile.h"
#include "ParametersLoader.h"
#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "StaircaseTheory.h"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <sstream>

namespace
{

const std::string examplesDir = QUORVEL_EXAMPLES_DIR;

ExperimentDescription readExample(const std::string &name)
{
    ParametersLoader loader;
    loader.loadFile(examplesDir + "/" + name);
    const Expected<ExperimentReading> reading = readExperiment(loader);
    if (!reading) {
        ADD_FAILURE() << reading.problem().message;
        return {};
    }
    return reading->experiment;
}

std::string fixed(double value, int decimals)
{
    char text[64];
    return std::string(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr);
}

// The comment lines that state staircase i's targets.
std::vector<std::string> statedTargets(const StaircaseTheory &t, int i)
{
    const std::string prefix = "#   staircase " + std::to_string(i) + ": ";
    std::vector<std::string> lines;
    if (!t.classic.psi)
        lines.push_back(prefix + "no classic target");
    else if (!t.classic.level)
        lines.push_back(prefix + "classic target " + fixed(*t.classic.psi * 100.0, 2)
            + "%, unreachable for this observer");
    else
        lines.push_back(prefix + "classic target " + fixed(*t.classic.psi * 100.0, 2) + "% at level "
            + fixed(*t.classic.level, 3));
    const StationaryTarget &s = t.stationary;
    switch (s.status) {
    case StationaryStatus::computed:
        lines.push_back(prefix + "in the long run, mean reversal level " + fixed(s.meanReversalLevel, 3)
            + " (" + fixed(s.psiAtMeanReversalLevel * 100.0, 2) + "%), "
            + fixed(s.trialAveragedPsi * 100.0, 2) + "% over all trials");
        break;
    case StationaryStatus::clamped:
        lines.push_back(prefix + "in the long run: not computed (clamps are on)");
        break;
    case StationaryStatus::noGrid:
        lines.push_back(prefix + "in the long run: not computed (no common grid of levels)");
        break;
    case StationaryStatus::unreachable:
        lines.push_back(prefix + "in the long run: no stationary regime");
        break;
    }
    return lines;
}

} // namespace

TEST(ExampleExperiments, CommentsStateTheTargets)
{
    for (const char *name :
        { "single-staircase.txt", "three-interleaved-staircases.txt", "clamped-staircases.txt" }) {
        SCOPED_TRACE(name);
        std::ifstream file(examplesDir + "/" + name);
        std::stringstream text;
        text << file.rdbuf();
        const std::string content = "\n" + text.str();
        const ExperimentDescription e = readExample(name);
        for (std::size_t i = 0; i < e.staircases.size(); ++i)
            for (const std::string &line :
                statedTargets(staircaseTheory(e.staircases[i], e.observer), int(i)))
                EXPECT_NE(content.find("\n" + line + "\n"), std::string::npos) << line;
    }
}

// The single staircase run long, past its first 100 reversals: its mean reversal
// level is the stated one (and not x*, 0.015 higher).
TEST(ExampleExperiments, LongRunOfTheSingleStaircaseReachesItsStatedTarget)
{
    RunRequest request;
    const ExperimentDescription e = readExample("single-staircase.txt");
    request.observer = e.observer;
    request.staircases = e.staircases;
    request.staircases[0].maxInversions = 400;
    request.staircases[0].maxTrials = 1000000;
    request.repetitions = 500;
    RandomEngine engine;
    const RunResult result = simulate(request, engine);
    const StaircaseTheory theory = staircaseTheory(e.staircases[0], e.observer);
    const RepetitionStats stats = repetitionStats(result, 0, theory, 300);
    ASSERT_EQ(stats.estimates.count, 500);
    const double tolerance = 4.0 * *stats.estimates.standardError;
    EXPECT_NEAR(*stats.estimates.mean, theory.stationary.meanReversalLevel, tolerance);
    EXPECT_LT(tolerance, *theory.classic.level - theory.stationary.meanReversalLevel);
}
