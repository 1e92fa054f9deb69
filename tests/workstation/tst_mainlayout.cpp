// The main screen's arithmetic for a frame of 8 pixels at each side and a 31-pixel title
// bar, and for a window without a frame.
#include "workstation/mainlayout.h"

#include <QTest>

class TstMainLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framed() {
        const MainLayout l = ComputeMainLayout(16, 39);
        QCOMPARE(l.name, QRect(8, 4, 769, 100));
        QCOMPARE(l.price, QRect(8, 108, 374, 90));
        QCOMPARE(l.weight, QRect(392, 108, 384, 90));
        QCOMPARE(l.sum, QRect(8, 202, 374, 90));
        QCOMPARE(l.panel, QRect(392, 208, 384, 346));
        QCOMPARE(l.autoPrint, QRect(8, 404, 374, 70));
        QCOMPARE(l.pageSize, QRect(8, 484, 374, 70));
        QCOMPARE(l.keys.size(), 18);
        QCOMPARE(l.keys[IDC_KEY_CLEAR], QRect(400, 216, 89, 63));
        QCOMPARE(l.keys[IDC_KEY_AUTOPRINT], QRect(400 + 3 * 93, 216, 89, 63));
        QCOMPARE(l.keys[IDC_KEY_PRODUCT], QRect(400 + 3 * 93, 216 + 67, 89, 2 * 63 + 4));
        QCOMPARE(l.keys[IDC_KEY_PRINT], QRect(400 + 3 * 93, 216 + 3 * 67, 89, 2 * 63 + 4));
        QCOMPARE(l.keys[IDC_KEY_POINT], QRect(400 + 2 * 93, 216 + 4 * 67, 89, 63));
        // The page-size field ends where the panel ends; the keys stay inside the panel.
        QCOMPARE(l.pageSize.bottom(), l.panel.bottom());
        for (const QRect& k : l.keys)
            QVERIFY(l.panel.contains(k));
    }

    void frameless() {
        const MainLayout l = ComputeMainLayout(0, 0);
        QCOMPARE(l.name, QRect(8, 4, 785, 100));
        QCOMPARE(l.panel, QRect(400, 208, 392, 385));
        QCOMPARE(l.pageSize.bottom(), l.panel.bottom());
        QVERIFY(QRect(0, 0, 800, 600).contains(l.panel));
    }
};

QTEST_GUILESS_MAIN(TstMainLayout)
#include "tst_mainlayout.moc"
