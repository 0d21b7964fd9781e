#include "StaircasePlot.h"

StaircasePlot::StaircasePlot(QWidget *parent)
    : QCustomPlot(parent)
{
}

void StaircasePlot::setNumberOfGraphs(int ngraphs)
{
    // Everything the last drawing added goes: reversal marks and target lines belong to its graphs.
    clearPlottables();
    clearItems();
    for (int i = 0; i < ngraphs; ++i)
        addGraph();
}
