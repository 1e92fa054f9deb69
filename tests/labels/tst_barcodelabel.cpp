// The label renderer: value texts, millimetres and fonts at the printer's resolution, text
// in rectangles, dates, and labels that a barcode reader reads back.
#include "app/varnetapp.h"
#include "labels/barcodelabel.h"
#include "labels/ean13reader.h"
#include "labels/editorlogic.h"
#include "labels/labelfont.h"
#include "labels/samplelayout.h"
#include "platform/clock.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cmath>
#include <limits>

namespace {

const platform::PrinterPage kLabel58x40 = platform::PageFromSize(58, 40, 203, 203);

bool Dark(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

QRect DarkBox(const QImage& image, QRect area) {
    QRect box;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Dark(image, x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

int DarkCount(const QImage& image, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += Dark(image, x, y) ? 1 : 0;
    return n;
}

// Runs of rows with dark pixels inside area: one per drawn line of text.
int LineBands(const QImage& image, QRect area) {
    int bands = 0;
    bool inBand = false;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool dark = false;
        for (int x = area.left(); x <= area.right() && !dark; ++x)
            dark = Dark(image, x, y);
        if (dark && !inBand)
            ++bands;
        inBand = dark;
    }
    return bands;
}

// A layout with one text element at 5, 5 mm; everything else is at the defaults.
CBarCodeLabelInfo OneText(const QString& text, double width, double height, int align = 0,
                          int wrap = 0, int lfHeight = -16) {
    CBarCodeLabelInfo l;
    LOGFONTW font = DefaultLabelFont();
    font.lfHeight = lfHeight;
    l.SetCaptionText(l.m_ExtraText, text, 5, 5, width, height, font, align, wrap);
    return l;
}

// The rectangle of that element in pixels at 203 dpi.
QRect TextRect(double width, double height) {
    return QRect(MmToPixels(203, 5), MmToPixels(203, 5), MmToPixels(203, width),
                 MmToPixels(203, height));
}

QImage Render(CBarCodeLabelInfo layout, const platform::PrinterPage& page = kLabel58x40) {
    CBarCodeLabel label(page);
    if (!label.Draw(layout))
        return QImage();
    return label.m_bmpPage;
}

QString ReadBarcode(const QImage& image) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("label.png"));
    if (!image.save(file))
        return QStringLiteral("(not saved)");
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), file});
    if (!zbar.waitForFinished(30000))
        return QStringLiteral("(zbarimg hangs)");
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

} // namespace

class TestBarCodeLabel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void millimetres_data();
    void millimetres();
    void fontHeights_data();
    void fontHeights();
    void setValues_data();
    void setValues();
    void dateTexts_data();
    void dateTexts();
    void pageBitmap();
    void noPrinterNoPage();
    void skipsEmptyAndZeroSizedElements();
    void clipsLinesToRectangle();
    void cutTextEndsInEllipsis_data();
    void cutTextEndsInEllipsis();
    void longNameOnTheSampleLabel();
    void lineBreaks_data();
    void lineBreaks();
    void alignment_data();
    void alignment();
    void ampersandIsLiteral();
    void fontAttributes_data();
    void fontAttributes();
    void dateElementsNeverWrap();
    void damagedLayoutsDrawSafely_data();
    void damagedLayoutsDrawSafely();
    void drawToStretches();
    void barcodeReadsBack_data();
    void barcodeReadsBack();
    void samplesKeepClearOfTheEdges_data();
    void samplesKeepClearOfTheEdges();

private:
    std::unique_ptr<CVarnetApp> m_app;
};

void TestBarCodeLabel::initTestCase() {
    // Numbers keep "." as the decimal point whatever the locale.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_app = std::make_unique<CVarnetApp>();
    QFont probe(QStringLiteral("Arial"));
    QVERIFY2(QFontInfo(probe).family().contains(QStringLiteral("Liberation")),
             qPrintable(QFontInfo(probe).family()));
}

void TestBarCodeLabel::millimetres_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<double>("mm");
    QTest::addColumn<int>("px");
    QTest::newRow("10 mm at 203") << 203 << 10.0 << 80;
    QTest::newRow("0.25 mm at 203") << 203 << 0.25 << 2;
    QTest::newRow("0.25 mm at 600") << 600 << 0.25 << 6;
    // 3937/100000 is a little less than 1/25.4: an inch of 25.4 mm at 300 dpi stays 300.
    QTest::newRow("25.4 mm at 300") << 300 << 25.4 << 300;
    QTest::newRow("1000 mm at 600") << 600 << 1000.0 << 23622;
    QTest::newRow("negative rounds toward zero") << 203 << -1.0 << -7;
    QTest::newRow("damaged length stays finite") << 600 << 1e300 << 1000000;
    QTest::newRow("not a number") << 600 << std::nan("") << 0;
}

void TestBarCodeLabel::millimetres() {
    QFETCH(int, dpi);
    QFETCH(double, mm);
    QFETCH(int, px);
    QCOMPARE(MmToPixels(dpi, mm), px);
}

void TestBarCodeLabel::fontHeights_data() {
    QTest::addColumn<int>("lfHeight");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("printerHeight");
    QTest::newRow("12 pt character height at 203") << -16 << 203 << -34;
    QTest::newRow("12 pt cell height at 203") << 16 << 203 << 34;
    QTest::newRow("8 pt at 203") << -11 << 203 << -23;
    QTest::newRow("12 pt at 600") << -16 << 600 << -100;
    QTest::newRow("screen to screen") << -16 << 96 << -16;
}

void TestBarCodeLabel::fontHeights() {
    QFETCH(int, lfHeight);
    QFETCH(int, dpi);
    QFETCH(int, printerHeight);
    const int h = labels::PrinterFontHeight(lfHeight, labels::kScreenDpi, dpi);
    QCOMPARE(h, printerHeight);

    // The font really has that size: a character height is the em, a cell height is
    // ascent plus descent.
    LOGFONTW lf = DefaultLabelFont();
    lf.lfHeight = h;
    const QFontMetricsF fm(labels::FontFromLogFont(lf, dpi));
    if (h < 0) {
        QCOMPARE(labels::FontFromLogFont(lf, dpi).pixelSize(), -h);
        QVERIFY(fm.ascent() + fm.descent() > -h);
    } else {
        QVERIFY2(qAbs(fm.ascent() + fm.descent() - h) <= 1.5,
                 qPrintable(QString::number(fm.ascent() + fm.descent())));
    }
}

void TestBarCodeLabel::setValues_data() {
    QTest::addColumn<bool>("penny");
    QTest::addColumn<bool>("units");
    QTest::addColumn<bool>("weight");
    QTest::addColumn<QString>("weightUnit");
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("quantity");
    QTest::addColumn<QString>("priceText");
    QTest::addColumn<QString>("quantityText");
    QTest::newRow("penny on") << true << false << true << "кг" << 12.34 << 0.5 << "12.34"
                              << "0.500";
    QTest::newRow("penny off") << false << false << true << "кг" << 12.34 << 0.5 << "12"
                               << "0.500";
    QTest::newRow("piece") << false << false << false << "кг" << 12.0 << 3.0 << "12"
                           << "3";
    QTest::newRow("units") << true << true << true << "кг" << 99999.99 << 999.999 << "99999.99 руб"
                           << "999.999 кг";
    QTest::newRow("units, piece") << false << true << false << "кг" << 7.0 << 2.0 << "7 руб"
                                  << "2 шт";
    QTest::newRow("empty unit name") << false << true << true << "" << 1.0 << 1.25 << "1 руб"
                                     << "1.250 ";
    QTest::newRow("halves") << true << false << true << "" << 0.125 << 0.0005 << "0.13"
                            << "0.001";
}

void TestBarCodeLabel::setValues() {
    QFETCH(bool, penny);
    QFETCH(bool, units);
    QFETCH(bool, weight);
    QFETCH(QString, weightUnit);
    QFETCH(double, price);
    QFETCH(double, quantity);
    QFETCH(QString, priceText);
    QFETCH(QString, quantityText);
    AppSettings& s = m_app->m_settings;
    s.Penny = penny;
    s.EIWeight = weightUnit;
    s.EIQuantity = QStringLiteral("шт");
    s.EICurrency = QStringLiteral("руб");

    const platform::ScopedFixedClock clock(QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9)));
    LabelData d;
    d.nBarcode = 7;
    d.strName = QStringLiteral("Сыр & масло");
    d.strInfo = QStringLiteral("Инфо");
    d.bPrintUnits = units ? 1 : 0;
    d.bWeight = weight;
    d.dPrice = price;
    d.dQuantity = quantity;
    d.dSum = price;
    d.stExpiry.wYear = 2026;
    d.stExpiry.wMonth = 4;
    d.stExpiry.wDay = 1;
    CBarCodeLabelInfo l;
    l.m_ExtraText.m_strText = QStringLiteral("Доп");
    l.SetValues(d);
    QCOMPARE(l.m_Barcode.m_strText, QStringLiteral("000000000007"));
    QCOMPARE(l.m_Name.m_strText, d.strName);
    QCOMPARE(l.m_Info.m_strText, d.strInfo);
    QCOMPARE(l.m_Price.m_strText, priceText);
    QCOMPARE(l.m_WeightQty.m_strText, quantityText);
    QCOMPARE(l.m_Sum.m_strText, priceText);
    QCOMPARE(l.m_PackDate.m_stValue.wYear, uint16_t(2026));
    QCOMPARE(l.m_PackDate.m_stValue.wDay, uint16_t(5));
    QCOMPARE(l.m_PackDate.m_stValue.wDayOfWeek, uint16_t(4)); // a Thursday
    QCOMPARE(l.m_PackDate.m_stValue.wSecond, uint16_t(9));
    QCOMPARE(l.m_Expiry.m_stValue, d.stExpiry);
    QCOMPARE(l.m_ExtraText.m_strText, QStringLiteral("Доп"));
    QCOMPARE(l.m_PriceCaption.m_strText, QStringLiteral("Цена:"));

    d.nBarcode = 123456789012;
    l.SetValues(d);
    QCOMPARE(l.m_Barcode.m_strText, QStringLiteral("123456789012"));
}

void TestBarCodeLabel::dateTexts_data() {
    QTest::addColumn<QList<int>>("ymdhms");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("text");
    const QList<int> moment{2026, 3, 5, 7, 8, 9};
    QTest::newRow("date") << moment << 0 << "05.03.2026";
    QTest::newRow("time") << moment << 1 << "07:08";
    QTest::newRow("both") << moment << 2 << "05.03.2026 07:08";
    QTest::newRow("other format keeps the text") << moment << 3 << "kept";
    QTest::newRow("year 0") << QList<int>{0, 3, 5, 7, 8, 9} << 0 << "";
    QTest::newRow("year 1899") << QList<int>{1899, 3, 5, 7, 8, 9} << 0 << "";
    QTest::newRow("month 13") << QList<int>{2026, 13, 5, 7, 8, 9} << 0 << "";
    QTest::newRow("31 February") << QList<int>{2026, 2, 31, 7, 8, 9} << 0 << "";
    QTest::newRow("hour 24") << QList<int>{2026, 3, 5, 24, 0, 0} << 1 << "";
    QTest::newRow("second 60") << QList<int>{2026, 3, 5, 7, 8, 60} << 0 << "";
    QTest::newRow("leap day") << QList<int>{2028, 2, 29, 23, 59, 59} << 2 << "29.02.2028 23:59";
}

void TestBarCodeLabel::dateTexts() {
    QFETCH(QList<int>, ymdhms);
    QFETCH(int, format);
    QFETCH(QString, text);
    SYSTEMTIME st;
    st.wYear = uint16_t(ymdhms[0]);
    st.wMonth = uint16_t(ymdhms[1]);
    st.wDay = uint16_t(ymdhms[2]);
    st.wHour = uint16_t(ymdhms[3]);
    st.wMinute = uint16_t(ymdhms[4]);
    st.wSecond = uint16_t(ymdhms[5]);
    QCOMPARE(FormatLabelDate(st, format, QStringLiteral("kept")), text);

    // Drawing sets the element's text, and an empty one draws nothing.
    CBarCodeLabelInfo l;
    l.SetDate(l.m_Expiry, 5, 5, 45, 8, DefaultLabelFont(), 0, format);
    l.m_Expiry.m_stValue = st;
    l.m_Expiry.m_strText = QStringLiteral("kept");
    const QImage image = Render(l);
    QCOMPARE(l.m_Expiry.m_strText, QStringLiteral("kept")); // Render drew a copy
    CBarCodeLabel label(kLabel58x40);
    QVERIFY(label.Draw(l));
    QCOMPARE(l.m_Expiry.m_strText, text);
    QCOMPARE(DarkBox(image, image.rect()).isValid(), !text.isEmpty());
}

void TestBarCodeLabel::pageBitmap() {
    CBarCodeLabel label(kLabel58x40);
    QVERIFY(label.m_bValid);
    QCOMPARE(label.m_nPageWidth, 464);
    QCOMPARE(label.m_nPageHeight, 320);
    QCOMPARE(label.m_nPageWidthMM, 58);
    QCOMPARE(label.m_bmpPage.format(), QImage::Format_Grayscale8);
    QCOMPARE(label.m_bmpPage.size(), QSize(464, 320));
    QVERIFY(label.m_bmpPage.sizeInBytes() <= qsizetype(468) * 320); // one byte a pixel
    QVERIFY(!DarkBox(label.m_bmpPage, label.m_bmpPage.rect()).isValid());
    QCOMPARE(qGray(label.m_bmpPage.pixel(0, 0)), 255);

    // A layout at its defaults draws nothing, values or not.
    CBarCodeLabelInfo defaults;
    LabelData d;
    d.nBarcode = 123456789012;
    d.strName = QStringLiteral("Имя");
    defaults.SetValues(d);
    QVERIFY(label.Draw(defaults));
    QVERIFY(!DarkBox(label.m_bmpPage, label.m_bmpPage.rect()).isValid());
}

void TestBarCodeLabel::noPrinterNoPage() {
    m_app->m_settings.PrinterName.clear();
    CBarCodeLabel configured;
    QVERIFY(!configured.m_bValid);
    CBarCodeLabelInfo l = OneText(QStringLiteral("x"), 10, 10);
    QVERIFY(!configured.Draw(l));
    CBarCodeLabel empty(platform::PageFromSize(0, 40, 203, 203));
    QVERIFY(!empty.m_bValid);
    QVERIFY(!empty.Draw(l));
}

void TestBarCodeLabel::skipsEmptyAndZeroSizedElements() {
    QVERIFY(DarkBox(Render(OneText(QStringLiteral("Ж"), 10, 10)), QRect(0, 0, 464, 320)).isValid());
    QVERIFY(!DarkBox(Render(OneText(QStringLiteral("Ж"), 0, 10)), QRect(0, 0, 464, 320)).isValid());
    QVERIFY(!DarkBox(Render(OneText(QStringLiteral("Ж"), 10, 0)), QRect(0, 0, 464, 320)).isValid());
    QVERIFY(!DarkBox(Render(OneText(QString(), 10, 10)), QRect(0, 0, 464, 320)).isValid());
    // A barcode without a module width still draws, one pixel a module.
    CBarCodeLabelInfo l;
    l.SetBarcode(2, 2, 0.01, 10, 0);
    l.m_Barcode.m_strText = QStringLiteral("123456789012");
    const QRect bars(0, MmToPixels(203, 2), 464, MmToPixels(203, 10));
    QCOMPARE(DarkBox(Render(l), bars).left(), MmToPixels(203, 2) + 9);
}

void TestBarCodeLabel::clipsLinesToRectangle() {
    // -16 is 34 printer pixels of character height, about 39 of line: 10 mm hold two lines.
    const QString three = QStringLiteral("ЖЖЖ\nЖЖЖ\nЖЖЖ");
    const QImage image = Render(OneText(three, 40, 10));
    const QRect r = TextRect(40, 10);
    QCOMPARE(LineBands(image, r), 2);
    QVERIFY(r.contains(DarkBox(image, image.rect())));
    QCOMPARE(LineBands(Render(OneText(three, 40, 20)), TextRect(40, 20)), 3);
}

void TestBarCodeLabel::cutTextEndsInEllipsis_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<double>("heightMM");
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("cut");
    // 25 mm take about eight of these letters at -16; 10 mm hold two lines.
    QTest::newRow("fits") << "ЖЖЖ ЖЖЖ" << true << 10.0 << 1 << false;
    QTest::newRow("two lines fit") << "ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ" << true << 10.0 << 2 << false;
    QTest::newRow("more lines than the height")
        << "ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ" << true << 10.0 << 2 << true;
    QTest::newRow("line breaks below") << "ЖЖ\nЖЖ\nЖЖ" << false << 10.0 << 2 << true;
    QTest::newRow("one line too wide") << "ЖЖЖ ЖЖЖ ЖЖЖ" << false << 10.0 << 1 << true;
    QTest::newRow("a word too wide") << "ЖЖЖЖЖЖЖЖЖЖЖЖ" << true << 10.0 << 1 << true;
    QTest::newRow("lower than a line") << "ЖЖЖ ЖЖЖ ЖЖЖ" << true << 2.0 << 1 << true;
}

void TestBarCodeLabel::cutTextEndsInEllipsis() {
    QFETCH(QString, text);
    QFETCH(bool, wrap);
    QFETCH(double, heightMM);
    QFETCH(int, lines);
    QFETCH(bool, cut);
    LOGFONTW lf = DefaultLabelFont();
    lf.lfHeight = labels::PrinterFontHeight(-16, labels::kScreenDpi, 203);
    const QFontMetricsF fm(labels::FontFromLogFont(lf, 203));
    const int width = MmToPixels(203, 25);
    const QStringList shown = LabelTextLines(text, fm, width, MmToPixels(203, heightMM), wrap);
    QCOMPARE(shown.size(), lines);
    for (const QString& line : shown)
        QVERIFY2(fm.horizontalAdvance(line) <= width, qPrintable(line));
    QString joined = shown.join(QLatin1Char(' '));
    QCOMPARE(joined.endsWith(QChar(0x2026)), cut);
    if (cut)
        joined.chop(1);
    // What is shown is the text's beginning, never anything else.
    QString source = text;
    source.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QVERIFY2(source.startsWith(joined) && (cut ? joined.size() < source.size() : joined == source),
             qPrintable(joined));
}

// A 105-character name on the sample label: the page shows its first lines and an ellipsis
// where it is cut, the same page every time.
void TestBarCodeLabel::longNameOnTheSampleLabel() {
    const QString name = QStringLiteral(
        "Колбаса варёная «Докторская» высшего сорта в натуральной оболочке, ГОСТ, весовая, "
        "охлаждённая, фасованная");
    QCOMPARE(name.size(), 105);
    CBarCodeLabelInfo layout = SampleLayout(true, 58, 40);
    LabelData d;
    d.nBarcode = 123456789012;
    d.strName = name;
    layout.SetValues(d);
    const QImage page = Render(layout);
    QCOMPARE(Render(layout), page);

    const LabelElement& e = layout.m_Name;
    LOGFONTW lf = e.m_lfFont;
    lf.lfHeight = labels::PrinterFontHeight(lf.lfHeight, labels::kScreenDpi, 203);
    const QFont font = labels::FontFromLogFont(lf, 203);
    const QStringList lines = LabelTextLines(
        name, QFontMetricsF(font), MmToPixels(203, e.m_dWidth) / labels::WidthScale(lf, font),
        MmToPixels(203, e.m_dHeight), true);
    QVERIFY2(lines.size() >= 1 && lines.last().endsWith(QChar(0x2026)),
             qPrintable(lines.join('|')));
    QString shown = lines.join(QLatin1Char(' '));
    shown.chop(1);
    QVERIFY2(name.startsWith(shown) && shown.size() < name.size(), qPrintable(shown));
    // What the page shows is those lines, the ellipsis with them.
    CBarCodeLabelInfo drawn = layout;
    drawn.m_Name.m_strText = lines.join(QLatin1Char('\n'));
    QCOMPARE(Render(drawn), page);
}

void TestBarCodeLabel::lineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("wrap");
    QTest::addColumn<int>("lines");
    QTest::newRow("LF") << "ЖЖ\nЖЖ" << 0 << 2;
    QTest::newRow("CR") << "ЖЖ\rЖЖ" << 0 << 2;
    QTest::newRow("CR LF") << "ЖЖ\r\nЖЖ" << 0 << 2;
    QTest::newRow("LF LF") << "ЖЖ\n\nЖЖ" << 0 << 2; // an empty line between
    QTest::newRow("no wrap") << "ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ" << 0 << 1;
    QTest::newRow("word wrap") << "ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ" << -1 << 2;
    QTest::newRow("any non-zero wraps") << "ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ" << 1 << 2;
    QTest::newRow("long word stays whole") << "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ" << -1 << 1;
}

void TestBarCodeLabel::lineBreaks() {
    QFETCH(QString, text);
    QFETCH(int, wrap);
    QFETCH(int, lines);
    // 25 mm take about eight of these letters.
    const QImage image = Render(OneText(text, 25, 30, 0, wrap));
    const QRect r = TextRect(25, 30);
    QCOMPARE(LineBands(image, r), lines);
    if (text == QStringLiteral("ЖЖ\n\nЖЖ")) {
        const QRect box = DarkBox(image, r);
        QVERIFY(box.height() > 90); // the second line is the third row
    }
    QVERIFY(r.contains(DarkBox(image, image.rect())));
}

void TestBarCodeLabel::alignment_data() {
    QTest::addColumn<int>("align");
    QTest::newRow("left") << 0;
    QTest::newRow("centre") << 1;
    QTest::newRow("right") << 2;
}

void TestBarCodeLabel::alignment() {
    QFETCH(int, align);
    const QRect r = TextRect(40, 10);
    const QRect box = DarkBox(Render(OneText(QStringLiteral("ЖЖ"), 40, 10, align)), r);
    QVERIFY(box.isValid());
    const int leftGap = box.left() - r.left();
    const int rightGap = r.right() - box.right();
    switch (align) {
    case 0:
        QVERIFY(leftGap <= 3 && rightGap > 150);
        break;
    case 1:
        QVERIFY2(qAbs(leftGap - rightGap) <= 3,
                 qPrintable(QStringLiteral("%1 %2").arg(leftGap).arg(rightGap)));
        break;
    default:
        QVERIFY(rightGap <= 3 && leftGap > 150);
    }
}

void TestBarCodeLabel::ampersandIsLiteral() {
    const QRect r = TextRect(40, 10);
    QVERIFY(DarkBox(Render(OneText(QStringLiteral("&"), 40, 10)), r).isValid());
    const int one = DarkBox(Render(OneText(QStringLiteral("Ж&Ж"), 40, 10)), r).width();
    const int two = DarkBox(Render(OneText(QStringLiteral("Ж&&Ж"), 40, 10)), r).width();
    QVERIFY2(two > one + 10, qPrintable(QStringLiteral("%1 %2").arg(one).arg(two)));
}

void TestBarCodeLabel::fontAttributes_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("effect");
    QTest::newRow("bold") << 0 << 700 << "darker";
    QTest::newRow("width") << 1 << 30 << "wider";
    QTest::newRow("narrow width") << 1 << 5 << "narrower";
    QTest::newRow("italic") << 2 << 1 << "different";
    QTest::newRow("underline") << 3 << 1 << "lower";
    QTest::newRow("strike-out") << 4 << 1 << "different";
    QTest::newRow("escapement 90") << 5 << 900 << "turned";
    QTest::newRow("escapement 270") << 5 << 2700 << "turned";
}

void TestBarCodeLabel::fontAttributes() {
    QFETCH(int, field);
    QFETCH(int, value);
    QFETCH(QString, effect);
    const QString text = QStringLiteral("ЖЖЖЖ");
    CBarCodeLabelInfo plain = OneText(text, 30, 30, 0, 0);
    CBarCodeLabelInfo changed = plain;
    LOGFONTW& f = changed.m_ExtraText.m_lfFont;
    switch (field) {
    case 0:
        f.lfWeight = value;
        break;
    case 1:
        f.lfWidth = value;
        break;
    case 2:
        f.lfItalic = uint8_t(value);
        break;
    case 3:
        f.lfUnderline = uint8_t(value);
        break;
    case 4:
        f.lfStrikeOut = uint8_t(value);
        break;
    default:
        f.lfEscapement = value;
    }
    const QImage a = Render(plain);
    const QImage b = Render(changed);
    const QRect r = TextRect(30, 30);
    const QRect boxA = DarkBox(a, r);
    const QRect boxB = DarkBox(b, r);
    QVERIFY(boxB.isValid());
    QVERIFY(r.contains(DarkBox(b, b.rect())));
    const QString sizes = QStringLiteral("%1x%2 -> %3x%4")
                              .arg(boxA.width())
                              .arg(boxA.height())
                              .arg(boxB.width())
                              .arg(boxB.height());
    if (effect == QLatin1String("wider"))
        QVERIFY2(boxB.width() > boxA.width() + 5, qPrintable(sizes));
    else if (effect == QLatin1String("darker"))
        QVERIFY2(DarkCount(b, r) > DarkCount(a, r) * 13 / 10, qPrintable(sizes));
    else if (effect == QLatin1String("narrower"))
        QVERIFY2(boxB.width() < boxA.width() - 20, qPrintable(sizes));
    else if (effect == QLatin1String("lower"))
        QVERIFY2(boxB.bottom() > boxA.bottom(), qPrintable(sizes));
    else if (effect == QLatin1String("turned"))
        QVERIFY2(boxB.height() > boxA.width() - 5 && boxB.width() < boxA.height() + 5,
                 qPrintable(sizes));
    else
        QVERIFY(a != b);
}

void TestBarCodeLabel::dateElementsNeverWrap() {
    CBarCodeLabelInfo l;
    LOGFONTW font = DefaultLabelFont();
    font.lfHeight = -16;
    l.SetDate(l.m_PackDate, 5, 5, 20, 20, font, 0, 2);
    l.m_PackDate.m_bWordWrap = -1; // as a file written elsewhere may say
    const platform::ScopedFixedClock clock(QDateTime(QDate(2026, 3, 5), QTime(7, 8)));
    l.SetValues(LabelData());
    const QImage image = Render(l);
    QCOMPARE(LineBands(image, TextRect(20, 20)), 1);
    // The same text as a text element breaks between date and time.
    l.SetCaptionText(l.m_ExtraText, QStringLiteral("05.03.2026 07:08"), 5, 5, 20, 20, font, 0, -1);
    l.m_PackDate.m_dWidth = 0;
    QCOMPARE(LineBands(Render(l), TextRect(20, 20)), 2);
}

void TestBarCodeLabel::damagedLayoutsDrawSafely_data() {
    // Values a layout file from elsewhere may carry; each once crashed or overflowed.
    QTest::addColumn<int>("lfHeight");
    QTest::addColumn<int>("lfWidth");
    QTest::addColumn<int>("lfEscapement");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("module");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("huge average width") << -21 << 838860800 << 0 << 1.0 << 0.25;
    QTest::newRow("most negative width") << -21 << INT_MIN << 0 << 1.0 << 0.25;
    QTest::newRow("most negative escapement") << -21 << 0 << INT_MIN << 1.0 << 0.25;
    QTest::newRow("most negative height") << INT_MIN << 0 << 0 << 1.0 << 0.25;
    QTest::newRow("largest height") << INT_MAX << 0 << 0 << 1.0 << 0.25;
    QTest::newRow("far away") << -21 << 0 << 0 << -1e300 << 0.25;
    QTest::newRow("infinite") << -21 << 0 << 0 << inf << inf;
    QTest::newRow("not a number") << -21 << 0 << 0 << std::nan("") << std::nan("");
    QTest::newRow("giant module") << -21 << 0 << 0 << 1.0 << 1e6;
}

void TestBarCodeLabel::damagedLayoutsDrawSafely() {
    QFETCH(int, lfHeight);
    QFETCH(int, lfWidth);
    QFETCH(int, lfEscapement);
    QFETCH(double, offset);
    QFETCH(double, module);
    CBarCodeLabelInfo l = SampleLayout(true, 58, 40);
    for (int i = 1; i < CBarCodeLabelInfo::kElementCount; ++i) {
        LOGFONTW& f = l.Element(i).m_lfFont;
        f.lfHeight = lfHeight;
        f.lfWidth = lfWidth;
        f.lfEscapement = lfEscapement;
        l.Element(i).m_dOffsetX = offset;
    }
    l.m_ExtraText.m_strText = QStringLiteral("Доп. текст");
    l.m_ExtraText.m_dWidth = 50;
    l.m_ExtraText.m_dHeight = 30;
    l.m_Barcode.m_dWidth = module;
    l.m_Barcode.m_dOffsetY = offset;
    LabelData d;
    d.nBarcode = 123456789012;
    d.strName = QStringLiteral("Колбаса & сыр\r\nвысший сорт");
    l.SetValues(d);
    CBarCodeLabel label(kLabel58x40);
    QVERIFY(label.Draw(l));
}

void TestBarCodeLabel::drawToStretches() {
    CBarCodeLabel label(kLabel58x40);
    CBarCodeLabelInfo l;
    l.SetCaptionText(l.m_ExtraText, QStringLiteral("█"), 0, 0, 29, 20, DefaultLabelFont(), 0, 0);
    QImage block(464, 320, QImage::Format_Grayscale8);
    block.fill(255);
    QPainter(&block).fillRect(0, 0, 232, 160, Qt::black);
    // The bitmap itself stands for the drawing here: a black quarter at the top left.
    label.m_bmpPage = block;
    QImage preview(116, 80, QImage::Format_RGB32);
    preview.fill(Qt::white);
    {
        QPainter painter(&preview);
        QVERIFY(label.DrawTo(painter, 116, 80));
    }
    QVERIFY(Dark(preview, 10, 10));
    QVERIFY(Dark(preview, 57, 39));
    QVERIFY(!Dark(preview, 59, 41));
    QVERIFY(!Dark(preview, 100, 70));
}

void TestBarCodeLabel::barcodeReadsBack_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("angle");
    QTest::addColumn<bool>("sample");
    for (int dpi : {203, 300, 600}) {
        QTest::addRow("sample at %d", dpi) << dpi << 0 << true;
        for (int angle : {0, 90, 180, 270})
            QTest::addRow("%d dpi, %d degrees", dpi, angle) << dpi << angle << false;
    }
}

void TestBarCodeLabel::barcodeReadsBack() {
    QFETCH(int, dpi);
    QFETCH(int, angle);
    QFETCH(bool, sample);
    m_app->m_settings.Penny = true;
    LabelData d;
    d.nBarcode = 123456789012;
    d.strName = QStringLiteral("Колбаса докторская");
    d.strInfo = QStringLiteral("Состав: свинина, говядина, соль");
    d.dPrice = 412.5;
    d.dQuantity = 0.512;
    d.dSum = 211.2;
    d.stExpiry = ToSystemTime(QDateTime(QDate(2026, 12, 20), QTime(18, 0)));

    CBarCodeLabelInfo l;
    platform::PrinterPage page = platform::PageFromSize(58, 40, dpi, dpi);
    if (sample) {
        l = SampleLayout(true, 58, 40);
    } else {
        // The symbol alone on a square label, its reference point placed so that it runs
        // across the middle whichever way it turns.
        page = platform::PageFromSize(50, 50, dpi, dpi);
        const QPoint origins[] = {{10, 10}, {10, 40}, {40, 40}, {40, 10}};
        const QPoint o = origins[angle / 90];
        l.SetBarcode(o.x(), o.y(), 0.25, 10, angle);
    }
    l.SetValues(d);
    CBarCodeLabel label(page);
    QVERIFY(label.Draw(l));
    QCOMPARE(ReadBarcode(label.m_bmpPage), QStringLiteral("1234567890128"));
    // The read-back before printing passes the page, with ZXing-C++ and with the program's
    // own reader of the Windows build.
    QCOMPARE(label.CheckPage(), QString());
    const BarcodeAreaReader previous = SetBarcodeAreaReader(ean13::ReadSymbol);
    const QString own = label.CheckPage();
    SetBarcodeAreaReader(previous);
    QCOMPARE(own, QString());
}

void TestBarCodeLabel::samplesKeepClearOfTheEdges_data() {
    QTest::addColumn<bool>("weight");
    QTest::addColumn<QSize>("sizeMM");
    QTest::addColumn<int>("dpi");
    for (const bool weight : {true, false})
        for (const QSize size : {QSize(58, 40), QSize(58, 30), QSize(58, 60), QSize(100, 60)})
            for (const int dpi : {203, 300})
                QTest::addRow("%s %dx%d at %d", weight ? "weight" : "piece", size.width(),
                              size.height(), dpi)
                    << weight << size << dpi;
}

// The sample layouts leave 1.5 mm clear at every edge, with the longest values a label holds:
// a page a dot or two short (a queue defined in whole points) and a printer's own placement
// of a millimetre either way cut nothing, and the barcode still reads.
void TestBarCodeLabel::samplesKeepClearOfTheEdges() {
    QFETCH(bool, weight);
    QFETCH(QSize, sizeMM);
    QFETCH(int, dpi);
    m_app->m_settings.Penny = true;
    m_app->m_settings.PrintEI = true;
    CBarCodeLabelInfo layout = SampleLayout(weight, sizeMM.width(), sizeMM.height());
    layout.SetValues(
        SampleLabelData(weight, m_app->m_settings, QDateTime(QDate(2026, 12, 20), QTime(18, 0))));
    const platform::PrinterPage page =
        platform::PageFromSize(sizeMM.width(), sizeMM.height(), dpi, dpi);
    CBarCodeLabel label(page);
    QVERIFY(label.Draw(layout));
    const QImage& drawn = label.m_bmpPage;
    const int mx = MmToPixels(dpi, 1.5);
    const QRect inside = drawn.rect().adjusted(mx, mx, -mx, -mx);
    const QRect ink = DarkBox(drawn, drawn.rect());
    QVERIFY2(inside.contains(ink), qPrintable(QStringLiteral("ink %1,%2 %3x%4 on %5x%6 dots")
                                                  .arg(ink.x())
                                                  .arg(ink.y())
                                                  .arg(ink.width())
                                                  .arg(ink.height())
                                                  .arg(drawn.width())
                                                  .arg(drawn.height())));
    QCOMPARE(label.CheckPage(), QString());
    // Two dots short in each direction, as a queue of whole points gives it.
    platform::PrinterPage shorter = page;
    shorter.m_nPageWidth -= 2;
    shorter.m_nPageHeight -= 2;
    CBarCodeLabel onShorter(shorter);
    QVERIFY(onShorter.Draw(layout));
    QCOMPARE(onShorter.CheckPage(), QString());
}

QTEST_MAIN(TestBarCodeLabel)
#include "tst_barcodelabel.moc"
