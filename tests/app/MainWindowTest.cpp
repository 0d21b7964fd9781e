// The window, driven as a user would: its set-up, Start with the Analysis and
// Graph tabs it fills, the results and graph exports, and Quit.
#include "MainWindow.h"
#include "AddressSpaceLimit.h"
#include "FileSizeLimit.h"
#include "QtTestSupport.h"
#include "ScriptedDialogs.h"
#include "StaircaseParamSetter.h"
#include "SweepPage.h"
#include "TabStaircase.h"
#include "ThreeStaircasesFile.h"

#include <QtTest>
#include <QtWidgets>
#include <qcustomplot.h>

namespace
{

struct Window {
    MainWindow window;
    ScriptedDialogs *dialogs = installScriptedDialogs(window);
    TabStaircase *tabs = child<TabStaircase>(window, "tabStaircase");
    QTableView *table = child<QTableView>(window, "tableWidget");
    QCustomPlot *plot = child<QCustomPlot>(window, "customPlot");
    QSpinBox *average = child<QSpinBox>(window, "spinBoxLastInvAverage");

    template <typename T> T *get(const char *name) { return child<T>(window, name); }
    // Pages that end on their trial limit alone: every staircase runs exactly `maxTrials` trials.
    void setPages(int count, int maxTrials, int repetitions)
    {
        get<QSpinBox>("spinBoxNStaircases")->setValue(count);
        for (int i = 0; i < count; ++i) {
            tabs->pageAt(i)->setMaxTrials(maxTrials);
            tabs->pageAt(i)->setMaxInversions(maxTrials);
        }
        get<QSpinBox>("spinBoxSimRepetitions")->setValue(repetitions);
    }
    // Presses Start and waits until the run has ended (or was refused).
    void start()
    {
        auto *button = get<QPushButton>("buttonStart");
        button->click();
        if (!QTest::qWaitFor([button] { return button->isEnabled(); }, 30000))
            qFatal("the run did not end");
    }
    int rows() const { return table->model()->rowCount(); }
    QStringList column(int c) const
    {
        QStringList texts;
        for (const QString &row : rowTexts(*table->model()))
            texts << row.section('\t', c, c);
        return texts;
    }
    QStringList list(const char *name) { return itemTexts(*get<QListWidget>(name)); }
    QVector<double> levels(int graph) const
    {
        QVector<double> values;
        for (auto it = plot->graph(graph)->data()->constBegin(); it != plot->graph(graph)->data()->constEnd();
             ++it)
            values << it->value;
        return values;
    }
    // Graph 0's levels with three decimals, as the table writes them.
    QStringList plottedStates() const
    {
        QStringList texts;
        for (double level : levels(0))
            texts << QString::number(level, 'f', 3);
        return texts;
    }
    // Staircase 0's "State" cells in repetition r (all when r < 0; `rows` rows each), as the graph
    // orders them: by steps, in trial order within equal steps.
    QStringList tableStates(int r, int rows) const
    {
        const QAbstractItemModel &m = *table->model();
        QMultiMap<int, QString> bySteps; // lists equal keys from the latest inserted: walk backwards
        for (int row = m.rowCount() - 1; row >= 0; --row)
            if (m.index(row, 0).data().toString() == "0" && (r < 0 || row / rows == r))
                bySteps.insert(m.index(row, 2).data().toInt(), m.index(row, 4).data().toString());
        return bySteps.values();
    }
};

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void buildsWithoutWarnings();
    void startsWithOneStaircaseAndAnEmptyTable();
    void observerTakesLevelsAnywhereInTheStimulusRange();
    void fileMenuListsItsCommandsInOrderWithShortcuts();
    void startFillsTheTableTheAnalysisAndTheGraph();
    void analysisLowersTooLargeAveragesAndSurvivesARefusedStart();
    void runsInTheBackgroundAndCancelKeepsThePreviousResults();
    void closingDuringARunCancelsIt();
    void runCaptionNamesTheRunShown();
    void asksBeforeARunThatMayNotFitInMemory();
    void showingARunSurvivesRunningOutOfMemory();
    void graphDrawsTheMedianWhenEveryRepetitionWouldNotFit();
    void resultsKeepTheirIdsAndHugeLevelsAfterNew();
    void exportWritesTheTableAsShown();
    void graphControlsRedrawTheLastRunWithTheObserverAsItIsNow();
    void repetitionStatsFollowTheShownRunAndKeepTheirReversalCount();
    void graphShowsTheRepetitionChosenOrTyped();
    void pdfExportWarnsBeforeAnyRunThenWritesOnePageOfThePlotSize();
    void ctrlRStartsARunFromEveryTab();
    void helpMenuShowsTheReadmesTourAndAbout();
    void reportHasTheTitleBlockTheComparisonTheGraphTheHistogramAndTheSweepOnA4Pages();
    void quitEndsTheEventLoop();
};

void MainWindowTest::buildsWithoutWarnings()
{
    // A renamed widget would leave a slot unconnected, which Qt only reports as a warning.
    QTest::failOnWarning(QRegularExpression(".*"));
    MainWindow window;
    QCOMPARE(window.windowTitle(), QString("untitled \u2014 Quorvel v 0.5"));
}

void MainWindowTest::startsWithOneStaircaseAndAnEmptyTable()
{
    Window w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    // First shown within the screen; smaller than its controls need, the Simulator tab scrolls.
    const QRect screen = w.window.screen()->availableGeometry();
    QVERIFY(w.window.width() <= screen.width() && w.window.height() <= screen.height());
    auto *simulator = w.get<QScrollArea>("scrollAreaSimulator");
    w.window.resize(w.window.minimumSize());
    QVERIFY(QTest::qWaitFor([simulator] { return simulator->horizontalScrollBar()->isVisible(); }));
    QVERIFY(w.window.minimumSize().width() < simulator->widget()->minimumSizeHint().width());
    // So does the Analysis tab, whose statistics across repetitions need more height than a small screen has.
    auto *analysis = w.get<QScrollArea>("scrollAreaAnalysis");
    QVERIFY(w.window.minimumSize().height() < analysis->widget()->minimumSizeHint().height());
    auto *tabs = w.get<QTabWidget>("tabWidget");
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QString("Simulator"));
    QCOMPARE(w.tabs->count(), 1);
    QStringList headers;
    for (int c = 0; c < w.table->model()->columnCount(); ++c)
        headers << w.table->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({ "ID", "Ntrial", "Steps", "Inversions", "State", "Response" }));
    QCOMPARE(w.rows(), 0);
    QVERIFY(!w.get<QProgressBar>("progressBarRun")->isVisible());
    QVERIFY(!w.get<QPushButton>("buttonCancelRun")->isVisible());
    QCOMPARE(w.get<QLabel>("labelNTrialsRequired")->text(), QString("--"));
    QVERIFY(w.average->isEnabled());
    QCOMPARE(w.plot->graphCount(), 0);

    // The staircase count drives pages and graphs; the pages that stay keep their values.
    auto *count = w.get<QSpinBox>("spinBoxNStaircases");
    w.tabs->pageAt(0)->setStartLevel(2.5);
    count->setValue(3);
    QCOMPARE(w.tabs->count(), 3);
    QCOMPARE(w.tabs->pageAt(0)->getStartLevel(), 2.5);
    QCOMPARE(w.plot->graphCount(), 3);
    // Before any run no count matches the last run's (none): averaging stays off.
    QVERIFY(!w.average->isEnabled());
    count->setValue(1);
    QCOMPARE(w.tabs->count(), 1);
    QCOMPARE(w.plot->graphCount(), 1);
    QVERIFY(!w.average->isEnabled());
}

void MainWindowTest::observerTakesLevelsAnywhereInTheStimulusRange()
{
    // Levels range over +-100000, so a file's negative mean or wide spread must reach the observer
    // unchanged rather than be clamped to a different observer.
    Window w;
    auto *mean = w.get<QDoubleSpinBox>("doubleSpinBoxMean");
    auto *std = w.get<QDoubleSpinBox>("doubleSpinBoxStd");
    QCOMPARE(std::pair(mean->minimum(), mean->maximum()), std::pair(-100000.0, 100000.0));
    QCOMPARE(std::pair(std->minimum(), std->maximum()), std::pair(0.001, 100000.0)); // sigma is never 0
    mean->setValue(-12.345);
    std->setValue(250.5);
    QCOMPARE(mean->text(), QString("-12.345"));
    QCOMPARE(std->value(), 250.5);
    QCOMPARE(std::pair(mean->decimals(), std->decimals()), std::pair(3, 3));
}

void MainWindowTest::fileMenuListsItsCommandsInOrderWithShortcuts()
{
    Window w;
    QStringList entries;
    for (QAction *a : w.get<QMenu>("menuBayesian_Model")->actions())
        entries << a->text() + " " + a->shortcut().toString();
    QCOMPARE(entries,
        QStringList({ "New experiment... Ctrl+N", "Open experiment file... Ctrl+O",
            "Save experiment file... Ctrl+S", "Save As... Ctrl+Shift+S", "Export results to file... Ctrl+E",
            "Export trials for analysis... ", "Export repetition summary... Ctrl+Shift+E", "Export sweep... ",
            "Print graph to pdf... Ctrl+P", "Export report (PDF)... ", "Quit Ctrl+Q" }));
}

void MainWindowTest::startFillsTheTableTheAnalysisAndTheGraph()
{
    Window w;
    w.get<QComboBox>("comboBoxDrawStyle")->setCurrentIndex(2); // "Circles", chosen before the run
    w.setPages(3, 10, 2);
    w.average->setValue(2);
    w.start();

    QCOMPARE(w.rows(), 60);
    QCOMPARE(w.get<QLabel>("labelNTrialsRequired")->text(), QString("60"));
    QStringList numbers;
    for (int i = 0; i < 60; ++i)
        numbers << QString::number(i);
    QCOMPARE(w.column(1), numbers);
    for (const QString id : { "0", "1", "2" })
        QCOMPARE(w.column(0).count(id), 20);
    QCOMPARE(w.list("listWidget").size(), 3);
    QCOMPARE(w.list("listWidgetPsychoTarget").filter(QRegularExpression("^\\d+(\\.\\d+)?%$")).size(), 3);
    QVERIFY(w.average->isEnabled());
    QCOMPARE(w.average->value(), 1);
    QVERIFY(w.table->isEnabled());
    QCOMPARE(w.window.statusBar()->currentMessage(), QString("Data updated"));
    QVERIFY(w.dialogs->messages.isEmpty());

    // One track per staircase over both repetitions, with the markers chosen before the run.
    QCOMPARE(w.plot->graphCount(), 3);
    for (int v = 0; v < 3; ++v) {
        QCOMPARE(w.plot->graph(v)->name(), QStringLiteral("Staircase %1").arg(v));
        QCOMPARE(w.plot->graph(v)->dataCount(), 20);
        QCOMPARE(w.plot->graph(v)->scatterStyle().shape(), QCPScatterStyle::ssCircle);
    }
    QCOMPARE(w.plot->xAxis->range(), QCPRange(-0.5, 9.5));
    QVERIFY(!w.plot->xAxis2->visible());
}

void MainWindowTest::analysisLowersTooLargeAveragesAndSurvivesARefusedStart()
{
    Window w;
    w.get<QSpinBox>("spinBoxNStaircases")->setValue(3);
    const int maxInversions[] = { 3, 8, 4 };
    for (int i = 0; i < 3; ++i)
        w.tabs->pageAt(i)->setMaxInversions(maxInversions[i]);
    w.start();
    w.tabs->pageAt(0)->setMaxInversions(1); // the run's own maxima count, not the pages' now
    w.average->setValue(3);
    const QStringList overThree = w.list("listWidget") + w.list("listWidgetPsychoTarget");
    QVERIFY(w.dialogs->messages.isEmpty()); // equal to the smallest maximum: no warning
    // The targets belong to the observer the run was simulated with, not to the spin boxes now.
    w.get<QDoubleSpinBox>("doubleSpinBoxMean")->setValue(5.0);
    w.average->setValue(2);
    w.average->setValue(3);
    QCOMPARE(w.list("listWidget") + w.list("listWidgetPsychoTarget"), overThree);

    w.average->setValue(5);
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].title, QString("Warning"));
    QCOMPARE(w.dialogs->messages[0].text,
        QString("You can't average on a number of inversion higher than the inversions for the "
                "staircase(s)\n0 2"));
    QCOMPARE(w.average->value(), 3);
    QCOMPARE(w.list("listWidget") + w.list("listWidgetPsychoTarget"), overThree);

    // A page that cannot run: Start refuses and the results stay as they were.
    const QStringList rows = rowTexts(*w.table->model());
    w.tabs->pageAt(2)->setClampActive(true);
    w.tabs->pageAt(2)->setLowerClamp(1.0);
    w.tabs->pageAt(2)->setUpperClamp(1.0);
    w.start();
    QCOMPARE(w.dialogs->messages.size(), 2);
    QCOMPARE(w.dialogs->messages[1].title, QString("Warning"));
    QCOMPARE(w.dialogs->messages[1].text,
        QString("Staircase 2: the lower clamp (1) must be below the upper clamp (1).\nThe simulation was not "
                "started."));
    QCOMPARE(rowTexts(*w.table->model()), rows);
    QCOMPARE(w.list("listWidget") + w.list("listWidgetPsychoTarget"), overThree);
    QCOMPARE(w.average->value(), 3);
}

void MainWindowTest::runsInTheBackgroundAndCancelKeepsThePreviousResults()
{
    Window w;
    auto *progress = w.get<QProgressBar>("progressBarRun");
    QSignalSpy values(progress, &QProgressBar::valueChanged);
    w.setPages(2, 10, 1);
    w.start();
    const QStringList shown = rowTexts(*w.table->model());
    QCOMPARE(shown.size(), 20);
    // From 0 to full at the end, then reset for the next run and hidden.
    QVERIFY(values.size() >= 3);
    QCOMPARE(values.first()[0].toInt(), 0);
    QCOMPARE(values[values.size() - 2][0].toInt(), progress->maximum());
    QCOMPARE(values.last()[0].toInt(), 0);
    QVERIFY(!progress->isVisible());

    w.setPages(2, 1000, 20000); // up to 40 million trials
    w.dialogs->answers.enqueue(true); // in case this machine asks about memory
    auto *start = w.get<QPushButton>("buttonStart");
    auto *cancel = w.get<QPushButton>("buttonCancelRun");
    w.window.show();
    start->click();
    QVERIFY(!start->isEnabled()); // before the click has returned
    for (const char *action : { "actionNew_experiment", "actionOpenFile", "actionSaveFile",
             "actionExportResultsToFile", "actionExportRepetitionSummary", "actionExport_graph_to_pdf" })
        QVERIFY2(!w.get<QAction>(action)->isEnabled(), action);
    QVERIFY(!w.get<QSpinBox>("spinBoxNStaircases")->isEnabled());
    QVERIFY(progress->isVisible() && cancel->isVisible());
    QVERIFY(QTest::qWaitFor([progress] { return progress->value() > 0; }, 20000));
    QCOMPARE(cancel->shortcut(), QKeySequence(Qt::Key_Escape));
    cancel->click(); // a key press would need the window to be active, which a busy machine may delay
    QVERIFY(QTest::qWaitFor([start] { return start->isEnabled(); }, 5000));

    QCOMPARE(rowTexts(*w.table->model()), shown);
    QCOMPARE(w.window.statusBar()->currentMessage(),
        QString("Run cancelled; the results shown are those of the previous run."));
    QVERIFY(!progress->isVisible() && !cancel->isVisible());
    QVERIFY(w.get<QAction>("actionSaveFile")->isEnabled());
    QVERIFY(w.dialogs->messages.isEmpty());
}

void MainWindowTest::closingDuringARunCancelsIt()
{
    auto *window = new MainWindow;
    ScriptedDialogs *dialogs = installScriptedDialogs(*window);
    dialogs->answers.enqueue(true);
    child<QSpinBox>(*window, "spinBoxSimRepetitions")->setValue(999999);
    auto *start = child<QPushButton>(*window, "buttonStart");
    start->click();
    QVERIFY(!start->isEnabled());
    QTest::qWait(50);
    // The changed repetitions are offered for saving first; Cancel leaves the window and the run.
    dialogs->saveChoices << SaveChoice::cancel << SaveChoice::discard;
    QVERIFY(!window->close());
    QVERIFY(!start->isEnabled());
    QVERIFY(window->close());
    QCOMPARE(dialogs->saveQuestions.size(), 2);
    delete window; // waits for the run, which stops within a fraction of a second
}

void MainWindowTest::runCaptionNamesTheRunShown()
{
    Window w;
    w.window.setClock([] { return QTime(14, 3, 27); });
    auto *caption = w.get<QLabel>("labelRunCaption");
    QCOMPARE(caption->text(), QString("No run yet"));
    w.start();
    const QString first = QString::fromUtf8("untitled \u2014 1 repetition of 1 staircase, ended 14:03:27");
    QCOMPARE(caption->text(), first);

    QTemporaryDir dir;
    writeFile(dir.filePath("three.txt"), QByteArray::fromStdString(threeStaircasesFile));
    w.dialogs->fileNames.enqueue(dir.filePath("three.txt"));
    w.get<QAction>("actionOpenFile")->trigger();
    QCOMPARE(caption->text(), first + " (previous experiment)");
    // Run with a change not yet saved: the name says so, as the title does.
    w.get<QSpinBox>("spinBoxSimRepetitions")->setValue(2);
    w.start();
    QCOMPARE(caption->text(),
        QString::fromUtf8("three.txt* \u2014 2 repetitions of 3 staircases, ended 14:03:27"));
}

void MainWindowTest::asksBeforeARunThatMayNotFitInMemory()
{
    Window w;
    w.get<QSpinBox>("spinBoxSimRepetitions")->setValue(999999);
    w.tabs->pageAt(0)->setMaxTrials(999999);
    w.start(); // answered No
    QCOMPARE(w.dialogs->questions.size(), 1);
    QCOMPARE(w.dialogs->questions[0].text,
        QString("This run may record up to 999,998,000,001 trials (about 60,000.0 GB). Run anyway?"));
    QCOMPARE(w.rows(), 0);
    QCOMPARE(w.window.statusBar()->currentMessage(), QString());
    QVERIFY(w.get<QAction>("actionOpenFile")->isEnabled());
}

// A table that does not fit keeps the previous run shown whole; a graph that does not fit is
// left empty with a note, while the table shows the new run.
void MainWindowTest::showingARunSurvivesRunningOutOfMemory()
{
    Window w;
    w.setPages(2, 10, 1);
    w.start();
    const QStringList first = rowTexts(*w.table->model());
    const QVector<double> firstLevels = w.levels(0);
    auto *caption = w.get<QLabel>("labelRunCaption");
    const QString firstCaption = caption->text();
    ShownPart failing = ShownPart::table;
    w.window.setShowFault([&failing](ShownPart part) {
        if (part == failing)
            throw std::bad_alloc();
    });

    w.get<QSpinBox>("spinBoxSimRepetitions")->setValue(2);
    w.start();
    QCOMPARE(rowTexts(*w.table->model()), first);
    QCOMPARE(w.levels(0), firstLevels);
    QCOMPARE(caption->text(), firstCaption);
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].text,
        QString("There was not enough memory to show the results table of this run.\n"
                "The table shows what it showed before."));
    QCOMPARE(w.window.statusBar()->currentMessage(),
        QString("Run not shown; the results shown are those of the previous run."));
    QVERIFY(w.get<QPushButton>("buttonStart")->isEnabled());

    failing = ShownPart::graph;
    w.start();
    QCOMPARE(w.rows(), 40);
    QVERIFY(caption->text() != firstCaption);
    QCOMPARE(w.plot->plottableCount(), 0);
    QCOMPARE(w.plot->itemCount(), 1); // the note, alone
    QCOMPARE(w.dialogs->messages.size(), 2);
    QCOMPARE(w.dialogs->messages[1].text,
        QString("There was not enough memory to show the graph of this run.\nThe graph is left empty."));
    QCOMPARE(w.window.statusBar()->currentMessage(), QString("Data updated"));
}

// Drawing every repetition takes copies inside the plot where running out of memory crashes:
// when they would not fit in what is left, the median is drawn instead, and said so.
void MainWindowTest::graphDrawsTheMedianWhenEveryRepetitionWouldNotFit()
{
#ifdef QUORVEL_ADDRESS_SANITIZER
    QSKIP("the address sanitizer needs more address space than the limit leaves");
#endif
    Window w;
    w.setPages(2, 1000, 100);
    w.start();
    auto *repetitions = w.get<QComboBox>("comboBoxGraphRepetition");
    QCOMPARE(repetitions->currentIndex(), 0);
    {
        const AddressSpaceLimit limit(16 << 20); // the median's 3 MB, not every repetition's 22 MB
        w.get<QCheckBox>("checkBox")->click(); // redraws, with the reference
    }
    QCOMPARE(repetitions->currentIndex(), 1);
    QVERIFY(w.plot->graph(0)->name().contains("median"));
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].text,
        QString("There is not enough memory to draw every repetition of this run: the graph shows their "
                "median and 25\u201375 % band instead."));
}

// A staircase named by a text keeps its name and its own graph; New does not take it away.
// Levels of ±1e30 go through the table, the analysis and the graph.
void MainWindowTest::resultsKeepTheirIdsAndHugeLevelsAfterNew()
{
    Window w;
    w.setPages(2, 10, 2);
    StaircaseParamSetter *second = w.tabs->pageAt(1);
    child<QCheckBox>(*second, "checkBoxStringID")->setChecked(true);
    child<QLineEdit>(*second, "lineEditStringID")->setText("twoDown");
    w.tabs->pageAt(0)->setPositiveStepsText("1e30");
    w.start();
    QCOMPARE(w.plot->graph(1)->name(), QString("Staircase twoDown"));
    QCOMPARE(w.plot->graph(1)->dataCount(), 20);
    QCOMPARE(w.plot->graph(0)->dataCount(), 20);
    QVERIFY(w.column(4).contains("1000000000000000019884624838656.000"));

    w.get<QAction>("actionNew_experiment")->trigger();
    QCOMPARE(w.tabs->count(), 1);
    QCOMPARE(w.column(0).count("twoDown"), 20);
    QCOMPARE(w.column(0).count("0"), 20);
}

void MainWindowTest::exportWritesTheTableAsShown()
{
    Window w;
    w.setPages(2, 10, 2);
    StaircaseParamSetter *first = w.tabs->pageAt(0);
    child<QCheckBox>(*first, "checkBoxStringID")->setChecked(true);
    child<QLineEdit>(*first, "lineEditStringID")->setText(QString::fromUtf8("\xce\xb1-left"));
    w.get<QCheckBox>("checkBoxSortByID")->setChecked(true);
    w.start();

    QTemporaryDir dir;
    w.get<QAction>("actionExportResultsToFile")->trigger(); // cancelled
    QVERIFY(QDir(dir.path()).isEmpty());
    w.dialogs->fileNames.enqueue(dir.filePath("results")); // named without a suffix
    w.get<QAction>("actionExportResultsToFile")->trigger();
    QCOMPARE(w.dialogs->prompts.size(), 2);
    QCOMPARE(w.dialogs->prompts[1].caption, QString("Save simulation results..."));
    QCOMPARE(w.dialogs->prompts[1].filter, QString("Tab-separated (*.tsv);;All files (*)"));
    QVERIFY(w.dialogs->messages.isEmpty());
    const QString path = dir.filePath("results.tsv");

    // Rows grouped by ID as the table shows them: "1" sorts before "?-left".
    QStringList expected
        = rowTexts(*w.table->model()).replaceInStrings(QString::fromUtf8("\xce\xb1-left"), "?-left");
    QCOMPARE(expected.size(), 40);
    QCOMPARE(expected.filter(QRegularExpression("^1\t")).size(), 20);
    QVERIFY(expected.first().startsWith("1\t"));
    expected.prepend("ID\tNtrial\tSteps\tInversions\tState\tResponse");
    const QByteArray exported = readFile(path);
    QCOMPARE(QString::fromLatin1(exported), expected.join('\n') + '\n');

    // The next dialog starts where the last file went; a full disk keeps that file and says so once.
    w.dialogs->fileNames.enqueue(path);
    {
        const FileSizeLimit fullDisk(100);
        w.get<QAction>("actionExportResultsToFile")->trigger();
    }
    QCOMPARE(w.dialogs->prompts[2].dir, dir.path());
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].text,
        "Could not write the simulation results to " + QDir::toNativeSeparators(path) + ":\nFile too large");
    QCOMPARE(readFile(path), exported);
}

void MainWindowTest::graphControlsRedrawTheLastRunWithTheObserverAsItIsNow()
{
    Window w;
    w.setPages(2, 5, 1);
    const double mean = w.get<QDoubleSpinBox>("doubleSpinBoxMean")->value();
    const double sigma = w.get<QDoubleSpinBox>("doubleSpinBoxStd")->value();
    w.start();
    const QVector<double> levels = w.levels(0);
    w.get<QComboBox>("comboBoxDrawStyle")->setCurrentIndex(3);
    QCOMPARE(w.plot->graphCount(), 2);
    QCOMPARE(w.plot->graph(1)->scatterStyle().shape(), QCPScatterStyle::ssSquare);

    // A new staircase count empties the plot; redrawing goes back to the last run's staircases.
    w.get<QSpinBox>("spinBoxNStaircases")->setValue(4);
    QCOMPARE(w.plot->graphCount(), 4);
    QCOMPARE(w.plot->graph(0)->dataCount(), 0);
    w.get<QDoubleSpinBox>("doubleSpinBoxMean")->setValue(2.5);
    w.get<QDoubleSpinBox>("doubleSpinBoxStd")->setValue(0.25);
    w.get<QCheckBox>("checkBox")->setChecked(true);
    QCOMPARE(w.plot->graphCount(), 3); // two staircases and the reference
    QCOMPARE(w.levels(0), levels);
    QCOMPARE(w.plot->graph(0)->scatterStyle().shape(), QCPScatterStyle::ssSquare);
    const QCPGraph *reference = w.plot->graph(2);
    QCOMPARE(reference->name(),
        QStringLiteral(
            "Reference psychometric (\u03bc ,\u03c3)=(2.5, 0.25 ) \u2014 not the simulated observer"));
    QCOMPARE(reference->data()->constBegin()->key, 2.5 - 10 * 0.25);
    QVERIFY(w.plot->xAxis2->visible() && w.plot->yAxis2->visible());
    QCOMPARE(w.plot->xAxis->range(), QCPRange(-0.5, 4 + 6 + 0.5));

    // Back at the run's observer, the legend no longer sets the curve apart.
    w.get<QDoubleSpinBox>("doubleSpinBoxMean")->setValue(mean);
    w.get<QDoubleSpinBox>("doubleSpinBoxStd")->setValue(sigma);
    w.get<QComboBox>("comboBoxDrawStyle")->setCurrentIndex(2);
    QCOMPARE(w.plot->graph(2)->name(),
        QStringLiteral("Reference psychometric (\u03bc ,\u03c3)=(%1, %2 )").arg(mean).arg(sigma));

    w.get<QCheckBox>("checkBox")->setChecked(false);
    QCOMPARE(w.plot->graphCount(), 2);
    QVERIFY(!w.plot->xAxis2->visible() && !w.plot->yAxis2->visible());
}

void MainWindowTest::repetitionStatsFollowTheShownRunAndKeepTheirReversalCount()
{
    Window w;
    auto *summary = w.get<QAction>("actionExportRepetitionSummary");
    summary->trigger();
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].text, QString("No results to export, please run experiment before."));
    QVERIFY(w.dialogs->prompts.isEmpty());

    w.setPages(2, 200, 30);
    w.tabs->pageAt(1)->setAscending(false);
    w.tabs->pageAt(1)->setCorrectAnswers(3);
    w.tabs->pageAt(1)->setMaxInversions(8);
    auto *k = w.get<QSpinBox>("spinBoxLastReversalsPerEstimate");
    auto *table = w.get<QTableWidget>("tableRepetitionStats");
    QCOMPARE(k->value(), 6);
    k->setValue(2);
    w.start();
    // One column per staircase, one row per measure.
    const auto row = [table](const QString &name) {
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->verticalHeaderItem(r)->text().trimmed() == name)
                return r;
        return -1;
    };
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QString("1\n1-up/3-down, desc."));
    QVERIFY(row("Fewer than 2 reversals") > 0);
    const QString target = table->item(row("x*"), 1)->text();
    const QStringList meansOverTwo { table->item(row("Mean"), 0)->text(),
        table->item(row("Mean"), 1)->text() };
    auto *histogram = w.get<QCustomPlot>("plotEstimates");
    QCOMPARE(w.get<QComboBox>("comboBoxEstimatesStaircase")->currentText(), QString("All staircases"));
    QCOMPARE(histogram->legend->itemCount(), 2); // an outline per staircase

    // The targets stay those of the run shown; a new K recomputes the estimates.
    w.get<QDoubleSpinBox>("doubleSpinBoxMean")->setValue(5.0);
    k->setValue(3);
    k->setValue(4); // supersedes K = 3's analysis under way
    QVERIFY(!table->isEnabled()); // greyed while the new K's statistics are worked out in the background
    QTRY_VERIFY(table->isEnabled());
    QCOMPARE(table->item(row("x*"), 1)->text(), target);
    const QStringList meansOverFour { table->item(row("Mean"), 0)->text(),
        table->item(row("Mean"), 1)->text() };
    QVERIFY2(meansOverFour != meansOverTwo, qPrintable(meansOverTwo.join(", ")));
    QVERIFY(row("Fewer than 4 reversals") > 0);
    // The exact values sit beside the simulated ones (in their tooltips), for the last K reversals only.
    const QString exactMean = table->item(row("Mean"), 1)->toolTip();
    QVERIFY2(exactMean.contains(" SE)") || exactMean.contains("Exact: Not computed"), qPrintable(exactMean));
    w.get<QComboBox>("comboBoxEstimatesStaircase")->setCurrentIndex(2);
    const auto *bars = qobject_cast<QCPBars *>(histogram->plottable(0));
    double estimates = 0.0;
    for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
        estimates += it->value;
    QCOMPARE(QString::number(estimates), table->item(row("Count"), 1)->text());

    // The comparison shows the histogram's staircase; the estimator chosen drives the table.
    auto *comparison = w.get<QTableWidget>("tableEstimators");
    QCOMPARE(comparison->rowCount(), 4);
    QCOMPARE(comparison->item(0, 2)->text(), table->item(row("Mean"), 1)->text());
    w.get<QComboBox>("comboBoxEstimator")->setCurrentIndex(2);
    QCOMPARE(comparison->item(2, 0)->text(), QString("Isotonic (CIR)"));
    QCOMPARE(table->item(row("Mean"), 1)->text(), comparison->item(2, 2)->text());
    QCOMPARE(table->item(row("Count"), 1)->text(), comparison->item(2, 1)->text());
    QVERIFY(table->item(row("Mean"), 1)->toolTip().contains(QString("Exact: \u2014")));
    int marked = 0;
    for (int row = 0; row < 4; ++row)
        if (comparison->item(row, 5)->font().bold()) {
            ++marked;
            for (int other = 0; other < 4; ++other)
                QVERIFY(comparison->item(row, 5)->text().toDouble()
                    <= comparison->item(other, 5)->text().toDouble());
        }
    QCOMPARE(marked, 1);
    const QString trialMean = comparison->item(1, 2)->text();
    w.get<QSpinBox>("spinBoxFirstReversalForTrialMean")->setValue(1);
    QTRY_VERIFY(comparison->item(1, 2)->text() != trialMean);
    w.start();
    QCOMPARE(k->value(), 4);

    QTemporaryDir dir;
    w.dialogs->fileNames << dir.filePath("summary") << dir.filePath("missing/summary");
    summary->trigger();
    QCOMPARE(w.dialogs->prompts.last().filter, QString("Tab-separated (*.tsv);;All files (*)"));
    QCOMPARE(QString::fromLatin1(readFile(dir.filePath("summary.tsv"))).count('\n'), 1 + 2 * 30);
    summary->trigger();
    QCOMPARE(w.dialogs->messages.size(), 2);
    QCOMPARE(w.dialogs->messages[1].title, QString("Warning"));
    QVERIFY(w.dialogs->messages[1].text.startsWith("Could not write the repetition summary to "
        + QDir::toNativeSeparators(dir.filePath("missing/summary.tsv"))));
}

void MainWindowTest::graphShowsTheRepetitionChosenOrTyped()
{
    Window w;
    w.setPages(2, 10, 3);
    for (int i = 0; i < 2; ++i)
        w.tabs->pageAt(i)->setStartLevel(0.0); // at the mean, so that repetitions differ
    // Staircase 0's ten levels can come out alike in two repetitions by chance (the program's
    // random state depends on earlier runs); run again until the three differ.
    const auto allDiffer = [&w] {
        const QStringList first = w.tableStates(0, 20), second = w.tableStates(1, 20),
                          third = w.tableStates(2, 20);
        return first != second && second != third && first != third;
    };
    for (int attempt = 0; attempt < 20 && (attempt == 0 || !allDiffer()); ++attempt)
        w.start();
    QVERIFY(allDiffer());
    auto *choice = w.get<QComboBox>("comboBoxGraphRepetition");
    QCOMPARE(choice->count(), 2 + 3);
    QCOMPARE(choice->itemText(1), QString("Median and 25\u201375 %"));
    QCOMPARE(w.plottedStates(), w.tableStates(-1, 20));
    // A line at each staircase's target, one label for both (their x* is the same), the caption.
    QCOMPARE(w.plot->itemCount(), 2 + 1 + 1);

    for (int r : { 1, 3, 2 }) {
        choice->lineEdit()->setText(QString::number(r));
        QTest::keyClick(choice->lineEdit(), Qt::Key_Return);
        QCOMPARE(choice->currentIndex(), 1 + r);
        QCOMPARE(w.plottedStates(), w.tableStates(r - 1, 20));
    }
    choice->lineEdit()->setText("4");
    QTest::keyClick(choice->lineEdit(), Qt::Key_Return);
    QCOMPARE(choice->currentIndex(), 3);
    QCOMPARE(choice->lineEdit()->text(), QString("2"));
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].text,
        QString("\"4\" is no repetition of the run shown: type a number from 1 to 3, All or Median."));

    choice->lineEdit()->setText("median");
    QTest::keyClick(choice->lineEdit(), Qt::Key_Return);
    QCOMPARE(choice->currentIndex(), 1);
    QCOMPARE(w.plot->graphCount(), 2 + 2 * 2);
    QCOMPARE(w.plot->graph(0)->dataCount(), 10);
    w.plot->xAxis->setRange(100, 200);
    w.get<QPushButton>("buttonResetView")->click();
    QCOMPARE(w.plot->xAxis->range(), QCPRange(-0.5, 9.5));

    // A new staircase count empties the plot, target lines included; a new run keeps the choice
    // when it still exists.
    w.get<QSpinBox>("spinBoxNStaircases")->setValue(3);
    QCOMPARE(std::pair(w.plot->plottableCount(), w.plot->itemCount()), std::pair(3, 0));
    w.setPages(2, 10, 2);
    w.start();
    QCOMPARE(choice->currentIndex(), 1);
    choice->setCurrentIndex(3);
    w.setPages(2, 10, 1);
    w.start();
    QCOMPARE(choice->currentText(), QString("All"));
}

void MainWindowTest::pdfExportWarnsBeforeAnyRunThenWritesOnePageOfThePlotSize()
{
    Window w;
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("graph.pdf"));
    w.dialogs->fileNames.enqueue(fileName);
    w.get<QAction>("actionExport_graph_to_pdf")->trigger();
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(
        w.dialogs->messages[0].text, QStringLiteral("No graph to export, please run experiment before."));
    QVERIFY(w.dialogs->prompts.isEmpty());

    w.setPages(2, 10, 1);
    w.start();
    w.window.show();
    w.plot->resize(640, 360);
    w.get<QAction>("actionExport_graph_to_pdf")->trigger();
    QCOMPARE(w.dialogs->messages.size(), 1);
    const QString pdf = QString::fromLatin1(readFile(fileName));
    QCOMPARE(pdf.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))), 1);
    const QRegularExpressionMatch box
        = QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)\\s*\\]"))
              .match(pdf);
    QCOMPARE(QSizeF(box.captured(1).toDouble(), box.captured(2).toDouble()), QSizeF(640, 360));
}

void MainWindowTest::ctrlRStartsARunFromEveryTab()
{
    Window w;
    w.setPages(1, 5, 1);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    auto *tabs = w.get<QTabWidget>("tabWidget");
    auto *repetitions = w.get<QSpinBox>("spinBoxSimRepetitions");
    for (const char *tab : { "Graph", "Analysis", "Simulator" }) {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == tab)
                tabs->setCurrentIndex(i);
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QString(tab));
        repetitions->setValue(repetitions->value() + 1);
        QTest::keyClick(&w.window, Qt::Key_R, Qt::ControlModifier);
        const int expected = 5 * repetitions->value();
        QVERIFY2(QTest::qWaitFor([&w, expected] { return w.rows() == expected; }, 30000), tab);
    }
}

void MainWindowTest::helpMenuShowsTheReadmesTourAndAbout()
{
    Window w;
    QStringList entries;
    for (QAction *a : w.get<QMenu>("menuHelp")->actions())
        entries << a->text();
    QCOMPARE(entries, QStringList({ "Quick guide", "About" }));
    w.get<QAction>("actionQuickGuide")->trigger();
    auto *guide = w.get<QTextBrowser>("textQuickGuide");
    QVERIFY(guide->window()->isVisible());
    // The tour, from its first point to the last, and no other section.
    const QString text = guide->toPlainText();
    QVERIFY(text.startsWith("Simulator tab:"));
    QVERIFY(text.contains("Help menu: Quick guide"));
    QVERIFY(!text.contains("Reliability") && !text.contains("Quick start"));
    QStringList pictures;
    for (QTextBlock block = guide->document()->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().isImageFormat())
                pictures << fragment.fragment().charFormat().toImageFormat().name();
    QVERIFY(pictures.contains("docs/graph.png") && pictures.contains("docs/comparison.png"));
    // Every picture of the tour is there, narrow enough to read without scrolling sideways.
    for (const QString &picture : pictures) {
        const QImage image
            = guide->document()->resource(QTextDocument::ImageResource, QUrl(picture)).value<QImage>();
        QVERIFY2(!image.isNull() && image.width() < guide->viewport()->width(), qPrintable(picture));
    }
    w.get<QAction>("actionAbout")->trigger();
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].title, QString("About Quorvel"));
    QVERIFY(w.dialogs->messages[0].text.contains("Quorvel v 0.5"));
}

namespace
{

// The report's pages as pdftotext reads them, the font's ligatures ("ﬁ") undone.
QStringList pdfPages(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", { path, "-" });
    if (!pdftotext.waitForFinished(30000))
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC)
        .split('\f', Qt::SkipEmptyParts);
}

} // namespace

void MainWindowTest::reportHasTheTitleBlockTheComparisonTheGraphTheHistogramAndTheSweepOnA4Pages()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    Window w;
    QTemporaryDir dir;
    const QString path = dir.filePath("report");
    w.dialogs->fileNames.enqueue(path);
    w.get<QAction>("actionExportReport")->trigger(); // no run yet
    QCOMPARE(w.dialogs->messages.size(), 1);
    QVERIFY(w.dialogs->prompts.isEmpty());

    w.setPages(2, 10, 3);
    w.tabs->pageAt(1)->setStringIdActive(true);
    w.tabs->pageAt(1)->setStringIdText("left");
    w.start();
    w.get<QAction>("actionExportReport")->trigger();
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->prompts.last().filter, QString("PDF (*.pdf);;All files (*)"));
    QStringList pages = pdfPages(path + ".pdf");
    QVERIFY(pages.size() >= 4);
    const QString title = pages[0].simplified();
    for (const char *expected : { "Quorvel report", "Experiment file untitled", "Program Quorvel v 0.5",
             "Repetitions 3", "Staircases 2", "Seed 5489 at start-up; run 1 since then",
             "K (last reversals per estimate) 6", "Mean (μ) 0", "left ascending -5 1 10 10 0.2 0.5 off" })
        QVERIFY2(title.contains(QString::fromUtf8(expected)), qPrintable(expected + (" in " + title)));

    // The comparison, over as many pages as it needs, each headed by both staircases; every measure.
    const int comparisonPages = int(pages.size()) - 3;
    QVERIFY(pages[1].startsWith("Staircases compared across repetitions"));
    const QTableWidget &comparison = *w.get<QTableWidget>("tableRepetitionStats");
    QCOMPARE(comparison.columnCount(), 2);
    QString comparisonText;
    for (int p = 1; p <= comparisonPages; ++p) {
        for (int c = 0; c < 2; ++c)
            for (const QString &line : comparison.horizontalHeaderItem(c)->text().split('\n'))
                QVERIFY2(pages[p].contains(line), qPrintable(line + " on page " + QString::number(p + 1)));
        comparisonText += pages[p];
    }
    for (int r = 0; r < comparison.rowCount(); ++r)
        QVERIFY2(comparisonText.contains(comparison.verticalHeaderItem(r)->text().trimmed()),
            qPrintable(comparison.verticalHeaderItem(r)->text()));
    QVERIFY(pages[1 + comparisonPages].startsWith("Graph"));
    QVERIFY(pages[2 + comparisonPages].startsWith("Estimates across repetitions"));
    const QByteArray pdf = readFile(path + ".pdf");
    QVERIFY(pdf.contains("/MediaBox [0 0 841.8") || pdf.contains("/MediaBox [0 0 842")); // A4 landscape

    // After a sweep, its plot and its table close the report.
    w.get<QLineEdit>("lineEditSweepValues")->setText("1, 2");
    w.get<QSpinBox>("spinBoxSweepRepetitions")->setValue(5);
    w.get<QPushButton>("buttonSweepRun")->click();
    auto *sweep = w.get<SweepPage>("tabSweep");
    QVERIFY(QTest::qWaitFor([sweep] { return sweep->result() != nullptr; }, 30000));
    w.dialogs->fileNames.enqueue(path);
    w.get<QAction>("actionExportReport")->trigger();
    QCOMPARE(w.dialogs->messages.size(), 1);
    const int before = int(pages.size());
    pages = pdfPages(path + ".pdf");
    // The sweep's plot, then its four rows on one page per part of its columns (the exact ones continue).
    QCOMPARE(pages.size(), before + 3);
    QVERIFY(pages[before].startsWith("Sweep: "));
    QVERIFY(pages[before + 1].startsWith(pages[before].section('\n', 0, 0)));
    QVERIFY(pages[before + 1].contains("left") && pages[before + 1].contains("Sweat factor"));
    QVERIFY(pages[before + 2].contains("(continued)") && pages[before + 2].contains("Exact RMSE"));
    QLocale::setDefault(QLocale::system());
}

void MainWindowTest::quitEndsTheEventLoop()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, child<QAction>(window, "actionQuit"), &QAction::trigger);
    QTimer guard; // ends a loop that would otherwise hang
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    QCOMPARE(QApplication::exec(), 0); // the event loop ends with the window
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
