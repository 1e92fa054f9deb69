#include "ui/touchscroll.h"

#include <QAbstractItemView>
#include <QScroller>
#include <QScrollerProperties>

void EnableSwipeScrolling(QAbstractItemView* view) {
    if (!view)
        return;
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(view->viewport(), QScroller::LeftMouseButtonGesture);
    QScroller* scroller = QScroller::scroller(view->viewport());
    QScrollerProperties p = scroller->scrollerProperties();
    // A list ends where it ends: no overshoot past the first or last row, which would show
    // an empty band that a finger could take for the end of the goods.
    p.setScrollMetric(QScrollerProperties::HorizontalOvershootPolicy,
                      QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
    p.setScrollMetric(QScrollerProperties::VerticalOvershootPolicy,
                      QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
    scroller->setScrollerProperties(p);
}
