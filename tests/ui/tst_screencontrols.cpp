// A small piece of the main screen built from the real controls: display fields, the keypad
// panel and keys with captions and icons. Saves a screenshot for a person to look at.
#include "ui/buttonctrl.h"
#include "ui/labelctrl.h"
#include "ui/resources.h"

#include "pixels.h"

#include <QDir>
#include <QTest>
#include <QWindow>

namespace {
const QColor kCaption(0, 100, 220);

CLabel* Field(QWidget* parent, const QRect& geometry, const QString& caption, int nHeight,
              const QString& text) {
    auto* field = new CLabel(parent);
    field->SetCaption(caption, kCaption, CLabel::GrayTextColor());
    field->SetTextFont(nHeight, false, "Arial");
    field->SetTextAlign(Qt::AlignRight);
    field->SetCaptionAlign(Qt::AlignLeft);
    field->setGeometry(geometry);
    field->setText(text);
    return field;
}

bool Inked(const QColor& c) {
    return std::min({c.red(), c.green(), c.blue()}) < 160;
}
} // namespace

class TestScreenControls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitVarnetResources(); }
    void composition();
};

void TestScreenControls::composition() {
    QWidget screen;
    screen.resize(600, 420);

    auto* name = new CLabel(&screen);
    name->SetCaption(QStringLiteral("Название товара"), kCaption, CLabel::GrayTextColor());
    name->SetTextFont(40, true, "Times New Roman");
    name->SetTextColor(QColor(0, 0, 200));
    name->SetCaptionAlign(Qt::AlignHCenter);
    name->SetTextAlign(Qt::AlignHCenter);
    name->setGeometry(8, 4, 584, 100);
    name->setText(QStringLiteral("Колбаса докторская высшего сорта, весовая"));

    Field(&screen, QRect(8, 108, 284, 90), QStringLiteral("Цена"), 70, QStringLiteral("289.90 "));
    Field(&screen, QRect(302, 108, 290, 90), QStringLiteral("Вес"), 70, QStringLiteral("0.512 "));
    Field(&screen, QRect(8, 202, 284, 90), QStringLiteral("Сумма"), 70, QStringLiteral("148.43 "));
    auto* autoPrint = Field(&screen, QRect(8, 300, 284, 70), QStringLiteral("Автопечать"), 40,
                            QStringLiteral("Выкл"));
    autoPrint->SetTextAlign(Qt::AlignHCenter);

    auto* panel = new CLabel(&screen);
    panel->SetFrameOnly(true);
    panel->SetCaption(QString(), Qt::black, CLabel::GrayTextColor());
    panel->setGeometry(302, 208, 290, 204);

    const int bw = (290 - 26) / 4;
    const int bh = (204 - 30) / 3;
    auto key = [&](int row, int column, const QString& caption, int rows = 1) {
        auto* k = new CButtonCtrl(caption, &screen);
        k->SetFont(50, "Arial");
        k->setGeometry(310 + column * (bw + 4), 216 + row * (bh + 4), bw,
                       rows * bh + (rows - 1) * 4);
        return k;
    };
    CButtonCtrl* clear = key(0, 0, QStringLiteral("C"));
    clear->SetFont(50, "Times New Roman");
    clear->SetTextColor(QColor(180, 0, 0));
    QList<CButtonCtrl*> iconKeys;
    for (const auto& [column, id] : {std::pair{1, 148}, std::pair{2, 147}, std::pair{3, 150}}) {
        CButtonCtrl* k = key(0, column, QString());
        k->SetFont(15, "Arial");
        k->SetIcon(id, id, 32, ui::KeyIconOnly);
        iconKeys << k;
    }
    key(1, 0, "7");
    CButtonCtrl* hovered = key(1, 1, "8");
    CButtonCtrl* focused = key(1, 2, "9");
    CButtonCtrl* product = key(1, 3, QStringLiteral("Товар"), 2);
    product->SetFont(20, "Arial");
    product->SetIcon(151, 151, 48, ui::KeyIconAbove);
    iconKeys << product;
    key(2, 0, "4");
    key(2, 1, "5");
    CButtonCtrl* disabled = key(2, 2, "6");
    disabled->setEnabled(false);

    screen.show();
    QVERIFY(QTest::qWaitForWindowActive(&screen));
    focused->setFocus();
    QTest::mouseMove(screen.windowHandle(), hovered->geometry().center());
    QTRY_VERIFY(hovered->IsHover());

    const QImage image = pixels::Flat(screen.grab());
    const QString folder = qEnvironmentVariable("VARNET_BINARY_DIR", QDir::currentPath());
    const QString path = folder + "/ui-screencontrols.png";
    QVERIFY2(image.save(path), qPrintable(path));
    qInfo("screenshot: %s", qPrintable(path));

    for (CButtonCtrl* k : iconKeys) {
        const QRect centre = k->geometry().adjusted(bw / 4, bh / 4, -bw / 4, -bh / 4);
        QVERIFY2(pixels::Count(image, centre, Inked) > 50, qPrintable(k->text()));
    }
}

QTEST_MAIN(TestScreenControls)
#include "tst_screencontrols.moc"
