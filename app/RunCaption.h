#pragma once
// The line above the results table that says which run the table shows:
// "results.txt — 200 repetitions of 3 staircases, ended 14:03:27", with
// " (previous experiment)" once New or Open has replaced the experiment that
// was run, and "No run yet" before the first run.

#include <QString>
#include <QTime>

struct RunCaption {
    // The experiment's name at Start, as the window's title gave it ("results.txt*", "untitled").
    QString experimentName;
    int repetitions = 0;
    int staircaseCount = 0;
    // When the run ended; invalid before the first run.
    QTime ended;
    bool previousExperiment = false;

    QString text() const;
};
