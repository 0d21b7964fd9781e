#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "StaircaseParamSetter.h"
#include "StaircasePlot.h"
#include "TabStaircase.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void buildsWithoutWarnings();
    void startsWithOneStaircaseAndAnEmptyTable();
    void inputsHaveTheirRanges_data();
    void inputsHaveTheirRanges();
    void comboBoxesListTheirItems();
    void fileMenuListsItsCommandsWithShortcuts();
    void staircaseCountDrivesPagesAndGraphs();
    void averagingIsDisabledWhilePagesDifferFromTheLastRun();
    void quitClosesTheLastWindow();
};

template <typename T> static T *widget(QWidget &window, const char *name)
{
    T *w = window.findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

void MainWindowTest::buildsWithoutWarnings()
{
    // A renamed widget would leave a slot unconnected, which Qt only reports as a warning.
    QTest::failOnWarning(QRegularExpression(".*"));
    MainWindow window;
    QCOMPARE(window.windowTitle(), QString("Quorvel v 0.5"));
}

void MainWindowTest::startsWithOneStaircaseAndAnEmptyTable()
{
    MainWindow window;
    window.show();
    QCOMPARE(window.windowTitle(), QString("Quorvel v 0.5"));

    auto *tabs = widget<QTabWidget>(window, "tabWidget");
    QCOMPARE(window.centralWidget(), tabs);
    QCOMPARE(tabs->currentIndex(), 0);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    QCOMPARE(titles, QStringList({ "Simulator", "Analysis", "Graph" }));

    auto *pages = widget<TabStaircase>(window, "tabStaircase");
    QCOMPARE(pages->count(), 1);
    QCOMPARE(pages->tabText(0), QString("Staircase 0"));
    QCOMPARE(widget<QSpinBox>(window, "spinBoxNStaircases")->value(), 1);

    auto *table = widget<QTableWidget>(window, "tableWidget");
    QCOMPARE(table->rowCount(), 0);
    QStringList headers;
    for (int c = 0; c < table->columnCount(); ++c)
        headers << table->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, QStringList({ "ID", "Ntrial", "Steps", "Inversions", "State", "Response" }));
    QCOMPARE(widget<QLabel>(window, "labelNTrialsRequired")->text(), QString("--"));
    QVERIFY(widget<QSpinBox>(window, "spinBoxLastInvAverage")->isEnabled());

    QCOMPARE(widget<StaircasePlot>(window, "customPlot")->graphCount(), 0);
    QCOMPARE(window.size(), window.minimumSize()); // first shown at its smallest
}

void MainWindowTest::inputsHaveTheirRanges_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("value");
    QTest::newRow("repetitions") << "spinBoxSimRepetitions" << 1.0 << 999999.0 << 1.0 << 1.0;
    QTest::newRow("staircases") << "spinBoxNStaircases" << 1.0 << 99.0 << 1.0 << 1.0;
    QTest::newRow("mean") << "doubleSpinBoxMean" << -100000.0 << 100000.0 << 1.0 << 0.0;
    QTest::newRow("std") << "doubleSpinBoxStd" << 0.001 << 100000.0 << 1.0 << 0.1;
    QTest::newRow("guess rate") << "doubleSpinBoxGuessRate" << 0.0 << 1.0 << 0.01 << 0.0;
    QTest::newRow("lapse rate") << "doubleSpinBoxLapseRate" << 0.0 << 1.0 << 0.01 << 0.0;
    QTest::newRow("reversals to average") << "spinBoxLastInvAverage" << 1.0 << 999999.0 << 1.0 << 1.0;
}

void MainWindowTest::inputsHaveTheirRanges()
{
    QFETCH(QString, name);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, step);
    QFETCH(double, value);
    MainWindow window;
    auto *box = widget<QAbstractSpinBox>(window, name.toLatin1().constData());
    QCOMPARE(box->property("minimum").toDouble(), minimum);
    QCOMPARE(box->property("maximum").toDouble(), maximum);
    QCOMPARE(box->property("singleStep").toDouble(), step);
    QCOMPARE(box->property("value").toDouble(), value);
    if (auto *d = qobject_cast<QDoubleSpinBox *>(box))
        QCOMPARE(d->decimals(), 3);
}

void MainWindowTest::comboBoxesListTheirItems()
{
    MainWindow window;
    auto items = [](QComboBox *box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    QCOMPARE(items(widget<QComboBox>(window, "comboBox")),
        QStringList(
            { "Normal cumulative ", "Logistic (not implemented yet)", "Cauchy (atan)  (not implemented yet)",
                "Right gumbel  (not implemented yet)", "Left gumbel  (not implemented yet)" }));
    QCOMPARE(items(widget<QComboBox>(window, "comboBoxDrawStyle")),
        QStringList({ "None", "Cross", "Circles", "Squares" }));
}

void MainWindowTest::fileMenuListsItsCommandsWithShortcuts()
{
    MainWindow window;
    QStringList menus;
    for (QAction *a : window.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, QStringList({ "File", "Credits" }));

    QStringList entries;
    for (QAction *a : widget<QMenu>(window, "menuBayesian_Model")->actions())
        entries << a->objectName() + " " + a->text() + " " + a->shortcut().toString();
    QCOMPARE(entries,
        QStringList({
            "actionNew_experiment New experiment... Ctrl+N",
            "actionOpenFile Open experiment file... Ctrl+O",
            "actionSaveFile Save experiment file... Ctrl+S",
            "actionExportResultsToFile Export results to file... Ctrl+E",
            "actionExport_graph_to_pdf Print graph to pdf... Ctrl+P",
            "actionQuit Quit Ctrl+Q",
        }));
    QCOMPARE(widget<QMenu>(window, "menuCredits")->actions().size(), 1);
    QVERIFY(!widget<QMenu>(window, "menuCredits")->actions().first()->text().isEmpty());
}

void MainWindowTest::staircaseCountDrivesPagesAndGraphs()
{
    MainWindow window;
    auto *count = widget<QSpinBox>(window, "spinBoxNStaircases");
    auto *pages = widget<TabStaircase>(window, "tabStaircase");
    auto *plot = widget<StaircasePlot>(window, "customPlot");

    pages->pageAt(0)->setStartLevel(2.5);
    count->setValue(3);
    QCOMPARE(pages->count(), 3);
    QCOMPARE(pages->tabText(2), QString("Staircase 2"));
    QCOMPARE(pages->pageAt(0)->getStartLevel(), 2.5);
    QCOMPARE(plot->graphCount(), 3);

    count->setValue(1);
    QCOMPARE(pages->count(), 1);
    QCOMPARE(plot->graphCount(), 1);
}

void MainWindowTest::averagingIsDisabledWhilePagesDifferFromTheLastRun()
{
    MainWindow window;
    auto *count = widget<QSpinBox>(window, "spinBoxNStaircases");
    auto *average = widget<QSpinBox>(window, "spinBoxLastInvAverage");
    // Before any run no staircase count matches the last run's (none), so any change disables it.
    count->setValue(2);
    QVERIFY(!average->isEnabled());
    count->setValue(1);
    QVERIFY(!average->isEnabled());
}

void MainWindowTest::quitClosesTheLastWindow()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, widget<QAction>(window, "actionQuit"), &QAction::trigger);
    QTimer guard; // ends a loop that would otherwise hang
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    QCOMPARE(QApplication::exec(), 0); // the event loop ends with the window
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
