#include "MainWindow.h"

#include "ExperimentFileCommands.h"
#include "GraphPdfExport.h"
#include "PsychometricObserver.h"
#include "RandomEngine.h"
#include "ResultStats.h"
#include "ResultsExport.h"
#include "ResultsTable.h"
#include "Simulation.h"
#include "StaircaseGraph.h"
#include "StaircasePages.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"
#include "ui_MainWindow.h"

#include <QDir>

namespace
{

// Shows a status-bar text at once: a run keeps the event loop waiting, so the
// bar is repainted here instead of when control returns.
void showProgress(QStatusBar *statusBar, const QString &text)
{
    statusBar->showMessage(text);
    statusBar->repaint();
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , dialogs(std::make_unique<QtUserDialogs>())
{
    ui->setupUi(this); // also connects the slots by name
    programTitle = windowTitle();
    setCentralWidget(ui->tabWidget); // discards the generated central widget

    connect(ui->spinBoxNStaircases, SIGNAL(valueChanged(int)), ui->tabStaircase, SLOT(setNumberOfTabs(int)));

    headerLabels = QStringList { "ID", "Ntrial", "Steps", "Inversions", "State", "Response" };
    ui->tableWidget->setColumnCount(6);
    ui->tableWidget->setHorizontalHeaderLabels(headerLabels);

    ui->tabStaircase->setNumberOfTabs(1);
    setupPlot();

    resize(minimumSizeHint());
    ui->tabStaircase->resize(ui->tabStaircase->sizeHint());
    connect(ui->comboBoxDrawStyle, SIGNAL(currentIndexChanged(int)), this, SLOT(update()));
    resize(0, 0); // raised to the minimum size: the window first shows at its smallest
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::setUserDialogs(std::unique_ptr<UserDialogs> userDialogs)
{
    dialogs = std::move(userDialogs);
}

void MainWindow::setupPlot()
{
    graphColors = StaircaseGraph::staircaseColors();
    // Connected after the tab set, so a new staircase count reaches the pages before the plot.
    connect(ui->spinBoxNStaircases, SIGNAL(valueChanged(int)), ui->customPlot, SLOT(setNumberOfGraphs(int)));
    StaircaseGraph::setupPlot(*ui->customPlot, font());
}

void MainWindow::on_actionNew_experiment_triggered()
{
    newExperiment(experimentWidgets());
    refreshResultsTable();
}

void MainWindow::on_actionOpenFile_triggered()
{
    const QString path = openExperiment(experimentWidgets(), *dialogs, this, fileLocations);
    if (!path.isEmpty())
        setWindowTitle(titleWithFile(programTitle, path));
}

void MainWindow::on_actionExportResultsToFile_triggered()
{
    const QString path
        = dialogs->saveFileName(this, tr("Save simulation results..."), QDir::currentPath(), tr(".csv"));
    if (path.isEmpty())
        return; // cancelled: nothing written, nothing to say
    const QString problem = exportResults(*ui->tableWidget->model(), path);
    if (!problem.isEmpty())
        dialogs->warning(this, tr("Warning"), problem);
}

void MainWindow::on_actionQuit_triggered()
{
    close();
}

void MainWindow::on_buttonStart_clicked()
{
    // Every page is checked before anything of the previous run is discarded.
    const QString problem = runProblem(readStaircasePages(*ui->tabStaircase));
    if (!problem.isEmpty()) {
        dialogs->warning(this, tr("Warning"), problem);
        return;
    }
    ui->customPlot->clearPlottables();
    ui->customPlot->clearGraphs();
    ui->tableWidget->clear();
    lastRunStaircaseCount = ui->tabStaircase->count();
    ui->spinBoxLastInvAverage->setEnabled(true);
    ui->spinBoxLastInvAverage->setValue(1); // may refresh the lists of the previous run first
    RunRecords records { vIds, vNtrial, vSteps, vInversions, vStates, vResponses, reversalLevels };
    records.clear();
    const PsychometricObserver observer(observerSettings());
    showProgress(ui->statusbar, tr("Computing..."));
    ui->tableWidget->setEnabled(false);
    int trialNumber = 0;
    for (int r = 0; r < ui->spinBoxSimRepetitions->value(); ++r) {
        configureStaircases();
        trialNumber = runRepetition(parStaircase, observer, RandomEngine::global(), records, trialNumber);
    }
    showProgress(ui->statusbar, tr("Updating table..."));
    ui->tableWidget->setEnabled(true);
    refreshResultsTable();
    showProgress(ui->statusbar, tr("Updating graph..."));
    updateGraph(lastRunStaircaseCount, 0); // no markers until the style is chosen again
    showProgress(ui->statusbar, tr("Data updated"));
    ui->buttonStart->setDown(false);
}

void MainWindow::on_spinBoxLastInvAverage_valueChanged(int value)
{
    QVector<int> maxInversions;
    for (int i = 0; i < ui->tabStaircase->count(); ++i)
        maxInversions.append(ui->tabStaircase->pageAt(i)->getMaxInversions());
    int lowest = value;
    const QString warning = lastReversalsWarning(maxInversions, value, lowest);
    if (!warning.isEmpty()) {
        dialogs->warning(this, tr("Warning"), warning);
        ui->spinBoxLastInvAverage->setValue(lowest); // runs this handler again with the lowered value
    }
    refreshAnalysis();
}

void MainWindow::on_spinBoxNStaircases_valueChanged(int n)
{
    // Averages can be recomputed only while the pages match the run whose results are shown.
    ui->spinBoxLastInvAverage->setEnabled(n == lastRunStaircaseCount);
}

void MainWindow::on_comboBoxDrawStyle_currentIndexChanged(int index)
{
    drawStyle = StaircaseGraph::scatterStyleForIndex(index, drawStyle);
    updateGraph(lastRunStaircaseCount, drawStyle);
}

void MainWindow::on_checkBox_stateChanged(int state)
{
    showReference = state != 0; // the partial state counts as on
    updateGraph(lastRunStaircaseCount, drawStyle);
}

void MainWindow::on_actionExport_graph_to_pdf_triggered()
{
    exportGraphPdf(*ui->customPlot, *dialogs, this, fileLocations);
}

void MainWindow::on_actionSaveFile_triggered()
{
    const QString path = saveExperiment(experimentWidgets(), *dialogs, this, fileLocations);
    if (!path.isEmpty())
        setWindowTitle(titleWithFile(programTitle, path));
}

ExperimentWidgets MainWindow::experimentWidgets() const
{
    return { ui->doubleSpinBoxMean, ui->doubleSpinBoxStd, ui->doubleSpinBoxLapseRate,
        ui->doubleSpinBoxGuessRate, ui->spinBoxNStaircases, ui->tabStaircase, ui->spinBoxSimRepetitions };
}

void MainWindow::configureStaircases()
{
    configureParStaircase(parStaircase, readStaircasePages(*ui->tabStaircase));
}

void MainWindow::refreshResultsTable()
{
    idTexts.clear();
    for (int i = 0; i < ui->tabStaircase->count(); ++i)
        idTexts.insert(i, ui->tabStaircase->pageAt(i)->getStringId());
    fillResultsTable(*ui->tableWidget, headerLabels,
        TrialColumns { vIds, vNtrial, vSteps, vInversions, vStates, vResponses }, idTexts,
        ui->checkBoxSortByID->isChecked());
    ui->labelNTrialsRequired->setText(QString::number(ui->tableWidget->rowCount()));
    refreshAnalysis();
}

void MainWindow::refreshAnalysis()
{
    ui->listWidget->clear();
    ui->listWidgetPsychoTarget->clear();
    const PsychometricObserver observer(observerSettings());
    if (reversalLevels.isEmpty())
        return;
    ui->listWidget->setEnabled(true);
    const AnalysisLines lines = analysisLines(reversalLevels, ui->spinBoxLastInvAverage->value(), observer);
    ui->listWidget->addItems(lines.averages);
    ui->listWidgetPsychoTarget->addItems(lines.targets);
}

void MainWindow::updateGraph(int staircaseCount, int scatterStyle)
{
    // The reference curve follows the observer's spin boxes as they are now, not as they were for the run.
    StaircaseGraph::draw(*ui->customPlot, *ui->tableWidget->model(), idTexts, graphColors,
        { staircaseCount, scatterStyle, showReference, observerSettings() });
}

ObserverSettings MainWindow::observerSettings() const
{
    ObserverSettings observer;
    observer.mean = ui->doubleSpinBoxMean->value();
    observer.standardDeviation = ui->doubleSpinBoxStd->value();
    observer.guessRate = ui->doubleSpinBoxGuessRate->value();
    observer.lapseRate = ui->doubleSpinBoxLapseRate->value();
    return observer;
}
