// Widths of label text as Windows draws them: the average character width that a stored
// lfWidth and the barcode digits are measured against, and the digit groups it gives.
#include "labels/ean13.h"
#include "labels/labelfont.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {

// Arial's average character width on Windows: 904 of its 2048 units to the em.
constexpr double kArialAverageEm = 904.0 / 2048.0;

// Columns, in modules, that the ink of the left digit group of a symbol drawn at module
// takes.
double LeftGroupModules(int module, int dpi) {
    const int bar = 20 * module;
    QImage image(113 * module, bar + 30 * module, QImage::Format_Grayscale8);
    image.fill(255);
    {
        QPainter painter(&image);
        CEAN13 symbol;
        symbol.m_strDigits = QStringLiteral("123456789012");
        symbol.m_nModule = module;
        symbol.m_nBarHeight = bar;
        symbol.m_nX = 0;
        symbol.m_nY = 0;
        symbol.Draw(painter, dpi);
    }
    // Below the bars, between the start guard (modules 9 to 11, after the quiet zone with
    // the first digit) and the centre guard (54 to 58): only the digits are there.
    int left = INT_MAX, right = -1;
    for (int y = bar; y < image.height(); ++y)
        for (int x = 12 * module; x < 54 * module; ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                left = qMin(left, x);
                right = qMax(right, x);
            }
    return right < left ? 0 : double(right - left + 1) / module;
}

} // namespace

class TstLabelFont : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // "Arial" resolves to a font with Arial's advances; its average is Windows's figure,
    // not the one the font file declares.
    void arialAverage() {
        QFont arial(QStringLiteral("Arial"));
        arial.setPixelSize(2048);
        const qreal average = labels::AverageCharWidth(arial);
        QVERIFY2(qAbs(average - 904) <= 1, qPrintable(QString::number(average)));
        arial.setPixelSize(40);
        QVERIFY(qAbs(labels::AverageCharWidth(arial) - 40 * kArialAverageEm) < 0.05);
    }

    // A stored width equal to the Windows average draws the font at its natural width, as on
    // Windows; twice that width draws it twice as wide.
    void storedWidth_data() {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<double>("factor");
        QTest::newRow("natural 40 px") << 40 << 1.0;
        QTest::newRow("natural 113 px") << 113 << 1.0;
        QTest::newRow("double 40 px") << 40 << 2.0;
        QTest::newRow("half 200 px") << 200 << 0.5;
    }
    void storedWidth() {
        QFETCH(int, pixels);
        QFETCH(double, factor);
        LOGFONTW lf;
        lf.lfHeight = -pixels;
        lf.lfFaceName = QStringLiteral("Arial");
        const QFont font = labels::FontFromLogFont(lf, 203);
        lf.lfWidth = qRound(factor * pixels * kArialAverageEm);
        const double expected = lf.lfWidth / (pixels * kArialAverageEm);
        QVERIFY2(qAbs(labels::WidthScale(lf, font) - expected) < 0.01,
                 qPrintable(QString::number(labels::WidthScale(lf, font))));
    }

    // Windows draws a six-digit group of Arial digits about 38 modules wide (six advances of
    // 1139 units at a width of 5 modules per 904 units); the ink is that less the outer side
    // bearings.
    void digitGroup_data() {
        QTest::addColumn<int>("module");
        QTest::addColumn<int>("dpi");
        QTest::newRow("module 4 at 203 dpi") << 4 << 203;
        QTest::newRow("module 2 at 203 dpi") << 2 << 203;
        QTest::newRow("module 4 at 96 dpi") << 4 << 96;
    }
    void digitGroup() {
        QFETCH(int, module);
        QFETCH(int, dpi);
        const double modules = LeftGroupModules(module, dpi);
        qInfo("ink of the left digit group: %.2f modules", modules);
        QVERIFY2(modules >= 35 && modules <= 38.5, qPrintable(QString::number(modules)));
    }
};

QTEST_MAIN(TstLabelFont)
#include "tst_labelfont.moc"
