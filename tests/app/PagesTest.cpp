// The staircase parameter page, the tab set that holds the pages, and the
// reading of the pages before a run.
#include "QtTestSupport.h"
#include "StaircasePages.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

#include <QtTest>
#include <QtWidgets>

namespace
{

const char *const clampFields[] = { "spinBoxNClamp", "doubleSpinBoxLowerClamp", "doubleSpinBoxUpperClamp" };

void click(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
}

// The enabled state of the clamp fields, e.g. "on on on".
QString clampFieldsEnabled(const StaircaseParamSetter &page)
{
    QStringList states;
    for (const char *name : clampFields)
        states << (child<QWidget>(page, name)->isEnabled() ? "on" : "off");
    return states.join(' ');
}

// Every tab's title and string ID.
QStringList tabsShown(const TabStaircase &tabs)
{
    QStringList shown;
    for (int i = 0; i < tabs.count(); ++i)
        shown << tabs.tabText(i) + " = "
                + QString::fromStdString(staircaseId(readStaircasePage(*tabs.pageAt(i)), i));
    return shown;
}

} // namespace

class PagesTest : public QObject
{
    Q_OBJECT

private slots:
    void freshPageHasTheDefaults();
    void positiveSteps();
    void settersGoThroughTheWidgets();
    void clampFieldsFollowTheCheckBox();
    void stringIdIsTheUserTextOrThePageNumber();
    void tabSetGrowsAndShrinksAtTheEnd();
};

void PagesTest::freshPageHasTheDefaults()
{
    StaircaseParamSetter page;
    QVERIFY(readStaircasePage(page) == StaircaseSettings()); // the engine's defaults are a new page's
    QVERIFY(!child<QRadioButton>(page, "descendingRadio")->isChecked());
    QCOMPARE(clampFieldsEnabled(page), QString("off off off"));
    QVERIFY(!child<QCheckBox>(page, "checkBoxStringID")->isChecked());
    QVERIFY(!child<QLineEdit>(page, "lineEditStringID")->isEnabled());
    QVERIFY(child<QLineEdit>(page, "lineEditStringID")->text().isEmpty());
    QCOMPARE(child<QAbstractSpinBox>(page, "doubleSpinBoxLowerClamp")->text(), QString("-99999.000"));
    // A step list is one unbroken word; laid out without breaks, a long one took minutes.
    QCOMPARE(child<QTextEdit>(page, "textEdit")->wordWrapMode(), QTextOption::WrapAnywhere);
}

void PagesTest::positiveSteps()
{
    StaircaseParamSetter page;
    page.setPositiveStepsText("  1,0.5\n");
    QCOMPARE(*page.getPositiveSteps(), (std::vector<double> { 1, 0.5 }));
    page.setPositiveStepsText("1, 0.5");
    QCOMPARE(page.getPositiveSteps().problem().message,
        std::string("the positive step size \" 0.5\" is not a number"));
}

void PagesTest::settersGoThroughTheWidgets()
{
    StaircaseParamSetter page;
    page.setCorrectAnswers(2.9);
    QCOMPARE(page.getCorrectAnswers(), 2);
    page.setCorrectAnswers(1e12); // far outside int: clamped, not overflowed
    QCOMPARE(page.getCorrectAnswers(), 99);
    page.setStartLevel(-12345.6789);
    QCOMPARE(page.getStartLevel(), -12345.679); // three decimals
}

void PagesTest::clampFieldsFollowTheCheckBox()
{
    StaircaseParamSetter page;
    page.setClampActive(true);
    QCOMPARE(clampFieldsEnabled(page), QString("on on on"));
    page.setClampActive(false);
    QCOMPARE(clampFieldsEnabled(page), QString("off off off"));
    // A click by the user moves the fields with the box.
    page.show();
    click(child<QCheckBox>(page, "checkBoxClampActive"));
    QVERIFY(page.isClampActive());
    QCOMPARE(clampFieldsEnabled(page), QString("on on on"));
}

void PagesTest::stringIdIsTheUserTextOrThePageNumber()
{
    StaircaseParamSetter page;
    const auto id = [&page] { return QString::fromStdString(staircaseId(readStaircasePage(page), 1)); };
    QCOMPARE(id(), QString("1"));

    page.show();
    auto *box = child<QCheckBox>(page, "checkBoxStringID");
    auto *edit = child<QLineEdit>(page, "lineEditStringID");
    click(box);
    QVERIFY(edit->isEnabled());
    QCOMPARE(id(), QString()); // checked and empty: the empty text
    edit->setText("left eye");
    QCOMPARE(id(), QString("left eye"));
    click(box);
    QVERIFY(!edit->isEnabled());
    QCOMPARE(edit->text(), QString("left eye")); // kept while unchecked
    QCOMPARE(id(), QString("1"));
}

void PagesTest::tabSetGrowsAndShrinksAtTheEnd()
{
    TabStaircase tabs;
    tabs.setNumberOfTabs(1);
    StaircaseParamSetter *first = tabs.pageAt(0);
    first->setStartLevel(3.25);
    tabs.setNumberOfTabs(3);
    QCOMPARE(tabsShown(tabs), QStringList({ "Staircase 0 = 0", "Staircase 1 = 1", "Staircase 2 = 2" }));
    QCOMPARE(tabs.pageAt(0), first);
    QCOMPARE(first->getStartLevel(), 3.25);
    QCOMPARE(tabs.widget(2), tabs.pageAt(2));
    QCOMPARE(tabs.pageAt(2)->getStartLevel(), -5.0);
    QVERIFY(!tabs.pageAt(-1) && !tabs.pageAt(3));

    // Shrinking drops the last pages; growing again gives fresh ones, numbered by their tab.
    tabs.pageAt(1)->setMaxTrials(8);
    tabs.setNumberOfTabs(1);
    QCOMPARE(tabsShown(tabs), QStringList({ "Staircase 0 = 0" }));
    QCOMPARE(tabs.pageAt(0), first);
    tabs.setNumberOfTabs(2);
    QCOMPARE(tabsShown(tabs), QStringList({ "Staircase 0 = 0", "Staircase 1 = 1" }));
    QCOMPARE(tabs.pageAt(1)->getMaxTrials(), 100);

    tabs.setNumberOfTabs(-3); // treated as 0
    QCOMPARE(tabs.count(), 0);
    tabs.setNumberOfTabs(4);
    tabs.removeAllPages();
    QCOMPARE(tabs.count(), 0);
    QVERIFY(!tabs.pageAt(0));
    tabs.setNumberOfTabs(1);
    QCOMPARE(tabsShown(tabs), QStringList({ "Staircase 0 = 0" }));
}

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
