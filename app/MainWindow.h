#pragma once
// The program's one window. The widget tree comes from forms/MainWindow.ui; the
// experiment lives in its widgets (the observer's spin boxes, the repetition
// count and one StaircaseParamSetter page per staircase in the TabStaircase).
// Each slot below is one user command, connected by name; the slots read the
// widgets and hand the work to small helpers in app/ (the run, the results
// table and statistics, the experiment files, the graph), then show the result.
// Prompts and message boxes go through a UserDialogs object, which tests replace.

#include <QBitArray>
#include <QColor>
#include <QMainWindow>
#include <QMap>
#include <QStringList>
#include <QVector>

#include <memory>

#include "FileLocations.h"
#include "ParStaircase.h"
#include "StaircaseSettings.h"
#include "UserDialogs.h"

namespace Ui
{
class MainWindow;
}
struct ExperimentWidgets;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Replaces the dialogs the window asks for file names and shows its messages with.
    void setUserDialogs(std::unique_ptr<UserDialogs> userDialogs);

private slots:
    void on_actionNew_experiment_triggered();
    void on_actionOpenFile_triggered();
    void on_actionExportResultsToFile_triggered();
    void on_actionQuit_triggered();
    void on_buttonStart_clicked();
    void on_spinBoxLastInvAverage_valueChanged(int value);
    void on_spinBoxNStaircases_valueChanged(int n);
    void on_comboBoxDrawStyle_currentIndexChanged(int index);
    void on_checkBox_stateChanged(int state);
    void on_actionExport_graph_to_pdf_triggered();
    void on_actionSaveFile_triggered();

private:
    void setupPlot();
    void configureStaircases();
    void refreshResultsTable();
    void refreshAnalysis();
    void updateGraph(int staircaseCount, int scatterStyle);
    ExperimentWidgets experimentWidgets() const;
    // The observer as the four spin boxes give it now.
    ObserverSettings observerSettings() const;

    Ui::MainWindow *ui;
    int lastRunStaircaseCount = 0;
    ParStaircase parStaircase;
    QStringList headerLabels;
    // The records of the last run, one element per trial in all six arrays.
    QBitArray vResponses;
    QVector<int> vIds, vInversions, vSteps, vNtrial;
    QVector<double> vStates;
    QVector<QColor> graphColors;
    QMap<int, QString> idTexts;
    // Staircase id -> (inversion count -> level of the last trial presented at that count).
    QMap<int, QMap<int, double>> reversalLevels;
    int drawStyle = 0;
    bool showReference = false;
    std::unique_ptr<UserDialogs> dialogs;
    // Where the Open, Save and export dialogs start; the title that Open and Save extend by the file's name.
    FileLocations fileLocations;
    QString programTitle;
};
