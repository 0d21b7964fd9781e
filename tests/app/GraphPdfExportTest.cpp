// The graph's PDF export on a bare plot with scripted file dialogs.
#include "GraphPdfExport.h"

#include "FileLocations.h"
#include "FileSizeLimit.h"
#include "QtTestSupport.h"
#include "ScriptedDialogs.h"

#include <QtTest>
#include <QtWidgets>
#include <qcustomplot.h>

class GraphPdfExportTest : public QObject
{
    Q_OBJECT

private slots:
    void cancelledOrUnwritableWritesNothing();
    void fullDiskKeepsTheOldFile();
};

void GraphPdfExportTest::cancelledOrUnwritableWritesNothing()
{
    QTemporaryDir dir;
    FileLocations locations(dir.path());
    QCustomPlot plot;
    plot.addGraph();
    ScriptedDialogs dialogs; // no name queued: the dialog is cancelled
    QCOMPARE(exportGraphPdf(plot, dialogs, nullptr, locations), QString());
    QCOMPARE(dialogs.prompts.size(), 1);
    QCOMPARE(dialogs.prompts[0].caption, QStringLiteral("Output file..."));
    QCOMPARE(dialogs.prompts[0].dir, dir.path());
    QCOMPARE(dialogs.prompts[0].filter, QStringLiteral("PDF (*.pdf);;All files (*)"));
    QCOMPARE(dialogs.prompts[0].defaultSuffix, QStringLiteral("pdf"));
    QCOMPARE(locations.folder(), dir.path());
    QVERIFY(QDir(dir.path()).isEmpty());

    const QString fileName = dir.filePath(QStringLiteral("missing/graph.pdf"));
    dialogs.fileNames.enqueue(fileName);
    const QString problem = exportGraphPdf(plot, dialogs, nullptr, locations);
    QVERIFY2(problem.startsWith(QStringLiteral("The graph could not be written to %1:\n")
                                    .arg(QDir::toNativeSeparators(fileName))),
        qPrintable(problem));
    QVERIFY(dialogs.messages.isEmpty()); // the window shows it
}

// A full disk used to leave a new PDF empty and cut an old one short, with no message.
void GraphPdfExportTest::fullDiskKeepsTheOldFile()
{
    QTemporaryDir dir;
    QCustomPlot plot;
    plot.resize(400, 300);
    plot.addGraph()->setData({ 0, 1, 2 }, { 1, 3, 2 });
    plot.replot();
    const QString path = dir.filePath(QStringLiteral("graph.pdf"));
    FileLocations locations(dir.path());
    ScriptedDialogs dialogs;
    dialogs.fileNames.enqueue(dir.filePath(QStringLiteral("graph"))); // the suffix is added
    QCOMPARE(exportGraphPdf(plot, dialogs, nullptr, locations), QString()); // the old file
    const QByteArray old = readFile(path);
    QVERIFY(old.startsWith("%PDF"));

    plot.graph(0)->setData({ 0, 1, 2 }, { 2, 1, 3 });
    dialogs.fileNames.enqueue(path);
    QString problem;
    {
        const FileSizeLimit fullDisk(old.size() / 2);
        problem = exportGraphPdf(plot, dialogs, nullptr, locations);
    }
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "graph.pdf" });
    QCOMPARE(problem,
        QStringLiteral(
            "The graph could not be written to %1:\nThe PDF came out incomplete; the disk may be full.")
            .arg(QDir::toNativeSeparators(path)));
}

QTEST_MAIN(GraphPdfExportTest)
#include "GraphPdfExportTest.moc"
