// The Graph tab's commands, driven through the window as a user would.
#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "StaircaseGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

namespace
{

// The page size of a one-page PDF, read from the file itself.
QSizeF pdfPageSize(const QString &fileName, int *pages)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString pdf = QString::fromLatin1(file.readAll());
    *pages = static_cast<int>(pdf.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
    const QRegularExpressionMatch box
        = QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)\\s*\\]"))
              .match(pdf);
    return box.hasMatch() ? QSizeF(box.captured(1).toDouble(), box.captured(2).toDouble()) : QSizeF();
}

} // namespace

class MainWindowGraphTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pdfExportWarnsBeforeAnyGraph();
    void drawStyleBeforeAnyRunDrawsNothing();
    void changingTheStaircaseCountGivesEmptyGraphsThatExportAsOnePage();

private:
    MainWindow *window = nullptr;
    ScriptedDialogs *dialogs = nullptr;
    QCustomPlot *plot = nullptr;
};

void MainWindowGraphTest::init()
{
    window = new MainWindow;
    dialogs = installScriptedDialogs(*window);
    plot = window->findChild<QCustomPlot *>(QStringLiteral("customPlot"));
    QVERIFY(plot);
}

void MainWindowGraphTest::cleanup()
{
    delete window;
    window = nullptr;
}

void MainWindowGraphTest::pdfExportWarnsBeforeAnyGraph()
{
    dialogs->fileNames.enqueue(QStringLiteral("never-written.pdf"));
    window->findChild<QAction *>(QStringLiteral("actionExport_graph_to_pdf"))->trigger();
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(dialogs->messages[0].text, QStringLiteral("No graph to export, please run experiment before."));
    QVERIFY(dialogs->prompts.isEmpty());
}

void MainWindowGraphTest::drawStyleBeforeAnyRunDrawsNothing()
{
    auto *combo = window->findChild<QComboBox *>(QStringLiteral("comboBoxDrawStyle"));
    combo->setCurrentIndex(2);
    window->findChild<QCheckBox *>(QStringLiteral("checkBox"))->setChecked(true);
    QCOMPARE(plot->graphCount(), 0);
    QVERIFY(!plot->xAxis2->visible());
}

void MainWindowGraphTest::changingTheStaircaseCountGivesEmptyGraphsThatExportAsOnePage()
{
    window->findChild<QSpinBox *>(QStringLiteral("spinBoxNStaircases"))->setValue(3);
    QCOMPARE(plot->graphCount(), 3);

    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("graph.pdf"));
    dialogs->fileNames.enqueue(fileName);
    window->show();
    plot->resize(600, 400);
    window->findChild<QAction *>(QStringLiteral("actionExport_graph_to_pdf"))->trigger();
    QVERIFY(dialogs->messages.isEmpty());
    int pages = 0;
    QCOMPARE(pdfPageSize(fileName, &pages), QSizeF(plot->width(), plot->height()));
    QCOMPARE(pages, 1);
}

QTEST_MAIN(MainWindowGraphTest)
#include "MainWindowGraphTest.moc"
