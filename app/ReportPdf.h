#pragma once
// The report to hand on (File, Export report (PDF)...): a vector PDF, A4
// landscape (Letter where the locale measures in US units), one part per call:
// pages of rich text (the title block with the observer and every staircase's
// settings, a table, which flow over as many pages as they need) and pages
// that show a plot as the window shows it, under a heading. The window adds
// the title block, the graph and the histogram; any other view adds its page
// with one more call. The file is written through the same atomic path as
// every other file (writePdfAtomically).

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
    // One page: `heading`, then the plot as shown, drawn anew at the page's size (vector).
    void addPlotPage(const QString &heading, QCustomPlot &plot);
    int pageCount() const { return int(pages.size()); }

    // Writes every page to `path` whole or not at all; empty on success, otherwise the reason.
    QString write(const QString &path) const;

private:
    using Page = std::function<void(QCPPainter &)>;
    QPageLayout layout;
    QRectF area; // where a page draws, in the writer's pixels
    std::vector<Page> pages;
};
