// The scale's serial port: which device a port number names, exclusive opening, the line
// settings, the port error messages, single-byte reads under their time-out, and a device
// that disappears while open.
#include "platform/serialport.h"
#include "scales/scalefactory.h"
#include "simulatedscale.h"
#include "support/messagerecorder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using Protocol = CScaleSimulator::Protocol;
Q_DECLARE_METATYPE(Protocol)

namespace {

// Reaches the port operations the protocols are built on.
class CProbeScale : public IScale {
public:
    using IScale::ReadBytes;
    using IScale::SetReadTimeouts;
    using IScale::WriteBytes;
    double GetWeight() override { return 0.0; }
    void SetPrice(unsigned int) override {}

protected:
    std::size_t ExchangeBytes() const override { return 15; }
};

const QString kTimeoutError = QStringLiteral("Ошибка установки тайм-аута");

} // namespace

class TstScalePort : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deviceForPortNumber_data() {
        QTest::addColumn<QString>("entry"); // what lies beside the program as COM3
        QTest::addColumn<QString>("expected");
        QTest::newRow("no COM3 entry") << QString() << "/dev/ttyS2";
        QTest::newRow("link") << "link"
                              << "DIR/COM3";
        QTest::newRow("link whose target is gone") << "dangling"
                                                   << "DIR/COM3";
    }
    void deviceForPortNumber() {
        QFETCH(QString, entry);
        QFETCH(QString, expected);
        TestModuleDir dir;
        const QByteArray link = QFile::encodeName(dir.File(QStringLiteral("COM3")));
        if (entry == QLatin1String("link"))
            QCOMPARE(::symlink("/dev/null", link.constData()), 0);
        if (entry == QLatin1String("dangling"))
            QCOMPARE(::symlink("/dev/pts/no-such-terminal", link.constData()), 0);
        QCOMPARE(platform::SerialDeviceForPort(3), QString(expected).replace("DIR", dir.Path()));
    }

    // A port keeps to the COM<N> link it was opened through: with the link gone it fails
    // as missing, named by the link, and never falls back to /dev/ttyS<N-1>. A port that
    // never had a link is /dev/ttyS<N-1>. (Port 200: no ttyS199 here to be opened.)
    void linkThatVanishes_data() {
        QTest::addColumn<bool>("linkedFirst");
        QTest::addColumn<QString>("named");
        QTest::newRow("link seen, then gone") << true << "нет ссылки";
        QTest::newRow("never a link") << false << "/dev/ttyS199";
    }
    void linkThatVanishes() {
        QFETCH(bool, linkedFirst);
        QFETCH(QString, named);
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Cas);
        const std::unique_ptr<IScale> scale = CreateScale(kScaleCas, 200);
        if (linkedFirst) {
            QVERIFY(LinkSimulator(sim, dir, 200));
            QVERIFY(scale->Open());
            scale->Close();
            QVERIFY(QFile::remove(dir.File(QStringLiteral("COM200"))));
        }
        MessageRecorder messages;
        QVERIFY(!scale->Open());
        QCOMPARE(
            messages.Texts(),
            QStringList{QStringLiteral("Ошибка открытия порта COM200 (%1): нет такого устройства")
                            .arg(named)});
        QCOMPARE(scale->KeepsToLink(), linkedFirst);
    }

    void portZeroOpensNothing() {
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Massa);
        QVERIFY(LinkSimulator(sim, dir, 0)); // even a COM0 entry is never looked at
        MessageRecorder messages;
        const std::unique_ptr<IScale> scale = CreateScale(kScaleMassa, 0);
        QVERIFY(!scale->Open());
        QVERIFY(!scale->IsOpen());
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(scale->GetWeight(), 0.0);
        // The low 8 bits are the port number: 256 is port 0.
        QCOMPARE(CreateScale(kScaleMassa, 256)->m_nPortNumber, std::uint8_t(0));
    }

    void openFailures_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("byteSize");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<QString>("message");
        // DEV: the device behind COM200; DIR: the counter folder.
        const QString missing =
            QStringLiteral("Ошибка открытия порта COM200 (%1): нет такого устройства");
        const QString init = QStringLiteral(
            "Ошибка инициализации порта COM200 (DEV): порт не поддерживает эти установки");
        QTest::newRow("no such device")
            << "none" << 9600 << 0 << 8 << 0 << missing.arg(QStringLiteral("/dev/ttyS199"));
        QTest::newRow("link whose target is gone")
            << "dangling" << 9600 << 0 << 8 << 0
            << missing.arg(QStringLiteral("/dev/pts/no-such-terminal"));
        QTest::newRow("not a terminal")
            << "file" << 9600 << 0 << 8 << 0
            << "Ошибка открытия порта COM200 (DIR/COM200): это не последовательный порт";
        QTest::newRow("speed the port cannot run") << "sim" << 12345 << 0 << 8 << 0 << init;
        QTest::newRow("parity code 5") << "sim" << 9600 << 5 << 8 << 0 << init;
        QTest::newRow("9 data bits") << "sim" << 9600 << 0 << 9 << 0 << init;
        QTest::newRow("stop bit code 3") << "sim" << 9600 << 0 << 8 << 3 << init;
    }
    void openFailures() {
        QFETCH(QString, entry);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, byteSize);
        QFETCH(int, stopBits);
        QFETCH(QString, message);
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Cas);
        const QByteArray link = QFile::encodeName(dir.File(QStringLiteral("COM200")));
        if (entry == QLatin1String("sim"))
            QVERIFY(LinkSimulator(sim, dir, 200));
        if (entry == QLatin1String("dangling"))
            QCOMPARE(::symlink("/dev/pts/no-such-terminal", link.constData()), 0);
        if (entry == QLatin1String("file"))
            dir.Write(QStringLiteral("COM200"), "not a port");
        // "none": port 200 is /dev/ttyS199, which no machine has.

        CProbeScale scale;
        scale.m_nPortNumber = 200;
        scale.m_nBaudRate = static_cast<std::uint32_t>(baud);
        scale.m_nParity = static_cast<std::uint8_t>(parity);
        scale.m_nByteSize = static_cast<std::uint8_t>(byteSize);
        scale.m_nStopBits = static_cast<std::uint8_t>(stopBits);
        MessageRecorder messages;
        QVERIFY(!scale.Open());
        QVERIFY(!scale.IsOpen());
        QCOMPARE(messages.Texts(), QStringList{QString(message)
                                                   .replace(QStringLiteral("DEV"), sim.DevicePath())
                                                   .replace(QStringLiteral("DIR"), dir.Path())});
        if (entry == QLatin1String("sim")) {
            // The failed open released the device: the right settings open it now.
            scale.m_nBaudRate = 9600;
            scale.m_nParity = 0;
            scale.m_nByteSize = 8;
            scale.m_nStopBits = 0;
            QVERIFY(scale.Open());
        }
    }

    void portHeldByAnotherOpener() {
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Cas);
        sim.SetWeight(1.5);
        QVERIFY(LinkSimulator(sim, dir, 1));
        MessageRecorder messages;
        auto first = CreateScale(kScaleCas, 1);
        auto second = CreateScale(kScaleCas, 1);
        QVERIFY(first->Open());
        QVERIFY(!second->Open());
        const QString busy =
            QStringLiteral("Ошибка открытия порта COM1 (%1): порт занят другой программой")
                .arg(sim.DevicePath());
        QCOMPARE(messages.Texts(), QStringList{busy});
        // The failed open left the holder's exclusive flag on the terminal: a third program
        // is still kept out (root gets past the flag, but can see it).
        const QByteArray device = QFile::encodeName(sim.DevicePath());
        const int probe = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (probe >= 0) {
            int exclusive = 0;
            QCOMPARE(::ioctl(probe, TIOCGEXCL, &exclusive), 0);
            ::close(probe);
            QCOMPARE(exclusive, 1);
        } else {
            QCOMPARE(errno, EBUSY);
        }
        QCOMPARE(first->GetWeight(), 1.5);
        // Opening again closes and reopens: the scale does not lock itself out.
        QVERIFY(first->Open());
        QCOMPARE(first->GetWeight(), 1.5);
        // Destruction without Close releases the port as well.
        first.reset();
        QVERIFY(second->Open());
        QCOMPARE(second->GetWeight(), 1.5);
        QCOMPARE(messages.Texts(), QStringList{busy});
    }

    void lineSettings_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<int>("speed");
        QTest::newRow("OKA") << int(kScaleOka) << Protocol::Oka << int(B4800);
        QTest::newRow("Massa-K") << int(kScaleMassa) << Protocol::Massa << int(B4800);
        QTest::newRow("CAS") << int(kScaleCas) << Protocol::Cas << int(B9600);
    }
    void lineSettings() {
        QFETCH(int, type);
        QFETCH(Protocol, protocol);
        QFETCH(int, speed);
        TestModuleDir dir;
        CScaleSimulator sim(protocol);
        QVERIFY(LinkSimulator(sim, dir, 1));
        // Something else left the terminal cooked and echoing.
        termios tio{};
        QVERIFY(sim.LineSettings(tio));
        tio.c_lflag |= ICANON | ECHO | ISIG;
        tio.c_oflag |= OPOST;
        tio.c_iflag |= ICRNL | IXON;
        QVERIFY(sim.SetLineSettings(tio));

        const std::unique_ptr<IScale> scale = CreateScale(type, 1);
        QVERIFY(scale->Open());
        QVERIFY(sim.LineSettings(tio));
        QCOMPARE(int(::cfgetospeed(&tio)), speed);
        QCOMPARE(int(::cfgetispeed(&tio)), speed);
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), tcflag_t(0));
        QCOMPARE(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(tio.c_cflag & CRTSCTS, tcflag_t(0));
        scale->GetWeight();
        QVERIFY(sim.LineSettings(tio));
        QCOMPARE(int(tio.c_cc[VMIN]), 0);
        QCOMPARE(int(tio.c_cc[VTIME]), 10);
    }

    void readBytes_data() {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("replyBytes");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("waits"); // the last read ran into its time-out
        QTest::newRow("whole reply") << false << 15 << 15 << false;
        QTest::newRow("7 of 15") << false << 7 << 7 << true;
        QTest::newRow("silent device") << true << 15 << 0 << true;
    }
    void readBytes() {
        QFETCH(bool, silent);
        QFETCH(int, replyBytes);
        QFETCH(int, expected);
        QFETCH(bool, waits);
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Cas);
        CScaleSimulator::Faults faults;
        faults.bSilent = silent;
        sim.SetFaults(faults);
        sim.SetReply(CasRecord('S', "  1.234").left(replyBytes));
        QVERIFY(LinkSimulator(sim, dir, 1));
        CProbeScale scale;
        scale.m_nPortNumber = 1;
        QVERIFY(scale.Open());
        QVERIFY(scale.SetReadTimeouts());
        const std::uint8_t dc1 = 0x11;
        QVERIFY(scale.WriteBytes(&dc1, 1));
        std::uint8_t buffer[16] = {};
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(int(scale.ReadBytes(buffer, 15)), expected);
        // A lower bound only: the read must have waited for the byte that did not come.
        if (waits)
            QVERIFY2(timer.elapsed() >= 950, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer), expected),
                 CasRecord('S', "  1.234").left(expected));
    }

    // An adapter pulled out while open: every exchange fails at once; the time-out error is
    // shown once for the whole failure, not once per exchange.
    void deviceGoneWhileOpen_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<double>("expected");
        QTest::newRow("OKA") << int(kScaleOka) << Protocol::Oka << -1.0;
        QTest::newRow("Massa-K") << int(kScaleMassa) << Protocol::Massa << -1.0;
        QTest::newRow("CAS") << int(kScaleCas) << Protocol::Cas << 0.0;
    }
    void deviceGoneWhileOpen() {
        QFETCH(int, type);
        QFETCH(Protocol, protocol);
        QFETCH(double, expected);
        TestModuleDir dir;
        CScaleSimulator sim(protocol);
        sim.SetWeight(0.5);
        QVERIFY(LinkSimulator(sim, dir, 1));
        const std::unique_ptr<IScale> scale = CreateScale(type, 1);
        QVERIFY(scale->Open());
        QCOMPARE(scale->GetWeight(), 0.5);
        sim.Stop();
        MessageRecorder messages;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(scale->GetWeight(), expected);
        scale->SetPrice(1250); // ignored failure
        QCOMPARE(messages.Texts().size(), 1);
        // The step, the port with its device, and the system's reason.
        QVERIFY2(messages.Texts()[0].startsWith(
                     QStringLiteral("%1 порта COM1 (%2): ").arg(kTimeoutError, sim.DevicePath())),
                 qPrintable(messages.Texts()[0]));
        QVERIFY(scale->PortLost());
        // Failing reads end at once instead of waiting out a second each.
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        scale->Close();
        QVERIFY(!scale->IsOpen());
    }
};

QTEST_GUILESS_MAIN(TstScalePort)
#include "tst_scaleport.moc"
