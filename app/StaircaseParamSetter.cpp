#include "StaircaseParamSetter.h"

#include "StaircaseSettings.h"
#include "ui_StaircaseParamSetter.h"

StaircaseParamSetter::StaircaseParamSetter(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::StaircaseParamSetter)
{
    ui->setupUi(this);
    ui->ascendingRadio->setChecked(true);
    ui->textEdit->setPlainText(QStringLiteral("0.2"));
    ui->doubleSpinBoxUpperClamp->setEnabled(false);
    ui->doubleSpinBoxLowerClamp->setEnabled(false);
    ui->spinBoxNClamp->setEnabled(false);
    ui->lineEditStringID->setEnabled(false);

    // clicked() comes only from the user, so programmatic changes go through setClampActive.
    connect(ui->checkBoxClampActive, SIGNAL(clicked(bool)), ui->spinBoxNClamp, SLOT(setEnabled(bool)));
    connect(
        ui->checkBoxClampActive, SIGNAL(clicked(bool)), ui->doubleSpinBoxLowerClamp, SLOT(setEnabled(bool)));
    connect(
        ui->checkBoxClampActive, SIGNAL(clicked(bool)), ui->doubleSpinBoxUpperClamp, SLOT(setEnabled(bool)));
    connect(ui->checkBoxStringID, SIGNAL(clicked(bool)), ui->lineEditStringID, SLOT(setEnabled(bool)));

    for (const QSpinBox *box : findChildren<QSpinBox *>())
        connect(box, &QSpinBox::valueChanged, this, &StaircaseParamSetter::edited);
    for (const QDoubleSpinBox *box : findChildren<QDoubleSpinBox *>())
        connect(box, &QDoubleSpinBox::valueChanged, this, &StaircaseParamSetter::edited);
    for (const QAbstractButton *button : findChildren<QAbstractButton *>())
        connect(button, &QAbstractButton::toggled, this, &StaircaseParamSetter::edited);
    connect(ui->lineEditStringID, &QLineEdit::textChanged, this, &StaircaseParamSetter::edited);
    connect(ui->textEdit, &QTextEdit::textChanged, this, &StaircaseParamSetter::edited);
}

StaircaseParamSetter::~StaircaseParamSetter()
{
    delete ui;
}

bool StaircaseParamSetter::isAscending() const
{
    return ui->ascendingRadio->isChecked();
}

void StaircaseParamSetter::setAscending(bool ascending)
{
    ui->ascendingRadio->setChecked(ascending);
    ui->descendingRadio->setChecked(!ascending);
}

double StaircaseParamSetter::getStartLevel() const
{
    return ui->doubleSpinBoxStartState->value();
}
void StaircaseParamSetter::setStartLevel(double level)
{
    ui->doubleSpinBoxStartState->setValue(level);
}

int StaircaseParamSetter::getCorrectAnswers() const
{
    return ui->spinBoxCorrectAnswers->value();
}

void StaircaseParamSetter::setCorrectAnswers(double count)
{
    // Compare before converting: a double outside int's range must not overflow the cast.
    const int max = ui->spinBoxCorrectAnswers->maximum();
    const int min = ui->spinBoxCorrectAnswers->minimum();
    ui->spinBoxCorrectAnswers->setValue(count >= max ? max : count <= min ? min : static_cast<int>(count));
}

int StaircaseParamSetter::getMaxInversions() const
{
    return ui->spinBoxNInversions->value();
}
void StaircaseParamSetter::setMaxInversions(int count)
{
    ui->spinBoxNInversions->setValue(count);
}
int StaircaseParamSetter::getMaxTrials() const
{
    return ui->spinBoxNTrials->value();
}
void StaircaseParamSetter::setMaxTrials(int count)
{
    ui->spinBoxNTrials->setValue(count);
}
double StaircaseParamSetter::getNegativeStep() const
{
    return ui->doubleSpinBoxNegativeStep->value();
}
void StaircaseParamSetter::setNegativeStep(double step)
{
    ui->doubleSpinBoxNegativeStep->setValue(step);
}

std::string StaircaseParamSetter::getPositiveStepsText() const
{
    return ui->textEdit->toPlainText().toStdString();
}

void StaircaseParamSetter::setPositiveStepsText(const std::string &text)
{
    ui->textEdit->setPlainText(QString::fromStdString(text));
}

Expected<std::vector<double>> StaircaseParamSetter::getPositiveSteps() const
{
    return positiveStepSizes(getPositiveStepsText());
}

bool StaircaseParamSetter::isClampActive() const
{
    return ui->checkBoxClampActive->isChecked();
}

void StaircaseParamSetter::setClampActive(bool active)
{
    ui->checkBoxClampActive->setChecked(active);
    ui->doubleSpinBoxLowerClamp->setEnabled(active);
    ui->doubleSpinBoxUpperClamp->setEnabled(active);
    ui->spinBoxNClamp->setEnabled(active);
}

double StaircaseParamSetter::getLowerClamp() const
{
    return ui->doubleSpinBoxLowerClamp->value();
}
void StaircaseParamSetter::setLowerClamp(double level)
{
    ui->doubleSpinBoxLowerClamp->setValue(level);
}
double StaircaseParamSetter::getUpperClamp() const
{
    return ui->doubleSpinBoxUpperClamp->value();
}
void StaircaseParamSetter::setUpperClamp(double level)
{
    ui->doubleSpinBoxUpperClamp->setValue(level);
}
int StaircaseParamSetter::getMaxClampHits() const
{
    return ui->spinBoxNClamp->value();
}
void StaircaseParamSetter::setMaxClampHits(int count)
{
    ui->spinBoxNClamp->setValue(count);
}

bool StaircaseParamSetter::isStringIdActive() const
{
    return ui->checkBoxStringID->isChecked();
}

void StaircaseParamSetter::setStringIdActive(bool active)
{
    ui->checkBoxStringID->setChecked(active);
    ui->lineEditStringID->setEnabled(active);
}

QString StaircaseParamSetter::getStringIdText() const
{
    return ui->lineEditStringID->text();
}

void StaircaseParamSetter::setStringIdText(const QString &text)
{
    ui->lineEditStringID->setText(text);
}
