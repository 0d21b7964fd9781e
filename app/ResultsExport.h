#pragma once
// Writes a run's trials to a tab-separated text file, in the order the results
// table shows them (TrialTable.h has the format). The file is written whole or
// not at all: a full disk or an unwritable folder leaves any old file as it was.

#include <QString>

#include <cstdint>
#include <vector>

class RunResult;

// Writes the table of `result` (none: the header line alone) to `path`, in
// trial order or in `order`. Returns an empty string on success, otherwise a
// message naming the file and the system's reason.
QString exportResults(const RunResult *result, const std::vector<std::uint32_t> *order, const QString &path);
