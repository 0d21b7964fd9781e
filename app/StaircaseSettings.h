#pragma once
// The settings of one staircase as read from its parameter page, and the
// checks a run makes before it starts. A run reads every page first and
// refuses to start (with a message naming the staircase by its tab title)
// when a page cannot give a runnable staircase, so nothing of the previous
// results is lost to a typing error.

#include <QString>

#include <string>
#include <vector>

class StaircaseParamSetter;
class TabStaircase;

struct StaircaseSettings {
    QString title; // the tab title, which names the staircase in messages
    bool ascending = true;
    double startLevel = 0.0;
    int correctAnswers = 1;
    int maxInversions = 1;
    int maxTrials = 1;
    double negativeStep = 0.0;
    std::string positiveStepsText;
    std::vector<double> positiveSteps; // parsed from positiveStepsText when it is valid
    bool clampActive = false;
    double lowerClamp = 0.0;
    double upperClamp = 0.0;
    int maxClampHits = 0;
};

// Reads a page. The positive steps are parsed only when the text is valid
// (otherwise they are left empty and staircaseProblem tells why).
StaircaseSettings readStaircasePage(const StaircaseParamSetter &page, const QString &title);

// Every page of the tab set, in tab order.
std::vector<StaircaseSettings> readStaircasePages(const TabStaircase &tabs);

// What keeps the staircase from running, as a sentence starting with its
// title; an empty string when it can run. Checked: the positive steps text
// gives at least one step and every comma-separated token is a number; an
// active clamp has its lower clamp below its upper clamp.
QString staircaseProblem(const StaircaseSettings &settings);

// The message for the first staircase that cannot run, or an empty string.
QString runProblem(const std::vector<StaircaseSettings> &staircases);
