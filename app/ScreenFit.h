#pragma once
// The size a window is first shown at: the size at which every control of its
// tabs shows without scrolling, as long as the screen has room for it; the
// tabs whose contents sit in a scroll area scroll when it has not.

#include <QSize>

#include <initializer_list>

class QScrollArea;
class QTabWidget;
class QWidget;

// `window` must be about to be shown (its style and fonts have given every
// control its size); `scrollingTabs` are pages of `tabs`, each holding one
// scroll area, whose minimum size is left at 0 × 0.
QSize sizeFittingScreen(
    QWidget &window, QTabWidget &tabs, std::initializer_list<QScrollArea *> scrollingTabs);
