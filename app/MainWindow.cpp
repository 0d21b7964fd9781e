#include "MainWindow.h"

#include "StaircaseGraph.h"
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
    graphColors = StaircaseGraph::staircaseColors();
    // Connected after the tab set, so a new staircase count reaches the pages before the plot.
    connect(ui->spinBoxNStaircases, SIGNAL(valueChanged(int)), ui->customPlot, SLOT(setNumberOfGraphs(int)));
    StaircaseGraph::setupPlot(*ui->customPlot, font());
}

void MainWindow::on_actionNew_experiment_triggered() { }

void MainWindow::on_actionOpenFile_triggered() { }

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
    StaircaseGraph::exportPdf(*ui->customPlot, *dialogs, this);
}

void MainWindow::on_actionSaveFile_triggered() { }

void MainWindow::configureStaircases() { }

void MainWindow::refreshResultsTable() { }

void MainWindow::refreshAnalysis() { }

void MainWindow::updateGraph(int staircaseCount, int scatterStyle)
{
    // The reference curve follows the observer's spin boxes as they are now, not as they were for the run.
    const StaircaseGraph::Observer observer { ui->doubleSpinBoxMean->value(), ui->doubleSpinBoxStd->value(),
        ui->doubleSpinBoxGuessRate->value(), ui->doubleSpinBoxLapseRate->value() };
    StaircaseGraph::draw(*ui->customPlot, *ui->tableWidget->model(), idTexts, graphColors,
        { staircaseCount, scatterStyle, showReference, observer });
}
