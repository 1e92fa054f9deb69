// The element property dialog: its rows by shape, driven under the offscreen platform, and
// the values it gives back to the element and so to the layout file.
#include "labels/editorlogic.h"
#include "labels/layoutfile.h"
#include "labels/propertycfg.h"
#include "support/messagerecorder.h"
#include "support/testdir.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

// A layout whose elements all differ, so a row that shows the wrong field is seen.
CBarCodeLabelInfo DistinctLayout() {
    CBarCodeLabelInfo layout;
    for (int i = 0; i < CBarCodeLabelInfo::kElementCount; ++i) {
        LabelElement& e = layout.Element(i);
        e.m_dOffsetX = 1 + i;
        e.m_dOffsetY = 2 + i;
        e.m_dWidth = 3.25 + i;
        e.m_dHeight = 4.5 + i;
    }
    layout.m_Barcode.m_nAngle = 90;
    layout.m_Price.m_nAlign = 2;
    layout.m_Expiry.m_nDateFormat = 1;
    return layout;
}

QStringList Names(const CPropertyCfg& dlg) {
    QStringList names;
    for (int i = 0; i < dlg.RowCount(); ++i)
        names.append(dlg.RowName(i));
    return names;
}

QString Shown(const CPropertyCfg& dlg, int row) {
    QWidget* w = dlg.ValueEditor(row);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* box = qobject_cast<QComboBox*>(w))
        return box->currentText();
    return static_cast<QPushButton*>(w)->text();
}

void Choose(CPropertyCfg& dlg, int row, const QString& text) {
    auto* box = qobject_cast<QComboBox*>(dlg.ValueEditor(row));
    QVERIFY(box);
    const int index = box->findText(text);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
    emit box->textActivated(text);
}

void Type(CPropertyCfg& dlg, int row, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(dlg.ValueEditor(row));
    QVERIFY(edit);
    edit->setFocus();
    edit->selectAll();
    // One key event carrying the whole text, as an input method delivers Cyrillic.
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, text, Qt::NoModifier);
}

void Fill(CPropertyCfg& dlg, const CBarCodeLabelInfo& layout, int element) {
    static_cast<PropertyFields&>(dlg) = FieldsFromElement(layout, element, QStringLiteral("t"));
}

} // namespace

class TstPropertyCfg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsByShape_data() {
        QTest::addColumn<int>("element");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("shown");
        const QString f1 = QStringLiteral("1. Смещение X"), f2 = QStringLiteral("2. Смещение Y");
        // The barcode shows its bar height in row 3 and its module width in row 4.
        QTest::newRow("barcode") << 0
                                 << QStringList{f1, f2, "3. Высота", "4. Толщина линии", "5. Угол"}
                                 << QStringList{"1.000000", "2.000000", "4.500000", "3.250000",
                                                "90"};
        const QStringList text{
            f1, f2, "3. Ширина", "4. Высота", "5. Шрифт", "6. Выравнивание", "7. Перенос строк"};
        QTest::newRow("price: seven rows")
            << 4 << text << QStringList{"5.000000", "6.000000", "7.250000", "8.500000",
                                        "Arial(8)", "Вправо",   "False"};
        QTest::newRow("price caption: eight rows")
            << 3 << (QStringList(text) << "8. Текст")
            << QStringList{"4.000000", "5.000000", "6.250000", "7.500000",
                           "Arial(8)", "Влево",    "False",    "Цена:"};
        QTest::newRow("expiry: a date format, no word wrap")
            << 12 << QStringList{f1,
                                 f2,
                                 "3. Ширина",
                                 "4. Высота",
                                 "5. Шрифт",
                                 "6. Выравнивание",
                                 "7. Формат даты"}
            << QStringList{"13.000000", "14.000000", "15.250000", "16.500000",
                           "Arial(8)",  "Влево",     "Время"};
    }
    void rowsByShape() {
        QFETCH(int, element);
        QFETCH(QStringList, names);
        QFETCH(QStringList, shown);
        CPropertyCfg dlg;
        Fill(dlg, DistinctLayout(), element);
        dlg.m_strTitle = QStringLiteral("Параметры");
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Параметры"));
        QCOMPARE(Names(dlg), names);
        QCOMPARE(dlg.m_wndPropList->topLevelItemCount(), names.size());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(Shown(dlg, i), shown.at(i));
            // Sorted by name, the rows stand in the order they were added.
            QCOMPARE(dlg.m_wndPropList->topLevelItem(i)->text(0), names.at(i));
        }
        QCOMPARE(dlg.m_wndPropList->headerItem()->text(0), QStringLiteral("Параметр"));
        QCOMPARE(dlg.m_wndPropList->headerItem()->text(1), QStringLiteral("Значение"));
        QCOMPARE(dlg.m_wndPropList->currentItem(), dlg.m_wndPropList->topLevelItem(0));
        // Fixed lists accept only their values.
        for (int i = 0; i < names.size(); ++i)
            if (auto* box = qobject_cast<QComboBox*>(dlg.ValueEditor(i)))
                QVERIFY(!box->isEditable());
    }

    // Row 3 of the barcode goes to the bar height and row 4 to the module width; the angle
    // comes from its list.
    void barcodeReadBack() {
        CPropertyCfg dlg;
        Fill(dlg, DistinctLayout(), 0);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Type(dlg, 2, QStringLiteral("12.5"));
        Type(dlg, 3, QStringLiteral("0,33"));
        Choose(dlg, 4, QStringLiteral("270"));
        QTest::keyClick(dlg.m_wndPropList, Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_dHeight, 12.5);
        QCOMPARE(dlg.m_dWidth, 0.33);
        QCOMPARE(dlg.m_nAngle, 270);
        QCOMPARE(dlg.m_dOffsetX, 1.0);
    }

    // Word wrap turned on comes back as -1, and the layout file stores it so.
    void wordWrapStoredAsMinusOne() {
        TestModuleDir dir;
        CBarCodeLabelInfo layout = DistinctLayout();
        CPropertyCfg dlg;
        Fill(dlg, layout, 3);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Choose(dlg, 6, QStringLiteral("True"));
        Type(dlg, 7, QStringLiteral("Цена за кг:"));
        Choose(dlg, 5, QStringLiteral("По центру"));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        ApplyFields(layout, 3, dlg);
        const QString path = dir.File(QStringLiteral("Varnet.cfg"));
        QVERIFY(labels::SaveLayout(path, layout));
        CBarCodeLabelInfo loaded;
        labels::LoadLayout(path, true, loaded);
        QCOMPARE(loaded.m_PriceCaption.m_bWordWrap, -1);
        QCOMPARE(loaded.m_PriceCaption.m_strText, QStringLiteral("Цена за кг:"));
        QCOMPARE(loaded.m_PriceCaption.m_nAlign, 1);
    }

    // A date element has no word-wrap row, and its setter keeps word wrap off whatever the
    // element held; the date format comes back from its list.
    void dateElement() {
        CBarCodeLabelInfo layout = DistinctLayout();
        layout.m_PackDate.m_bWordWrap = -1;
        CPropertyCfg dlg;
        Fill(dlg, layout, 10);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(!Names(dlg).contains(QStringLiteral("7. Перенос строк")));
        Choose(dlg, 6, QStringLiteral("Дата и время"));
        dlg.accept();
        ApplyFields(layout, 10, dlg);
        QCOMPARE(layout.m_PackDate.m_nDateFormat, 2);
        QCOMPARE(layout.m_PackDate.m_bWordWrap, 0);
    }

    // A millimetre row that is not a number keeps its value and says so; "ОК" then stays
    // open on it. A changed value is shown in bold.
    void notANumberKeepsTheValue() {
        MessageRecorder messages;
        CPropertyCfg dlg;
        Fill(dlg, DistinctLayout(), 4);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Type(dlg, 0, QStringLiteral("7.5"));
        QVERIFY(dlg.ValueEditor(0)->font().bold());
        QVERIFY(!dlg.ValueEditor(1)->font().bold());
        Type(dlg, 1, QStringLiteral("abc"));
        dlg.accept();
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("Введите число.")});
        QVERIFY(dlg.isVisible());
        QCOMPARE(Shown(dlg, 1), QStringLiteral("6.000000"));
        QVERIFY(!dlg.ValueEditor(1)->font().bold());
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_dOffsetX, 7.5);
        QCOMPARE(dlg.m_dOffsetY, 6.0);
    }

    void cancelReadsNothing() {
        CPropertyCfg dlg;
        Fill(dlg, DistinctLayout(), 4);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Type(dlg, 0, QStringLiteral("40"));
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.m_dOffsetX, 5.0);
    }

    // The font row opens the font dialog; the choice becomes the record at 96 dpi, with
    // underline and strike-out, and the record's character set stays.
    void fontFromTheDialog() {
        CPropertyCfg dlg;
        Fill(dlg, DistinctLayout(), 1);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        bool seen = false;
        QTimer::singleShot(0, &dlg, [&] {
            auto* fonts = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            QVERIFY(fonts);
            seen = true;
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPointSize(12);
            font.setBold(true);
            font.setUnderline(true);
            font.setStrikeOut(true);
            fonts->setCurrentFont(font);
            fonts->accept();
        });
        QTest::mouseClick(dlg.ValueEditor(4), Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(dlg.ValueEditor(4)->font().bold());
        dlg.accept();
        const LOGFONTW& lf = dlg.m_lfFont;
        QCOMPARE(lf.lfHeight, -16);
        QCOMPARE(lf.lfWeight, 700);
        QCOMPARE(int(lf.lfUnderline), 1);
        QCOMPARE(int(lf.lfStrikeOut), 1);
        QCOMPARE(int(lf.lfItalic), 0);
        QCOMPARE(lf.lfFaceName, QStringLiteral("DejaVu Sans"));
        QCOMPARE(int(lf.lfCharSet), 204);
        QCOMPARE(Shown(dlg, 4), QStringLiteral("DejaVu Sans(12)"));
    }

    void fontRecordRoundTrip_data() {
        QTest::addColumn<int>("height");
        QTest::newRow("8 points") << -11;
        QTest::newRow("12 points") << -16;
        QTest::newRow("a cell height") << 20;
    }
    // A font that goes through the dialog unchanged keeps its size.
    void fontRecordRoundTrip() {
        QFETCH(int, height);
        LOGFONTW lf = DefaultLabelFont();
        lf.lfHeight = height;
        const LOGFONTW back = LogFontFromDialogFont(DialogFontFromLogFont(lf), lf);
        if (height < 0)
            QCOMPARE(back.lfHeight, height);
        else
            QVERIFY(back.lfHeight < 0 && -back.lfHeight <= height);
        QCOMPARE(back.lfFaceName, lf.lfFaceName);
    }

    void millimetres_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("mm");
        QTest::newRow("decimal point") << " 12.5 " << true << 12.5;
        QTest::newRow("decimal comma") << "0,25" << true << 0.25;
        QTest::newRow("negative") << "-3" << true << -3.0;
        QTest::newRow("letters after") << "12abc" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("infinite") << "1e999" << false << 0.0;
        QTest::newRow("not a number") << "nan" << false << 0.0;
    }
    void millimetres() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, mm);
        double value = 0;
        QCOMPARE(ParseMillimetres(text, value), ok);
        if (ok)
            QCOMPARE(value, mm);
        QCOMPARE(FormatMillimetres(1234.5), QStringLiteral("1234.500000"));
    }

    void screenshot() {
        CPropertyCfg dlg;
        Fill(dlg, DistinctLayout(), 3);
        dlg.m_strTitle = QStringLiteral("Параметры текста \"Цена\"");
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Type(dlg, 0, QStringLiteral("2.5"));
        const QString folder = qEnvironmentVariable("VARNET_BINARY_DIR") + "/screenshots";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(dlg.grab().save(folder + "/propertycfg.png"));
    }
};

QTEST_MAIN(TstPropertyCfg)
#include "tst_propertycfg.moc"
