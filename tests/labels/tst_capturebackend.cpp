// The capture backend of the test and demo queues runs as root: it writes only into a
// folder that root owns and nobody else can write to, never through a symbolic link, and a
// reader never sees half a job. What the test printers receive stays on this machine and
// with root: the IPP printer listens on loopback only, and no other account reads a job.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kBackend = QStringLiteral("/usr/lib/cups/backend/varnet-jobs");
const QByteArray kJob = "^XA^FDlabel^FS^XZ\n";

// Runs the backend as CUPS would for job 7 with the job on its standard input.
int RunBackend(const QString& folder, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DEVICE_URI"), QStringLiteral("varnet-jobs:") + folder);
    p.setProcessEnvironment(env);
    p.start(kBackend, {QStringLiteral("7"), QStringLiteral("root"), QStringLiteral("Pelgrin"),
                       QStringLiteral("1"), QString()});
    p.write(kJob);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return -1;
    if (err)
        *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitCode();
}

bool AsNobody(const QStringList& command) {
    return QProcess::execute(
               QStringLiteral("runuser"),
               QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--")} +
                   command) == 0;
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCaptureBackend : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_victim;

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(kBackend), "the cups service installs the backend");
        QVERIFY2(::geteuid() == 0, "the backend's checks are about root");
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        m_victim = m_dir.filePath(QStringLiteral("victim"));
        QFile f(m_victim);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("secret\n");
        f.close();
        ::chmod(QFile::encodeName(m_victim).constData(), 0600);
    }

    // The backend of earlier versions, which followed planted links, is gone with its queues
    // once the cups service has started.
    void oldBackendIsGone() {
        QVERIFY(!QFile::exists(QStringLiteral("/usr/lib/cups/backend/varnet-capture")));
        QProcess lpstat;
        lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-v")});
        QVERIFY(lpstat.waitForFinished(30000));
        QVERIFY(!lpstat.readAllStandardOutput().contains("varnet-capture:"));
    }

    // A folder anyone can write to (as the old 0777 one): a user plants a link under the
    // job's name; the backend refuses the folder and the link's target stays as it was.
    void linkPlantedByNobodyIsNotFollowed_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 0777") << 0777;
        QTest::newRow("mode 1777, sticky like /tmp") << 01777;
    }
    void linkPlantedByNobodyIsNotFollowed() {
        QFETCH(int, mode);
        const QString folder = m_dir.filePath(QStringLiteral("open-%1").arg(mode, 0, 8));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)) == 0);
        for (const char* ext : {"prn", "pdf", "ras"})
            QVERIFY(AsNobody({QStringLiteral("ln"), QStringLiteral("-s"), m_victim,
                              folder + QStringLiteral("/job-7-Pelgrin.") + QLatin1String(ext)}));
        QString err;
        QCOMPARE(RunBackend(folder, &err), 1);
        QVERIFY2(err.contains(QLatin1String("owned by root")), qPrintable(err));
        QCOMPARE(Read(m_victim), QByteArray("secret\n"));
        QFileInfo victim(m_victim);
        QCOMPARE(int(victim.permissions() & (QFile::ReadOther | QFile::WriteOther)), 0);
    }

    void foldersThatAreRefused_data() {
        QTest::addColumn<QString>("shape");
        QTest::newRow("owned by nobody") << "nobody";
        QTest::newRow("writable by the group") << "group";
        QTest::newRow("a link to a good folder") << "link";
        QTest::newRow("missing") << "missing";
    }
    void foldersThatAreRefused() {
        QFETCH(QString, shape);
        const QString good = m_dir.filePath(QStringLiteral("good-") + shape);
        QVERIFY(QDir().mkpath(good));
        QString folder = m_dir.filePath(QStringLiteral("bad-") + shape);
        if (shape == QLatin1String("link")) {
            QVERIFY(QFile::link(good, folder));
        } else if (shape != QLatin1String("missing")) {
            QVERIFY(QDir().mkpath(folder));
            if (shape == QLatin1String("nobody"))
                QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
            else
                QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0775) == 0);
        }
        QCOMPARE(RunBackend(folder), 1);
        QVERIFY(QDir(good).entryList(QDir::Files | QDir::Hidden).isEmpty());
        if (shape != QLatin1String("link") && shape != QLatin1String("missing"))
            QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    // In a sound folder the job replaces whatever bears its name, a link included, without
    // writing through it, and no temporary file stays behind.
    // The jobs of the shared queues, and a job the backend stores: another account reads
    // none of them (what a label holds is what the counter sold).
    void jobsAreRootsAlone() {
        const QString shared =
            qEnvironmentVariable("VARNET_CUPS_CAPTURE", QStringLiteral("/var/spool/varnet-jobs"));
        for (const QString& folder :
             {shared, shared + QStringLiteral("/VarnetZPL"), shared + QStringLiteral("-ipp")}) {
            QFileInfo info(folder);
            QVERIFY2(info.isDir() && !info.isSymLink(), qPrintable(folder));
            QCOMPARE(info.ownerId(), 0u);
            QCOMPARE(int(info.permissions() &
                         (QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)),
                     0);
        }
        const QString folder = m_dir.filePath(QStringLiteral("closed"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        QCOMPARE(RunBackend(folder), 0);
        const QString job = folder + QStringLiteral("/job-7-Pelgrin.prn");
        QCOMPARE(Read(job), kJob);
        QCOMPARE(int(QFileInfo(job).permissions() & (QFile::ReadGroup | QFile::ReadOther)), 0);
        // Even in a folder others may enter.
        QVERIFY(!AsNobody({QStringLiteral("cat"), job}));
    }

    // The IPP printer of the tests answers on loopback and nowhere else.
    void ippPrinterListensOnLoopbackOnly() {
        QProcess ss;
        ss.start(QStringLiteral("ss"), {QStringLiteral("-Hltn"), QStringLiteral("sport = :8631")});
        QVERIFY(ss.waitForFinished(30000));
        const QStringList lines =
            QString::fromLatin1(ss.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(!lines.isEmpty(), "nothing listens on port 8631");
        for (const QString& line : lines) {
            const QString local = line.simplified().section(QLatin1Char(' '), 3, 3);
            QVERIFY2(local.startsWith(QLatin1String("127.0.0.1:")) ||
                         local.startsWith(QLatin1String("[::1]:")),
                     qPrintable(line));
        }
    }

    void soundFolderStoresTheJob() {
        const QString folder = m_dir.filePath(QStringLiteral("sound"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        const QString job = folder + QStringLiteral("/job-7-Pelgrin.prn");
        QVERIFY(QFile::link(m_victim, job));
        QCOMPARE(RunBackend(folder), 0);
        QCOMPARE(Read(m_victim), QByteArray("secret\n"));
        QVERIFY(!QFileInfo(job).isSymLink());
        QCOMPARE(Read(job), kJob);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{QStringLiteral("job-7-Pelgrin.prn")});
    }
};

QTEST_GUILESS_MAIN(TestCaptureBackend)
#include "tst_capturebackend.moc"
