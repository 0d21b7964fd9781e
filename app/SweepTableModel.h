#pragma once
// The Sweep tab's table: one row per value × staircase of a finished sweep,
// with the value, ψ*, x*, count, mean, bias, SD, RMSE (with its 95 % interval),
// mean trials and sweat factor (with its interval), then, when the sweep has
// them, the exact bias, SD, RMSE, mean trials and sweat factor (NA where not
// computed, the reason in the tooltip). Cells are formatted when shown, from
// the sweep's rows ("." decimals whatever the locale).

#include "Sweep.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <memory>

class QAbstractItemView;

class SweepTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        value,
        staircase,
        psiStar,
        xStar,
        count,
        mean,
        bias,
        sd,
        rmse,
        meanTrials,
        sweat,
        exactBias,
        exactSd,
        exactRmse,
        exactMeanTrials,
        exactSweat,
        columns
    };

    using QAbstractTableModel::QAbstractTableModel;

    // Shows `result` (none: empty); the value column is headed by `parameterLabel`.
    void setResult(std::shared_ptr<const SweepResult> result, const QString &parameterLabel);
    const std::shared_ptr<const SweepResult> &result() const { return sweep; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const SweepResult> sweep;
    QString valueHeader;
};

// "0.41 [0.38, 0.44]", or the value alone without an interval.
QString withInterval(
    const QString &value, const std::optional<Interval> &interval, char format, int precision);

// The selected cells as tab-separated text: a header line of column titles,
// then one line per selected row; the rows' names (the value and the
// staircase columns) lead every line whether selected or not.
QString selectionText(const QAbstractItemView &view);

// Ctrl+C on `view` copies selectionText to the clipboard.
void enableCopy(QAbstractItemView &view);
