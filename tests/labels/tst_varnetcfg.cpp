// The layout editor on the CUPS test queue: kind switches, element edits through the
// property dialog, revert and close, the sample values of the preview, the missing printer,
// and the placement arithmetic.
#include "labels/barcodelabel.h"
#include "labels/labellayouts.h"
#include "labels/layoutfile.h"
#include "labels/propertycfg.h"
#include "labels/samplelayout.h"
#include "labels/varnetcfg.h"
#include "platform/clock.h"
#include "platform/printer.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/testdir.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// Clicks an element button and, in the property dialog it opens, lets edit change the
// fields before "ОК" (or presses "Отмена" when edit is empty). Returns the dialog's title.
QString EditElement(CVarnetCfg& editor, int id, std::function<void(CPropertyCfg&)> edit) {
    QString title;
    QTimer::singleShot(0, &editor, [&] {
        auto* dlg = qobject_cast<CPropertyCfg*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        title = dlg->windowTitle();
        if (edit) {
            edit(*dlg);
            dlg->accept();
        } else {
            dlg->reject();
        }
    });
    editor.Button(id)->click();
    return title;
}

// Types into a row of the property dialog.
void TypeRow(CPropertyCfg& dlg, int row, const QString& text) {
    auto* line = qobject_cast<QLineEdit*>(dlg.ValueEditor(row));
    line->setText(text);
    emit line->textEdited(text);
}

// The button lies wholly inside the dialog's size.
bool Inside(const QRect& button, const QSize& dialog) {
    return !button.isEmpty() && QRect(QPoint(), dialog).contains(button);
}

QImage Picture(CVarnetCfg& editor) {
    editor.RebuildPreview(true);
    return editor.Preview()->Picture();
}

} // namespace

class TstVarnetCfg : public QObject {
    Q_OBJECT

    std::unique_ptr<TestModuleDir> m_dir;
    std::unique_ptr<CVarnetApp> m_app;
    std::unique_ptr<platform::ScopedFixedClock> m_clock;

    void SetUpCounter(const QString& printer) {
        m_dir = std::make_unique<TestModuleDir>();
        m_app = std::make_unique<CVarnetApp>();
        m_app->SetLabelLayouts(std::make_unique<CLabelLayouts>());
        m_app->m_settings.PrinterName = printer;
        m_app->m_settings.EIWeight = QStringLiteral("кг");
        m_app->m_settings.EIQuantity = QStringLiteral("шт");
        m_app->m_settings.EICurrency = QStringLiteral("руб");
        m_app->LoadLabelLayouts();
    }

private Q_SLOTS:
    void initTestCase() {
        platform::InstallSpoolerPrinters();
        m_clock = std::make_unique<platform::ScopedFixedClock>(
            QDateTime(QDate(2026, 3, 14), QTime(9, 26)));
    }
    void cleanup() {
        m_app.reset();
        m_dir.reset();
    }

    void placement() {
        const EditorPlacement p = PlaceEditorControls(800, 600);
        QCOMPARE(p.preview, QRect(0, 0, 599, 599));
        // Keys a finger's height (34 pixels), none overlapping, all inside the window.
        QCOMPARE(p.kindList, QRect(605, 8, 150, 34));
        QCOMPARE(p.close, QRect(761, 8, 34, 34));
        QCOMPARE(p.buttons[0], QRect(605, 48, 190, 34));
        QCOMPARE(p.buttons[13], QRect(605, 516, 190, 34));
        QCOMPARE(p.save, QRect(605, 558, 85, 34));
        QCOMPARE(p.cancel, QRect(710, 558, 85, 34));
        QList<QRect> keys{p.kindList, p.close, p.save, p.cancel};
        keys += QList<QRect>(p.buttons.begin(), p.buttons.end());
        for (int i = 0; i < keys.size(); ++i) {
            QVERIFY(keys[i].height() >= 34);
            QVERIFY(QRect(600, 0, 200, 600).contains(keys[i]));
            for (int j = i + 1; j < keys.size(); ++j)
                QVERIFY(!keys[i].intersects(keys[j]));
        }
        // An odd width: the column's centre is cut toward the preview.
        QCOMPARE(PlaceEditorControls(781, 561).kindList.left(), 466 + 110);
        QCOMPARE(EditorWindowPosition(QSize(1281, 1025)), QPoint(240, 212));
        QCOMPARE(PreviewPictureSize(QSize(597, 597), 464, 320), QSize(597, 411));
        QCOMPARE(PreviewPictureSize(QSize(597, 597), 320, 464), QSize(411, 597));
        QCOMPARE(EditorCaption(true, 58, 40), QStringLiteral("Конфигурация этикетки (58 x 40)"));
        QCOMPARE(EditorCaption(false, 58, 40), QStringLiteral("Конфигурация этикетки"));
        // Each caption button of a pair sits above its value button.
        QStringList order;
        for (const EditorButton& b : EditorButtons())
            order.append(QString::number(b.nId));
        QCOMPARE(order.join(' '), QStringLiteral("1015 1017 1019 1021 1023 1026 1030 1035 1033 "
                                                 "1037 1040 1044 1047 1049"));
    }

    // The no-printer message: once for the first repaint, not for the repaints its own box
    // causes, and once more after each real change.
    void printerWarning() {
        CPrinterWarning w;
        QVERIFY(w.ShouldTell(false));
        QVERIFY(!w.ShouldTell(false));
        QVERIFY(!w.ShouldTell(false));
        QVERIFY(w.ShouldTell(true));
        QVERIFY(!w.ShouldTell(false));
    }

    void captionAndTitles_data() {
        QTest::addColumn<bool>("weight");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("title");
        QTest::newRow("barcode") << true << 1015 << "Штрих-код"
                                 << "Параметры штрих-кода";
        QTest::newRow("weight caption") << true << 1026 << "Текст \"Вес\""
                                        << "Параметры текста \"Вес\"";
        QTest::newRow("count caption") << false << 1026 << "Текст \"Кол-во\""
                                       << "Параметры текста \"Кол-во\"";
        QTest::newRow("weight") << true << 1030 << "Вес"
                                << "Параметры веса";
        QTest::newRow("count") << false << 1030 << "Кол-во"
                               << "Параметры кол-ва";
        QTest::newRow("expiry") << false << 1047 << "Годен до"
                                << "Параметры срока годности";
    }
    void captionAndTitles() {
        QFETCH(bool, weight);
        QFETCH(int, id);
        QFETCH(QString, caption);
        QFETCH(QString, title);
        SetUpCounter(printcapture::Queue());
        MessageRecorder messages;
        CVarnetCfg editor;
        const std::optional<platform::PrinterPage> page =
            platform::OpenPrinter(printcapture::Queue());
        QVERIFY(page);
        QCOMPARE(editor.windowTitle(),
                 EditorCaption(true, page->m_nPageWidthMM, page->m_nPageHeightMM));
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(editor.size(), QSize(800, 600));
        editor.KindList()->setCurrentIndex(weight ? 0 : 1);
        QCOMPARE(editor.m_bWeight, weight);
        QCOMPARE(editor.Button(id)->text(), caption);
        // Closed with "Отмена", the property dialog changes nothing.
        const CBarCodeLabelInfo before = AppLayouts().Layout(weight);
        QCOMPARE(EditElement(editor, id, {}), title);
        QVERIFY(AppLayouts().Layout(weight) == before);
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('\n')));
    }

    // An editor grown with a scaled screen opens its property dialog grown by the same
    // factor, its controls placed as designed; at the design's size the dialog is as before.
    void propertyDialogGrowsWithTheEditor() {
        SetUpCounter(printcapture::Queue());
        MessageRecorder messages;
        QSize sizes[2];
        for (int i = 0; i < 2; ++i) {
            CVarnetCfg editor;
            if (i == 1)
                editor.setFixedSize(1200, 900);
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            QRect ok;
            EditElement(editor, 1017, [&](CPropertyCfg& dlg) {
                sizes[i] = dlg.size();
                for (QPushButton* b : dlg.findChildren<QPushButton*>())
                    if (b->text() == QStringLiteral("ОК"))
                        ok = b->geometry();
            });
            QVERIFY(Inside(ok, sizes[i]));
        }
        QCOMPARE(sizes[0], QSize(240, 297));
        QCOMPARE(sizes[1], QSize(360, 446));
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('\n')));
    }

    // Without a window manager there is no title bar: the close key alone closes the editor,
    // as the window's close command would, at the design's size and grown with the screen.
    void closedByTouch_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("800x600") << QSize(800, 600);
        QTest::newRow("1440x1080") << QSize(1440, 1080);
    }
    void closedByTouch() {
        QFETCH(QSize, size);
        SetUpCounter(printcapture::Queue());
        MessageRecorder messages;
        CVarnetCfg editor;
        editor.setFixedSize(size);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        EditElement(editor, 1017, [](CPropertyCfg& dlg) { TypeRow(dlg, 0, "20"); });
        QCOMPARE(AppLayouts().Layout(true).m_Name.m_dOffsetX, 20.0);
        QPushButton* close = editor.CloseKey();
        QVERIFY(close->isVisible());
        QVERIFY(QRect(QPoint(), size).contains(close->geometry()));
        QVERIFY(close->height() >= 34);
        const QPoint centre = close->geometry().center();
        QTest::mouseClick(editor.childAt(centre), Qt::LeftButton, {},
                          editor.childAt(centre)->mapFrom(&editor, centre));
        QVERIFY(!editor.isVisible());
        QCOMPARE(editor.result(), int(QDialog::Rejected));
        // Closing discards what was not saved, as every way of closing does.
        QVERIFY(AppLayouts().Layout(true).m_Name.m_dOffsetX != 20.0);
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('\n')));
    }

    // An edit of the piece label survives a switch to the weight label and back; closing
    // without "Сохранить" discards it.
    void pieceEditKeptUntilClose() {
        SetUpCounter(printcapture::Queue());
        QVERIFY(labels::SaveLayout(m_dir->File("QLabel.cfg"), SampleLayout(false, 58, 40)));
        m_app->LoadLabelLayouts();
        MessageRecorder messages;
        CVarnetCfg editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.KindList()->setCurrentIndex(1);
        const QImage original = Picture(editor);
        QVERIFY(!original.isNull());
        EditElement(editor, 1017, [](CPropertyCfg& dlg) { TypeRow(dlg, 0, "20"); });
        QCOMPARE(AppLayouts().Layout(false).m_Name.m_dOffsetX, 20.0);
        const QImage edited = Picture(editor);
        QVERIFY(edited != original);
        editor.KindList()->setCurrentIndex(0);
        QVERIFY(Picture(editor) != edited);
        editor.KindList()->setCurrentIndex(1);
        QCOMPARE(Picture(editor), edited);
        editor.close();
        QCOMPARE(editor.result(), int(QDialog::Rejected));
        CBarCodeLabelInfo file;
        labels::LoadLayout(m_dir->File("QLabel.cfg"), false, file);
        QCOMPARE(AppLayouts().Layout(false).m_Name.m_dOffsetX, file.m_Name.m_dOffsetX);
        QVERIFY(AppLayouts().Layout(false).m_Name.m_dOffsetX != 20.0);
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('\n')));
    }

    // "Сохранить" writes the kind being edited; "Отмена" on a kind without a file gives its
    // defaults, which draw nothing.
    void saveAndRevert() {
        SetUpCounter(printcapture::Queue());
        AppLayouts().Layout(false) = SampleLayout(false, 58, 40);
        MessageRecorder messages;
        CVarnetCfg editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        EditElement(editor, 1049, [](CPropertyCfg& dlg) {
            TypeRow(dlg, 2, "30");
            TypeRow(dlg, 3, "5");
            TypeRow(dlg, 7, "Хранить при 0..4 °C");
        });
        editor.findChild<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
        for (QPushButton* b : editor.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("Сохранить"))
                b->click();
        CBarCodeLabelInfo saved;
        labels::LoadLayout(m_dir->File("Varnet.cfg"), true, saved);
        QCOMPARE(saved.m_ExtraText.m_strText, QStringLiteral("Хранить при 0..4 °C"));

        editor.KindList()->setCurrentIndex(1);
        QVERIFY(!m_dir->Read("QLabel.cfg").size());
        for (QPushButton* b : editor.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("Отмена"))
                b->click();
        CBarCodeLabelInfo defaults;
        defaults.SetDefaults(false);
        CBarCodeLabelInfo reverted = AppLayouts().Layout(false);
        // The preview's values are not part of the layout.
        for (int i : {0, 1, 2, 4, 6, 8, 10, 12})
            reverted.Element(i).m_strText.clear();
        reverted.m_PackDate.m_stValue = SYSTEMTIME();
        reverted.m_Expiry.m_stValue = SYSTEMTIME();
        QVERIFY(reverted == defaults);
        const QImage blank = editor.Preview()->Picture();
        QVERIFY(!blank.isNull());
        QImage white(blank.size(), blank.format());
        white.fill(Qt::white);
        QCOMPARE(blank, white);
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('\n')));
    }

    // With Penny and PrintEI on, the preview shows the price 99999.99 and the amount
    // 999999.99, each followed by a space and the currency: the preview is the picture of
    // exactly those texts.
    void sampleMoneyWithUnits() {
        SetUpCounter(printcapture::Queue());
        m_app->m_settings.Penny = true;
        m_app->m_settings.PrintEI = true;
        AppLayouts().Layout(true) = SampleLayout(true, 58, 40);
        CVarnetCfg editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QImage preview = Picture(editor);
        const CBarCodeLabelInfo& shown = AppLayouts().Layout(true);
        QCOMPARE(shown.m_Price.m_strText, QStringLiteral("99999.99 руб"));
        QCOMPARE(shown.m_Sum.m_strText, QStringLiteral("999999.99 руб"));
        QCOMPARE(shown.m_WeightQty.m_strText, QStringLiteral("999.999 кг"));

        const auto render = [&](const QString& price, const QString& sum) {
            CBarCodeLabelInfo layout = shown;
            layout.m_Price.m_strText = price;
            layout.m_Sum.m_strText = sum;
            CBarCodeLabel label(*platform::OpenPrinter(printcapture::Queue()));
            label.Draw(layout);
            QImage picture(preview.size(), QImage::Format_RGB32);
            picture.fill(Qt::white);
            QPainter dc(&picture);
            label.DrawTo(dc, picture.width(), picture.height());
            return picture;
        };
        QCOMPARE(preview, render("99999.99 руб", "999999.99 руб"));
        QVERIFY(preview != render("99999.99", "999999.99"));
    }

    // No printer: the caption has no size, the message comes once although its box makes
    // the dialog repaint, and once more after a kind switch.
    void noPrinterToldOnce() {
        SetUpCounter(QStringLiteral("NoSuchQueue"));
        CVarnetCfg* shownOver = nullptr;
        QStringList texts;
        const platform::MessageSink previous =
            platform::SetMessageSink([&](const platform::OperatorMessage& m) {
                texts.append(m.text);
                // The box stays open a moment, and the dialog under it repaints.
                if (shownOver)
                    shownOver->repaint();
                QTest::qWait(100);
                if (shownOver)
                    shownOver->repaint();
            });
        {
            CVarnetCfg editor;
            shownOver = &editor;
            QCOMPARE(editor.windowTitle(), QStringLiteral("Конфигурация этикетки"));
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            QTRY_COMPARE(texts.size(), 1);
            QTest::qWait(200);
            editor.repaint();
            QCOMPARE(texts.size(), 1);
            editor.KindList()->setCurrentIndex(1);
            QTest::qWait(200);
            QCOMPARE(texts, QStringList(2, QStringLiteral("Принтер не установлен")));
            // The element buttons still work.
            EditElement(editor, 1023, [](CPropertyCfg& dlg) { TypeRow(dlg, 1, "7"); });
            QCOMPARE(AppLayouts().Layout(false).m_Price.m_dOffsetY, 7.0);
            QCOMPARE(texts.size(), 3);
            shownOver = nullptr;
        }
        platform::SetMessageSink(previous);
    }

    // Enter presses the focused button, or "Сохранить" when the focus is elsewhere.
    void enterKey() {
        SetUpCounter(printcapture::Queue());
        MessageRecorder messages;
        CVarnetCfg editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QString title;
        QTimer::singleShot(0, &editor, [&] {
            if (auto* dlg = qobject_cast<CPropertyCfg*>(QApplication::activeModalWidget())) {
                title = dlg->windowTitle();
                dlg->reject();
            }
        });
        editor.Button(1049)->setFocus();
        QTest::keyClick(editor.Button(1049), Qt::Key_Return);
        QCOMPARE(title, QStringLiteral("Параметры доп. текста"));
        QVERIFY(m_dir->Read("Varnet.cfg").isEmpty());
        editor.KindList()->setFocus();
        QTest::keyClick(editor.KindList(), Qt::Key_Return);
        QCOMPARE(m_dir->Read("Varnet.cfg").size(), 1243);
    }

    void screenshot() {
        SetUpCounter(printcapture::Queue());
        m_app->m_settings.Penny = true;
        m_app->m_settings.PrintEI = true;
        AppLayouts().Layout(true) = SampleLayout(true, 58, 40);
        CVarnetCfg editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QString folder = qEnvironmentVariable("VARNET_BINARY_DIR") + "/screenshots";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(editor.grab().save(folder + "/varnetcfg.png"));
    }
};

QTEST_MAIN(TstVarnetCfg)
#include "tst_varnetcfg.moc"
