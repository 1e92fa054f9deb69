// The read-back before a label prints: a page with nothing on it and a barcode that a
// scanner could not read (cut by the page edge, covered by a text) are refused; ordinary
// labels, turned barcodes and layouts without a barcode pass, with ZXing-C++ and with the
// program's own reader alike. The page is judged as it is sent: stretched onto a printer page
// of another size, a barcode that the stretch ruins is refused though the drawn page read.
#include "app/varnetapp.h"
#include "labels/barcodelabel.h"
#include "labels/ean13reader.h"
#include "labels/samplelayout.h"

#include <QPainter>
#include <QtTest>

namespace {

const QString kUnreadable = QStringLiteral("Штрих-код на этикетке не читается");
const QString kOutside = QStringLiteral("Штрих-код выходит за край этикетки");
const QString kBlank =
    QStringLiteral("Этикетка пуста: на ней ничего не нарисовано. Проверьте макет этикетки");

CBarCodeLabelInfo Sample() {
    return SampleLayout(true, 58, 40);
}

} // namespace

class TestLabelCheck : public QObject {
    Q_OBJECT

    CVarnetApp m_app;

private slots:
    void check_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QString>("message");
        for (int dpi : {203, 300}) {
            QTest::addRow("sample label %d", dpi) << "sample" << dpi << QString();
            for (int angle : {90, 180, 270})
                QTest::addRow("barcode at %d degrees %d", angle, dpi)
                    << QStringLiteral("turned %1").arg(angle) << dpi << QString();
            QTest::addRow("no barcode element %d", dpi) << "no barcode" << dpi << QString();
            QTest::addRow("barcode cut by the right edge %d", dpi)
                << "cut right" << dpi << kOutside;
            QTest::addRow("barcode cut by the bottom edge %d", dpi)
                << "cut bottom" << dpi << kOutside;
            QTest::addRow("barcode off the page %d", dpi) << "off page" << dpi << kOutside;
            QTest::addRow("barcode covered by a text %d", dpi) << "covered" << dpi << kUnreadable;
            QTest::addRow("layout of defaults draws nothing %d", dpi)
                << "defaults" << dpi << kBlank;
        }
    }

    void check() {
        QFETCH(QString, shape);
        QFETCH(int, dpi);
        QFETCH(QString, message);
        CBarCodeLabelInfo layout = Sample();
        if (shape.startsWith(QLatin1String("turned"))) {
            const int angle = shape.section(QLatin1Char(' '), 1).toInt();
            const double x = angle == 90 ? 14 : angle == 180 ? 45 : 40;
            const double y = angle == 90 ? 35 : angle == 180 ? 30 : 4;
            layout.SetDefaults(true);
            layout.SetBarcode(x, y, 0.25, 12, angle);
        } else if (shape == QLatin1String("no barcode")) {
            layout.m_Barcode.m_dWidth = 0;
        } else if (shape == QLatin1String("cut right")) {
            layout.m_Barcode.m_dOffsetX = 40; // 28 mm of bars from 40 mm on a 58 mm page
        } else if (shape == QLatin1String("cut bottom")) {
            layout.m_Barcode.m_dOffsetY = 34; // bars 10 mm high from 34 mm on a 40 mm page
        } else if (shape == QLatin1String("off page")) {
            layout.m_Barcode.m_dOffsetX = 70;
        } else if (shape == QLatin1String("covered")) {
            // The information text, in a large black face, over the bars.
            const LabelElement& b = layout.m_Barcode;
            LOGFONTW font = layout.m_Info.m_lfFont;
            font.lfHeight = -60;
            layout.SetValueText(layout.m_Info, b.m_dOffsetX, b.m_dOffsetY, 30, 12, font, 0, 0);
        } else if (shape == QLatin1String("defaults")) {
            layout.SetDefaults(true);
        }
        LabelData d;
        d.nBarcode = 270012300512;
        d.strName = QStringLiteral("Колбаса докторская");
        d.strInfo = QString(8, QChar(0x2588)); // full blocks: only drawn where placed
        d.dPrice = 412.5;
        d.dQuantity = 0.512;
        d.dSum = 211.2;
        if (shape != QLatin1String("covered"))
            layout.m_Info.m_dWidth = 0;
        layout.SetValues(d);
        CBarCodeLabel label(platform::PageFromSize(58, 40, dpi, dpi));
        QVERIFY(label.Draw(layout));
        QCOMPARE(label.CheckPage(), message);
        // The program's own reader, which the Windows build uses, gives the same verdict.
        const BarcodeAreaReader previous = SetBarcodeAreaReader(ean13::ReadSymbol);
        const QString own = label.CheckPage();
        SetBarcodeAreaReader(previous);
        QCOMPARE(own, message);
    }

    void stretchedPageIsReadAsSent_data() {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("message");
        QTest::newRow("as drawn") << 1.0 << QString();
        QTest::newRow("onto the same label at 300 dpi") << 300.0 / 203 << QString();
        QTest::newRow("onto a page a third the size") << 1.0 / 3 << kUnreadable;
    }

    void stretchedPageIsReadAsSent() {
        QFETCH(double, scale);
        QFETCH(QString, message);
        CBarCodeLabelInfo layout = Sample();
        LabelData d;
        d.nBarcode = 270012300512;
        d.strName = QStringLiteral("Колбаса докторская");
        d.dPrice = 412.5;
        d.dQuantity = 0.512;
        d.dSum = 211.2;
        layout.SetValues(d);
        CBarCodeLabel label(platform::PageFromSize(58, 40, 203, 203));
        QVERIFY(label.Draw(layout));
        QCOMPARE(label.CheckPage(), QString());
        // As the print flow sends it to a printer whose page changed since the label was drawn.
        const QSize size = (QSizeF(label.m_bmpPage.size()) * scale).toSize();
        QImage sent(size, QImage::Format_Grayscale8);
        sent.fill(255);
        QPainter painter(&sent);
        QVERIFY(label.DrawTo(painter, size.width(), size.height()));
        painter.end();
        QCOMPARE(label.CheckPage(sent), message);
        const BarcodeAreaReader previous = SetBarcodeAreaReader(ean13::ReadSymbol);
        const QString own = label.CheckPage(sent);
        SetBarcodeAreaReader(previous);
        QCOMPARE(own, message);
    }
};

QTEST_MAIN(TestLabelCheck)
#include "tst_labelcheck.moc"
