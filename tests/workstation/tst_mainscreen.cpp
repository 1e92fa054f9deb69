// The main screen as a window under the offscreen platform: its keyboard, the product key
// with and without a typed code, and the print failures that the spooler can cause.
#include "../ui/pixels.h"
#include "catalogue/cdlgplufind.h"
#include "catalogue/cgrid.h"
#include "democatalogue.h"
#include "journal/journal.h"
#include "platform/clock.h"
#include "platform/printer.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/testcounter.h"
#include "ui/buttonctrl.h"
#include "ui/labelctrl.h"
#include "ui/screenfit.h"
#include "workstation/mainlayout.h"
#include "workstation/shiftdlg.h"
#include "workstation/varnetdlg.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {
const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 30, 0), Qt::LocalTime);

// Runs action on the next modal dialog as soon as it is up.
void OnNextModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start(20);
}

bool Lp(const QStringList& args) {
    QProcess p;
    p.start(args.first(), args.mid(1));
    return p.waitForFinished(30000) && p.exitCode() == 0;
}
} // namespace

class TstMainScreen : public QObject {
    Q_OBJECT

    std::unique_ptr<TestCounter> m_counter;
    std::unique_ptr<CVarnetDlg> m_dlg;

    // A counter without a scale (product 12 keeps 24 hours); the screen is up.
    void OpenScreen(const QString& printer = QString()) {
        TestCounterOptions o;
        o.printer = printer;
        o.prepareCatalogue = [](platform::odbc::Connection& c) {
            democat::Exec(c, QStringLiteral("UPDATE plu SET bHours = 24, sq = 0 WHERE plu = '12'"));
        };
        m_counter = std::make_unique<TestCounter>(o);
        m_dlg = std::make_unique<CVarnetDlg>();
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        QCoreApplication::processEvents();
    }

    QString Weight() const { return m_dlg->Field(10004)->text(); }

private Q_SLOTS:
    void initTestCase() { platform::InstallSpoolerPrinters(); }
    void cleanup() {
        m_dlg.reset();
        m_counter.reset();
    }

    // The screen takes its keys before the focused key does; letters never act.
    void keyboard_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("display");
        QTest::newRow("digits") << "12"
                                << "12 ";
        QTest::newRow("point and digits") << ".5"
                                          << "0.5 ";
        QTest::newRow("latin letters") << "a1b"
                                       << "1 ";
        QTest::newRow("cyrillic letters") << "ю1я"
                                          << "1 ";
        QTest::newRow("other signs") << "1,="
                                     << "1 ";
    }
    void keyboard() {
        QFETCH(QString, typed);
        QFETCH(QString, display);
        MessageRecorder messages;
        OpenScreen();
        m_dlg->Key(IDC_KEY_7)->setFocus();
        for (const QChar c : typed) {
            // Each character as the keyboard sends it to the focused key: its text counts.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(m_dlg->Key(IDC_KEY_7), &press);
            QApplication::sendEvent(m_dlg->Key(IDC_KEY_7), &release);
        }
        QCOMPARE(Weight(), display);
        QVERIFY(messages.Texts().isEmpty());
    }

    // The controls stand where the layout arithmetic puts them for this window's frame.
    void controlsPlaced() {
        MessageRecorder messages;
        OpenScreen();
        const QSize extra = m_dlg->frameGeometry().size() - m_dlg->geometry().size();
        const MainLayout l = ComputeMainLayout(extra.width(), extra.height());
        QCOMPARE(m_dlg->frameGeometry().size(), QSize(800, 600));
        QCOMPARE(m_dlg->Field(10001)->geometry(), l.name);
        QCOMPARE(m_dlg->Field(10002)->geometry(), l.price);
        QCOMPARE(m_dlg->Field(10003)->geometry(), l.sum);
        QCOMPARE(m_dlg->Field(10004)->geometry(), l.weight);
        QCOMPARE(m_dlg->Field(10005)->geometry(), l.panel);
        QCOMPARE(m_dlg->PageSizeField()->geometry(), l.pageSize);
        QCOMPARE(m_dlg->AutoPrintField()->geometry(), l.autoPrint);
        for (auto it = l.keys.begin(); it != l.keys.end(); ++it)
            QCOMPARE(m_dlg->Key(it.key())->geometry(), it.value());
        QCOMPARE(m_dlg->Field(10004)->Caption(), QStringLiteral("Вес"));
        QCOMPARE(m_dlg->Field(10002)->text(), QStringLiteral("0.00 "));
        QCOMPARE(m_dlg->PageSizeField()->text(), QStringLiteral("Нет"));
        QCOMPARE(m_dlg->AutoPrintField()->text(), QStringLiteral("Выкл"));
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Ведант"));
        QVERIFY(!m_dlg->windowIcon().isNull());
    }

    // A scale port that cannot be opened says so once, with the port, its device and the
    // reason, in a box owned by the main screen, and the screen comes up without a scale.
    void scalePortErrorOwnedByTheScreen() {
        MessageRecorder messages;
        TestCounterOptions o;
        o.scalePort = 1;
        o.scaleType = 3;
        m_counter = std::make_unique<TestCounter>(o);
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyVarnet"),
                            m_counter->Dir().File(QStringLiteral("COM1"))));
        m_dlg = std::make_unique<CVarnetDlg>();
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        QCOMPARE(
            messages.Texts(),
            QStringList{QStringLiteral(
                "Ошибка открытия порта COM1 (/nonexistent/ttyVarnet): нет такого устройства")});
        QCOMPARE(messages.Messages()[0].owner, m_dlg.get());
        // The port is tried again by itself, silently, and the strip says it is not open.
        QVERIFY(!m_dlg->Poller().IsReading());
        QCOMPARE(m_dlg->ScaleStateField()->text(),
                 QStringLiteral("Весы: порт COM1 (/nonexistent/ttyVarnet) не открыт"));
        QTest::qWait(CScalePoller::kReopenMs + 500);
        QCOMPARE(messages.Texts().size(), 1);
    }

    // A long press anywhere opens the right button's menu, with items a finger can hit; the
    // key under the finger does not act. A short press is a click as before.
    void longPressOpensTheMenu() {
        MessageRecorder messages;
        OpenScreen();
        QStringList items;
        int itemHeight = 0;
        QTimer::singleShot(CVarnetDlg::kLongPressMs + 500, this, [&] {
            if (QMenu* menu = m_dlg->OpenMenu()) {
                for (QAction* a : menu->actions())
                    items << a->text();
                itemHeight = menu->actionGeometry(menu->actions().first()).height();
                menu->close();
            }
        });
        CButtonCtrl* seven = m_dlg->Key(IDC_KEY_7);
        QTest::mousePress(seven, Qt::LeftButton);
        QTest::qWait(CVarnetDlg::kLongPressMs + 900);
        QTest::mouseRelease(seven, Qt::LeftButton);
        QVERIFY(items.contains(QStringLiteral("&Журнал фасовки...")));
        QVERIFY(items.contains(QStringLiteral("&Повторить последнюю этикетку")));
        QVERIFY2(itemHeight >= TouchRowHeight(1.0), qPrintable(QString::number(itemHeight)));
        QCOMPARE(Weight(), QStringLiteral("0.000 "));
        QTest::mouseClick(seven, Qt::LeftButton);
        QCOMPARE(Weight(), QStringLiteral("7 "));
        // On a display field too.
        items.clear();
        QTimer::singleShot(CVarnetDlg::kLongPressMs + 500, this, [&] {
            if (QMenu* menu = m_dlg->OpenMenu()) {
                items << menu->actions().first()->text();
                menu->close();
            }
        });
        QTest::mousePress(m_dlg->Field(10001), Qt::LeftButton);
        QTest::qWait(CVarnetDlg::kLongPressMs + 900);
        QTest::mouseRelease(m_dlg->Field(10001), Qt::LeftButton);
        QCOMPARE(items.size(), 1);
        QVERIFY(messages.Texts().isEmpty());
    }

    void escapeAndEnterNeverClose() {
        MessageRecorder messages;
        OpenScreen();
        m_dlg->Key(IDC_KEY_PRINT)->setFocus();
        QTest::keyClicks(m_dlg->Key(IDC_KEY_PRINT), QStringLiteral("12"));
        QCOMPARE(Weight(), QStringLiteral("12 "));
        // Enter prints (nothing, without a product) instead of pushing the focused key.
        QTest::keyClick(m_dlg->Key(IDC_KEY_PRINT), Qt::Key_Return);
        QTest::keyClick(m_dlg->Key(IDC_KEY_PRINT), Qt::Key_Escape);
        QCOMPARE(Weight(), QStringLiteral("0.000 "));
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QVERIFY(m_dlg->isVisible());
        QVERIFY(messages.Texts().isEmpty());
        QTest::keyClick(m_dlg.get(), '-');
        QCOMPARE(m_dlg->AutoPrintField()->text(), QStringLiteral("Вкл"));
        QVERIFY(m_dlg->close());
    }

    // "+" with nothing typed opens the product search; Enter there takes the product,
    // Escape changes nothing.
    void productSearch() {
        platform::ScopedFixedClock clock(kNow);
        MessageRecorder messages;
        OpenScreen();
        OnNextModal([](QWidget* modal) {
            auto* find = qobject_cast<CDlgPluFind*>(modal);
            QVERIFY(find);
            // Keys sent before the dialog's window is up may not arrive on a slow machine.
            QVERIFY(QTest::qWaitForWindowExposed(find));
            QTest::keyClicks(find->Edit(), QStringLiteral("12"));
            QCOMPARE(find->Edit()->text(), QStringLiteral("12"));
            QTest::keyClick(find->Edit(), Qt::Key_Return);
        });
        QTest::keyClick(m_dlg.get(), '+');
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("12"));
        QCOMPARE(m_dlg->State().m_product.m_stBestBefore, kNow.addSecs(24 * 3600));
        const QString name = m_dlg->Field(10001)->text();
        QVERIFY(!name.isEmpty());

        OnNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QTest::keyClick(m_dlg.get(), '+');
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("12"));
        QCOMPARE(m_dlg->Field(10001)->text(), name);
        QVERIFY(messages.Texts().isEmpty());
    }

    // By touch alone: a tap on a row and "Выбрать" takes that product; "Отмена" leaves.
    void productSearchByTouch() {
        MessageRecorder messages;
        OpenScreen();
        OnNextModal([](QWidget* modal) {
            auto* find = qobject_cast<CDlgPluFind*>(modal);
            QVERIFY(find);
            QVERIFY(QTest::qWaitForWindowExposed(find));
            CGrid* grid = find->Grid();
            QTRY_VERIFY(grid->model()->rowCount() > 3);
            const QRect row = grid->visualRect(grid->model()->index(2, 1));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
            QTest::mouseClick(find->findChild<QPushButton*>(QStringLiteral("chooseButton")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(m_dlg->Key(IDC_KEY_PRODUCT), Qt::LeftButton);
        QCOMPARE(m_dlg->State().m_product.m_strCode, QStringLiteral("3"));

        OnNextModal([](QWidget* modal) {
            QVERIFY(QTest::qWaitForWindowExposed(modal));
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(m_dlg->Key(IDC_KEY_CLEAR), Qt::LeftButton);
        QTest::mouseClick(m_dlg->Key(IDC_KEY_PRODUCT), Qt::LeftButton);
        QVERIFY(m_dlg->State().m_product.m_strCode.isEmpty());
        QVERIFY(messages.Texts().isEmpty());
    }

    // The tare key by touch: the weight shown becomes the tare, the weight field shows the
    // net weight with «НЕТТО» over it; a tap with the pan empty clears it, and a tap with
    // nothing to take says so.
    void tareKeyShowsTheNetSign() {
        MessageRecorder messages;
        OpenScreen();
        QTest::keyClicks(m_dlg.get(), QStringLiteral("12+"));
        QVERIFY(!m_dlg->NetSign()->isVisible());
        QTest::mouseClick(m_dlg->TareKey(), Qt::LeftButton);
        QCOMPARE(messages.Texts(),
                 QStringList{QStringLiteral("На весах нет веса: поставьте тару на весы и нажмите "
                                            "«Тара»")});
        m_dlg->State().OnWeightUpdate(0.15);
        QTest::mouseClick(m_dlg->TareKey(), Qt::LeftButton);
        QVERIFY(m_dlg->NetSign()->isVisible());
        QCOMPARE(m_dlg->NetSign()->text(), QStringLiteral("НЕТТО"));
        QCOMPARE(m_dlg->TareKey()->text(), QStringLiteral("Тара\n0.150"));
        QCOMPARE(Weight(), QStringLiteral("0.000 "));
        QCOMPARE(m_dlg->Field(10004)->Caption(), QStringLiteral("Вес нетто, тара 0.150 кг"));
        // The key is a finger's size and lies apart from every field.
        QVERIFY(m_dlg->TareKey()->height() >= m_dlg->Key(IDC_KEY_7)->height());
        QVERIFY(!m_dlg->TareKey()->geometry().intersects(m_dlg->LastLabelField()->geometry()));
        QVERIFY(m_dlg->Field(10004)->geometry().contains(m_dlg->NetSign()->geometry()));
        // A number typed is the goods' own weight: no sign while it shows.
        QTest::keyClick(m_dlg.get(), '5');
        QVERIFY(!m_dlg->NetSign()->isVisible());
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        m_dlg->State().OnWeightUpdate(0.0);
        QTest::mouseClick(m_dlg->TareKey(), Qt::LeftButton);
        QVERIFY(!m_dlg->NetSign()->isVisible());
        QCOMPARE(m_dlg->TareKey()->text(), QStringLiteral("Тара"));
        QCOMPARE(messages.Texts().size(), 1);
    }

    // «Итоги смены...» in the screen's menu; «Закрыть смену» takes two taps, is kept in the
    // journal and starts the shift afresh.
    void shiftTotalsFromTheMenu() {
        MessageRecorder messages;
        OpenScreen();
        QAction* shift = m_dlg->findChild<QAction*>(QStringLiteral("shiftAction"));
        QVERIFY(shift);
        QCOMPARE(shift->text(), QStringLiteral("&Итоги смены..."));
        shift->trigger();
        auto* dlg = m_dlg->findChild<CShiftDlg*>();
        QVERIFY(dlg);
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QVERIFY(dlg->CloseShiftKey()->height() >= TouchRowHeight(1.0));
        const int closes =
            int(AppJournal().ShiftCloses(QDateTime(QDate(2000, 1, 1), QTime())).size());
        QTest::mouseClick(dlg->CloseShiftKey(), Qt::LeftButton);
        QCOMPARE(dlg->CloseShiftKey()->text(), QStringLiteral("Нажмите ещё раз: закрыть смену"));
        QCOMPARE(AppJournal().ShiftCloses(QDateTime(QDate(2000, 1, 1), QTime())).size(), closes);
        QTest::mouseClick(dlg->CloseShiftKey(), Qt::LeftButton);
        QCOMPARE(dlg->CloseShiftKey()->text(), QStringLiteral("Закрыть смену"));
        QCOMPARE(AppJournal().ShiftCloses(QDateTime(QDate(2000, 1, 1), QTime())).size(),
                 closes + 1);
        QVERIFY2(dlg->HeadingText().contains(QStringLiteral("закрыта")),
                 qPrintable(dlg->HeadingText()));
        QCOMPARE(dlg->ShiftTable()->rowCount(), 0);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("shiftDone")),
                          Qt::LeftButton);
        QTRY_VERIFY(!m_dlg->findChild<CShiftDlg*>());
        QVERIFY(messages.Texts().isEmpty());
    }

    // «Печать» that gives no label says why on the strip, in place of the line of the last
    // label, which was of another product; none of these raises a box.
    void printKeySaysWhyNothingPrinted() {
        MessageRecorder messages;
        OpenScreen();
        LastLabel earlier;
        earlier.kind = LastLabel::Printed;
        earlier.moment = kNow;
        earlier.name = QStringLiteral("Сыр Российский");
        earlier.quantity = 0.3;
        earlier.sum = QStringLiteral("207.00 ");
        earlier.barcode = QStringLiteral("2700007003001");
        m_dlg->State().m_lastLabel = earlier;
        const auto line = [this] { return m_dlg->LastLabelField()->text(); };
        const auto refused = [](const char* why) {
            return QStringLiteral("Этикетка не напечатана: ") + QString::fromUtf8(why);
        };

        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        QCOMPARE(line(), refused("товар не выбран"));
        QTest::keyClicks(m_dlg.get(), QStringLiteral("99999+"));
        QCOMPARE(m_dlg->Field(10001)->text(), QStringLiteral("Товар не найден"));
        QTest::mouseClick(m_dlg->Key(IDC_KEY_PRINT), Qt::LeftButton);
        QCOMPARE(line(), refused("товар не найден"));
        // A weighed product with nothing on the pan (this counter has no scale).
        QTest::keyClicks(m_dlg.get(), QStringLiteral("12+"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        QCOMPARE(line(), refused("на весах нет товара"));
        QCOMPARE(m_dlg->LastLabelField()->TextColor(), QColor(180, 0, 0));
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join(QLatin1Char('\n'))));
    }

    // The auto-print key shows the state it is in: a red cross while off, green while on.
    void autoPrintKeyShowsItsState() {
        MessageRecorder messages;
        OpenScreen();
        CButtonCtrl* key = m_dlg->Key(IDC_KEY_AUTOPRINT);
        const auto greenOverRed = [key] {
            const QImage image = pixels::Flat(key->grab());
            const int reds = pixels::Count(image, image.rect(), [](const QColor& c) {
                return c.red() > 180 && c.green() < 90 && c.blue() < 90;
            });
            const int greens = pixels::Count(image, image.rect(), [](const QColor& c) {
                return c.green() > 120 && c.red() < 110 && c.blue() < 110;
            });
            return greens - reds;
        };
        QVERIFY2(greenOverRed() < -20, qPrintable(QString::number(greenOverRed())));
        QTest::keyClick(m_dlg.get(), '-');
        QVERIFY(m_dlg->State().m_bAutoPrint);
        QVERIFY2(greenOverRed() > 20, qPrintable(QString::number(greenOverRed())));
        QTest::mouseClick(key, Qt::LeftButton);
        QVERIFY(!m_dlg->State().m_bAutoPrint);
        QVERIFY2(greenOverRed() < -20, qPrintable(QString::number(greenOverRed())));
    }

    // The spooler refuses the job: the operator is told, the screen stays as it was.
    void refusedJob() {
        const QString queue = QStringLiteral("VarnetRefusing");
        QVERIFY(Lp({QStringLiteral("lpadmin"), QStringLiteral("-p"), queue, QStringLiteral("-v"),
                    QStringLiteral("varnet-jobs:") + printcapture::Folder(), QStringLiteral("-P"),
                    qEnvironmentVariable("VARNET_SOURCE_DIR") +
                        QStringLiteral("/scripts/cups/varnet-label.ppd"),
                    QStringLiteral("-E")}));
        QVERIFY(Lp({QStringLiteral("cupsreject"), queue}));
        MessageRecorder messages;
        OpenScreen(queue);
        QTest::keyClicks(m_dlg.get(), QStringLiteral("12+3"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        Lp({QStringLiteral("lpadmin"), QStringLiteral("-x"), queue});
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("Ошибка принтера: StartDocPrinter")});
        QCOMPARE(messages.Messages()[0].caption, QStringLiteral("Ошибка печати"));
        QCOMPARE(Weight(), QStringLiteral("3 "));
        QVERIFY(!m_dlg->State().m_bPrinting);
    }
};

QTEST_MAIN(TstMainScreen)
#include "tst_mainscreen.moc"
