// The Graph tab's commands, driven through the window as a user would.
#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "StaircaseGraph.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
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
    void beforeAnyRunNothingIsDrawnAndExportWarns();
    void runDrawsOneTrackPerStaircaseWithoutMarkers();
    void drawStyleAndReferenceRedrawTheLastRun();
    void referenceFollowsTheObserverAsItIsNow();
    void pdfAfterRunIsOnePageOfThePlotSize();

private:
    // Every staircase ends on its trial limit alone, so each runs exactly `maxTrials` trials.
    void run(int staircases, int maxTrials, int repetitions);
    template <typename T> T *widget(const char *name) const
    {
        T *w = window->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }

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

void MainWindowGraphTest::beforeAnyRunNothingIsDrawnAndExportWarns()
{
    widget<QComboBox>("comboBoxDrawStyle")->setCurrentIndex(2);
    widget<QCheckBox>("checkBox")->setChecked(true);
    QCOMPARE(plot->graphCount(), 0);

    dialogs->fileNames.enqueue(QStringLiteral("never-written.pdf"));
    widget<QAction>("actionExport_graph_to_pdf")->trigger();
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(dialogs->messages[0].text, QStringLiteral("No graph to export, please run experiment before."));
    QVERIFY(dialogs->prompts.isEmpty());
}

void MainWindowGraphTest::run(int staircases, int maxTrials, int repetitions)
{
    widget<QSpinBox>("spinBoxNStaircases")->setValue(staircases);
    auto *tabs = widget<TabStaircase>("tabStaircase");
    for (int i = 0; i < staircases; ++i) {
        tabs->pageAt(i)->setMaxTrials(maxTrials);
        tabs->pageAt(i)->setMaxInversions(999999);
    }
    widget<QSpinBox>("spinBoxSimRepetitions")->setValue(repetitions);
    widget<QPushButton>("buttonStart")->click();
}

void MainWindowGraphTest::runDrawsOneTrackPerStaircaseWithoutMarkers()
{
    widget<QComboBox>("comboBoxDrawStyle")->setCurrentIndex(2); // "Circles", chosen before the run
    run(3, 10, 2);

    const QVector<QColor> colors = StaircaseGraph::staircaseColors();
    QCOMPARE(plot->graphCount(), 3);
    for (int v = 0; v < 3; ++v) {
        const QCPGraph *graph = plot->graph(v);
        QCOMPARE(graph->name(), QStringLiteral("Staircase %1").arg(v));
        QCOMPARE(graph->pen().color(), colors[v]);
        QCOMPARE(graph->dataCount(), 20);
        QCOMPARE(graph->scatterStyle().shape(), QCPScatterStyle::ssNone);
    }
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 9));
    QVERIFY(!plot->xAxis2->visible());
}

void MainWindowGraphTest::drawStyleAndReferenceRedrawTheLastRun()
{
    run(2, 5, 1);
    widget<QComboBox>("comboBoxDrawStyle")->setCurrentIndex(3);
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(1)->scatterStyle().shape(), QCPScatterStyle::ssSquare);

    // A new staircase count empties the plot; redrawing goes back to the last run's staircases.
    widget<QSpinBox>("spinBoxNStaircases")->setValue(4);
    QCOMPARE(plot->graphCount(), 4);
    QCOMPARE(plot->graph(0)->dataCount(), 0);
    widget<QCheckBox>("checkBox")->setChecked(true);
    QCOMPARE(plot->graphCount(), 3); // two staircases and the reference
    QCOMPARE(plot->graph(0)->dataCount(), 5);
    QCOMPARE(plot->graph(0)->scatterStyle().shape(), QCPScatterStyle::ssSquare);
    QVERIFY(plot->graph(2)->name().startsWith(QStringLiteral("Reference psychometric")));
    QVERIFY(plot->xAxis2->visible() && plot->yAxis2->visible());
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 4 + 6));

    widget<QCheckBox>("checkBox")->setChecked(false);
    QCOMPARE(plot->graphCount(), 2);
    QVERIFY(!plot->xAxis2->visible() && !plot->yAxis2->visible());
}

void MainWindowGraphTest::referenceFollowsTheObserverAsItIsNow()
{
    run(1, 8, 1);
    const QVector<double> levels = [this] {
        QVector<double> values;
        for (auto it = plot->graph(0)->data()->constBegin(); it != plot->graph(0)->data()->constEnd(); ++it)
            values << it->value;
        return values;
    }();
    widget<QDoubleSpinBox>("doubleSpinBoxMean")->setValue(2.5);
    widget<QDoubleSpinBox>("doubleSpinBoxStd")->setValue(0.25);
    widget<QCheckBox>("checkBox")->setChecked(true);

    const QCPGraph *reference = plot->graph(1);
    QCOMPARE(reference->name(), QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(2.5, 0.25 )"));
    QCOMPARE(reference->data()->constBegin()->key, 2.5 - 10 * 0.25);
    QCOMPARE(plot->graph(0)->dataCount(), levels.size()); // the tracks still show the run
    for (int i = 0; i < levels.size(); ++i)
        QCOMPARE((plot->graph(0)->data()->constBegin() + i)->value, levels[i]);
}

void MainWindowGraphTest::pdfAfterRunIsOnePageOfThePlotSize()
{
    run(2, 10, 1);
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("graph.pdf"));
    dialogs->fileNames.enqueue(fileName);
    window->show();
    plot->resize(640, 360);
    widget<QAction>("actionExport_graph_to_pdf")->trigger();
    QVERIFY(dialogs->messages.isEmpty());
    int pages = 0;
    QCOMPARE(pdfPageSize(fileName, &pages), QSizeF(640, 360));
    QCOMPARE(pages, 1);
}

QTEST_MAIN(MainWindowGraphTest)
#include "MainWindowGraphTest.moc"
