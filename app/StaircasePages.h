#pragma once
// Reading the staircase parameter pages into plain settings, and the checks a
// run makes before it starts. A run reads every page first and refuses to
// start (with a message naming the staircase by its tab title) when a page
// cannot give a runnable staircase, so nothing of the previous results is lost
// to a typing error.

#include "StaircaseSettings.h"

#include <QString>

#include <vector>

class StaircaseParamSetter;
class TabStaircase;

StaircaseSettings readStaircasePage(const StaircaseParamSetter &page);

// Every page of the tab set, in tab order: element i is staircase i.
std::vector<StaircaseSettings> readStaircasePages(const TabStaircase &tabs);

// What keeps the staircase from running, as a sentence starting with its
// title; an empty string when it can run. Checked: the positive steps text
// gives at least one step and every comma-separated token is a number; an
// active clamp has its lower clamp below its upper clamp.
QString staircaseProblem(const StaircaseSettings &settings, const QString &title);

// The message for the first staircase that cannot run, or an empty string.
// Staircase i is named by its tab title.
QString runProblem(const std::vector<StaircaseSettings> &staircases);
