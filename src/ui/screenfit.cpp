#include "ui/screenfit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QFont>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionComplex>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {
// About 9 mm on a monitor of 96 dpi, the size of a fingertip.
constexpr int kTouchRow = 34;

// The program's style with the parts that the font does not size grown with the screen: check
// boxes and radio buttons, scroll bars, icons, and the arrows of spin boxes, lists and date
// fields, so that a finger hits them at a scaled screen as a mouse does at 800 by 600. It
// draws nothing of its own: the style it wraps draws every part at the grown size.
class CTouchStyle : public QProxyStyle {
public:
    explicit CTouchStyle(const QString& base) : QProxyStyle(base) {}

    void SetFactor(double factor) { m_factor = std::max(1.0, factor); }

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
        case PM_ScrollBarExtent:
        case PM_ScrollBarSliderMin:
        case PM_SmallIconSize:
        case PM_ButtonIconSize:
        case PM_MessageBoxIconSize:
        case PM_MenuButtonIndicator:
            return qRound(base * m_factor);
        default:
            return base;
        }
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        const bool spin = control == CC_SpinBox;
        if (m_factor <= 1.0 || !option || (!spin && control != CC_ComboBox))
            return rect;
        const SubControl field = spin ? SC_SpinBoxEditField : SC_ComboBoxEditField;
        const SubControl arrow = spin ? SC_SpinBoxUp : SC_ComboBoxArrow;
        const bool isArrow = part == arrow || (spin && part == SC_SpinBoxDown);
        if (part != field && !isArrow)
            return rect;
        // The arrows grow to their left, into the field, which keeps at least half the width.
        const QRect arrows = QProxyStyle::subControlRect(control, option, arrow, widget);
        if (arrows.isEmpty() || arrows.center().x() < option->rect.center().x())
            return rect;
        const int room = std::max(0, option->rect.width() / 2 - arrows.width());
        const int extra = std::min(room, Growth(arrows.width()));
        if (part == field)
            rect.setRight(rect.right() - extra);
        else
            rect.setLeft(rect.left() - extra);
        return rect;
    }

    // Keys, lists and spin boxes that a layout sizes are a finger's height at every size, and
    // as much wider as their arrows have grown.
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        if (!option)
            return size;
        if (type != CT_PushButton && type != CT_ComboBox && type != CT_SpinBox)
            return size;
        size.setHeight(std::max(size.height(), TouchRowHeight(m_factor)));
        if (type == CT_PushButton)
            return size;
        QRect arrows;
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option))
            arrows = ArrowsAt(*combo, size, CC_ComboBox, SC_ComboBoxArrow, widget);
        else if (const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option))
            arrows = ArrowsAt(*spin, size, CC_SpinBox, SC_SpinBoxUp, widget);
        size.rwidth() += Growth(arrows.width());
        return size;
    }

private:
    // Where the wrapped style puts a control's arrows when the control has the given size.
    template <typename Option>
    QRect ArrowsAt(const Option& option, const QSize& size, ComplexControl control,
                   SubControl arrow, const QWidget* widget) const {
        Option sized(option);
        sized.rect = QRect(QPoint(), size);
        return QProxyStyle::subControlRect(control, &sized, arrow, widget);
    }

    // How much a part of the given size grows at the factor.
    int Growth(int size) const { return qRound(size * (m_factor - 1.0)); }

    double m_factor = 1.0;
};
} // namespace

namespace {
double g_dProgramScale = 1.0;
} // namespace

double ProgramControlsScale() {
    return g_dProgramScale;
}

int TouchRowHeight(double factor) {
    return qRound(kTouchRow * std::max(1.0, factor));
}

void ScaleProgramControls(double factor) {
    static std::optional<QFont> design;
    // The first call applies whatever the factor, the design's 1 included.
    static bool applied = false;
    if (factor <= 0.0 || (applied && factor == g_dProgramScale))
        return;
    if (!design)
        design = QApplication::font();
    applied = true;
    g_dProgramScale = factor;
    // The style goes in with the screen's first size, the design's included: the keys a
    // finger presses are a finger's height at every size.
    static QPointer<CTouchStyle> style;
    if (!style) {
        style = new CTouchStyle(QApplication::style()->name());
        QApplication::setStyle(style); // the application owns it
    }
    style->SetFactor(factor);
    QFont font = *design;
    if (design->pixelSize() > 0)
        font.setPixelSize(std::max(1, qRound(design->pixelSize() * factor)));
    else
        font.setPointSizeF(design->pointSizeF() * factor);
    QApplication::setFont(font);
}

void FitMenuForTouch(QMenu& menu, double factor) {
    const int height = TouchRowHeight(factor);
    const int text = QFontMetrics(menu.font()).height();
    const int padding = std::max(2, (height - text) / 2);
    menu.setStyleSheet(QStringLiteral("QMenu::item { padding: %1px %2px %1px %3px; }")
                           .arg(padding)
                           .arg(2 * padding)
                           .arg(3 * padding));
}

void FitDialogToScale(QWidget& dialog, double factor) {
    const bool fixed = dialog.minimumSize() == dialog.maximumSize();
    if (!fixed && factor > 1.0)
        dialog.resize((QSizeF(dialog.size()) * factor).toSize());
    for (QTableView* view : dialog.findChildren<QTableView*>()) {
        view->verticalHeader()->setMinimumSectionSize(TouchRowHeight(factor));
        view->verticalHeader()->setDefaultSectionSize(TouchRowHeight(factor));
    }
    // A calendar that drops down from a date field gets days a finger can hit: seven columns
    // and eight rows (month, day names, six weeks) of a finger's size.
    for (QDateTimeEdit* edit : dialog.findChildren<QDateTimeEdit*>()) {
        if (!edit->calendarPopup() || !edit->calendarWidget())
            continue;
        const int row = TouchRowHeight(factor);
        edit->calendarWidget()->setMinimumSize(qRound(7 * row * 1.25), 8 * row);
    }
    if (fixed || factor <= 1.0)
        return;
    // Columns set up in pixels keep their share of the grown list; a dialog may add them
    // only as it is shown, so this waits for that.
    QPointer<QWidget> guard(&dialog);
    QTimer::singleShot(0, &dialog, [guard, factor] {
        if (!guard)
            return;
        for (QTableView* view : guard->findChildren<QTableView*>()) {
            if (!view->model())
                continue;
            // Columns that size themselves (to their contents, or to the room left) already
            // have the scaled font's widths.
            for (int c = 0; c < view->model()->columnCount(); ++c)
                if (view->horizontalHeader()->sectionResizeMode(c) == QHeaderView::Interactive)
                    view->setColumnWidth(c, qRound(view->columnWidth(c) * factor));
        }
    });
}

ScaledWindowPlace PlaceScaledWindow(const QSize& design, double factor, const QRect& available,
                                    const QMargins& frame) {
    ScaledWindowPlace place;
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    const double fitsWidth = double(available.width() - frameWidth) / design.width();
    const double fitsHeight = double(available.height() - frameHeight) / design.height();
    // Down to a quarter of the design, the least a window of the screen may have.
    place.factor = std::max(0.25, std::min({factor, fitsWidth, fitsHeight}));
    place.size = (QSizeF(design) * place.factor).toSize();
    place.framePos = QPoint(
        available.left() + std::max(0, (available.width() - place.size.width() - frameWidth) / 2),
        available.top() +
            std::max(0, (available.height() - place.size.height() - frameHeight) / 2));
    return place;
}

bool KeepWindowOnScreen(QWidget& window) {
    if (!window.isWindow() || window.isFullScreen() || window.isMaximized() || window.isMinimized())
        return false;
    const QScreen* screen = window.screen();
    if (!screen)
        return false;
    const QRect area = screen->availableGeometry();
    const QRect outer = window.frameGeometry();
    // A window moved partly off the screen by hand stays where it was put.
    if (outer.width() <= area.width() && outer.height() <= area.height())
        return false;
    const QRect inner = window.geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    const ScaledWindowPlace place = PlaceScaledWindow(window.size(), 1.0, area, frame);
    if (window.minimumSize() == window.maximumSize())
        window.setFixedSize(place.size);
    else
        window.resize(place.size);
    window.move(place.framePos);
    return true;
}

namespace {
class CKeepOnScreen : public QObject {
public:
    explicit CKeepOnScreen(QWidget& window) : QObject(&window), m_window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched == &m_window && !m_bBusy &&
            (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize)) {
            m_bBusy = true;
            KeepWindowOnScreen(m_window);
            m_bBusy = false;
        }
        return false;
    }

private:
    QWidget& m_window;
    bool m_bBusy = false;
};
} // namespace

void KeepOnScreenWhenFramed(QWidget& window) {
    window.installEventFilter(new CKeepOnScreen(window));
}
