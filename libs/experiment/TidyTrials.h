#pragma once
// The trials of a run as a tidy table, for analysis in R, pandas or a
// spreadsheet: one header line and one line per trial, in trial order, every
// line with exactly the same nine tab-separated fields and no trailing tab, so
// `pandas.read_csv(path, sep="\t")` and R's `read.delim(path)` read it with
// their defaults. The window's "Export trials for analysis..." and
// quorvel-batch's --tidy-trials write these bytes.
//
//   repetition       1, 2, ... (the graph's repetition numbers)
//   staircase        the staircase's 0-based index
//   id               its display text (UTF-8; quoted as the repetition summary quotes it)
//   trial            the staircase's earlier trials in the repetition (the trial table's Steps)
//   run_trial        the run-wide trial number (the trial table's Ntrial)
//   reversals_before the staircase's reversals before the answer (Inversions)
//   level            the level, in the shortest text that reads back to the same double
//   response         1 for a positive answer, 0 otherwise
//   reversal         1 when the answer to this trial counted a reversal, 0 otherwise

#include "TrialTable.h"

#include <vector>

extern const char tidyTrialsHeader[];

// Whether the answer to trial k counted a reversal, for every trial of the run:
// the staircase's next trial in the repetition has more reversals, or it is the
// staircase's last trial and the repetition's outcome says it ended on one.
std::vector<bool> reversalTrials(const RunResult &result);

// Writes the header and one line per trial. Returns false as soon as the sink
// refuses a piece.
bool writeTidyTrials(const RunResult &result, const TextSink &sink);

// The same text in one string (for small runs and tests).
std::string tidyTrialsText(const RunResult &result);
