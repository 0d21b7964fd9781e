#include "TabStaircase.h"
#include "StaircaseParamSetter.h"

#include <QTest>

class TabStaircaseTest : public QObject
{
    Q_OBJECT

private slots:
    void growingKeepsPagesAndAddsDefaultOnes();
    void shrinkingDropsPagesAtTheEndAndRegrowingGivesFreshOnes();
    void removeAllPagesThenOnePageStartsAgainAtZero();
    void pageAtOutsideTheTabsIsNull();
};

static QStringList tabTitles(const TabStaircase &tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs.count(); ++i)
        titles << tabs.tabText(i);
    return titles;
}

void TabStaircaseTest::growingKeepsPagesAndAddsDefaultOnes()
{
    TabStaircase tabs;
    tabs.setNumberOfTabs(1);
    tabs.pageAt(0)->setStartLevel(3.25);
    StaircaseParamSetter *first = tabs.pageAt(0);

    tabs.setNumberOfTabs(3);
    QCOMPARE(tabTitles(tabs), QStringList({ "Staircase 0", "Staircase 1", "Staircase 2" }));
    QCOMPARE(tabs.pageAt(0), first);
    QCOMPARE(tabs.pageAt(0)->getStartLevel(), 3.25);
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(tabs.pageAt(i)->getStartLevel(), -5.0);
        QCOMPARE(tabs.widget(i), tabs.pageAt(i));
        QCOMPARE(tabs.pageAt(i)->getStringId(), QString::number(i));
    }

    tabs.setNumberOfTabs(3); // same count: nothing changes
    QCOMPARE(tabs.count(), 3);
    QCOMPARE(tabs.pageAt(0), first);
}

void TabStaircaseTest::shrinkingDropsPagesAtTheEndAndRegrowingGivesFreshOnes()
{
    TabStaircase tabs;
    tabs.setNumberOfTabs(3);
    tabs.pageAt(0)->setMaxTrials(7);
    tabs.pageAt(1)->setMaxTrials(8);

    tabs.setNumberOfTabs(1);
    QCOMPARE(tabTitles(tabs), QStringList({ "Staircase 0" }));
    QCOMPARE(tabs.pageAt(0)->getMaxTrials(), 7);

    tabs.setNumberOfTabs(2);
    QCOMPARE(tabTitles(tabs), QStringList({ "Staircase 0", "Staircase 1" }));
    QCOMPARE(tabs.pageAt(1)->getMaxTrials(), 100); // a fresh page, not the old one
    QCOMPARE(tabs.pageAt(1)->getStringId(), QString("1"));

    tabs.setNumberOfTabs(0);
    QCOMPARE(tabs.count(), 0);
    tabs.setNumberOfTabs(1);
    QCOMPARE(tabTitles(tabs), QStringList({ "Staircase 0" }));
    QCOMPARE(tabs.pageAt(0)->getStringId(), QString("0"));
}

void TabStaircaseTest::removeAllPagesThenOnePageStartsAgainAtZero()
{
    TabStaircase tabs;
    tabs.setNumberOfTabs(4);
    tabs.removeAllPages();
    QCOMPARE(tabs.count(), 0);
    QVERIFY(!tabs.pageAt(0));

    tabs.setNumberOfTabs(1);
    QCOMPARE(tabTitles(tabs), QStringList({ "Staircase 0" }));
    QCOMPARE(tabs.pageAt(0)->getStringId(), QString("0"));
    QCOMPARE(tabs.pageAt(0)->getMaxInversions(), 4);
}

void TabStaircaseTest::pageAtOutsideTheTabsIsNull()
{
    TabStaircase tabs;
    tabs.setNumberOfTabs(2);
    QVERIFY(!tabs.pageAt(-1));
    QVERIFY(!tabs.pageAt(2));
    tabs.setNumberOfTabs(-3); // treated as 0
    QCOMPARE(tabs.count(), 0);
}

QTEST_MAIN(TabStaircaseTest)
#include "TabStaircaseTest.moc"
