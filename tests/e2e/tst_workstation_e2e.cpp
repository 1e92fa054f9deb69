// The road of a label end to end: the main screen driven by key events, a CAS scale
// simulated on a pseudo-terminal linked as COM1, the SQLite demo catalogue and a CUPS queue
// of CUPS's own Zebra ZPL driver, whose output, decoded back to dots, must scan as the
// expected barcode.
#include "platform/printer.h"
#include "scalesimulator.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/testcounter.h"
#include "ui/labelctrl.h"
#include "workstation/varnetdlg.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <memory>

class TstWorkstationE2E : public QObject {
    Q_OBJECT

    std::unique_ptr<CScaleSimulator> m_scale;
    std::unique_ptr<TestCounter> m_counter;

    // A counter with a CAS scale simulated on COM1 and the given printer.
    void SetUpCounter(const QString& printer) {
        TestCounterOptions o;
        o.printer = printer;
        o.scalePort = 1;
        o.scaleType = 3;
        m_scale = std::make_unique<CScaleSimulator>(CScaleSimulator::Protocol::Cas);
        QString error;
        QVERIFY2(m_scale->Start(&error), qPrintable(error));
        m_scale->SetWeight(0.0);
        // The link must be there before the settings are loaded and the screen opens it.
        m_counter = std::make_unique<TestCounter>(o);
        QVERIFY2(m_scale->LinkAs(m_counter->Dir().File(QStringLiteral("COM1")), &error),
                 qPrintable(error));
    }

    // Puts a weight on the scale and lets the screen see it in a few exchanges.
    void Weigh(CVarnetDlg& dlg, double kg) {
        m_scale->SetWeight(kg);
        const int seen = m_scale->Requests();
        QVERIFY(m_scale->WaitForRequests(seen + 3, 5000));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.Poller().Weight(), kg, 5000);
        QTest::qWait(50);
    }

private Q_SLOTS:
    void initTestCase() { platform::InstallSpoolerPrinters(); }

    void cleanup() {
        m_counter.reset();
        m_scale.reset();
    }

    void autoPrintOneLabelPerNewWeight() {
        const QString queue = QString::fromLatin1(printcapture::kZpl);
        SetUpCounter(queue);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+"));
        QCOMPARE(dlg.State().m_product.m_strCode, QStringLiteral("12"));
        QTest::keyClicks(&dlg, QStringLiteral("-"));
        QVERIFY(dlg.State().m_bAutoPrint);

        const QStringList before = printcapture::Jobs(queue);
        for (double kg : {0.0, 0.512, 0.512, 0.0, 0.512})
            Weigh(dlg, kg);
        const QString job = printcapture::WaitForNewJob(queue, before);
        QVERIFY2(!job.isEmpty(), "no job reached the queue");
        QVERIFY2(job.endsWith(QLatin1String("-Pelgrin.prn")), qPrintable(job));
        // Nothing else follows.
        QTest::qWait(1500);
        QCOMPARE(printcapture::Jobs(queue).size(), before.size() + 1);
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join(QLatin1Char('\n'))));
        // What the driver sent, as dots: mask 27, code 00012, 512 grams, and the check digit.
        QString error;
        const QImage dots = printcapture::JobDots(queue, job, QSize(), &error);
        QVERIFY2(!dots.isNull(), qPrintable(error));
        QCOMPARE(dots.size(), QSize(464, 320));
        QCOMPARE(printcapture::ReadBarcode(dots), QStringLiteral("2700012005120"));
        QCOMPARE(dlg.Field(10004)->text(), QStringLiteral("0.512 "));
        QCOMPARE(dlg.Field(10003)->text().trimmed(),
                 QString::number(
                     m_counter->App().RoundAmount(0.512 * dlg.State().m_product.m_dPrice), 'f', 2));
        dlg.close();
        QVERIFY(!dlg.Poller().IsPolling());
    }

    // A printer that no queue bears: the first new weight brings the message; weights that
    // arrive while its box is open print nothing and bring no second box.
    void unknownPrinterSaysSoOnce() {
        SetUpCounter(QStringLiteral("NoSuchQueue"));
        QStringList texts;
        const platform::MessageSink previous =
            platform::SetMessageSink([&](const platform::OperatorMessage& m) {
                texts.append(m.text);
                // The box stays open while the scale reports new weights.
                QEventLoop box;
                QTimer::singleShot(1500, &box, &QEventLoop::quit);
                QTimer::singleShot(200, &box, [&] { m_scale->SetWeight(0.7); });
                QTimer::singleShot(700, &box, [&] { m_scale->SetWeight(0.9); });
                box.exec();
            });
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+-"));
        Weigh(dlg, 0.512);
        QTRY_COMPARE_WITH_TIMEOUT(texts.size(), 1, 5000);
        QTest::qWait(2000);
        platform::SetMessageSink(previous);
        QCOMPARE(texts, QStringList{QStringLiteral("Принтер не установлен")});
        QCOMPARE(dlg.PageSizeField()->text(), QStringLiteral("Нет"));
    }
};

QTEST_MAIN(TstWorkstationE2E)
#include "tst_workstation_e2e.moc"
