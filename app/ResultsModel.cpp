#include "ResultsModel.h"

#include "Run.h"
#include "TrialTable.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>

namespace
{

// Rows measured at each end of the table when the columns are sized.
constexpr int sampledRows = 100;

enum Column { idColumn, ntrialColumn, stepsColumn, inversionsColumn, stateColumn, responseColumn, columns };

} // namespace

ResultsModel::ResultsModel(const QStringList &headerLabels, QObject *parent)
    : QAbstractTableModel(parent)
    , headers(headerLabels)
{
}

void ResultsModel::setResult(std::shared_ptr<const RunResult> result, bool sortById)
{
    // Everything new is made before the model changes: when memory runs out
    // (std::bad_alloc) the table still shows what it showed.
    QStringList ids;
    std::vector<std::uint32_t> rows;
    if (result) {
        for (int s = 0; s < result->staircaseCount(); ++s)
            ids.append(QString::fromStdString(result->staircaseId(s)));
    }
    if (result && sortById) {
        // Each staircase's rank among the distinct ID texts, compared as the table compares text.
        QStringList distinct = ids;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        std::vector<int> rank;
        for (const QString &id : ids)
            rank.push_back(int(std::lower_bound(distinct.cbegin(), distinct.cend(), id) - distinct.cbegin()));
        rows = rowsSortedById(*result, rank);
    }
    beginResetModel();
    run = std::move(result);
    idTexts.swap(ids);
    order.swap(rows);
    sorted = run && sortById;
    endResetModel();
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !run ? 0 : int(run->trialCount());
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !run || !index.isValid() || index.row() >= rowCount())
        return QVariant();
    const std::size_t k = sorted ? order[std::size_t(index.row())] : std::size_t(index.row());
    const TrialRecord &trial = run->trial(k);
    switch (index.column()) {
    case idColumn:
        return idTexts.value(trial.staircase);
    case ntrialColumn:
        return QString::number(qulonglong(k));
    case stepsColumn:
        return QString::number(trial.staircaseTrial);
    case inversionsColumn:
        return QString::number(trial.reversals);
    case stateColumn:
        return QString::fromLatin1(levelText(trial.level));
    case responseColumn:
        return trial.response ? QStringLiteral("1") : QStringLiteral("0");
    }
    return QVariant();
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < headers.size())
        return headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

void setupResultsView(QTableView &view)
{
    QHeaderView *rows = view.verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view.fontMetrics().height() + 6);
    view.setWordWrap(false);
}

void fitResultsColumns(QTableView &view)
{
    const QAbstractItemModel *model = view.model();
    if (!model)
        return;
    const QFontMetrics metrics(view.font());
    const int rows = model->rowCount();
    QHeaderView *header = view.horizontalHeader();
    const int padding = 2 * view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 8;
    for (int column = 0; column < model->columnCount(); ++column) {
        int width = header->sectionSizeHint(column);
        const auto measure = [&](int row) {
            width = std::max(width,
                metrics.horizontalAdvance(model->data(model->index(row, column)).toString()) + padding);
        };
        for (int row = 0; row < std::min(rows, sampledRows); ++row)
            measure(row);
        for (int row = std::max(sampledRows, rows - sampledRows); row < rows; ++row)
            measure(row);
        header->resizeSection(column, width);
    }
}
