// The report's table pages: a table of N rows and 11 columns (a sweep of many
// values), paged and written to a PDF. Reading the view, paging, and writing
// are timed together, as Export report (PDF) does them.
#include "ReportPdf.h"

#include <QLocale>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

void tablePages(benchmark::State &state)
{
    const int rows = int(state.range(0));
    QStandardItemModel model(rows, 11);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 11; ++c)
            model.setItem(
                r, c, new QStandardItem(QStringLiteral("0.%1 [0.%2, 0.%3]").arg(r).arg(c).arg(r + c)));
    QTableView view;
    view.setModel(&model);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    int pages = 0;
    for (auto _ : state) {
        ReportPdf report(reportPageLayout(QLocale::c()));
        report.addTablePages(QStringLiteral("Sweep"), view, false, 2);
        pages = report.pageCount();
        if (!report.write(path).isEmpty())
            state.SkipWithError("the report was not written");
    }
    state.counters["pages"] = pages;
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(tablePages)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace
