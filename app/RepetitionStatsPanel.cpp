#include "RepetitionStatsPanel.h"

#include "EstimatesHistogram.h"
#include "ResultStats.h"

#include <QComboBox>
#include <QFont>
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

QStringList estimatorComparisonHeaders()
{
    return { QStringLiteral("Estimator"), QStringLiteral("Estimates"), QStringLiteral("Mean estimate"),
        QStringLiteral("Bias (level)"), QStringLiteral("SD"), QStringLiteral("RMSE"),
        QStringLiteral("Sweat factor") };
}

QStringList estimatorComparisonRow(Estimator estimator, const RepetitionStats &stats)
{
    const EstimateStats &e = stats.estimates;
    return { QString::fromUtf8(estimatorLabel(estimator)), QString::number(e.count),
        optionalText(e.mean, statLevelText), optionalText(e.bias, signedStatLevelText),
        optionalText(e.sd, statLevelText), optionalText(e.rmse, statLevelText),
        optionalText(stats.sweatFactor, statLevelText) };
}

RepetitionStatsPanel::RepetitionStatsPanel(QTableWidget &table, QComboBox &staircaseChoice,
    QCustomPlot &histogram, QComboBox &estimatorChoice, QTableWidget &estimatorsTable)
    : table(table)
    , staircaseChoice(staircaseChoice)
    , histogram(histogram)
    , estimatorChoice(estimatorChoice)
    , estimatorsTable(estimatorsTable)
{
    for (QTableWidget *t : { &table, &estimatorsTable }) {
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->verticalHeader()->hide();
    }
    table.setColumnCount(int(repetitionStatsHeaders(settings.lastReversals).size()));
    table.setHorizontalHeaderLabels(repetitionStatsHeaders(settings.lastReversals));
    estimatorsTable.setColumnCount(int(estimatorComparisonHeaders().size()));
    estimatorsTable.setHorizontalHeaderLabels(estimatorComparisonHeaders());
    const QSignalBlocker blocker(estimatorChoice);
    estimatorChoice.clear();
    for (Estimator e : allEstimators)
        estimatorChoice.addItem(QString::fromUtf8(estimatorLabel(e)));
    EstimatesHistogram::setupPlot(histogram, table.font());
}

void RepetitionStatsPanel::setRun(std::shared_ptr<const RunResult> shown,
    std::vector<StaircaseTheory> targets, const EstimatorSettings &chosen)
{
    run = std::move(shown);
    settings = chosen;
    theories = std::move(targets);
    theories.resize(run ? std::size_t(run->staircaseCount()) : 0);
    const int index = staircaseChoice.currentIndex();
    {
        const QSignalBlocker blocker(staircaseChoice); // drawn once below
        staircaseChoice.clear();
        for (int s = 0; run && s < run->staircaseCount(); ++s)
            staircaseChoice.addItem(staircaseName(s));
        staircaseChoice.setCurrentIndex(index >= 0 && index < staircaseChoice.count() ? index : 0);
    }
    computeEstimates();
}

void RepetitionStatsPanel::setLastReversals(int k)
{
    settings.lastReversals = k;
    // Only the reversal estimates depend on K: no new pass over the trials.
    for (int s = 0; run && s < run->staircaseCount(); ++s)
        estimates[std::size_t(s)].byEstimator[std::size_t(Estimator::reversals)]
            = staircaseEstimates(*run, s, Estimator::reversals, settings, run->request().observer);
    showEstimates();
}

void RepetitionStatsPanel::setFirstReversal(int r)
{
    settings.firstReversal = r;
    computeEstimates();
}

void RepetitionStatsPanel::setEstimator(int index)
{
    if (index < 0 || index >= int(allEstimators.size()))
        return;
    estimator = allEstimators[std::size_t(index)];
    showEstimates();
}

void RepetitionStatsPanel::computeEstimates()
{
    estimates
        = run ? runEstimates(*run, settings, run->request().observer) : std::vector<StaircaseEstimates>();
    showEstimates();
}

void RepetitionStatsPanel::showEstimates()
{
    stats.clear();
    for (int s = 0; run && s < run->staircaseCount(); ++s)
        stats.push_back(repetitionStats(
            *run, s, theories[std::size_t(s)], estimatesOf(s, estimator), settings.lastReversals));
    fillTable();
    showStaircase(staircaseChoice.currentIndex());
}

const std::vector<std::optional<double>> &RepetitionStatsPanel::estimatesOf(int staircase, Estimator e) const
{
    return estimates[std::size_t(staircase)].of(e);
}

void RepetitionStatsPanel::showStaircase(int staircase)
{
    // "All staircases", when the choice offers it, compares the first.
    const bool all = staircaseChoice.currentText() == QStringLiteral("All staircases");
    fillEstimatorsTable(all ? 0 : staircase);
    if (!run || staircase < 0 || staircase >= run->staircaseCount()) {
        EstimatesHistogram::draw(histogram, {}, std::nullopt, std::nullopt, QString());
        return;
    }
    const std::size_t s = std::size_t(staircase);
    std::vector<double> values;
    for (const std::optional<double> &e : estimatesOf(staircase, estimator))
        if (e)
            values.push_back(*e);
    const QString what = estimator == Estimator::reversals
        ? QStringLiteral("mean of the last %1 reversals").arg(settings.lastReversals)
        : QString::fromUtf8(estimatorLabel(estimator));
    EstimatesHistogram::draw(histogram, values, theories[s].classic.level, stats[s].estimates.mean,
        QStringLiteral("%1: %2").arg(staircaseName(staircase), what));
}

void RepetitionStatsPanel::fillEstimatorsTable(int staircase)
{
    const bool shown = run && staircase >= 0 && staircase < run->staircaseCount();
    estimatorsTable.setRowCount(shown ? int(allEstimators.size()) : 0);
    if (!shown)
        return;
    const std::size_t s = std::size_t(staircase);
    std::vector<RepetitionStats> compared;
    std::optional<std::size_t> best;
    for (Estimator e : allEstimators) {
        compared.push_back(
            repetitionStats(*run, staircase, theories[s], estimatesOf(staircase, e), settings.lastReversals));
        const std::optional<double> &rmse = compared.back().estimates.rmse;
        if (rmse && (!best || *rmse < *compared[*best].estimates.rmse))
            best = compared.size() - 1;
    }
    for (std::size_t row = 0; row < compared.size(); ++row) {
        const QStringList cells = estimatorComparisonRow(allEstimators[row], compared[row]);
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == 5 && best == row) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setToolTip(QStringLiteral("The lowest RMSE"));
            }
            estimatorsTable.setItem(int(row), c, item);
        }
    }
    estimatorsTable.resizeColumnsToContents();
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
    QStringList headers = repetitionStatsHeaders(settings.lastReversals);
    if (estimator != Estimator::reversals)
        headers.last() = QStringLiteral("No estimate");
    table.setHorizontalHeaderLabels(headers);
    const int rows = run ? run->staircaseCount() : 0;
    table.setRowCount(rows);
    for (int s = 0; s < rows; ++s) {
        const std::vector<std::string> &ids = run->request().staircaseIds;
        const QString id
            = std::size_t(s) < ids.size() ? QString::fromStdString(ids[std::size_t(s)]) : QString();
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
    const std::vector<std::string> &ids = run->request().staircaseIds;
    return QStringLiteral("Staircase ")
        + (std::size_t(staircase) < ids.size() ? QString::fromStdString(ids[std::size_t(staircase)])
                                               : QString());
}
