#pragma once
// The program's one window. The widget tree comes from forms/MainWindow.ui; the
// experiment lives in its widgets (the observer's spin boxes, the repetition
// count and one StaircaseParamSetter page per staircase in the TabStaircase).
// Each slot below is one user command, connected by name; the slots read the
// widgets and hand the work to small helpers in app/ (the run, the results
// table and statistics, the experiment files, the graph), then show the result.
// Prompts and message boxes go through a UserDialogs object, which tests replace;
// the helpers ask nothing and return their problems for the slots to show. The
// file-name prompts and the Save commands go through a FilePrompts made for the
// command.
// An ExperimentDocument knows the experiment's file and whether the widgets
// have changed since it was opened, saved or newly created: the title shows
// it, and New, Open and closing the window (Quit too) offer to save first.
//
// Start reads the widgets once into a RunRequest and runs it in the background
// (BackgroundRun) with progress and Cancel; the finished RunResult is the one
// owner of the run's data: the results table is a view of it, and the analysis,
// the graph and the export read it. The statistics across repetitions
// (RepetitionStatsPanel) and the Graph tab's repetition choice
// (RepetitionSelector) are small objects of their own that the slots hand the
// widgets' values to. The Sweep tab is a SweepPage of its own: the window only
// hands it the experiment, shows its progress and messages, and exports it.

#include <QColor>
#include <QMainWindow>
#include <QStringList>
#include <QVector>

#include <functional>
#include <map>
#include <memory>

#include "FileLocations.h"
#include "GraphDrawing.h"
#include "ReportPdf.h"
#include "RunCaption.h"
#include "StaircaseSettings.h"
#include "UserDialogs.h"

namespace Ui
{
class MainWindow;
}
struct ExperimentWidgets;
class BackgroundRun;
class ExperimentDocument;
class FilePrompts;
struct FinishedRun;
struct EstimatorSettings;
class QProgressBar;
class QPushButton;
class RepetitionSelector;
class RepetitionStatsPanel;
class ResultsModel;
class RunResult;

// The parts of showing a run, each of which may run out of memory on its own:
// a run that fitted can still be too large to show whole.
enum class ShownPart { table, analysis, statistics, graph };

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Replaces the dialogs the window asks for file names and shows its messages with.
    void setUserDialogs(std::unique_ptr<UserDialogs> userDialogs);
    // Replaces the clock that tells when a run ended (QTime::currentTime).
    void setClock(std::function<QTime()> now);
    // Test seam: called as each part of showing a run begins; it may throw
    // std::bad_alloc, as the part's own allocations do when memory runs out.
    void setShowFault(std::function<void(ShownPart)> fault);

protected:
    void showEvent(QShowEvent *event) override;
    // Offers to save a changed experiment first; Cancel keeps the window open.
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_actionNew_experiment_triggered();
    void on_actionOpenFile_triggered();
    void on_actionExportResultsToFile_triggered();
    void on_actionExportRepetitionSummary_triggered();
    void on_actionQuit_triggered();
    void on_buttonStart_clicked();
    void on_spinBoxLastInvAverage_valueChanged(int value);
    void on_spinBoxNStaircases_valueChanged(int n);
    void on_comboBoxDrawStyle_currentIndexChanged(int index);
    void on_checkBox_stateChanged(int state);
    void on_actionExport_graph_to_pdf_triggered();
    void on_actionSaveFile_triggered();
    void on_spinBoxLastReversalsPerEstimate_valueChanged(int value);
    void on_comboBoxEstimatesStaircase_currentIndexChanged(int index);
    void on_spinBoxFirstReversalForTrialMean_valueChanged(int value);
    void on_comboBoxEstimator_currentIndexChanged(int index);
    void on_comboBoxHistogramQuantity_currentIndexChanged(int index);
    void on_checkBoxExactRows_toggled(bool checked);
    void on_comboBoxGraphRepetition_currentIndexChanged(int index);
    void on_buttonResetView_clicked();
    void on_actionExportSweep_triggered();
    void on_actionSaveFileAs_triggered();
    void on_actionExportTidyTrials_triggered();
    void on_actionExportReport_triggered();
    void on_actionQuickGuide_triggered();
    void on_actionAbout_triggered();
    void on_buttonDuplicateStaircase_clicked();

private:
    void setupPlot();
    void setupRunControls();
    void setupRepetitionViews();
    void connectRun();
    void setupDocument();
    void setupSweep();
    void showProgress(int done, int total, const QString &text);
    // Ctrl+R starts a run from every tab, as Start does.
    // Asks for a .tsv file and writes the run shown to it with `write` (which
    // returns a problem or nothing); warns when no run is shown.
    void exportShownRun(
        const QString &title, const std::function<QString(const RunResult &, const QString &)> &write);
    void setupStartShortcut();
    // The run shown now belongs to an experiment that New or Open has replaced.
    void markRunOfPreviousExperiment();
    // Disables the commands that must wait for the run's end, and shows the progress and Cancel.
    void setRunning(bool running);
    // Shows the run part by part: when the table does not fit in memory the
    // previous run stays shown whole; when another part does not, it is left
    // empty and a warning says so.
    void showRun(const FinishedRun &run);
    void refreshResultsTable();
    // Shows `shown` in the table (sorted as the check box says), then the
    // analysis lists; false, with the table as it was, when memory ran out.
    bool showResults(std::shared_ptr<const RunResult> shown);
    void refreshAnalysis();
    // Draws the run shown; 0 staircases before the first. A drawing that runs
    // out of memory leaves the plot empty with a note, and a warning.
    void updateGraph(int scatterStyle);
    // Runs `show`; false when it ran out of memory (std::bad_alloc).
    bool fitsInMemory(ShownPart part, const std::function<void()> &show);
    // "There was not enough memory to show <part> of this run." and `consequence`.
    void warnNotShown(ShownPart part, const QString &consequence);
    int shownStaircaseCount() const;
    // Asks for file names and whether to save through the dialogs installed now.
    FilePrompts filePrompts();
    ExperimentWidgets experimentWidgets() const;
    // The observer as the four spin boxes give it now.
    ObserverSettings observerSettings() const;
    EstimatorSettings estimatorSettings() const;

    Ui::MainWindow *ui;
    QStringList headerLabels;
    QVector<QColor> graphColors;
    int drawStyle = 0;
    bool showReference = false;
    std::unique_ptr<UserDialogs> dialogs;
    // The results table's model; it holds the run shown.
    ResultsModel *results = nullptr;
    BackgroundRun *backgroundRun = nullptr;
    QProgressBar *runProgress = nullptr;
    QPushButton *cancelRun = nullptr;
    bool sizedForScreen = false;
    // Where the Open, Save and export dialogs start.
    FileLocations fileLocations;
    QString programTitle;
    ExperimentDocument *document = nullptr;
    // The experiment's name when Start was last pressed, and the caption of the run shown.
    QString startedExperiment;
    RunCaption runCaption;
    std::function<QTime()> clock = &QTime::currentTime;
    std::function<void(ShownPart)> showFault;
    std::unique_ptr<RepetitionStatsPanel> repetitionStats;
    RepetitionSelector *graphRepetition = nullptr;
    // Runs started since the program started (each draws on from the one generator), the number
    // of the run when Start was last pressed, and the report's title block of the run shown.
    int runsStarted = 0;
    int startedRunNumber = 0;
    ReportTitle shownRunReport;
    // The ranges of the graph as last drawn, which Reset view brings back.
    GraphDrawing::View graphView;
};
