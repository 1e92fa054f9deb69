// The main screen's arithmetic for a frame of 8 pixels at each side and a 31-pixel title
// bar, and for a window without a frame; the state strip in the free part of the left
// column; the design scaled to today's screens.
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

    // The strip lies between the sum and auto-print, in the left column, its three fields
    // apart from each other and from every other control; the tare key beside them at their
    // right, as wide as a key of the keypad and at least as high.
    void stateStrip_data() {
        QTest::addColumn<int>("fw");
        QTest::addColumn<int>("fh");
        QTest::newRow("framed") << 16 << 39;
        QTest::newRow("frameless") << 0 << 0;
    }
    void stateStrip() {
        QFETCH(int, fw);
        QFETCH(int, fh);
        const MainLayout l = ComputeMainLayout(fw, fh);
        const QList<QRect> strip{l.scaleState, l.printerState, l.lastLabel};
        const QList<QRect> others{l.name,  l.price,    l.weight,    l.sum,
                                  l.panel, l.pageSize, l.autoPrint, l.tareKey};
        for (const QRect& r : strip) {
            QVERIFY(r.top() > l.sum.bottom());
            QVERIFY(r.bottom() < l.autoPrint.top());
            QCOMPARE(r.left(), l.sum.left());
            QVERIFY(r.right() < l.tareKey.left());
            QVERIFY(r.height() >= 24);
            for (const QRect& o : others)
                QVERIFY(!r.intersects(o));
        }
        QCOMPARE(l.tareKey.right(), l.sum.right());
        QCOMPARE(l.tareKey.width(), l.keys[IDC_KEY_7].width());
        QVERIFY(l.tareKey.height() >= l.keys[IDC_KEY_7].height());
        QCOMPARE(l.tareKey.top(), l.scaleState.top());
        QCOMPARE(l.tareKey.bottom(), l.lastLabel.bottom());
        for (const QRect& o : others.mid(0, others.size() - 1))
            QVERIFY(!l.tareKey.intersects(o));
        QVERIFY(l.weight.contains(l.netSign));
        QVERIFY(l.scaleState.bottom() < l.printerState.top());
        QVERIFY(l.printerState.bottom() < l.lastLabel.top());
    }

    // One factor for both directions, the largest that fits, the design centred; at the
    // design's own size nothing moves.
    void screenScale_data() {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QRect>("design");
        QTest::newRow("800x600") << QSize(800, 600) << 1.0 << QRect(0, 0, 800, 600);
        QTest::newRow("1366x768") << QSize(1366, 768) << 1.28 << QRect(171, 0, 1024, 768);
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 1.8 << QRect(240, 0, 1440, 1080);
        QTest::newRow("1280x1024") << QSize(1280, 1024) << 1.6 << QRect(0, 32, 1280, 960);
        QTest::newRow("narrower than the design")
            << QSize(400, 600) << 0.5 << QRect(0, 150, 400, 300);
    }
    void screenScale() {
        QFETCH(QSize, area);
        QFETCH(double, factor);
        QFETCH(QRect, design);
        const CScreenScale scale(QSize(800, 600), area);
        QCOMPARE(scale.Factor(), factor);
        QCOMPARE(scale.Design(), design);
        const MainLayout l = ComputeMainLayout(0, 0);
        for (auto it = l.keys.begin(); it != l.keys.end(); ++it) {
            const QRect k = scale.Map(it.value());
            if (factor == 1.0)
                QCOMPARE(k, it.value());
            // Every key keeps its place and size within a pixel of the exact figures.
            QVERIFY(qAbs(k.left() - (design.left() + it.value().left() * factor)) <= 1.0);
            QVERIFY(qAbs(k.top() - (design.top() + it.value().top() * factor)) <= 1.0);
            QVERIFY(qAbs(k.width() - it.value().width() * factor) <= 1.0);
            QVERIFY(qAbs(k.height() - it.value().height() * factor) <= 1.0);
            QVERIFY(scale.Map(l.panel).contains(k));
        }
        // The keys keep equal gaps: two neighbours in a row stay apart and never touch.
        const QRect seven = scale.Map(l.keys[IDC_KEY_7]);
        const QRect eight = scale.Map(l.keys[IDC_KEY_8]);
        QVERIFY(eight.left() - seven.right() - 1 >= qFloor(4 * factor));
    }
};

QTEST_GUILESS_MAIN(TstMainLayout)
#include "tst_mainlayout.moc"
