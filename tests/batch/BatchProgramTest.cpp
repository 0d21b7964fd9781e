// The built quorvel-batch as scripts see it: exit statuses, messages, and
// what stays on disk when an output cannot be written.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace
{

class BatchProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = scratch.path();
        std::ofstream(folder + "/wrong-count.txt") << "sStairNumber: 3\nsStairStartStates: 0,1\n"
                                                      "sStairAscending: 0,0,0\nsStairCorrectAnswers: 1,1,1\n"
                                                      "sStairMaxInversions: 4,4,4\nsStairMaxTrials: 9,9,9\n"
                                                      "sStairPositiveStep: 1\nsStairNegativeStep: 1\n"
                                                      "sStairClampLower: -9\nsStairClampUpper: 9\n"
                                                      "sStairMaxClampHits: 0\n";
        std::ofstream(folder + "/old.tsv") << "old\n";
    }

    struct Outcome {
        int status = -1;
        std::string err;
    };
    // Runs `script` with bash in the test's folder, with $BATCH the program
    // and $EXAMPLE an example experiment.
    Outcome run(const std::string &script) const
    {
        std::ofstream(folder + "/script.sh")
            << "cd '" << folder << "' || exit 99\n"
            << "BATCH='" << QUORVEL_BATCH_PROGRAM << "'\n"
            << "EXAMPLE='" << QUORVEL_EXAMPLES_DIR << "/three-interleaved-staircases.txt'\n"
            << script << "\n";
        const int wait = std::system(("bash '" + folder + "/script.sh' 2> '" + folder + "/stderr'").c_str());
        Outcome outcome;
        if (WIFEXITED(wait))
            outcome.status = WEXITSTATUS(wait);
        outcome.err = fileContent(folder + "/stderr");
        std::remove((folder + "/script.sh").c_str());
        std::remove((folder + "/stderr").c_str());
        return outcome;
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        DIR *dir = opendir(folder.c_str());
        while (dirent *e = readdir(dir))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

    TemporaryFolder scratch;
    std::string folder;
};

std::string firstLine(const std::string &text)
{
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST_F(BatchProgramTest, BadInputEndsWithItsStatusAndOneClearMessage)
{
    const char *usage = "Usage: quorvel-batch EXPERIMENT.txt [options]";
    const struct {
        const char *script;
        int status;
        const char *message; // the first line of the standard error
    } cases[] = {
        { R"("$BATCH" "$EXAMPLE" --frobnicate)", 2, "quorvel-batch: Unknown option \"--frobnicate\"." },
        { R"("$BATCH" "$EXAMPLE" --repetitions 0)", 2,
            "quorvel-batch: --repetitions needs a whole number from 1 to 2147483647, not \"0\"." },
        { R"("$BATCH" "$EXAMPLE" --repetitions -2)", 2,
            "quorvel-batch: --repetitions needs a whole number from 1 to 2147483647, not \"-2\"." },
        { R"("$BATCH" "$EXAMPLE" --repetitions many)", 2,
            "quorvel-batch: --repetitions needs a whole number from 1 to 2147483647, not \"many\"." },
        { R"("$BATCH" "$EXAMPLE" --seed -1)", 2,
            "quorvel-batch: --seed needs a whole number from 0 to 4294967295, not \"-1\"." },
        { R"("$BATCH" "$EXAMPLE" --seed 4294967296)", 2,
            "quorvel-batch: --seed needs a whole number from 0 to 4294967295, not \"4294967296\"." },
        { R"("$BATCH" "$EXAMPLE" --seed 1.5)", 2,
            "quorvel-batch: --seed needs a whole number from 0 to 4294967295, not \"1.5\"." },
        { R"("$BATCH" "$EXAMPLE" --seed abc)", 2,
            "quorvel-batch: --seed needs a whole number from 0 to 4294967295, not \"abc\"." },
        { R"("$BATCH" "$EXAMPLE" --last-reversals 0)", 2,
            "quorvel-batch: --last-reversals needs a whole number from 1 to 2147483647, not \"0\"." },
        { R"("$BATCH" no-such-file.txt)", 3,
            "quorvel-batch: Can't read the parameters file no-such-file.txt:" },
        { R"("$BATCH" .)", 3, "quorvel-batch: Can't read the parameters file .:" },
        { R"("$BATCH" wrong-count.txt)", 3, "quorvel-batch: Wrong number of start states!" },
        { R"(sed 's/^GuessRate.*/GuessRate: 0.5/; s/^LapseRate.*/LapseRate: 0.5/' "$EXAMPLE" > sum.txt
             "$BATCH" sum.txt)",
            3,
            "quorvel-batch: The guess rate (0.5) and the lapse rate (0.5) add up to 1 or more, so the "
            "psychometric function would not rise with the level. Their sum must stay below 1." },
        { R"(cp "$EXAMPLE" copy.txt
             "$BATCH" copy.txt --summary ./copy.txt; status=$?
             cmp -s copy.txt "$EXAMPLE" && rm copy.txt && exit $status)",
            2, "quorvel-batch: --summary ./copy.txt is the experiment file itself, which it would replace." },
        { R"("$BATCH" "$EXAMPLE" --trials old.tsv --summary ./old.tsv)", 2,
            "quorvel-batch: --trials old.tsv and --summary ./old.tsv name the same file; the second would "
            "replace the first." },
        { R"(cp old.tsv ro.tsv && chmod 444 ro.tsv
             "$BATCH" "$EXAMPLE" --summary ro.tsv; status=$?
             cmp -s ro.tsv old.tsv && rm -f ro.tsv && exit $status)",
            4, "quorvel-batch: can't write the summary to ro.tsv: Permission denied" },
        // A link stays a link, also one to an open file (as /dev/stdout is).
        { R"(cp old.tsv real.tsv && ln -s real.tsv link.tsv && ln -s /proc/self/fd/1 out-link
             "$BATCH" "$EXAMPLE" --quiet --summary link.tsv || exit 1
             "$BATCH" "$EXAMPLE" --quiet --summary out-link > out.tsv || exit 1
             [ -L link.tsv ] && [ -L out-link ] && cmp -s real.tsv out.tsv && rm real.tsv link.tsv out-link out.tsv)",
            0, "" },
        { R"(name=$(printf 'n%.0s' {1..250})
             "$BATCH" "$EXAMPLE" --quiet --summary $name && rm $name)",
            0, "" },
        { R"("$BATCH" "$EXAMPLE" --repetitions 100000000 --trials old.tsv --max-memory 1000)", 1,
            "quorvel-batch: this run may take up to 1235.2 GB of memory (it keeps every trial, up to "
            "50000000000 of 24 bytes), more than the 1.0 GB allowed. Run fewer repetitions, or allow more "
            "with --max-memory MB." },
        { R"("$BATCH" "$EXAMPLE" --repetitions 100000000 --stats old.tsv --max-memory 1000)", 1,
            "quorvel-batch: this run may take up to 35.2 GB of memory, more than the 1.0 GB allowed. Run "
            "fewer repetitions, or allow more with --max-memory MB." },
        { R"("$BATCH" "$EXAMPLE" --trials no-such-folder/trials.tsv)", 4,
            "quorvel-batch: can't write the trials to no-such-folder/trials.tsv: No such file or directory" },
        { R"("$BATCH" "$EXAMPLE" --summary .)", 4,
            "quorvel-batch: can't write the summary to .: Is a directory" },
        { R"("$BATCH" "$EXAMPLE" > /dev/full)", 4,
            "quorvel-batch: can't write the table to the standard output: No space left on device" },
        { R"("$BATCH" "$EXAMPLE" --summary - > /dev/full)", 4,
            "quorvel-batch: can't write the summary to the standard output: No space left on device" },
        // The reader is gone before the trials (megabytes, more than a pipe holds) are written.
        { R"("$BATCH" "$EXAMPLE" --repetitions 2000 --trials - | true; exit "${PIPESTATUS[0]}")", 4,
            "quorvel-batch: can't write the trials to the standard output: Broken pipe" },
    };
    for (const auto &c : cases) {
        const Outcome outcome = run(c.script);
        EXPECT_EQ(outcome.status, c.status) << c.script;
        EXPECT_EQ(firstLine(outcome.err), c.message) << c.script;
        EXPECT_EQ(outcome.err.find(usage) != std::string::npos, c.status == 2) << c.script;
    }
    EXPECT_EQ(entries(), (std::vector<std::string> { "old.tsv", "sum.txt", "wrong-count.txt" }));
}

TEST_F(BatchProgramTest, FullDiskKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    // The trials of 2000 repetitions take megabytes; the limit allows 100 kB.
    const Outcome outcome = run(R"(ulimit -f 100
        exec "$BATCH" "$EXAMPLE" --repetitions 2000 --trials old.tsv --summary new.tsv)");
    EXPECT_EQ(outcome.status, 4);
    EXPECT_EQ(outcome.err, "quorvel-batch: can't write the trials to old.tsv: File too large\n");
    EXPECT_EQ(fileContent(folder + "/old.tsv"), "old\n");
    EXPECT_EQ(entries(), (std::vector<std::string> { "old.tsv", "wrong-count.txt" }));

    // A summary smaller than the output's buffer fails only when it is committed.
    const Outcome small = run(R"(ulimit -f 1
        exec "$BATCH" "$EXAMPLE" --repetitions 20 --quiet --summary old.tsv)");
    EXPECT_EQ(small.status, 4);
    EXPECT_EQ(small.err, "quorvel-batch: can't write the summary to old.tsv: File too large\n");
    EXPECT_EQ(fileContent(folder + "/old.tsv"), "old\n");
}

// Blocked in open() on a named pipe nobody reads, or in write() on a reader
// that stalls: a signal still ends the program at once (the watchdog's
// SIGKILL would give 137), and a killed run leaves no temporary file.
TEST_F(BatchProgramTest, SignalsEndAProgramThatWaitsAndKillingLeavesNothing)
{
    const struct {
        const char *script;
        int status;
    } cases[] = {
        { R"(mkfifo fifo
             timeout -s KILL 20 "$BATCH" "$EXAMPLE" --quiet --trials fifo & pid=$!
             sleep 1; kill -INT $pid; wait $pid; status=$?; rm fifo; exit $status)",
            130 },
        { R"(exec 3> >(exec sleep 30); sleeper=$!
             timeout -s KILL 20 "$BATCH" "$EXAMPLE" --repetitions 2000 --trials - >&3 & pid=$!
             sleep 1; kill -TERM $pid; wait $pid; status=$?; kill $sleeper; exit $status)",
            143 },
        { R"(mkfifo fifo; exec 3<> fifo  # a reader that never reads
             timeout -s KILL 20 "$BATCH" "$EXAMPLE" --repetitions 2000 --trials fifo & pid=$!
             sleep 1; kill -INT $pid; wait $pid; status=$?; rm fifo; exit $status)",
            130 },
        { R"("$BATCH" "$EXAMPLE" --repetitions 200000 --trials t.tsv --summary s.tsv & pid=$!
             exec 2> /dev/null; sleep 0.5; kill -KILL $pid; wait $pid; exit $(ls -A | grep -c tmp))",
            0 },
    };
    for (const auto &c : cases) {
        const Outcome outcome = run(c.script);
        EXPECT_EQ(outcome.status, c.status) << c.script;
        EXPECT_EQ(outcome.err, c.status ? "quorvel-batch: interrupted; no output file was replaced.\n" : "")
            << c.script;
    }
    EXPECT_EQ(entries(), (std::vector<std::string> { "old.tsv", "wrong-count.txt" }));
}

#ifndef __SANITIZE_ADDRESS__ // the address sanitizer reserves more address space than any limit allows
TEST_F(BatchProgramTest, RunningOutOfMemoryEndsWithAMessage)
{
    // Each repetition of the example takes up to 200 trials: far beyond 300 MB.
    const Outcome outcome = run(R"(ulimit -v 300000
        exec "$BATCH" "$(dirname "$EXAMPLE")/single-staircase.txt" --repetitions 100000000 --trials old.tsv \
            --max-memory 2147483647)");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
        "quorvel-batch: out of memory: the run keeps every trial in memory (24 bytes each), and this one may "
        "record up to 20000000000 trials. Run fewer repetitions, or lower the maximum trials.\n");
    EXPECT_EQ(fileContent(folder + "/old.tsv"), "old\n");
}

// Without an output of trials (the trials, the summary's estimators) a repetition's trials are not
// kept: 200,000 repetitions of up to 200 trials would need far more than the 150 MB the limit leaves.
TEST_F(BatchProgramTest, TheStatsNeedMemoryPerRepetitionNotPerTrial)
{
    const Outcome outcome = run(R"(ulimit -v 150000
        exec "$BATCH" "$(dirname "$EXAMPLE")/single-staircase.txt" --repetitions 200000 --quiet --stats s.tsv)");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_NE(fileContent(folder + "/s.tsv").size(), 0u);
}
#endif
