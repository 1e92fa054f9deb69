// Where the speed keys go: the free bands beside the design on wide screens, only as long as
// 24 keys a finger hits fit there; the pages over the keypad panel; the label's preview beside
// the strip.
#include "workstation/mainlayout.h"
#include "workstation/speedkeylayout.h"

#include <QTest>

namespace {
constexpr int kMinKey = 43; // 1.25 fingertips at 96 dpi

void NoOverlaps(const QList<QRect>& rects) {
    for (int i = 0; i < rects.size(); ++i)
        for (int j = i + 1; j < rects.size(); ++j)
            QVERIFY2(!rects[i].intersects(rects[j]),
                     qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));
}
} // namespace

class TstSpeedKeyLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bands_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("bands");
        QTest::newRow("800x600") << QSize(800, 600) << false;
        QTest::newRow("1024x768") << QSize(1024, 768) << false;
        QTest::newRow("1280x1024") << QSize(1280, 1024) << false;
        QTest::newRow("1366x768") << QSize(1366, 768) << true;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << true;
        QTest::newRow("1280x800 (16:10)") << QSize(1280, 800) << true;
        QTest::newRow("1024x600 (netbook)") << QSize(1024, 600) << true;
    }
    void bands() {
        QFETCH(QSize, screen);
        QFETCH(bool, bands);
        const CScreenScale scale(QSize(800, 600), screen);
        const QRect design = scale.Design();
        const QList<QRect> keys = SpeedKeyBands(screen, design, 24, kMinKey);
        QCOMPARE(!keys.isEmpty(), bands);
        if (!bands)
            return;
        QCOMPARE(keys.size(), 24);
        for (int i = 0; i < keys.size(); ++i) {
            const QRect& k = keys[i];
            QVERIFY(QRect(QPoint(0, 0), screen).contains(k));
            QVERIFY2(!k.intersects(design), qPrintable(QString::number(i)));
            QVERIFY(k.width() >= kMinKey && k.height() >= kMinKey);
            // The first twelve on the left, the others on the right.
            QCOMPARE(k.right() < design.left(), i < 12);
        }
        NoOverlaps(keys);
    }

    // 1366 x 768: two columns of six keys in each band of 171 pixels, 76 x 121 each; the
    // test of the real window (xvfb_shift.sh) taps them at these places.
    void bandsAt1366() {
        const QList<QRect> keys =
            SpeedKeyBands(QSize(1366, 768), QRect(171, 0, 1024, 768), 24, kMinKey);
        QCOMPARE(keys[0], QRect(6, 6, 76, 121));
        QCOMPARE(keys[1], QRect(88, 6, 76, 121));
        QCOMPARE(keys[2], QRect(6, 133, 76, 121));
        QCOMPARE(keys[12], QRect(1195 + 6, 6, 76, 121));
    }

    void pages() {
        const MainLayout l = ComputeMainLayout(0, 0);
        QRect close;
        const QList<QRect> keys = SpeedKeyPage(l.panel.size(), 24, &close);
        QCOMPARE(keys.size(), 24);
        const QRect inside(QPoint(0, 0), l.panel.size());
        for (const QRect& k : keys) {
            QVERIFY(inside.contains(k));
            QVERIFY(k.height() >= 40); // a fingertip at 800 x 600 already
        }
        QVERIFY(inside.contains(close));
        NoOverlaps(keys + QList<QRect>{close});

        const PrintPagePlaces p = PrintPage(l.panel.size());
        QList<QRect> all{p.count, p.backspace, p.print, p.repeat, p.close};
        for (const QRect& d : p.digits)
            all.append(d);
        for (const QRect& r : all)
            QVERIFY(inside.contains(r));
        NoOverlaps(all);
    }

    // The preview takes the right end of the last-label line, as high as the line.
    void preview() {
        const MainLayout l = ComputeMainLayout(16, 39);
        QRect line = l.lastLabel;
        QRect preview;
        PlaceLabelPreview(&line, &preview);
        QCOMPARE(preview.height(), l.lastLabel.height());
        QCOMPARE(preview.right(), l.lastLabel.right());
        QCOMPARE(line.left(), l.lastLabel.left());
        QVERIFY(line.right() < preview.left());
        QVERIFY(preview.width() >= preview.height());
        QVERIFY(line.width() >= 2 * preview.width());
    }
};

QTEST_GUILESS_MAIN(TstSpeedKeyLayout)
#include "tst_speedkeylayout.moc"
