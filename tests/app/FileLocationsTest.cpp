// Dialog folders and default suffixes, without a window (the title is checked on the window).
#include "FileLocations.h"

#include <QtTest>

class FileLocationsTest : public QObject
{
    Q_OBJECT

private slots:
    void suffixIsAddedOnlyToANameWithoutOne();
    void examplesFolderComesFromTheProgramNotTheWorkingFolder();
};

void FileLocationsTest::suffixIsAddedOnlyToANameWithoutOne()
{
    const std::pair<const char *, const char *> cases[] = { { "/a/results", "/a/results.txt" },
        { "/a.d/results", "/a.d/results.txt" }, { "/a/results.dat", "/a/results.dat" },
        { "/a/results.", "/a/results." }, { "", "" } }; // empty: a cancelled dialog stays cancelled
    for (const auto &[path, expected] : cases)
        QCOMPARE(withDefaultSuffix(path, "txt"), QString(expected));
}

void FileLocationsTest::examplesFolderComesFromTheProgramNotTheWorkingFolder()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("examples") && QDir(root.path()).mkpath("build/app"));
    const QString examples = root.filePath("examples");
    const QString program = root.filePath("build/app");
    QCOMPARE(examplesFolder(examples, root.filePath("elsewhere")), examples);
    // The source tree was moved since the build: found beside the program.
    QCOMPARE(examplesFolder(root.filePath("moved/examples"), program), examples);
    QCOMPARE(examplesFolder(root.filePath("moved"), root.path()), QDir::homePath());

    FileLocations locations(examples);
    locations.remember(QString()); // a cancelled dialog
    QCOMPARE(locations.folder(), examples);
    locations.remember(program + "/results.txt");
    QCOMPARE(locations.folder(), program);
}

QTEST_GUILESS_MAIN(FileLocationsTest)
#include "FileLocationsTest.moc"
