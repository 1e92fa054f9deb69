// What the main screen's scale carries over to the dialogs it opens: windows that fit the
// screen with their title bar, and the parts of controls that the font does not size (check
// boxes, arrows of lists and date fields, keys, calendars) grown for a finger.
#include "ui/screenfit.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QVBoxLayout>

namespace {
// A dialog laid out as the journal's top row is: a date field with its calendar, a check box
// and a key.
struct Controls {
    QDialog dialog;
    QDateEdit* date = nullptr;
    QCheckBox* check = nullptr;
    QPushButton* key = nullptr;

    Controls() {
        date = new QDateEdit(QDate(2026, 12, 31), &dialog);
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        check = new QCheckBox(QStringLiteral("Копейки"), &dialog);
        key = new QPushButton(QStringLiteral("Закрыть"), &dialog);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(date, 0, Qt::AlignLeft);
        layout->addWidget(check);
        layout->addWidget(key, 0, Qt::AlignLeft);
        dialog.show();
    }
    int Indicator() const {
        QStyleOptionButton option;
        option.initFrom(check);
        return check->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, check).width();
    }
    // The date field's text fits its editing part whole.
    bool DateShownWhole() const {
        const QLineEdit* edit = date->findChild<QLineEdit*>();
        return edit && edit->width() >= edit->fontMetrics().horizontalAdvance(edit->text());
    }
};
} // namespace

class TstScreenFit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scaledWindowPlace_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<double>("placedFactor");
        QTest::addColumn<QRect>("frameAndSize");
        const QMargins title(0, 40, 0, 0);
        // The screen's own factor would put the title bar or the bottom keys off the screen.
        QTest::newRow("1920x1080")
            << QRect(0, 0, 1920, 1080) << 1.8 << title << 1.7333 << QRect(266, 0, 1387, 1040);
        QTest::newRow("1366x768") << QRect(0, 0, 1366, 768) << 1.28 << title << 1.2133
                                  << QRect(197, 0, 971, 728);
        // Borders at the sides count as the title bar does.
        QTest::newRow("1280x1024 with borders")
            << QRect(0, 0, 1280, 1024) << 1.6 << QMargins(1, 20, 1, 1) << 1.5975
            << QRect(0, 22, 1278, 959);
        // Room to spare: the screen's factor, centred in the free area below a panel.
        QTest::newRow("panel") << QRect(0, 30, 1280, 994) << 1.5 << QMargins(0, 30, 0, 0) << 1.5
                               << QRect(40, 62, 1200, 900);
        // Smaller than the design where the design itself does not fit below a title bar.
        QTest::newRow("800x600") << QRect(0, 0, 800, 600) << 1.0 << title << 0.9333
                                 << QRect(26, 0, 747, 560);
        QTest::newRow("800x600 below a panel")
            << QRect(0, 24, 800, 576) << 1.0 << QMargins(1, 20, 1, 1) << 0.925
            << QRect(29, 24, 740, 555);
        QTest::newRow("second screen") << QRect(1920, 0, 1920, 1200) << 1.8 << QMargins(8, 32, 8, 8)
                                       << 1.8 << QRect(2152, 40, 1440, 1080);
    }
    void scaledWindowPlace() {
        QFETCH(QRect, available);
        QFETCH(double, factor);
        QFETCH(QMargins, frame);
        QFETCH(double, placedFactor);
        QFETCH(QRect, frameAndSize);
        const ScaledWindowPlace place =
            PlaceScaledWindow(QSize(800, 600), factor, available, frame);
        QVERIFY2(qAbs(place.factor - placedFactor) < 1e-3,
                 qPrintable(QString::number(place.factor)));
        QCOMPARE(QRect(place.framePos, place.size), frameAndSize);
        const QSize framed =
            place.size + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
        QVERIFY(available.contains(QRect(place.framePos, framed)));
    }

    // At the design's size and below it check boxes and arrows are as the program's style
    // draws them, but keys and date fields are a finger's height; at a scaled screen check
    // boxes, arrows and keys grow with the screen, a date field still shows its whole date,
    // and its calendar has days a finger can hit. Back at the design's size, every part is as
    // it was.
    void controlsGrowWithTheScreen() {
        int indicator = 0;
        {
            Controls c;
            QVERIFY(QTest::qWaitForWindowExposed(&c.dialog));
            indicator = c.Indicator();
        }
        int keyHeight = 0;
        for (const double factor : {0.9667, 1.0}) {
            ScaleProgramControls(factor);
            Controls c;
            QVERIFY(QTest::qWaitForWindowExposed(&c.dialog));
            QCOMPARE(c.Indicator(), indicator);
            keyHeight = c.key->sizeHint().height();
            QVERIFY2(keyHeight >= TouchRowHeight(1.0), qPrintable(QString::number(keyHeight)));
            QVERIFY(c.key->height() >= TouchRowHeight(1.0));
            QVERIFY(c.date->height() >= TouchRowHeight(1.0));
            QVERIFY(c.DateShownWhole());
        }
        {
            ScaleProgramControls(2.0);
            Controls c;
            FitDialogToScale(c.dialog, 2.0);
            QVERIFY(QTest::qWaitForWindowExposed(&c.dialog));
            QCOMPARE(c.Indicator(), 2 * indicator);
            QVERIFY(c.key->height() >= TouchRowHeight(2.0));
            QVERIFY(c.date->height() >= TouchRowHeight(2.0));
            QVERIFY(c.DateShownWhole());
            const QSize calendar = c.date->calendarWidget()->minimumSize();
            QVERIFY(calendar.height() >= 8 * TouchRowHeight(2.0));
            QVERIFY(calendar.width() >= 7 * TouchRowHeight(2.0));
        }
        {
            ScaleProgramControls(1.0);
            Controls c;
            QVERIFY(QTest::qWaitForWindowExposed(&c.dialog));
            QCOMPARE(c.Indicator(), indicator);
            QCOMPARE(c.key->sizeHint().height(), keyHeight);
            QVERIFY(c.DateShownWhole());
        }
    }
};

QTEST_MAIN(TstScreenFit)
#include "tst_screenfit.moc"
