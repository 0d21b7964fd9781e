#include "AnalysisTexts.h"

#include "Run.h"

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

AnalysisLines analysisLines(const RunResult &result, int lastCount)
{
    AnalysisLines lines;
    for (const LastReversalsAverage &average : lastReversalsAverages(result, lastCount)) {
        lines.averages.append(averageText(average.level));
        lines.targets.append(targetText(average.probability));
    }
    return lines;
}

QString lastReversalsWarning(const RunRequest &request, int value, int &lowest)
{
    const std::optional<LastReversalsExcess> excess = lastReversalsExcess(request, value);
    if (!excess)
        return QString();
    QStringList low;
    for (int s : excess->staircases)
        low.append(QString::number(s));
    lowest = excess->lowestMaximum;
    return QStringLiteral("You can't average on a number of inversion higher than the inversions for the "
                          "staircase(s)\n")
        + low.join(QLatin1Char(' '));
}
