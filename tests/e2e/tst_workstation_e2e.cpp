// The road of a label end to end: the main screen driven by key events, a CAS scale
// simulated on a pseudo-terminal linked as COM1, the SQLite demo catalogue and a CUPS queue
// of CUPS's own Zebra ZPL driver, whose output, decoded back to dots, must scan as the
// expected barcode.
#include "journal/journal.h"
#include "labels/ean13.h"
#include "platform/printer.h"
#include "scalesimulator.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/testcounter.h"
#include "ui/buttonctrl.h"
#include "ui/labelctrl.h"
#include "workstation/printerwatch.h"
#include "workstation/varnetdlg.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
bool Lp(const QStringList& args) {
    QProcess p;
    p.start(args.first(), args.mid(1));
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

// Readings that follow the clock, "KG:C:MS" as varnet-scale-sim takes them.
std::vector<CScaleSimulator::Step> Timeline(const QString& text) {
    std::vector<CScaleSimulator::Step> steps;
    for (const QString& step : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList p = step.split(QLatin1Char(':'));
        steps.push_back({{p[0].toDouble(), p[1].at(0).toLatin1()}, p[2].toInt()});
    }
    return steps;
}

// The weights of the labels the journal got since from, in order.
QStringList LabelledSince(const QDateTime& from) {
    QStringList weights;
    for (const JournalRow& row : AppJournal().Rows(from, QDateTime::currentDateTime().addSecs(60)))
        weights.append(QString::number(row.quantity, 'f', 3));
    return weights;
}

// Adds a queue on the shared scheduler that stores its jobs with the others.
bool AddQueue(const QString& queue) {
    return Lp({QStringLiteral("lpadmin"), QStringLiteral("-p"), queue, QStringLiteral("-v"),
               QStringLiteral("varnet-jobs:") + printcapture::Folder(), QStringLiteral("-P"),
               qEnvironmentVariable("VARNET_SOURCE_DIR") +
                   QStringLiteral("/scripts/cups/varnet-label.ppd"),
               QStringLiteral("-E")});
}
} // namespace

class TstWorkstationE2E : public QObject {
    Q_OBJECT

    std::unique_ptr<CScaleSimulator> m_scale;
    std::unique_ptr<TestCounter> m_counter;

    // A counter with a scale simulated on COM1 (CAS unless told) and the given printer.
    void SetUpCounter(const QString& printer,
                      CScaleSimulator::Protocol protocol = CScaleSimulator::Protocol::Cas,
                      int type = 3) {
        TestCounterOptions o;
        o.printer = printer;
        o.scalePort = 1;
        o.scaleType = type;
        m_scale = std::make_unique<CScaleSimulator>(protocol);
        QString error;
        QVERIFY2(m_scale->Start(&error), qPrintable(error));
        m_scale->SetWeight(0.0);
        // The link must be there before the settings are loaded and the screen opens it.
        m_counter = std::make_unique<TestCounter>(o);
        QVERIFY2(m_scale->LinkAs(m_counter->Dir().File(QStringLiteral("COM1")), &error),
                 qPrintable(error));
    }

    // The link goes with its device, as varnet-scale-sim's does: a link left pointing at a
    // closed pseudo-terminal would name whatever terminal another test opens next.
    void Unlink() { QVERIFY(QFile::remove(m_counter->Dir().File(QStringLiteral("COM1")))); }

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

    // Auto-print with a scale whose readings follow the clock, as goods do at a counter: put
    // on (moving, then settled), nudged, taken off. One label per pack, each of the weight
    // the pack settled at.
    void autoPrintOneLabelPerPack_data() {
        QTest::addColumn<QString>("timeline");
        QTest::addColumn<QStringList>("labelled");
        QTest::newRow("three equal packs, the pan empty between")
            << "0:S:500 0.5:D:300 0.5:S:900 0:D:300 0:S:700 0.5:D:300 0.5:S:900 0:D:300 0:S:700 "
               "0.5:D:300 0.5:S:900 0:S:0"
            << QStringList{"0.500", "0.500", "0.500"};
        QTest::newRow("one pack nudged on the pan")
            << "0:S:500 0.512:D:300 0.512:S:900 0.514:D:300 0.514:S:900 0.511:D:300 0.511:S:900"
            << QStringList{"0.512"};
    }
    void autoPrintOneLabelPerPack() {
        QFETCH(QString, timeline);
        QFETCH(QStringList, labelled);
        const QString queue = QString::fromLatin1(printcapture::kZpl);
        SetUpCounter(queue);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+-"));
        QCOMPARE(dlg.State().m_product.m_strCode, QStringLiteral("12"));
        QVERIFY(dlg.State().m_bAutoPrint);
        Weigh(dlg, 0.0);

        const QDateTime from = QDateTime::currentDateTime().addSecs(-1);
        const QStringList before = printcapture::Jobs(queue);
        const std::vector<CScaleSimulator::Step> steps = Timeline(timeline);
        m_scale->SetTimeline(steps);
        QTest::qWait(CScaleSimulator::TimelineMs(steps) + 1500);
        QCOMPARE(LabelledSince(from), labelled);
        // The spooler took each of them (other counters may print to the shared queue too).
        QTRY_VERIFY_WITH_TIMEOUT(
            printcapture::Jobs(queue).size() >= before.size() + labelled.size(), 30000);
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join(QLatin1Char('\n'))));
        // Mask 27, code 00012 and the grams of the settled weight.
        const QString digits =
            QStringLiteral("2700012%1")
                .arg(qRound(labelled.last().toDouble() * 1000), 5, 10, QLatin1Char('0'));
        JournalRow last;
        QVERIFY(AppJournal().LastRow(&last));
        QCOMPARE(last.barcode, digits + QString::number(ean13::CheckDigit(digits)));
        dlg.close();
        QVERIFY(!dlg.Poller().IsPolling());
    }

    // The scale unplugged under a weight: the screen keeps showing the last weight, but
    // neither the print key nor anything else prints it; the operator is told why. The
    // outage's own box is withdrawn when the scale answers again.
    void unpluggedScaleRefusesThePrint() {
        const QString queue = QString::fromLatin1(printcapture::kZpl);
        SetUpCounter(queue);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+"));
        Weigh(dlg, 0.45);
        QTRY_COMPARE(dlg.Field(10004)->text(), QStringLiteral("0.450 "));
        const QDateTime from = QDateTime::currentDateTime().addSecs(-1);
        const QStringList before = printcapture::Jobs(queue);

        m_scale->Stop(); // the pseudo-terminal closed: the adapter is pulled out
        Unlink();
        QTRY_VERIFY_WITH_TIMEOUT(
            dlg.ScaleStateField()->text().endsWith(QStringLiteral(" не открыт")), 5000);
        QTRY_COMPARE(messages.Texts().size(), 1);
        QCOMPARE(dlg.Field(10004)->text(), QStringLiteral("0.450 "));
        QTest::keyClick(&dlg, Qt::Key_Return);
        QCOMPARE(messages.Texts().size(), 2);
        QVERIFY2(
            messages.Texts()[1].startsWith(QStringLiteral("Весы не передают вес: порт COM1 (")),
            qPrintable(messages.Texts()[1]));
        QCOMPARE(dlg.LastLabelField()->text(),
                 QStringLiteral("Этикетка не напечатана: весы не передают вес"));
        QTest::mouseClick(dlg.Key(IDC_KEY_PRINT), Qt::LeftButton);
        QCOMPARE(messages.Texts().size(), 3);
        QTest::qWait(1500);
        QCOMPARE(printcapture::Jobs(queue), before);
        QCOMPARE(LabelledSince(from), QStringList());
        QVERIFY(messages.Withdrawn().isEmpty());

        // Plugged in again behind the same link: read again, and the outage's box goes.
        m_scale->SetWeight(0.734);
        QString error;
        QVERIFY2(m_scale->Start(&error), qPrintable(error));
        QVERIFY(m_scale->LinkAs(m_counter->Dir().File(QStringLiteral("COM1")), &error));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.Field(10004)->text(), QStringLiteral("0.734 "),
                                  3 * CScalePoller::kReopenMs);
        QTRY_COMPARE(messages.Withdrawn(), QStringList{CScalePoller::MessageTopic()});
        QCOMPARE(messages.Messages()[0].topic, CScalePoller::MessageTopic());
        QCOMPARE(messages.Texts().size(), 3);
        dlg.close();
    }

    // A stopped queue meets auto-print with every pack: the operator hears of it once per
    // stop, then the strip says it; a queue stopped again after it was seen ready is told
    // again.
    void stoppedQueueToldOncePerStop() {
        const QString queue = QStringLiteral("VarnetStoppedAuto");
        QVERIFY(AddQueue(queue));
        QVERIFY(Lp({QStringLiteral("cupsdisable"), QStringLiteral("-r"),
                    QStringLiteral("нет ленты"), queue}));
        SetUpCounter(queue);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+-"));
        const std::vector<CScaleSimulator::Step> packs =
            Timeline(QStringLiteral("0:S:400 0.5:S:600 0:S:400 0.6:S:600 0:S:400 0.7:S:600 0:S:0"));
        m_scale->SetTimeline(packs);
        QTest::qWait(CScaleSimulator::TimelineMs(packs) + 1000);
        QCOMPARE(messages.Texts().size(), 1);
        QVERIFY2(messages.Texts()[0].startsWith(QStringLiteral("Принтер остановлен")),
                 qPrintable(messages.Texts()[0]));
        QVERIFY2(dlg.LastLabelField()->text().startsWith(
                     QStringLiteral("Этикетка не напечатана: Принтер остановлен")),
                 qPrintable(dlg.LastLabelField()->text()));

        // Ready again, then stopped again: a new stop, told again.
        QVERIFY(Lp({QStringLiteral("cupsenable"), queue}));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.PrinterStateField()->text(),
                                  QStringLiteral("Принтер %1: готов").arg(queue),
                                  3 * CPrinterWatch::kPeriodMs);
        QVERIFY(Lp({QStringLiteral("cupsdisable"), queue}));
        QTRY_VERIFY_WITH_TIMEOUT(
            dlg.PrinterStateField()->text().contains(QStringLiteral("остановлен")),
            3 * CPrinterWatch::kPeriodMs);
        m_scale->SetTimeline(packs);
        QTest::qWait(CScaleSimulator::TimelineMs(packs) + 1000);
        Lp({QStringLiteral("lpadmin"), QStringLiteral("-x"), queue});
        QCOMPARE(messages.Texts().size(), 2);
        dlg.close();
    }

    // The print key prints the goods on the pan; turning auto-print on while they stay there
    // prints nothing more, and the next goods after an empty pan print once.
    void autoPrintAfterThePrintKey() {
        const QString queue = QString::fromLatin1(printcapture::kZpl);
        SetUpCounter(queue);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+"));
        const QStringList before = printcapture::Jobs(queue);
        Weigh(dlg, 0.512);
        QTest::keyClick(&dlg, Qt::Key_Return);
        QVERIFY(!printcapture::WaitForNewJob(queue, before).isEmpty());
        QTest::keyClicks(&dlg, QStringLiteral("-"));
        QVERIFY(dlg.State().m_bAutoPrint);
        const int seen = m_scale->Requests();
        QVERIFY(m_scale->WaitForRequests(seen + 8, 5000));
        QTest::qWait(1500);
        QCOMPARE(printcapture::Jobs(queue).size(), before.size() + 1);
        const QStringList printed = printcapture::Jobs(queue);
        Weigh(dlg, 0.0);
        Weigh(dlg, 0.7);
        QVERIFY(!printcapture::WaitForNewJob(queue, printed).isEmpty());
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join(QLatin1Char('\n'))));
        dlg.close();
    }

    // The scale's states in turn on the strip: moving, stable, overload, silent, unplugged
    // (its terminal closed) and back. The outage brings one message, its end none, and the
    // next label prints without anyone touching the settings; the strip shows that label.
    void scaleStatesInTurn() {
        const QString queue = QString::fromLatin1(printcapture::kZpl);
        SetUpCounter(queue, CScaleSimulator::Protocol::MtSics, 4);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+"));
        const auto strip = [&dlg] { return dlg.ScaleStateField()->text(); };

        m_scale->SetReadings({{0.3, 'D'}});
        QTRY_COMPARE_WITH_TIMEOUT(strip(), QStringLiteral("Весы: вес меняется"), 5000);
        m_scale->SetReadings({{0.512, 'S'}});
        QTRY_COMPARE_WITH_TIMEOUT(strip(), QStringLiteral("Весы: вес стабилен"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.Field(10004)->text(), QStringLiteral("0.512 "), 5000);
        m_scale->SetReadings({{0.0, '+'}});
        QTRY_COMPARE_WITH_TIMEOUT(strip(), QStringLiteral("Весы: перегруз"), 5000);
        CScaleSimulator::Faults silent;
        silent.bSilent = true;
        m_scale->SetFaults(silent);
        QTRY_VERIFY_WITH_TIMEOUT(strip().startsWith(QStringLiteral("Весы: нет ответа (COM1 (")),
                                 5000);
        QVERIFY(messages.Texts().isEmpty());

        m_scale->Stop(); // the adapter is pulled out
        Unlink();
        QTRY_VERIFY_WITH_TIMEOUT(strip().startsWith(QStringLiteral("Весы: порт COM1 (")), 5000);
        QVERIFY(strip().endsWith(QStringLiteral(" не открыт")));
        // Several reopening attempts while it is away: still one message.
        QTest::qWait(2 * CScalePoller::kReopenMs + 500);
        QCOMPARE(messages.Texts().size(), 1);
        QVERIFY2(messages.Texts()[0].contains(QStringLiteral("COM1 (")),
                 qPrintable(messages.Texts()[0]));

        // Plugged in again: a new terminal behind the same link.
        m_scale->SetFaults(CScaleSimulator::Faults());
        m_scale->SetReadings({{0.734, 'S'}});
        QString error;
        QVERIFY2(m_scale->Start(&error), qPrintable(error));
        QVERIFY(m_scale->LinkAs(m_counter->Dir().File(QStringLiteral("COM1")), &error));
        QTRY_COMPARE_WITH_TIMEOUT(strip(), QStringLiteral("Весы: вес стабилен"),
                                  3 * CScalePoller::kReopenMs);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.Field(10004)->text(), QStringLiteral("0.734 "), 5000);
        const QStringList before = printcapture::Jobs(queue);
        QTest::keyClick(&dlg, Qt::Key_Return);
        const QString job = printcapture::WaitForNewJob(queue, before);
        QVERIFY2(!job.isEmpty(), "no label after the scale came back");
        QCOMPARE(messages.Texts().size(), 1);
        QVERIFY2(dlg.LastLabelField()->text().contains(QStringLiteral("0.734 кг")),
                 qPrintable(dlg.LastLabelField()->text()));
        QVERIFY(dlg.LastLabelField()->text().endsWith(QStringLiteral("2700012007346")));
        dlg.close();
    }

    // A stopped queue shows on the strip, with the spooler's reason, before anyone prints.
    void stoppedQueueInSight() {
        const QString queue = QStringLiteral("VarnetStoppedStrip");
        QVERIFY(AddQueue(queue));
        QVERIFY(Lp({QStringLiteral("cupsdisable"), QStringLiteral("-r"),
                    QStringLiteral("нет ленты"), queue}));
        SetUpCounter(queue);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTRY_VERIFY_WITH_TIMEOUT(
            dlg.PrinterStateField()->text().contains(QStringLiteral("остановлен")), 10000);
        const QString shown = dlg.PrinterStateField()->text();
        Lp({QStringLiteral("cupsenable"), queue});
        QTRY_COMPARE_WITH_TIMEOUT(dlg.PrinterStateField()->text(),
                                  QStringLiteral("Принтер %1: готов").arg(queue),
                                  3 * CPrinterWatch::kPeriodMs);
        Lp({QStringLiteral("lpadmin"), QStringLiteral("-x"), queue});
        QVERIFY2(shown.contains(QStringLiteral("нет ленты")), qPrintable(shown));
        QVERIFY(messages.Texts().isEmpty());
        dlg.close();
    }

    // The scales that report stability: the readings of a weight that is still moving
    // print nothing, and once it settles exactly one label is printed.
    void settledWeightPrintsOnce_data() {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("type");
        QTest::newRow("MT-SICS") << int(CScaleSimulator::Protocol::MtSics) << 4;
        QTest::newRow("continuous output") << int(CScaleSimulator::Protocol::Continuous) << 5;
    }
    void settledWeightPrintsOnce() {
        QFETCH(int, protocol);
        QFETCH(int, type);
        SetUpCounter(printcapture::Queue(), static_cast<CScaleSimulator::Protocol>(protocol), type);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(&dlg, QStringLiteral("12+-"));
        QVERIFY(dlg.State().m_bAutoPrint);
        const QStringList before = printcapture::Jobs();

        // The goods are put on the pan: the reading moves and has not settled yet.
        m_scale->SetReadings({{0.3, 'D'}, {0.45, 'D'}, {0.49, 'D'}, {0.508, 'D'}});
        int seen = m_scale->Requests();
        QVERIFY(m_scale->WaitForRequests(seen + 8, 5000));
        QTest::qWait(300);
        QCOMPARE(dlg.Poller().Weight(), 0.0);
        // Auto-print never fired (the shared queue may meanwhile get jobs of other counters).
        QCOMPARE(dlg.State().m_dLastAutoPrintWeight, 0.0);

        m_scale->SetReadings({{0.512, 'S'}});
        QTRY_COMPARE_WITH_TIMEOUT(dlg.Poller().Weight(), 0.512, 5000);
        const QString job = printcapture::WaitForNewJob(before);
        QVERIFY2(!job.isEmpty(), "no job reached the queue");
        // The weight stays on the pan and keeps being reported: nothing else follows.
        seen = m_scale->Requests();
        QVERIFY(m_scale->WaitForRequests(seen + 8, 5000));
        QTest::qWait(1000);
        QCOMPARE(printcapture::Jobs().size(), before.size() + 1);
        QCOMPARE(dlg.State().m_dLastAutoPrintWeight, 0.512);
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join(QLatin1Char('\n'))));
        QCOMPARE(printcapture::ReadBarcode(job), QStringLiteral("2700012005120"));
        dlg.close();
        QVERIFY(!dlg.Poller().IsPolling());
    }

    // An OKA scale that answers one byte every 0.9 s. Choosing a product hands its price to
    // the polling thread; the keys answer while the exchange with the scale still runs, and
    // closing waits only for that exchange, which gives up at its deadline.
    void slowScaleNeverHoldsTheScreen() {
        SetUpCounter(printcapture::Queue(), CScaleSimulator::Protocol::Oka, 1);
        MessageRecorder messages;
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Weigh(dlg, 0.25);
        CScaleSimulator::Faults slow;
        slow.nByteGapMs = 900;
        m_scale->SetFaults(slow);
        const int asked = m_scale->Requests();
        QVERIFY(m_scale->WaitForRequests(asked + 1, 5000));
        const int finished = dlg.Poller().Exchanges();
        QTest::keyClicks(&dlg, QStringLiteral("12+5"));
        QCOMPARE(dlg.State().m_product.m_strCode, QStringLiteral("12"));
        QCOMPARE(dlg.Field(10004)->text(), QStringLiteral("5 "));
        // All of it happened inside one exchange with the scale.
        QCOMPARE(dlg.Poller().Exchanges(), finished);
        QVERIFY(m_scale->Prices().empty());
        QVERIFY(m_scale->WaitForPrices(1, 5000)); // sent when that exchange gave up
        QVERIFY(m_scale->WaitForRequests(m_scale->Requests() + 1, 5000));
        dlg.close();
        QVERIFY(!dlg.Poller().IsPolling());
        QCOMPARE(dlg.Poller().Weight(), 0.25); // a trickled reply is never a weight
        QVERIFY(messages.Texts().isEmpty());
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
