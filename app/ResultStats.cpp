#include "ResultStats.h"

QString stateText(double level)
{
    return QString::number(level, 'f', 3);
}

QString averageText(double average)
{
    return QString::number(average, 'f', 6);
}

QString targetText(double probability)
{
    return QString::number(probability * 100.0, 'g', 6) + QLatin1Char('%');
}

double averageOfLastReversals(const QMap<int, double> &levelsByInversion, int lastCount)
{
    double sum = 0.0;
    int summed = 0;
    // The highest inversion counts come last in the map.
    for (auto it = levelsByInversion.cend(); it != levelsByInversion.cbegin() && summed < lastCount; ++summed)
        sum += *--it;
    return summed == 0 ? 0.0 : sum / summed;
}
