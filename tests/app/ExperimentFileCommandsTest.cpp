// The New, Open and Save commands, driven through the window's actions with
// scripted file dialogs.

#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"
#include "ThreeStaircasesFile.h"

#include <QAction>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

const QByteArray threeStaircases = threeStaircasesFile;

QByteArray withLine(const QByteArray &text, const QByteArray &key, const QByteArray &line)
{
    QByteArray out;
    for (const QByteArray &current : text.split('\n')) {
        if (current.isEmpty())
            continue;
        if (current.startsWith(key + ":") || current.startsWith(key + " "))
            out += line.isEmpty() ? QByteArray() : line + "\n";
        else
            out += current + "\n";
    }
    return out;
}

} // namespace

class ExperimentFileCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openFillsEveryPageAndTheObserver();
    void openHonoursRecordedClampSwitches();
    void refusedFileLeavesTheWindowAsItWas_data();
    void refusedFileLeavesTheWindowAsItWas();
    void cancelledDialogsChangeNothing();
    void saveThenOpenRestoresEveryPage();
    void saveWarnsWhenPagesDifferInSharedValues();
    void saveRefusesStepTextsThatWouldBreakTheFile();
    void saveThatCannotReplaceTheTargetLeavesItIntact();
    void newExperimentKeepsTheObserverAndLeavesOneDefaultPage();

private:
    void trigger(const char *action) { window->findChild<QAction *>(action)->trigger(); }
    QDoubleSpinBox *observerBox(const char *name) { return window->findChild<QDoubleSpinBox *>(name); }
    QSpinBox *staircaseCount() { return window->findChild<QSpinBox *>("spinBoxNStaircases"); }
    TabStaircase *tabs() { return window->findChild<TabStaircase *>("tabStaircase"); }
    // Every value the commands read or write, one line for the observer and one per page.
    QStringList windowState();
    QString pageState(int i);
    // Gives the window two pages whose values differ from the defaults.
    void fillTwoPages();

    std::unique_ptr<MainWindow> window;
    ScriptedDialogs *dialogs = nullptr;
    std::unique_ptr<QTemporaryDir> dir;
};

void ExperimentFileCommandsTest::init()
{
    window = std::make_unique<MainWindow>();
    dialogs = installScriptedDialogs(*window);
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void ExperimentFileCommandsTest::cleanup()
{
    window.reset();
    dir.reset();
}

QString ExperimentFileCommandsTest::pageState(int i)
{
    const StaircaseParamSetter *p = tabs()->pageAt(i);
    const auto enabled
        = [p](const char *name) { return p->findChild<QWidget *>(name)->isEnabled() ? "on" : "off"; };
    return QStringLiteral("%1 %2 %3 %4 %5 [%6] %7 clamp %8 %9 %10 %11 %12%13%14")
        .arg(tabs()->tabText(i))
        .arg(p->getStartLevel())
        .arg(p->isAscending() ? "asc" : "desc")
        .arg(p->getCorrectAnswers())
        .arg(QString::number(p->getMaxInversions()) + " " + QString::number(p->getMaxTrials()))
        .arg(QString::fromStdString(p->getPositiveStepsText()))
        .arg(p->getNegativeStep())
        .arg(p->isClampActive() ? "active" : "inactive")
        .arg(p->getLowerClamp())
        .arg(p->getUpperClamp())
        .arg(p->getMaxClampHits())
        .arg(
            enabled("doubleSpinBoxLowerClamp"), enabled("doubleSpinBoxUpperClamp"), enabled("spinBoxNClamp"));
}

QStringList ExperimentFileCommandsTest::windowState()
{
    QStringList state { QStringLiteral("mean %1 std %2 guess %3 lapse %4 pages %5/%6")
                            .arg(observerBox("doubleSpinBoxMean")->value())
                            .arg(observerBox("doubleSpinBoxStd")->value())
                            .arg(observerBox("doubleSpinBoxGuessRate")->value())
                            .arg(observerBox("doubleSpinBoxLapseRate")->value())
                            .arg(staircaseCount()->value())
                            .arg(tabs()->count()) };
    for (int i = 0; i < tabs()->count(); ++i)
        state << pageState(i);
    return state;
}

void ExperimentFileCommandsTest::fillTwoPages()
{
    observerBox("doubleSpinBoxMean")->setValue(1.25);
    observerBox("doubleSpinBoxStd")->setValue(0.75);
    observerBox("doubleSpinBoxGuessRate")->setValue(0.5);
    observerBox("doubleSpinBoxLapseRate")->setValue(0.02);
    staircaseCount()->setValue(2);
    StaircaseParamSetter *second = tabs()->pageAt(1);
    second->setStartLevel(7.5);
    second->setAscending(false);
    second->setPositiveStepsText("3,2,1");
    second->setClampActive(true);
    second->setLowerClamp(-1);
    second->setMaxClampHits(4);
}

void ExperimentFileCommandsTest::openFillsEveryPageAndTheObserver()
{
    const QString path = dir->filePath("three.txt");
    writeFile(path, withLine(withLine(threeStaircases, "GuessRate", ""), "Mu", ""));
    dialogs->fileNames.enqueue(path);
    trigger("actionOpenFile");

    QCOMPARE(dialogs->prompts.size(), 1);
    QCOMPARE(dialogs->prompts[0].caption, QStringLiteral("Parameters file to open"));
    QCOMPARE(dialogs->prompts[0].dir, QStringLiteral("../libs/experiment/"));
    QCOMPARE(dialogs->prompts[0].filter, QStringLiteral("Text file (*.txt);;Exp files (*.exp)"));
    // Missing observer keys: one box each, in key order, and their defaults.
    QCOMPARE(dialogs->messages.size(), 2);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Error"));
    QCOMPARE(dialogs->messages[0].text,
        QStringLiteral("Parameter \"GuessRate\" doesn't exists. Setting it to 0.0"));
    QCOMPARE(dialogs->messages[1].text,
        QStringLiteral("Parameter \"Mu\" doesn't exists. Setting \"Mean\" to 0.0"));
    QCOMPARE(windowState(),
        (QStringList {
            "mean 0 std 2 guess 0 lapse 0.01 pages 3/3",
            "Staircase 0 4 desc 2 8 50 [1,0.5] 0.25 clamp active -3 5 2 ononon",
            "Staircase 1 -2.5 asc 3 10 60 [2,1] 0.25 clamp active -3 5 2 ononon",
            "Staircase 2 0 desc 1 12 70 [4] 0.25 clamp active -3 5 2 ononon",
        }));

    // One step list without ";" serves every page.
    writeFile(path, withLine(threeStaircases, "sStairPositiveStep", "sStairPositiveStep: 0.5,0.25"));
    dialogs->fileNames.enqueue(path);
    trigger("actionOpenFile");
    for (int i = 0; i < 3; ++i)
        QCOMPARE(tabs()->pageAt(i)->getPositiveStepsText(), std::string("0.5,0.25"));
}

void ExperimentFileCommandsTest::openHonoursRecordedClampSwitches()
{
    const QString path = dir->filePath("clamps.txt");
    writeFile(path, threeStaircases + "sStairClampActive: 0,1,0\n");
    dialogs->fileNames.enqueue(path);
    trigger("actionOpenFile");
    QVERIFY(dialogs->messages.isEmpty());
    QCOMPARE(pageState(0),
        QStringLiteral("Staircase 0 4 desc 2 8 50 [1,0.5] 0.25 clamp inactive -3 5 2 offoffoff"));
    QCOMPARE(
        pageState(1), QStringLiteral("Staircase 1 -2.5 asc 3 10 60 [2,1] 0.25 clamp active -3 5 2 ononon"));
    QVERIFY(!tabs()->pageAt(2)->isClampActive());
}

void ExperimentFileCommandsTest::refusedFileLeavesTheWindowAsItWas_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");

    QTest::newRow("too few start states")
        << withLine(threeStaircases, "sStairStartStates", "sStairStartStates: 4,-2.5")
        << "Wrong number of start states!\nCheck \"sStairStartStates\" to have 3 elements";
    QTest::newRow("missing required key")
        << withLine(threeStaircases, "sStairMaxTrials", "") << "Can't find such identifier: sStairMaxTrials";
    QTest::newRow("value that does not convert") << withLine(threeStaircases, "sStairCorrectAnswers",
        "sStairCorrectAnswers: 2,x,1") << "Can't read \"x\" in \"sStairCorrectAnswers\" as a whole number.";
    QTest::newRow("bad observer value after good pages") << withLine(threeStaircases, "Sigma", "Sigma: 1..5")
                                                         << "Can't read \"1..5\" in \"Sigma\" as a number.";
    QTest::newRow("fewer step lists than staircases")
        << withLine(threeStaircases, "sStairPositiveStep", "sStairPositiveStep: 1;2")
        << "Wrong number of positive step lists!\nCheck \"sStairPositiveStep\" to have 3 lists separated by "
           "\";\"";
}

void ExperimentFileCommandsTest::refusedFileLeavesTheWindowAsItWas()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    fillTwoPages();
    const QStringList before = windowState();

    const QString path = dir->filePath("broken.txt");
    writeFile(path, content);
    dialogs->fileNames.enqueue(path);
    trigger("actionOpenFile");

    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Error"));
    QCOMPARE(dialogs->messages[0].text, error);
    QCOMPARE(windowState(), before);
}

void ExperimentFileCommandsTest::cancelledDialogsChangeNothing()
{
    fillTwoPages();
    const QStringList before = windowState();
    trigger("actionOpenFile");
    trigger("actionSaveFile");
    QCOMPARE(dialogs->prompts.size(), 2);
    QVERIFY(dialogs->messages.isEmpty());
    QCOMPARE(windowState(), before);

    // An unreadable file is one "Error" box naming it, and nothing changes.
    const QString missing = dir->filePath("missing.txt");
    dialogs->fileNames.enqueue(missing);
    trigger("actionOpenFile");
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Error"));
    QCOMPARE(dialogs->messages[0].text,
        "Can't read the parameters file " + QDir::toNativeSeparators(missing)
            + ":\nNo such file or directory");
    QCOMPARE(windowState(), before);
}

void ExperimentFileCommandsTest::saveThenOpenRestoresEveryPage()
{
    fillTwoPages();
    staircaseCount()->setValue(3);
    observerBox("doubleSpinBoxMean")->setValue(-12345.678);
    StaircaseParamSetter *first = tabs()->pageAt(0);
    first->setStartLevel(-12345.678);
    first->setCorrectAnswers(3);
    first->setMaxInversions(123456);
    first->setMaxTrials(999999);
    first->setNegativeStep(0.125);
    first->setPositiveStepsText("  1,0.5,0.25\n");
    first->setClampActive(true);
    first->setLowerClamp(-2.5);
    first->setUpperClamp(99998.999);
    first->setMaxClampHits(7);
    tabs()->pageAt(2)->setPositiveStepsText("0.001");
    // The second page shares the first page's values, so Save has nothing to warn about.
    StaircaseParamSetter *second = tabs()->pageAt(1);
    second->setNegativeStep(0.125);
    second->setLowerClamp(-2.5);
    second->setUpperClamp(99998.999);
    second->setMaxClampHits(7);
    tabs()->pageAt(2)->setNegativeStep(0.125);
    tabs()->pageAt(2)->setLowerClamp(-2.5);
    tabs()->pageAt(2)->setUpperClamp(99998.999);
    tabs()->pageAt(2)->setMaxClampHits(7);
    QStringList expected = windowState();
    expected[1].replace("[  1,0.5,0.25\n]", "[1,0.5,0.25]");

    const QString path = dir->filePath("saved.txt");
    dialogs->fileNames.enqueue(path);
    trigger("actionSaveFile");
    QCOMPARE(dialogs->prompts.size(), 1);
    QCOMPARE(dialogs->prompts[0].caption, QStringLiteral("Save parameters file..."));
    QCOMPARE(dialogs->prompts[0].dir, QDir::currentPath());
    QCOMPARE(dialogs->prompts[0].filter, QStringLiteral(".txt"));
    QVERIFY(dialogs->messages.isEmpty());
    QCOMPARE(readFile(path),
        QByteArray("Mu -12345.678\n"
                   "Sigma: 0.75\n"
                   "LapseRate: 0.02\n"
                   "GuessRate: 0.5\n"
                   "sStairNumber: 3\n"
                   "sStairStartStates: -12345.678,7.5,-5\n"
                   "sStairAscending: 1,0,1\n"
                   "sStairCorrectAnswers: 3,1,1\n"
                   "sStairMaxInversions: 123456,4,4\n"
                   "sStairMaxTrials: 999999,100,100\n"
                   "sStairPositiveStep: 1,0.5,0.25;3,2,1;0.001\n"
                   "sStairNegativeStep: 0.125\n"
                   "sStairClampLower: -2.5\n"
                   "sStairClampUpper: 99998.999\n"
                   "sStairMaxClampHits: 7\n"
                   "sStairClampActive: 1,1,0\n"));

    trigger("actionNew_experiment");
    QCOMPARE(tabs()->count(), 1);
    dialogs->fileNames.enqueue(path);
    trigger("actionOpenFile");
    QVERIFY(dialogs->messages.isEmpty());
    QCOMPARE(windowState(), expected);
}

void ExperimentFileCommandsTest::saveWarnsWhenPagesDifferInSharedValues()
{
    fillTwoPages(); // the second page has its own clamps
    staircaseCount()->setValue(3);
    const QString path = dir->filePath("shared.txt");
    dialogs->fileNames.enqueue(path);
    trigger("actionSaveFile");

    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(dialogs->messages[0].text,
        QStringLiteral("The parameters file holds one negative step, one pair of clamps and one maximum of "
                       "clamp hits for every staircase, those of Staircase 0. The different values of "
                       "Staircase 1 were not saved."));
    // The file is written all the same, with the first page's values.
    QVERIFY(readFile(path).contains("sStairClampLower: -99999\n"));
}

void ExperimentFileCommandsTest::saveRefusesStepTextsThatWouldBreakTheFile()
{
    fillTwoPages();
    tabs()->pageAt(1)->setPositiveStepsText("1, 0.5");
    const QString path = dir->filePath("never.txt");
    dialogs->fileNames.enqueue(path);
    trigger("actionSaveFile");
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Warning"));
    QVERIFY2(dialogs->messages[0].text.contains("Staircase 1"), qPrintable(dialogs->messages[0].text));
    QVERIFY(!QFile::exists(path));
}

void ExperimentFileCommandsTest::saveThatCannotReplaceTheTargetLeavesItIntact()
{
    // A directory in the way cannot be replaced by the file.
    const QString target = dir->filePath("taken");
    QVERIFY(QDir(dir->path()).mkdir("taken"));
    writeFile(target + "/inside.txt", "kept");
    dialogs->fileNames.enqueue(target);
    trigger("actionSaveFile");
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Warning"));
    QVERIFY2(dialogs->messages[0].text.startsWith(
                 "Can't write the parameters file " + QDir::toNativeSeparators(target) + ":\n"),
        qPrintable(dialogs->messages[0].text));
    QCOMPARE(readFile(target + "/inside.txt"), QByteArray("kept"));

    // An existing file in a directory that may not be written keeps its content.
    const QString locked = dir->filePath("locked");
    QVERIFY(QDir(dir->path()).mkdir("locked"));
    const QString existing = locked + "/experiment.txt";
    writeFile(existing, "Mu 1\n");
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(locked + "/probe");
    if (probe.open(QIODevice::WriteOnly)) { // e.g. running as root
        probe.remove();
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("directory permissions are not enforced for this user");
    }
    dialogs->fileNames.enqueue(existing);
    trigger("actionSaveFile");
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(dialogs->messages.size(), 2);
    QVERIFY(dialogs->messages[1].text.startsWith("Can't write the parameters file "));
    QCOMPARE(readFile(existing), QByteArray("Mu 1\n"));
}

void ExperimentFileCommandsTest::newExperimentKeepsTheObserverAndLeavesOneDefaultPage()
{
    fillTwoPages();
    const QStringList before = windowState();
    tabs()->pageAt(0)->setStartLevel(3);
    trigger("actionNew_experiment");
    const QStringList after = windowState();
    QCOMPARE(after.size(), 2);
    QCOMPARE(after[0], QString(before[0]).replace("pages 2/2", "pages 1/1"));
    QCOMPARE(after[1],
        QStringLiteral("Staircase 0 -5 asc 1 4 100 [0.2] 0.5 clamp inactive -99999 99999 0 offoffoff"));
    QCOMPARE(tabs()->pageAt(0)->getStringId(), QStringLiteral("0"));
    QVERIFY(dialogs->messages.isEmpty());
}

QTEST_MAIN(ExperimentFileCommandsTest)
#include "ExperimentFileCommandsTest.moc"
