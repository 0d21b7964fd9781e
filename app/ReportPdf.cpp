#include "ReportPdf.h"

#include "ExperimentFile.h"
#include "GraphPdfExport.h"
#include "TextUtils.h"

#include <QAbstractTextDocumentLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QTableView>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <qcustomplot.h>

#include <algorithm>

namespace
{

// The writer's resolution: a plot is drawn at about the size the screen shows it.
constexpr int dotsPerInch = 96;

QString number(double value)
{
    return QString::fromStdString(formatReal(value));
}

QString cell(const QString &text)
{
    return QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>");
}

QString row(const QString &name, const QString &value)
{
    return QStringLiteral("<tr><th align=left>") + name.toHtmlEscaped() + QStringLiteral("</th>")
        + cell(value) + QStringLiteral("</tr>");
}

// The tables' text: a size that reads on paper and keeps a dozen columns on a landscape page.
constexpr double tablePointSize = 8.5;
constexpr double cellPadding = 3;
constexpr double borderWidth = 0.5;
const QColor borderColor(150, 150, 150);

struct TableCell {
    QString text;
    bool bold = false;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// A view's shown cells, the row names (when asked) in a first column.
struct TableText {
    QVector<TableCell> header;
    QVector<QVector<TableCell>> rows;
    QVector<bool> heading; // per row: a heading across the table
};

TableCell tableCell(const QVariant &text, const QVariant &font, const QVariant &alignment)
{
    TableCell cell;
    // Line breaks stay within the cell's paragraph.
    cell.text = text.toString().trimmed().replace(QLatin1Char('\n'), QChar::LineSeparator);
    cell.bold = font.isValid() && font.value<QFont>().bold();
    if (alignment.isValid())
        cell.alignment = Qt::Alignment(alignment.toInt()) & Qt::AlignHorizontal_Mask;
    return cell;
}

TableText readTable(const QTableView &view, bool rowNames)
{
    const QAbstractItemModel &model = *view.model();
    QVector<int> columns;
    for (int c = 0; c < model.columnCount(); ++c)
        if (!view.isColumnHidden(c))
            columns << c;
    TableText table;
    if (rowNames)
        table.header << TableCell();
    for (int c : columns)
        table.header << tableCell(model.headerData(c, Qt::Horizontal), QVariant(), QVariant());
    for (int r = 0; r < model.rowCount(); ++r) {
        if (view.isRowHidden(r))
            continue;
        QVector<TableCell> cells;
        if (rowNames)
            cells << tableCell(model.headerData(r, Qt::Vertical),
                model.headerData(r, Qt::Vertical, Qt::FontRole), QVariant());
        bool empty = true;
        for (int c : columns) {
            const QModelIndex index = model.index(r, c);
            cells << tableCell(index.data(), index.data(Qt::FontRole), index.data(Qt::TextAlignmentRole));
            empty = empty && cells.last().text.isEmpty();
        }
        table.heading << (rowNames && empty && !cells.first().text.isEmpty());
        table.rows << cells;
    }
    return table;
}

// Each column's width: its widest text, padding and border included.
QVector<double> columnWidths(const TableText &table, const QFont &font)
{
    QFont boldFont = font;
    boldFont.setBold(true);
    const QFontMetricsF plain(font), bold(boldFont);
    QVector<double> widths(table.header.size(), 0.0);
    const auto widen = [&](int c, const TableCell &cell) {
        for (const QString &line : cell.text.split(QChar::LineSeparator))
            widths[c] = std::max(widths[c], (cell.bold ? bold : plain).horizontalAdvance(line));
    };
    for (int c = 0; c < table.header.size(); ++c)
        widen(c, { table.header[c].text, true });
    for (int r = 0; r < table.rows.size(); ++r)
        for (int c = 0; c < table.rows[r].size(); ++c)
            if (!table.heading[r])
                widen(c, table.rows[r][c]);
    // A little more than the text: the layout's own rounding must not wrap a cell.
    for (double &width : widths)
        width += 2 * cellPadding + 2 * borderWidth + 4;
    return widths;
}

// The columns of each part: the first `fixed` in every part, then as many more as `width` holds (one at
// least).
QVector<QVector<int>> tableParts(const QVector<double> &widths, int fixed, double width)
{
    fixed = std::min(fixed, int(widths.size()));
    double fixedWidth = 0;
    QVector<int> lead;
    for (int c = 0; c < fixed; ++c) {
        fixedWidth += widths[c];
        lead << c;
    }
    QVector<QVector<int>> parts;
    for (int c = fixed; c < widths.size();) {
        QVector<int> part = lead;
        double used = fixedWidth;
        do {
            used += widths[c];
            part << c++;
        } while (c < widths.size() && used + widths[c] <= width);
        parts << part;
    }
    if (parts.isEmpty())
        parts << lead;
    return parts;
}

// The header, then rows [first, last) of the columns given.
QTextTable *insertTable(QTextCursor &cursor, const TableText &text, const QVector<int> &columns,
    const QVector<double> &widths, int first, int last)
{
    QTextTableFormat format;
    format.setHeaderRowCount(1);
    format.setCellPadding(cellPadding);
    format.setCellSpacing(0);
    format.setBorder(borderWidth);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true); // one thin line between cells, drawn by the cells
    format.setBorderBrush(borderColor);
    QVector<QTextLength> constraints;
    for (int c : columns)
        constraints << QTextLength(QTextLength::FixedLength, widths[c]);
    format.setColumnWidthConstraints(constraints);
    QTextTable *table = cursor.insertTable(last - first + 1, int(columns.size()), format);

    const auto fill = [table](int row, int column, const TableCell &cell, const QColor &background) {
        QTextTableCell tableCell = table->cellAt(row, column);
        QTextTableCellFormat look = tableCell.format().toTableCellFormat();
        look.setBorder(borderWidth);
        look.setBorderBrush(borderColor);
        look.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        if (background.isValid())
            look.setBackground(background);
        tableCell.setFormat(look);
        QTextCursor at = tableCell.firstCursorPosition();
        QTextBlockFormat block;
        block.setAlignment(cell.alignment);
        at.setBlockFormat(block);
        QTextCharFormat characters;
        characters.setFontWeight(cell.bold ? QFont::Bold : QFont::Normal);
        at.insertText(cell.text, characters);
    };
    const QColor headerShade(232, 232, 232);
    for (int c = 0; c < columns.size(); ++c) {
        TableCell cell = text.header[columns[c]];
        cell.bold = true;
        // Aligned as the column's values.
        for (int r = 0; r < text.rows.size(); ++r)
            if (!text.heading[r]) {
                cell.alignment = text.rows[r][columns[c]].alignment;
                break;
            }
        fill(0, c, cell, headerShade);
    }
    for (int r = first; r < last; ++r) {
        const int row = r - first + 1;
        if (text.heading[r]) {
            table->mergeCells(row, 0, 1, int(columns.size()));
            fill(row, 0, text.rows[r][0], QColor(244, 244, 244));
            continue;
        }
        for (int c = 0; c < columns.size(); ++c)
            fill(row, c, text.rows[r][columns[c]], QColor());
    }
    cursor.movePosition(QTextCursor::End);
    return table;
}

// A page of a table: the heading (none when empty), then the header and rows [first, last).
struct TablePage {
    std::shared_ptr<QTextDocument> document = std::make_shared<QTextDocument>();
    QTextTable *table = nullptr;
};

TablePage tablePage(const QFont &font, const QSizeF &size, const QString &heading, const TableText &text,
    const QVector<int> &columns, const QVector<double> &widths, int first, int last)
{
    TablePage page;
    page.document->setDefaultFont(font);
    QTextCursor cursor(page.document.get());
    cursor.beginEditBlock(); // laid out once, when filled
    if (!heading.isEmpty()) {
        QTextBlockFormat block;
        block.setBottomMargin(6);
        cursor.setBlockFormat(block);
        QTextCharFormat characters;
        characters.setFontPointSize(12);
        characters.setFontWeight(QFont::Bold);
        cursor.insertText(heading, characters);
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    page.table = insertTable(cursor, text, columns, widths, first, last);
    cursor.endEditBlock();
    page.document->setPageSize(size);
    return page;
}

// The height of the heading (none: 0), of the header, and of every row, as laid out in `page` (on one
// endless page).
struct TableHeights {
    double heading = 0;
    double header = 0;
    QVector<double> rows;
};

TableHeights tableHeights(const TablePage &page)
{
    QAbstractTextDocumentLayout &layout = *page.document->documentLayout();
    const auto top = [&](int row) {
        return layout.blockBoundingRect(page.table->cellAt(row, 0).firstCursorPosition().block()).top();
    };
    TableHeights heights;
    const double tableTop = layout.frameBoundingRect(page.table).top();
    heights.heading = tableTop - page.document->documentMargin();
    const double offset = top(0) - tableTop; // of a cell's text in its row
    const double end = layout.frameBoundingRect(page.table).bottom() + offset;
    const int rows = page.table->rows();
    heights.header = (rows > 1 ? top(1) : end) - top(0);
    for (int row = 1; row < rows; ++row)
        heights.rows << (row + 1 < rows ? top(row + 1) : end) - top(row);
    return heights;
}

} // namespace

QString reportTitleHtml(const ReportTitle &title, const RunRequest &request)
{
    const QString style = QStringLiteral(
        "<style>th, td { padding: 2px 8px; } h1 { font-size: 16pt; } h2 { font-size: 12pt; }</style>");
    QString html = style + QStringLiteral("<h1>Quorvel report</h1><table>");
    html += row(QStringLiteral("Experiment file"), title.experimentFile);
    html += row(QStringLiteral("Run ended"),
        QLocale::c().toString(title.ended, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    html += row(QStringLiteral("Program"), title.program);
    html += row(QStringLiteral("Repetitions"), QString::number(request.repetitions));
    html += row(QStringLiteral("Staircases"), QString::number(request.staircaseCount()));
    html += row(QStringLiteral("Seed"),
        QStringLiteral("%1 at start-up; run %2 since then").arg(title.seed).arg(title.runNumber));
    html += row(QStringLiteral("K (last reversals per estimate)"), QString::number(title.lastReversals));
    const ObserverSettings &o = request.observer;
    html += QStringLiteral("</table><h2>Observer</h2><table>");
    html += row(QStringLiteral("Mean (\u03bc)"), number(o.mean));
    html += row(QStringLiteral("Standard deviation (\u03c3)"), number(o.standardDeviation));
    html += row(QStringLiteral("Guess rate"), number(o.guessRate));
    html += row(QStringLiteral("Lapse rate"), number(o.lapseRate));
    html += QStringLiteral("</table><h2>Staircases</h2><table border=1 cellspacing=0><tr>");
    for (const char *heading : { "Staircase", "Direction", "Start level", "Correct answers for a step",
             "Max reversals", "Max trials", "Positive steps", "Negative step", "Clamps", "Max clamp hits" })
        html += QStringLiteral("<th>") + QString::fromLatin1(heading) + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (int i = 0; i < request.staircaseCount(); ++i) {
        const StaircaseSettings &s = request.staircases[std::size_t(i)];
        const QString id = QString::fromStdString(validUtf8(staircaseId(s, i)));
        html += QStringLiteral("<tr>") + cell(id)
            + cell(s.ascending ? QStringLiteral("ascending") : QStringLiteral("descending"))
            + cell(number(s.startLevel)) + cell(QString::number(s.correctAnswers))
            + cell(QString::number(s.maxInversions)) + cell(QString::number(s.maxTrials))
            + cell(QString::fromStdString(s.positiveStepsText)) + cell(number(s.negativeStep))
            + cell(s.clampActive ? number(s.lowerClamp) + QStringLiteral(" to ") + number(s.upperClamp)
                                 : QStringLiteral("off"))
            + cell(s.clampActive ? QString::number(s.maxClampHits) : QStringLiteral("\u2013"))
            + QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QPageLayout reportPageLayout(const QLocale &locale)
{
    const QPageSize size(
        locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
    return QPageLayout(size, QPageLayout::Landscape, QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

ReportPdf::ReportPdf(const QPageLayout &layout)
    : layout(layout)
    , area(QPointF(0, 0), QSizeF(layout.paintRectPixels(dotsPerInch).size()))
{
}

void ReportPdf::addTextPages(const QString &html)
{
    auto document = std::make_shared<QTextDocument>();
    document->setHtml(html);
    addDocumentPages(std::move(document));
}

void ReportPdf::addTablePages(const QString &heading, const QTableView &view, bool rowNames, int keyColumns)
{
    QFont font = QTextDocument().defaultFont();
    font.setPointSizeF(tablePointSize);
    // The names are where the view shows them: a table whose vertical header is hidden has them in its cells.
    rowNames = rowNames && !view.verticalHeader()->isHidden();
    const TableText text = readTable(view, rowNames);
    const QVector<double> widths = columnWidths(text, font);
    const double margin = QTextDocument().documentMargin();
    const QVector<QVector<int>> parts
        = tableParts(widths, keyColumns + (rowNames ? 1 : 0), area.width() - 2 * margin);
    const int rows = int(text.rows.size());
    // A row's lines: most rows have one, a name or a value may have more.
    const double lineSpacing = QFontMetricsF(font).lineSpacing();
    const auto extraLines = [&text](int row) {
        int most = 0;
        for (const TableCell &cell : text.rows[row])
            most = std::max(most, int(cell.text.count(QChar::LineSeparator)));
        return most;
    };
    // Paged here rather than by the document, so every page's table is closed and starts with its header.
    // The heights come from the header and the first rows laid out (the first, not the last, gives a
    // row's height between others); a page that still runs over loses
    // rows until it fits.
    for (int p = 0; p < parts.size(); ++p) {
        const QString partHeading = p == 0 ? heading : heading + QObject::tr(" (continued)");
        const TableHeights sample = tableHeights(tablePage(
            font, QSizeF(area.width(), 1e9), partHeading, text, parts[p], widths, 0, std::min(rows, 2)));
        const double rowHeight = rows > 0 ? sample.rows[0] - extraLines(0) * lineSpacing : 0;
        int first = 0;
        do {
            double used = 2 * margin + (first == 0 ? sample.heading : 0) + sample.header;
            int last = first; // one row at least, whatever its height
            while (last < rows
                && (last == first || used + rowHeight + extraLines(last) * lineSpacing <= area.height()))
                used += rowHeight + extraLines(last++) * lineSpacing;
            // A group's heading goes with its first row.
            if (last < rows && last - first > 1 && text.heading[last - 1])
                --last;
            const QString pageHeading = first == 0 ? partHeading : QString();
            TablePage page = tablePage(font, area.size(), pageHeading, text, parts[p], widths, first, last);
            while (page.document->pageCount() > 1 && last - first > 1)
                page = tablePage(font, area.size(), pageHeading, text, parts[p], widths, first, --last);
            addDocumentPages(page.document);
            first = last;
        } while (first < rows);
    }
}

void ReportPdf::addDocumentPages(std::shared_ptr<QTextDocument> document)
{
    if (document->pageSize() != area.size()) // a new size lays the document out again
        document->setPageSize(area.size());
    for (int page = 0; page < document->pageCount(); ++page)
        pages.push_back([document, page, height = area.height()](QCPPainter &painter) {
            painter.save();
            painter.translate(0, -page * height);
            document->drawContents(&painter, QRectF(0, page * height, document->pageSize().width(), height));
            painter.restore();
        });
}

void ReportPdf::addPlotPage(const QString &heading, QCustomPlot &plot)
{
    pages.push_back([&plot, heading, area = area](QCPPainter &painter) {
        QFont font = painter.font();
        font.setPointSize(14);
        font.setBold(true);
        painter.setFont(font);
        const QRectF headingArea(area.left(), area.top(), area.width(), QFontMetricsF(font).height() * 1.5);
        painter.drawText(headingArea, Qt::AlignLeft | Qt::AlignTop, heading);
        painter.save();
        painter.translate(area.left(), headingArea.bottom());
        plot.toPainter(&painter, int(area.width()), int(area.height() - headingArea.height()));
        painter.restore();
    });
}

QString ReportPdf::write(const QString &path) const
{
    const auto render = [this](const QString &file) {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setResolution(dotsPerInch);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageLayout(layout);
        printer.setCreator(QStringLiteral("Quorvel"));
        printer.setDocName(QStringLiteral("Quorvel report"));
        QCPPainter painter;
        if (!painter.begin(&printer))
            return false;
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (i > 0 && !printer.newPage())
                return false;
            pages[i](painter);
        }
        return painter.end();
    };
    return writePdfAtomically(path, render);
}

QString writeReport(const ReportContents &contents, const QPageLayout &layout, const QString &path)
{
    ReportPdf report(layout);
    report.addTextPages(reportTitleHtml(contents.title, contents.request));
    if (contents.comparison)
        report.addTablePages(
            QObject::tr("Staircases compared across repetitions"), *contents.comparison, true);
    if (contents.graph)
        report.addPlotPage(QObject::tr("Graph"), *contents.graph);
    if (contents.histogram)
        report.addPlotPage(QObject::tr("Estimates across repetitions"), *contents.histogram);
    if (contents.sweepTable) {
        // The sweep's value column names the setting swept.
        const QString heading
            = QObject::tr("Sweep: %1")
                  .arg(contents.sweepTable->model()->headerData(0, Qt::Horizontal).toString());
        if (contents.sweepPlot)
            report.addPlotPage(heading, *contents.sweepPlot);
        // The value and the staircase name each row.
        report.addTablePages(heading, *contents.sweepTable, false, 2);
    }
    return report.write(path);
}
