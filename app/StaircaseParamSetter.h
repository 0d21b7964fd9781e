#pragma once
// One staircase's parameter page: direction, start level, run length, stopping
// limits, step sizes, clamps and the staircase's string ID. The page is a
// passive form: the run, the experiment file commands and the results table
// read and write it through the typed accessors below. Setters go through the
// widgets, so every value is clamped to its field's range.

#include "Problem.h"

#include <QWidget>

#include <string>
#include <vector>

namespace Ui
{
class StaircaseParamSetter;
}

class StaircaseParamSetter : public QWidget
{
    Q_OBJECT

public:
    explicit StaircaseParamSetter(QWidget *parent = nullptr);
    ~StaircaseParamSetter() override;

    bool isAscending() const;
    void setAscending(bool ascending);
    double getStartLevel() const;
    void setStartLevel(double level);
    int getCorrectAnswers() const;
    void setCorrectAnswers(double count); // truncated toward zero
    int getMaxInversions() const;
    void setMaxInversions(int count);
    int getMaxTrials() const;
    void setMaxTrials(int count);
    double getNegativeStep() const;
    void setNegativeStep(double step);

    // The positive-step text as 8-bit characters, e.g. "1,0.5,0.2".
    std::string getPositiveStepsText() const;
    void setPositiveStepsText(const std::string &text);
    // The text parsed strictly (positiveStepSizes), or the problem with it.
    Expected<std::vector<double>> getPositiveSteps() const;

    bool isClampActive() const;
    // Checks or unchecks the box and enables or disables the three clamp fields with it.
    void setClampActive(bool active);
    double getLowerClamp() const;
    void setLowerClamp(double level);
    double getUpperClamp() const;
    void setUpperClamp(double level);
    int getMaxClampHits() const;
    void setMaxClampHits(int count);

    // The "String ID" box and its text, which is kept while the box is unchecked.
    bool isStringIdActive() const;
    // Checks or unchecks the box and enables or disables the text with it.
    void setStringIdActive(bool active);
    QString getStringIdText() const;
    void setStringIdText(const QString &text);

signals:
    // Any field changed, by the user or through a setter.
    void edited();

private:
    Ui::StaircaseParamSetter *ui;
};
