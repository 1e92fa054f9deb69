// The three scale protocols against a simulated scale on a real pseudo-terminal: the bytes
// sent, the replies accepted and the result of every kind of reply.
#include "scales/oka.h"
#include "scales/scalefactory.h"
#include "scales/textreplies.h"
#include "simulatedscale.h"
#include "support/messagerecorder.h"

#include <QTest>

#include <memory>

using Protocol = CScaleSimulator::Protocol;
using Faults = CScaleSimulator::Faults;
Q_DECLARE_METATYPE(Protocol)
Q_DECLARE_METATYPE(Faults)

namespace {

int TypeOf(Protocol protocol) {
    switch (protocol) {
    case Protocol::Cas:
        return kScaleCas;
    case Protocol::Massa:
        return kScaleMassa;
    case Protocol::Oka:
        return kScaleOka;
    case Protocol::MtSics:
        return kScaleMtSics;
    case Protocol::Continuous:
        return kScaleContinuous;
    }
    return kScaleNone;
}

const QByteArray kEnq = Bytes({0x05});
const QByteArray kDc1 = Bytes({0x11});
const QByteArray kNak = Bytes({0x15});
const QByteArray kAck = Bytes({0x06});
const QByteArray kOkaRequest = QByteArray(17, '\0') + Bytes({0x03});

} // namespace

class TstScaleProtocols : public QObject {
    Q_OBJECT

    // One exchange of a fresh scale of the protocol with a simulator set up by the row.
    struct Exchange {
        TestModuleDir dir;
        CScaleSimulator sim;
        std::unique_ptr<IScale> scale;
        explicit Exchange(Protocol protocol) : sim(protocol) {}
        bool Open(Protocol protocol) {
            if (!LinkSimulator(sim, dir, 1))
                return false;
            scale = CreateScale(TypeOf(protocol), 1);
            return scale && scale->Open();
        }
    };

private Q_SLOTS:
    void cas_data() {
        QTest::addColumn<QByteArray>("handshake"); // answers to the ENQs, in turn
        QTest::addColumn<QByteArray>("reply");     // the answer to DC1
        QTest::addColumn<double>("expected");
        QTest::addColumn<QByteArray>("sent");

        const QByteArray ok = kEnq + kDc1;
        const QByteArray weight = CasRecord('S', "  1.234");
        QTest::newRow("1.234 kg") << kAck << weight << 1.234 << ok;
        QTest::newRow("bytes 10 and 11 only count in the BCC")
            << kAck << CasRecord('S', "  1.234", 0, "lb") << 1.234 << ok;
        QTest::newRow("minus sign") << kAck << CasRecord('S', "- 1.234") << -1.234 << ok;
        QTest::newRow("minus zero is zero") << kAck << CasRecord('S', " -0.000") << 0.0 << ok;
        QTest::newRow("spaces inside the text are left out")
            << kAck << CasRecord('S', "1 2.5  ") << 12.5 << ok;
        QTest::newRow("text stops at a foreign character")
            << kAck << CasRecord('S', "  1.2-3") << 1.2 << ok;
        QTest::newRow("no decimal point") << kAck << CasRecord('S', "     12") << 12.0 << ok;
        QTest::newRow("seven spaces") << kAck << CasRecord('S', "       ") << 0.0 << ok;
        QTest::newRow("status U, frame and BCC valid")
            << kAck << CasRecord('U', "  1.234") << 0.0 << ok;
        QTest::newRow("weight byte changed, BCC not")
            << kAck << QByteArray(weight).replace(5, 1, "2") << -1.0 << ok;
        QTest::newRow("BCC off by one bit")
            << kAck << CasRecord('S', "  1.234", 0x40) << -1.0 << ok;
        QTest::newRow("SOH wrong")
            << kAck << QByteArray(weight).replace(0, 1, "\x00") << -1.0 << ok;
        QTest::newRow("STX wrong")
            << kAck << QByteArray(weight).replace(1, 1, "\x03") << -1.0 << ok;
        QTest::newRow("ETX wrong")
            << kAck << QByteArray(weight).replace(13, 1, "\x02") << -1.0 << ok;
        QTest::newRow("EOT wrong")
            << kAck << QByteArray(weight).replace(14, 1, "\x05") << -1.0 << ok;
        QTest::newRow("14 of 15 bytes") << kAck << weight.left(14) << -1.0 << ok;
        QTest::newRow("7 of 15 bytes") << kAck << weight.left(7) << -1.0 << ok;
        QTest::newRow("NAK NAK NAK ACK: the fourth ENQ is answered")
            << kNak + kNak + kNak + kAck << weight << 1.234 << kEnq + kEnq + kEnq + kEnq + kDc1;
        QTest::newRow("four NAKs: nothing to weigh, no DC1")
            << kNak + kNak + kNak + kNak << weight << 0.0 << kEnq + kEnq + kEnq + kEnq;
        QTest::newRow("another byte for ACK") << QByteArray("X") << weight << 0.0 << kEnq;
    }
    void cas() {
        QFETCH(QByteArray, handshake);
        QFETCH(QByteArray, reply);
        QFETCH(double, expected);
        QFETCH(QByteArray, sent);
        Exchange x(Protocol::Cas);
        x.sim.SetHandshake(handshake);
        x.sim.SetReply(reply);
        MessageRecorder messages;
        QVERIFY(x.Open(Protocol::Cas));
        QCOMPARE(x.scale->GetWeight(), expected);
        QTRY_COMPARE(x.sim.Received(), sent);
        QCOMPARE(messages.Texts(), QStringList());
    }

    void massa_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("expected");
        QTest::newRow("1234 g") << Bytes({0xD2, 0x04}) << 1.234;
        QTest::newRow("largest weight") << Bytes({0xFF, 0x7F}) << 32.767;
        QTest::newRow("bit 15: negative") << Bytes({0x18, 0xFC}) << 0.0;
        QTest::newRow("zero") << Bytes({0x00, 0x00}) << 0.0;
        QTest::newRow("one byte") << Bytes({0xD2}) << -1.0;
    }
    void massa() {
        QFETCH(QByteArray, reply);
        QFETCH(double, expected);
        Exchange x(Protocol::Massa);
        x.sim.SetReply(reply);
        QVERIFY(x.Open(Protocol::Massa));
        QCOMPARE(x.scale->GetWeight(), expected);
        QTRY_COMPARE(x.sim.Received(), QByteArray("E"));
    }

    void oka_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("expected");
        const QByteArray tail(12, '\x55'); // bytes 6 to 17 are not examined
        QTest::newRow("001234") << Bytes({4, 3, 2, 1, 0, 0}) + tail << 1.234;
        QTest::newRow("largest") << Bytes({9, 9, 9, 9, 9, 9}) + tail << 999.999;
        QTest::newRow("zero") << QByteArray(18, '\0') << 0.0;
        // A digit above 9 is a damaged reply, wherever it stands: read as text it would
        // show 0 g here and 123 g in the next row.
        QTest::newRow("thousands digit 10") << Bytes({4, 3, 2, 10, 0, 0}) + tail << -1.0;
        QTest::newRow("units digit 10") << Bytes({10, 3, 2, 1, 0, 0}) + tail << -1.0;
        QTest::newRow("digit 0xD0") << Bytes({4, 3, 0xD0, 1, 0, 0}) + tail << -1.0;
        QTest::newRow("17 of 18 bytes") << (Bytes({4, 3, 2, 1, 0, 0}) + tail).left(17) << -1.0;
    }
    void oka() {
        QFETCH(QByteArray, reply);
        QFETCH(double, expected);
        Exchange x(Protocol::Oka);
        x.sim.SetReply(reply);
        QVERIFY(x.Open(Protocol::Oka));
        QCOMPARE(x.scale->GetWeight(), expected);
        QTRY_COMPARE(x.sim.Received(), kOkaRequest);
    }

    void okaPrice_data() {
        QTest::addColumn<uint>("price");
        QTest::addColumn<QByteArray>("digits"); // bytes 18 to 23
        QTest::addColumn<uint>("shown");
        QTest::newRow("1250") << 1250u << Bytes({0, 5, 2, 1, 0, 0}) << 1250u;
        QTest::newRow("0") << 0u << Bytes({0, 0, 0, 0, 0, 0}) << 0u;
        QTest::newRow("999999") << 999999u << Bytes({9, 9, 9, 9, 9, 9}) << 999999u;
        // Seven digits do not fit: the display shows its largest value rather than six
        // digits of another price.
        QTest::newRow("1234567") << 1234567u << Bytes({9, 9, 9, 9, 9, 9}) << 999999u;
    }
    void okaPrice() {
        QFETCH(uint, price);
        QFETCH(QByteArray, digits);
        QFETCH(uint, shown);
        Exchange x(Protocol::Oka);
        QVERIFY(x.Open(Protocol::Oka));
        x.scale->SetPrice(price);
        QVERIFY(x.sim.WaitForPrices(1, 5000));
        QCOMPARE(x.sim.Received(), QByteArray(17, '\0') + Bytes({0x02}) + digits);
        QCOMPARE(x.sim.Prices(), std::vector<unsigned int>{shown});
    }

    // The two text families, through the simulator: each row gives the reply (empty: built
    // from the weight 0.512 kg by the simulator with the row's faults), the result, and
    // the message a unit brings.
    void textProtocols_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<double>("expected");
        QTest::addColumn<QString>("message");
        auto with = [](auto change) {
            Faults f;
            change(f);
            return f;
        };
        const Faults none;
        const QString lb =
            QStringLiteral("Весы передают вес в единицах \"lb\". Установите на весах кг или г.");
        const Protocol m = Protocol::MtSics;
        QTest::newRow("mtsics stable")
            << m << QByteArray("S S      0.512 kg\r\n") << none << 0.512 << "";
        QTest::newRow("mtsics dynamic")
            << m << QByteArray("S D      0.508 kg\r\n") << none << 0.0 << "";
        QTest::newRow("mtsics busy") << m << QByteArray("S I\r\n") << none << 0.0 << "";
        QTest::newRow("mtsics overload") << m << QByteArray("S +\r\n") << none << 0.0 << "";
        QTest::newRow("mtsics underload") << m << QByteArray("S -\r\n") << none << 0.0 << "";
        QTest::newRow("mtsics ES") << m << QByteArray("ES\r\n") << none << -1.0 << "";
        QTest::newRow("mtsics ET") << m << QByteArray("ET\r\n") << none << -1.0 << "";
        QTest::newRow("mtsics EL") << m << QByteArray("EL\r\n") << none << -1.0 << "";
        QTest::newRow("mtsics grams")
            << m << QByteArray("S S        512 g\r\n") << none << 0.512 << "";
        QTest::newRow("mtsics negative")
            << m << QByteArray("S S     -0.120 kg\r\n") << none << 0.0 << "";
        QTest::newRow("mtsics half line") << m << QByteArray("S S      0.5") << none << -1.0 << "";
        QTest::newRow("mtsics cut unit")
            << m << QByteArray("S S      0.512 k\r\n") << none << -1.0 << "";
        QTest::newRow("mtsics garbage only")
            << m << QByteArray("\x7f\x01#@\r\n") << none << -1.0 << "";
        QTest::newRow("mtsics lb")
            << m << QByteArray("S S      1.129 lb\r\n") << none << -1.0 << lb;
        QTest::newRow("mtsics split across reads")
            << m << QByteArray() << with([](Faults& f) { f.nByteGapMs = 15; }) << 0.512 << "";
        QTest::newRow("mtsics garbage between lines")
            << m << QByteArray() << with([](Faults& f) { f.bGarbage = true; }) << 0.512 << "";
        QTest::newRow("mtsics burst of 50, the newest counts")
            << m << QByteArray() << with([](Faults& f) { f.nBurst = 50; }) << 0.050 << "";
        QTest::newRow("mtsics silence")
            << m << QByteArray() << with([](Faults& f) { f.bSilent = true; }) << -1.0 << "";

        const Protocol c = Protocol::Continuous;
        QTest::newRow("continuous stable")
            << c << QByteArray("ST,GS,+0000.512kg\r\n") << none << 0.512 << "";
        QTest::newRow("continuous net")
            << c << QByteArray("ST,NT,+0000.512kg\r\n") << none << 0.512 << "";
        QTest::newRow("continuous no gross/net field")
            << c << QByteArray("ST,+0000.512kg\r\n") << none << 0.512 << "";
        QTest::newRow("continuous spaces, grams")
            << c << QByteArray("ST,GS,+    512 g\r\n") << none << 0.512 << "";
        QTest::newRow("continuous unstable")
            << c << QByteArray("US,GS,+0000.508kg\r\n") << none << 0.0 << "";
        QTest::newRow("continuous overload")
            << c << QByteArray("OL,GS,+9999.999kg\r\n") << none << 0.0 << "";
        QTest::newRow("continuous negative")
            << c << QByteArray("ST,GS,-0000.120kg\r\n") << none << 0.0 << "";
        QTest::newRow("continuous garbage only")
            << c << QByteArray("ZZ,GS,+0000.512kg\r\n") << none << -1.0 << "";
        QTest::newRow("continuous lb")
            << c << QByteArray("ST,GS,+0001.129lb\r\n") << none << -1.0 << lb;
        QTest::newRow("continuous half lines")
            << c << QByteArray() << with([](Faults& f) { f.nCutAfter = 12; }) << -1.0 << "";
        QTest::newRow("continuous split across reads") << c << QByteArray() << with([](Faults& f) {
            f.nByteGapMs = 3;
            f.nPeriodMs = 150;
        }) << 0.512 << "";
        QTest::newRow("continuous garbage between lines")
            << c << QByteArray() << with([](Faults& f) { f.bGarbage = true; }) << 0.512 << "";
        QTest::newRow("continuous burst of 50, the newest counts")
            << c << QByteArray() << with([](Faults& f) {
                   f.nBurst = 50;
                   f.nPeriodMs = 600;
               })
            << 0.050 << "";
        QTest::newRow("continuous silence")
            << c << QByteArray() << with([](Faults& f) { f.bSilent = true; }) << -1.0 << "";
    }
    void textProtocols() {
        QFETCH(Protocol, protocol);
        QFETCH(QByteArray, reply);
        QFETCH(Faults, faults);
        QFETCH(double, expected);
        QFETCH(QString, message);
        Exchange x(protocol);
        x.sim.SetFaults(faults);
        x.sim.SetReply(reply);
        if (faults.nBurst > 1) {
            // Each line of the burst carries the next weight: 1 g, 2 g, ... 50 g.
            std::vector<CScaleSimulator::Reading> readings;
            for (int g = 1; g <= faults.nBurst; ++g)
                readings.push_back({g / 1000.0, 'S'});
            x.sim.SetReadings(readings);
        } else {
            x.sim.SetWeight(0.512);
        }
        MessageRecorder messages;
        QVERIFY(x.Open(protocol));
        QCOMPARE(x.scale->GetWeight(), expected);
        if (faults.nBurst > 1)
            x.sim.SetReadings({{0.5, 'S'}}); // the next burst shows another weight
        QCOMPARE(x.scale->GetWeight(), faults.nBurst > 1 ? 0.5 : expected);
        // A unit the counter cannot use is told once, however often it comes.
        QCOMPARE(messages.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (protocol == Protocol::MtSics)
            QVERIFY(x.sim.Received().startsWith("SI\r\nSI\r\n"));
        else
            QCOMPARE(x.sim.Received(), QByteArray()); // nothing is ever sent to an indicator
    }

    // The answer of an MT-SICS scale to I2: its type and capacity, the capacity last.
    void mtsicsCapacityLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<double>("kg");
        QTest::newRow("kilograms") << QByteArray("I2 A \"Varnet-Sim 6.100 kg\"") << 6.1;
        QTest::newRow("grams, a type of several words")
            << QByteArray("I2 A \"WMS404C-L/10 WMS-Bridge 410.0090 g\"") << 0.410009;
        QTest::newRow("trailing blanks") << QByteArray("I2 A \"PB3002 3100.0 g\"  ") << 3.1;
        QTest::newRow("pounds say nothing") << QByteArray("I2 A \"Scale 60 lb\"") << 0.0;
        QTest::newRow("no number") << QByteArray("I2 A \"Scale kg\"") << 0.0;
        QTest::newRow("not executable") << QByteArray("I2 I") << 0.0;
        QTest::newRow("no closing quote") << QByteArray("I2 A \"Scale 6 kg") << 0.0;
        QTest::newRow("a weight line") << QByteArray("S S      6.100 kg") << 0.0;
        QTest::newRow("empty") << QByteArray() << 0.0;
    }
    void mtsicsCapacityLine() {
        QFETCH(QByteArray, line);
        QFETCH(double, kg);
        QCOMPARE(scales::ParseMtSicsCapacity(line.constData(), std::size_t(line.size())), kg);
    }

    // Asked for, the capacity comes in an exchange of its own before the first weight; not
    // asked for (a tool that sends weight requests only), nothing but SI is sent.
    void mtsicsCapacityExchange_data() {
        QTest::addColumn<bool>("ask");
        QTest::newRow("asked") << true;
        QTest::newRow("not asked") << false;
    }
    void mtsicsCapacityExchange() {
        QFETCH(bool, ask);
        Exchange x(Protocol::MtSics);
        x.sim.SetWeight(0.512);
        QVERIFY(x.Open(Protocol::MtSics));
        if (ask)
            x.scale->AskCapacity();
        QCOMPARE(x.scale->GetWeight(), 0.512);
        QCOMPARE(x.scale->GetWeight(), 0.512);
        QCOMPARE(x.scale->Capacity(), ask ? 6.1 : 0.0);
        QTRY_COMPARE(x.sim.Received(), QByteArray(ask ? "I2\r\nSI\r\nSI\r\n" : "SI\r\nSI\r\n"));
    }

    // An indicator's lines that came in before the exchange are never read: the newest line
    // after the exchange began counts, even when the port was not read for a while.
    void continuousNeverStale() {
        Exchange x(Protocol::Continuous);
        x.sim.SetWeight(0.3);
        QVERIFY(x.Open(Protocol::Continuous));
        QCOMPARE(x.scale->GetWeight(), 0.3);
        QTest::qWait(300); // lines of 0.3 kg pile up unread
        x.sim.SetWeight(0.7);
        QTest::qWait(20);
        QCOMPARE(x.scale->GetWeight(), 0.7);
    }

    // The simulator's own misbehaviour, as the demo and installers use it.
    void simulatorFaults_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<double>("weight");
        QTest::addColumn<double>("expected");
        auto with = [](auto change) {
            Faults f;
            change(f);
            return f;
        };
        const Faults none;
        QTest::newRow("cas") << Protocol::Cas << none << 2.5 << 2.5;
        QTest::newRow("cas negative") << Protocol::Cas << none << -0.75 << -0.75;
        QTest::newRow("cas silent")
            << Protocol::Cas << with([](Faults& f) { f.bSilent = true; }) << 2.5 << 0.0;
        QTest::newRow("cas three NAKs")
            << Protocol::Cas << with([](Faults& f) { f.nNaks = 3; }) << 2.5 << 2.5;
        QTest::newRow("cas four NAKs")
            << Protocol::Cas << with([](Faults& f) { f.nNaks = 4; }) << 2.5 << 0.0;
        QTest::newRow("cas wrong BCC")
            << Protocol::Cas << with([](Faults& f) { f.bWrongBcc = true; }) << 2.5 << -1.0;
        QTest::newRow("cas status U")
            << Protocol::Cas << with([](Faults& f) { f.cStatus = 'U'; }) << 2.5 << 0.0;
        QTest::newRow("cas cut short")
            << Protocol::Cas << with([](Faults& f) { f.nCutAfter = 7; }) << 2.5 << -1.0;
        QTest::newRow("massa") << Protocol::Massa << none << 2.5 << 2.5;
        QTest::newRow("massa negative") << Protocol::Massa << none << -0.75 << 0.0;
        QTest::newRow("massa silent")
            << Protocol::Massa << with([](Faults& f) { f.bSilent = true; }) << 2.5 << -1.0;
        QTest::newRow("massa cut short")
            << Protocol::Massa << with([](Faults& f) { f.nCutAfter = 1; }) << 2.5 << -1.0;
        QTest::newRow("oka") << Protocol::Oka << none << 2.5 << 2.5;
        QTest::newRow("oka silent")
            << Protocol::Oka << with([](Faults& f) { f.bSilent = true; }) << 2.5 << -1.0;
        QTest::newRow("oka cut short")
            << Protocol::Oka << with([](Faults& f) { f.nCutAfter = 17; }) << 2.5 << -1.0;
        QTest::newRow("oka digit above 9")
            << Protocol::Oka << with([](Faults& f) { f.nBadDigit = 3; }) << 2.5 << -1.0;
    }
    void simulatorFaults() {
        QFETCH(Protocol, protocol);
        QFETCH(Faults, faults);
        QFETCH(double, weight);
        QFETCH(double, expected);
        Exchange x(protocol);
        x.sim.SetFaults(faults);
        x.sim.SetWeight(weight);
        QVERIFY(x.Open(protocol));
        QCOMPARE(x.scale->GetWeight(), expected);
    }

    // A reply that comes after its exchange has given up must not be read as the answer to
    // the next request: with Massa-K there is no frame to notice it.
    void lateReplyIsNotTakenForTheNextOne() {
        Exchange x(Protocol::Massa);
        Faults slow;
        slow.nDelayMs = 1300;
        x.sim.SetFaults(slow);
        x.sim.SetWeight(1.234);
        QVERIFY(x.Open(Protocol::Massa));
        QCOMPARE(x.scale->GetWeight(), -1.0);
        x.sim.SetFaults(Faults());
        x.sim.SetWeight(2.0);
        QTest::qWait(600); // the late reply arrives meanwhile
        QCOMPARE(x.scale->GetWeight(), 2.0);
    }

    void closedScaleTouchesNothing_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::newRow("cas") << Protocol::Cas;
        QTest::newRow("massa") << Protocol::Massa;
        QTest::newRow("oka") << Protocol::Oka;
    }
    void closedScaleTouchesNothing() {
        QFETCH(Protocol, protocol);
        Exchange x(protocol);
        QVERIFY(x.Open(protocol));
        x.scale->Close();
        x.scale->Close(); // a second Close does nothing
        QVERIFY(!x.scale->IsOpen());
        QCOMPARE(x.scale->GetWeight(), 0.0);
        x.scale->SetPrice(1250);
        QTest::qWait(100);
        QCOMPARE(x.sim.Received(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TstScaleProtocols)
#include "tst_scaleprotocols.moc"
