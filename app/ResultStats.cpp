#include "ResultStats.h"

#include "PsychometricObserver.h"

#include <algorithm>
#include <cmath>

QString averageText(double average)
{
    return QString::number(average, 'f', 6);
}

QString targetText(double probability)
{
    return QString::number(probability * 100.0, 'g', 6) + QLatin1Char('%');
}

const QString notAvailableText = QStringLiteral("\u2014");

QString statLevelText(double level)
{
    if (level != 0.0 && std::abs(level) < 0.01)
        return QString::number(level, 'g', 3);
    return QString::number(level, 'f', 4);
}

QString signedStatLevelText(double difference)
{
    const QString text = statLevelText(difference);
    return difference > 0.0 ? QLatin1Char('+') + text : text;
}

QString percentText(double probability)
{
    return QString::number(probability * 100.0, 'f', 2) + QLatin1Char('%');
}

QString percentPointsText(double points)
{
    QString text = QString::number(points, 'f', 2);
    if (text == QStringLiteral("-0.00") || text == QStringLiteral("0.00"))
        return QStringLiteral("0.00");
    return points > 0.0 ? QLatin1Char('+') + text : text;
}

double averageOfLastReversals(const std::map<int, double> &levelsByInversion, int lastCount)
{
    double sum = 0.0;
    int summed = 0;
    // The highest inversion counts come last in the map.
    for (auto it = levelsByInversion.crbegin(); it != levelsByInversion.crend() && summed < lastCount;
         ++it, ++summed)
        sum += it->second;
    return summed == 0 ? 0.0 : sum / summed;
}

AnalysisLines analysisLines(const std::map<int, std::map<int, double>> &reversalLevels, int lastCount,
    const PsychometricObserver &observer)
{
    AnalysisLines lines;
    for (const auto &[id, levels] : reversalLevels) {
        const double average = averageOfLastReversals(levels, lastCount);
        lines.averages.append(averageText(average));
        lines.targets.append(targetText(observer.probability(average)));
    }
    return lines;
}

QString lastReversalsWarning(const QVector<int> &maxInversions, int value, int &lowest)
{
    if (maxInversions.isEmpty())
        return QString();
    const int smallest = *std::min_element(maxInversions.cbegin(), maxInversions.cend());
    if (value <= smallest)
        return QString();
    QStringList low;
    for (int i = 0; i < maxInversions.size(); ++i)
        if (maxInversions[i] < value)
            low.append(QString::number(i));
    lowest = smallest;
    return QStringLiteral("You can't average on a number of inversion higher than the inversions for the "
                          "staircase(s)\n")
        + low.join(QLatin1Char(' '));
}
