#pragma once
// Reading the staircase parameter pages into plain settings, and a run's
// request from them. A run reads every page first and is checked (runProblem
// in Run.h) before anything else happens, so nothing of the previous results
// is lost to a typing error.

#include "Run.h"
#include "StaircaseSettings.h"

#include <QString>

#include <vector>

class StaircaseParamSetter;
class QSpinBox;
class TabStaircase;

StaircaseSettings readStaircasePage(const StaircaseParamSetter &page);

// Sets every field of `page` to `settings`.
void writeStaircasePage(StaircaseParamSetter &page, const StaircaseSettings &settings);

// Every page of the tab set, in tab order: element i is staircase i.
std::vector<StaircaseSettings> readStaircasePages(const TabStaircase &tabs);

// The run Start asks for: the observer, every page in tab order, and the repetitions.
RunRequest readRunRequest(const TabStaircase &tabs, const ObserverSettings &observer, int repetitions);

// The Duplicate staircase command: raises the staircase count by one and gives the new last page
// every field of the current page, then shows it. Returns an empty string, or the reason nothing
// changed (the experiment already has the most staircases).
QString duplicateCurrentPage(TabStaircase &tabs, QSpinBox &staircaseCount);
