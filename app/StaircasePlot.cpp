#include "StaircasePlot.h"

StaircasePlot::StaircasePlot(QWidget *parent)
    : QCustomPlot(parent)
{
}

void StaircasePlot::setNumberOfGraphs(int ngraphs)
{
    clearGraphs();
    for (int i = 0; i < ngraphs; ++i)
        addGraph();
}
