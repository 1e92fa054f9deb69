// The EAN-13 symbol: check digit, module pattern, and where the bars and digits land at each
// rotation (pixel checks on small images).
#include "labels/ean13.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {

const QString kDigits = QStringLiteral("123456789012");
constexpr int kModule = 2;
constexpr int kBar = 40;
constexpr int kDpi = 96;

struct Drawn {
    QImage image;
    int guardExtension = 0;
};

Drawn DrawSymbol(const QString& digits, int angle, int x, int y) {
    Drawn d;
    d.image = QImage(400, 400, QImage::Format_Grayscale8);
    d.image.fill(255);
    QPainter painter(&d.image);
    CEAN13 symbol;
    symbol.m_strDigits = digits;
    symbol.m_nModule = kModule;
    symbol.m_nBarHeight = kBar;
    symbol.m_nX = x;
    symbol.m_nY = y;
    symbol.m_nAngle = angle;
    symbol.Draw(painter, kDpi);
    d.guardExtension = symbol.m_nGuardExtension;
    return d;
}

// The reference point of each rotation, chosen so the symbol lies inside the image.
QPoint Origin(int angle) {
    switch (angle) {
    case 90:
        return {100, 300};
    case 180:
        return {300, 150};
    case 270:
        return {150, 60};
    default:
        return {60, 100};
    }
}

// Device pixel of the symbol point a pixels along the symbol and b pixels across it.
QPoint ToDevice(int angle, QPoint o, int a, int b) {
    switch (angle) {
    case 90:
        return {o.x() + b, o.y() + kModule - 1 - a};
    case 180:
        return {o.x() - 1 - a, o.y() - 1 - b};
    case 270:
        return {o.x() - 1 - b, o.y() + a};
    default:
        return {o.x() + a, o.y() + b};
    }
}

QPoint ToSymbol(int angle, QPoint o, QPoint p) {
    switch (angle) {
    case 90:
        return {o.y() + kModule - 1 - p.y(), p.x() - o.x()};
    case 180:
        return {o.x() - 1 - p.x(), o.y() - 1 - p.y()};
    case 270:
        return {p.y() - o.y(), o.x() - 1 - p.x()};
    default:
        return {p.x() - o.x(), p.y() - o.y()};
    }
}

bool Dark(const QImage& image, QPoint p) {
    return image.rect().contains(p) && qGray(image.pixel(p)) < 128;
}

// Bounding box, in symbol coordinates, of the dark pixels in a window of the symbol.
QRect DarkBox(const QImage& image, int angle, QRect window) {
    QRect box;
    for (int a = window.left(); a <= window.right(); ++a)
        for (int b = window.top(); b <= window.bottom(); ++b)
            if (Dark(image, ToDevice(angle, Origin(angle), a, b)))
                box |= QRect(a, b, 1, 1);
    return box;
}

int DarkModules(const QString& pattern) {
    return int(pattern.count(QLatin1Char('b')));
}

} // namespace

class TestEan13 : public QObject {
    Q_OBJECT

private slots:
    void checkDigit_data();
    void checkDigit();
    void pattern_data();
    void pattern();
    void humanReadableTexts();
    void geometryAtEachRotation_data();
    void geometryAtEachRotation();
    void drawsNothingForBadInput_data();
    void drawsNothingForBadInput();
};

void TestEan13::checkDigit_data() {
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("check");
    QTest::newRow("123456789012") << kDigits << 8;
    QTest::newRow("400638133393") << QStringLiteral("400638133393") << 1;
    QTest::newRow("978030640615") << QStringLiteral("978030640615") << 7;
    QTest::newRow("501234567890") << QStringLiteral("501234567890") << 0;
    QTest::newRow("zeros") << QStringLiteral("000000000000") << 0;
    QTest::newRow("eleven digits") << QStringLiteral("12345678901") << -1;
    QTest::newRow("thirteen digits") << QStringLiteral("1234567890128") << -1;
    QTest::newRow("letter") << QStringLiteral("12345678901a") << -1;
    QTest::newRow("arabic-indic digit") << QStringLiteral("12345678901\u0663") << -1;
}

void TestEan13::checkDigit() {
    QFETCH(QString, digits);
    QFETCH(int, check);
    QCOMPARE(ean13::CheckDigit(digits), check);
    CEAN13 symbol;
    symbol.m_strDigits = digits;
    QCOMPARE(symbol.CheckDigit(), check);
}

void TestEan13::pattern_data() {
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("parity"); // of digits 3 to 7: O odd (set A), E even (set B)
    QTest::newRow("first digit 0, UPC-A form") << QStringLiteral("012345678905") << "OOOOO";
    QTest::newRow("first digit 1") << kDigits << "EOEE" /* after the O of digit 3 */;
    QTest::newRow("first digit 9") << QStringLiteral("987654321098") << "EEOEO";
}

void TestEan13::pattern() {
    QFETCH(QString, digits);
    QFETCH(QString, parity);
    if (parity.size() == 4)
        parity.prepend(QLatin1Char('O'));
    const QString p = ean13::ModulePattern(digits);
    QCOMPARE(p.size(), 113);
    QCOMPARE(p.left(12), QStringLiteral("sssssssssbsb"));
    QCOMPARE(p.mid(54, 5), QStringLiteral("sbsbs"));
    QCOMPARE(p.right(12), QStringLiteral("bsbsssssssss"));
    // Every digit is seven modules of two bars and two spaces; the left digits start light
    // and the right ones dark; the parity of a left digit names its set.
    QCOMPARE(DarkModules(p.mid(12, 7)) % 2, 1); // digit 2 always from set A
    for (int i = 0; i < 5; ++i) {
        const QString chunk = p.mid(19 + 7 * i, 7);
        QCOMPARE(chunk.at(0), QLatin1Char('s'));
        QCOMPARE(DarkModules(chunk) % 2 == 1 ? 'O' : 'E', parity.at(i).toLatin1());
    }
    for (int i = 0; i < 6; ++i) {
        const QString chunk = p.mid(59 + 7 * i, 7);
        QCOMPARE(chunk.at(0), QLatin1Char('b'));
        QCOMPARE(DarkModules(chunk) % 2, 0); // set C has even parity
    }
}

void TestEan13::humanReadableTexts() {
    CEAN13 symbol;
    symbol.m_strDigits = kDigits;
    QCOMPARE(
        symbol.HumanReadableTexts(),
        (QStringList{QStringLiteral("1"), QStringLiteral("234567"), QStringLiteral("890128")}));
}

void TestEan13::geometryAtEachRotation_data() {
    QTest::addColumn<int>("angle");
    for (int angle : {0, 90, 180, 270})
        QTest::addRow("%d", angle) << angle;
}

void TestEan13::geometryAtEachRotation() {
    QFETCH(int, angle);
    const Drawn upright = DrawSymbol(kDigits, 0, Origin(0).x(), Origin(0).y());
    const Drawn d = DrawSymbol(kDigits, angle, Origin(angle).x(), Origin(angle).y());
    QCOMPARE(d.guardExtension, 13); // 5 modules of 2 pixels in points at 96 dpi

    // The bars: module after module of the pattern, 226 pixels in all, each exactly where
    // the rotation puts it.
    const QString p = ean13::ModulePattern(kDigits);
    for (int a = 0; a < 113 * kModule; ++a) {
        const bool dark = p.at(a / kModule) == QLatin1Char('b');
        for (int b : {0, kBar / 2, kBar - 1})
            if (Dark(d.image, ToDevice(angle, Origin(angle), a, b)) != dark)
                QFAIL(qPrintable(QStringLiteral("module pixel a=%1 b=%2").arg(a).arg(b)));
        const bool upDark = Dark(upright.image, ToDevice(0, Origin(0), a, kBar / 2));
        QCOMPARE(upDark, dark);
    }
    // Guard bars reach 13 pixels further, between the digit groups; normal bars do not.
    for (int a : {18, 22, 110, 114, 202, 206}) { // start, centre and end guard bars
        QVERIFY(Dark(d.image, ToDevice(angle, Origin(angle), a, kBar + 12)));
        QVERIFY(!Dark(d.image, ToDevice(angle, Origin(angle), a, kBar + 13)));
    }

    // The three digit groups hang below the bars, centred at 9, 66 and 160 pixels, and run
    // along the symbol (a group is wider along it than across).
    const int textBand = 30;
    const QRect first = DarkBox(d.image, angle, QRect(0, kBar, 18, textBand));
    const QRect left = DarkBox(d.image, angle, QRect(24, kBar, 84, textBand));
    const QRect right = DarkBox(d.image, angle, QRect(118, kBar, 84, textBand));
    for (const QRect& r : {first, left, right}) {
        QVERIFY(r.isValid());
        QVERIFY2(r.top() >= kBar && r.bottom() < kBar + 26, qPrintable(QString::number(r.top())));
    }
    QVERIFY(qAbs(first.center().x() - 9) <= 2);
    QVERIFY(qAbs(left.center().x() - 66) <= 3);
    QVERIFY(qAbs(right.center().x() - 160) <= 3);
    QVERIFY2(left.width() > 45 && left.height() < 22,
             qPrintable(QStringLiteral("%1x%2").arg(left.width()).arg(left.height())));
    QVERIFY(right.width() > 45 && right.height() < 22);

    // Nothing is painted outside the symbol and its digits.
    for (int y = 0; y < d.image.height(); ++y)
        for (int x = 0; x < d.image.width(); ++x)
            if (Dark(d.image, {x, y})) {
                const QPoint s = ToSymbol(angle, Origin(angle), {x, y});
                if (s.x() < 0 || s.x() >= 226 || s.y() < 0 || s.y() >= kBar + textBand)
                    QFAIL(qPrintable(QStringLiteral("stray pixel %1,%2").arg(x).arg(y)));
            }
}

void TestEan13::drawsNothingForBadInput_data() {
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("angle");
    QTest::newRow("eleven digits") << QStringLiteral("12345678901") << 0;
    QTest::newRow("thirteen digits") << QStringLiteral("1234567890128") << 0;
    QTest::newRow("letter") << QStringLiteral("1234567890x2") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("angle 45") << kDigits << 45;
    QTest::newRow("angle -90") << kDigits << -90;
}

void TestEan13::drawsNothingForBadInput() {
    QFETCH(QString, digits);
    QFETCH(int, angle);
    const Drawn d = DrawSymbol(digits, angle, 100, 100);
    QImage white(d.image.size(), d.image.format());
    white.fill(255);
    QCOMPARE(d.image, white);
}

QTEST_MAIN(TestEan13)
#include "tst_ean13.moc"
