#include "MainWindow.h"

#include "ExperimentFileCommands.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"
#include "ui_MainWindow.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , dialogs(std::make_unique<QtUserDialogs>())
{
    ui->setupUi(this); // also connects the slots by name
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
    // Connected after the tab set, so a new staircase count reaches the pages before the plot.
    connect(ui->spinBoxNStaircases, SIGNAL(valueChanged(int)), ui->customPlot, SLOT(setNumberOfGraphs(int)));
}

void MainWindow::on_actionNew_experiment_triggered()
{
    newExperiment(experimentWidgets());
    refreshResultsTable();
}

void MainWindow::on_actionOpenFile_triggered()
{
    openExperiment(experimentWidgets(), *dialogs, this);
}

void MainWindow::on_actionExportResultsToFile_triggered() { }

void MainWindow::on_actionQuit_triggered()
{
    close();
}

void MainWindow::on_buttonStart_clicked() { }

void MainWindow::on_spinBoxLastInvAverage_valueChanged(int) { }

void MainWindow::on_spinBoxNStaircases_valueChanged(int n)
{
    // Averages can be recomputed only while the pages match the run whose results are shown.
    ui->spinBoxLastInvAverage->setEnabled(n == lastRunStaircaseCount);
}

void MainWindow::on_comboBoxDrawStyle_currentIndexChanged(int) { }

void MainWindow::on_checkBox_stateChanged(int) { }

void MainWindow::on_actionExport_graph_to_pdf_triggered() { }

void MainWindow::on_actionSaveFile_triggered()
{
    saveExperiment(experimentWidgets(), *dialogs, this);
}

ExperimentWidgets MainWindow::experimentWidgets() const
{
    return { ui->doubleSpinBoxMean, ui->doubleSpinBoxStd, ui->doubleSpinBoxLapseRate,
        ui->doubleSpinBoxGuessRate, ui->spinBoxNStaircases, ui->tabStaircase };
}

void MainWindow::configureStaircases() { }

void MainWindow::refreshResultsTable() { }

void MainWindow::refreshAnalysis() { }

void MainWindow::updateGraph(int, int) { }
