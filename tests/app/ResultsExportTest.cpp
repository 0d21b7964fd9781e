#include "ResultsExport.h"

#include <QDir>
#include <QFile>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

namespace
{

QStandardItemModel *tableModel(const QList<QStringList> &rows, QObject *parent)
{
    auto *model = new QStandardItemModel(int(rows.size()), 6, parent);
    for (int row = 0; row < rows.size(); ++row)
        for (int column = 0; column < rows[row].size(); ++column)
            model->setItem(row, column, new QStandardItem(rows[row][column]));
    return model;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

} // namespace

class ResultsExportTest : public QObject
{
    Q_OBJECT

private slots:
    void writesHeaderThenEveryCellFollowedByATab();
    void emptyTableGivesTheHeaderAlone();
    void replacesCharactersOutsideLatin1_data();
    void replacesCharactersOutsideLatin1();
    void reportsAFileItCannotWriteByName();
    void replacesAnExistingFile();
};

void ResultsExportTest::writesHeaderThenEveryCellFollowedByATab()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("results.csv");
    QObject owner;
    QStandardItemModel *model
        = tableModel({ { "1", "0", "0", "0", "0.900", "1" }, { "0", "1", "0", "0", "-4.500", "0" },
                         { "0", "2", "1", "0", "-0.123" } }, // one cell has no item
            &owner);
    QCOMPARE(exportResults(*model, path), QString());
    QCOMPARE(readAll(path),
        QByteArray("ID\tNtrial\tSteps\tInversions\tState\tResponse\n"
                   "1\t0\t0\t0\t0.900\t1\t\n"
                   "0\t1\t0\t0\t-4.500\t0\t\n"
                   "0\t2\t1\t0\t-0.123\t\t\n"));
}

void ResultsExportTest::emptyTableGivesTheHeaderAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.csv");
    QStandardItemModel model(0, 6);
    QCOMPARE(exportResults(model, path), QString());
    QCOMPARE(readAll(path), QByteArray("ID\tNtrial\tSteps\tInversions\tState\tResponse\n"));
}

void ResultsExportTest::replacesCharactersOutsideLatin1_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << "left" << QByteArray("left");
    QTest::newRow("latin-1 kept") << QString::fromUtf8("f\xc3\xa9"
                                                       "e")
                                  << QByteArray("f\xe9"
                                                "e");
    QTest::newRow("greek") << QString::fromUtf8("\xce\xb1-\xce\xb2") << QByteArray("?-?");
    QTest::newRow("outside the BMP is one character")
        << QString::fromUtf8("a\xf0\x9f\x98\x80z") << QByteArray("a?z");
}

void ResultsExportTest::replacesCharactersOutsideLatin1()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toLatin1WithReplacement(text), bytes);

    QTemporaryDir dir;
    const QString path = dir.filePath("ids.csv");
    QObject owner;
    QCOMPARE(exportResults(*tableModel({ { text, "0", "0", "0", "1.000", "1" } }, &owner), path), QString());
    QVERIFY(readAll(path).endsWith("\n" + bytes + "\t0\t0\t0\t1.000\t1\t\n"));
}

void ResultsExportTest::reportsAFileItCannotWriteByName()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/results.csv");
    QStandardItemModel model(0, 6);
    const QString message = exportResults(model, path);
    QVERIFY2(
        message.startsWith("Could not write the simulation results to " + QDir::toNativeSeparators(path)),
        qPrintable(message));
    QVERIFY(!QFile::exists(path));
}

void ResultsExportTest::replacesAnExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.csv");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(1000, 'x'));
    }
    QStandardItemModel model(0, 6);
    QCOMPARE(exportResults(model, path), QString());
    QCOMPARE(readAll(path), QByteArray("ID\tNtrial\tSteps\tInversions\tState\tResponse\n"));
}

QTEST_MAIN(ResultsExportTest)
#include "ResultsExportTest.moc"
