// Our own icons are compiled in and actually draw: an icon that silently renders nothing
// (a broken drawing, a missing SVG plugin, resources never registered) leaves blank keys.
#include "ui/resources.h"

#include "pixels.h"

#include <QTest>

namespace {
bool Opaque(const QColor& c) {
    return c.alpha() > 200;
}
bool Red(const QColor& c) {
    return c.alpha() > 200 && c.red() > 180 && c.green() < 90 && c.blue() < 90;
}
bool Green(const QColor& c) {
    return c.alpha() > 200 && c.green() > 120 && c.red() < 110 && c.blue() < 110;
}
} // namespace

class TestIcons : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void iconsDraw_data();
    void iconsDraw();
    void unknownNumberIsNull();
};

void TestIcons::initTestCase() {
    InitVarnetResources();
}

void TestIcons::iconsDraw_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("red");   // -1: no red at all, 1: a red mark, 0: either
    QTest::addColumn<int>("green"); // the same for green
    QTest::newRow("128 barcode label") << 128 << 0 << 0;
    QTest::newRow("145 printer") << 145 << 0 << 0;
    QTest::newRow("147 gear wheel") << 147 << -1 << -1;
    QTest::newRow("148 page with a gear wheel") << 148 << -1 << -1;
    // The auto-print key shows its state: green while on, a red cross while off.
    QTest::newRow("149 page with a green arrow: auto-print on") << 149 << -1 << 1;
    QTest::newRow("150 page with a red cross: auto-print off") << 150 << 1 << -1;
    QTest::newRow("151 shopping trolley") << 151 << 0 << 0;
    QTest::newRow("153 magnifier") << 153 << -1 << -1;
}

void TestIcons::iconsDraw() {
    QFETCH(int, id);
    QFETCH(int, red);
    QFETCH(int, green);
    const QIcon icon = VarnetIcon(id);
    QVERIFY(!icon.isNull());
    for (const int size : {16, 32, 48}) {
        const QImage image = pixels::Flat(icon.pixmap(size, size));
        QCOMPARE(image.size(), QSize(size, size));
        const QRect all = image.rect();
        const int opaque = pixels::Count(image, all, Opaque);
        QVERIFY2(opaque >= size * size / 5,
                 qPrintable(QStringLiteral("%1 px at %2").arg(opaque).arg(size)));
        QVERIFY2(opaque < size * size, "an icon keeps a transparent background");
        if (size == 16)
            continue;
        const int reds = pixels::Count(image, all, Red);
        const int greens = pixels::Count(image, all, Green);
        if (red != 0)
            QVERIFY2(red > 0 ? reds > size : reds == 0, qPrintable(QString::number(reds)));
        if (green != 0)
            QVERIFY2(green > 0 ? greens > size : greens == 0, qPrintable(QString::number(greens)));
    }
}

void TestIcons::unknownNumberIsNull() {
    QVERIFY(VarnetIcon(146).isNull());
    QCOMPARE(VarnetIconPath(145), QStringLiteral(":/icons/145.svg"));
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
