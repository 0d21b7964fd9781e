#include "StaircaseParamSetter.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

#include <boost/lexical_cast.hpp>

Q_DECLARE_METATYPE(std::vector<double>)

class StaircaseParamSetterTest : public QObject
{
    Q_OBJECT

private slots:
    void freshPageHasTheDefaults();
    void fieldsHaveTheirRanges();
    void positiveSteps_data();
    void positiveSteps();
    void positiveStepsRejectTokensThatAreNoNumbers_data();
    void positiveStepsRejectTokensThatAreNoNumbers();
    void settersGoThroughTheWidgets();
    void clampFieldsFollowTheCheckBox();
    void stringIdIsTheUserTextOrThePageNumber();
};

template <typename T> static T *field(QWidget &page, const char *name)
{
    T *w = page.findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

void StaircaseParamSetterTest::freshPageHasTheDefaults()
{
    StaircaseParamSetter page;
    QVERIFY(page.isAscending());
    QVERIFY(!field<QRadioButton>(page, "descendingRadio")->isChecked());
    QCOMPARE(page.getStartLevel(), -5.0);
    QCOMPARE(page.getCorrectAnswers(), 1);
    QCOMPARE(page.getMaxInversions(), 4);
    QCOMPARE(page.getMaxTrials(), 100);
    QCOMPARE(page.getNegativeStep(), 0.5);
    QCOMPARE(page.getPositiveStepsText(), std::string("0.2"));
    QVERIFY(!page.isClampActive());
    QCOMPARE(page.getMaxClampHits(), 0);
    QCOMPARE(page.getLowerClamp(), -99999.0);
    QCOMPARE(page.getUpperClamp(), 99999.0);
    for (const char *name :
        { "spinBoxNClamp", "doubleSpinBoxLowerClamp", "doubleSpinBoxUpperClamp", "lineEditStringID" })
        QVERIFY2(!field<QWidget>(page, name)->isEnabled(), name);
    QVERIFY(!field<QCheckBox>(page, "checkBoxStringID")->isChecked());
    QVERIFY(field<QLineEdit>(page, "lineEditStringID")->text().isEmpty());
    QCOMPARE(field<QDoubleSpinBox>(page, "doubleSpinBoxLowerClamp")->text(), QString("-99999.000"));
}

void StaircaseParamSetterTest::fieldsHaveTheirRanges()
{
    StaircaseParamSetter page;
    struct Range {
        const char *name;
        double min, max;
    };
    const Range ranges[] = {
        { "doubleSpinBoxStartState", -100000, 100000 },
        { "spinBoxCorrectAnswers", 1, 99 },
        { "spinBoxNInversions", 1, 999999 },
        { "spinBoxNTrials", 1, 999999 },
        { "doubleSpinBoxNegativeStep", -99999, 99999 },
        { "spinBoxNClamp", 0, 99 },
        { "doubleSpinBoxLowerClamp", -99999, 99999 },
        { "doubleSpinBoxUpperClamp", -99999, 99999 },
    };
    for (const Range &r : ranges) {
        auto *box = field<QAbstractSpinBox>(page, r.name);
        QCOMPARE(box->property("minimum").toDouble(), r.min);
        QCOMPARE(box->property("maximum").toDouble(), r.max);
        QVERIFY(box->isAccelerated());
        if (auto *d = qobject_cast<QDoubleSpinBox *>(box))
            QCOMPARE(d->decimals(), 3);
    }
}

void StaircaseParamSetterTest::positiveSteps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<double>>("steps");
    QTest::newRow("default") << "0.2" << std::vector<double> { 0.2 };
    QTest::newRow("tooltip example") << "1,0.5,0.2" << std::vector<double> { 1, 0.5, 0.2 };
    QTest::newRow("blanks and line break at the ends") << "  1,0.5\n" << std::vector<double> { 1, 0.5 };
    QTest::newRow("doubled and trailing comma") << "1,,0.5," << std::vector<double> { 1, 0.5 };
    QTest::newRow("empty") << "" << std::vector<double> {};
}

void StaircaseParamSetterTest::positiveSteps()
{
    QFETCH(QString, text);
    QFETCH(std::vector<double>, steps);
    StaircaseParamSetter page;
    page.setPositiveStepsText(text.toStdString());
    QCOMPARE(page.getPositiveSteps(), steps);
}

void StaircaseParamSetterTest::positiveStepsRejectTokensThatAreNoNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("blank after comma") << "1, 0.5";
    QTest::newRow("semicolon") << "1;0.5";
    QTest::newRow("trailing letter") << "1,0.5x";
    QTest::newRow("word") << "fast";
}

void StaircaseParamSetterTest::positiveStepsRejectTokensThatAreNoNumbers()
{
    QFETCH(QString, text);
    StaircaseParamSetter page;
    page.setPositiveStepsText(text.toStdString());
    QVERIFY_THROWS_EXCEPTION(boost::bad_lexical_cast, page.getPositiveSteps());
}

void StaircaseParamSetterTest::settersGoThroughTheWidgets()
{
    StaircaseParamSetter page;
    page.setCorrectAnswers(2.9);
    QCOMPARE(page.getCorrectAnswers(), 2);
    page.setCorrectAnswers(1e12); // far outside int: clamped, not overflowed
    QCOMPARE(page.getCorrectAnswers(), 99);
    page.setMaxInversions(0);
    QCOMPARE(page.getMaxInversions(), 1);
    page.setAscending(false);
    QVERIFY(!page.isAscending());
    QVERIFY(field<QRadioButton>(page, "descendingRadio")->isChecked());
    page.setStartLevel(-12345.6789);
    QCOMPARE(page.getStartLevel(), -12345.679); // three decimals
    page.setUpperClamp(1e6);
    QCOMPARE(page.getUpperClamp(), 99999.0);
}

void StaircaseParamSetterTest::clampFieldsFollowTheCheckBox()
{
    StaircaseParamSetter page;
    const char *clampFields[] = { "spinBoxNClamp", "doubleSpinBoxLowerClamp", "doubleSpinBoxUpperClamp" };

    page.setClampActive(true);
    QVERIFY(page.isClampActive());
    for (const char *name : clampFields)
        QVERIFY2(field<QWidget>(page, name)->isEnabled(), name);

    page.setClampActive(false);
    QVERIFY(!page.isClampActive());
    for (const char *name : clampFields)
        QVERIFY2(!field<QWidget>(page, name)->isEnabled(), name);

    // A click by the user moves the fields with the box.
    page.show();
    auto *box = field<QCheckBox>(page, "checkBoxClampActive");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QVERIFY(page.isClampActive());
    for (const char *name : clampFields)
        QVERIFY2(field<QWidget>(page, name)->isEnabled(), name);
}

void StaircaseParamSetterTest::stringIdIsTheUserTextOrThePageNumber()
{
    StaircaseParamSetter first;
    StaircaseParamSetter second;
    QCOMPARE(first.getStringId(), QString("0"));
    QCOMPARE(second.getStringId(), QString("1"));

    second.show();
    auto *box = field<QCheckBox>(second, "checkBoxStringID");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    auto *edit = field<QLineEdit>(second, "lineEditStringID");
    QVERIFY(edit->isEnabled());
    QCOMPARE(second.getStringId(), QString()); // checked and empty: the empty text
    edit->setText("left eye");
    QCOMPARE(second.getStringId(), QString("left eye"));

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QVERIFY(!edit->isEnabled());
    QCOMPARE(edit->text(), QString("left eye")); // kept while unchecked
    QCOMPARE(second.getStringId(), QString("1"));
}

QTEST_MAIN(StaircaseParamSetterTest)
#include "StaircaseParamSetterTest.moc"
