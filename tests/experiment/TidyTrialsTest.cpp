#include "TidyTrials.h"

#include "EngineTestSupport.h"
#include "RandomEngine.h"
#include "Run.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

} // namespace

// A result built by hand: a reversal seen from the next trial and one from the repetition's end, an
// ID that needs quoting, levels in their shortest texts.
TEST(TidyTrials, WritesEveryFieldOfEveryTrialWithoutATrailingTab)
{
    RunRequest request;
    request.staircases.assign(2, StaircaseSettings());
    nameStaircases(request.staircases, { "b", "say \"hi\"" });
    request.repetitions = 2;
    RunResult result(request);
    RunRecorder recorder(result);
    recorder.record({ 0.1, 1, 0, 0, 0, true, false });
    recorder.record({ -5.0, 1, 0, 0, 1, false, false });
    recorder.record({ 0.1 + 0.2, 1, 1, 1, 0, false, false });
    recorder.finished(0, 2, 0.1 + 0.2, true, StopReason::maxReversals);
    recorder.finished(1, 1, -5.0, false, StopReason::maxTrials);
    recorder.endRepetition();
    recorder.record({ 1e-5, 2, 0, 0, 1, true, false });
    recorder.finished(1, 1, 1e-5, true, StopReason::maxReversals);
    recorder.endRepetition();
    recorder.end(true);

    EXPECT_EQ(tidyTrialsText(result),
        "repetition\tstaircase\tid\ttrial\trun_trial\treversals_before\tlevel\tresponse\treversal\n"
        "1\t0\tb\t0\t0\t0\t0.1\t1\t1\n"
        "1\t1\t\"say \"\"hi\"\"\"\t0\t1\t0\t-5\t0\t0\n"
        "1\t0\tb\t1\t2\t1\t0.30000000000000004\t0\t1\n"
        "2\t1\t\"say \"\"hi\"\"\"\t0\t3\t0\t1e-05\t1\t1\n");
    EXPECT_EQ(tidyTrialsText(RunResult()), std::string(tidyTrialsHeader) + "\n");
    EXPECT_FALSE(writeTidyTrials(result, [](const char *, std::size_t) { return false; }));
}

// A seeded run of several repetitions: one line per trial, nine fields on every line, repetitions
// from 1, levels that read back exactly, and as many reversal marks as the run counted reversals.
TEST(TidyTrials, SeededRunHasOneRowPerTrialAndTheRunsReversals)
{
    RunRequest request;
    request.observer = { 0.0, 1.0, 0.0, 0.1 };
    request.staircases.assign(3, StaircaseSettings());
    request.staircases[1].ascending = false;
    request.staircases[1].startLevel = 3.0;
    request.staircases[2].correctAnswers = 2;
    request.staircases[2].positiveStepsText = "1,0.3,0.07";
    request.repetitions = 7;
    RandomEngine engine(12345);
    const RunResult result = simulate(request, engine);

    const std::vector<std::string> lines = split(tidyTrialsText(result), '\n');
    ASSERT_EQ(lines.size(), result.trialCount() + 2); // header, rows, the empty rest after the last "\n"
    EXPECT_EQ(lines.back(), "");
    std::vector<std::uint32_t> reversals(std::size_t(7 * 3), 0);
    for (std::size_t k = 0; k < result.trialCount(); ++k) {
        const std::vector<std::string> fields = split(lines[k + 1], '\t');
        ASSERT_EQ(fields.size(), 9u) << lines[k + 1];
        const TrialRecord &t = result.trial(k);
        EXPECT_EQ(fields[0], std::to_string(t.repetitionNumber));
        EXPECT_EQ(fields[1], std::to_string(t.staircase));
        EXPECT_EQ(fields[3], std::to_string(t.staircaseTrial));
        EXPECT_EQ(fields[4], std::to_string(k));
        EXPECT_EQ(std::stod(fields[6]), t.level) << fields[6];
        ASSERT_TRUE(fields[8] == "0" || fields[8] == "1");
        reversals[std::size_t(t.repetitionIndex() * 3 + t.staircase)] += fields[8] == "1";
    }
    for (int r = 0; r < 7; ++r)
        for (int s = 0; s < 3; ++s)
            EXPECT_EQ(reversals[std::size_t(r * 3 + s)], result.outcome(r, s).reversalCount) << r << ' ' << s;
}
