// The installers' diagnostic varnet-scale and the simulator program varnet-scale-sim, run as
// the programs they are; a port an ordinary account may not open is explained by the
// device's owner, group and mode.
#include "app/varnetapp.h"
#include "scales/scalefactory.h"
#include "simulatedscale.h"
#include "support/messagerecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using Protocol = CScaleSimulator::Protocol;
Q_DECLARE_METATYPE(Protocol)

namespace {

// The programs of this build: CTest names the build folder; run by hand, the test lies in
// its tests/ folder.
QString Program(const char* name) {
    QString build = qEnvironmentVariable("VARNET_BINARY_DIR");
    if (build.isEmpty())
        build = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    return build + QStringLiteral("/bin/") + QLatin1String(name);
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// prefix, when given, runs the tool through it (setpriv as another account).
Run RunScaleTool(const QStringList& args, int timeoutMs = 30000,
                 const QStringList& prefix = QStringList()) {
    QProcess p;
    if (prefix.isEmpty())
        p.start(Program("varnet-scale"), args);
    else
        p.start(prefix.first(), prefix.mid(1) + QStringList{Program("varnet-scale")} + args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TstScaleTools : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void diagnostic_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("cas") << Protocol::Cas << "cas" << false
                             << QByteArray("1.234\n0.500\n0.500\n");
        QTest::newRow("massa") << Protocol::Massa << "massa" << false
                               << QByteArray("1.234\n0.500\n0.500\n");
        QTest::newRow("oka") << Protocol::Oka << "oka" << false
                             << QByteArray("1.234\n0.500\n0.500\n");
        QTest::newRow("mtsics") << Protocol::MtSics << "mtsics" << false
                                << QByteArray("1.234\n0.500\n0.500\n");
        // An indicator talks from the start: its first line has gone before anyone listens.
        QTest::newRow("continuous")
            << Protocol::Continuous << "continuous" << false << QByteArray("0.500\n0.500\n0.500\n");
        QTest::newRow("cas silent: nothing to weigh")
            << Protocol::Cas << "cas" << true << QByteArray("0.000\n0.000\n0.000\n");
        QTest::newRow("oka silent: no reading")
            << Protocol::Oka << "oka" << true << QByteArray("-1.000\n-1.000\n-1.000\n");
    }
    void diagnostic() {
        QFETCH(Protocol, protocol);
        QFETCH(QString, name);
        QFETCH(bool, silent);
        QFETCH(QByteArray, expected);
        CScaleSimulator sim(protocol);
        sim.SetWeights({1.234, 0.5});
        CScaleSimulator::Faults faults;
        faults.bSilent = silent;
        sim.SetFaults(faults);
        QVERIFY(sim.Start());
        const Run r = RunScaleTool(
            {"--protocol", name, "--device", sim.DevicePath(), "--count", "3", "--price", "1250"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, expected);
        if (protocol == Protocol::Oka) {
            QCOMPARE(sim.Prices(), std::vector<unsigned int>{1250});
            QVERIFY(sim.Received().startsWith(QByteArray(17, '\0') + '\x02'));
        } else {
            QVERIFY(r.err.contains(QLatin1String("no price display")));
        }
    }

    // A continuous-output indicator set to 2400 baud: read at that speed with --baud; the
    // older protocols have fixed settings and refuse it.
    void diagnosticBaud() {
        CScaleSimulator sim(Protocol::Continuous);
        sim.SetBaudRate(2400);
        sim.SetWeight(0.75);
        QVERIFY(sim.Start());
        Run r = RunScaleTool({"--protocol", "continuous", "--device", sim.DevicePath(), "--baud",
                              "2400", "--count", "2"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("0.750\n0.750\n"));
        r = RunScaleTool({"--protocol", "continuous", "--device", sim.DevicePath()});
        QCOMPARE(r.out, QByteArray("-1.000\n")); // at its usual 9600 it hears only noise
        r = RunScaleTool({"--protocol", "cas", "--device", sim.DevicePath(), "--baud", "2400"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QLatin1String("usage:")));
    }

    // The scale finder names the protocol first on its line, and the settings lines; a
    // silent port says so. Each within ten seconds.
    void detect_data() {
        QTest::addColumn<int>("protocol"); // -1: a pseudo-terminal nobody answers on
        QTest::addColumn<int>("baud");
        QTest::addColumn<QByteArray>("expected");
        // The settings lines with every line setting, then the link the counter needs.
        const auto found = [](const char* first, const char* lines) {
            return QByteArray(first) + " answered on DEVICE, weight 0.512 kg\n" +
                   "Put in Varnet.ini:\n[Scale]\nRS232Port=1\n" + lines +
                   "and make the link: ln -sfn DEVICE BIN/COM1\n";
        };
        QTest::newRow("cas") << int(Protocol::Cas) << 0
                             << found("cas 9600 8N1",
                                      "Type=3\nBaudRate=9600\nParity=N\nDataBits=8\nStopBits=1\n");
        QTest::newRow("massa") << int(Protocol::Massa) << 0
                               << found("massa 4800 8E1", "Type=2\nBaudRate=4800\nParity=E\n"
                                                          "DataBits=8\nStopBits=1\n");
        QTest::newRow("oka") << int(Protocol::Oka) << 0
                             << found("oka 4800 8E2",
                                      "Type=1\nBaudRate=4800\nParity=E\nDataBits=8\nStopBits=2\n");
        QTest::newRow("mtsics") << int(Protocol::MtSics) << 0
                                << found("mtsics 9600 8N1", "Type=4\nBaudRate=9600\nParity=N\n"
                                                            "DataBits=8\nStopBits=1\n");
        QTest::newRow("continuous")
            << int(Protocol::Continuous) << 0
            << found("continuous 9600 8N1",
                     "Type=5\nBaudRate=9600\nParity=N\nDataBits=8\nStopBits=1\n");
        QTest::newRow("continuous at 2400")
            << int(Protocol::Continuous) << 2400
            << found("continuous 2400 8N1",
                     "Type=5\nBaudRate=2400\nParity=N\nDataBits=8\nStopBits=1\n");
        QTest::newRow("silent port") << -1 << 0 << QByteArray("nothing answered on DEVICE\n");
    }
    void detect() {
        QFETCH(int, protocol);
        QFETCH(int, baud);
        QFETCH(QByteArray, expected);
        CScaleSimulator sim(protocol < 0 ? Protocol::Cas : static_cast<Protocol>(protocol));
        sim.SetWeight(0.512);
        if (baud)
            sim.SetBaudRate(baud);
        CScaleSimulator::Faults faults;
        faults.bSilent = protocol < 0;
        sim.SetFaults(faults);
        QVERIFY(sim.Start());
        const Run r = RunScaleTool({"--detect", "--device", sim.DevicePath()}, 10000);
        QVERIFY2(r.exitCode >= 0, "no answer within ten seconds");
        QCOMPARE(r.exitCode, protocol < 0 ? 3 : 0);
        QCOMPARE(r.out,
                 QByteArray(expected)
                     .replace("DEVICE", QFile::encodeName(sim.DevicePath()))
                     .replace("BIN", QFile::encodeName(
                                         QFileInfo(Program("varnet-scale")).absolutePath())));
        // Nothing but weight requests went to the scale.
        if (protocol == int(Protocol::MtSics))
            QCOMPARE(sim.Received(), QByteArray("SI\r\n"));
    }

    // Without a device the finder tries every serial device present (here under a folder
    // that stands for /dev: three terminals, one with a scale behind a stable name), and the
    // lines it prints, saved with the link, make a counter read that scale.
    void detectAmongDevices() {
        QTemporaryDir devDir;
        const auto devFile = [&devDir](const char* name) {
            return devDir.path() + QLatin1Char('/') + QLatin1String(name);
        };
        CScaleSimulator quiet1(Protocol::Cas), quiet2(Protocol::Cas);
        CScaleSimulator scale(Protocol::MtSics);
        CScaleSimulator::Faults silent;
        silent.bSilent = true;
        quiet1.SetFaults(silent);
        quiet2.SetFaults(silent);
        scale.SetWeight(0.734);
        QVERIFY(quiet1.Start() && quiet2.Start() && scale.Start());
        QVERIFY(QDir().mkpath(devFile("serial/by-id")));
        QVERIFY(quiet1.LinkAs(devFile("ttyUSB0")));
        QVERIFY(quiet2.LinkAs(devFile("ttyUSB1")));
        QVERIFY(scale.LinkAs(devFile("ttyACM0")));
        const QString stable = devFile("serial/by-id/usb-Mettler_Scale-if00");
        QVERIFY(QFile::link(devFile("ttyACM0"), stable));
        const Run r = RunScaleTool({"--detect", "--dev-root", devDir.path()}, 60000);
        QCOMPARE(r.exitCode, 0);
        const QString out = QString::fromUtf8(r.out);
        QVERIFY2(out.startsWith(QStringLiteral("mtsics 9600 8N1 answered on %1").arg(stable)),
                 qPrintable(out + r.err));
        const QStringList lines = out.split(QLatin1Char('\n'));
        const qsizetype from = lines.indexOf(QStringLiteral("[Scale]"));
        QVERIFY(from > 0);
        QStringList settings;
        for (qsizetype i = from + 1; i < lines.size() && lines[i].contains(QLatin1Char('=')); ++i)
            settings << lines[i];
        QVERIFY(settings.contains(QStringLiteral("Type=4")));
        QVERIFY(settings.contains(QStringLiteral("RS232Port=1")));
        QVERIFY(out.contains(QStringLiteral("ln -sfn %1 ").arg(stable)));

        // Saved in a counter folder with the link, they make the counter read the scale.
        TestModuleDir counter;
        QFile ini(counter.File(QStringLiteral("Varnet.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Scale]\n" + settings.join(QLatin1Char('\n')).toUtf8() + "\n");
        ini.close();
        QVERIFY(QFile::link(stable, counter.File(QStringLiteral("COM1"))));
        CVarnetApp app;
        app.LoadSettings();
        const AppSettings& loaded = app.m_settings;
        QCOMPARE(loaded.Type, 4);
        ScaleLine line;
        line.nBaudRate = loaded.BaudRate;
        line.nParity = loaded.Parity;
        line.nByteSize = loaded.DataBits;
        line.nStopBits = loaded.StopBits;
        const std::unique_ptr<IScale> read =
            CreateScale(loaded.Type, static_cast<unsigned>(loaded.RS232Port), line);
        QVERIFY(read && read->Open());
        QCOMPARE(read->GetWeight(), 0.734);
    }

    void diagnosticFailures_data() {
        QTest::addColumn<QString>("device"); // "sim": the simulator's, held by another opener
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing port")
            << "/dev/ttyS199" << 2 << "Ошибка открытия порта /dev/ttyS199: нет такого устройства";
        QTest::newRow("busy port") << "sim" << 2 << "порт занят другой программой";
        QTest::newRow("no device given") << "" << 1 << "usage:";
    }
    void diagnosticFailures() {
        QFETCH(QString, device);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        TestModuleDir dir;
        CScaleSimulator sim(Protocol::Massa);
        QVERIFY(LinkSimulator(sim, dir, 1));
        const std::unique_ptr<IScale> holder = CreateScale(kScaleMassa, 1);
        QVERIFY(holder->Open());
        QStringList args{"--protocol", "massa"};
        if (!device.isEmpty())
            args << "--device" << (device == QLatin1String("sim") ? sim.DevicePath() : device);
        const Run r = RunScaleTool(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QCOMPARE(r.out, QByteArray());
    }

    // A terminal this account may not open. The message names who may (owner, group, mode),
    // and says that the account lacks the group dialout only where that is the cause: a
    // device of that group, an account outside it (or put in it after it logged in).
    void portClosedToTheAccount_data() {
        QTest::addColumn<QString>("group"); // the device's
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("as"); // setpriv's account and groups
        QTest::addColumn<QString>("reason");
        const QStringList nobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        const QStringList op{"--reuid=varnet-operator", "--regid=varnet-operator"};
        QTest::newRow("dialout device, account outside dialout")
            << "dialout" << 0660 << nobody
            << "нет доступа (владелец root, группа dialout, права crw-rw----; учётная запись не "
               "в группе dialout)";
        QTest::newRow("dialout device, account put in dialout after it logged in")
            << "dialout" << 0660 << (op + QStringList{"--clear-groups"})
            << "нет доступа (владелец root, группа dialout, права crw-rw----; учётная запись "
               "включена в группу dialout после входа в систему: войдите в систему заново)";
        QTest::newRow("dialout device closed to its group")
            << "dialout" << 0600 << (op + QStringList{"--init-groups"})
            << "нет доступа (владелец root, группа dialout, права crw-------)";
        QTest::newRow("device of another group")
            << "tty" << 0620 << (op + QStringList{"--init-groups"})
            << "нет доступа (владелец root, группа tty, права crw--w----)";
    }
    void portClosedToTheAccount() {
        QFETCH(QString, group);
        QFETCH(int, mode);
        QFETCH(QStringList, as);
        QFETCH(QString, reason);
        if (::geteuid() != 0)
            QSKIP("giving a terminal away and running as another account needs root");
        // The tests' operator accounts (varnet-operator, in dialout), made once per machine.
        QCOMPARE(QProcess::execute(QStringLiteral("bash"),
                                   {QStringLiteral("-c"),
                                    QStringLiteral("source \"$0\" && ensure_operator"),
                                    qEnvironmentVariable("VARNET_SOURCE_DIR") +
                                        QStringLiteral("/tests/package/testuser.sh")}),
                 0);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QByteArray device = ::ptsname(master);
        const struct group* gr = ::getgrnam(group.toLatin1().constData());
        QVERIFY(gr);
        QCOMPARE(::chown(device.constData(), 0, gr->gr_gid), 0);
        QCOMPARE(::chmod(device.constData(), mode_t(mode)), 0);
        const Run r = RunScaleTool({"--protocol", "cas", "--device", QString::fromLatin1(device)},
                                   30000, QStringList{QStringLiteral("setpriv")} + as);
        ::close(master);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("Ошибка открытия порта %1: %2")
                                    .arg(QString::fromLatin1(device), reason)),
                 qPrintable(r.err));
    }

    // The simulator program's commands for the text families: an unstable run, busy, a
    // unit of its own, its line speed.
    void simulatorProgramTextFamily() {
        TestModuleDir dir;
        QProcess sim;
        sim.start(Program("varnet-scale-sim"),
                  {"--protocol", "mtsics", "--link-dir", dir.Path(), "--port", "4"});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY(sim.canReadLine());
        QVERIFY(sim.readLine().startsWith("device /dev/pts/"));
        QTRY_VERIFY(sim.canReadLine());
        sim.readLine();

        MessageRecorder messages;
        const std::unique_ptr<IScale> scale = CreateScale(kScaleMtSics, 4);
        QVERIFY(scale->Open());
        sim.write("readings 0.3:D 0.6:D 0.512:S\n");
        QTRY_COMPARE(scale->GetWeight(), 0.512); // after the moving readings, which gave 0
        sim.write("readings 0.512:I\n");         // busy
        QTRY_COMPARE(scale->GetWeight(), 0.0);
        sim.write("normal\nunit g\n1.5\n");
        QTRY_COMPARE(scale->GetWeight(), 1.5);
        sim.write("baud 4800\n");
        QTRY_COMPARE(scale->GetWeight(), -1.0); // not heard at 9600 any more
        scale->Close();
        QCOMPARE(messages.Texts(), QStringList());
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
    }

    void simulatorProgram() {
        TestModuleDir dir;
        const QString priceLog = dir.File(QStringLiteral("prices.txt"));
        QProcess sim;
        sim.start(Program("varnet-scale-sim"),
                  {"--protocol", "oka", "--weight", "0.25", "--link-dir", dir.Path(), "--port", "3",
                   "--price-log", priceLog});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY(sim.canReadLine());
        QVERIFY(sim.readLine().startsWith("device /dev/pts/"));
        QTRY_VERIFY(sim.canReadLine());
        QCOMPARE(sim.readLine(), "link " + QFile::encodeName(dir.File("COM3")) + "\n");

        MessageRecorder messages;
        const std::unique_ptr<IScale> scale = CreateScale(kScaleOka, 3);
        QVERIFY(scale->Open());
        QCOMPARE(scale->GetWeight(), 0.25);
        sim.write("1.5\n");
        QTRY_COMPARE(scale->GetWeight(), 1.5);
        sim.write("digit 2\n");
        QTRY_COMPARE(scale->GetWeight(), -1.0);
        sim.write("normal\n");
        QTRY_COMPARE(scale->GetWeight(), 1.5);
        scale->SetPrice(4321);
        QTRY_VERIFY(sim.canReadLine());
        QCOMPARE(sim.readLine(), QByteArray("price 004321\n"));
        QFile log(priceLog);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("price 004321\n"));
        scale->Close();

        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(dir.File("COM3")).isSymLink());
        QCOMPARE(messages.Texts(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TstScaleTools)
#include "tst_scaletools.moc"
