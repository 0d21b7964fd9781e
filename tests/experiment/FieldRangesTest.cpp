#include "FieldRanges.h"

#include "EngineTestSupport.h"
#include "ParametersLoader.h"
#include "ThreeStaircasesFile.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{

// How fitReal rounds and clamps is checked against the spin boxes themselves, in the window's tests.
TEST(ReadExperiment, FitsOutOfRangeValuesAndListsEachChangeOnce)
{
    std::string text = threeStaircasesFile;
    for (const auto &[key, line] :
        { std::pair("Mu", "Mu 1e300"), { "Sigma", "Sigma: 0" }, { "LapseRate", "LapseRate: -0.5" },
            { "GuessRate", "GuessRate: 1.5" }, { "sStairMaxTrials", "sStairMaxTrials: 50,60,5000000" },
            { "sStairCorrectAnswers", "sStairCorrectAnswers: 0,3,0" },
            { "sStairMaxInversions", "sStairMaxInversions: 8,0,12" },
            { "sStairMaxClampHits", "sStairMaxClampHits: 1e12" },
            { "sStairStartStates", "sStairStartStates: 4.00049,-2.5,0" },
            { "sStairNegativeStep", "sStairNegativeStep: -123456" } })
        text = withLine(key, line, text);
    text += "sStairRepetitions: 0\n";
    ParametersLoader loader;
    std::istringstream is(text);
    loader.load(is);
    Expected<ExperimentReading> reading = readExperiment(loader);
    ASSERT_TRUE(reading) << problemText(reading);

    EXPECT_EQ(valueChangesMessage(reading->changes, 3),
        "These values of the parameters file do not fit their fields and were changed; Save writes the "
        "values "
        "used:\n\n"
        "Mean: 1e+300 in the file, 100000 used\n"
        "Standard deviation: 0 in the file, 0.001 used\n"
        "Guess rate: 1.5 in the file, 1 used\n"
        "Lapse rate: -0.5 in the file, 0 used\n"
        "Simulator repetitions: 0 in the file, 1 used\n"
        "Start level of Staircase 0: 4.00049 in the file, 4 used\n"
        "Correct answers of Staircases 0 and 2: 0 in the file, 1 used\n"
        "Max reversals of Staircase 1: 0 in the file, 1 used\n"
        "Max trials of Staircase 2: 5000000 in the file, 999999 used\n"
        "Negative step of every staircase: -123456 in the file, -99999 used\n"
        "Max clamp hits of every staircase: 1e+12 in the file, 99 used");
    const ExperimentDescription &e = reading->experiment;
    EXPECT_EQ(e.observer.mean, 100000.0);
    EXPECT_EQ(e.observer.guessRate + e.observer.lapseRate, 1.0);
    EXPECT_EQ(e.staircases[2].maxTrials, 999999);
    EXPECT_EQ(e.staircases[1].maxClampHits, 99);
    // What fits stays: fitting again changes nothing.
    EXPECT_TRUE(fitToFields(reading->experiment).empty());
}

TEST(GuessAndLapseWarning, WarnsFromASumOfOne)
{
    ObserverSettings observer;
    observer.guessRate = 0.5;
    observer.lapseRate = 0.499;
    EXPECT_FALSE(guessAndLapseWarning(observer));
    observer.lapseRate = 0.5;
    EXPECT_EQ(problemText(guessAndLapseWarning(observer)),
        "The guess rate (0.5) and the lapse rate (0.5) add up to 1 or more, so the psychometric function "
        "does "
        "not rise with the level. Start refuses to run until their sum is below 1.");
}

} // namespace
