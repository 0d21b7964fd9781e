#pragma once
// The graph tab's plot: a QCustomPlot that can also be told how many
// (empty) staircase graphs to hold, following the number of staircases.

#include <qcustomplot.h>

class StaircasePlot : public QCustomPlot
{
    Q_OBJECT

public:
    explicit StaircasePlot(QWidget *parent = nullptr);

public slots:
    // Removes every graph (and every other plottable and item) and adds `ngraphs`
    // empty graphs on the bottom and left axes, without redrawing; a count of 0
    // or less only empties the plot.
    void setNumberOfGraphs(int ngraphs);
};
