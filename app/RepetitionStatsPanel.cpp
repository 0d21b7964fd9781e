#include "RepetitionStatsPanel.h"

#include "EstimatesHistogram.h"
#include "ResultStats.h"

#include <QComboBox>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>

#include <boost/lexical_cast.hpp>

namespace
{

template <typename T, typename Format> QString optionalText(const std::optional<T> &value, Format format)
{
    return value ? format(*value) : notAvailableText;
}

QString stepText(double step)
{
    return QString::number(step, 'g', 6);
}

QString stationaryStatusText(StationaryStatus status)
{
    switch (status) {
    case StationaryStatus::computed:
        break;
    case StationaryStatus::clamped:
        return QStringLiteral("not computed (clamps on)");
    case StationaryStatus::noGrid:
        return QStringLiteral("not computed (steps share no grid)");
    case StationaryStatus::unreachable:
        return QStringLiteral("not computed (no target)");
    }
    return QString();
}

QString targetLevelText(const ClassicTarget &target)
{
    if (target.level)
        return statLevelText(*target.level);
    return target.psi ? QStringLiteral("unreachable") : notAvailableText;
}

} // namespace

QString ruleText(const StaircaseSettings &staircase)
{
    const int n = std::max(staircase.correctAnswers, 1);
    return staircase.ascending ? QStringLiteral("%1-up/1-down, ascending").arg(n)
                               : QStringLiteral("1-up/%1-down, descending").arg(n);
}

QStringList repetitionStatsHeaders(int lastReversals)
{
    return { QStringLiteral("ID"), QStringLiteral("Rule"), QStringLiteral("Target \u03c8*"),
        QStringLiteral("x*"), QStringLiteral("\u03c8* per positive step"),
        QStringLiteral("Long-run mean reversal level"), QStringLiteral("\u03c8 there"),
        QStringLiteral("Long-run \u03c8 over trials"), QStringLiteral("Estimates"),
        QStringLiteral("Mean estimate"), QStringLiteral("\u03c8(mean)"), QStringLiteral("Bias (level)"),
        QStringLiteral("Bias (pp of \u03c8)"), QStringLiteral("SD"), QStringLiteral("SE"),
        QStringLiteral("2.5 %"), QStringLiteral("97.5 %"), QStringLiteral("RMSE"),
        QStringLiteral("Trials mean"), QStringLiteral("Trials min"), QStringLiteral("Trials max"),
        QStringLiteral("Stopped on reversals"), QStringLiteral("Stopped on trials"),
        QStringLiteral("Stopped on clamp hits"),
        QStringLiteral("Fewer than %1 reversals").arg(lastReversals) };
}

QStringList repetitionStatsRow(const QString &id, const StaircaseSettings &staircase,
    const StaircaseTheory &theory, const RepetitionStats &stats)
{
    QStringList row { id, ruleText(staircase), optionalText(theory.classic.psi, percentText),
        targetLevelText(theory.classic) };
    QStringList perStep;
    for (const ClassicTarget &target : theory.perStep)
        perStep << stepText(target.positiveStep) + QStringLiteral(": ")
                + optionalText(target.psi, percentText);
    row << (perStep.isEmpty() ? notAvailableText : perStep.join(QStringLiteral(", ")));

    const StationaryTarget &stationary = theory.stationary;
    if (stationary.status == StationaryStatus::computed)
        row << statLevelText(stationary.meanReversalLevel) << percentText(stationary.psiAtMeanReversalLevel)
            << percentText(stationary.trialAveragedPsi);
    else
        row << stationaryStatusText(stationary.status) << notAvailableText << notAvailableText;

    const EstimateStats &e = stats.estimates;
    row << QString::number(e.count) << optionalText(e.mean, statLevelText)
        << optionalText(e.psiAtMean, percentText) << optionalText(e.bias, signedStatLevelText)
        << optionalText(e.biasPercentPoints, percentPointsText) << optionalText(e.sd, statLevelText)
        << optionalText(e.standardError, statLevelText) << optionalText(e.lowerQuantile, statLevelText)
        << optionalText(e.upperQuantile, statLevelText) << optionalText(e.rmse, statLevelText);
    if (stats.trials)
        row << QString::number(stats.trials->mean, 'f', 1) << QString::number(stats.trials->min)
            << QString::number(stats.trials->max);
    else
        row << notAvailableText << notAvailableText << notAvailableText;
    row << QString::number(stats.stoppedOnReversals) << QString::number(stats.stoppedOnTrials)
        << QString::number(stats.stoppedOnClampHits) << QString::number(stats.fewerReversals);
    return row;
}

QString perStepTargetsToolTip(const StaircaseTheory &theory)
{
    QStringList lines;
    for (const ClassicTarget &target : theory.perStep)
        lines << QStringLiteral("positive step %1: \u03c8* %2, x* %3")
                     .arg(stepText(target.positiveStep), optionalText(target.psi, percentText),
                         targetLevelText(target));
    return lines.join(QLatin1Char('\n'));
}

RepetitionStatsPanel::RepetitionStatsPanel(
    QTableWidget &table, QComboBox &staircaseChoice, QCustomPlot &histogram)
    : table(table)
    , staircaseChoice(staircaseChoice)
    , histogram(histogram)
{
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.verticalHeader()->hide();
    table.setColumnCount(int(repetitionStatsHeaders(lastReversals).size()));
    table.setHorizontalHeaderLabels(repetitionStatsHeaders(lastReversals));
    EstimatesHistogram::setupPlot(histogram, table.font());
}

void RepetitionStatsPanel::setRun(
    std::shared_ptr<const RunResult> shown, std::vector<StaircaseTheory> targets, int k)
{
    run = std::move(shown);
    lastReversals = k;
    theories = std::move(targets);
    theories.resize(run ? std::size_t(run->staircaseCount()) : 0);
    const int chosen = staircaseChoice.currentIndex();
    {
        const QSignalBlocker blocker(staircaseChoice); // drawn once below
        staircaseChoice.clear();
        for (int s = 0; run && s < run->staircaseCount(); ++s)
            staircaseChoice.addItem(staircaseName(s));
        staircaseChoice.setCurrentIndex(chosen >= 0 && chosen < staircaseChoice.count() ? chosen : 0);
    }
    setLastReversals(k);
}

void RepetitionStatsPanel::setLastReversals(int k)
{
    lastReversals = k;
    stats.clear();
    for (int s = 0; run && s < run->staircaseCount(); ++s)
        stats.push_back(repetitionStats(*run, s, theories[std::size_t(s)], lastReversals));
    fillTable();
    showStaircase(staircaseChoice.currentIndex());
}

void RepetitionStatsPanel::showStaircase(int staircase)
{
    if (!run || staircase < 0 || staircase >= run->staircaseCount()) {
        EstimatesHistogram::draw(histogram, {}, std::nullopt, std::nullopt, QString());
        return;
    }
    const std::size_t s = std::size_t(staircase);
    EstimatesHistogram::draw(histogram, repetitionEstimates(*run, staircase, lastReversals),
        theories[s].classic.level, stats[s].estimates.mean,
        QStringLiteral("%1: mean of the last %2 reversals")
            .arg(staircaseName(staircase), QString::number(lastReversals)));
}

std::vector<std::optional<double>> RepetitionStatsPanel::targetLevels() const
{
    std::vector<std::optional<double>> levels;
    for (const StaircaseTheory &theory : theories)
        levels.push_back(theory.classic.level);
    return levels;
}

void RepetitionStatsPanel::fillTable()
{
    const QStringList headers = repetitionStatsHeaders(lastReversals);
    table.setHorizontalHeaderLabels(headers);
    const int rows = run ? run->staircaseCount() : 0;
    table.setRowCount(rows);
    for (int s = 0; s < rows; ++s) {
        const QString id = QString::fromStdString(run->staircaseId(s));
        const QStringList cells = repetitionStatsRow(
            id, run->request().staircases[std::size_t(s)], theories[std::size_t(s)], stats[std::size_t(s)]);
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c > 1)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table.setItem(s, c, item);
        }
        table.item(s, 4)->setToolTip(perStepTargetsToolTip(theories[std::size_t(s)]));
    }
    table.resizeColumnsToContents();
}

QString RepetitionStatsPanel::staircaseName(int staircase) const
{
    return QStringLiteral("Staircase ") + QString::fromStdString(run->staircaseId(staircase));
}
