// The New, Open and Save commands, driven through the window's actions with
// scripted file dialogs.

#include "ExperimentDocument.h"
#include "ExperimentLoading.h"
#include "FieldRanges.h"
#include "FileSizeLimit.h"
#include "MainWindow.h"
#include "QtTestSupport.h"
#include "RandomEngine.h"
#include "ScriptedDialogs.h"
#include "StaircasePages.h"
#include "StaircaseParamSetter.h"
#include "TabStaircase.h"
#include "ThreeStaircasesFile.h"
#include "TrialTable.h"

#include <QProcess>

#include <QtTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(SaveChoice)

namespace
{

QByteArray fileWith(const char *key, const char *line)
{
    return QByteArray::fromStdString(withLine(key, line));
}

} // namespace

class ExperimentFileCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openFillsEveryPageAndTheObserver();
    void openListsTheValuesThatDidNotFitInOneBox();
    void fieldsHoldWhatFitToFieldsGives();
    void refusedFileLeavesTheWindowAsItWas_data();
    void refusedFileLeavesTheWindowAsItWas();
    void saveThenOpenRestoresEveryPage();
    void refusedSaveWritesNothing();
    void saveOnAFullDiskKeepsTheOldFile();
    void documentSaveReturnsItsProblemWithoutADialog();
    void newExperimentKeepsTheObserverAndLeavesOneDefaultPage();
    void dialogsStartWhereTheLastFileWasAndNamesGetTheirSuffix();
    void changedExperimentIsOfferedForSaving_data();
    void changedExperimentIsOfferedForSaving();
    void titleMarksChangesUntilSavedAndUndoneEditsLeaveNone();
    void saveWritesToTheExperimentsFileAndSaveAsAlwaysAsks();
    void duplicateAddsACopyOfTheCurrentPageUpTo99();

private:
    void trigger(const char *action) { child<QAction>(*window, action)->trigger(); }
    QDoubleSpinBox *observerBox(const char *name) { return child<QDoubleSpinBox>(*window, name); }
    TabStaircase *tabs() { return child<TabStaircase>(*window, "tabStaircase"); }
    void setStaircaseCount(int n) { child<QSpinBox>(*window, "spinBoxNStaircases")->setValue(n); }
    // Every value the commands read or write, one line for the observer and one per page.
    QStringList windowState();
    // Gives the window two pages whose values differ from the defaults.
    void fillTwoPages();
    QString open(const QByteArray &content);

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

QStringList ExperimentFileCommandsTest::windowState()
{
    QStringList state { QStringLiteral("mean %1 std %2 guess %3 lapse %4 pages %5/%6 reps %7")
                            .arg(observerBox("doubleSpinBoxMean")->value())
                            .arg(observerBox("doubleSpinBoxStd")->value())
                            .arg(observerBox("doubleSpinBoxGuessRate")->value())
                            .arg(observerBox("doubleSpinBoxLapseRate")->value())
                            .arg(child<QSpinBox>(*window, "spinBoxNStaircases")->value())
                            .arg(tabs()->count())
                            .arg(child<QSpinBox>(*window, "spinBoxSimRepetitions")->value()) };
    for (int i = 0; i < tabs()->count(); ++i) {
        const StaircaseParamSetter *p = tabs()->pageAt(i);
        const auto enabled
            = [p](const char *name) { return child<QWidget>(*p, name)->isEnabled() ? "on" : "off"; };
        state << QStringLiteral("%1 %2 %3 %4 %5 [%6] %7 clamp %8 %9 %10 %11 %12%13%14 id %15")
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
                     .arg(enabled("doubleSpinBoxLowerClamp"), enabled("doubleSpinBoxUpperClamp"),
                         enabled("spinBoxNClamp"),
                         QString(p->isStringIdActive() ? "on" : "off") + enabled("lineEditStringID") + "["
                             + p->getStringIdText() + "]");
    }
    return state;
}

void ExperimentFileCommandsTest::fillTwoPages()
{
    observerBox("doubleSpinBoxMean")->setValue(1.25);
    observerBox("doubleSpinBoxStd")->setValue(0.75);
    observerBox("doubleSpinBoxGuessRate")->setValue(0.5);
    observerBox("doubleSpinBoxLapseRate")->setValue(0.02);
    setStaircaseCount(2);
    StaircaseParamSetter *second = tabs()->pageAt(1);
    second->setStartLevel(7.5);
    second->setAscending(false);
    second->setPositiveStepsText("3,2,1");
    second->setClampActive(true);
    second->setLowerClamp(-1);
    second->setMaxClampHits(4);
    second->setStringIdActive(true);
    second->setStringIdText("kept");
    child<QSpinBox>(*window, "spinBoxSimRepetitions")->setValue(5);
}

// Writes `content` to a file and opens it; returns the file's path.
QString ExperimentFileCommandsTest::open(const QByteArray &content)
{
    const QString path = dir->filePath("experiment.txt");
    if (!content.isNull())
        writeFile(path, content);
    dialogs->fileNames.enqueue(path);
    trigger("actionOpenFile");
    return path;
}

void ExperimentFileCommandsTest::openFillsEveryPageAndTheObserver()
{
    fillTwoPages();
    QByteArray content = QByteArray::fromStdString(threeStaircasesFile);
    for (const char *key : { "Mu", "Sigma", "LapseRate", "GuessRate" })
        content = QByteArray::fromStdString(withLine(key, "", content.toStdString()));
    open(content);

    QCOMPARE(dialogs->prompts.size(), 1);
    QCOMPARE(dialogs->prompts[0].caption, QStringLiteral("Parameters file to open"));
    // The example experiments' folder, wherever the program was started from.
    QVERIFY2(QFileInfo::exists(dialogs->prompts[0].dir + "/three-interleaved-staircases.txt"),
        qPrintable(dialogs->prompts[0].dir));
    // The file name filter lists the parameter files (a bare ".txt" matched no file).
    QCOMPARE(dialogs->prompts[0].filter, QStringLiteral("Parameter files (*.txt);;All files (*)"));
    // Missing observer keys: one box each, in key order, and their defaults.
    QStringList boxes;
    for (const ShownMessage &m : dialogs->messages)
        boxes << m.title + ": " + m.text;
    QCOMPARE(boxes,
        QStringList({
            "Error: Parameter \"GuessRate\" doesn't exists. Setting it to 0.0",
            "Error: Parameter \"LapseRate\" doesn't exists. Setting it to 0.0",
            "Error: Parameter \"Mu\" doesn't exists. Setting \"Mean\" to 0.0",
            "Error: Parameter \"Sigma\" doesn't exists. Setting \"standard deviation\" it to 1",
        }));
    QCOMPARE(windowState(),
        (QStringList {
            "mean 0 std 1 guess 0 lapse 0 pages 3/3 reps 5",
            "Staircase 0 4 desc 2 8 50 [1,0.5] 0.25 clamp active -3 5 2 ononon id offoff[]",
            "Staircase 1 -2.5 asc 3 10 60 [2,1] 0.25 clamp active -3 5 2 ononon id onon[kept]",
            "Staircase 2 0 desc 1 12 70 [4] 0.25 clamp active -3 5 2 ononon id offoff[]",
        }));
}

// Such values used to be changed without a word, and a later Save wrote the changed values.
void ExperimentFileCommandsTest::openListsTheValuesThatDidNotFitInOneBox()
{
    std::string text = withLine("Sigma", "Sigma: -1");
    text = withLine("GuessRate", "GuessRate: 1.5", text);
    text = withLine("sStairMaxTrials", "sStairMaxTrials: 50,5000000,70", text);
    text = withLine("sStairClampLower", "sStairClampLower: -1e6", text);
    open(QByteArray::fromStdString(text));
    QStringList boxes;
    for (const ShownMessage &m : dialogs->messages)
        boxes << m.title + ": " + m.text;
    QCOMPARE(boxes,
        QStringList({ "Error: These values of the parameters file do not fit their fields and were changed; "
                      "Save "
                      "writes the values used:\n\n"
                      "Standard deviation: -1 in the file, 0.001 used\n"
                      "Guess rate: 1.5 in the file, 1 used\n"
                      "Max trials of Staircase 1: 5000000 in the file, 999999 used\n"
                      "Lower clamp of every staircase: -1e+06 in the file, -99999 used",
            "Error: The guess rate (1) and the lapse rate (0.01) add up to 1 or more, so the psychometric "
            "function does not rise with the level. Start refuses to run until their sum is below 1." }));
    QCOMPARE(windowState(),
        (QStringList {
            "mean 0.5 std 0.001 guess 1 lapse 0.01 pages 3/3 reps 1",
            "Staircase 0 4 desc 2 8 50 [1,0.5] 0.25 clamp active -99999 5 2 ononon id offoff[]",
            "Staircase 1 -2.5 asc 3 10 999999 [2,1] 0.25 clamp active -99999 5 2 ononon id offoff[]",
            "Staircase 2 0 desc 1 12 70 [4] 0.25 clamp active -99999 5 2 ononon id offoff[]",
        }));
}

// The engine fits a file's values into the ranges below; the fields must hold exactly the same.
void ExperimentFileCommandsTest::fieldsHoldWhatFitToFieldsGives()
{
    using namespace FieldRanges;
    const StaircaseParamSetter &page = *tabs()->pageAt(0);
    const auto pageBox = [&page](const char *name) { return child<QDoubleSpinBox>(page, name); };
    const std::pair<QDoubleSpinBox *, RealField> reals[] = { { observerBox("doubleSpinBoxMean"), mean },
        { observerBox("doubleSpinBoxStd"), standardDeviation },
        { observerBox("doubleSpinBoxGuessRate"), guessRate },
        { observerBox("doubleSpinBoxLapseRate"), lapseRate },
        { pageBox("doubleSpinBoxStartState"), startLevel },
        { pageBox("doubleSpinBoxNegativeStep"), negativeStep },
        { pageBox("doubleSpinBoxLowerClamp"), lowerClamp },
        { pageBox("doubleSpinBoxUpperClamp"), upperClamp } };
    const double realValues[] = { -1e300, -100000.0005, -99999.0625, -1.0005, -0.0625, -0.0004, 0, 0.0004,
        0.0625, 0.12345, 0.9995, 1.0625, 99998.9995, 99999.0625, 100000.0005, 1e300 };
    for (const auto &[box, field] : reals)
        for (const double value : realValues) {
            box->setValue(value);
            QVERIFY2(box->value() == fitReal(value, field),
                qPrintable(box->objectName() + " " + QString::number(value)));
        }

    const auto pageSpinBox = [&page](const char *name) { return child<QSpinBox>(page, name); };
    const std::pair<QSpinBox *, IntField> ints[] = { { pageSpinBox("spinBoxCorrectAnswers"), correctAnswers },
        { pageSpinBox("spinBoxNInversions"), maxInversions }, { pageSpinBox("spinBoxNTrials"), maxTrials },
        { pageSpinBox("spinBoxNClamp"), maxClampHits } };
    for (const auto &[box, field] : ints)
        for (const int value : { INT_MIN, -1, 0, 1, 2, 99, 100, 999999, 1000000, INT_MAX }) {
            box->setValue(value);
            QVERIFY2(box->value() == fitInt(value, field),
                qPrintable(box->objectName() + " " + QString::number(value)));
        }
}

void ExperimentFileCommandsTest::refusedFileLeavesTheWindowAsItWas_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("error"); // %1: the file's path

    QTest::newRow("cancelled") << fileWith("Mu", "") << QString();
    QTest::newRow("no such file") << QByteArray()
                                  << "Can't read the parameters file %1:\nNo such file or directory";
    QTest::newRow("too few start states")
        << fileWith("sStairStartStates", "sStairStartStates: 4,-2.5")
        << "Can't open the parameters file %1:\n"
           "Wrong number of start states!\nCheck \"sStairStartStates\" to have "
           "3 elements";
    QTest::newRow("missing required key") << fileWith("sStairMaxTrials", "")
                                          << "Can't open the parameters file %1:\n"
                                             "Can't find such identifier: sStairMaxTrials";
    QTest::newRow("value that does not convert")
        << fileWith("sStairCorrectAnswers", "sStairCorrectAnswers: 2,x,1")
        << "Can't open the parameters file %1:\n"
           "Can't read \"x\" in \"sStairCorrectAnswers\" as a whole number.";
    QTest::newRow("bad observer value after good pages") << fileWith("Sigma", "Sigma: 1..5")
                                                         << "Can't open the parameters file %1:\n"
                                                            "Can't read \"1..5\" in \"Sigma\" as a number.";
    QTest::newRow("fewer step lists than staircases")
        << fileWith("sStairPositiveStep", "sStairPositiveStep: 1;2")
        << "Can't open the parameters file %1:\n"
           "Wrong number of positive step lists!\nCheck \"sStairPositiveStep\" to have 3 lists separated by "
           "\";\"";
}

void ExperimentFileCommandsTest::refusedFileLeavesTheWindowAsItWas()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    fillTwoPages();
    const QStringList before = windowState();
    if (error.isEmpty()) {
        trigger("actionOpenFile"); // no name queued: the dialog is cancelled
        QVERIFY(dialogs->messages.isEmpty());
    } else {
        const QString path = open(content);
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].title, QStringLiteral("Error"));
        QCOMPARE(dialogs->messages[0].text, QString(error).replace("%1", QDir::toNativeSeparators(path)));
    }
    QCOMPARE(windowState(), before);
}

// Every page keeps its own negative step, clamps and string ID, and the file its repetitions:
// these used to be lost (with a warning only after the file was written).
void ExperimentFileCommandsTest::saveThenOpenRestoresEveryPage()
{
    fillTwoPages();
    setStaircaseCount(3);
    child<QSpinBox>(*window, "spinBoxSimRepetitions")->setValue(20);
    observerBox("doubleSpinBoxMean")->setValue(-12345.678);
    StaircaseParamSetter *first = tabs()->pageAt(0);
    first->setStartLevel(-12345.678);
    first->setCorrectAnswers(3);
    first->setMaxInversions(123456);
    first->setMaxTrials(999999);
    first->setPositiveStepsText("  1,0.5,0.25\n");
    first->setClampActive(true);
    first->setNegativeStep(0.125);
    first->setUpperClamp(99998.999);
    first->setStringIdActive(true);
    first->setStringIdText("left");
    tabs()->pageAt(1)->setStringIdText(""); // checked and empty
    StaircaseParamSetter *third = tabs()->pageAt(2);
    third->setPositiveStepsText("0.001");
    third->setNegativeStep(2);
    third->setLowerClamp(-2.5);
    third->setMaxClampHits(7);
    third->setStringIdText("right"); // kept while unchecked
    QStringList expected = windowState();
    expected[1].replace("[  1,0.5,0.25\n]", "[1,0.5,0.25]");

    const QString path = dir->filePath("saved.txt");
    dialogs->fileNames.enqueue(path);
    trigger("actionSaveFile");
    QCOMPARE(dialogs->prompts.size(), 1);
    QCOMPARE(dialogs->prompts[0].caption, QStringLiteral("Save parameters file..."));
    QCOMPARE(dialogs->prompts[0].filter, QStringLiteral("Parameter files (*.txt);;All files (*)"));
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
                   "sStairClampLower: -99999\n"
                   "sStairClampUpper: 99998.999\n"
                   "sStairMaxClampHits: 0\n"
                   "sStairClampActive: 1,1,0\n"
                   "sStairRepetitions: 20\n"
                   "sStairStringIdActive: 1,1,0\n"
                   "sStairStringIds: left,,right\n"
                   "sStairNegativeStepList: 0.125,0.5,2\n"
                   "sStairClampLowerList: -99999,-1,-2.5\n"
                   "sStairClampUpperList: 99998.999,99999,99999\n"
                   "sStairMaxClampHitsList: 0,4,7\n"));

    trigger("actionNew_experiment");
    child<QSpinBox>(*window, "spinBoxSimRepetitions")->setValue(1);
    dialogs->fileNames.enqueue(path);
    trigger("actionOpenFile");
    QVERIFY(dialogs->messages.isEmpty());
    QCOMPARE(windowState(), expected);

    // The batch program runs the saved file exactly as the window runs its pages.
    const RunRequest inWindow = readRunRequest(*tabs(),
        { -12345.678, observerBox("doubleSpinBoxStd")->value(),
            observerBox("doubleSpinBoxLapseRate")->value(), observerBox("doubleSpinBoxGuessRate")->value() },
        child<QSpinBox>(*window, "spinBoxSimRepetitions")->value());
    const Expected<LoadedExperiment> inBatch = loadExperimentFile(QFile::encodeName(path).toStdString());
    QVERIFY(inBatch);
    QVERIFY(inBatch->request.staircases == inWindow.staircases);
    QCOMPARE(inBatch->request.repetitions, 20);
    const auto trials = [](RunRequest request) {
        request.repetitions = 1; // the first staircase alone may take a million trials per repetition
        RandomEngine engine;
        std::string text;
        writeTrialTable(simulate(request, engine), nullptr, [&text](const char *data, std::size_t size) {
            text.append(data, size);
            return true;
        });
        return text;
    };
    QCOMPARE(trials(inBatch->request), trials(inWindow));
}

void ExperimentFileCommandsTest::refusedSaveWritesNothing()
{
    // A step text that would break the file is refused before a name is asked for.
    tabs()->pageAt(0)->setPositiveStepsText("1, 0.5");
    trigger("actionSaveFile");
    QVERIFY(dialogs->prompts.isEmpty());
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Warning"));
    QVERIFY2(dialogs->messages[0].text.startsWith("The positive steps of Staircase 0 "),
        qPrintable(dialogs->messages[0].text));
    // So is a string ID that would break the file's lines.
    tabs()->pageAt(0)->setPositiveStepsText("1");
    tabs()->pageAt(0)->setStringIdText("left eye");
    trigger("actionSaveFile");
    QVERIFY(dialogs->prompts.isEmpty());
    QCOMPARE(dialogs->messages.size(), 2);
    QCOMPARE(dialogs->messages[1].text,
        QStringLiteral(
            "The string ID of Staircase 0 (\"left eye\") holds a blank, a tab, a line break, a \":\" "
            "or a \",\", which the parameters file cannot hold. Change the string ID. Nothing was "
            "written."));
    tabs()->pageAt(0)->setStringIdText("left");

    // A directory in the way cannot be replaced by the file.
    const QString target = dir->filePath("taken.txt");
    QVERIFY(QDir(dir->path()).mkdir("taken.txt"));
    writeFile(target + "/inside.txt", "kept");
    dialogs->fileNames.enqueue(target);
    trigger("actionSaveFile");
    QCOMPARE(dialogs->messages.size(), 3);
    QCOMPARE(dialogs->messages[2].title, QStringLiteral("Warning"));
    QVERIFY2(dialogs->messages[2].text.startsWith(
                 "Can't write the parameters file " + QDir::toNativeSeparators(target) + ":\n"),
        qPrintable(dialogs->messages[2].text));
    QCOMPARE(readFile(target + "/inside.txt"), QByteArray("kept"));

    // An existing file that may not be replaced keeps its content. The file is made immutable,
    // which holds even for root (directory permissions do not).
    const QString existing = dir->filePath("existing.txt");
    writeFile(existing, "Mu 1\n");
    if (QProcess::execute("chattr", { "+i", existing }) != 0)
        QSKIP("the file system cannot make a file immutable here");
    dialogs->fileNames.enqueue(existing);
    trigger("actionSaveFile");
    QProcess::execute("chattr", { "-i", existing });
    QCOMPARE(dialogs->messages.size(), 4);
    QVERIFY2(dialogs->messages[3].text.startsWith(
                 "Can't write the parameters file " + QDir::toNativeSeparators(existing) + ":\n"),
        qPrintable(dialogs->messages[3].text));
    QCOMPARE(readFile(existing), QByteArray("Mu 1\n"));
}

void ExperimentFileCommandsTest::saveOnAFullDiskKeepsTheOldFile()
{
    const QString path = dir->filePath("kept.txt");
    const QByteArray old = QByteArray::fromStdString(threeStaircasesFile);
    writeFile(path, old);
    dialogs->fileNames.enqueue(path);
    {
        const FileSizeLimit fullDisk(100); // the file needs about 400 bytes
        trigger("actionSaveFile");
    }
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "kept.txt" });
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(dialogs->messages[0].text,
        "Can't write the parameters file " + QDir::toNativeSeparators(path) + ":\nFile too large");
}

// The document only writes: what stops it comes back to the caller, nothing is asked or shown,
// and the document keeps its file and its changes.
void ExperimentFileCommandsTest::documentSaveReturnsItsProblemWithoutADialog()
{
    auto *document = window->findChild<ExperimentDocument *>();
    QVERIFY(document);
    observerBox("doubleSpinBoxMean")->setValue(3);
    const QString folder = dir->filePath("taken.txt");
    QVERIFY(QDir(dir->path()).mkdir("taken.txt"));
    const QString problem = document->saveTo(folder);
    QVERIFY2(
        problem.startsWith("Can't write the parameters file " + QDir::toNativeSeparators(folder) + ":\n"),
        qPrintable(problem));
    QVERIFY(document->filePath().isEmpty());
    QVERIFY(document->isModified());

    tabs()->pageAt(0)->setPositiveStepsText("1, 0.5");
    const QString other = dir->filePath("other.txt");
    QVERIFY(document->saveTo(other).startsWith("The positive steps of Staircase 0 "));
    QVERIFY(!QFile::exists(other));
    QVERIFY(dialogs->prompts.isEmpty());
    QVERIFY(dialogs->messages.isEmpty());
}

void ExperimentFileCommandsTest::newExperimentKeepsTheObserverAndLeavesOneDefaultPage()
{
    fillTwoPages();
    tabs()->pageAt(0)->setStartLevel(3);
    trigger("actionNew_experiment");
    QCOMPARE(windowState(),
        QStringList({ "mean 1.25 std 0.75 guess 0.5 lapse 0.02 pages 1/1 reps 5",
            "Staircase 0 -5 asc 1 4 100 [0.2] 0.5 clamp inactive -99999 99999 0 offoffoff id offoff[]" }));
    QVERIFY(dialogs->messages.isEmpty());
}

void ExperimentFileCommandsTest::dialogsStartWhereTheLastFileWasAndNamesGetTheirSuffix()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("untitled — Quorvel v 0.5"));
    open(fileWith("sStairStartStates", "sStairStartStates: 1"));
    QCOMPARE(window->windowTitle(), QStringLiteral("untitled — Quorvel v 0.5")); // refused: nothing changes
    open(QByteArray::fromStdString(threeStaircasesFile));
    QCOMPARE(window->windowTitle(), QStringLiteral("experiment.txt — Quorvel v 0.5"));

    QTemporaryDir other;
    dialogs->fileNames.enqueue(other.filePath("copy")); // no suffix
    trigger("actionSaveFileAs");
    QVERIFY(readFile(other.filePath("copy.txt")).startsWith("Mu 0.5\n"));
    QCOMPARE(window->windowTitle(), QStringLiteral("copy.txt — Quorvel v 0.5"));
    dialogs->fileNames.enqueue(other.filePath("graph"));
    trigger("actionExport_graph_to_pdf");
    QVERIFY(readFile(other.filePath("graph.pdf")).startsWith("%PDF"));
    trigger("actionExport_graph_to_pdf"); // cancelled: nothing written, nothing said
    QCOMPARE(
        QDir(other.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ "copy.txt", "graph.pdf" }));
    trigger("actionOpenFile"); // cancelled

    QStringList prompts;
    for (const FilePrompt &p : dialogs->prompts.mid(1))
        prompts << p.caption + " in " + QDir(p.dir).dirName() + " ." + p.defaultSuffix;
    QCOMPARE(prompts,
        QStringList({ "Parameters file to open in " + QDir(dir->path()).dirName() + " .",
            "Save parameters file... in experiment.txt .txt", // the file's folder, its name proposed
            "Output file... in " + QDir(other.path()).dirName() + " .pdf",
            "Output file... in " + QDir(other.path()).dirName() + " .pdf",
            "Parameters file to open in " + QDir(other.path()).dirName() + " ." }));
    QCOMPARE(dialogs->prompts[3].filter, QStringLiteral("PDF (*.pdf);;All files (*)"));
    QCOMPARE(dialogs->messages.size(), 1); // the refused file's
}

void ExperimentFileCommandsTest::changedExperimentIsOfferedForSaving_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<SaveChoice>("choice");
    QTest::addColumn<bool>("nameGiven"); // to the Save dialog
    QTest::addColumn<bool>("goesOn");
    for (const char *command : { "actionNew_experiment", "actionOpenFile", "actionQuit" }) {
        QTest::addRow("%s, Save", command) << command << SaveChoice::save << true << true;
        QTest::addRow("%s, Save cancelled", command) << command << SaveChoice::save << false << false;
        QTest::addRow("%s, Discard", command) << command << SaveChoice::discard << false << true;
        QTest::addRow("%s, Cancel", command) << command << SaveChoice::cancel << false << false;
    }
}

void ExperimentFileCommandsTest::changedExperimentIsOfferedForSaving()
{
    QFETCH(QString, command);
    QFETCH(SaveChoice, choice);
    QFETCH(bool, nameGiven);
    QFETCH(bool, goesOn);
    const QString opened = dir->filePath("three.txt");
    writeFile(opened, QByteArray::fromStdString(threeStaircasesFile));
    const QString saved = dir->filePath("saved.txt");
    window->show();
    setStaircaseCount(2);
    dialogs->saveChoices.enqueue(choice);
    if (choice == SaveChoice::save)
        dialogs->fileNames.enqueue(nameGiven ? saved : QString());
    dialogs->fileNames.enqueue(opened); // for Open's own dialog

    trigger(qPrintable(command));
    QCOMPARE(dialogs->saveQuestions.size(), 1);
    QCOMPARE(dialogs->saveQuestions[0].title, QStringLiteral("Warning"));
    QCOMPARE(dialogs->saveQuestions[0].text, QStringLiteral("Save changes to the experiment?"));
    QCOMPARE(readFile(saved).contains("sStairNumber: 2\n"), nameGiven);
    const int pagesAfter = command == "actionNew_experiment" ? 1 : command == "actionOpenFile" ? 3 : 2;
    QCOMPARE(tabs()->count(), goesOn ? pagesAfter : 2);
    QCOMPARE(window->isVisible(), command != "actionQuit" || !goesOn);
}

void ExperimentFileCommandsTest::titleMarksChangesUntilSavedAndUndoneEditsLeaveNone()
{
    trigger("actionNew_experiment"); // nothing changed: nothing to ask
    open(QByteArray::fromStdString(threeStaircasesFile));
    QCOMPARE(window->windowTitle(), QStringLiteral("experiment.txt — Quorvel v 0.5"));
    // A page the file added is watched as well as the first one.
    tabs()->pageAt(2)->setMaxTrials(71);
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("experiment.txt* — Quorvel v 0.5"));
    tabs()->pageAt(2)->setMaxTrials(70);
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("experiment.txt — Quorvel v 0.5"));
    trigger("actionOpenFile"); // cancelled in its own dialog
    QVERIFY(dialogs->saveQuestions.isEmpty());

    observerBox("doubleSpinBoxMean")->setValue(3);
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("experiment.txt* — Quorvel v 0.5"));
    dialogs->fileNames.enqueue(dir->filePath("copy.txt"));
    trigger("actionSaveFileAs");
    QCOMPARE(window->windowTitle(), QStringLiteral("copy.txt — Quorvel v 0.5"));
    observerBox("doubleSpinBoxMean")->setValue(4); // an edit after Save marks the title again
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("copy.txt* — Quorvel v 0.5"));
    dialogs->saveChoices << SaveChoice::discard;
    trigger("actionNew_experiment");
    QCOMPARE(window->windowTitle(), QStringLiteral("untitled — Quorvel v 0.5"));
    QCOMPARE(dialogs->saveQuestions.size(), 1);
}

void ExperimentFileCommandsTest::saveWritesToTheExperimentsFileAndSaveAsAlwaysAsks()
{
    // Untitled: Save asks, "untitled.txt" in the name field.
    const QString first = dir->filePath("first.txt");
    dialogs->fileNames.enqueue(first);
    trigger("actionSaveFile");
    QCOMPARE(dialogs->prompts.size(), 1);
    QCOMPARE(QFileInfo(dialogs->prompts[0].dir).fileName(), QStringLiteral("untitled.txt"));
    QCOMPARE(dialogs->prompts[0].filter, QStringLiteral("Parameter files (*.txt);;All files (*)"));
    QVERIFY(readFile(first).startsWith("Mu 0\n"));

    // Then Save writes to that file without a dialog.
    observerBox("doubleSpinBoxMean")->setValue(3);
    trigger("actionSaveFile");
    QCOMPARE(dialogs->prompts.size(), 1);
    QVERIFY(readFile(first).startsWith("Mu 3\n"));
    QCOMPARE(window->windowTitle(), QStringLiteral("first.txt — Quorvel v 0.5"));

    // Save As asks every time, the file's own name proposed; cancelled, it writes nothing.
    observerBox("doubleSpinBoxMean")->setValue(4);
    trigger("actionSaveFileAs");
    QCOMPARE(dialogs->prompts.size(), 2);
    QCOMPARE(dialogs->prompts[1].dir, first);
    QVERIFY(readFile(first).startsWith("Mu 3\n"));
    const QString second = dir->filePath("second.txt");
    dialogs->fileNames.enqueue(second);
    trigger("actionSaveFileAs");
    QVERIFY(readFile(second).startsWith("Mu 4\n"));
    QCOMPARE(window->windowTitle(), QStringLiteral("second.txt — Quorvel v 0.5"));
}

void ExperimentFileCommandsTest::duplicateAddsACopyOfTheCurrentPageUpTo99()
{
    fillTwoPages();
    tabs()->setCurrentIndex(0);
    auto *duplicate = child<QPushButton>(*window, "buttonDuplicateStaircase");
    duplicate->click();
    const QStringList state = windowState();
    QCOMPARE(state.size(), 1 + 3);
    QVERIFY(state[0].contains("pages 3/3"));
    // Every field of page 0, enabled or not as there, on the new last page, which is shown.
    QCOMPARE(state[3].section(' ', 2), state[1].section(' ', 2));
    QVERIFY(state[3].startsWith("Staircase 2 "));
    QCOMPARE(tabs()->currentIndex(), 2);
    QVERIFY(dialogs->messages.isEmpty());

    setStaircaseCount(99);
    duplicate->click();
    QCOMPARE(tabs()->count(), 99);
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages[0].text,
        QStringLiteral("The experiment already has 99 staircases, the most it can have; Duplicate staircase "
                       "added none."));
}

QTEST_MAIN(ExperimentFileCommandsTest)
#include "ExperimentFileCommandsTest.moc"
