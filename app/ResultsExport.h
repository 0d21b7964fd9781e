#pragma once
// Writes a run to tab-separated text files: its trials, in the order the
// results table shows them (TrialTable.h has the format), and its repetition
// summary (RepetitionStats.h). A file is written whole or not at all: a full
// disk or an unwritable folder leaves any old file as it was.

#include <QString>

#include <cstdint>
#include <vector>

class RunResult;
struct EstimatorSettings;

// Writes the table of `result` (none: the header line alone) to `path`, in
// trial order or in `order`. Returns an empty string on success, otherwise a
// message naming the file and the system's reason.
QString exportResults(const RunResult *result, const std::vector<std::uint32_t> *order, const QString &path);

// Writes the trials of `result` as the tidy table (TidyTrials.h) to `path`, ".tsv"
// added when the name has no suffix. Returns an empty string on success,
// otherwise a message naming the file and the system's reason.
QString exportTidyTrials(const RunResult &result, const QString &path);
// Writes the repetition summary of `result` with estimates by `settings` to `path`, ".tsv" added when the
// name has no suffix. Returns an empty string on success, otherwise a message naming the file and the
// system's reason.
QString exportRepetitionSummary(
    const RunResult &result, const EstimatorSettings &settings, const QString &path);
