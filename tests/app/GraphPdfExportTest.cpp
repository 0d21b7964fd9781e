// The graph's PDF export on a bare plot (the window asks for the name).
#include "GraphPdfExport.h"

#include "FileSizeLimit.h"
#include "QtTestSupport.h"

#include <QtTest>
#include <QtWidgets>
#include <qcustomplot.h>

class GraphPdfExportTest : public QObject
{
    Q_OBJECT

private slots:
    void unwritableFolderIsNamedInTheProblem();
    void fullDiskKeepsTheOldFile();
};

void GraphPdfExportTest::unwritableFolderIsNamedInTheProblem()
{
    QTemporaryDir dir;
    QCustomPlot plot;
    plot.addGraph();
    const QString fileName = dir.filePath(QStringLiteral("missing/graph.pdf"));
    const QString problem = exportGraphPdf(plot, fileName);
    QVERIFY2(problem.startsWith(QStringLiteral("The graph could not be written to %1:\n")
                                    .arg(QDir::toNativeSeparators(fileName))),
        qPrintable(problem));
    QVERIFY(QDir(dir.path()).isEmpty());
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
    QCOMPARE(exportGraphPdf(plot, path), QString()); // the old file
    const QByteArray old = readFile(path);
    QVERIFY(old.startsWith("%PDF"));

    plot.graph(0)->setData({ 0, 1, 2 }, { 2, 1, 3 });
    QString problem;
    {
        const FileSizeLimit fullDisk(old.size() / 2);
        problem = exportGraphPdf(plot, path);
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
