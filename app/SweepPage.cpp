#include "SweepPage.h"

#include "AtomicFile.h"
#include "BackgroundSweep.h"
#include "FileLocations.h"
#include "RunMemory.h"
#include "SweepPlot.h"
#include "SweepTableModel.h"
#include "ui_SweepPage.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLocale>

SweepPage::SweepPage(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::SweepPage)
    , background(new BackgroundSweep(this))
    , table(new SweepTableModel(this))
{
    ui->setupUi(this); // also connects the slots by name
    for (SweepParameter parameter : allSweepParameters)
        ui->comboBoxSweepParameter->addItem(tr(sweepParameterLabel(parameter)), int(parameter));
    ui->comboBoxSweepMeasure->addItems(sweepMeasureNames());
    ui->tableSweep->setModel(table);
    ui->tableSweep->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    enableCopy(*ui->tableSweep);
    SweepPlot::setupPlot(*ui->plotSweep, font());
    setStaircaseCount(1);

    connect(background, &BackgroundSweep::progressed, this, &SweepPage::progressed);
    connect(background, &BackgroundSweep::finished, this, [this](std::shared_ptr<const SweepResult> result) {
        showResult(std::move(result));
        emit runningChanged(false);
        emit status(tr("Sweep done"));
    });
    connect(background, &BackgroundSweep::cancelled, this, [this] {
        emit runningChanged(false);
        emit status(tr("Sweep cancelled; the sweep shown is the previous one."));
    });
    connect(background, &BackgroundSweep::failed, this, [this](const QString &reason) {
        emit runningChanged(false);
        emit problem(reason + tr("\nThe sweep shown is the previous one."));
    });
}

SweepPage::~SweepPage()
{
    delete ui;
}

void SweepPage::setExperimentSource(std::function<SweepRequest()> source)
{
    experiment = std::move(source);
}

void SweepPage::setColors(QVector<QColor> staircaseColors)
{
    colors = std::move(staircaseColors);
    redraw();
}

void SweepPage::setQuestion(std::function<bool(const QString &)> ask)
{
    question = std::move(ask);
}

void SweepPage::setRunEnabled(bool enabled)
{
    ui->buttonSweepRun->setEnabled(enabled);
}

bool SweepPage::isRunning() const
{
    return background->isRunning();
}

std::shared_ptr<const SweepResult> SweepPage::result() const
{
    return table->result();
}

QCustomPlot &SweepPage::plotView() const
{
    return *ui->plotSweep;
}

QTableView &SweepPage::tableView() const
{
    return *ui->tableSweep;
}

void SweepPage::setStaircaseCount(int count)
{
    QComboBox &choice = *ui->comboBoxSweepStaircase;
    const int kept = choice.currentIndex();
    choice.clear();
    choice.addItem(tr("All staircases"), -1);
    for (int s = 0; s < count; ++s)
        choice.addItem(tr("Staircase %1").arg(s), s);
    choice.setCurrentIndex(kept >= 0 && kept < choice.count() ? kept : 0);
}

void SweepPage::cancel()
{
    background->cancel();
}

void SweepPage::on_buttonSweepRun_clicked()
{
    if (!experiment || isRunning())
        return;
    const Expected<std::vector<double>> values
        = parseSweepValues(ui->lineEditSweepValues->text().toStdString());
    if (!values) {
        emit problem(QString::fromStdString(values.problem().message));
        return;
    }
    SweepRequest request = experiment();
    request.base.repetitions = ui->spinBoxSweepRepetitions->value();
    request.seed = RandomEngine::defaultSeed;
    const auto parameter = SweepParameter(ui->comboBoxSweepParameter->currentData().toInt());
    const int staircase = ui->comboBoxSweepStaircase->currentData().toInt();
    // The observer's settings and K belong to no staircase.
    request.axes = { { parameter, isStaircaseParameter(parameter) ? staircase : -1, *values } };
    const Expected<SweepPlan> planned = planSweep(request);
    if (!planned) {
        emit problem(QString::fromStdString(planned.problem().message));
        return;
    }
    const SweepPlan &plan = *planned;
    const bool exactOnly = ui->checkBoxSweepExactOnly->isChecked();
    // Each thread keeps one value's trials until their statistics are taken.
    const std::uint64_t held = exactOnly ? 0 : sweepMaximumTrialsHeld(plan, sweepThreads(plan));
    const long double bytes = static_cast<long double>(held) * RunResult::bytesPerTrial;
    if (bytes > static_cast<long double>(runMemoryBudget()) && question) {
        const QLocale english(QLocale::English);
        if (!question(
                tr("This sweep may hold up to %1 trials at once (about %2 GB). Run anyway?")
                    .arg(english.toString(qulonglong(held)), english.toString(double(bytes / 1e9L), 'f', 1))))
            return;
    }
    runningParameterLabel = ui->comboBoxSweepParameter->currentText();
    if (isStaircaseParameter(parameter) && staircase >= 0)
        runningParameterLabel += tr(" (staircase %1)").arg(staircase);
    emit runningChanged(true);
    emit status(tr("Sweeping..."));
    background->start(request, plan, exactOnly);
}

void SweepPage::on_comboBoxSweepMeasure_currentIndexChanged(int)
{
    redraw();
}

void SweepPage::on_checkBoxSweepExactOnly_toggled(bool checked)
{
    ui->spinBoxSweepRepetitions->setEnabled(!checked);
}

void SweepPage::showResult(std::shared_ptr<const SweepResult> result)
{
    table->setResult(std::move(result), runningParameterLabel);
    redraw();
}

void SweepPage::redraw()
{
    SweepPlot::draw(*ui->plotSweep, table->result().get(),
        SweepMeasure(std::max(0, ui->comboBoxSweepMeasure->currentIndex())),
        table->headerData(SweepTableModel::value, Qt::Horizontal).toString(), colors);
}

QString exportSweep(const SweepResult &result, const QString &path)
{
    const QString target = withDefaultSuffix(path, QStringLiteral("tsv"));
    AtomicFile file(QFile::encodeName(target).toStdString());
    const std::string text = sweepStatsText(result);
    if (file.open() && file.write(text.data(), text.size()) && file.commit())
        return QString();
    return QObject::tr("Could not write the sweep to %1:\n%2")
        .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(file.error().c_str()));
}
