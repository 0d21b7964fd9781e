#pragma once
// A simulation run: what was asked for, and what happened, trial by trial.
//
// `RunRequest` is the whole experiment as it stood when the run started (the
// observer, every staircase's settings and the number of repetitions). `simulate` runs it against a random
// engine and returns a `RunResult`, which is then only read: the results table, the analysis, the statistics
// across repetitions, the graph and the exports all take their numbers from it, so they always agree with
// each other.
//
// The run is the classic one, draw for draw. Before every repetition the
// staircases are rebuilt from the settings (staircase i gets id i); on every
// trial the set picks an unfinished staircase (uniformInt, drawn first), the
// observer answers its level (uniformReal, drawn second), the trial is recorded
// with the staircase's level, reversal count and trial count before the answer,
// and only then is the answer applied. The same engine position therefore gives
// the same trials on every machine.
//
// A trial takes 24 bytes. Trials are kept in blocks, so a growing run never
// copies what it has recorded and its peak memory stays close to its size.
// `simulate` first reserves one block for the most trials the run can record:
// the system gives memory to a page only once a trial is written there, so the
// whole run lies in one array (which the Python module views as NumPy arrays)
// at no cost. When that is more than half the machine's memory or the system
// refuses it, blocks of 64K trials.

#include "Problem.h"
#include "StaircaseSettings.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class RandomEngine;

struct RunRequest {
    ObserverSettings observer;
    // Staircase i of every repetition runs with these settings.
    std::vector<StaircaseSettings> staircases;
    int repetitions = 1;
    // False: the trials are counted but not kept (trial(k) must not be asked),
    // so the run needs memory per repetition, not per trial: enough for the
    // outcomes, the reversal levels and everything computed from them.
    bool keepTrials = true;

    int staircaseCount() const { return static_cast<int>(staircases.size()); }
};

// Why a staircase stopped. When several limits are reached on the same trial,
// the first in this order is given.
enum class StopReason : std::uint8_t { maxReversals, maxTrials, clampHits };

// One trial. Its run-wide trial number is its position in the run. Every field
// is a whole, aligned value of its own, so the Python module views each field
// of a run's records as a NumPy array without a copy.
struct TrialRecord {
    double level; // the level presented
    std::uint32_t repetitionNumber; // from 1, as tables show it (repetition index + 1)
    std::uint32_t staircaseTrial; // the staircase's earlier trials in this repetition
    std::uint32_t reversals; // the staircase's reversals before this answer
    std::uint8_t staircase; // 0-based index (the staircase's id)
    bool response; // the observer's answer, true = positive (correct)
    bool reversal; // whether the answer counted a reversal (set by RunRecorder::reversal)

    // The 0-based repetition, as outcome() and the other per-repetition lists count.
    int repetitionIndex() const { return static_cast<int>(repetitionNumber) - 1; }
};

// What one staircase did in one repetition.
struct StaircaseOutcome {
    std::size_t firstReversal = 0; // index of its first reversal level in the run's list
    std::uint32_t reversalCount = 0;
    std::uint32_t trials = 0;
    double lastLevel = 0.0; // the level of its last trial
    bool endedOnReversal = false; // whether the answer to its last trial counted a reversal
    StopReason stop = StopReason::maxTrials;
};

class RunResult
{
public:
    // Bytes a run needs per recorded trial, for memory estimates.
    static constexpr std::size_t bytesPerTrial = sizeof(TrialRecord);
    // The most trials a run records (a table row number is an int); a run that
    // would record more stops with std::length_error.
    static constexpr std::size_t maximumTrialCount = 2147483647;

    RunResult() = default;
    explicit RunResult(RunRequest request);

    // What was run.
    const RunRequest &request() const { return runRequest; }
    int staircaseCount() const { return runRequest.staircaseCount(); }
    // The text that names staircase s in tables, legends and files: ::staircaseId
    // as valid UTF-8 (validUtf8 in TextUtils.h), so that every face shows it alike.
    std::string staircaseId(int s) const;
    // Repetitions that ran to their end (all of them unless the run was cancelled).
    int repetitionCount() const { return completedRepetitions; }
    // False when the run was cancelled; the trials and outcomes then stop early.
    bool isComplete() const { return complete; }

    std::size_t trialCount() const { return recordedTrials; }
    const TrialRecord &trial(std::size_t k) const { return blocks[k >> blockBits][k & blockMask]; }
    // Every trial in one array, in run order; null when they lie in several blocks.
    const TrialRecord *contiguousTrials() const
    {
        return blocks.size() == 1 ? blocks.front().get() : nullptr;
    }

    const StaircaseOutcome &outcome(int repetition, int staircase) const
    {
        return outcomes[static_cast<std::size_t>(repetition) * static_cast<std::size_t>(staircaseCount())
            + static_cast<std::size_t>(staircase)];
    }
    // The levels of the staircase's reversal trials in that repetition, in order
    // (the level presented on each trial whose answer counted a reversal).
    const double *reversalLevelsBegin(int repetition, int staircase) const
    {
        return reversals.data() + outcome(repetition, staircase).firstReversal;
    }
    const double *reversalLevelsEnd(int repetition, int staircase) const
    {
        return reversalLevelsBegin(repetition, staircase) + outcome(repetition, staircase).reversalCount;
    }

private:
    friend class RunRecorder;
    static constexpr unsigned smallBlockBits = 16;

    // Set by the first record: a block holds 2^blockBits trials.
    unsigned blockBits = smallBlockBits;
    std::size_t blockMask = (std::size_t(1) << smallBlockBits) - 1;

    RunRequest runRequest;
    std::vector<std::unique_ptr<TrialRecord[]>> blocks;
    std::size_t recordedTrials = 0;
    std::vector<StaircaseOutcome> outcomes; // repetition-major
    std::vector<double> reversals;
    int completedRepetitions = 0;
    bool complete = false;
};

// Builds a RunResult as a run goes: `simulate` records with it, and so can
// anything else that makes a result (tests build small ones by hand). Trials
// are recorded in run order; a staircase's reversal levels and its end are
// given as they happen, and `endRepetition` files them in staircase order.
class RunRecorder
{
public:
    // `expectedTrials`, when given, is the most trials the result will get:
    // the first block is reserved for all of them if the system allows.
    explicit RunRecorder(RunResult &result, std::size_t expectedTrials = 0);

    // Throws std::length_error past RunResult::maximumTrialCount trials.
    void record(const TrialRecord &trial);
    // The answer to the staircase's last recorded trial, at `level`, counted a reversal.
    void reversal(int staircase, double level);
    void finished(
        int staircase, std::uint32_t trials, double lastLevel, bool endedOnReversal, StopReason stop);
    void endRepetition();
    // Marks the result complete (every repetition ran) or not.
    void end(bool complete);

private:
    struct Pending {
        StaircaseOutcome outcome;
        std::vector<double> reversalLevels;
        std::size_t lastTrial = std::size_t(-1); // in this repetition
    };
    RunResult &result;
    std::vector<Pending> pending;
    std::size_t expectedTrials;
};

struct RunProgress {
    std::size_t trials = 0; // recorded so far
    int repetitions = 0; // finished so far
};

// Called now and then during a run (every few thousand trials and at the end),
// on the thread that runs it.
using ProgressCallback = std::function<void(const RunProgress &)>;

// None when the request can run; otherwise its first problem, naming the
// staircase by its tab title ("Staircase 2: ..."): the number of staircases or
// repetitions, or a settingsProblem.
std::optional<Problem> runProblem(const RunRequest &request);

// None when the observer and the staircases can be run or worked out; otherwise
// the first problem: a value outside its field's range (FieldRanges.h; a file's
// value is fitted into it, so only a request built in code meets this, NaN and
// infinities included), a psychometric function that does not rise, a step
// list that is not one, crossed clamps, or a string ID that breaks rows.
std::optional<Problem> settingsProblem(const RunRequest &request);

// The most trials the request can record: repetitions × the sum of the
// staircases' maximum trials.
std::uint64_t maximumTrials(const RunRequest &request);

// Runs the request (which must have passed runProblem) with `engine`, which no
// other thread may use meanwhile. Stops early, with an incomplete result, soon
// after `cancel` becomes true. Throws std::bad_alloc when memory runs out and
// std::length_error past RunResult::maximumTrialCount trials.
RunResult simulate(const RunRequest &request, RandomEngine &engine, const ProgressCallback &progress = {},
    const std::atomic<bool> *cancel = nullptr);

// Staircase index -> (reversal count before the answer -> level of the last trial
// presented at that count, over the whole run: a later repetition replaces the
// levels of earlier ones). Only complete repetitions count.
std::map<int, std::map<int, double>> lastLevelsByReversalCount(const RunResult &result);

// The Analysis tab's figures for one staircase: the average of the levels
// lastLevelsByReversalCount holds under its highest `lastCount` reversal counts, divided
// by the number of levels summed (fewer than lastCount when it reached fewer; 0
// for none), and the probability of a positive answer there for the run's own
// observer.
struct LastReversalsAverage {
    double level = 0.0;
    double probability = 0.0;
};
// One element per staircase in lastLevelsByReversalCount(result), in ascending index order.
std::vector<LastReversalsAverage> lastReversalsAverages(const RunResult &result, int lastCount);

// Averaging more reversals than a staircase of the run may reach: the smallest
// maximum reversals of the run's staircases and the staircases whose maximum is
// below `lastCount`; empty when lastCount is within every maximum.
struct LastReversalsExcess {
    int lowestMaximum = 0;
    std::vector<int> staircases;
};
std::optional<LastReversalsExcess> lastReversalsExcess(const RunRequest &request, int lastCount);
