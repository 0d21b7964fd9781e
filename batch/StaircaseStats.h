#pragma once
// The --stats table of quorvel-batch: one tab-separated row per staircase,
//   staircase  ID  [the exact columns]
// staircase is its 0-based index, ID its display text (tabs and line breaks
// become spaces; a text with a '"' is quoted, inner quotes doubled, as R and
// pandas read it). With --exact or --exact-only the exact columns follow,
// named and written by exactStatsColumns / exactStatsFields (ExactRun.h):
// numbers in their shortest round-trip text, NA where not computed, and
// exact_status last. Every line ends with "\n".

#include <string>
#include <vector>

struct RunRequest;
struct ExactRun;

// `exact` null: no exact columns; otherwise one ExactRun per staircase.
std::string staircaseStatsText(
    const RunRequest &request, const std::vector<ExactRun> *exact, int lastReversals);
