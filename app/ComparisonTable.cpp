#include "ComparisonTable.h"

#include "AnalysisTexts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

namespace
{

const QString columnHeaderBreak = QStringLiteral(" \u00b7 ");

// What every measure may read.
struct Context {
    const ComparisonColumn &column;
    std::optional<double> lowestSweat; // the best sweat factor of the run
};

struct Measure {
    const char *group;
    QString name;
    QString toolTip;
    BestValue best;
    std::function<QString(const Context &)> text;
    std::function<std::optional<double>(const Context &)> value; // for `best`; may be empty
    std::function<QString(const Context &)> cellToolTip; // may be empty
    RowKind kind = RowKind::measure;
};

template <typename T> QString optionalText(const std::optional<T> &value, QString (*format)(double))
{
    return value ? format(double(*value)) : notAvailableText;
}

QString countText(int count)
{
    return QString::number(count);
}

QString sweatText(double sweat)
{
    return QString::number(sweat, 'g', 4);
}

QString stepText(double step)
{
    return QString::number(step, 'g', 6);
}

QString targetLevelText(const ClassicTarget &target)
{
    if (target.level)
        return statLevelText(*target.level);
    return target.psi ? QStringLiteral("unreachable") : notAvailableText;
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

const StationaryTarget *stationary(const Context &c)
{
    const StationaryTarget &s = c.column.theory.stationary;
    return s.status == StationaryStatus::computed ? &s : nullptr;
}

// The bias against the long-run mean reversal level, where the stationary chain was solved.
std::optional<double> stationaryBias(const Context &c)
{
    const StationaryTarget *s = stationary(c);
    const std::optional<double> &mean = c.column.stats.estimates.mean;
    if (!s || !mean)
        return std::nullopt;
    return *mean - s->meanReversalLevel;
}

std::optional<double> meanTrials(const Context &c)
{
    const auto &trials = c.column.stats.trials;
    return trials ? std::optional<double>(trials->mean) : std::nullopt;
}

std::optional<double> relativeSweat(const Context &c)
{
    const std::optional<double> &sweat = c.column.stats.sweatFactor;
    if (!sweat || !c.lowestSweat || !(*c.lowestSweat > 0.0))
        return std::nullopt;
    return *sweat / *c.lowestSweat;
}

// The per-step targets shown: at most this many, since a cell (and its tooltip)
// of thousands of entries would cost the window more than it tells.
constexpr std::size_t maxShownSteps = 50;

// What follows the entries shown: how many more there are, and that the entries
// no run can reach have no target.
QString perStepTail(const StaircaseTheory &theory)
{
    QString tail;
    if (theory.perStep.size() > maxShownSteps)
        tail += QStringLiteral(" \u2026 (%1 more)").arg(theory.perStep.size() - maxShownSteps);
    if (!theory.perStep.empty() && theory.perStep.size() < theory.positiveStepCount)
        tail += QStringLiteral(" \u2026 (entries beyond reach not shown)");
    return tail;
}

QString perStepText(const Context &c)
{
    const StaircaseTheory &theory = c.column.theory;
    QStringList perStep;
    for (std::size_t i = 0; i < std::min(theory.perStep.size(), maxShownSteps); ++i)
        perStep << stepText(theory.perStep[i].positiveStep) + QStringLiteral(": ")
                + optionalText(theory.perStep[i].psi, percentText);
    return perStep.isEmpty() ? notAvailableText : perStep.join(QStringLiteral(", ")) + perStepTail(theory);
}

QString perStepToolTip(const Context &c)
{
    const StaircaseTheory &theory = c.column.theory;
    QStringList lines;
    for (std::size_t i = 0; i < std::min(theory.perStep.size(), maxShownSteps); ++i)
        lines << QStringLiteral("positive step %1: \u03c8* %2, x* %3")
                     .arg(stepText(theory.perStep[i].positiveStep),
                         optionalText(theory.perStep[i].psi, percentText),
                         targetLevelText(theory.perStep[i]));
    const QString tail = perStepTail(theory);
    if (!tail.isEmpty())
        lines << tail.trimmed();
    return lines.join(QLatin1Char('\n'));
}

// One exact value and the simulated value's distance from it, in standard errors.
struct ExactValue {
    std::optional<double> value;
    std::optional<double> distance;
};
using ExactPick = std::function<ExactValue(const ExactRun &, const ExactEstimate *, const RepetitionStats &)>;

// "0.5321 (sim. +0.8 SE)". Without exact values the first exact row (`first`)
// says why and the others stay empty; for another estimator every row shows "—".
QString exactText(const Context &c, int k, bool first, QString (*format)(double), const ExactPick &pick)
{
    const ExactRun *run = c.column.exact;
    if (!c.column.exactApplies || !run)
        return notAvailableText;
    if (run->status != ExactStatus::computed)
        return first ? QString::fromStdString(exactStatusText(run->status)) : QString();
    const ExactValue v = pick(*run, run->estimate(k), c.column.stats);
    if (!v.value)
        return notAvailableText;
    QString text = format(*v.value);
    if (v.distance) {
        const double d = std::abs(*v.distance) < 0.05 ? 0.0 : *v.distance;
        text += QStringLiteral(" (sim. %1 SE)").arg(QString::asprintf("%+.1f", d));
    }
    return text;
}

// The distance of `simulated` from `exact`, where both are known.
std::optional<double> distance(
    const std::optional<double> &simulated, const std::optional<double> &exact, std::optional<double> se)
{
    if (!simulated || !exact || !se)
        return std::nullopt;
    return standardErrorsFrom(*simulated, *exact, *se);
}

std::optional<double> intervalSe(const std::optional<Interval> &interval)
{
    return interval ? std::optional<double>(intervalStandardError(interval->low, interval->high))
                    : std::nullopt;
}

std::optional<double> share(int count, int repetitions)
{
    return repetitions > 0 ? std::optional<double>(double(count) / repetitions) : std::nullopt;
}

QString trialsText(double trials)
{
    return QString::number(trials, 'f', 1);
}

std::vector<Measure> measures(int k)
{
    const QString kText = QString::number(k);
    const auto estimates = [](const Context &c) -> const EstimateStats & { return c.column.stats.estimates; };
    const QString bootstrapToolTip = QStringLiteral("95 % percentile-bootstrap interval: %1 resamples of the "
                                                    "repetitions, from a generator seeded with %2")
                                         .arg(bootstrapResamples)
                                         .arg(bootstrapSeed);
    const QString exactToolTip = QStringLiteral(
        "Exact: computed from the staircase's Markov chain for the last %1 reversals, with no simulation "
        "noise (for that estimator only). In brackets, the simulated value's distance from it in standard "
        "errors of the simulation: ")
                                     .arg(kText);
    const auto exactRow = [=](const QString &name, const QString &seText, bool first,
                              QString (*format)(double), ExactPick pick) {
        return Measure { nullptr, name + QStringLiteral(", exact"), exactToolTip + seText, BestValue::none,
            [=](const Context &c) { return exactText(c, k, first, format, pick); }, {}, {}, RowKind::exact };
    };
    const QString meanSe = QStringLiteral("SE = SD / \u221an");
    std::vector<Measure> list {
        { "Target", QStringLiteral("Target \u03c8*"),
            QStringLiteral("The probability of a positive answer the rule aims at, for its final positive "
                           "step (the classic target): what \u03c8(mean) and the bias in \u03c8 are measured "
                           "against"),
            BestValue::none,
            [](const Context &c) { return optionalText(c.column.theory.classic.psi, percentText); }, {}, {} },
        { "Target", QStringLiteral("x*"),
            QStringLiteral("The observer's level where a positive answer has probability \u03c8*: what the "
                           "bias and the RMSE are measured against"),
            BestValue::none, [](const Context &c) { return targetLevelText(c.column.theory.classic); }, {},
            {} },
        { "Target", QStringLiteral("\u03c8* per positive step"),
            QStringLiteral(
                "The classic target of the negative step against each entry of the positive steps, "
                "in their order; the cell's tooltip gives the level x* of each"),
            BestValue::none, perStepText, {}, perStepToolTip },
        { "Target", QStringLiteral("Long-run mean reversal level"),
            QStringLiteral("The mean reversal level of an endless run (the exact stationary value), which "
                           "the estimates approach rather than x* when the steps are unequal"),
            BestValue::none,
            [](const Context &c) {
                const StationaryTarget *s = stationary(c);
                return s ? statLevelText(s->meanReversalLevel)
                         : stationaryStatusText(c.column.theory.stationary.status);
            },
            {}, {} },
        { "Target", QStringLiteral("\u03c8 there"),
            QStringLiteral("The observer's probability of a positive answer at the long-run mean reversal "
                           "level"),
            BestValue::none,
            [](const Context &c) {
                const StationaryTarget *s = stationary(c);
                return s ? percentText(s->psiAtMeanReversalLevel) : notAvailableText;
            },
            {}, {} },
        { "Target", QStringLiteral("Long-run \u03c8 over trials"),
            QStringLiteral("The probability of a positive answer averaged over the trials of an endless run: "
                           "the share of positive answers a long session ends with, against \u03c8*"),
            BestValue::none,
            [](const Context &c) {
                const StationaryTarget *s = stationary(c);
                return s ? percentText(s->trialAveragedPsi) : notAvailableText;
            },
            {}, {} },
        { "Estimates", QStringLiteral("Count"),
            QStringLiteral("Repetitions that reached %1 reversals: each gives one estimate, the mean of its "
                           "last %1 reversal levels")
                .arg(kText),
            BestValue::none, [=](const Context &c) { return countText(estimates(c).count); }, {}, {} },
        { "Estimates", QStringLiteral("Mean"),
            QStringLiteral("The mean of the repetitions' estimates, in level units: compare with x* and the "
                           "long-run mean reversal level"),
            BestValue::none, [=](const Context &c) { return optionalText(estimates(c).mean, statLevelText); },
            {}, {} },
        { "Estimates", QStringLiteral("Mean, 95 % interval"), QStringLiteral("Mean \u00b1 1.96 SE"),
            BestValue::none,
            [=](const Context &c) { return intervalText(estimates(c).meanInterval, statLevelText); }, {},
            {} },
        { "Estimates", QStringLiteral("\u03c8(mean)"),
            QStringLiteral("The observer's probability of a positive answer at the mean estimate, against "
                           "\u03c8*"),
            BestValue::none,
            [=](const Context &c) { return optionalText(estimates(c).psiAtMean, percentText); }, {}, {} },
        { "Estimates", QStringLiteral("Bias against x*"),
            QStringLiteral("Mean estimate \u2212 x*: how far the estimates lie, on average, from the level "
                           "the rule aims at (closest to 0 is best)"),
            BestValue::smallestMagnitude,
            [=](const Context &c) { return optionalText(estimates(c).bias, signedStatLevelText); },
            [=](const Context &c) { return estimates(c).bias; }, {} },
        { "Estimates", QStringLiteral("Bias in \u03c8 (pp)"),
            QStringLiteral("\u03c8(mean) \u2212 \u03c8*, in percentage points: the bias against x* seen "
                           "as a probability"),
            BestValue::none,
            [=](const Context &c) { return optionalText(estimates(c).biasPercentPoints, percentPointsText); },
            {}, {} },
        { "Estimates", QStringLiteral("Bias against long-run level"),
            QStringLiteral("Mean estimate \u2212 the long-run mean reversal level: what stopping after a few "
                           "reversals adds to the bias of the rule itself"),
            BestValue::none,
            [](const Context &c) { return optionalText(stationaryBias(c), signedStatLevelText); }, {}, {} },
        { "Estimates", QStringLiteral("SD"),
            QStringLiteral("The standard deviation of the estimates (n \u2212 1 divisor): how far one "
                           "session's estimate strays from their mean"),
            BestValue::smallest,
            [=](const Context &c) { return optionalText(estimates(c).sd, statLevelText); },
            [=](const Context &c) { return estimates(c).sd; }, {} },
        { "Estimates", QStringLiteral("SD, 95 % interval"), bootstrapToolTip, BestValue::none,
            [=](const Context &c) { return intervalText(estimates(c).sdInterval, statLevelText); }, {}, {} },
        { "Estimates", QStringLiteral("SE"),
            QStringLiteral("The standard error of the mean estimate, SD / \u221an: how far the mean of this "
                           "many repetitions strays from the mean of endless repetitions"),
            BestValue::none,
            [=](const Context &c) { return optionalText(estimates(c).standardError, statLevelText); }, {},
            {} },
        { "Estimates", QStringLiteral("2.5 %"),
            QStringLiteral("The 2.5 % quantile of the estimates: one session in 40 estimates lower"),
            BestValue::none,
            [=](const Context &c) { return optionalText(estimates(c).lowerQuantile, statLevelText); }, {},
            {} },
        { "Estimates", QStringLiteral("97.5 %"),
            QStringLiteral("The 97.5 % quantile of the estimates: one session in 40 estimates higher"),
            BestValue::none,
            [=](const Context &c) { return optionalText(estimates(c).upperQuantile, statLevelText); }, {},
            {} },
        { "Estimates", QStringLiteral("RMSE"),
            QStringLiteral("Root mean square error of the estimates against x*: bias and spread together, "
                           "what one session's estimate misses x* by (lowest is best)"),
            BestValue::smallest,
            [=](const Context &c) { return optionalText(estimates(c).rmse, statLevelText); },
            [=](const Context &c) { return estimates(c).rmse; }, {} },
        { "Estimates", QStringLiteral("RMSE, 95 % interval"), bootstrapToolTip, BestValue::none,
            [=](const Context &c) { return intervalText(estimates(c).rmseInterval, statLevelText); }, {},
            {} },
        { "Cost", QStringLiteral("Trials, mean"),
            QStringLiteral("The staircase's trials per repetition, averaged: what a session costs (fewest is "
                           "best)"),
            BestValue::smallest,
            [](const Context &c) {
                const std::optional<double> mean = meanTrials(c);
                return mean ? QString::number(*mean, 'f', 1) : notAvailableText;
            },
            meanTrials, {} },
        { "Cost", QStringLiteral("Trials, min"), QStringLiteral("The fewest trials of a repetition"),
            BestValue::none,
            [](const Context &c) {
                const auto &t = c.column.stats.trials;
                return t ? countText(int(t->min)) : notAvailableText;
            },
            {}, {} },
        { "Cost", QStringLiteral("Trials, max"), QStringLiteral("The most trials of a repetition"),
            BestValue::none,
            [](const Context &c) {
                const auto &t = c.column.stats.trials;
                return t ? countText(int(t->max)) : notAvailableText;
            },
            {}, {} },
        { "Cost", QStringLiteral("Stopped on reversals"),
            QStringLiteral("Repetitions that ended at the maximum reversals, of all the repetitions"),
            BestValue::none, [](const Context &c) { return countText(c.column.stats.stoppedOnReversals); },
            {}, {} },
        { "Cost", QStringLiteral("Stopped on trials"),
            QStringLiteral(
                "Repetitions that ended at the maximum trials before the maximum reversals, of all "
                "the repetitions"),
            BestValue::none, [](const Context &c) { return countText(c.column.stats.stoppedOnTrials); }, {},
            {} },
        { "Cost", QStringLiteral("Stopped on clamp hits"),
            QStringLiteral("Repetitions that ended at the maximum clamp hits, of all the repetitions"),
            BestValue::none, [](const Context &c) { return countText(c.column.stats.stoppedOnClampHits); },
            {}, {} },
        { "Cost", QStringLiteral("Fewer than %1 reversals").arg(kText),
            QStringLiteral("Repetitions left out of the estimates: they ended before %1 reversals")
                .arg(kText),
            BestValue::none, [](const Context &c) { return countText(c.column.stats.fewerReversals); }, {},
            {} },
        { "Efficiency", QStringLiteral("Sweat factor"),
            QStringLiteral("RMSE\u00b2 \u00d7 mean trials: the trials a setting spends per unit of squared "
                           "error (lower is better)"),
            BestValue::smallest,
            [](const Context &c) { return optionalText(c.column.stats.sweatFactor, sweatText); },
            [](const Context &c) { return c.column.stats.sweatFactor; }, {} },
        { "Efficiency", QStringLiteral("Sweat factor, 95 % interval"), bootstrapToolTip, BestValue::none,
            [](const Context &c) { return intervalText(c.column.stats.sweatInterval, sweatText); }, {}, {} },
        { "Efficiency", QStringLiteral("Relative sweat factor"),
            QStringLiteral("The sweat factor over the smallest of the run's staircases (1.00 for the best)"),
            BestValue::smallest,
            [](const Context &c) {
                const std::optional<double> relative = relativeSweat(c);
                return relative ? QString::number(*relative, 'f', 2) : notAvailableText;
            },
            relativeSweat, {} },
    };
    const QString sdSe = QStringLiteral(
        "the SD's bootstrap interval width / 3.92, or without it SD / \u221a(2(n \u2212 1)), which assumes "
        "normal tails");
    const QString trialsSe = QStringLiteral("the exact SD of the trials / \u221a(repetitions)");
    const QString shareSe = QStringLiteral("\u221a(p(1 \u2212 p) / repetitions), p the exact share");
    const std::pair<QString, Measure> exact[] = {
        { QStringLiteral("Mean"),
            exactRow(QStringLiteral("Mean"), meanSe, true, statLevelText,
                [](const ExactRun &, const ExactEstimate *e, const RepetitionStats &s) {
                    const std::optional<double> value = e ? e->mean : std::nullopt;
                    return ExactValue { value, distance(s.estimates.mean, value, s.estimates.standardError) };
                }) },
        { QStringLiteral("Bias against x*"),
            exactRow(QStringLiteral("Bias against x*"), meanSe, false, signedStatLevelText,
                [](const ExactRun &, const ExactEstimate *e, const RepetitionStats &s) {
                    const std::optional<double> value = e ? e->bias : std::nullopt;
                    return ExactValue { value, distance(s.estimates.bias, value, s.estimates.standardError) };
                }) },
        { QStringLiteral("SD"),
            exactRow(QStringLiteral("SD"), sdSe, false, statLevelText,
                [](const ExactRun &, const ExactEstimate *e, const RepetitionStats &s) {
                    const std::optional<double> value = e ? e->sd : std::nullopt;
                    std::optional<double> se = intervalSe(s.estimates.sdInterval);
                    if (!se && s.estimates.sd)
                        se = sdStandardError(*s.estimates.sd, s.estimates.count);
                    return ExactValue { value, distance(s.estimates.sd, value, se) };
                }) },
        { QStringLiteral("RMSE"),
            exactRow(QStringLiteral("RMSE"), QStringLiteral("the RMSE's bootstrap interval width / 3.92"),
                false, statLevelText,
                [](const ExactRun &, const ExactEstimate *e, const RepetitionStats &s) {
                    const std::optional<double> value = e ? e->rmse : std::nullopt;
                    return ExactValue { value,
                        distance(s.estimates.rmse, value, intervalSe(s.estimates.rmseInterval)) };
                }) },
        { QStringLiteral("Trials, mean"),
            exactRow(QStringLiteral("Trials, mean"), trialsSe, false, trialsText,
                [](const ExactRun &r, const ExactEstimate *, const RepetitionStats &s) {
                    const std::optional<double> simulated
                        = s.trials ? std::optional<double>(s.trials->mean) : std::nullopt;
                    const std::optional<double> se = s.repetitions > 0
                        ? std::optional<double>(r.sdTrials / std::sqrt(double(s.repetitions)))
                        : std::nullopt;
                    return ExactValue { r.meanTrials, distance(simulated, r.meanTrials, se) };
                }) },
        { QStringLiteral("Stopped on reversals"),
            exactRow(QStringLiteral("Stopped on reversals"), shareSe, false, percentText,
                [](const ExactRun &r, const ExactEstimate *, const RepetitionStats &s) {
                    return ExactValue { r.pStopReversals,
                        distance(share(s.stoppedOnReversals, s.repetitions), r.pStopReversals,
                            shareStandardError(r.pStopReversals, s.repetitions)) };
                }) },
        { QStringLiteral("Stopped on trials"),
            exactRow(QStringLiteral("Stopped on trials"), shareSe, false, percentText,
                [](const ExactRun &r, const ExactEstimate *, const RepetitionStats &s) {
                    return ExactValue { r.pStopTrials,
                        distance(share(s.stoppedOnTrials, s.repetitions), r.pStopTrials,
                            shareStandardError(r.pStopTrials, s.repetitions)) };
                }) },
        { QStringLiteral("Sweat factor"),
            exactRow(QStringLiteral("Sweat factor"),
                QStringLiteral("the sweat factor's bootstrap interval "
                               "width / 3.92"),
                false, sweatText,
                [](const ExactRun &, const ExactEstimate *e, const RepetitionStats &s) {
                    const std::optional<double> value = e ? e->sweatFactor : std::nullopt;
                    return ExactValue { value, distance(s.sweatFactor, value, intervalSe(s.sweatInterval)) };
                }) },
    };
    for (Measure &m : list)
        if (m.name.endsWith(QStringLiteral(", 95 % interval")))
            m.kind = RowKind::interval;
    for (const auto &[after, row] : exact) {
        const auto at
            = std::find_if(list.begin(), list.end(), [&](const Measure &m) { return m.name == after; });
        Measure placed = row;
        placed.group = at->group;
        list.insert(at + 1, placed);
    }
    return list;
}

} // namespace

QString comparisonHeader(const QString &id, const StaircaseSettings &staircase)
{
    const int n = std::max(staircase.correctAnswers, 1);
    const QString rule = staircase.ascending ? QStringLiteral("%1-up/1-down, asc.").arg(n)
                                             : QStringLiteral("1-up/%1-down, desc.").arg(n);
    return id + columnHeaderBreak + rule;
}

QString intervalText(const std::optional<Interval> &interval, QString (*format)(double))
{
    if (!interval)
        return notAvailableText;
    return QStringLiteral("[%1, %2]").arg(format(interval->low), format(interval->high));
}

QVector<ComparisonRow> comparisonRows(const std::vector<ComparisonColumn> &columns, int lastReversals)
{
    std::optional<double> lowestSweat;
    for (const ComparisonColumn &column : columns)
        if (column.stats.sweatFactor && (!lowestSweat || *column.stats.sweatFactor < *lowestSweat))
            lowestSweat = column.stats.sweatFactor;
    QVector<ComparisonRow> rows;
    for (const Measure &measure : measures(lastReversals)) {
        ComparisonRow row { QString::fromUtf8(measure.group), measure.name, measure.toolTip, {}, {},
            measure.best, {}, measure.kind };
        for (const ComparisonColumn &column : columns) {
            const Context context { column, lowestSweat };
            row.cells << measure.text(context);
            row.cellToolTips << (measure.cellToolTip ? measure.cellToolTip(context) : QString());
            row.values << (measure.value ? measure.value(context) : std::nullopt);
        }
        rows << row;
    }
    return rows;
}

int bestColumn(const ComparisonRow &row)
{
    if (row.best == BestValue::none || row.values.size() < 2)
        return -1;
    int best = -1;
    double bestKey = std::numeric_limits<double>::infinity();
    for (int c = 0; c < row.values.size(); ++c) {
        if (!row.values[c])
            continue;
        const double key
            = row.best == BestValue::smallestMagnitude ? std::abs(*row.values[c]) : *row.values[c];
        if (key < bestKey) {
            bestKey = key;
            best = c;
        }
    }
    return best;
}

namespace
{

// The role of a cell's second line: its measure's 95 % interval.
constexpr int intervalRole = Qt::UserRole + 1;
const QString cellPadding = QStringLiteral("  ");

// Draws a cell's value and, where it has one, its interval on a second line in
// a quieter colour, both right-aligned.
class IntervalDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QString interval = index.data(intervalRole).toString();
        if (interval.isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString value = item.text;
        item.text.clear();
        const QWidget *widget = item.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
        const bool selected = item.state & QStyle::State_Selected;
        const QRect area = item.rect.adjusted(3, 0, -4, 0);
        const int line = area.height() / 2;
        painter->save();
        painter->setFont(item.font);
        painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect top(area.left(), area.top(), area.width(), line);
        painter->drawText(top, Qt::AlignRight | Qt::AlignVCenter,
            QFontMetrics(item.font).elidedText(value, Qt::ElideRight, top.width()));
        const QFont plain = widget ? widget->font() : item.font;
        painter->setFont(plain);
        QColor quiet = item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        quiet.setAlpha(150);
        painter->setPen(quiet);
        const QRect bottom(area.left(), area.top() + line, area.width(), area.height() - line);
        painter->drawText(bottom, Qt::AlignRight | Qt::AlignVCenter,
            QFontMetrics(plain).elidedText(interval, Qt::ElideRight, bottom.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString interval = index.data(intervalRole).toString();
        if (!interval.isEmpty())
            size.setWidth(std::max(size.width(), option.fontMetrics.horizontalAdvance(interval) + 10));
        return size;
    }
};

bool available(const QString &cell)
{
    return !cell.isEmpty() && cell != notAvailableText;
}

// Up to four staircases share the width; more keep their own widths and scroll.
constexpr int sharedWidthColumns = 4;

} // namespace

ComparisonTable::ComparisonTable(QTableWidget &table)
    : table(table)
{
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setSelectionMode(QAbstractItemView::ExtendedSelection);
    table.setItemDelegate(new IntervalDelegate(&table));
    table.setWordWrap(false);
    // The headers hold the staircases and the measures: in the table's own (small) font.
    table.horizontalHeader()->setFont(table.font());
    table.horizontalHeader()->setMinimumSectionSize(40);
    table.verticalHeader()->setFont(table.font());
    table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table.verticalHeader()->setMinimumSectionSize(lineHeight());
    table.verticalHeader()->setDefaultSectionSize(lineHeight());
    table.verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto *copy = new QAction(QStringLiteral("Copy"), &table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, &table, [this] { copySelection(); });
    table.addAction(copy);
    table.setContextMenuPolicy(Qt::ActionsContextMenu);

    // Every measure's line and every interval's, below a header of two lines.
    int lines = 0;
    QString group;
    for (const ComparisonRow &row : comparisonRows({}, defaultLastReversals)) {
        lines += row.group != group;
        group = row.group;
        lines += row.kind != RowKind::exact;
    }
    const int frame = 2 * table.frameWidth();
    const int header = 2 * QFontMetrics(table.font()).lineSpacing() + 10;
    table.setMinimumHeight(std::max(table.minimumHeight(), frame + header + lines * lineHeight() + 2));
}

int ComparisonTable::lineHeight() const
{
    return QFontMetrics(table.font()).lineSpacing() + 2;
}

void ComparisonTable::setExactRows(bool shown)
{
    exactRows = shown;
    fill();
}

void ComparisonTable::show(const std::vector<ComparisonColumn> &columns, int lastReversals)
{
    rows = comparisonRows(columns, lastReversals);
    columnCount = int(columns.size());
    table.clearSpans();
    table.clear();
    table.setColumnCount(columnCount);
    for (int c = 0; c < columnCount; ++c) {
        // The rule on a line of its own keeps four staircases in the width of the window.
        QString text = columns[std::size_t(c)].header;
        text.replace(columnHeaderBreak, QStringLiteral("\n"));
        auto *header = new QTableWidgetItem(text);
        header->setToolTip(columns[std::size_t(c)].headerToolTip);
        table.setHorizontalHeaderItem(c, header);
    }
    fill();
}

void ComparisonTable::fill()
{
    // Which rows each line shows: a measure with its interval and exact value, or a heading.
    lineRows.clear();
    for (int r = 0; r < rows.size(); ++r) {
        if (r == 0 || rows[r].group != rows[r - 1].group)
            lineRows.push_back({});
        const bool own = rows[r].kind == RowKind::measure || (exactRows && rows[r].kind == RowKind::exact)
            || lineRows.back().empty();
        if (own)
            lineRows.push_back({ r });
        else
            lineRows.back().push_back(r);
    }
    table.clearSpans();
    table.setRowCount(int(lineRows.size()));
    QFont bold = table.font();
    bold.setBold(true);
    for (int line = 0; line < int(lineRows.size()); ++line) {
        const std::vector<int> &shown = lineRows[std::size_t(line)];
        table.setRowHeight(line, lineHeight());
        if (shown.empty()) {
            const int next = lineRows[std::size_t(line) + 1].front();
            auto *heading = new QTableWidgetItem(rows[next].group);
            heading->setFont(bold);
            table.setVerticalHeaderItem(line, heading);
            for (int c = 0; c < columnCount; ++c)
                delete table.takeItem(line, c);
            if (columnCount > 1)
                table.setSpan(line, 0, 1, columnCount);
            continue;
        }
        const ComparisonRow &row = rows[shown.front()];
        auto *name = new QTableWidgetItem(QStringLiteral("  ") + row.name);
        QString toolTip = row.toolTip;
        for (std::size_t i = 1; i < shown.size(); ++i)
            toolTip += QStringLiteral("\n%1 (%2): %3")
                           .arg(rows[shown[i]].name,
                               rows[shown[i]].kind == RowKind::interval
                                   ? QStringLiteral("second line")
                                   : QStringLiteral("in the cells' tooltips"),
                               rows[shown[i]].toolTip);
        name->setToolTip(toolTip);
        table.setVerticalHeaderItem(line, name);
        const int best = bestColumn(row);
        bool twoLines = false;
        for (int c = 0; c < row.cells.size(); ++c) {
            auto *item = new QTableWidgetItem(row.cells[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QStringList tip;
            if (!row.cellToolTips[c].isEmpty())
                tip << row.cellToolTips[c];
            else if (row.cells[c].size() > 16) // may not fit the column
                tip << row.cells[c];
            for (std::size_t i = 1; i < shown.size(); ++i) {
                const ComparisonRow &folded = rows[shown[i]];
                if (folded.kind == RowKind::interval && available(folded.cells[c])) {
                    item->setData(intervalRole, folded.cells[c]);
                    twoLines = true;
                }
                if (folded.kind == RowKind::exact)
                    tip << QStringLiteral("Exact: ")
                            + (folded.cells[c].isEmpty() ? notAvailableText : folded.cells[c]);
            }
            if (!tip.isEmpty())
                item->setToolTip(tip.join(QLatin1Char('\n')));
            if (c == best)
                item->setFont(bold);
            table.setItem(line, c, item);
        }
        if (twoLines)
            table.setRowHeight(line, 2 * lineHeight() - 2);
    }
    QHeaderView &header = *table.horizontalHeader();
    if (columnCount <= sharedWidthColumns) {
        header.setSectionResizeMode(QHeaderView::Stretch);
    } else {
        header.setSectionResizeMode(QHeaderView::Interactive);
        table.resizeColumnsToContents();
    }
}

QString ComparisonTable::selectionText() const
{
    std::map<int, std::map<int, bool>> selected; // line -> columns
    std::map<int, bool> columns;
    for (const QModelIndex &index : table.selectionModel()->selectedIndexes()) {
        if (index.row() >= int(lineRows.size()) || lineRows[std::size_t(index.row())].empty())
            continue; // group headings have no cells
        selected[index.row()][index.column()] = true;
        columns[index.column()] = true;
    }
    if (selected.empty())
        return QString();
    QString text;
    for (const auto &column : columns)
        text += QLatin1Char('\t')
            + table.horizontalHeaderItem(column.first)->text().replace(QLatin1Char('\n'), columnHeaderBreak);
    text += QLatin1Char('\n');
    for (const auto &[line, lineColumns] : selected) {
        const std::vector<int> &shown = lineRows[std::size_t(line)];
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const ComparisonRow &row = rows[shown[i]];
            // An interval or exact value shown in the measure's cells: a row of its own, where it has a
            // value.
            if (i > 0 && std::none_of(lineColumns.begin(), lineColumns.end(), [&row](const auto &c) {
                    return available(row.cells[c.first]);
                }))
                continue;
            text += row.name;
            for (const auto &column : columns) {
                text += QLatin1Char('\t');
                if (lineColumns.count(column.first))
                    text += row.cells[column.first];
            }
            text += QLatin1Char('\n');
        }
    }
    return text;
}

void ComparisonTable::copySelection() const
{
    QApplication::clipboard()->setText(selectionText());
}
