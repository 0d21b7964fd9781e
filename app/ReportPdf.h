#pragma once
// The report to hand on (File, Export report (PDF)...): a vector PDF, A4
// landscape (Letter where the locale measures in US units), one part per call:
// pages of rich text (the title block with the observer and every staircase's
// settings), a table view's cells as a vector table (its header repeated on
// every page it runs over, its columns in as many parts as the page's width
// needs) and pages that show a plot as the window shows it, under a heading.
// writeReport puts the window's views in the report's order: the title block,
// the comparison of the staircases, the graph, the histogram and the sweep
// when one was run. The file is written through the same atomic path as every
// other file (writePdfAtomically).

#include "Run.h"

#include <QDateTime>
#include <QPageLayout>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QCustomPlot;
class QLocale;
class QCPPainter;
class QTableView;
class QTextDocument;

// What the title block says about the run besides its request.
struct ReportTitle {
    QString experimentFile; // as the run's caption names it
    QDateTime ended;
    QString program; // the program's name and version
    int lastReversals = 0; // K, the reversals averaged per estimate
    std::uint32_t seed = 0;
    int runNumber = 0; // runs started since the program started, this one included
};

// The title block as HTML: the run, the observer, and one table row per staircase.
QString reportTitleHtml(const ReportTitle &title, const RunRequest &request);

// A4 landscape, or Letter landscape in a locale that measures in US units; margins of 12 mm.
QPageLayout reportPageLayout(const QLocale &locale);

class ReportPdf
{
public:
    explicit ReportPdf(const QPageLayout &layout);

    // Rich text over as many pages as it needs.
    void addTextPages(const QString &html);
    // `heading`, then the view's shown cells as a table over as many pages as it needs,
    // read now. With `rowNames`, the vertical header's texts lead each row, and a row
    // of empty cells is a heading across the table; the first `keyColumns` columns are
    // repeated in every part when the columns are split to fit the page's width.
    void addTablePages(const QString &heading, const QTableView &view, bool rowNames, int keyColumns = 0);
    // One page: `heading`, then the plot as shown, drawn anew at the page's size (vector).
    void addPlotPage(const QString &heading, QCustomPlot &plot);
    int pageCount() const { return int(pages.size()); }

    // Writes every page to `path` whole or not at all; empty on success, otherwise the reason.
    QString write(const QString &path) const;

private:
    void addDocumentPages(std::shared_ptr<QTextDocument> document);

    using Page = std::function<void(QCPPainter &)>;
    QPageLayout layout;
    QRectF area; // where a page draws, in the writer's pixels
    std::vector<Page> pages;
};

// What the report shows: the run's title block, and the window's views as they are.
struct ReportContents {
    ReportTitle title;
    RunRequest request;
    const QTableView *comparison = nullptr; // the staircases compared across repetitions
    QCustomPlot *graph = nullptr;
    QCustomPlot *histogram = nullptr;
    // The sweep shown, when one was run: its plot and its table (both null otherwise).
    QCustomPlot *sweepPlot = nullptr;
    const QTableView *sweepTable = nullptr;
};

// Writes the report's pages in order to `path` whole or not at all; empty on success,
// otherwise the reason. Views left null have no page.
QString writeReport(const ReportContents &contents, const QPageLayout &layout, const QString &path);
