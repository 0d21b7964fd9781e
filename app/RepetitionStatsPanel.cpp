#include "RepetitionStatsPanel.h"

#include "AnalysisTexts.h"
#include "BackgroundAnalysis.h"
#include "ComparisonTable.h"
#include "EstimatesHistogram.h"

#include <QComboBox>
#include <QFont>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>

QString ruleText(const StaircaseSettings &staircase)
{
    const int n = std::max(staircase.correctAnswers, 1);
    return staircase.ascending ? QStringLiteral("%1-up/1-down, ascending").arg(n)
                               : QStringLiteral("1-up/%1-down, descending").arg(n);
}

namespace
{

template <typename T, typename Format> QString optionalText(const std::optional<T> &value, Format format)
{
    return value ? format(*value) : notAvailableText;
}

} // namespace

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
    QCustomPlot &histogram, QComboBox &estimatorChoice, QTableWidget &estimatorsTable, QVector<QColor> colors)
    : table(table)
    , comparison(std::make_unique<ComparisonTable>(table))
    , staircaseChoice(staircaseChoice)
    , histogram(histogram)
    , colors(std::move(colors))
    , estimatorChoice(estimatorChoice)
    , estimatorsTable(estimatorsTable)
    , background(std::make_unique<BackgroundAnalysis>())
{
    QObject::connect(background.get(), &BackgroundAnalysis::finished, background.get(),
        [this](std::shared_ptr<const RunResult> of, std::shared_ptr<const RunAnalysis> result) {
            analysed(std::move(of), std::move(result));
        });
    // A cancelled analysis gives way to the one for the settings asked for now.
    QObject::connect(
        background.get(), &BackgroundAnalysis::cancelled, background.get(), [this] { analyse(); });
    QObject::connect(background.get(), &BackgroundAnalysis::failed, background.get(), [this] {
        this->table.setEnabled(true); // out of memory: the numbers shown stay, for their own K and R
        this->estimatorsTable.setEnabled(true);
    });
    estimatorsTable.setEditTriggers(QAbstractItemView::NoEditTriggers);
    estimatorsTable.verticalHeader()->hide();
    estimatorsTable.verticalHeader()->setDefaultSectionSize(estimatorsTable.fontMetrics().height() + 6);
    estimatorsTable.setColumnCount(int(estimatorComparisonHeaders().size()));
    estimatorsTable.setHorizontalHeaderLabels(estimatorComparisonHeaders());
    const QSignalBlocker blocker(estimatorChoice);
    estimatorChoice.clear();
    for (Estimator e : allEstimators)
        estimatorChoice.addItem(QString::fromUtf8(estimatorLabel(e)));
    EstimatesHistogram::setupPlot(histogram, table.font());
}

RepetitionStatsPanel::~RepetitionStatsPanel() = default;

void RepetitionStatsPanel::setRun(std::shared_ptr<const RunResult> shown,
    std::vector<StaircaseTheory> targets, const EstimatorSettings &chosen)
{
    targets.resize(shown ? std::size_t(shown->staircaseCount()) : 0);
    std::shared_ptr<const RunAnalysis> worked;
    if (shown)
        worked = std::make_shared<const RunAnalysis>(*analyseRun(*shown, targets, chosen));
    show(std::move(shown), std::move(targets), std::move(worked), chosen);
}

void RepetitionStatsPanel::setRun(const FinishedRun &finished, const EstimatorSettings &chosen)
{
    show(finished.result, finished.theories, finished.analysis, chosen);
}

void RepetitionStatsPanel::show(std::shared_ptr<const RunResult> shown, std::vector<StaircaseTheory> targets,
    std::shared_ptr<const RunAnalysis> worked, const EstimatorSettings &wanted)
{
    background->cancel(); // one under way is of the run shown before: its outcome is dropped
    settings = wanted;
    exact.clear(); // those of the run shown before, until setExact
    run = std::move(shown);
    theories = std::move(targets);
    theories.resize(run ? std::size_t(run->staircaseCount()) : 0);
    analysis = run ? std::move(worked) : nullptr;
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
    showEstimates();
    analyse();
}

void RepetitionStatsPanel::setLastReversals(int k)
{
    settings.lastReversals = k;
    analyse();
}

void RepetitionStatsPanel::setFirstReversal(int r)
{
    settings.firstReversal = r;
    analyse();
}

bool RepetitionStatsPanel::isAnalysing() const
{
    return background->isRunning();
}

void RepetitionStatsPanel::analyse()
{
    const bool current = !run
        || (analysis && analysis->settings.lastReversals == settings.lastReversals
            && analysis->settings.firstReversal == settings.firstReversal);
    table.setEnabled(current);
    estimatorsTable.setEnabled(current);
    if (background->isRunning())
        background->cancel(); // its `cancelled` calls this again
    else if (!current)
        background->start(run, theories, settings, analysis);
}

void RepetitionStatsPanel::analysed(
    std::shared_ptr<const RunResult> of, std::shared_ptr<const RunAnalysis> result)
{
    if (of == run)
        analysis = std::move(result);
    showEstimates();
    analyse(); // settings changed while it ran: their analysis follows
}

void RepetitionStatsPanel::setEstimator(int index)
{
    if (index < 0 || index >= int(allEstimators.size()))
        return;
    estimator = allEstimators[std::size_t(index)];
    showEstimates();
}

const EstimatorSettings &RepetitionStatsPanel::shownSettings() const
{
    return analysis ? analysis->settings : settings;
}

const RepetitionStats &RepetitionStatsPanel::statsOf(int staircase, Estimator e) const
{
    return analysis->statsOf(staircase, e);
}

void RepetitionStatsPanel::showEstimates()
{
    stats.clear();
    for (int s = 0; analysis && run && s < run->staircaseCount(); ++s)
        stats.push_back(statsOf(s, estimator));
    fillTable();
    showStaircase(staircaseChoice.currentIndex());
}

const std::vector<std::optional<double>> &RepetitionStatsPanel::estimatesOf(int staircase, Estimator e) const
{
    return analysis->estimates[std::size_t(staircase)].of(e);
}

void RepetitionStatsPanel::fillEstimatorsTable(int staircase)
{
    const bool shown = run && analysis && staircase >= 0 && staircase < run->staircaseCount();
    estimatorsTable.setRowCount(shown ? int(allEstimators.size()) : 0);
    if (!shown)
        return;
    std::vector<RepetitionStats> compared;
    std::optional<std::size_t> best;
    for (Estimator e : allEstimators) {
        compared.push_back(statsOf(staircase, e));
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

void RepetitionStatsPanel::showStaircase(int choice)
{
    // "All staircases" (the first choice) compares the estimators of the first staircase.
    fillEstimatorsTable(choice <= 0 ? 0 : choice - 1);
    const QString subject = trialsHistogram ? QStringLiteral("number of trials")
        : estimator == Estimator::reversals
        ? QStringLiteral("mean of the last %1 reversals").arg(shownSettings().lastReversals)
        : QString::fromUtf8(estimatorLabel(estimator));
    const auto given = [this](int s) {
        if (trialsHistogram)
            return trialCounts(s);
        std::vector<double> values;
        for (const std::optional<double> &e : estimatesOf(s, estimator))
            if (e)
                values.push_back(*e);
        return values;
    };
    if (run && analysis && choice == 0) {
        std::vector<EstimatesHistogram::Series> series;
        for (int s = 0; s < run->staircaseCount(); ++s) {
            const EstimateStats &e = stats[std::size_t(s)].estimates;
            series.push_back({ staircaseName(s), given(s),
                trialsHistogram ? std::nullopt : theories[std::size_t(s)].classic.level,
                colors.isEmpty() ? QColor(Qt::black) : colors[s % colors.size()],
                trialsHistogram ? std::nullopt : e.mean, trialsHistogram ? std::nullopt : e.meanInterval,
                exactTrials(s) });
        }
        EstimatesHistogram::drawAll(histogram, series, QStringLiteral("All staircases: ") + subject);
        return;
    }
    const int staircase = choice - 1;
    if (!run || !analysis || staircase < 0 || staircase >= run->staircaseCount()) {
        EstimatesHistogram::draw(histogram, {}, std::nullopt, std::nullopt, QString());
        return;
    }
    const std::size_t s = std::size_t(staircase);
    const QString title = staircaseName(staircase) + QStringLiteral(": ") + subject;
    if (trialsHistogram) {
        const std::optional<double> exactMean
            = exactTrials(staircase).empty() ? std::nullopt : std::optional<double>(exact[s].meanTrials);
        const auto &trials = stats[s].trials;
        EstimatesHistogram::draw(histogram, given(staircase), std::nullopt,
            trials ? std::optional<double>(trials->mean) : std::nullopt, title, std::nullopt, exactMean,
            exactTrials(staircase));
        return;
    }
    // The exact values are those of the last-K-reversals estimate.
    const ExactEstimate *exactEstimate = estimator == Estimator::reversals && s < exact.size()
        ? exact[s].estimate(shownSettings().lastReversals)
        : nullptr;
    EstimatesHistogram::draw(histogram, given(staircase), theories[s].classic.level, stats[s].estimates.mean,
        title, stats[s].estimates.meanInterval, exactEstimate ? exactEstimate->mean : std::nullopt);
}

std::vector<double> RepetitionStatsPanel::trialCounts(int staircase) const
{
    std::vector<double> trials;
    for (int r = 0; r < run->repetitionCount(); ++r)
        trials.push_back(run->outcome(r, staircase).trials);
    return trials;
}

WholeDistribution RepetitionStatsPanel::exactTrials(int staircase) const
{
    const std::size_t s = std::size_t(staircase);
    if (!trialsHistogram || s >= exact.size() || exact[s].status != ExactStatus::computed)
        return {};
    return exact[s].trialsDistribution;
}

void RepetitionStatsPanel::setHistogramQuantity(int index)
{
    trialsHistogram = index == 1;
    showStaircase(staircaseChoice.currentIndex());
}

void RepetitionStatsPanel::setExactRows(bool shown)
{
    comparison->setExactRows(shown);
}

void RepetitionStatsPanel::setExact(std::vector<ExactRun> values)
{
    exact = std::move(values);
    fillTable();
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
    for (int s = 0; run && analysis && s < run->staircaseCount(); ++s) {
        const std::size_t i = std::size_t(s);
        const QString id = QString::fromStdString(run->staircaseId(s));
        const StaircaseSettings &staircase = run->request().staircases[i];
        columns.push_back({ comparisonHeader(id, staircase), staircase, theories[i], stats[i],
            ruleText(staircase), i < exact.size() ? &exact[i] : nullptr, estimator == Estimator::reversals });
    }
    comparison->show(columns, shownSettings().lastReversals);
}

QString RepetitionStatsPanel::staircaseName(int staircase) const
{
    return QStringLiteral("Staircase ") + QString::fromStdString(run->staircaseId(staircase));
}
