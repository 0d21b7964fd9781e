#include "BatchRun.h"
#include "EngineTestSupport.h"

#include "ExperimentFile.h"
#include "ParametersLoader.h"
#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "Run.h"
#include "TrialTable.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>

namespace
{

std::string example(const std::string &name)
{
    return std::string(QUORVEL_EXAMPLES_DIR) + "/" + name;
}

// The run the window makes after Open of `path` (its pages then show their
// numbers as IDs) with `repetitions` set, on an engine seeded with `seed`.
RunResult windowRun(const std::string &path, int repetitions, std::uint32_t seed)
{
    ParametersLoader loader;
    loader.loadFile(path);
    const ExperimentReading reading = readExperiment(loader);
    RunRequest request;
    request.observer = reading.experiment.observer;
    request.staircases = reading.experiment.staircases;
    for (std::size_t i = 0; i < request.staircases.size(); ++i)
        request.repetitions = repetitions;
    RandomEngine engine(seed);
    return simulate(request, engine);
}

std::string trialTableText(const RunResult &result)
{
    std::string text;
    writeTrialTable(result, nullptr, [&](const char *data, std::size_t size) {
        text.append(data, size);
        return true;
    });
    return text;
}

std::string contentOf(std::FILE *file)
{
    std::string text;
    std::rewind(file);
    char buffer[65536];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
        text.append(buffer, n);
    return text;
}

class BatchRunTest : public ::testing::Test
{
protected:
    void SetUp() override { folder = scratch.path(); }

    struct Outcome {
        int status;
        std::string out, err;
    };
    static Outcome run(const std::vector<std::string> &arguments, const std::atomic<bool> *cancel = nullptr)
    {
        BatchConsole console { std::tmpfile(), std::tmpfile(), false };
        Outcome outcome;
        outcome.status = batchMain(arguments, console, cancel);
        outcome.out = contentOf(console.out);
        outcome.err = contentOf(console.err);
        std::fclose(console.out);
        std::fclose(console.err);
        return outcome;
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        DIR *dir = opendir(folder.c_str());
        while (dirent *e = readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(dir);
        return names;
    }

    TemporaryFolder scratch;
    std::string folder;
};

} // namespace

TEST_F(BatchRunTest, TrialsAreTheWindowsExportOfTheSameRunByteForByte)
{
    const std::string trials = folder + "/trials.tsv";
    for (const char *name :
        { "single-staircase.txt", "three-interleaved-staircases.txt", "clamped-staircases.txt" }) {
        // No --seed: the window's first run after start-up.
        ASSERT_EQ(
            run({ example(name), "--repetitions", "3", "--trials", trials, "--quiet" }).status, exitDone);
        EXPECT_EQ(fileContent(trials), trialTableText(windowRun(example(name), 3, RandomEngine::defaultSeed)))
            << name;
        ASSERT_EQ(
            run({ example(name), "--trials", trials, "--seed", "4000000000", "--quiet" }).status, exitDone);
        const std::string seeded = fileContent(trials);
        EXPECT_EQ(seeded, trialTableText(windowRun(example(name), 1, 4000000000u))) << name;
        ASSERT_EQ(
            run({ example(name), "--trials", trials, "--seed", "4000000000", "--quiet" }).status, exitDone);
        EXPECT_EQ(fileContent(trials), seeded) << name;
    }
}

// 3000 rows: the summary reaches the tagging in several pieces, cut inside lines.
TEST_F(BatchRunTest, SummaryHasTheTagColumnsFirstOnEveryLine)
{
    const std::string path = example("three-interleaved-staircases.txt");
    const Outcome outcome = run({ path, "--repetitions", "1000", "--seed", "9", "--last-reversals", "4",
        "--summary", folder + "/summary.tsv", "--tag", "seed=9", "--tag", "step=0.5", "--quiet" });
    ASSERT_EQ(outcome.status, exitDone) << outcome.err;
    EXPECT_EQ(outcome.out, "");

    std::istringstream plain(repetitionSummaryText(windowRun(path, 1000, 9), 4));
    std::string expected, line;
    for (bool header = true; std::getline(plain, line); header = false)
        expected += (header ? "seed\tstep\t" : "9\t0.5\t") + line + "\n";
    EXPECT_EQ(fileContent(folder + "/summary.tsv"), expected);
}

// With the trials on the standard output, the table goes to the standard error.
TEST_F(BatchRunTest, TableGivesEachStaircasesTargetAndEstimatesBesideATrialTableOnStandardOutput)
{
    const std::string path = example("clamped-staircases.txt");
    const Outcome outcome = run({ path, "--repetitions", "50", "--trials", "-" });
    ASSERT_EQ(outcome.status, exitDone) << outcome.err;
    EXPECT_EQ(outcome.out, trialTableText(windowRun(path, 50, RandomEngine::defaultSeed)));
    // Staircase 1 aims below the guess rate: no x*, so no bias either.
    EXPECT_EQ(outcome.err,
        "staircase  target_pct    x_star       mean       bias        sd  mean_trials  estimates  ID\n"
        "        0     70.7107  1.304924   1.030000  -0.274924  0.586304        30.60         50  0\n"
        "        1     29.2893        NA  -1.282738         NA  0.426332        23.28         28  1\n");
}

TEST_F(BatchRunTest, InterruptedRunReplacesNoFileAndLeavesNoTemporaryFile)
{
    writeFileContent(folder + "/trials.tsv", "old trials");
    const std::atomic<bool> cancel { true };
    const Outcome outcome = run({ example("single-staircase.txt"), "--repetitions", "100000", "--trials",
                                    folder + "/trials.tsv", "--summary", folder + "/summary.tsv" },
        &cancel);
    EXPECT_EQ(outcome.status, exitInterrupted);
    EXPECT_EQ(outcome.err, "quorvel-batch: interrupted; no output file was replaced.\n");
    EXPECT_EQ(entries(), std::vector<std::string> { "trials.tsv" });
    EXPECT_EQ(fileContent(folder + "/trials.tsv"), "old trials");
}
