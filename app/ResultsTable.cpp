#include "ResultsTable.h"

#include "ResultStats.h"

#include <QAbstractItemDelegate>
#include <QHash>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QStyleOptionViewItem>
#include <QTableWidget>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace
{

// Columns are sized from this many rows around the visible ones, not from all
// rows, and then widened to their longest text (WidestCells).
constexpr int columnSizingRows = 200;

// Remembers the cell with the longest text of every column, so that a column
// is wide enough for its last trial numbers without measuring every row.
class WidestCells
{
public:
    void consider(int column, QTableWidgetItem *item, qsizetype length)
    {
        if (length > lengths[column]) {
            lengths[column] = length;
            items[column] = item;
        }
    }

    void widenColumns(QTableWidget &table) const
    {
        QStyleOptionViewItem option;
        option.initFrom(&table);
        option.widget = &table;
        QHeaderView *header = table.horizontalHeader();
        for (int column = 0; column < 6; ++column) {
            if (!items[column])
                continue;
            const QModelIndex index = table.model()->index(table.row(items[column]), column);
            const int width = table.itemDelegateForIndex(index)->sizeHint(option, index).width()
                + (table.showGrid() ? 1 : 0);
            if (width > header->sectionSize(column))
                header->resizeSection(column, width);
        }
    }

private:
    qsizetype lengths[6] = {};
    QTableWidgetItem *items[6] = {};
};

// Texts of small counts and of repeated levels, made once and shared by all
// the cells that show them (a staircase visits few distinct levels), which
// saves most of the memory and time of a million-row table.
class TextCache
{
public:
    const QString &count(int value)
    {
        if (value < 0 || value >= maxCachedCount)
            return scratch = QString::number(value);
        if (value >= counts.size())
            counts.resize(qsizetype(value) + 1);
        QString &text = counts[value];
        if (text.isNull())
            text = QString::number(value);
        return text;
    }

    const QString &level(double value)
    {
        quint64 bits; // by bit pattern, so that -0.0 keeps its own text "-0.000"
        std::memcpy(&bits, &value, sizeof bits);
        const auto found = levels.constFind(bits);
        if (found != levels.cend())
            return *found;
        if (levels.size() >= maxCachedLevels)
            return scratch = stateText(value);
        return *levels.insert(bits, stateText(value));
    }

private:
    static constexpr int maxCachedCount = 1 << 16;
    static constexpr qsizetype maxCachedLevels = 1 << 16;
    QVector<QString> counts;
    QHash<quint64, QString> levels;
    QString scratch;
};

// The trial numbers in the order of the rows: trial order, or with `sortById`
// the order Qt's stable text sort of the ID column gives (equal texts keep
// trial order), found in linear time by ranking the few distinct ID texts.
QVector<int> rowOrder(const QVector<int> &ids, const QMap<int, QString> &idTexts, bool sortById)
{
    QVector<int> order(ids.size());
    if (!sortById) {
        std::iota(order.begin(), order.end(), 0);
        return order;
    }
    // Rank of every id's text; ids without a text show an empty one.
    QMap<int, QString> texts = idTexts;
    for (int id : ids)
        if (!texts.contains(id))
            texts.insert(id, QString());
    QStringList distinct = texts.values();
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    QHash<int, int> rankOfId;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        rankOfId.insert(
            it.key(), int(std::lower_bound(distinct.cbegin(), distinct.cend(), *it) - distinct.cbegin()));

    // Counting sort by rank: stable and linear.
    QVector<int> rankOfRow(ids.size());
    QVector<qsizetype> start(distinct.size() + 1, 0);
    for (qsizetype k = 0; k < ids.size(); ++k) {
        rankOfRow[k] = rankOfId.value(ids[k]);
        ++start[rankOfRow[k] + 1];
    }
    std::partial_sum(start.begin(), start.end(), start.begin());
    for (qsizetype k = 0; k < ids.size(); ++k)
        order[start[rankOfRow[k]]++] = int(k);
    return order;
}

// Every cell holds one line of text, so one measured row gives every row's
// height; rows added afterwards take it without being measured.
void setUniformRowHeight(QTableWidget &table)
{
    table.setRowCount(1);
    table.setItem(0, 0, new QTableWidgetItem(QStringLiteral("0")));
    table.resizeRowToContents(0);
    const int height = table.rowHeight(0);
    QHeaderView *rows = table.verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    if (height > 0)
        rows->setDefaultSectionSize(height);
    table.setRowCount(0);
}

} // namespace

void fillResultsTable(QTableWidget &table, const QStringList &headerLabels, const TrialColumns &trials,
    const QMap<int, QString> &idTexts, bool sortById)
{
    const int rowCount = int(trials.vIds.size());
    const bool updates = table.updatesEnabled();
    table.setUpdatesEnabled(false);
    table.setSortingEnabled(false);

    table.clearContents();
    table.clear();
    table.setColumnCount(6);
    table.setHorizontalHeaderLabels(headerLabels);
    setUniformRowHeight(table);
    table.setRowCount(rowCount);

    // Shared texts: every cell of the same id or answer holds the same string data.
    const QString noId;
    const QString answers[2] = { QStringLiteral("0"), QStringLiteral("1") };
    WidestCells widest;
    TextCache cache;
    {
        // The view learns of the new rows from setRowCount; one repaint replaces a
        // change notice per cell.
        const QSignalBlocker quietModel(table.model());
        const QVector<int> order = rowOrder(trials.vIds, idTexts, sortById);
        for (int row = 0; row < rowCount; ++row) {
            const int k = order[row];
            const auto id = idTexts.constFind(trials.vIds[k]);
            const QString texts[6] = { id == idTexts.cend() ? noId : *id, QString::number(trials.vNtrial[k]),
                cache.count(trials.vSteps[k]), cache.count(trials.vInversions[k]),
                cache.level(trials.vStates[k]), answers[trials.vResponses.testBit(k) ? 1 : 0] };
            for (int column = 0; column < 6; ++column) {
                auto *item = new QTableWidgetItem(texts[column]);
                widest.consider(column, item, texts[column].size());
                table.setItem(row, column, item);
            }
        }
    }
    table.viewport()->update();

    table.horizontalHeader()->setResizeContentsPrecision(columnSizingRows);
    table.resizeColumnsToContents();
    widest.widenColumns(table);

    table.setUpdatesEnabled(updates);
}
