// The main screen's touch features under the offscreen platform: the speed keys in the bands
// of a wide window and as a page over the keypad of a 4:3 one, from the keyboard too; a free
// key, a product gone from the catalogue, a damaged key file; keys set from the product
// search and in the settings; copies of a piece label and the repeat key, each label its own
// job and journal row; the printed label in sight, the same dots as the job; the label's sound
// and the setting that silences it.
#include "catalogue/cdlgplufind.h"
#include "catalogue/cgrid.h"
#include "journal/journal.h"
#include "platform/printer.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/testcounter.h"
#include "ui/appconfig.h"
#include "ui/labelctrl.h"
#include "workstation/labelpreview.h"
#include "workstation/labelsound.h"
#include "workstation/mainlayout.h"
#include "workstation/printpage.h"
#include "workstation/productlookup.h"
#include "workstation/speedkeydlg.h"
#include "workstation/speedkeypad.h"
#include "workstation/varnetdlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {
// Runs action on the next modal dialog (other than skip) as soon as it is up.
void OnNextModal(std::function<void(QWidget*)> action, QWidget* skip = nullptr) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, action, skip] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != skip) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start(20);
}

// Today's labels of a product in the journal, reprints apart.
QList<JournalRow> Labels(const QString& code) {
    QList<JournalRow> rows;
    for (const JournalRow& row : AppJournal().Rows(QDateTime::currentDateTime().addDays(-1),
                                                   QDateTime::currentDateTime().addDays(1)))
        if (row.code == code && !row.reprint)
            rows.append(row);
    return rows;
}
int JournalRows(const QString& code) {
    return int(Labels(code).size());
}

// The captured job of a job id, once it is there whole; empty after a minute without it.
QString JobFile(const QString& queue, int jobId) {
    for (int waited = 0; waited < 60000; waited += 100) {
        for (const QString& job : printcapture::Jobs(queue))
            if (job.section(QLatin1Char('-'), 1, 1).toInt() == jobId) {
                QTest::qWait(500); // the backend may still be writing it
                return QDir(printcapture::Folder(queue)).filePath(job);
            }
        QTest::qWait(100);
    }
    return QString();
}

// Whether the job of each journal row reached the queue's capture folder (other counters may
// print to the same queue meanwhile: jobs are known by their ids).
bool JobsArrive(const QString& queue, const QList<JournalRow>& rows) {
    for (int waited = 0; waited < 60000; waited += 100) {
        QSet<int> captured;
        for (const QString& job : printcapture::Jobs(queue))
            captured.insert(job.section(QLatin1Char('-'), 1, 1).toInt());
        if (std::all_of(rows.begin(), rows.end(),
                        [&captured](const JournalRow& r) { return captured.contains(r.jobId); }))
            return true;
        QTest::qWait(100);
    }
    return false;
}

// Keys 1 to 4: a weighed product showing its price, a piece product with a preset tare, a
// product that is no longer in the catalogue, and one given by its code alone.
const QByteArray kKeys = "1\t12\tФиле\t1\t\n2\t33\tПирожок\t0\t0.200\n3\t999\tСнятый товар\t0\t\n"
                         "4\t14\n";
} // namespace

class TstTouchScreen : public QObject {
    Q_OBJECT

    std::unique_ptr<TestCounter> m_counter;
    std::unique_ptr<CVarnetDlg> m_dlg;
    std::unique_ptr<MessageRecorder> m_messages;

    // A counter without a scale, with the given speed-key file; the screen at the given size.
    void OpenScreen(const QByteArray& keys, const QSize& size = QSize(800, 600),
                    const QString& printer = QString()) {
        TestCounterOptions o;
        o.printer = printer;
        m_counter = std::make_unique<TestCounter>(o);
        if (!keys.isNull())
            m_counter->Dir().Write(CSpeedKeys::FileName(), keys);
        m_messages = std::make_unique<MessageRecorder>();
        m_dlg = std::make_unique<CVarnetDlg>();
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        if (size != QSize(800, 600))
            m_dlg->resize(size);
        QCoreApplication::processEvents();
        // The catalogue is connected once the screen is up, and the keys ask their prices.
        QTRY_VERIFY(m_counter->App().m_db.IsOpen());
        QCoreApplication::processEvents();
    }

    CSpeedKeyButton* BandKey(int number) const {
        return m_dlg->SpeedKeyBand(number <= 12 ? 0 : 1)->KeyButton(number);
    }
    QString Name() const { return m_dlg->Field(10001)->text(); }
    // A product's price in the catalogue as the screen shows money.
    QString CatalogueMoney(const QString& code) const {
        const QMap<QString, CatalogueEntry> entries = LookupEntries(m_counter->App(), {code});
        return entries.contains(code) ? m_dlg->State().MoneyText(entries[code].price).trimmed()
                                      : QStringLiteral("none");
    }

private Q_SLOTS:
    void initTestCase() { platform::InstallSpoolerPrinters(); }
    void cleanup() {
        m_dlg.reset();
        m_messages.reset();
        m_counter.reset();
    }

    // A wide window: 24 keys in the bands beside the design, one tap each; the keyboard's
    // F-keys do the same. A key with its price shows the catalogue's; the preset tare goes
    // with the product; a free key and a vanished product say so.
    void bandsOnAWideScreen() {
        OpenScreen(kKeys, QSize(1366, 768));
        QVERIFY(m_dlg->SpeedKeyBand(0)->isVisible());
        QVERIFY(m_dlg->SpeedKeyBand(1)->isVisible());
        const QRect design = m_dlg->ScreenScale().Design();
        for (int n = 1; n <= 24; ++n) {
            CSpeedKeyButton* key = BandKey(n);
            QVERIFY(key->isVisible());
            const QRect r(key->mapTo(m_dlg.get(), QPoint(0, 0)), key->size());
            QVERIFY(!r.intersects(design));
            QVERIFY(r.width() >= 43 && r.height() >= 43);
        }
        QCOMPARE(BandKey(1)->PriceText(), CatalogueMoney(QStringLiteral("12")));
        QVERIFY(BandKey(2)->PriceText().isEmpty());
        QCOMPARE(BandKey(1)->text(), QStringLiteral("Филе"));
        QCOMPARE(BandKey(4)->text(), QStringLiteral("Свинина шейка")); // the catalogue's name
        QVERIFY(!BandKey(5)->Key().IsAssigned());

        QTest::mouseClick(BandKey(1), Qt::LeftButton);
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("12"));
        QVERIFY(Name().startsWith(QStringLiteral("Филе куриное")));
        QCOMPARE(m_dlg->State().m_product.m_dTare, 0.0);
        QTest::mouseClick(BandKey(2), Qt::LeftButton);
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("33"));
        QCOMPARE(m_dlg->State().m_product.m_dTare, 0.2);
        QCOMPARE(m_dlg->Field(10004)->Caption(), QStringLiteral("Количество"));
        QVERIFY(m_messages->Texts().isEmpty());

        QTest::keyClick(m_dlg.get(), Qt::Key_F1);
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("12"));

        QTest::mouseClick(BandKey(3), Qt::LeftButton);
        QCOMPARE(m_messages->Texts().size(), 1);
        QVERIFY2(m_messages->Texts()[0].contains(
                     QStringLiteral("Товара «Снятый товар» (код 999) с быстрой клавиши 3 больше "
                                    "нет в каталоге")),
                 qPrintable(m_messages->Texts()[0]));
        QCOMPARE(Name(), QStringLiteral("Товар не найден"));
        QVERIFY(m_dlg->State().m_product.m_strCode.isEmpty());

        m_messages->Clear();
        QTest::keyClick(m_dlg.get(), Qt::Key_F5, Qt::ShiftModifier); // key 17, free
        QCOMPARE(m_messages->Texts().size(), 1);
        QVERIFY(
            m_messages->Texts()[0].startsWith(QStringLiteral("Быстрая клавиша 17 не назначена")));
    }

    // A 4:3 window has no room beside the design: the keys open as a page over the keypad by a
    // long press on «Товар», by Insert or from the menu; a tap chooses and closes the page,
    // Escape closes it, and every key of the keypad is back where it was.
    void pageOnA43Screen() {
        OpenScreen(kKeys, QSize(1280, 1024));
        QVERIFY(!m_dlg->SpeedKeyBand(0)->isVisible());
        CSpeedKeyPad* page = m_dlg->SpeedKeyPage();
        QVERIFY(!page->isVisible());
        const QRect productKey = m_dlg->Key(IDC_KEY_PRODUCT)->geometry();

        QTest::mousePress(m_dlg->Key(IDC_KEY_PRODUCT), Qt::LeftButton);
        QTest::qWait(CVarnetDlg::kLongPressMs + 300);
        QTest::mouseRelease(m_dlg->Key(IDC_KEY_PRODUCT), Qt::LeftButton);
        QVERIFY(page->isVisible());
        QVERIFY(m_dlg->OpenMenu() == nullptr);
        QCOMPARE(page->geometry(), m_dlg->Field(10005)->geometry());
        QVERIFY(!m_dlg->Key(IDC_KEY_7)->isVisible());
        // The long press chose nothing by itself.
        QVERIFY(m_dlg->State().m_product.m_strCode.isEmpty());
        QVERIFY(page->KeyButton(24)->height() >= 43);

        QTest::mouseClick(page->KeyButton(2), Qt::LeftButton);
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("33"));
        QVERIFY(!page->isVisible());
        QVERIFY(m_dlg->Key(IDC_KEY_7)->isVisible());
        QCOMPARE(m_dlg->Key(IDC_KEY_PRODUCT)->geometry(), productKey);

        QTest::keyClick(m_dlg.get(), Qt::Key_Insert);
        QVERIFY(page->isVisible());
        // Keyboard on the page: the focus is on key 1, Tab moves on, Enter takes.
        QVERIFY(page->KeyButton(1)->hasFocus());
        QTest::keyClick(page->KeyButton(1), Qt::Key_Tab);
        QVERIFY(page->KeyButton(2)->hasFocus());
        QTest::keyClick(page->KeyButton(2), Qt::Key_Escape);
        QVERIFY(!page->isVisible());
        QTest::keyClick(m_dlg.get(), Qt::Key_Insert);
        QTest::keyClick(page->KeyButton(1), Qt::Key_Return);
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("12"));
        QVERIFY(!page->isVisible());

        m_dlg->findChild<QAction*>(QStringLiteral("speedKeysAction"))->trigger();
        QVERIFY(page->isVisible());
        QTest::mouseClick(page->CloseKey(), Qt::LeftButton);
        QVERIFY(!page->isVisible());
        QVERIFY(m_messages->Texts().isEmpty());
    }

    // The keyboard's menu key opens the screen's menu, where the new pages and the label in
    // sight are, as a long press does.
    void menuByTheKeyboard() {
        OpenScreen(kKeys);
        QStringList items;
        QTimer::singleShot(500, this, [&] {
            if (QMenu* menu = m_dlg->OpenMenu()) {
                for (QAction* a : menu->actions())
                    items << a->objectName();
                menu->close();
            }
        });
        QTest::keyClick(m_dlg->Key(IDC_KEY_7), Qt::Key_Menu);
        QTest::qWait(800);
        for (const char* name : {"speedKeysAction", "printPageAction", "labelViewAction"})
            QVERIFY2(items.contains(QLatin1String(name)), name);
    }

    // A damaged key file: the operator is told its name once, every key is free, and nothing
    // else is lost: the settings, the catalogue and printing work; the first key set keeps
    // the damaged file beside the new one.
    void damagedKeyFile() {
        const QByteArray damaged("1\t12\tФиле\n\x01\x02\x03 garbage\n");
        OpenScreen(damaged, QSize(1366, 768));
        QCOMPARE(m_messages->Texts().size(), 1);
        const QString path = m_counter->Dir().File(CSpeedKeys::FileName());
        QVERIFY2(m_messages->Texts()[0].contains(path), qPrintable(m_messages->Texts()[0]));
        QVERIFY(m_messages->Texts()[0].contains(QStringLiteral("быстрые клавиши пусты")));
        for (int n = 1; n <= 24; ++n)
            QVERIFY(!BandKey(n)->Key().IsAssigned());
        QCOMPARE(m_counter->App().m_settings.Penny, true);
        QTest::keyClicks(m_dlg.get(), QStringLiteral("12+"));
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("12"));
        QCOMPARE(m_counter->Dir().Read(CSpeedKeys::FileName()), damaged);

        m_messages->Clear();
        CurrentProduct product;
        product.m_strCode = QStringLiteral("14");
        product.m_strName = QStringLiteral("Свинина шейка");
        OnNextModal([](QWidget* modal) {
            auto* chooser = qobject_cast<CSpeedKeyChooser*>(modal);
            QVERIFY(chooser);
            QTest::mouseClick(chooser->Pad()->KeyButton(6), Qt::LeftButton);
        });
        m_dlg->AssignSpeedKey(m_dlg.get(), product);
        QCOMPARE(m_messages->Texts().size(), 1);
        QVERIFY(m_messages->Texts()[0].startsWith(
            QStringLiteral("Повреждённый файл быстрых клавиш сохранён как ")));
        QCOMPARE(BandKey(6)->Key().code, QStringLiteral("14"));
        const QStringList aside =
            QDir(m_counter->Dir().Path()).entryList({QStringLiteral("SpeedKeys-damaged-*.txt")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(m_counter->Dir().Read(aside[0]), damaged);
    }

    // From the product search: «На быструю клавишу» puts the selected product on the key
    // tapped next; the search stays open, the key shows it and the file keeps it.
    void assignFromTheSearch() {
        OpenScreen(QByteArray(), QSize(1366, 768));
        OnNextModal([this](QWidget* modal) {
            auto* find = qobject_cast<CDlgPluFind*>(modal);
            QVERIFY(find);
            QVERIFY(QTest::qWaitForWindowExposed(find));
            CGrid* grid = find->Grid();
            QTRY_VERIFY(grid->model()->rowCount() > 5);
            const QRect row = grid->visualRect(grid->model()->index(4, 1));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
            QTRY_COMPARE(grid->m_nSelected, 4);
            OnNextModal(
                [find](QWidget* chooser) {
                    auto* c = qobject_cast<CSpeedKeyChooser*>(chooser);
                    QVERIFY(c);
                    QTest::mouseClick(c->Pad()->KeyButton(9), Qt::LeftButton);
                    // Back in the search, which closes without a choice.
                    OnNextModal([](QWidget* again) { again->close(); }, c);
                },
                find);
            QTest::mouseClick(find->findChild<QPushButton*>(QStringLiteral("toSpeedKeyButton")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(m_dlg->Key(IDC_KEY_PRODUCT), Qt::LeftButton);
        QVERIFY(m_dlg->State().m_product.m_strCode.isEmpty());
        QCOMPARE(BandKey(9)->Key().code, QStringLiteral("5"));
        QCOMPARE(BandKey(9)->PriceText(), CatalogueMoney(QStringLiteral("5")));
        CSpeedKeys saved;
        QVERIFY(saved.Load(m_counter->Dir().File(CSpeedKeys::FileName())));
        QCOMPARE(saved.Key(9).name, QStringLiteral("Колбаса Молочная"));
        QVERIFY(m_messages->Texts().isEmpty());
    }

    // The same by the keyboard: a row chosen with the arrows, F2, the key by Tab and Enter.
    void assignFromTheSearchByKeyboard() {
        OpenScreen(QByteArray(), QSize(1366, 768));
        OnNextModal([](QWidget* modal) {
            auto* find = qobject_cast<CDlgPluFind*>(modal);
            QVERIFY(find);
            QVERIFY(QTest::qWaitForWindowExposed(find));
            QTRY_VERIFY(find->Grid()->model()->rowCount() > 5);
            QTest::keyClick(find->Edit(), Qt::Key_Down);
            QTRY_COMPARE(find->Grid()->m_nSelected, 1);
            OnNextModal(
                [find](QWidget* chooser) {
                    auto* c = qobject_cast<CSpeedKeyChooser*>(chooser);
                    QVERIFY(c);
                    QVERIFY(c->Pad()->KeyButton(1)->hasFocus());
                    QTest::keyClick(c->Pad()->KeyButton(1), Qt::Key_Tab);
                    QTest::keyClick(c->Pad()->KeyButton(2), Qt::Key_Return);
                    OnNextModal([](QWidget* again) { QTest::keyClick(again, Qt::Key_Escape); }, c);
                },
                find);
            QTest::keyClick(find->Grid(), Qt::Key_F2);
        });
        QTest::keyClick(m_dlg.get(), '+');
        QCOMPARE(BandKey(2)->Key().code, QStringLiteral("2"));
        QVERIFY(m_messages->Texts().isEmpty());
    }

    // In the settings: «Быстрые клавиши...» opens the editor; a key gets its text, its price
    // hidden and a preset tare, a wrong tare is refused, another key is freed.
    void editInTheSettings() {
        OpenScreen(kKeys);
        OnNextModal([this](QWidget* settings) {
            auto* config = qobject_cast<CAppConfig*>(settings);
            QVERIFY(config);
            auto* button = qobject_cast<QPushButton*>(config->Control(IDC_SPEEDKEYS));
            QVERIFY(button && button->isVisible());
            auto* sound = qobject_cast<QCheckBox*>(config->Control(IDC_SOUND));
            QVERIFY(sound && sound->isChecked() &&
                    sound->text() == QStringLiteral("Звук при печати"));
            OnNextModal(
                [this, config](QWidget* modal) {
                    auto* editor = qobject_cast<CSpeedKeyEditor*>(modal);
                    QVERIFY(editor);
                    QTest::mouseClick(editor->Pad()->KeyButton(1), Qt::LeftButton);
                    editor->NameEdit()->setText(QStringLiteral("Филе охл."));
                    editor->PriceBox()->setChecked(false);
                    editor->TareEdit()->setText(QStringLiteral("-1"));
                    QTest::mouseClick(editor->Pad()->KeyButton(3), Qt::LeftButton);
                    QCOMPARE(editor->Current(), 1); // the wrong tare keeps key 1
                    QCOMPARE(m_messages->Texts().size(), 1);
                    editor->TareEdit()->setText(QStringLiteral("0,15"));
                    QTest::mouseClick(editor->Pad()->KeyButton(3), Qt::LeftButton);
                    QCOMPARE(editor->Current(), 3);
                    QTest::mouseClick(
                        editor->findChild<QPushButton*>(QStringLiteral("speedKeyFree")),
                        Qt::LeftButton);
                    QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("speedKeyOk")),
                                      Qt::LeftButton);
                    OnNextModal([](QWidget* again) { again->close(); }, editor);
                },
                config);
            QTest::mouseClick(button, Qt::LeftButton);
        });
        QTest::keyClick(m_dlg.get(), '*');
        CSpeedKeys saved;
        QVERIFY(saved.Load(m_counter->Dir().File(CSpeedKeys::FileName())));
        QCOMPARE(saved.Key(1).name, QStringLiteral("Филе охл."));
        QVERIFY(!saved.Key(1).showPrice);
        QCOMPARE(saved.Key(1).tare, std::optional<double>(0.15));
        QVERIFY(!saved.Key(3).IsAssigned());
        QCOMPARE(saved.Key(2).code, QStringLiteral("33"));
        QCOMPARE(m_dlg->SpeedKeys().Key(1).tare, std::optional<double>(0.15));
    }

    // Five copies of a piece label: five jobs and five journal rows, one pack moment; the
    // strip says five. Copies of a weighed label are refused. The repeat key prints the last
    // piece label again, and refuses a weighed one whose weight the scale no longer shows.
    void copiesAndRepeat() {
        const QString queue = QString::fromLatin1(printcapture::kZpl);
        OpenScreen(kKeys, QSize(800, 600), queue);
        QTest::keyClicks(m_dlg.get(), QStringLiteral("33+3"));
        QTest::mousePress(m_dlg->Key(IDC_KEY_PRINT), Qt::LeftButton);
        QTest::qWait(CVarnetDlg::kLongPressMs + 300);
        QTest::mouseRelease(m_dlg->Key(IDC_KEY_PRINT), Qt::LeftButton);
        CPrintPage* page = m_dlg->PrintPage();
        QVERIFY(page->isVisible());
        QCOMPARE(JournalRows(QStringLiteral("33")), 0); // the long press printed nothing
        QTest::mouseClick(page->Key(QStringLiteral("5")), Qt::LeftButton);
        QCOMPARE(page->Copies(), 5);
        QTest::mouseClick(page->Key(QStringLiteral("Копии")), Qt::LeftButton);
        QVERIFY(!page->isVisible());
        const QList<JournalRow> copies = Labels(QStringLiteral("33"));
        QCOMPARE(copies.size(), 5);
        QSet<int> jobs;
        QSet<QString> ids;
        for (const JournalRow& row : copies) {
            jobs.insert(row.jobId);
            ids.insert(row.id);
            QCOMPARE(row.moment, copies[0].moment);
            QCOMPARE(row.barcode, copies[0].barcode);
            QCOMPARE(row.quantity, 3.0);
        }
        QCOMPARE(jobs.size(), 5);
        QCOMPARE(ids.size(), 5);
        QVERIFY(JobsArrive(queue, copies));
        QVERIFY2(m_dlg->LastLabelField()->text().endsWith(QStringLiteral(", копий: 5")),
                 qPrintable(m_dlg->LastLabelField()->text()));
        QVERIFY(m_messages->Texts().isEmpty());

        // By the keyboard: the page from the menu, digits, Backspace, Escape; then the repeat.
        m_dlg->findChild<QAction*>(QStringLiteral("printPageAction"))->trigger();
        QTest::keyClicks(m_dlg.get(), QStringLiteral("27"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Backspace);
        QCOMPARE(page->Copies(), 2);
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QVERIFY(!page->isVisible());
        QCOMPARE(JournalRows(QStringLiteral("33")), 5);
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape); // clears the product
        m_dlg->ShowPrintPage();
        QTest::mouseClick(page->Key(QStringLiteral("Повтор")), Qt::LeftButton);
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("33"));
        QCOMPARE(JournalRows(QStringLiteral("33")), 6);
        QVERIFY(JobsArrive(queue, Labels(QStringLiteral("33"))));
        QCOMPARE(m_dlg->Field(10004)->text(), QStringLiteral("3 "));

        // A weighed product: no copies; its repeat needs the weight on the scale.
        QTest::keyClicks(m_dlg.get(), QStringLiteral("12+.5"));
        m_dlg->PrintCopies(3);
        QCOMPARE(m_messages->Texts(),
                 QStringList{QStringLiteral("Копии печатаются только для штучного товара")});
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        QCOMPARE(JournalRows(QStringLiteral("12")), 1);
        m_messages->Clear();
        m_dlg->RepeatLabel();
        QCOMPARE(m_messages->Texts(),
                 QStringList{QStringLiteral(
                     "Повтор невозможен: на весах 0.000 кг, на последней этикетке 0.500 кг")});
        QCOMPARE(JournalRows(QStringLiteral("12")), 1);
    }

    // The label in sight is the page the job carried, dot for dot; a tap shows it large with
    // the barcode that was read back. A refused label shows why.
    void printedLabelInSight() {
        const QString queue = QString::fromLatin1(printcapture::kZpl);
        OpenScreen(kKeys, QSize(1366, 768), queue);
        QVERIFY(m_dlg->LabelPreview()->isVisible());
        const QRect strip = m_dlg->LastLabelField()->geometry();
        QVERIFY(!m_dlg->LabelPreview()->geometry().intersects(strip));
        QTest::keyClicks(m_dlg.get(), QStringLiteral("12+.512"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        QCOMPARE(JournalRows(QStringLiteral("12")), 1);
        const QString job = JobFile(queue, Labels(QStringLiteral("12"))[0].jobId);
        QVERIFY(!job.isEmpty());
        const LastLabel& shown = m_dlg->LabelPreview()->Label();
        QCOMPARE(shown.kind, LastLabel::Printed);
        QVERIFY(m_dlg->LabelPreview()->IsFlashing());
        QString error;
        const QImage dots = printcapture::JobDots(queue, job, QSize(), &error);
        QVERIFY2(!dots.isNull(), qPrintable(error));
        QCOMPARE(shown.page.size(), dots.size());
        const QImage page = shown.page.convertToFormat(QImage::Format_Grayscale8);
        int differ = 0;
        for (int y = 0; y < dots.height(); ++y)
            for (int x = 0; x < dots.width(); ++x)
                differ += (qGray(dots.pixel(x, y)) < 128) != (qGray(page.pixel(x, y)) < 128);
        QCOMPARE(differ, 0);

        QTest::mouseClick(m_dlg->LabelPreview(), Qt::LeftButton);
        auto* view = m_dlg->findChild<CLabelView*>(QStringLiteral("labelView"));
        QVERIFY(view);
        QTRY_VERIFY(view->isVisible());
        QCOMPARE(printcapture::ReadBarcode(view->Shown()), QStringLiteral("2700012005120"));
        QCOMPARE(shown.barcode, QStringLiteral("2700012005120"));
        // Whole dots on the screen, several times the size of the preview.
        QCOMPARE(view->Shown().width() % dots.width(), 0);
        QVERIFY(view->Shown().width() >= 3 * m_dlg->LabelPreview()->width());
        QTest::mouseClick(view, Qt::LeftButton);
        QTRY_VERIFY(!m_dlg->findChild<CLabelView*>(QStringLiteral("labelView")));
    }

    void refusedLabelInSight() {
        OpenScreen(kKeys, QSize(800, 600), QStringLiteral("NoSuchQueue"));
        QTest::keyClicks(m_dlg.get(), QStringLiteral("33+"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        const LastLabel& shown = m_dlg->LabelPreview()->Label();
        QCOMPARE(shown.kind, LastLabel::Refused);
        QCOMPARE(shown.reason, QStringLiteral("Принтер не установлен"));
        QVERIFY(shown.page.isNull());
        m_dlg->findChild<QAction*>(QStringLiteral("labelViewAction"))->trigger();
        auto* view = m_dlg->findChild<CLabelView*>(QStringLiteral("labelView"));
        QVERIFY(view);
        QVERIFY(view->Shown().isNull());
        auto* text = view->findChild<QLabel*>(QStringLiteral("labelViewPicture"));
        QVERIFY(text->text().contains(QStringLiteral("Принтер не установлен")));
        QTest::keyClick(view, Qt::Key_Escape);
    }

    // One sound for a label printed, another for one refused; none with the sound off. The
    // setting is kept in the file only once it was changed.
    void soundFollowsTheSetting() {
        QList<LabelSound> sounds;
        const LabelSoundSink previous =
            SetLabelSoundSink([&sounds](LabelSound s) { sounds.append(s); });
        OpenScreen(kKeys, QSize(800, 600), printcapture::Queue());
        QTest::keyClicks(m_dlg.get(), QStringLiteral("33+"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        QCOMPARE(sounds, QList<LabelSound>{LabelSound::Accepted});
        CVarnetApp& app = m_counter->App();
        app.m_settings.PrinterName = QStringLiteral("NoSuchQueue");
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        QCOMPARE(sounds, (QList<LabelSound>{LabelSound::Accepted, LabelSound::Refused}));
        app.SaveSettings();
        QVERIFY(!m_counter->Dir().Read(QStringLiteral("Varnet.ini")).contains("Sound"));

        app.m_settings.Sound = false;
        app.SaveSettings();
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        app.m_settings.PrinterName = printcapture::Queue();
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        QCOMPARE(sounds.size(), 2);
        QVERIFY(m_counter->Dir().Read(QStringLiteral("Varnet.ini")).contains("Sound=0"));
        app.LoadSettings();
        QVERIFY(!app.m_settings.Sound);
        SetLabelSoundSink(previous);
    }

    // The repeat's rule on its own: the last label's product and quantity, a weighed one only
    // while the scale shows that weight.
    void repeatRule_data() {
        QTest::addColumn<bool>("weighed");
        QTest::addColumn<double>("printed");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("display");
        QTest::newRow("same weight") << true << 0.512 << 0.512 << QString() << "0.512 ";
        QTest::newRow("other weight")
            << true << 0.512 << 0.7
            << "Повтор невозможен: на весах 0.700 кг, на последней этикетке 0.512 кг"
            << "";
        QTest::newRow("no reading") << true << 0.512 << -1.0
                                    << "Повтор невозможен: на весах 0.000 кг, на последней "
                                       "этикетке 0.512 кг"
                                    << "";
        QTest::newRow("pieces, any weight") << false << 4.0 << 0.3 << QString() << "4 ";
    }
    void repeatRule() {
        QFETCH(bool, weighed);
        QFETCH(double, printed);
        QFETCH(double, scale);
        QFETCH(QString, error);
        QFETCH(QString, display);
        AppSettings settings;
        settings.Penny = true;
        CScreenState state(settings);
        QCOMPARE(state.PrepareRepeat(0.5),
                 QStringLiteral("Повторять нечего: этикеток ещё не было"));
        CurrentProduct p;
        p.m_strCode = QStringLiteral("12");
        p.m_strName = QStringLiteral("Филе");
        p.m_dPrice = 100.0;
        p.m_bWeighed = weighed;
        state.m_lastPrinted = PrintedLabel{p, printed};
        QCOMPARE(state.PrepareRepeat(scale), error);
        if (!error.isEmpty()) {
            QVERIFY(state.m_product.m_strCode.isEmpty());
            return;
        }
        QCOMPARE(state.m_product.m_strCode, QStringLiteral("12"));
        QCOMPARE(state.GetDisplays().weight, display);
        QCOMPARE(state.Quantity(), printed);
        QCOMPARE(state.GetDisplays().sum, state.MoneyText(100.0 * printed));
    }
};

QTEST_MAIN(TstTouchScreen)
#include "tst_touchscreen.moc"
