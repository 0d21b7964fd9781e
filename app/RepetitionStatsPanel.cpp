#include "RepetitionStatsPanel.h"

#include "ComparisonTable.h"
#include "EstimatesHistogram.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>

QString ruleText(const StaircaseSettings &staircase)
{
    const int n = std::max(staircase.correctAnswers, 1);
    return staircase.ascending ? QStringLiteral("%1-up/1-down, ascending").arg(n)
                               : QStringLiteral("1-up/%1-down, descending").arg(n);
}

RepetitionStatsPanel::RepetitionStatsPanel(
    QTableWidget &table, QComboBox &staircaseChoice, QCustomPlot &histogram, QVector<QColor> colors)
    : comparison(std::make_unique<ComparisonTable>(table))
    , staircaseChoice(staircaseChoice)
    , histogram(histogram)
    , colors(std::move(colors))
{
    EstimatesHistogram::setupPlot(histogram, table.font());
}

RepetitionStatsPanel::~RepetitionStatsPanel() = default;

void RepetitionStatsPanel::setRun(
    std::shared_ptr<const RunResult> shown, std::vector<StaircaseTheory> targets, int k)
{
    show(std::move(shown), std::move(targets), k, {});
}

void RepetitionStatsPanel::setRun(const FinishedRun &finished, int k)
{
    const bool forK = std::all_of(finished.stats.begin(), finished.stats.end(),
        [k](const RepetitionStats &s) { return s.lastReversals == k; });
    show(finished.result, finished.theories, k, forK ? finished.stats : std::vector<RepetitionStats>());
}

void RepetitionStatsPanel::show(std::shared_ptr<const RunResult> shown, std::vector<StaircaseTheory> targets,
    int k, std::vector<RepetitionStats> given)
{
    run = std::move(shown);
    theories = std::move(targets);
    theories.resize(run ? std::size_t(run->staircaseCount()) : 0);
    const int chosen = staircaseChoice.currentIndex();
    {
        const QSignalBlocker blocker(staircaseChoice); // drawn once below
        staircaseChoice.clear();
        if (run)
            staircaseChoice.addItem(QStringLiteral("All staircases"));
        for (int s = 0; run && s < run->staircaseCount(); ++s)
            staircaseChoice.addItem(staircaseName(s));
        staircaseChoice.setCurrentIndex(chosen >= 0 && chosen < staircaseChoice.count() ? chosen : 0);
    }
    if (!run || given.size() != std::size_t(run->staircaseCount())) {
        setLastReversals(k);
        return;
    }
    lastReversals = k;
    stats = std::move(given);
    fillTable();
    showStaircase(staircaseChoice.currentIndex());
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

void RepetitionStatsPanel::showStaircase(int choice)
{
    const QString subject = QStringLiteral("mean of the last %1 reversals").arg(lastReversals);
    if (run && choice == 0) {
        std::vector<EstimatesHistogram::Series> series;
        for (int s = 0; s < run->staircaseCount(); ++s)
            series.push_back({ staircaseName(s), repetitionEstimates(*run, s, lastReversals),
                theories[std::size_t(s)].classic.level,
                colors.isEmpty() ? QColor(Qt::black) : colors[s % colors.size()] });
        EstimatesHistogram::drawAll(histogram, series, QStringLiteral("All staircases: ") + subject);
        return;
    }
    const int staircase = choice - 1;
    if (!run || staircase < 0 || staircase >= run->staircaseCount()) {
        EstimatesHistogram::draw(histogram, {}, std::nullopt, std::nullopt, QString());
        return;
    }
    const std::size_t s = std::size_t(staircase);
    const ExactEstimate *exactEstimate = s < exact.size() ? exact[s].estimate(lastReversals) : nullptr;
    EstimatesHistogram::draw(histogram, repetitionEstimates(*run, staircase, lastReversals),
        theories[s].classic.level, stats[s].estimates.mean,
        staircaseName(staircase) + QStringLiteral(": ") + subject, stats[s].estimates.meanInterval,
        exactEstimate ? exactEstimate->mean : std::nullopt);
}

void RepetitionStatsPanel::setExact(std::vector<ExactRun> values)
{
    exact = std::move(values);
    showStaircase(staircaseChoice.currentIndex());
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
    std::vector<ComparisonColumn> columns;
    for (int s = 0; run && s < run->staircaseCount(); ++s) {
        const std::size_t i = std::size_t(s);
        const std::vector<std::string> &ids = run->request().staircaseIds;
        const QString id = i < ids.size() ? QString::fromStdString(ids[i]) : QString();
        const StaircaseSettings &staircase = run->request().staircases[i];
        columns.push_back(
            { comparisonHeader(id, staircase), staircase, theories[i], stats[i], ruleText(staircase) });
    }
    comparison->show(columns, lastReversals);
}

QString RepetitionStatsPanel::staircaseName(int staircase) const
{
    const std::vector<std::string> &ids = run->request().staircaseIds;
    return QStringLiteral("Staircase ")
        + (std::size_t(staircase) < ids.size() ? QString::fromStdString(ids[std::size_t(staircase)])
                                               : QString());
}
