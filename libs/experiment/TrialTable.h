#pragma once
// The trial table of a run as text: the cells the results table shows and the
// tab-separated file the results are exported to, made in one place so that the
// window's table, its export and the batch program's output agree byte for byte.
//
// One row per trial: ID (the staircase's display text), Ntrial (the run-wide
// trial number), Steps (the staircase's earlier trials in its repetition),
// Inversions (its reversals before the answer), State (the level, fixed with
// 3 decimals), Response (1 or 0). The file starts with the header line
// "ID\tNtrial\tSteps\tInversions\tState\tResponse"; every row is each cell
// followed by a tab, so rows end with a tab; lines end with "\n". The ID is
// written in Latin-1, a character outside Latin-1 as "?". Nothing is quoted.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class RunResult;

// The six column names, in order; the window's table and the file's header line both use them.
extern const char *const trialTableColumns[6];

// A level as the "State" column shows it: fixed notation with 3 decimals, "."
// as decimal point whatever the locale. A level exactly halfway between two
// texts rounds away from zero (0.0625 gives "0.063", -0.0625 "-0.063"); -0.0
// gives "0.000", a small negative level "-0.000". Appends to `out`.
void appendLevelText(std::string &out, double level);
std::string levelText(double level);

// Latin-1 bytes of a UTF-8 text; every character outside Latin-1, and every
// byte that starts no valid UTF-8 sequence (utf8SequenceAt), becomes one "?".
std::string latin1WithReplacement(const std::string &utf8);

// A text as one field of a tab-separated table that R's read.delim and
// pandas' read_csv read back: tabs and line breaks become spaces, and a text
// holding a '"' is quoted, inner quotes doubled.
std::string tsvField(const std::string &text);

// The trial numbers in the order of the rows when sorted by ID: stable (equal
// IDs keep trial order), staircases ranked by `rankOfStaircase` (element i is
// the rank of staircase i's ID among the run's IDs; equal IDs share a rank).
std::vector<std::uint32_t> rowsSortedById(const RunResult &result, const std::vector<int> &rankOfStaircase);

// Receives the text in pieces; returns false when it could not take them.
using TextSink = std::function<bool(const char *data, std::size_t size)>;

// Writes the header and one row per trial, in trial order or in `order` when
// it is given. Returns false as soon as the sink refuses a piece.
bool writeTrialTable(const RunResult &result, const std::vector<std::uint32_t> *order, const TextSink &sink);
