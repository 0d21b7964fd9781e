#include "ReportPdf.h"

#include "ExperimentFile.h"
#include "GraphPdfExport.h"
#include "TextUtils.h"

#include <QAbstractTextDocumentLayout>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>
#include <qcustomplot.h>

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
