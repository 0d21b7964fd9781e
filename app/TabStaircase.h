#pragma once
// The tab set on the Simulator tab that holds one parameter page per staircase.
// Pages are only added and removed at the end, so page i is tab i, titled
// "Staircase i", and its default string ID is i. The tab bar's corner holds the
// Duplicate staircase button (`buttonDuplicateStaircase`), which the window handles.

#include <QTabWidget>

#include <deque>

class StaircaseParamSetter;

// The title of tab `index`: "Staircase " and the 0-based index.
QString staircaseTabTitle(int index);

class TabStaircase : public QTabWidget
{
    Q_OBJECT

public:
    explicit TabStaircase(QWidget *parent = nullptr);
    ~TabStaircase() override;

    // The page of tab `index`, 0 <= index < count(); nullptr outside that range.
    StaircaseParamSetter *pageAt(int index) const;
    // Destroys every page; the tab set is left without tabs.
    void removeAllPages();

public slots:
    // Adds default pages or removes pages at the end until there are n (n < 0 counts as 0);
    // the pages that stay keep their values.
    void setNumberOfTabs(int n);

signals:
    // A page was added or removed, or a field of a page changed.
    void pagesEdited();

private:
    std::deque<StaircaseParamSetter *> pages;
};
