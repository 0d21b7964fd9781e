#pragma once
// The results table of the Analysis tab as a view of a run's result: one row
// per trial, the six columns "ID", "Ntrial", "Steps", "Inversions", "State",
// "Response". Cells are formatted when the view asks for them (TrialTable.h
// makes the texts), so a run of millions of trials costs no memory here beyond
// the row order when sorted by ID. The ID texts are the run's own, captured at
// Start, so the rows keep their IDs whatever happens to the pages later.

#include <QAbstractTableModel>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QTableView;
class RunResult;

class ResultsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ResultsModel(const QStringList &headerLabels, QObject *parent = nullptr);

    // Shows `result` (none: an empty table), in trial order or, with
    // `sortById`, sorted by the ID texts: ascending, stable, compared as text
    // (an ID of "10" sorts before "2"). When memory runs out it throws
    // std::bad_alloc and the table shows what it showed.
    void setResult(std::shared_ptr<const RunResult> result, bool sortById);
    const std::shared_ptr<const RunResult> &result() const { return run; }
    // The trial shown in each row when sorted; null in trial order.
    const std::vector<std::uint32_t> *rowOrder() const { return sorted ? &order : nullptr; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList headers;
    std::shared_ptr<const RunResult> run;
    QStringList idTexts;
    bool sorted = false;
    std::vector<std::uint32_t> order;
};

// Sets up a view for this model: rows of one line each, all of the same
// height, which a table of millions of rows needs to stay quick.
void setupResultsView(QTableView &view);

// Sizes the columns to the header and to a sample of rows at the start and the
// end of the table (the last rows hold the longest trial numbers).
void fitResultsColumns(QTableView &view);
