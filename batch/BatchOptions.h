#pragma once
// The command line of quorvel-batch, read into a plain struct.
//
// `parseBatchOptions` takes the arguments after the program name and either
// returns the options or the one problem it found (a usage error: exit 2).
// Options may stand before or after the experiment file, as "--name value" or
// "--name=value"; "--" ends the options. Numbers are read strictly and in the
// same way whatever the user's locale: decimal digits only, no sign, no blanks.

#include "RandomEngine.h"
#include "RepetitionStats.h"
#include "Sweep.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct BatchOptions {
    std::string experimentPath;
    // Empty: the file's repetition count (1 when it gives none).
    std::optional<int> repetitions;
    std::uint32_t seed = RandomEngine::defaultSeed;
    int lastReversals = defaultLastReversals;
    int firstReversal = EstimatorSettings().firstReversal; // R
    // The estimators the printed table shows, one block each ("all": every one).
    std::vector<Estimator> estimators { Estimator::reversals };
    // Empty: not written; "-": the standard output.
    std::string trialsPath;
    std::string tidyTrialsPath;
    std::string summaryPath;
    // One row per combination and staircase (tab-separated); empty: not written, "-": the standard output.
    std::string statsPath;
    // Adds the exact finite-run values (ExactRun.h) to the table and the stats.
    bool exact = false;
    // The exact values alone: no simulation (implies exact).
    bool exactOnly = false;
    // --vary, in order: every combination of their values is run.
    std::vector<SweepAxis> vary;
    // (column name, value) pairs put before the summary's own columns, in order.
    std::vector<std::pair<std::string, std::string>> tags;
    // Empty: half the machine's memory (runMemoryBudget).
    std::optional<int> maxMemoryMegabytes;
    bool quiet = false;
    bool help = false;
};

// The options, or the one problem of the command line.
Expected<BatchOptions> parseBatchOptions(const std::vector<std::string> &arguments);

// The text --help prints, and that follows every usage error on standard error.
extern const char batchUsage[];

// A seed: decimal digits for a value from 0 to 4294967295.
std::optional<std::uint32_t> parseSeed(const std::string &text);

// A count of at least 1: decimal digits for a value from 1 to 2147483647.
std::optional<int> parsePositiveCount(const std::string &text);
