#pragma once
// The look the Analysis and Sweep plots share: English number texts whatever
// the locale, and a borderless legend in a row of its own above the plot,
// where it hides no line or bar however small the plot is.

#include <QFont>
#include <QLocale>
#include <qcustomplot.h>

inline void setupLegendAbove(QCustomPlot &plot, const QFont &windowFont)
{
    plot.setLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    plot.legend->setVisible(true);
    QFont legendFont = windowFont;
    legendFont.setPointSize(8);
    plot.legend->setFont(legendFont);
    plot.plotLayout()->insertRow(0);
    plot.plotLayout()->addElement(0, 0, plot.legend);
    plot.plotLayout()->setRowStretchFactor(0, 0.001);
    plot.legend->setFillOrder(QCPLegend::foColumnsFirst);
    plot.legend->setBorderPen(Qt::NoPen);
}
