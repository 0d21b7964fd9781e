#include "ScreenFit.h"

#include <QCoreApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>

namespace
{

// The window's minimum must follow at once, so the sizes read after it hold. A layout request
// climbs one layout per pass, and a tab not shown does not tell the tab set of its change.
void setMinimum(QTabWidget &tabs, QScrollArea *area, const QSize &size)
{
    area->setMinimumSize(size);
    QWidget *pages = tabs.widget(0)->parentWidget();
    pages->layout()->invalidate();
    for (QWidget *w = pages; w; w = w->parentWidget())
        QCoreApplication::sendPostedEvents(w, QEvent::LayoutRequest);
}

} // namespace

QSize sizeFittingScreen(QWidget &window, QTabWidget &tabs, std::initializer_list<QScrollArea *> scrollingTabs)
{
    // Some controls take their final size only once shown: each tab is shown once, before the window is.
    const int current = tabs.currentIndex();
    for (int i = 0; i < tabs.count(); ++i)
        tabs.setCurrentIndex(i);
    tabs.setCurrentIndex(current);
    for (QScrollArea *area : scrollingTabs)
        setMinimum(tabs, area, area->widget()->minimumSizeHint());
    // Room for a scroll bar besides: at exactly its contents' size a scroll area may still show one.
    const int scrollBar = window.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize whole = window.minimumSizeHint() + QSize(scrollBar, scrollBar);
    for (QScrollArea *area : scrollingTabs)
        setMinimum(tabs, area, QSize(0, 0));
    // Room for the window's frame, which is not known before it is shown.
    const QSize frame(16, 48);
    return whole.boundedTo(window.screen()->availableGeometry().size() - frame);
}
