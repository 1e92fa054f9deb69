// The keypad key: where icon and caption go, how each state paints, and its keyboard and
// pointer behaviour, on a row of real keys in a real (offscreen) window.
#include "ui/buttonctrl.h"
#include "ui/cellfont.h"
#include "ui/keylook.h"
#include "ui/resources.h"

#include "pixels.h"

#include <QFontMetrics>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTestEventList>
#include <QWindow>

#include <memory>

using ui::KeyTextBlock;

namespace {

const QSize kKey(89, 63);
const QColor kFaceTop(246, 246, 243);

// Three keys in a row in a shown, active window, the middle one with the focus.
struct KeyRow {
    QWidget window;
    CButtonCtrl* a;
    CButtonCtrl* b;
    CButtonCtrl* c;

    KeyRow() {
        window.resize(400, 200);
        a = new CButtonCtrl(QStringLiteral("7"), &window);
        b = new CButtonCtrl(QStringLiteral("8"), &window);
        c = new CButtonCtrl(QStringLiteral("9"), &window);
        int x = 10;
        for (CButtonCtrl* key : {a, b, c}) {
            key->setObjectName(key->text() == "7" ? "a" : key->text() == "8" ? "b" : "c");
            key->setGeometry(x, 10, kKey.width(), kKey.height());
            x += kKey.width() + 4;
        }
    }
    bool Show() {
        window.show();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        b->setFocus();
        return b->hasFocus();
    }
    QPoint CentreOf(QWidget* key) const { return key->geometry().center(); }
    QPoint Empty() const { return QPoint(200, 150); }
};

QImage Grab(QWidget* widget) {
    return pixels::Flat(widget->grab());
}

bool Inked(const QColor& c) {
    return std::min({c.red(), c.green(), c.blue()}) < 160;
}

} // namespace

class TestButtonCtrl : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void placement_data();
    void placement();
    void twoLineCaptionMeasure();

    void statePainting_data();
    void statePainting();
    void outlineOnTheKeyEdges();
    void scaledKey_data();
    void scaledKey();
    void disabledKey_data();
    void disabledKey();
    void captionLines_data();
    void captionLines();
    void iconChangeRepaintsAShownKey();

    void keyboard_data();
    void keyboard();
    void heldEnterShowsPushedAndClicksOnce();
    void mouseClicks_data();
    void mouseClicks();
    void hoverFollowsThePointer();
};

// At the screen's scale a key is its design drawn at the new size: the outline still runs
// along every edge of the key on screen, and shrunk back to the design's size it looks as
// the key drawn there, icon and caption in their places.
void TestButtonCtrl::scaledKey_data() {
    QTest::addColumn<double>("scale");
    QTest::newRow("1.28 (1366 x 768)") << 1.28;
    QTest::newRow("1.8 (1920 x 1080)") << 1.8;
    QTest::newRow("0.86 (a small window)") << 0.86;
}

void TestButtonCtrl::scaledKey() {
    QFETCH(double, scale);
    const auto make = [](CButtonCtrl& key) {
        key.setText(QStringLiteral("Печать"));
        key.SetFont(20, QStringLiteral("Arial"));
        key.SetIcon(145, 145, 48, ui::KeyIconAbove);
    };
    CButtonCtrl design;
    make(design);
    design.resize(kKey.width(), 2 * kKey.height() + 4);
    CButtonCtrl scaled;
    make(scaled);
    scaled.SetDesignSize(design.size());
    scaled.resize(qRound(design.width() * scale), qRound(design.height() * scale));
    const QImage big = Grab(&scaled);
    const int w = big.width();
    const int h = big.height();
    for (const QPoint& p :
         {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)})
        // The outline's dark blue, blended with the face where it falls between pixels.
        QVERIFY2(
            big.pixelColor(p).red() < 120 &&
                big.pixelColor(p).blue() - big.pixelColor(p).red() > 40,
            qPrintable(
                QStringLiteral("%1,%2: %3").arg(p.x()).arg(p.y()).arg(big.pixelColor(p).name())));
    const QImage back = big.scaled(design.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage own = Grab(&design);
    long long diff = 0;
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x) {
            const QColor a = own.pixelColor(x, y);
            const QColor b = back.pixelColor(x, y);
            diff += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue());
        }
    const double mean = double(diff) / (3.0 * own.width() * own.height());
    QVERIFY2(mean < 12.0, qPrintable(QString::number(mean)));
}

void TestButtonCtrl::initTestCase() {
    InitVarnetResources();
}

void TestButtonCtrl::placement_data() {
    QTest::addColumn<int>("align");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("iconSize");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<bool>("twoLines");
    QTest::addColumn<QPoint>("icon");
    QTest::addColumn<QRect>("text");
    QTest::addColumn<int>("flags");

    const int single = Qt::TextSingleLine | Qt::AlignVCenter;
    const int wrap = Qt::TextWordWrap | Qt::AlignTop;
    // The product and print keys: 89 x 130, a 48-pixel icon over a 23-pixel caption.
    QTest::newRow("icon above") << 3 << QSize(89, 130) << 48 << 60 << 23 << false << QPoint(21, 26)
                                << QRect(0, 79, 90, 23) << (single | Qt::AlignHCenter);
    QTest::newRow("icon below") << 4 << QSize(89, 130) << 48 << 60 << 23 << false << QPoint(21, 54)
                                << QRect(0, 26, 90, 23) << (single | Qt::AlignHCenter);
    // The settings, layout and auto-print keys: icon only, 32 pixels, in the middle.
    QTest::newRow("icon only") << 5 << kKey << 32 << 0 << 0 << false << QPoint(29, 16) << QRect()
                               << 0;
    QTest::newRow("icon left") << 1 << QSize(120, 40) << 16 << 50 << 18 << false << QPoint(10, 12)
                               << QRect(31, 0, 90, 40) << (single | Qt::AlignLeft);
    QTest::newRow("icon right") << 2 << QSize(120, 40) << 16 << 50 << 18 << false << QPoint(95, 12)
                                << QRect(40, 0, 50, 40) << (single | Qt::AlignRight);
    QTest::newRow("icon left, two lines")
        << 1 << QSize(120, 40) << 16 << 50 << 36 << true << QPoint(10, 12) << QRect(31, 0, 90, 40)
        << (wrap | Qt::AlignLeft);
    // Digit keys: the caption's own box, centred, two pixels larger on each side.
    QTest::newRow("caption only") << 0 << kKey << 0 << 30 << 57 << false << QPoint(45, 32)
                                  << QRect(28, 2, 34, 60) << (single | Qt::AlignHCenter);
    QTest::newRow("unknown placement") << 9 << kKey << 0 << 30 << 57 << false << QPoint(45, 32)
                                       << QRect(28, 2, 34, 60) << (single | Qt::AlignHCenter);
    QTest::newRow("tiny key") << 3 << QSize(10, 10) << 48 << 60 << 23 << false << QPoint(-19, -34)
                              << QRect(0, 19, 11, 23) << (single | Qt::AlignHCenter);
}

void TestButtonCtrl::placement() {
    QFETCH(int, align);
    QFETCH(QSize, size);
    QFETCH(int, iconSize);
    QFETCH(int, textWidth);
    QFETCH(int, textHeight);
    QFETCH(bool, twoLines);
    const ui::KeyPlacement place =
        ui::PlaceKeyContent(align, size, iconSize, KeyTextBlock{textWidth, textHeight, twoLines});
    QTEST(place.ptIcon, "icon");
    QCOMPARE(place.bCaption, align != ui::KeyIconOnly);
    if (place.bCaption) {
        QTEST(place.rcText, "text");
        QTEST(place.nTextFlags, "flags");
    }
}

void TestButtonCtrl::twoLineCaptionMeasure() {
    const QFont font = CellHeightFont(15, false, "Arial");
    const QFontMetrics fm(font);
    const KeyTextBlock two = ui::MeasureKeyCaption("Авто\nпечать", font);
    QVERIFY(two.bTwoLines);
    QCOMPARE(two.nHeight, 2 * fm.height());
    QCOMPARE(two.nWidth, fm.horizontalAdvance("печать"));
    const KeyTextBlock one = ui::MeasureKeyCaption("Печать", font);
    QVERIFY(!one.bTwoLines);
    QCOMPARE(one.nHeight, fm.height());
    const KeyTextBlock none = ui::MeasureKeyCaption(QString(), font);
    QCOMPARE(none.nWidth, 0);
    QCOMPARE(none.nHeight, 0);
}

void TestButtonCtrl::statePainting_data() {
    QTest::addColumn<bool>("hover");
    QTest::addColumn<bool>("focus");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QColor>("secondRow"); // the row under the outline, mid-key
    QTest::addColumn<QColor>("middle");    // the face in the middle of the key
    QTest::addColumn<bool>("focusMark");

    const QColor raised(243, 243, 238);
    const QColor sunken(226, 226, 219);
    QTest::newRow("idle") << false << false << false << QColor(252, 252, 252) << raised << false;
    QTest::newRow("hover") << true << false << false << QColor(253, 216, 137) << raised << false;
    QTest::newRow("focus") << false << true << false << QColor(188, 212, 246) << raised << true;
    QTest::newRow("hover and focus: hover rim and focus mark")
        << true << true << false << QColor(253, 216, 137) << raised << true;
    QTest::newRow("pushed") << false << false << true << QColor(209, 204, 193) << sunken << false;
    QTest::newRow("pushed shows no rim or mark")
        << true << true << true << QColor(209, 204, 193) << sunken << false;
}

void TestButtonCtrl::statePainting() {
    QFETCH(bool, hover);
    QFETCH(bool, focus);
    QFETCH(bool, pressed);
    QFETCH(QColor, secondRow);
    QFETCH(QColor, middle);
    QFETCH(bool, focusMark);

    KeyRow row;
    row.b->setText(QString());
    QVERIFY(row.Show());
    QTest::mouseMove(row.window.windowHandle(), hover ? row.CentreOf(row.b) : row.Empty());
    QTRY_COMPARE(row.b->IsHover(), hover);
    (focus ? row.b : row.a)->setFocus();
    QCOMPARE(row.b->hasFocus(), focus);
    row.b->setDown(pressed);

    const QImage image = Grab(row.b);
    const int mid = kKey.width() / 2;
    QVERIFY2(pixels::Near(image.pixelColor(mid, 1), secondRow),
             qPrintable(image.pixelColor(mid, 1).name()));
    QVERIFY2(pixels::Near(image.pixelColor(mid, kKey.height() / 2), middle, 3),
             qPrintable(image.pixelColor(mid, kKey.height() / 2).name()));
    const int dots = pixels::Count(image, QRect(2, 2, kKey.width() - 4, 1), pixels::Dark);
    if (focusMark)
        QVERIFY2(dots >= (kKey.width() - 4) / 2 - 1, qPrintable(QString::number(dots)));
    else
        QCOMPARE(dots, 0);
}

void TestButtonCtrl::outlineOnTheKeyEdges() {
    CButtonCtrl key;
    key.resize(kKey);
    const QImage image = Grab(&key);
    const QColor outline(0, 60, 116);
    const int w = kKey.width();
    const int h = kKey.height();
    for (const QPoint& p :
         {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)})
        QVERIFY2(pixels::Near(image.pixelColor(p), outline),
                 qPrintable(QStringLiteral("(%1, %2) %3")
                                .arg(p.x())
                                .arg(p.y())
                                .arg(image.pixelColor(p).name())));
    // Just inside the outline the raised bottom edge: darker towards the outline.
    QVERIFY(pixels::Near(image.pixelColor(w / 2, h - 2), QColor(214, 208, 197)));
    QVERIFY(pixels::Near(image.pixelColor(w / 2, h - 3), QColor(226, 223, 214)));
    QVERIFY(pixels::Near(image.pixelColor(w / 2, h - 4), QColor(236, 235, 230)));
}

void TestButtonCtrl::disabledKey_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("withDisabledIcon");
    QTest::addColumn<bool>("iconShown");
    QTest::newRow("enabled") << true << false << true;
    QTest::newRow("disabled, no disabled icon") << false << false << false;
    QTest::newRow("disabled with its own icon") << false << true << true;
}

void TestButtonCtrl::disabledKey() {
    QFETCH(bool, enabled);
    QFETCH(bool, withDisabledIcon);
    QFETCH(bool, iconShown);

    const QSize size(89, 130);
    CButtonCtrl key(QStringLiteral("Печать"));
    key.resize(size);
    key.SetFont(20, "Arial");
    key.SetIcon(VarnetIcon(145), withDisabledIcon ? VarnetIcon(145) : QIcon(), 48,
                ui::KeyIconAbove);
    key.setEnabled(enabled);
    const QImage image = Grab(&key);

    const ui::KeyPlacement place = ui::PlaceKeyContent(
        ui::KeyIconAbove, size, 48, ui::MeasureKeyCaption(key.text(), key.CaptionFont()));
    const int inked = pixels::Count(image, QRect(place.ptIcon, QSize(48, 48)), Inked);
    if (iconShown)
        QVERIFY2(inked > 300, qPrintable(QString::number(inked)));
    else
        QCOMPARE(inked, 0);

    const QRect caption = place.rcText;
    const int black = pixels::Count(image, caption, pixels::Dark);
    const int grey = pixels::Count(
        image, caption, [](const QColor& c) { return pixels::Near(c, QColor(150, 150, 150), 1); });
    if (enabled) {
        QVERIFY2(black > 20, qPrintable(QString::number(black)));
    } else {
        QCOMPARE(black, 0);
        QVERIFY2(grey > 20, qPrintable(QString::number(grey)));
    }
}

void TestButtonCtrl::captionLines_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("lines");
    QTest::newRow("one line") << "Печать" << 1;
    QTest::newRow("line feed: two lines") << "Авто\nпечать" << 2;
}

void TestButtonCtrl::captionLines() {
    QFETCH(QString, caption);
    QFETCH(int, lines);
    CButtonCtrl key(caption);
    key.resize(kKey);
    key.SetFont(15, "Arial");
    const QImage image = Grab(&key);
    const QRect inside(3, 5, kKey.width() - 6, kKey.height() - 10);
    const auto bands = pixels::RowBands(image, inside, pixels::Dark);
    QCOMPARE(bands.size(), lines);
    // Centred in the key both ways, as a block of as many lines as it has.
    const QRect ink = pixels::Bounds(image, inside, pixels::Dark);
    QVERIFY2(qAbs(ink.center().x() - kKey.width() / 2) <= 2,
             qPrintable(QString::number(ink.center().x())));
    const int lineHeight = QFontMetrics(key.CaptionFont()).height();
    QVERIFY(ink.height() <= lines * lineHeight);
    QVERIFY2(qAbs(ink.center().y() - kKey.height() / 2) <= lineHeight / 3,
             qPrintable(QString::number(ink.center().y())));
}

void TestButtonCtrl::iconChangeRepaintsAShownKey() {
    KeyRow row;
    row.a->SetIcon(150, 150, 32, ui::KeyIconOnly);
    QVERIFY(row.Show());
    QVERIFY(QTest::qWaitForWindowExposed(&row.window));

    struct PaintCounter : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint)
                ++n;
            return false;
        }
    } counter;
    QCoreApplication::processEvents();
    row.a->installEventFilter(&counter);
    row.a->SetIcon(149, 149, 32, ui::KeyIconOnly);
    QTRY_VERIFY(counter.n > 0);
}

void TestButtonCtrl::keyboard_data() {
    QTest::addColumn<QTestEventList>("events");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<int>("clicks");

    auto list = [](auto&&... adders) {
        QTestEventList events;
        (adders(events), ...);
        return events;
    };
    auto click = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return [k, m](QTestEventList& e) { e.addKeyClick(k, m); };
    };
    auto press = [](Qt::Key k) { return [k](QTestEventList& e) { e.addKeyPress(k); }; };

    QTest::newRow("Tab: next key") << list(click(Qt::Key_Tab)) << "c" << 0;
    QTest::newRow("Shift+Tab: previous key")
        << list(click(Qt::Key_Tab, Qt::ShiftModifier)) << "a" << 0;
    QTest::newRow("Backtab: previous key") << list(click(Qt::Key_Backtab)) << "a" << 0;
    QTest::newRow("Down: next key") << list(click(Qt::Key_Down)) << "c" << 0;
    QTest::newRow("Up: previous key") << list(click(Qt::Key_Up)) << "a" << 0;
    QTest::newRow("Left: previous key") << list(click(Qt::Key_Left)) << "a" << 0;
    QTest::newRow("Right: next key") << list(click(Qt::Key_Right)) << "c" << 0;
    QTest::newRow("Enter clicks on release") << list(click(Qt::Key_Return)) << "b" << 1;
    QTest::newRow("keypad Enter clicks")
        << list(click(Qt::Key_Enter, Qt::KeypadModifier)) << "b" << 1;
    QTest::newRow("Enter held down: no click yet") << list(press(Qt::Key_Return)) << "b" << 0;
    QTest::newRow("two Enter strokes: two clicks")
        << list(click(Qt::Key_Return), click(Qt::Key_Return)) << "b" << 2;
    QTest::newRow("Space never clicks") << list(click(Qt::Key_Space)) << "b" << 0;
    QTest::newRow("Space, then Enter: one click")
        << list(press(Qt::Key_Space), click(Qt::Key_Return),
                [](QTestEventList& e) { e.addKeyRelease(Qt::Key_Space); })
        << "b" << 1;
    QTest::newRow("Escape does not click") << list(click(Qt::Key_Escape)) << "b" << 0;
    QTest::newRow("a digit does not click") << list(click(Qt::Key_8)) << "b" << 0;
}

void TestButtonCtrl::keyboard() {
    QFETCH(QTestEventList, events);
    QFETCH(QString, focusAfter);
    QFETCH(int, clicks);

    KeyRow row;
    QVERIFY(row.Show());
    QSignalSpy spy(row.b, &QAbstractButton::clicked);
    events.simulate(row.b);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
    QCOMPARE(spy.count(), clicks);
}

void TestButtonCtrl::heldEnterShowsPushedAndClicksOnce() {
    KeyRow row;
    QVERIFY(row.Show());
    QSignalSpy spy(row.b, &QAbstractButton::clicked);
    const QColor pushedEdge(209, 204, 193);

    QTest::keyPress(row.b, Qt::Key_Return);
    QVERIFY(row.b->isDown());
    QVERIFY(pixels::Near(Grab(row.b).pixelColor(kKey.width() / 2, 1), pushedEdge));
    // The keyboard's own repeat while Enter stays down.
    for (int i = 0; i < 3; ++i) {
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r", true);
        QApplication::sendEvent(row.b, &up);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
        QApplication::sendEvent(row.b, &down);
    }
    QCOMPARE(spy.count(), 0);
    QVERIFY(row.b->isDown());
    QTest::keyRelease(row.b, Qt::Key_Return);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!row.b->isDown());
}

void TestButtonCtrl::mouseClicks_data() {
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<int>("clicks");
    QTest::newRow("click") << false << 1;
    QTest::newRow("double click: two clicks") << true << 2;
}

void TestButtonCtrl::mouseClicks() {
    QFETCH(bool, doubleClick);
    QFETCH(int, clicks);
    KeyRow row;
    QVERIFY(row.Show());
    QSignalSpy spy(row.b, &QAbstractButton::clicked);
    QWindow* window = row.window.windowHandle();
    if (doubleClick)
        QTest::mouseDClick(window, Qt::LeftButton, {}, row.CentreOf(row.b));
    else
        QTest::mouseClick(window, Qt::LeftButton, {}, row.CentreOf(row.b));
    QCOMPARE(spy.count(), clicks);
}

void TestButtonCtrl::hoverFollowsThePointer() {
    KeyRow row;
    QVERIFY(row.Show());
    QWindow* window = row.window.windowHandle();
    const QColor hoverRim(253, 216, 137);

    QTest::mouseMove(window, row.CentreOf(row.a));
    QTRY_VERIFY(row.a->IsHover());
    QVERIFY(pixels::Near(Grab(row.a).pixelColor(kKey.width() / 2, 1), hoverRim));

    QTest::mouseMove(window, row.CentreOf(row.c));
    QTRY_VERIFY(row.c->IsHover());
    QVERIFY(!row.a->IsHover());
    QVERIFY(pixels::Near(Grab(row.a).pixelColor(kKey.width() / 2, 1), QColor(252, 252, 252)));

    QTest::mouseMove(window, row.Empty());
    QTRY_VERIFY(!row.c->IsHover());

    // A key hidden under the pointer comes back unlit.
    QTest::mouseMove(window, row.CentreOf(row.a));
    QTRY_VERIFY(row.a->IsHover());
    row.a->hide();
    QVERIFY(!row.a->IsHover());
}

QTEST_MAIN(TestButtonCtrl)
#include "tst_buttonctrl.moc"
