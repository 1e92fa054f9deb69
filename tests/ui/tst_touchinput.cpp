// Input for a counter without a keyboard: the on-screen keyboard that a press on a dialog's
// text field opens (Cyrillic and Latin letters, digits, shift, backspace; the field's own
// limits apply; the dialog makes room and stays on the screen, and gets its size back), and
// lists that scroll by a swipe while a tap still chooses a row.
#include "catalogue/cdlgfind.h"
#include "ui/appconfig.h"
#include "ui/screenfit.h"
#include "ui/touchkeyboard.h"
#include "ui/touchscroll.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QScroller>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {
void Tap(QAbstractButton* key) {
    QVERIFY2(key, "no such key");
    QTest::mouseClick(key, Qt::LeftButton);
}

// Presses a field as a finger does and waits for the keyboard.
CTouchKeyboard* PressField(QLineEdit* field) {
    QTest::mouseClick(field, Qt::LeftButton);
    for (int i = 0; i < 50; ++i) {
        CTouchKeyboard* keyboard = CTouchKeyboard::Of(field->window());
        if (keyboard && keyboard->Target() == field && keyboard->isVisible())
            return keyboard;
        QTest::qWait(10);
    }
    return nullptr;
}

// The whole widget lies in the visible part of its window, above the keyboard.
bool AboveKeyboard(QWidget* w, CTouchKeyboard* keyboard) {
    const QRect r(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    return w->isVisible() && r.bottom() < keyboard->geometry().top() &&
           w->window()->rect().contains(r);
}
} // namespace

class TstTouchInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { CTouchKeyboard::Install(); }

    void typesRussian() {
        QDialog dlg;
        auto* layout = new QVBoxLayout(&dlg);
        auto* list = new QListWidget(&dlg);
        auto* field = new QLineEdit(&dlg);
        auto* ok = new QPushButton(QStringLiteral("ОК"), &dlg);
        layout->addWidget(list, 1);
        layout->addWidget(field);
        layout->addWidget(ok);
        dlg.resize(500, 300);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QSize before = dlg.size();

        CTouchKeyboard* keyboard = PressField(field);
        QVERIFY(keyboard && keyboard->isVisible());
        QCOMPARE(keyboard->Target(), field);
        QVERIFY(dlg.height() > before.height());
        QVERIFY(AboveKeyboard(field, keyboard));
        QVERIFY(AboveKeyboard(ok, keyboard));
        QCOMPARE(CTouchKeyboard::Rows(false)[1].join(QString()), QStringLiteral("йцукенгшщзхъ"));
        for (const QString& row : {QStringLiteral("1234567890-"), QStringLiteral("фывапролджэё")})
            for (const QChar c : row)
                QVERIFY2(keyboard->KeyFor(QString(c)), qPrintable(QString(c)));

        Tap(keyboard->KeyFor(CTouchKeyboard::kShift));
        Tap(keyboard->KeyFor(QStringLiteral("С"))); // shift shows and types capitals, once
        Tap(keyboard->KeyFor(QStringLiteral("ы")));
        Tap(keyboard->KeyFor(QStringLiteral("р")));
        Tap(keyboard->KeyFor(CTouchKeyboard::kSpace));
        Tap(keyboard->KeyFor(QStringLiteral("5")));
        Tap(keyboard->KeyFor(QStringLiteral("0")));
        Tap(keyboard->KeyFor(QStringLiteral("ё")));
        Tap(keyboard->KeyFor(CTouchKeyboard::kBackspace));
        QCOMPARE(field->text(), QStringLiteral("Сыр 50"));
        Tap(keyboard->KeyFor(CTouchKeyboard::kLatin));
        QVERIFY(keyboard->IsLatin());
        Tap(keyboard->KeyFor(QStringLiteral("q")));
        Tap(keyboard->KeyFor(QStringLiteral("\\")));
        Tap(keyboard->KeyFor(CTouchKeyboard::kCyrillic));
        Tap(keyboard->KeyFor(QStringLiteral("й")));
        QCOMPARE(field->text(), QStringLiteral("Сыр 50q\\й"));
        // The keys never took the focus from the field.
        QVERIFY(field->hasFocus());
        QSignalSpy entered(field, &QLineEdit::returnPressed);
        Tap(keyboard->KeyFor(CTouchKeyboard::kEnter));
        QCOMPARE(entered.count(), 1);

        Tap(keyboard->KeyFor(CTouchKeyboard::kHide));
        QVERIFY(!keyboard->isVisible());
        QCOMPARE(dlg.size(), before);
    }

    // The field's validator and length limit apply to what the keyboard types.
    void fieldLimitsApply() {
        QDialog dlg;
        auto* field = new QLineEdit(&dlg);
        field->setGeometry(10, 10, 200, 30);
        field->setMaxLength(3);
        field->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
        dlg.resize(400, 200);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CTouchKeyboard* keyboard = PressField(field);
        QVERIFY(keyboard);
        for (const char* key : {"1", "а", "2", "3", "4"})
            Tap(keyboard->KeyFor(QString::fromUtf8(key)));
        QCOMPARE(field->text(), QStringLiteral("123"));
    }

    // Keys of a real keyboard never open it: Tab into the field leaves the dialog as it is.
    void keyboardFocusDoesNotOpenIt() {
        QDialog dlg;
        auto* layout = new QVBoxLayout(&dlg);
        auto* first = new QPushButton(QStringLiteral("x"), &dlg);
        auto* field = new QLineEdit(&dlg);
        layout->addWidget(first);
        layout->addWidget(field);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Tab);
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, QStringLiteral("abc"));
        QTest::qWait(50);
        QVERIFY(!CTouchKeyboard::Of(&dlg));
    }

    // The settings dialog of fixed size and the search dialog grow by the keyboard and stay on
    // the screen with their fields and keys above it; both get their size and place back.
    void dialogsStayOnTheScreen() {
        ScaleProgramControls(1.0);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        {
            CAppConfig config;
            config.show();
            QVERIFY(QTest::qWaitForWindowExposed(&config));
            const QRect before = config.geometry();
            auto* server = static_cast<QLineEdit*>(config.Control(IDC_SERVER));
            CTouchKeyboard* keyboard = PressField(server);
            QVERIFY(keyboard);
            QVERIFY(available.contains(config.frameGeometry()));
            QVERIFY(AboveKeyboard(server, keyboard));
            QVERIFY(AboveKeyboard(static_cast<QWidget*>(config.Control(1)), keyboard));
            server->clear();
            Tap(keyboard->KeyFor(CTouchKeyboard::kLatin));
            for (const char* key : {"h", "q", "\\", "s", "q", "l"})
                Tap(keyboard->KeyFor(QString::fromLatin1(key)));
            QCOMPARE(server->text(), QStringLiteral("hq\\sql"));
            // Another field takes the keys over.
            auto* user = static_cast<QLineEdit*>(config.Control(IDC_USER));
            QCOMPARE(PressField(user), keyboard);
            QCOMPARE(keyboard->Target(), user);
            Tap(keyboard->KeyFor(CTouchKeyboard::kHide));
            QCOMPARE(config.geometry(), before);
        }
        {
            CDlgFind find;
            find.show();
            QVERIFY(QTest::qWaitForWindowExposed(&find));
            find.resize(find.width(), available.height() - 40);
            const QSize before = find.size();
            CTouchKeyboard* keyboard = PressField(find.Edit());
            QVERIFY(keyboard);
            QVERIFY(available.contains(find.frameGeometry()));
            QVERIFY(AboveKeyboard(find.Edit(), keyboard));
            QVERIFY(AboveKeyboard(find.findChild<QPushButton*>(QStringLiteral("chooseButton")),
                                  keyboard));
            // Typed letters reach the search text even while the list has the focus.
            find.Grid()->setFocus();
            Tap(keyboard->KeyFor(QStringLiteral("с")));
            QTRY_COMPARE(find.Edit()->text(), QStringLiteral("с"));
            find.hide();
            QVERIFY(!keyboard->isVisible());
            QCOMPARE(find.size(), before);
        }
    }

    // A swipe up moves a long list on, and it runs on after the finger has left; a tap still
    // chooses the row under it.
    void swipeScrollsAList() {
        QDialog dlg;
        auto* layout = new QVBoxLayout(&dlg);
        auto* list = new QListWidget(&dlg);
        for (int i = 0; i < 300; ++i)
            list->addItem(QStringLiteral("Товар %1").arg(i));
        layout->addWidget(list);
        EnableSwipeScrolling(list);
        dlg.resize(300, 400);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QWidget* area = list->viewport();
        const QPoint start(area->width() / 2, area->height() - 20);

        QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(start.x(), 10));
        QTRY_COMPARE(list->currentRow(), 0);
        QCOMPARE(list->verticalScrollBar()->value(), 0);

        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, start);
        for (int step = 1; step <= 10; ++step) {
            QTest::qWait(15);
            QTest::mouseMove(area, start - QPoint(0, step * 30));
        }
        QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, start - QPoint(0, 300));
        const int released = list->verticalScrollBar()->value();
        QVERIFY2(released > 100, qPrintable(QString::number(released)));
        // It runs on.
        QTRY_VERIFY(list->verticalScrollBar()->value() > released);
        QTRY_COMPARE_WITH_TIMEOUT(QScroller::scroller(area)->state(), QScroller::Inactive, 10000);
        QCOMPARE(list->currentRow(), 0); // the swipe chose nothing

        // A double tap on a row is still a double click (the search takes its product so).
        QSignalSpy twice(list, &QListWidget::itemDoubleClicked);
        const QPoint row = list->visualItemRect(list->itemAt(start.x(), 100)).center();
        QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, row);
        QTest::mouseDClick(area, Qt::LeftButton, Qt::NoModifier, row);
        QTRY_COMPARE(twice.count(), 1);
        QCOMPARE(list->currentRow(), list->row(list->itemAt(row)));
    }
};

QTEST_MAIN(TstTouchInput)
#include "tst_touchinput.moc"
