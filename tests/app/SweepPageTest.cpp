// The Sweep tab, driven as a user would through the window: a sweep equals
// quorvel-batch's --vary with --stats, Cancel keeps what is shown, a bad value
// list gets one message.
#include "SweepPage.h"
#include "AnalysisTexts.h"
#include "BatchRun.h"
#include "MainWindow.h"
#include "QtTestSupport.h"
#include "ScriptedDialogs.h"
#include "SweepPlot.h"
#include "SweepTableModel.h"

#include <qcustomplot.h>

#include <QtTest>
#include <QtWidgets>

namespace
{

struct Window {
    MainWindow window;
    ScriptedDialogs *dialogs = installScriptedDialogs(window);
    SweepPage *page = child<SweepPage>(window, "tabSweep");
    QTableView *table = child<QTableView>(window, "tableSweep");

    template <typename T> T *get(const char *name) { return child<T>(window, name); }
    void open(const QString &path)
    {
        dialogs->fileNames.enqueue(path);
        get<QAction>("actionOpenFile")->trigger();
    }
    // Sets the sweep's widgets and presses Run sweep.
    void sweep(int staircaseItem, const char *parameter, const char *values, int repetitions)
    {
        get<QComboBox>("comboBoxSweepStaircase")->setCurrentIndex(staircaseItem);
        auto *parameters = get<QComboBox>("comboBoxSweepParameter");
        parameters->setCurrentIndex(parameters->findText(QString::fromUtf8(parameter)));
        get<QLineEdit>("lineEditSweepValues")->setText(QString::fromUtf8(values));
        get<QSpinBox>("spinBoxSweepRepetitions")->setValue(repetitions);
        get<QPushButton>("buttonSweepRun")->click();
    }
    bool waitForSweep()
    {
        return QTest::qWaitFor([this] { return !page->isRunning(); }, 30000);
    }
};

const QString example = QStringLiteral(QUORVEL_EXAMPLES_DIR "/three-interleaved-staircases.txt");

} // namespace

class SweepPageTest : public QObject
{
    Q_OBJECT

private slots:
    void exportedSweepIsTheBatchProgramsStats();
    void cancelKeepsTheSweepAndTheRunShown();
    void badValuesGetOneMessageAndRunNothing();
    void plotTakesEachStaircasesMeasureAndItsInterval();
};

// The sweep's exact values follow its simulation, or stand alone with "Exact
// only (no simulation)": the export is the batch program's --exact or
// --exact-only stats, and the plot draws them as a dashed line per staircase.
void SweepPageTest::exportedSweepIsTheBatchProgramsStats()
{
    Window w;
    w.open(example);
    QCOMPARE(w.get<QComboBox>("comboBoxSweepStaircase")->count(), 4); // all, 0, 1, 2
    auto *exactOnly = w.get<QCheckBox>("checkBoxSweepExactOnly");
    QCOMPARE(exactOnly->text(), QString("Exact only (no simulation)"));
    QTemporaryDir folder;
    for (const char *mode : { "--exact", "--exact-only" }) {
        exactOnly->setChecked(mode == std::string("--exact-only"));
        w.sweep(2, "Step size, target kept", "0.5:1.5:0.5", 60);
        QVERIFY(w.waitForSweep());
        QVERIFY2(w.dialogs->messages.isEmpty(), qPrintable(w.dialogs->messages.value(0).text));
        QCOMPARE(w.table->model()->rowCount(), 9);
        QCOMPARE(w.table->model()->headerData(0, Qt::Horizontal).toString(),
            QString("Step size, target kept (staircase 1)"));

        const QString exported = folder.filePath(mode); // ".tsv" is added
        w.dialogs->fileNames.enqueue(exported);
        w.get<QAction>("actionExportSweep")->trigger();
        const QString stats = folder.filePath("stats.tsv");
        BatchConsole console { std::tmpfile(), std::tmpfile(), false };
        QCOMPARE(batchMain({ example.toStdString(), "--repetitions", "60", "--vary",
                               "1:step-scale=0.5:1.5:0.5", mode, "--stats", stats.toStdString(), "--quiet" },
                     console, nullptr),
            int(exitDone));
        std::fclose(console.out);
        std::fclose(console.err);
        QCOMPARE(readFile(exported + ".tsv"), readFile(stats));
        // Both ways, one dashed line per staircase through every value, after the simulated ones.
        auto *plot = w.get<QCustomPlot>("plotSweep");
        QCOMPARE(plot->graphCount(), exactOnly->isChecked() ? 3 : 6);
        QCPGraph *exact = plot->graph(plot->graphCount() - 1);
        QCOMPARE(exact->name(), QString("2 exact"));
        QCOMPARE(exact->pen().style(), Qt::DashLine);
        QCOMPARE(exact->data()->size(), 3);
    }
    QCOMPARE(w.table->model()->index(0, SweepTableModel::count).data().toString(), notAvailableText);

    // Ctrl+C copies the selection with the rows' value and staircase and the columns' names.
    w.table->setFocus();
    w.table->selectionModel()->select(w.table->model()->index(4, 7), QItemSelectionModel::Select);
    for (QAction *action : w.table->actions())
        if (action->shortcut() == QKeySequence::Copy)
            action->trigger();
    const QStringList copied = QApplication::clipboard()->text().split('\n');
    QCOMPARE(copied.value(0), QString("Step size, target kept (staircase 1)\tStaircase\tSD [95 %]"));
    QCOMPARE(copied.value(1).section('\t', 0, 1), QString("1\t1"));
    QCOMPARE(copied.value(1).section('\t', 2), w.table->model()->index(4, 7).data().toString());
}

void SweepPageTest::cancelKeepsTheSweepAndTheRunShown()
{
    Window w;
    w.open(example);
    w.get<QSpinBox>("spinBoxSimRepetitions")->setValue(5);
    auto *start = w.get<QPushButton>("buttonStart");
    start->click();
    QVERIFY(QTest::qWaitFor([start] { return start->isEnabled(); }, 30000));
    const QStringList run = rowTexts(*w.get<QTableView>("tableWidget")->model());
    w.sweep(0, "Correct answers (N)", "2, 3", 20);
    QVERIFY(w.waitForSweep());
    const QStringList sweep = rowTexts(*w.table->model());
    QCOMPARE(sweep.size(), 6);

    w.window.show();
    w.dialogs->answers.enqueue(true); // it may hold more trials than half the memory
    w.sweep(0, "Maximum trials", "100000, 200000", 999999);
    QCOMPARE(w.dialogs->questions.size(), 1);
    QVERIFY(w.dialogs->questions[0].text.startsWith("This sweep may hold up to "));
    QVERIFY(w.page->isRunning());
    QVERIFY(!start->isEnabled() && !w.get<QPushButton>("buttonSweepRun")->isEnabled());
    auto *cancel = w.get<QPushButton>("buttonCancelRun");
    QVERIFY(cancel->isVisible());
    cancel->click();
    QVERIFY(w.waitForSweep());
    QVERIFY(start->isEnabled());
    QCOMPARE(rowTexts(*w.table->model()), sweep);
    QCOMPARE(rowTexts(*w.get<QTableView>("tableWidget")->model()), run);
    QCOMPARE(w.window.statusBar()->currentMessage(),
        QString("Sweep cancelled; the sweep shown is the previous one."));
    QVERIFY(w.dialogs->messages.isEmpty());
}

void SweepPageTest::badValuesGetOneMessageAndRunNothing()
{
    Window w;
    w.open(example);
    w.sweep(0, "Step size, target kept", "0.5;1", 10);
    w.sweep(0, "Correct answers (N)", "1.5, 2", 10);
    QVERIFY(!w.page->isRunning());
    QCOMPARE(w.dialogs->messages.size(), 2);
    QCOMPARE(w.dialogs->messages[0].text,
        QString("\"0.5;1\" in the values \"0.5;1\" is not a number; give a comma list such as 0.5, 1, 2 or "
                "FROM:TO:STEP such as 0.25:2:0.25."));
    QCOMPARE(w.dialogs->messages[1].text,
        QString("Correct answers (N) takes whole numbers from 1 to 99, not 1.5."));
    QCOMPARE(w.table->model()->rowCount(), 0);
}

void SweepPageTest::plotTakesEachStaircasesMeasureAndItsInterval()
{
    SweepResult result;
    for (double value : { 2.0, 20.0 })
        for (int s = 0; s < 2; ++s) {
            SweepRow row;
            row.values = { value };
            row.staircase = s;
            row.id = s ? "right" : "left";
            row.theory.classic.level = 1.0;
            row.stats.estimates.bias = value / 10;
            if (s == 1) // the bias's interval is the mean's, moved by x*
                row.stats.estimates.meanInterval
                    = Interval { 1.0 + value / 10 - 0.5, 1.0 + value / 10 + 0.25 };
            result.rows.push_back(row);
        }
    const QVector<SweepSeries> series = sweepSeries(result, SweepMeasure::bias);
    QCOMPARE(series.size(), 2);
    QCOMPARE(series[1].name, QString("right"));
    QCOMPARE(series[1].values, QVector<double>({ 2, 20 }));
    QCOMPARE(series[1].measures, QVector<double>({ 0.2, 2 }));
    QCOMPARE(series[1].below.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(std::abs(series[1].below[i] - 0.5) < 1e-12);
        QVERIFY(std::abs(series[1].above[i] - 0.25) < 1e-12);
    }
    QCOMPARE(series[0].below, QVector<double>({ 0, 0 })); // no interval: no bar
    // The exact line goes through the values computed, and none of a clamped staircase.
    result.rows[0].exact = exactRun(StaircaseSettings(), {}, StaircaseTheory(), 1);
    StaircaseSettings clamped;
    clamped.clampActive = true;
    result.rows[1].exact = exactRun(clamped, {}, StaircaseTheory(), 1);
    result.rows[2].exact = result.rows[0].exact;
    for (SweepRow &row : result.rows)
        row.stats.lastReversals = 1;
    const QVector<SweepSeries> exact = exactSweepSeries(result, SweepMeasure::meanTrials);
    QCOMPARE(exact[0].values, QVector<double>({ 2, 20 }));
    QCOMPARE(exact[0].measures[0], result.rows[0].exact->meanTrials);
    QCOMPARE(exact[1].name, QString("right exact"));
    QVERIFY(exact[1].values.isEmpty());
    QVERIFY(sweepSeries(result, SweepMeasure::sd)[0].values.isEmpty()); // no SD, no point

    QVERIFY(sweepValuesWantLogAxis(result)); // 20 ≥ 10 × 2
    result.rows[0].values = result.rows[1].values = { 2.5 };
    QVERIFY(!sweepValuesWantLogAxis(result));
    result.rows[0].values = result.rows[1].values = { 0.0 };
    QVERIFY(!sweepValuesWantLogAxis(result));
}

QTEST_MAIN(SweepPageTest)
#include "SweepPageTest.moc"
