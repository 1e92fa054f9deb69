// The installers' diagnostic varnet-scale and the simulator program varnet-scale-sim, run as
// the programs they are.
#include "scales/scalefactory.h"
#include "simulatedscale.h"
#include "support/messagerecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

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

Run RunScaleTool(const QStringList& args) {
    QProcess p;
    p.start(Program("varnet-scale"), args);
    Run r;
    if (!p.waitForFinished(30000))
        return r;
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

    void diagnosticFailures_data() {
        QTest::addColumn<QString>("device"); // "sim": the simulator's, held by another opener
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing port")
            << "/dev/ttyS199" << 2 << "Ошибка открытия порта - no such device";
        QTest::newRow("busy port") << "sim" << 2 << "Ошибка открытия порта - the port is busy";
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
