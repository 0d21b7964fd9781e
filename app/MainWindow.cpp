#include "MainWindow.h"

#include "AnalysisTexts.h"
#include "BackgroundRun.h"
#include "ExperimentDocument.h"
#include "ExperimentFileCommands.h"
#include "FilePrompts.h"
#include "GraphDrawing.h"
#include "GraphPdfExport.h"
#include "HelpDialogs.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "RepetitionSelector.h"
#include "RepetitionStatsPanel.h"
#include "ResultsExport.h"
#include "ResultsModel.h"
#include "Run.h"
#include "RunMemory.h"
#include "ScreenFit.h"
#include "StaircasePages.h"
#include "StaircaseParamSetter.h"
#include "SweepPage.h"
#include "TabStaircase.h"
#include "TrialTable.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>
#include <qcustomplot.h>

#include <new>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , dialogs(std::make_unique<QtUserDialogs>())
{
    ui->setupUi(this); // also connects the slots by name
    programTitle = windowTitle();
    setCentralWidget(ui->tabWidget); // discards the generated central widget

    connect(ui->spinBoxNStaircases, SIGNAL(valueChanged(int)), ui->tabStaircase, SLOT(setNumberOfTabs(int)));

    for (const char *name : trialTableColumns)
        headerLabels << QString::fromLatin1(name);
    results = new ResultsModel(headerLabels, this);
    ui->tableWidget->setModel(results);
    setupResultsView(*ui->tableWidget);

    ui->tabStaircase->setNumberOfTabs(1);
    setupPlot();
    setupRunControls();
    setupStartShortcut();
    setupRepetitionViews();
    setupSweep();
    setupDocument();

    resize(minimumSizeHint());
    ui->tabStaircase->resize(ui->tabStaircase->sizeHint());
    connect(ui->comboBoxDrawStyle, SIGNAL(currentIndexChanged(int)), this, SLOT(update()));
}

MainWindow::~MainWindow()
{
    repetitionStats.reset(); // it refers to widgets of ui
    delete ui;
}

void MainWindow::setUserDialogs(std::unique_ptr<UserDialogs> userDialogs)
{
    dialogs = std::move(userDialogs);
}

void MainWindow::setClock(std::function<QTime()> now)
{
    clock = std::move(now);
}

void MainWindow::setShowFault(std::function<void(ShownPart)> fault)
{
    showFault = std::move(fault);
}

bool MainWindow::fitsInMemory(ShownPart part, const std::function<void()> &show)
{
    try {
        if (showFault)
            showFault(part);
        show();
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

void MainWindow::warnNotShown(ShownPart part, const QString &consequence)
{
    const QString names[] = { tr("the results table"), tr("the analysis lists"),
        tr("the statistics across repetitions"), tr("the graph") };
    dialogs->warning(this, tr("Warning"),
        tr("There was not enough memory to show %1 of this run.\n").arg(names[int(part)]) + consequence);
}

void MainWindow::setupDocument()
{
    document = new ExperimentDocument(experimentWidgets(), this);
    const auto showTitle = [this] { setWindowTitle(documentTitle(programTitle, *document)); };
    connect(document, &ExperimentDocument::changed, this, showTitle);
    showTitle();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A run still going is cancelled when the window is destroyed, after the event loop ends.
    if (!filePrompts().settleChanges(*document)) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::setupPlot()
{
    graphColors = GraphDrawing::staircaseColors();
    // Connected after the tab set, so a new staircase count reaches the pages before the plot.
    connect(ui->spinBoxNStaircases, SIGNAL(valueChanged(int)), ui->customPlot, SLOT(setNumberOfGraphs(int)));
    GraphDrawing::setupPlot(*ui->customPlot, font());
}

void MainWindow::showEvent(QShowEvent *event)
{
    // Sized when first shown: only then have the style and the fonts given every control its size.
    if (!sizedForScreen) {
        sizedForScreen = true;
        resize(sizeFittingScreen(*this, *ui->tabWidget, { ui->scrollAreaSimulator, ui->scrollAreaAnalysis }));
    }
    QMainWindow::showEvent(event);
}

void MainWindow::setupRunControls()
{
    backgroundRun = new BackgroundRun(this);
    runProgress = new QProgressBar(ui->statusbar);
    runProgress->setObjectName(QStringLiteral("progressBarRun"));
    runProgress->setRange(0, 1000);
    runProgress->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 48);
    runProgress->hide();
    cancelRun = new QPushButton(tr("Cancel"), ui->statusbar);
    cancelRun->setObjectName(QStringLiteral("buttonCancelRun"));
    cancelRun->setShortcut(QKeySequence(Qt::Key_Escape));
    cancelRun->setToolTip(tr("Stop the run and keep the results shown (Esc)"));
    cancelRun->hide();
    ui->statusbar->addPermanentWidget(runProgress);
    ui->statusbar->addPermanentWidget(cancelRun);
    connectRun();
}

void MainWindow::setupStartShortcut()
{
    auto *start = new QShortcut(QKeySequence(tr("Ctrl+R")), this);
    start->setObjectName(QStringLiteral("shortcutStart"));
    connect(start, &QShortcut::activated, this, [this] {
        if (ui->buttonStart->isEnabled())
            ui->buttonStart->click();
    });
}

void MainWindow::setupRepetitionViews()
{
    repetitionStats
        = std::make_unique<RepetitionStatsPanel>(*ui->tableRepetitionStats, *ui->comboBoxEstimatesStaircase,
            *ui->plotEstimates, *ui->comboBoxEstimator, *ui->tableEstimators, graphColors);
    graphRepetition = new RepetitionSelector(*ui->comboBoxGraphRepetition, this);
    connect(graphRepetition, &RepetitionSelector::refused, this,
        [this](const QString &message) { dialogs->warning(this, tr("Warning"), message); });
}

void MainWindow::connectRun()
{
    connect(cancelRun, &QPushButton::clicked, backgroundRun, &BackgroundRun::cancel);
    connect(backgroundRun, &BackgroundRun::progressed, this, &MainWindow::showProgress);
    connect(backgroundRun, &BackgroundRun::finished, this, &MainWindow::showRun);
    connect(backgroundRun, &BackgroundRun::cancelled, this, [this] {
        setRunning(false);
        ui->statusbar->showMessage(tr("Run cancelled; the results shown are those of the previous run."));
    });
    connect(backgroundRun, &BackgroundRun::failed, this, [this](const QString &reason) {
        setRunning(false);
        ui->statusbar->showMessage(tr("Run stopped; the results shown are those of the previous run."));
        dialogs->warning(
            this, tr("Warning"), reason + tr("\nThe results shown are those of the previous run."));
    });
}

void MainWindow::showProgress(int done, int total, const QString &text)
{
    runProgress->setMaximum(total);
    runProgress->setValue(done);
    runProgress->setFormat(text + QStringLiteral(" (%p%)"));
}

void MainWindow::setupSweep()
{
    SweepPage *sweep = ui->tabSweep;
    sweep->setColors(graphColors);
    sweep->setExperimentSource([this] {
        SweepRequest request;
        request.base = readRunRequest(*ui->tabStaircase, observerSettings(), 1);
        request.lastReversals = ui->spinBoxLastReversalsPerEstimate->value();
        return request;
    });
    sweep->setQuestion([this](const QString &text) { return dialogs->question(this, tr("Warning"), text); });
    connect(ui->spinBoxNStaircases, SIGNAL(valueChanged(int)), sweep, SLOT(setStaircaseCount(int)));
    connect(cancelRun, &QPushButton::clicked, sweep, &SweepPage::cancel);
    connect(sweep, &SweepPage::progressed, this, &MainWindow::showProgress);
    connect(sweep, &SweepPage::runningChanged, this, &MainWindow::setRunning);
    connect(sweep, &SweepPage::status, ui->statusbar,
        [this](const QString &m) { ui->statusbar->showMessage(m); });
    connect(sweep, &SweepPage::problem, this,
        [this](const QString &message) { dialogs->warning(this, tr("Warning"), message); });
}

void MainWindow::setRunning(bool running)
{
    ui->tabSweep->setRunEnabled(!running);
    for (QWidget *control : { static_cast<QWidget *>(ui->buttonStart),
             static_cast<QWidget *>(ui->spinBoxNStaircases), ui->tabStaircase->cornerWidget() })
        control->setEnabled(!running);
    for (QAction *command :
        { ui->actionNew_experiment, ui->actionOpenFile, ui->actionSaveFile, ui->actionSaveFileAs,
            ui->actionExportResultsToFile, ui->actionExportTidyTrials, ui->actionExportRepetitionSummary,
            ui->actionExport_graph_to_pdf, ui->actionExportReport, ui->actionExportSweep })
        command->setEnabled(!running);
    runProgress->setValue(0);
    runProgress->setFormat(tr("Starting..."));
    runProgress->setVisible(running);
    cancelRun->setVisible(running);
}

void MainWindow::on_actionNew_experiment_triggered()
{
    if (!filePrompts().settleChanges(*document))
        return;
    newExperiment(experimentWidgets());
    document->markSaved(QString());
    markRunOfPreviousExperiment();
    refreshResultsTable();
}

void MainWindow::on_actionOpenFile_triggered()
{
    if (!filePrompts().settleChanges(*document))
        return;
    const QString path = dialogs->openFileName(
        this, tr("Parameters file to open"), fileLocations.folder(), fileFilter(QStringLiteral("txt")));
    fileLocations.remember(path);
    if (path.isEmpty())
        return;
    const Expected<ExperimentReading> reading = readExperimentForWindow(path);
    if (!reading) {
        dialogs->warning(this, tr("Error"), QString::fromStdString(reading.problem().message));
        return;
    }
    for (const QString &message : applyExperiment(*reading, experimentWidgets()))
        dialogs->warning(this, tr("Error"), message);
    document->markSaved(path);
    markRunOfPreviousExperiment();
}

void MainWindow::markRunOfPreviousExperiment()
{
    runCaption.previousExperiment = true;
    ui->labelRunCaption->setText(runCaption.text());
    if (results->result()) // the caption, and the reference for the new observer
        updateGraph(drawStyle);
}

void MainWindow::on_actionExportResultsToFile_triggered()
{
    // The file is tab-separated: it is named so, and offered so in the dialog.
    const QString path = filePrompts().askFileToSave(tr("Save simulation results..."), QStringLiteral("tsv"));
    if (path.isEmpty())
        return; // cancelled: nothing written, nothing to say
    const QString problem = exportResults(results->result().get(), results->rowOrder(), path);
    if (!problem.isEmpty())
        dialogs->warning(this, tr("Warning"), problem);
}

void MainWindow::on_actionExportTidyTrials_triggered()
{
    exportShownRun(tr("Export trials for analysis..."),
        [](const RunResult &run, const QString &path) { return exportTidyTrials(run, path); });
}

void MainWindow::on_actionExportRepetitionSummary_triggered()
{
    exportShownRun(tr("Export repetition summary..."), [this](const RunResult &run, const QString &path) {
        return exportRepetitionSummary(run, estimatorSettings(), path);
    });
}

void MainWindow::exportShownRun(
    const QString &title, const std::function<QString(const RunResult &, const QString &)> &write)
{
    const std::shared_ptr<const RunResult> &run = results->result();
    if (!run) {
        dialogs->warning(this, tr("Warning"), tr("No results to export, please run experiment before."));
        return;
    }
    const QString path = filePrompts().askFileToSave(title, QStringLiteral("tsv"));
    if (path.isEmpty())
        return;
    const QString problem = write(*run, path);
    if (!problem.isEmpty())
        dialogs->warning(this, tr("Warning"), problem);
}

void MainWindow::on_actionQuit_triggered()
{
    close();
}

void MainWindow::on_buttonStart_clicked()
{
    // Read once: the run goes on with these values whatever happens to the widgets meanwhile.
    const RunRequest request
        = readRunRequest(*ui->tabStaircase, observerSettings(), ui->spinBoxSimRepetitions->value());
    if (const std::optional<Problem> problem = runProblem(request)) {
        dialogs->warning(this, tr("Warning"), QString::fromStdString(problem->message));
        return;
    }
    const QString question = memoryQuestion(request, runMemoryBudget());
    if (!question.isEmpty() && !dialogs->question(this, tr("Warning"), question))
        return;
    startedExperiment = document->displayName();
    startedRunNumber = ++runsStarted;
    setRunning(true);
    ui->statusbar->showMessage(tr("Computing..."));
    backgroundRun->start(request, RandomEngine::global(), estimatorSettings());
}

void MainWindow::showRun(const FinishedRun &run)
{
    setRunning(false);
    const RunResult &result = *run.result;
    ui->statusbar->showMessage(tr("Updating table..."));
    const QSignalBlocker quiet(ui->spinBoxLastInvAverage); // the lists follow the table
    const int lastAveraged = ui->spinBoxLastInvAverage->value();
    ui->spinBoxLastInvAverage->setValue(1);
    const bool tableShown = showResults(run.result);
    if (!tableShown)
        ui->spinBoxLastInvAverage->setValue(lastAveraged);
    else
        ui->spinBoxLastInvAverage->setEnabled(true);
    if (!tableShown) {
        ui->statusbar->showMessage(tr("Run not shown; the results shown are those of the previous run."));
        return;
    }
    runCaption = { startedExperiment, result.repetitionCount(), result.staircaseCount(), clock(), false };
    shownRunReport = { startedExperiment, QDateTime(QDate::currentDate(), runCaption.ended), programTitle, 0,
        RandomEngine::defaultSeed, startedRunNumber };
    ui->labelRunCaption->setText(runCaption.text());
    if (!fitsInMemory(ShownPart::statistics, [&] {
            repetitionStats->setRun(run, estimatorSettings());
            repetitionStats->setExact(run.exact);
        })) {
        repetitionStats->setRun(nullptr, {}, estimatorSettings());
        warnNotShown(ShownPart::statistics, tr("The statistics across repetitions are left empty."));
    }
    graphRepetition->setRepetitionCount(result.repetitionCount());
    ui->statusbar->showMessage(tr("Updating graph..."));
    updateGraph(drawStyle);
    ui->statusbar->showMessage(tr("Data updated"));
}

void MainWindow::on_spinBoxLastInvAverage_valueChanged(int value)
{
    // Checked against the staircases of the run shown, not the pages as they are now.
    const std::shared_ptr<const RunResult> shown = results->result();
    int lowest = value;
    const QString warning = shown ? lastReversalsWarning(shown->request(), value, lowest) : QString();
    if (!warning.isEmpty()) {
        dialogs->warning(this, tr("Warning"), warning);
        ui->spinBoxLastInvAverage->setValue(lowest); // runs this handler again with the lowered value
    }
    refreshAnalysis();
}

void MainWindow::on_spinBoxNStaircases_valueChanged(int n)
{
    // Averages can be recomputed only while the pages match the run whose results are shown.
    ui->spinBoxLastInvAverage->setEnabled(n == shownStaircaseCount());
}

void MainWindow::on_comboBoxDrawStyle_currentIndexChanged(int index)
{
    drawStyle = GraphDrawing::scatterStyleForIndex(index, drawStyle);
    updateGraph(drawStyle);
}

void MainWindow::on_checkBox_stateChanged(int state)
{
    showReference = state != 0; // the partial state counts as on
    updateGraph(drawStyle);
}

void MainWindow::on_actionExport_graph_to_pdf_triggered()
{
    const QString refusal = graphExportRefusal(*ui->customPlot);
    if (!refusal.isEmpty()) {
        dialogs->warning(this, tr("Warning"), refusal);
        return;
    }
    const QString path = filePrompts().askFileToSave(tr("Output file..."), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    const QString problem = exportGraphPdf(*ui->customPlot, path);
    if (!problem.isEmpty())
        dialogs->warning(this, tr("Warning"), problem);
}

void MainWindow::on_actionSaveFile_triggered()
{
    filePrompts().save(*document);
}

void MainWindow::on_actionSaveFileAs_triggered()
{
    filePrompts().saveAs(*document);
}

void MainWindow::on_buttonDuplicateStaircase_clicked()
{
    const QString refusal = duplicateCurrentPage(*ui->tabStaircase, *ui->spinBoxNStaircases);
    if (!refusal.isEmpty())
        dialogs->warning(this, tr("Warning"), refusal);
}

void MainWindow::on_actionExportReport_triggered()
{
    const std::shared_ptr<const RunResult> &run = results->result();
    if (!run) {
        dialogs->warning(this, tr("Warning"), tr("No results to export, please run experiment before."));
        return;
    }
    const QString path = filePrompts().askFileToSave(tr("Export report (PDF)..."), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    shownRunReport.lastReversals = ui->spinBoxLastReversalsPerEstimate->value();
    ReportContents contents { shownRunReport, run->request(), ui->tableRepetitionStats, ui->customPlot,
        ui->plotEstimates };
    if (ui->tabSweep->result()) { // the Sweep tab's own views
        contents.sweepPlot = &ui->tabSweep->plotView();
        contents.sweepTable = &ui->tabSweep->tableView();
    }
    const QString problem = writeReport(contents, reportPageLayout(QLocale()), path);
    if (!problem.isEmpty())
        dialogs->warning(this, tr("Warning"),
            tr("The report could not be written to %1:\n%2").arg(QDir::toNativeSeparators(path), problem));
}

void MainWindow::on_actionQuickGuide_triggered()
{
    showQuickGuide(this);
}

void MainWindow::on_actionAbout_triggered()
{
    dialogs->information(this, tr("About Quorvel"), aboutText(programTitle));
}

void MainWindow::on_spinBoxLastReversalsPerEstimate_valueChanged(int value)
{
    repetitionStats->setLastReversals(value);
}

void MainWindow::on_comboBoxEstimatesStaircase_currentIndexChanged(int index)
{
    repetitionStats->showStaircase(index);
}

void MainWindow::on_spinBoxFirstReversalForTrialMean_valueChanged(int value)
{
    repetitionStats->setFirstReversal(value);
}

void MainWindow::on_comboBoxEstimator_currentIndexChanged(int index)
{
    repetitionStats->setEstimator(index);
}

void MainWindow::on_comboBoxHistogramQuantity_currentIndexChanged(int index)
{
    repetitionStats->setHistogramQuantity(index);
}

void MainWindow::on_checkBoxExactRows_toggled(bool checked)
{
    repetitionStats->setExactRows(checked);
}

EstimatorSettings MainWindow::estimatorSettings() const
{
    EstimatorSettings settings;
    settings.lastReversals = ui->spinBoxLastReversalsPerEstimate->value();
    settings.firstReversal = ui->spinBoxFirstReversalForTrialMean->value();
    return settings;
}

void MainWindow::on_comboBoxGraphRepetition_currentIndexChanged(int)
{
    updateGraph(drawStyle);
}

void MainWindow::on_buttonResetView_clicked()
{
    GraphDrawing::showView(*ui->customPlot, graphView);
}

void MainWindow::on_actionExportSweep_triggered()
{
    const std::shared_ptr<const SweepResult> sweep = ui->tabSweep->result();
    if (!sweep) {
        dialogs->warning(this, tr("Warning"), tr("No sweep to export, please run a sweep before."));
        return;
    }
    const QString path = filePrompts().askFileToSave(tr("Export sweep..."), QStringLiteral("tsv"));
    if (path.isEmpty())
        return;
    const QString problem = exportSweep(*sweep, path);
    if (!problem.isEmpty())
        dialogs->warning(this, tr("Warning"), problem);
}

FilePrompts MainWindow::filePrompts()
{
    return FilePrompts(*dialogs, this, fileLocations);
}

ExperimentWidgets MainWindow::experimentWidgets() const
{
    return { ui->doubleSpinBoxMean, ui->doubleSpinBoxStd, ui->doubleSpinBoxLapseRate,
        ui->doubleSpinBoxGuessRate, ui->spinBoxNStaircases, ui->tabStaircase, ui->spinBoxSimRepetitions };
}

void MainWindow::refreshResultsTable()
{
    showResults(results->result());
}

bool MainWindow::showResults(std::shared_ptr<const RunResult> shown)
{
    if (!fitsInMemory(ShownPart::table,
            [&] { results->setResult(std::move(shown), ui->checkBoxSortByID->isChecked()); })) {
        warnNotShown(ShownPart::table, tr("The table shows what it showed before."));
        return false;
    }
    fitResultsColumns(*ui->tableWidget);
    ui->labelNTrialsRequired->setText(QString::number(results->rowCount()));
    refreshAnalysis();
    return true;
}

void MainWindow::refreshAnalysis()
{
    ui->listWidget->clear();
    ui->listWidgetPsychoTarget->clear();
    const std::shared_ptr<const RunResult> shown = results->result();
    if (!shown)
        return;
    const bool shownWhole = fitsInMemory(ShownPart::analysis, [&] {
        // With the observer the shown run was simulated with, whatever the spin boxes say now.
        const AnalysisLines lines = analysisLines(*shown, ui->spinBoxLastInvAverage->value());
        if (lines.averages.isEmpty())
            return;
        ui->listWidget->setEnabled(true);
        ui->listWidget->addItems(lines.averages);
        ui->listWidgetPsychoTarget->addItems(lines.targets);
    });
    if (!shownWhole) {
        ui->listWidget->clear();
        ui->listWidgetPsychoTarget->clear();
        warnNotShown(ShownPart::analysis, tr("The lists are left empty."));
    }
}

int MainWindow::shownStaircaseCount() const
{
    return results->result() ? results->result()->staircaseCount() : 0;
}

void MainWindow::updateGraph(int scatterStyle)
{
    // The reference curve follows the observer's spin boxes as they are now, not as they were for the
    // run; the targets are the run's own.
    GraphDrawing::Settings settings(shownStaircaseCount(), scatterStyle, showReference, observerSettings());
    const RunResult *shown = results->result().get();
    // The plot's own copies of the points are made where a failed allocation is not
    // reported but crashes: every repetition is drawn only when it fits.
    if (shown && graphRepetition->repetitions() == GraphDrawing::Repetitions::all
        && static_cast<long double>(shown->trialCount()) * GraphDrawing::bytesPerTrialOfAllRepetitions
            > static_cast<long double>(memoryLeft())) {
        const QSignalBlocker quiet(ui->comboBoxGraphRepetition);
        ui->comboBoxGraphRepetition->setCurrentIndex(1);
        dialogs->warning(this, tr("Warning"),
            tr("There is not enough memory to draw every repetition of this run: the graph shows their "
               "median and 25\u201375 % band instead."));
    }
    settings.repetitions = graphRepetition->repetitions();
    settings.repetition = graphRepetition->repetition();
    settings.targetLevels = repetitionStats->targetLevels();
    if (results->result())
        settings.caption = runCaption.text();
    if (fitsInMemory(ShownPart::graph,
            [&] { graphView = GraphDrawing::draw(*ui->customPlot, shown, graphColors, settings); }))
        return;
    // Cleared before the warning's dialog lets the plot paint what the drawing left.
    graphView = GraphDrawing::View();
    GraphDrawing::showNotDrawn(*ui->customPlot, tr("Not enough memory to draw this graph"));
    warnNotShown(ShownPart::graph, tr("The graph is left empty."));
}

ObserverSettings MainWindow::observerSettings() const
{
    return observerFromWidgets(experimentWidgets());
}
