#include "TabStaircase.h"

#include "StaircaseParamSetter.h"

#include <QPushButton>

QString staircaseTabTitle(int index)
{
    return QStringLiteral("Staircase ") + QString::number(index);
}

TabStaircase::TabStaircase(QWidget *parent)
    : QTabWidget(parent)
{
    auto *duplicate = new QPushButton(tr("Duplicate staircase"), this);
    duplicate->setObjectName(QStringLiteral("buttonDuplicateStaircase"));
    duplicate->setToolTip(tr("Add a staircase at the end with every setting of the page shown"));
    setCornerWidget(duplicate, Qt::TopRightCorner);
}

TabStaircase::~TabStaircase()
{
    removeAllPages();
}

StaircaseParamSetter *TabStaircase::pageAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(pages.size()))
        return nullptr;
    return pages[static_cast<std::size_t>(index)];
}

void TabStaircase::removeAllPages()
{
    for (StaircaseParamSetter *page : pages)
        delete page; // the tab goes with its page
    const bool removed = !pages.empty();
    pages.clear();
    if (removed)
        emit pagesEdited();
}

void TabStaircase::setNumberOfTabs(int n)
{
    n = std::max(n, 0);
    const int before = count();
    for (int i = count(); i < n; ++i) {
        auto *page = new StaircaseParamSetter(this);
        connect(page, &StaircaseParamSetter::edited, this, &TabStaircase::pagesEdited);
        pages.push_back(page);
        addTab(page, staircaseTabTitle(i));
    }
    while (count() > n && !pages.empty()) {
        delete pages.back();
        pages.pop_back();
    }
    if (count() != before)
        emit pagesEdited();
}
