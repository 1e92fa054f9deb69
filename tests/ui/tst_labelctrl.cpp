// The display field: the caption set into the frame, the value text's wrapping and
// alignment, and the frame-only panel that leaves its inside alone.
#include "ui/labelctrl.h"
#include "ui/labellook.h"

#include "pixels.h"

#include <QFontMetrics>
#include <QTest>

namespace {

const QColor kCaption(0, 100, 220);
const QColor kFrame(220, 0, 0);
const QColor kBack(255, 255, 255);
const QColor kWindow(0, 160, 0);

bool IsFrame(const QColor& c) {
    return pixels::Near(c, kFrame, 40);
}
bool IsCaptionInk(const QColor& c) {
    return c.blue() > 150 && c.red() < 100;
}

// A field on a window of its own colour, so what shows through can be told apart.
struct Field {
    QWidget window;
    CLabel* label;

    explicit Field(QSize size) {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, kWindow);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.resize(size + QSize(20, 20));
        label = new CLabel(&window);
        label->setGeometry(QRect(QPoint(10, 10), size));
        label->SetBackColor(kBack);
    }
    QImage Grab() { return pixels::Flat(window.grab(label->geometry())); }
    int CaptionHeight() const { return QFontMetrics(label->CaptionFont()).height(); }
    int LineHeight() const { return QFontMetrics(label->TextFont()).height(); }
};

} // namespace

class TestLabelCtrl : public QObject {
    Q_OBJECT

private slots:
    void captionX_data();
    void captionX();
    void textFlags_data();
    void textFlags();

    void captionSetIntoTheFrame_data();
    void captionSetIntoTheFrame();
    void withoutCaptionTheFrameStartsAtTheTop();
    void wordWrap_data();
    void wordWrap();
    void cutTextEndsInEllipsis_data();
    void cutTextEndsInEllipsis();
    void textAlignment_data();
    void textAlignment();
    void frameOnly_data();
    void frameOnly();
};

void TestLabelCtrl::captionX_data() {
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("captionWidth");
    QTest::addColumn<int>("x");
    QTest::newRow("left") << int(Qt::AlignLeft) << 200 << 50 << 6;
    QTest::newRow("centre") << int(Qt::AlignHCenter) << 200 << 51 << 75;
    QTest::newRow("right") << int(Qt::AlignRight) << 200 << 50 << 143;
    QTest::newRow("right, caption wider than the room") << int(Qt::AlignRight) << 200 << 199 << 0;
    QTest::newRow("centre, caption wider than the field")
        << int(Qt::AlignHCenter) << 200 << 300 << 0;
    QTest::newRow("no horizontal alignment") << int(Qt::AlignJustify) << 200 << 50 << 0;
}

void TestLabelCtrl::captionX() {
    QFETCH(int, align);
    QFETCH(int, width);
    QFETCH(int, captionWidth);
    QTEST(ui::LabelCaptionX(Qt::Alignment(align), width, captionWidth), "x");
}

void TestLabelCtrl::textFlags_data() {
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<int>("flags");
    const int single = Qt::TextSingleLine | Qt::AlignVCenter | Qt::AlignRight;
    QTest::newRow("fits") << true << 190 << single;
    QTest::newRow("too wide, wrapping on")
        << true << 191 << (Qt::TextWordWrap | Qt::AlignTop | Qt::AlignRight);
    QTest::newRow("too wide, wrapping off") << false << 500 << single;
}

void TestLabelCtrl::textFlags() {
    QFETCH(bool, wrap);
    QFETCH(int, textWidth);
    const QRect text(5, 12, 190, 76);
    QTEST(ui::LabelTextFlags(textWidth, text, wrap, Qt::AlignRight), "flags");
}

void TestLabelCtrl::captionSetIntoTheFrame_data() {
    QTest::addColumn<int>("align");
    QTest::newRow("left") << int(Qt::AlignLeft);
    QTest::newRow("centre") << int(Qt::AlignHCenter);
    QTest::newRow("right") << int(Qt::AlignRight);
}

void TestLabelCtrl::captionSetIntoTheFrame() {
    QFETCH(int, align);
    const int W = 200;
    Field field(QSize(W, 90));
    field.label->SetCaption(QStringLiteral("Цена"), kCaption, kFrame);
    field.label->SetCaptionAlign(Qt::Alignment(align));
    const QImage image = field.Grab();

    const int ch = field.CaptionHeight();
    const int cw = QFontMetrics(field.label->CaptionFont()).horizontalAdvance(" Цена ");
    const int space = QFontMetrics(field.label->CaptionFont()).horizontalAdvance(' ');
    const int x = ui::LabelCaptionX(Qt::Alignment(align), W, cw);

    // The frame line runs at half the caption's height and breaks where the caption sits.
    const int frameRow = ch / 2;
    QVERIFY(IsFrame(image.pixelColor(3, frameRow)) || x <= 3);
    QVERIFY(IsFrame(image.pixelColor(W - 5, frameRow)) || x + cw >= W - 5);
    QCOMPARE(pixels::Count(image, QRect(x, frameRow, cw, 1), IsFrame), 0);

    const QRect ink = pixels::Bounds(image, QRect(0, 0, W, ch), IsCaptionInk);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(ink.left() >= x + space - 1 && ink.right() <= x + cw - space,
             qPrintable(QStringLiteral("ink %1..%2, caption %3..%4")
                            .arg(ink.left())
                            .arg(ink.right())
                            .arg(x)
                            .arg(x + cw)));
    // Beside and below the caption the field's own fill.
    QVERIFY(pixels::Near(image.pixelColor(W / 2, ch + 5), kBack));
}

void TestLabelCtrl::withoutCaptionTheFrameStartsAtTheTop() {
    Field field(QSize(200, 90));
    field.label->SetCaption(QString(), Qt::black, kFrame);
    field.label->SetTextFont(40, false, "Arial");
    field.label->setText(QStringLiteral("0.000 "));
    const QImage image = field.Grab();
    QVERIFY(IsFrame(image.pixelColor(100, 0)));
    QVERIFY(pixels::Near(image.pixelColor(100, 1), kBack));
    // One line, vertically centred in the full height less two pixels.
    const auto bands = pixels::RowBands(image, QRect(5, 1, 190, 87), pixels::Dark);
    QCOMPARE(bands.size(), 1);
    const int middle = (bands[0].first + bands[0].second) / 2;
    QVERIFY2(qAbs(middle - 88 / 2) <= field.LineHeight() / 4, qPrintable(QString::number(middle)));
}

void TestLabelCtrl::wordWrap_data() {
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<int>("lines");
    QTest::newRow("wrapping on: lines from the top") << true << 2;
    QTest::newRow("wrapping off: one clipped line") << false << 1;
}

void TestLabelCtrl::wordWrap() {
    QFETCH(bool, wrap);
    QFETCH(int, lines);
    const QSize size(300, 110);
    Field field(size);
    field.label->SetCaption(QStringLiteral("Название товара"), kCaption, kFrame);
    field.label->SetTextFont(40, true, "Times New Roman");
    field.label->SetWordWrap(wrap);
    field.label->setText(QStringLiteral("Колбаса докторская высшего сорта"));
    const QImage image = field.Grab();

    const int ch = field.CaptionHeight();
    const QRect inside(2, ch + 1, size.width() - 5, size.height() - ch - 3);
    const auto bands = pixels::RowBands(image, inside, pixels::Dark);
    QCOMPARE(bands.size(), lines);
    const int lineHeight = field.LineHeight();
    if (wrap) {
        QVERIFY2(bands[0].first < ch + lineHeight / 2, qPrintable(QString::number(bands[0].first)));
    } else {
        const int middle = (bands[0].first + bands[0].second) / 2;
        const int centre = (ch + size.height() - 2) / 2;
        QVERIFY2(qAbs(middle - centre) <= lineHeight / 4, qPrintable(QString::number(middle)));
    }
    // Never beyond the text rectangle, five pixels in from each side.
    const QRect ink = pixels::Bounds(image, inside, pixels::Dark);
    QVERIFY2(ink.left() >= 5 && ink.right() <= size.width() - 6,
             qPrintable(QStringLiteral("%1..%2").arg(ink.left()).arg(ink.right())));
}

void TestLabelCtrl::cutTextEndsInEllipsis_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fontHeight");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cut");
    const QString longName = QStringLiteral(
        "Колбаса варёная «Докторская» высшего сорта в натуральной оболочке, ГОСТ, весовая, "
        "охлаждённая, фасованная");
    // The main screen's name field at its design size, and a line of the state strip.
    QTest::newRow("short name") << QSize(785, 100) << 40 << true
                                << QStringLiteral("Колбаса докторская") << false;
    QTest::newRow("105-character name") << QSize(785, 100) << 40 << true << longName << true;
    QTest::newRow("one line too wide") << QSize(300, 60) << 40 << false << longName << true;
    QTest::newRow("a word too wide")
        << QSize(300, 110) << 40 << true << QStringLiteral("Колбасадокторскаявысшегосорта") << true;
}

void TestLabelCtrl::cutTextEndsInEllipsis() {
    QFETCH(QSize, size);
    QFETCH(int, fontHeight);
    QFETCH(bool, wrap);
    QFETCH(QString, text);
    QFETCH(bool, cut);
    Field field(size);
    field.label->SetCaption(QStringLiteral("Название товара"), kCaption, kFrame);
    field.label->SetTextFont(fontHeight, true, "Times New Roman");
    field.label->SetTextAlign(Qt::AlignHCenter);
    field.label->SetWordWrap(wrap);
    const ui::LabelGeometry g =
        ui::LayoutLabel(size, QSize(0, field.CaptionHeight()), Qt::AlignHCenter);
    const QString shown =
        ui::ShownLabelText(text, field.label->TextFont(), g.rcText, wrap, Qt::AlignHCenter);
    if (!cut) {
        QCOMPARE(shown, text);
        return;
    }
    QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
    QVERIFY2(text.startsWith(shown.chopped(1)) && shown.size() > 1, qPrintable(shown));
    // The field shows exactly that: the text it was given, cut, with the ellipsis.
    field.label->setText(text);
    const QImage drawn = field.Grab();
    field.label->setText(shown);
    QCOMPARE(field.Grab(), drawn);
}

void TestLabelCtrl::textAlignment_data() {
    QTest::addColumn<int>("align");
    QTest::newRow("left") << int(Qt::AlignLeft);
    QTest::newRow("centre") << int(Qt::AlignHCenter);
    QTest::newRow("right") << int(Qt::AlignRight);
}

void TestLabelCtrl::textAlignment() {
    QFETCH(int, align);
    const int W = 200;
    Field field(QSize(W, 90));
    field.label->SetCaption(QStringLiteral("Сумма"), kCaption, kFrame);
    field.label->SetTextFont(70, false, "Arial");
    field.label->SetTextAlign(Qt::Alignment(align));
    field.label->setText(QStringLiteral("5"));
    const QImage image = field.Grab();

    const int ch = field.CaptionHeight();
    const QRect ink = pixels::Bounds(image, QRect(1, ch + 1, W - 3, 90 - ch - 3), pixels::Dark);
    QVERIFY(!ink.isEmpty());
    const int bearing = 8; // room between a glyph's box and its ink
    switch (align) {
    case Qt::AlignLeft:
        QVERIFY2(ink.left() >= 5 && ink.left() <= 5 + bearing,
                 qPrintable(QString::number(ink.left())));
        break;
    case Qt::AlignHCenter:
        QVERIFY2(qAbs(ink.center().x() - W / 2) <= 3,
                 qPrintable(QString::number(ink.center().x())));
        break;
    default:
        QVERIFY2(ink.right() <= W - 6 && ink.right() >= W - 6 - bearing,
                 qPrintable(QString::number(ink.right())));
    }
}

void TestLabelCtrl::frameOnly_data() {
    QTest::addColumn<bool>("frameOnly");
    QTest::addColumn<QColor>("inside");
    QTest::addColumn<bool>("textShown");
    QTest::newRow("field") << false << kBack << true;
    QTest::newRow("frame only: the window shows through, no text") << true << kWindow << false;
}

void TestLabelCtrl::frameOnly() {
    QFETCH(bool, frameOnly);
    QFETCH(QColor, inside);
    QFETCH(bool, textShown);
    const QSize size(200, 150);
    Field field(size);
    field.label->SetCaption(QStringLiteral("Клавиатура"), kCaption, kFrame);
    field.label->SetFrameOnly(frameOnly);
    field.label->SetTextFont(40, false, "Arial");
    field.label->setText(QStringLiteral("1234"));
    const QImage image = field.Grab();

    const int ch = field.CaptionHeight();
    QVERIFY(pixels::Near(image.pixelColor(size.width() - 10, size.height() - 10), inside));
    QVERIFY(IsFrame(image.pixelColor(0, size.height() / 2)));
    QVERIFY(IsFrame(image.pixelColor(size.width() / 2, size.height() - 2)));
    // The caption strip above the frame line has the window's button face either way.
    const QColor face = field.label->palette().color(QPalette::Button);
    QVERIFY(pixels::Near(image.pixelColor(size.width() - 3, 1), face));
    const int ink = pixels::Count(image, QRect(1, ch + 1, size.width() - 3, size.height() - ch - 3),
                                  pixels::Dark);
    QCOMPARE(ink > 0, textShown);
}

QTEST_MAIN(TestLabelCtrl)
#include "tst_labelctrl.moc"
