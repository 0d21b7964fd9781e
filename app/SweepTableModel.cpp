#include "SweepTableModel.h"

#include "AnalysisTexts.h"
#include "ExperimentFile.h"
#include "TextUtils.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>

#include <set>

namespace
{

QString optionalText(const std::optional<double> &value, QString (*format)(double))
{
    return value ? format(*value) : notAvailableText;
}

QString sweatText(double sweat)
{
    return QString::number(sweat, 'g', 4);
}

QString trialsText(double trials)
{
    return QString::number(trials, 'f', 1);
}

} // namespace

QString withInterval(
    const QString &value, const std::optional<Interval> &interval, char format, int precision)
{
    if (!interval)
        return value;
    return QStringLiteral("%1 [%2, %3]")
        .arg(value, QString::number(interval->low, format, precision),
            QString::number(interval->high, format, precision));
}

void SweepTableModel::setResult(std::shared_ptr<const SweepResult> result, const QString &parameterLabel)
{
    beginResetModel();
    sweep = std::move(result);
    valueHeader = parameterLabel;
    endResetModel();
}

int SweepTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !sweep ? 0 : int(sweep->rows.size());
}

int SweepTableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return sweep && sweep->withExact ? Column::columns : Column::exactBias;
}

QVariant SweepTableModel::data(const QModelIndex &index, int role) const
{
    if (!sweep || !index.isValid())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    const SweepRow &row = sweep->rows[std::size_t(index.row())];
    if (role == Qt::ToolTipRole && index.column() >= exactBias && row.exact
        && row.exact->status != ExactStatus::computed)
        return QString::fromStdString(exactStatusText(row.exact->status));
    if (role != Qt::DisplayRole)
        return QVariant();
    const EstimateStats &e = row.stats.estimates;
    const ExactEstimate *exact = row.exact ? row.exact->estimate(row.stats.lastReversals) : nullptr;
    const auto exactValue = [&](std::optional<double> ExactEstimate::*member, QString (*format)(double)) {
        return optionalText(exact ? exact->*member : std::nullopt, format);
    };
    switch (index.column()) {
    case value:
        return row.values.empty() ? QString() : QString::fromStdString(formatReal(row.values.front()));
    case staircase:
        return QString::fromStdString(row.id);
    case psiStar:
        return optionalText(row.theory.classic.psi, percentText);
    case xStar:
        return optionalText(row.theory.classic.level, statLevelText);
    case count:
        return sweep->simulated ? QString::number(e.count) : notAvailableText;
    case mean:
        return optionalText(e.mean, statLevelText);
    case bias:
        return optionalText(e.bias, signedStatLevelText);
    case sd:
        return e.sd ? withInterval(statLevelText(*e.sd), e.sdInterval, 'f', 4) : notAvailableText;
    case rmse:
        return e.rmse ? withInterval(statLevelText(*e.rmse), e.rmseInterval, 'f', 4) : notAvailableText;
    case meanTrials:
        return row.stats.trials ? trialsText(row.stats.trials->mean) : notAvailableText;
    case sweat: {
        const std::optional<double> s = sweatFactor(row.stats);
        return s ? withInterval(sweatText(*s), row.stats.sweatInterval, 'g', 4) : notAvailableText;
    }
    case exactBias:
        return exactValue(&ExactEstimate::bias, signedStatLevelText);
    case exactSd:
        return exactValue(&ExactEstimate::sd, statLevelText);
    case exactRmse:
        return exactValue(&ExactEstimate::rmse, statLevelText);
    case exactMeanTrials:
        return exact ? trialsText(row.exact->meanTrials) : notAvailableText;
    case exactSweat:
        return exactValue(&ExactEstimate::sweatFactor, sweatText);
    default:
        return QVariant();
    }
}

QVariant SweepTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && section >= exactBias)
        return tr("Worked out exactly from the staircase's Markov chain for the same K, without simulation");
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case value:
        return valueHeader;
    case staircase:
        return tr("Staircase");
    case psiStar:
        return tr("ψ*");
    case xStar:
        return tr("x*");
    case count:
        return tr("Count");
    case mean:
        return tr("Mean");
    case bias:
        return tr("Bias");
    case sd:
        return tr("SD [95 %]");
    case rmse:
        return tr("RMSE [95 %]");
    case meanTrials:
        return tr("Mean trials");
    case sweat:
        return tr("Sweat factor [95 %]");
    case exactBias:
        return tr("Exact bias");
    case exactSd:
        return tr("Exact SD");
    case exactRmse:
        return tr("Exact RMSE");
    case exactMeanTrials:
        return tr("Exact mean trials");
    case exactSweat:
        return tr("Exact sweat factor");
    default:
        return QVariant();
    }
}

QString selectionText(const QAbstractItemView &view)
{
    const QAbstractItemModel *model = view.model();
    if (!model || !view.selectionModel())
        return QString();
    std::set<int> rows;
    std::set<int> columns { SweepTableModel::value, SweepTableModel::staircase };
    for (const QModelIndex &index : view.selectionModel()->selectedIndexes()) {
        rows.insert(index.row());
        columns.insert(index.column());
    }
    if (rows.empty())
        return QString();
    QStringList lines;
    QStringList header;
    for (int c : columns)
        header << model->headerData(c, Qt::Horizontal).toString();
    lines << header.join(QLatin1Char('\t'));
    for (int r : rows) {
        QStringList cells;
        for (int c : columns)
            cells << model->index(r, c).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void enableCopy(QAbstractItemView &view)
{
    auto *copy = new QAction(QObject::tr("Copy"), &view);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, &view,
        [&view] { QApplication::clipboard()->setText(selectionText(view)); });
    view.addAction(copy);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
}
