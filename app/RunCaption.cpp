#include "RunCaption.h"

namespace
{

QString counted(int n, const char *singular, const char *plural)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? singular : plural);
}

} // namespace

QString RunCaption::text() const
{
    if (!ended.isValid())
        return QStringLiteral("No run yet");
    // A fixed format, whatever the user's locale.
    QString caption = experimentName + QStringLiteral(" \u2014 ")
        + counted(repetitions, "repetition", "repetitions") + QStringLiteral(" of ")
        + counted(staircaseCount, "staircase", "staircases") + QStringLiteral(", ended ")
        + ended.toString(QStringLiteral("HH:mm:ss"));
    if (previousExperiment)
        caption += QStringLiteral(" (previous experiment)");
    return caption;
}
