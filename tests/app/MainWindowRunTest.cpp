// The Start, analysis and export commands of the window, driven as a user would.
#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace
{

template <typename T> T *widget(QObject &parent, const char *name)
{
    T *w = parent.findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

struct Window {
    MainWindow window;
    ScriptedDialogs *dialogs = installScriptedDialogs(window);
    TabStaircase *tabs = widget<TabStaircase>(window, "tabStaircase");
    QTableWidget *table = widget<QTableWidget>(window, "tableWidget");

    // Pages that end on their trial limit alone: every staircase runs exactly `maxTrials` trials.
    void setPages(int count, int maxTrials, int repetitions)
    {
        widget<QSpinBox>(window, "spinBoxNStaircases")->setValue(count);
        for (int i = 0; i < count; ++i) {
            tabs->pageAt(i)->setMaxTrials(maxTrials);
            tabs->pageAt(i)->setMaxInversions(maxTrials); // never reached within maxTrials
        }
        widget<QSpinBox>(window, "spinBoxSimRepetitions")->setValue(repetitions);
    }
    void start() { widget<QPushButton>(window, "buttonStart")->click(); }

    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < table->rowCount(); ++row)
            texts.append(table->model()->data(table->model()->index(row, c)).toString());
        return texts;
    }
    QStringList rows() const
    {
        QStringList lines;
        for (int row = 0; row < table->rowCount(); ++row) {
            QString line;
            for (int c = 0; c < table->columnCount(); ++c)
                line += table->model()->data(table->model()->index(row, c)).toString() + '\t';
            lines.append(line);
        }
        return lines;
    }
    QStringList lines(const char *listName)
    {
        QStringList texts;
        auto *list = widget<QListWidget>(window, listName);
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->item(i)->text());
        return texts;
    }
};

QStringList numbers(int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts.append(QString::number(i));
    return texts;
}

} // namespace

class MainWindowRunTest : public QObject
{
    Q_OBJECT

private slots:
    void startFillsTheTableAndTheAnalysis_data();
    void startFillsTheTableAndTheAnalysis();
    void sortByIdGroupsTheRowsOfEachStaircase();
    void startRefusesPagesThatCannotRun_data();
    void startRefusesPagesThatCannotRun();
    void averagingMoreReversalsThanAPageAllowsIsLowered();
    void exportWritesTheTableAsShown();
    void exportReportsAFileItCannotWriteAndIgnoresACancel();
};

void MainWindowRunTest::startFillsTheTableAndTheAnalysis_data()
{
    QTest::addColumn<int>("repetitions");
    QTest::newRow("3 staircases x 10 trials") << 1;
    QTest::newRow("4 repetitions") << 4;
}

void MainWindowRunTest::startFillsTheTableAndTheAnalysis()
{
    QFETCH(int, repetitions);
    Window w;
    w.setPages(3, 10, repetitions);
    auto *average = widget<QSpinBox>(w.window, "spinBoxLastInvAverage");
    average->setValue(2);
    w.start();

    const int rows = 30 * repetitions;
    QCOMPARE(w.table->rowCount(), rows);
    QCOMPARE(widget<QLabel>(w.window, "labelNTrialsRequired")->text(), QString::number(rows));
    QCOMPARE(w.column(1), numbers(rows));
    const QStringList ids = w.column(0);
    for (const QString id : { "0", "1", "2" })
        QCOMPARE(ids.count(id), 10 * repetitions);
    QCOMPARE(w.lines("listWidget").size(), 3);
    QCOMPARE(w.lines("listWidgetPsychoTarget").size(), 3);
    for (const QString &target : w.lines("listWidgetPsychoTarget"))
        QVERIFY(target.endsWith('%'));
    QVERIFY(average->isEnabled());
    QCOMPARE(average->value(), 1);
    QVERIFY(w.table->isEnabled());
    QCOMPARE(w.window.statusBar()->currentMessage(), QString("Data updated"));
    QVERIFY(w.dialogs->messages.isEmpty());
}

void MainWindowRunTest::sortByIdGroupsTheRowsOfEachStaircase()
{
    Window w;
    w.setPages(2, 10, 3);
    widget<QCheckBox>(w.window, "checkBoxSortByID")->setChecked(true);
    w.start();
    QCOMPARE(w.column(0), QStringList(30, "0") + QStringList(30, "1"));
    // Rows of one staircase keep trial order.
    const QStringList trials = w.column(1);
    for (int row = 1; row < 60; ++row)
        if (row != 30)
            QVERIFY(trials[row - 1].toInt() < trials[row].toInt());
}

void MainWindowRunTest::startRefusesPagesThatCannotRun_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("clamp");
    QTest::addColumn<QString>("problem");
    QTest::newRow("empty steps") << 0 << "" << false << "Staircase 0: no positive step size is given.";
    QTest::newRow("semicolon") << 1 << "1;0.5" << false
                               << "Staircase 1: the positive step size \"1;0.5\" is not a number.";
    QTest::newRow("equal clamps") << 2 << "0.2" << true
                                  << "Staircase 2: the lower clamp (1) must be below the upper clamp (1).";
}

void MainWindowRunTest::startRefusesPagesThatCannotRun()
{
    QFETCH(int, page);
    QFETCH(QString, steps);
    QFETCH(bool, clamp);
    QFETCH(QString, problem);
    Window w;
    w.setPages(3, 5, 2);
    w.start();
    const QStringList before = w.rows();

    StaircaseParamSetter *faulty = w.tabs->pageAt(page);
    faulty->setPositiveStepsText(steps.toStdString());
    if (clamp) {
        faulty->setClampActive(true);
        faulty->setLowerClamp(1.0);
        faulty->setUpperClamp(1.0);
    }
    widget<QSpinBox>(w.window, "spinBoxLastInvAverage")->setValue(2);
    const QStringList averagesOverTwo = w.lines("listWidget");
    const QStringList targetsOverTwo = w.lines("listWidgetPsychoTarget");
    w.start();

    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].title, QString("Warning"));
    QVERIFY2(w.dialogs->messages[0].text.startsWith(problem), qPrintable(w.dialogs->messages[0].text));
    QCOMPARE(w.rows(), before);
    QCOMPARE(w.lines("listWidget"), averagesOverTwo);
    QCOMPARE(w.lines("listWidgetPsychoTarget"), targetsOverTwo);
    QCOMPARE(widget<QSpinBox>(w.window, "spinBoxLastInvAverage")->value(), 2);
}

void MainWindowRunTest::averagingMoreReversalsThanAPageAllowsIsLowered()
{
    Window w;
    widget<QSpinBox>(w.window, "spinBoxNStaircases")->setValue(3);
    const int maxInversions[] = { 3, 8, 4 };
    for (int i = 0; i < 3; ++i)
        w.tabs->pageAt(i)->setMaxInversions(maxInversions[i]);
    w.start();
    auto *average = widget<QSpinBox>(w.window, "spinBoxLastInvAverage");
    average->setValue(3);
    const QStringList overThree = w.lines("listWidget");
    QVERIFY(w.dialogs->messages.isEmpty()); // equal to the smallest maximum: no warning

    average->setValue(5);
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].title, QString("Warning"));
    QCOMPARE(w.dialogs->messages[0].text,
        QString("You can't average on a number of inversion higher than the inversions for the "
                "staircase(s)\n0 2"));
    QCOMPARE(average->value(), 3);
    QCOMPARE(w.lines("listWidget"), overThree);
}

void MainWindowRunTest::exportWritesTheTableAsShown()
{
    Window w;
    w.setPages(2, 10, 2);
    StaircaseParamSetter *first = w.tabs->pageAt(0);
    widget<QCheckBox>(*first, "checkBoxStringID")->setChecked(true);
    widget<QLineEdit>(*first, "lineEditStringID")->setText(QString::fromUtf8("\xce\xb1-left"));
    widget<QCheckBox>(w.window, "checkBoxSortByID")->setChecked(true);
    w.start();

    QTemporaryDir dir;
    const QString path = dir.filePath("results.csv");
    w.dialogs->fileNames.enqueue(path);
    widget<QAction>(w.window, "actionExportResultsToFile")->trigger();
    QCOMPARE(w.dialogs->prompts.size(), 1);
    QCOMPARE(w.dialogs->prompts[0].caption, QString("Save simulation results..."));
    QCOMPARE(w.dialogs->prompts[0].filter, QString(".csv"));
    QVERIFY(w.dialogs->messages.isEmpty());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLatin1(file.readAll()).split('\n');
    QCOMPARE(lines.takeLast(), QString()); // the last line ends with a line break too
    QCOMPARE(lines.takeFirst(), QString("ID\tNtrial\tSteps\tInversions\tState\tResponse"));
    QStringList expected = w.rows();
    expected.replaceInStrings(QString::fromUtf8("\xce\xb1-left"), "?-left");
    QCOMPARE(lines, expected);
    QCOMPARE(lines.size(), 40);
    QCOMPARE(lines.first().count('\t'), 6);
    QVERIFY(lines.first().startsWith("1\t")); // "1" sorts before "?-left"
}

void MainWindowRunTest::exportReportsAFileItCannotWriteAndIgnoresACancel()
{
    Window w;
    w.start();
    QTemporaryDir dir;
    widget<QAction>(w.window, "actionExportResultsToFile")->trigger(); // cancelled
    QVERIFY(w.dialogs->messages.isEmpty());
    QVERIFY(QDir(dir.path()).isEmpty());

    const QString path = dir.filePath("no/such/folder/results.csv");
    w.dialogs->fileNames.enqueue(path);
    widget<QAction>(w.window, "actionExportResultsToFile")->trigger();
    QCOMPARE(w.dialogs->messages.size(), 1);
    QCOMPARE(w.dialogs->messages[0].title, QString("Warning"));
    QVERIFY(w.dialogs->messages[0].text.contains(QDir::toNativeSeparators(path)));
}

QTEST_MAIN(MainWindowRunTest)
#include "MainWindowRunTest.moc"
