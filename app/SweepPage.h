#pragma once
// The Sweep tab: one setting of the experiment takes a list of values, the
// experiment runs once per value, and the table and the plot show what each
// value gives (Sweep.h computes, this page reads the widgets, runs it in the
// background and shows the result).
//
// A sweep reads the experiment when Run sweep is pressed, through the source
// the window gives (the experiment as Start would run it, and K), and never
// touches the program's own random engine or the run shown: every value starts
// its own generator from the seed 5489. Each value's exact values follow its
// simulation, or stand alone with "Exact only (no simulation)". The window shows the page's progress
// and Cancel in its status bar and its messages in its boxes, through the
// signals below.

#include "Sweep.h"

#include <QColor>
#include <QVector>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui
{
class SweepPage;
}
class BackgroundSweep;
class QCustomPlot;
class QTableView;
class SweepTableModel;

class SweepPage : public QWidget
{
    Q_OBJECT

public:
    explicit SweepPage(QWidget *parent = nullptr);
    ~SweepPage() override;

    // The experiment a sweep varies; its repetitions, seed and axes are the page's.
    void setExperimentSource(std::function<SweepRequest()> source);
    void setColors(QVector<QColor> staircaseColors);
    // Asks a question (true: yes); used before a sweep that may not fit in memory.
    void setQuestion(std::function<bool(const QString &)> ask);
    // Whether Run sweep may be pressed (not while a run of the window goes on).
    void setRunEnabled(bool enabled);
    bool isRunning() const;
    // The sweep shown; none before the first one ends.
    std::shared_ptr<const SweepResult> result() const;
    // The plot and the table as shown, for the report.
    QCustomPlot &plotView() const;
    QTableView &tableView() const;

public slots:
    // Lists "All staircases" and one item per staircase.
    void setStaircaseCount(int count);
    void cancel();

signals:
    void runningChanged(bool running);
    void progressed(int done, int total, const QString &text);
    // A refusal (a bad value list, a value a setting can't take) or a failure, for a message box.
    void problem(const QString &message);
    // A line for the status bar.
    void status(const QString &message);

private slots:
    void on_buttonSweepRun_clicked();
    void on_comboBoxSweepMeasure_currentIndexChanged(int index);
    void on_checkBoxSweepExactOnly_toggled(bool checked);

private:
    void showResult(std::shared_ptr<const SweepResult> result);
    void redraw();

    Ui::SweepPage *ui;
    std::function<SweepRequest()> experiment;
    std::function<bool(const QString &)> question;
    BackgroundSweep *background;
    SweepTableModel *table;
    QVector<QColor> colors;
    QString runningParameterLabel;
};

// Writes the sweep's --stats table (sweepStatsText) to `path`, ".tsv" added
// when the name has no suffix. Returns an empty string on success, otherwise a
// message naming the file and the system's reason.
QString exportSweep(const SweepResult &result, const QString &path);
