#include "ui/touchscroll.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScroller>
#include <QScrollerProperties>
#include <QStyleHints>

namespace {
// The scroller holds a press back until it knows whether a swipe follows, and hands on the
// second press of a double click as a plain press: the list would never see a double click.
// Two taps in quick succession at one place become the double click again.
class CDoubleTap : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_bSending)
            return false;
        if (event->type() == QEvent::MouseButtonDblClick) {
            m_first.invalidate(); // a double click that came through as such
            return false;
        }
        if (event->type() != QEvent::MouseButtonPress)
            return false;
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() != Qt::LeftButton)
            return false;
        const QPoint at = press->position().toPoint();
        const bool second =
            m_first.isValid() &&
            m_first.elapsed() <= QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
            (at - m_ptFirst).manhattanLength() <= QApplication::startDragDistance();
        if (!second) {
            m_first.start();
            m_ptFirst = at;
            return false;
        }
        m_first.invalidate();
        QMouseEvent twice(QEvent::MouseButtonDblClick, press->position(), press->scenePosition(),
                          press->globalPosition(), Qt::LeftButton, press->buttons(),
                          press->modifiers());
        m_bSending = true;
        QCoreApplication::sendEvent(watched, &twice);
        m_bSending = false;
        return true;
    }

private:
    QElapsedTimer m_first;
    QPoint m_ptFirst;
    bool m_bSending = false;
};
} // namespace

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
    view->viewport()->installEventFilter(new CDoubleTap(view->viewport()));
}
