// The weight poller: which scale a type and port give, weights posted to the screen, silent
// scales, switching scales, prices between exchanges, closing during an exchange, and port
// errors shown on the user-interface thread while it sets a price and closes.
#include "scales/cas.h"
#include "scales/continuous.h"
#include "scales/massa.h"
#include "scales/mtsics.h"
#include "scales/oka.h"
#include "scales/scalefactory.h"
#include "scales/scalepoller.h"
#include "simulatedscale.h"
#include "support/messagerecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <QThread>

#include <algorithm>

using Protocol = CScaleSimulator::Protocol;
Q_DECLARE_METATYPE(Protocol)

namespace {

const QString kTimeoutError = QStringLiteral("Ошибка установки тайм-аута");

// Stands for the main screen: notes the weight at each WM_WEIGHT_UPDATE.
class CWeightReceiver : public QObject {
public:
    CScalePoller* m_pPoller = nullptr;
    QList<double> m_weights;

    bool event(QEvent* e) override {
        if (e->type() != WM_WEIGHT_UPDATE)
            return QObject::event(e);
        m_weights.append(m_pPoller->Weight());
        return true;
    }
};

struct Screen {
    CWeightReceiver receiver;
    CScalePoller poller{&receiver};
    Screen() { receiver.m_pPoller = &poller; }
};

} // namespace

class TstScalePoller : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scaleForType_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("0: none") << 0 << "" << 0 << 0 << 0;
        QTest::newRow("1: OKA") << 1 << "oka" << 4800 << 2 << 2;
        QTest::newRow("2: Massa-K") << 2 << "massa" << 4800 << 2 << 0;
        QTest::newRow("3: CAS") << 3 << "cas" << 9600 << 0 << 0;
        QTest::newRow("4: MT-SICS") << 4 << "mtsics" << 9600 << 0 << 0;
        QTest::newRow("5: continuous") << 5 << "continuous" << 9600 << 0 << 0;
        QTest::newRow("6: unlisted") << 6 << "" << 0 << 0 << 0;
        QTest::newRow("-1: unlisted") << -1 << "" << 0 << 0 << 0;
    }
    void scaleForType() {
        QFETCH(int, type);
        QFETCH(QString, kind);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, stopBits);
        const std::unique_ptr<IScale> scale = CreateScale(type, 0x105);
        if (kind.isEmpty()) {
            QVERIFY(!scale);
            return;
        }
        QVERIFY(scale);
        const QString actual = dynamic_cast<COka*>(scale.get())          ? "oka"
                               : dynamic_cast<CMassa*>(scale.get())      ? "massa"
                               : dynamic_cast<CCas*>(scale.get())        ? "cas"
                               : dynamic_cast<CMtSics*>(scale.get())     ? "mtsics"
                               : dynamic_cast<CContinuous*>(scale.get()) ? "continuous"
                                                                         : "?";
        QCOMPARE(actual, kind);
        QCOMPARE(int(scale->m_nPortNumber), 5);
        QCOMPARE(int(scale->m_nBaudRate), baud);
        QCOMPARE(int(scale->m_nParity), parity);
        QCOMPARE(int(scale->m_nStopBits), stopBits);
        QCOMPARE(int(scale->m_nByteSize), 8);
        QCOMPARE(int(scale->m_nFlowControl), 0);
    }

    // Line settings from the settings file reach only the families that can be set so.
    void lineSettingsFromFile_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("taken");
        QTest::newRow("OKA keeps its own") << 1 << false;
        QTest::newRow("Massa-K keeps its own") << 2 << false;
        QTest::newRow("CAS keeps its own") << 3 << false;
        QTest::newRow("MT-SICS") << 4 << true;
        QTest::newRow("continuous") << 5 << true;
    }
    void lineSettingsFromFile() {
        QFETCH(int, type);
        QFETCH(bool, taken);
        ScaleLine line;
        line.nBaudRate = 2400;
        line.nParity = 1;
        line.nByteSize = 7;
        line.nStopBits = 2;
        const std::unique_ptr<IScale> own = CreateScale(type, 1);
        const std::unique_ptr<IScale> set = CreateScale(type, 1, line);
        QCOMPARE(int(set->m_nBaudRate), taken ? 2400 : int(own->m_nBaudRate));
        QCOMPARE(int(set->m_nParity), taken ? 1 : int(own->m_nParity));
        QCOMPARE(int(set->m_nByteSize), taken ? 7 : 8);
        QCOMPARE(int(set->m_nStopBits), taken ? 2 : int(own->m_nStopBits));
        // Values left unset keep the family's usual ones.
        ScaleLine baudOnly;
        baudOnly.nBaudRate = 4800;
        const std::unique_ptr<IScale> some = CreateScale(type, 1, baudOnly);
        QCOMPARE(int(some->m_nBaudRate), taken ? 4800 : int(own->m_nBaudRate));
        QCOMPARE(int(some->m_nParity), int(own->m_nParity));
        QCOMPARE(int(some->m_nStopBits), int(own->m_nStopBits));
    }

    // No scale, or a scale without a port: nothing polls, nothing is posted or shown.
    void nothingToPoll_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("closedScale");
        QTest::newRow("type 0") << 0 << 1 << false;
        QTest::newRow("unlisted type") << 9 << 1 << false;
        QTest::newRow("Massa-K on port 0") << 2 << 0 << true;
        QTest::newRow("OKA on port 256") << 1 << 256 << true;
    }
    void nothingToPoll() {
        QFETCH(int, type);
        QFETCH(int, port);
        QFETCH(bool, closedScale);
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Oka);
        QVERIFY(LinkSimulator(sim, dir, 1));
        QVERIFY(sim.LinkAs(dir.File(QStringLiteral("COM0"))));
        MessageRecorder messages;
        Screen s;
        s.poller.ConnectScale(static_cast<unsigned int>(port), type);
        QCOMPARE(s.poller.Scale() != nullptr, closedScale);
        if (closedScale)
            QVERIFY(!s.poller.Scale()->IsOpen());
        QVERIFY(!s.poller.IsPolling());
        s.poller.SetPrice(1250);
        QTest::qWait(300);
        QCOMPARE(s.receiver.m_weights, QList<double>());
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(sim.Received(), QByteArray());
    }

    // Every valid result is stored and posted, changed or not.
    void postsEveryWeight() {
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Massa);
        sim.SetWeights({0.1, 0.2, 0.3});
        QVERIFY(LinkSimulator(sim, dir, 1));
        Screen s;
        s.poller.ConnectScale(1, kScaleMassa);
        QVERIFY(s.poller.IsPolling());
        QTRY_VERIFY(s.receiver.m_weights.size() >= 5);
        s.poller.Stop();
        QVERIFY(!s.poller.IsPolling());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(s.poller.Weight(), 0.3);
        // The handler reads the weight when it runs, so a late one may see a newer value.
        const QList<double>& seen = s.receiver.m_weights;
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY(seen.first() >= 0.1 && seen.last() == 0.3);
        // One event per answered request; a stop during an exchange posts nothing for it.
        const int requests = sim.Requests();
        QVERIFY2(s.receiver.m_weights.size() == requests ||
                     s.receiver.m_weights.size() == requests - 1,
                 qPrintable(QStringLiteral("%1 events, %2 requests")
                                .arg(s.receiver.m_weights.size())
                                .arg(requests)));
    }

    // A scale that falls silent: CAS reports nothing to weigh, the others no reading, which
    // keeps the last weight and posts nothing.
    void silentScale_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<int>("type");
        QTest::newRow("CAS") << Protocol::Cas << int(kScaleCas);
        QTest::newRow("Massa-K") << Protocol::Massa << int(kScaleMassa);
        QTest::newRow("OKA") << Protocol::Oka << int(kScaleOka);
    }
    void silentScale() {
        QFETCH(Protocol, protocol);
        QFETCH(int, type);
        TestModuleDir dir;
        CScaleSimulator sim(protocol);
        sim.SetWeight(0.75);
        QVERIFY(LinkSimulator(sim, dir, 1));
        Screen s;
        s.poller.ConnectScale(1, type);
        QTRY_VERIFY(!s.receiver.m_weights.isEmpty());
        CScaleSimulator::Faults silent;
        silent.bSilent = true;
        sim.SetFaults(silent);
        if (protocol == Protocol::Cas) {
            QTRY_VERIFY_WITH_TIMEOUT(
                s.receiver.m_weights.size() >= 2 && s.receiver.m_weights.last() == 0.0 &&
                    s.receiver.m_weights.at(s.receiver.m_weights.size() - 2) == 0.0,
                10000);
            QCOMPARE(s.poller.Weight(), 0.0);
        } else {
            // Requests after this count reach a silent scale.
            const int asked = sim.Requests();
            QVERIFY(sim.WaitForRequests(asked + 1, 5000));
            QCoreApplication::sendPostedEvents();
            const qsizetype posted = s.receiver.m_weights.size();
            QVERIFY(sim.WaitForRequests(asked + 3, 5000));
            QCoreApplication::sendPostedEvents();
            QCOMPARE(s.receiver.m_weights.size(), posted);
            QCOMPARE(s.poller.Weight(), 0.75);
        }
    }

    // Closing while the scale is still answering: the exchange completes and its weight is
    // kept, but no event is posted for it; the thread has ended and the port is free.
    void closeDuringExchange() {
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Oka);
        sim.SetWeight(0.5);
        QVERIFY(LinkSimulator(sim, dir, 1));
        Screen s;
        s.poller.ConnectScale(1, kScaleOka);
        QTRY_VERIFY(!s.receiver.m_weights.isEmpty());
        CScaleSimulator::Faults slow;
        slow.nDelayMs = 400;
        sim.SetFaults(slow);
        sim.SetWeight(2.5);
        const int asked = sim.Requests();
        QVERIFY(sim.WaitForRequests(asked + 1, 5000)); // this exchange now waits for 2.5
        s.poller.Stop();
        QCOMPARE(s.poller.Weight(), 2.5);
        QVERIFY(!s.poller.IsPolling());
        QVERIFY(!s.poller.Scale());
        QCoreApplication::sendPostedEvents();
        QTest::qWait(200);
        // Every exchange before the last was posted; the last one was not.
        QCOMPARE(s.receiver.m_weights.size(), sim.Requests() - 1);
        const std::unique_ptr<IScale> again = CreateScale(kScaleOka, 1);
        QVERIFY2(again->Open(), qPrintable(QString::number(again->LastErrno())));
    }

    // Confirming the settings reconnects even an unchanged scale; another type switches.
    void connectWhilePolling() {
        TestModuleDir dir;
        CScaleSimulator oka(Protocol::Oka);
        CScaleSimulator cas(Protocol::Cas);
        oka.SetWeight(1.0);
        cas.SetWeight(2.0);
        QVERIFY(LinkSimulator(oka, dir, 1));
        QVERIFY(LinkSimulator(cas, dir, 2));
        MessageRecorder messages;
        Screen s;
        s.poller.ConnectScale(1, kScaleOka);
        QTRY_VERIFY(!s.receiver.m_weights.isEmpty());
        s.poller.ConnectScale(1, kScaleOka);
        QVERIFY(s.poller.IsPolling());
        const int asked = oka.Requests();
        QVERIFY(oka.WaitForRequests(asked + 2, 5000));
        s.poller.ConnectScale(2, kScaleCas);
        QTRY_COMPARE(s.poller.Weight(), 2.0);
        const int okaAsked = oka.Requests();
        QTRY_VERIFY(s.receiver.m_weights.count(2.0) >= 2);
        QCOMPARE(oka.Requests(), okaAsked);
        QCOMPARE(messages.Texts(), QStringList());
    }

    // Prices go out between exchanges, never inside one: the scale sees whole messages. A
    // price not yet sent gives way to a newer one, and the last one always arrives.
    void pricesBetweenExchanges() {
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Oka);
        sim.SetWeight(1.0);
        sim.SetPacing(true); // long exchanges, so a price is likely to meet one
        QVERIFY(LinkSimulator(sim, dir, 1));
        Screen s;
        s.poller.ConnectScale(1, kScaleOka);
        QTRY_VERIFY(!s.receiver.m_weights.isEmpty());
        const std::vector<unsigned int> prices{1250, 990, 0, 45000, 7};
        for (unsigned int price : prices) {
            s.poller.SetPrice(price);
            QTest::qWait(37);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!sim.Prices().empty() && sim.Prices().back() == 7, 5000);
        const int asked = sim.Requests();
        QVERIFY(sim.WaitForRequests(asked + 2, 5000));
        s.poller.Stop();
        // What was shown is the prices in the order given, the last among them.
        const std::vector<unsigned int> shown = sim.Prices();
        auto next = prices.begin();
        for (unsigned int price : shown) {
            next = std::find(next, prices.end(), price);
            QVERIFY2(next != prices.end(), "a price out of order or never given");
            ++next;
        }
        QCOMPARE(s.poller.Weight(), 1.0);
        const QByteArray received = sim.Received();
        int requests = 0;
        for (int i = 0; i < received.size();) {
            QCOMPARE(received.mid(i, 17), QByteArray(17, '\0'));
            if (received.at(i + 17) == 0x03) {
                ++requests;
                i += 18;
            } else {
                QCOMPARE(int(received.at(i + 17)), 0x02);
                i += 24;
            }
        }
        QCOMPARE(requests, sim.Requests());
    }

    // A scale that answers one byte every 0.9 s. The user-interface thread hands the price
    // over and goes on while the exchange is still running; the exchange ends at its
    // deadline as no reading; closing waits for that exchange only.
    void slowScaleNeverHoldsTheScreen() {
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Oka);
        sim.SetWeight(1.0);
        QVERIFY(LinkSimulator(sim, dir, 1));
        Screen s;
        s.poller.ConnectScale(1, kScaleOka);
        QTRY_VERIFY(!s.receiver.m_weights.isEmpty());
        CScaleSimulator::Faults slow;
        slow.nByteGapMs = 900;
        sim.SetFaults(slow);
        sim.SetWeight(2.0);
        const int asked = sim.Requests();
        QVERIFY(sim.WaitForRequests(asked + 1, 5000)); // an exchange with the slow scale runs
        const int finished = s.poller.Exchanges();
        s.poller.SetPrice(1250);
        // Had the call waited for the scale, that exchange would be over by now.
        QCOMPARE(s.poller.Exchanges(), finished);
        QVERIFY(sim.Prices().empty());
        QVERIFY(sim.WaitForPrices(1, 5000)); // sent once the exchange gave up
        QCOMPARE(sim.Prices(), std::vector<unsigned int>{1250});
        // A trickled reply is never a weight.
        QCOMPARE(s.poller.Weight(), 1.0);
        s.poller.Stop();
        QVERIFY(!s.poller.IsPolling());
        QVERIFY(!s.poller.Scale());
    }

    // The deadline of one exchange: the wait for the first byte plus the wire time of the
    // exchange's bytes, plus half of it and 30 ms as a margin.
    void exchangeDeadline_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("bytes");
        QTest::newRow("OKA") << int(kScaleOka) << 36;
        QTest::newRow("Massa-K") << int(kScaleMassa) << 3;
        QTest::newRow("CAS") << int(kScaleCas) << 18;
        QTest::newRow("MT-SICS") << int(kScaleMtSics) << 28;
        QTest::newRow("continuous") << int(kScaleContinuous) << 40;
    }
    void exchangeDeadline() {
        QFETCH(int, type);
        QFETCH(int, bytes);
        const std::unique_ptr<IScale> scale = CreateScale(type, 1);
        const long long wireMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(scale->ByteTime() * bytes)
                .count();
        QCOMPARE(scale->ExchangeDeadlineMs(),
                 IScale::kByteTimeoutMs + int(wireMs + wireMs / 2) + 30);
        QVERIFY(scale->ExchangeDeadlineMs() < 1200);
    }

    // The port fails while polling. Its message is shown on the user-interface thread with
    // the scale lock free: while the box is open the poller goes on, and the screen can set
    // a price and close. One message for the whole failure.
    void portErrorWhileSettingPriceAndClosing() {
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Oka);
        sim.SetWeight(0.5);
        QVERIFY(LinkSimulator(sim, dir, 1));
        Screen s;
        QStringList texts;
        bool onUiThread = false;
        bool closedInside = false;
        const platform::MessageSink previous =
            platform::SetMessageSink([&](const platform::OperatorMessage& m) {
                texts.append(m.text);
                if (texts.size() > 1)
                    return;
                onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
                // A modal box runs its own event loop until the operator confirms it.
                QTest::qWait(500);
                s.poller.SetPrice(1250);
                s.poller.Stop();
                closedInside = true;
            });
        s.poller.ConnectScale(1, kScaleOka);
        QTRY_VERIFY(!s.receiver.m_weights.isEmpty());
        sim.Stop(); // the adapter is pulled out
        QTRY_VERIFY_WITH_TIMEOUT(closedInside, 10000);
        platform::SetMessageSink(previous);
        QVERIFY(onUiThread);
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith(kTimeoutError + QStringLiteral(" порта COM1 (")),
                 qPrintable(texts[0]));
        QVERIFY(!s.poller.IsPolling());
        QVERIFY(!s.poller.Scale());
        QCOMPARE(s.poller.Weight(), 0.5);
    }

    // A COM<N> link that vanishes with its device (a simulator restarting, an adapter pulled
    // out) is the same port gone: told once and waited for, never replaced by /dev/ttyS<N-1>.
    // The device that comes back behind the link is read without a reconnect, the port's
    // name follows it, and the box about the outage is withdrawn. (Port 200: no ttyS199 here
    // to be opened by mistake.)
    void vanishedLinkIsWaitedFor() {
        TestModuleDir dir;
        const QString link = dir.File(QStringLiteral("COM200"));
        auto sim = std::make_unique<CScaleSimulator>(Protocol::Cas);
        sim->SetWeight(0.45);
        QVERIFY(LinkSimulator(*sim, dir, 200));
        MessageRecorder messages;
        Screen s;
        s.poller.ConnectScale(200, kScaleCas);
        QTRY_VERIFY(s.receiver.m_weights.contains(0.45));
        sim.reset();
        QVERIFY(QFile::remove(link));
        QTRY_COMPARE_WITH_TIMEOUT(s.poller.State(), ScaleState::PortClosed, 5000);
        // Tried again while the link is missing: the port stays missing, named by its link.
        QTest::qWait(2 * CScalePoller::kReopenMs + 500);
        QCOMPARE(s.poller.State(), ScaleState::PortClosed);
        QVERIFY(!s.poller.IsReading());
        QCOMPARE(s.poller.PortName(), QStringLiteral("COM200 (нет ссылки)"));
        QCOMPARE(messages.Texts().size(), 1);
        QCOMPARE(messages.Messages()[0].topic, CScalePoller::MessageTopic());
        QVERIFY(messages.Withdrawn().isEmpty());

        CScaleSimulator back(Protocol::Cas);
        back.SetWeight(0.734);
        QVERIFY(LinkSimulator(back, dir, 200));
        QTRY_VERIFY_WITH_TIMEOUT(s.receiver.m_weights.contains(0.734), 3 * CScalePoller::kReopenMs);
        QCOMPARE(s.poller.PortName(), QStringLiteral("COM200 (%1)").arg(back.DevicePath()));
        QTRY_COMPARE(messages.Withdrawn(), QStringList{CScalePoller::MessageTopic()});
        QCOMPARE(messages.Texts().size(), 1);

        // The settings confirmed while the link is missing: the new scale keeps to it too.
        back.Stop();
        QVERIFY(QFile::remove(link));
        s.poller.ConnectScale(200, kScaleCas);
        QCOMPARE(s.poller.PortName(), QStringLiteral("COM200 (нет ссылки)"));
        s.poller.Stop();
    }
};

QTEST_GUILESS_MAIN(TstScalePoller)
#include "tst_scalepoller.moc"
