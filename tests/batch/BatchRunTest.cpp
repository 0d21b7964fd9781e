#include "BatchRun.h"
#include "EngineTestSupport.h"

#include "ExactRun.h"
#include "ExperimentFile.h"
#include "ParametersLoader.h"
#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "Run.h"
#include "StaircaseTable.h"
#include "Sweep.h"
#include "TaggedLines.h"
#include "TidyTrials.h"
#include "TrialTable.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
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
    const Expected<ExperimentReading> reading = readExperiment(loader);
    RunRequest request;
    request.observer = reading->experiment.observer;
    request.staircases = reading->experiment.staircases;
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

TEST_F(BatchRunTest, TidyTrialsAreTheWindowsExportOfTheSameRunByteForByte)
{
    const std::string path = example("three-interleaved-staircases.txt");
    const std::string tidy = folder + "/tidy.tsv";
    ASSERT_EQ(run({ path, "--repetitions", "3", "--tidy-trials", tidy, "--quiet" }).status, exitDone);
    EXPECT_EQ(fileContent(tidy), tidyTrialsText(windowRun(path, 3, RandomEngine::defaultSeed)));
    const Outcome piped = run({ path, "--tidy-trials", "-", "--seed", "9" });
    EXPECT_EQ(piped.out, tidyTrialsText(windowRun(path, 1, 9u)));
    EXPECT_NE(piped.err.find("staircase"), std::string::npos); // the table moves to standard error
}

// The program's file, then the same text handed to the tagging in pieces of 1, 7 and 4099 bytes:
// cut inside every line, just before and after each line end, wherever a tag goes.
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

    const std::string text = plain.str();
    for (const std::size_t pieceSize : { 1, 7, 4099 }) {
        std::string tagged;
        TaggedLines tagging({ { "seed", "9" }, { "step", "0.5" } }, [&](const char *data, std::size_t size) {
            tagged.append(data, size);
            return true;
        });
        for (std::size_t start = 0; start < text.size(); start += pieceSize)
            ASSERT_TRUE(tagging(text.data() + start, std::min(pieceSize, text.size() - start)));
        EXPECT_EQ(tagged, expected) << pieceSize;
    }
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
        "staircase  target_pct    x_star       mean       bias        sd  mean_trials    sweat  estimates  "
        "ID\n"
        "        0     70.7107  1.304924   1.030000  -0.274924  0.586304        30.60  12.6213         50  "
        "0\n"
        "        1     29.2893        NA  -1.282738         NA  0.426332        23.28       NA         28  "
        "1\n");
}

// Every combination starts from the seed, so the step scale 1 gives the run without --vary.
TEST_F(BatchRunTest, VaryRunsEveryCombinationAndStatsAreTheEnginesRows)
{
    const std::string path = example("three-interleaved-staircases.txt");
    const Outcome swept = run({ path, "--repetitions", "200", "--seed", "3", "--vary", "step-scale=0.5,1",
        "--vary", "2:start=-3,-1", "--stats", "-" });
    ASSERT_EQ(swept.status, exitDone) << swept.err;
    SweepRequest request;
    request.base = windowRun(path, 0, 3).request();
    request.base.repetitions = 200;
    request.seed = 3;
    request.axes
        = { { SweepParameter::stepScale, -1, { 0.5, 1 } }, { SweepParameter::start, 2, { -3, -1 } } };
    EXPECT_EQ(swept.out, sweepStatsText(runSweep(request, *planSweep(request))));
    // The table goes to the standard error, the varied values first.
    EXPECT_EQ(swept.err.substr(0, swept.err.find('\n')),
        "step-scale  2:start  staircase  target_pct     x_star       mean       bias        sd  mean_trials  "
        "  "
        "sweat  estimates  ID");
    EXPECT_EQ(std::count(swept.err.begin(), swept.err.end(), '\n'), 13);

    const Outcome plain = run({ path, "--repetitions", "200", "--seed", "3", "--last-reversals", "6",
        "--stats", folder + "/stats.tsv", "--quiet" });
    ASSERT_EQ(plain.status, exitDone) << plain.err;
    std::istringstream lines(swept.out);
    std::string expected, line;
    for (bool header = true; std::getline(lines, line); header = false) {
        const std::size_t second = line.find('\t', line.find('\t') + 1) + 1;
        if (header || line.rfind("1\t-3\t", 0) == 0)
            expected += line.substr(second) + "\n";
    }
    EXPECT_EQ(fileContent(folder + "/stats.tsv"), expected);
}

// --exact-only runs no simulation: the stats hold the engine's exact fields,
// with the tags first, and the table goes to the standard error.
TEST_F(BatchRunTest, ExactOnlyStatsAreTheEnginesExactFields)
{
    const std::string path = example("three-interleaved-staircases.txt");
    const Outcome outcome
        = run({ path, "--exact-only", "--last-reversals", "4", "--stats", "-", "--tag", "k=4" });
    ASSERT_EQ(outcome.status, exitDone) << outcome.err;
    // The stats are the full table, its simulated columns NA and the exact ones last.
    const RunRequest request = windowRun(path, 1, RandomEngine::defaultSeed).request();
    std::string exactHeader;
    for (const std::string &column : exactStatsColumns())
        exactHeader += "\t" + column;
    std::istringstream lines(outcome.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.substr(0, 2), "k\t");
    EXPECT_EQ(line.substr(line.size() - exactHeader.size()), exactHeader);
    for (std::size_t i = 0; i < request.staircases.size(); ++i) {
        const StaircaseSettings &s = request.staircases[i];
        const ExactRun exact = exactRun(s, request.observer, staircaseTheory(s, request.observer), 4);
        std::string fields;
        for (const std::string &field : exactStatsFields(&exact, 4))
            fields += "\t" + field;
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(0, 2), "4\t");
        EXPECT_EQ(line.substr(line.size() - fields.size()), fields);
        EXPECT_NE(line.find("\tNA\t"), std::string::npos);
    }
    EXPECT_FALSE(std::getline(lines, line));
    EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n')),
        "staircase  target_pct     x_star  exact_mean  exact_bias  exact_sd  exact_mean_trials  "
        "exact_p_estimate  exact_rmse  exact_p_stop_trials  exact_status  ID");

    // --exact puts the same exact columns beside the simulated ones.
    const Outcome both = run({ path, "--exact", "--last-reversals", "4", "--repetitions", "5" });
    ASSERT_EQ(both.status, exitDone) << both.err;
    const auto column = [](const std::string &table, const std::string &name) {
        std::istringstream lines(table);
        std::string line, cell;
        std::getline(lines, line);
        std::istringstream header(line);
        int index = 0;
        while (header >> cell && cell != name)
            ++index;
        std::vector<std::string> cells;
        while (std::getline(lines, line)) {
            std::istringstream row(line);
            for (int i = 0; i <= index; ++i)
                row >> cell;
            cells.push_back(cell);
        }
        return cells;
    };
    for (const char *name : { "exact_mean", "exact_sd", "exact_p_estimate" })
        EXPECT_EQ(column(both.out, name), column(outcome.err, name)) << name;
}

// "all" prints each estimator's table as that estimator alone does, headed by its name.
TEST_F(BatchRunTest, AllEstimatorsGiveOneBlockEach)
{
    const std::vector<std::string> common { example("three-interleaved-staircases.txt"), "--repetitions",
        "40", "--first-reversal", "2", "--estimator" };
    const auto table = [&](const std::string &estimator) {
        std::vector<std::string> arguments = common;
        arguments.push_back(estimator);
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, exitDone) << outcome.err;
        return outcome.out;
    };
    std::string expected;
    for (const char *name : { "reversals", "trials", "cir", "ml" })
        expected += std::string(expected.empty() ? "" : "\n") + "estimator: " + name + "\n" + table(name);
    EXPECT_EQ(table("all"), expected);
    EXPECT_NE(table("trials"), table("reversals"));
    EXPECT_EQ(table("reversals"), staircaseTableText(windowRun(common[0], 40, RandomEngine::defaultSeed), 6));
}

// Without outputs too: no table of a partial run, and no success.
TEST_F(BatchRunTest, InterruptedRunReplacesNoFileAndLeavesNoTemporaryFile)
{
    writeFileContent(folder + "/trials.tsv", "old trials");
    const std::atomic<bool> cancel { true };
    for (const std::vector<std::string> &outputs :
        { std::vector<std::string> {
              "--trials", folder + "/trials.tsv", "--summary", folder + "/summary.tsv" },
            std::vector<std::string> {} }) {
        std::vector<std::string> arguments { example("single-staircase.txt"), "--repetitions", "100000" };
        arguments.insert(arguments.end(), outputs.begin(), outputs.end());
        const Outcome outcome = run(arguments, &cancel);
        EXPECT_EQ(outcome.status, exitInterrupted);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "quorvel-batch: interrupted; no output file was replaced.\n");
    }
    EXPECT_EQ(entries(), std::vector<std::string> { "trials.tsv" });
    EXPECT_EQ(fileContent(folder + "/trials.tsv"), "old trials");
}

// The caller's standard output stays open for whatever it does next.
TEST_F(BatchRunTest, InterruptedTrialsOnTheStandardOutputLeaveItOpen)
{
    std::FILE *out = std::tmpfile();
    const int descriptor = fileno(out);
    const BatchConsole console { out, std::tmpfile(), false };
    const std::atomic<bool> cancel { true };
    EXPECT_EQ(
        batchMain({ example("single-staircase.txt"), "--trials", "-" }, console, &cancel), exitInterrupted);
    EXPECT_NE(fcntl(descriptor, F_GETFD), -1);
    std::fclose(out);
    std::fclose(console.err);
}

TEST(BatchProgress, CountsTheRepetitionUnderWayUpToTheLast)
{
    EXPECT_EQ(progressText(RunProgress { 0, 0 }, 5), "quorvel-batch: repetition 1 of 5, 0 trials");
    EXPECT_EQ(progressText(RunProgress { 1234, 5 }, 5), "quorvel-batch: repetition 5 of 5, 1234 trials");
}
