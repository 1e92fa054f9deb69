#include "support/privatecups.h"

#include "support/driverdots.h"
#include "support/printcapture.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

#include <cups/cups.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool Write(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}
} // namespace

PrivateScheduler::PrivateScheduler() = default;

PrivateScheduler::~PrivateScheduler() {
    Stop();
    cupsSetServer(nullptr);
    qunsetenv("CUPS_SERVER");
}

QString PrivateScheduler::Socket() const {
    return m_dir.filePath(QStringLiteral("cups.sock"));
}

QString PrivateScheduler::CaptureFolder() const {
    return m_dir.filePath(QStringLiteral("capture"));
}

bool PrivateScheduler::Start(QString* error) {
    const QDir d(m_dir.path());
    for (const char* sub : {"etc/ppd", "spool/tmp", "cache", "state", "log", "capture"})
        d.mkpath(QString::fromLatin1(sub));
    ::chmod(QFile::encodeName(d.path()).constData(), 0755);
    ::chmod(QFile::encodeName(CaptureFolder()).constData(), 0700);
    const QByteArray root = QFile::encodeName(d.path());
    if (!Write(d.filePath(QStringLiteral("etc/cupsd.conf")),
               "Listen " + QFile::encodeName(Socket()) +
                   "\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                   // Job states reach the disk at once, so a killed scheduler comes back
                   // with what it last answered.
                   "DirtyCleanInterval 0\n"
                   "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n") ||
        !Write(d.filePath(QStringLiteral("etc/cups-files.conf")),
               "ServerRoot " + root + "/etc\nRequestRoot " + root + "/spool\nTempDir " + root +
                   "/spool/tmp\nCacheDir " + root + "/cache\nStateDir " + root +
                   "/state\nErrorLog " + root + "/log/error_log\nAccessLog " + root +
                   "/log/access_log\nPageLog " + root + "/log/page_log\n")) {
        *error = QStringLiteral("cannot write the scheduler's configuration");
        return false;
    }
    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd.start(QStringLiteral("/usr/sbin/cupsd"),
                  {QStringLiteral("-f"), QStringLiteral("-c"),
                   d.filePath(QStringLiteral("etc/cupsd.conf")), QStringLiteral("-s"),
                   d.filePath(QStringLiteral("etc/cups-files.conf"))});
    if (!m_cupsd.waitForStarted(10000)) {
        *error = QStringLiteral("cupsd did not start: %1").arg(m_cupsd.errorString());
        return false;
    }
    qputenv("CUPS_SERVER", QFile::encodeName(Socket()));
    cupsSetServer(QFile::encodeName(Socket()).constData());
    for (int i = 0; i < 100; ++i) {
        QString out;
        if (Run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, nullptr, &out) &&
            out.contains(QLatin1String("is running")))
            return true;
        QThread::msleep(100);
    }
    *error = QStringLiteral("the private scheduler does not answer: %1")
                 .arg(QString::fromLocal8Bit(m_cupsd.readAll()));
    return false;
}

void PrivateScheduler::Stop() {
    if (m_cupsd.state() == QProcess::NotRunning)
        return;
    m_cupsd.terminate();
    if (!m_cupsd.waitForFinished(10000)) {
        m_cupsd.kill();
        m_cupsd.waitForFinished(5000);
    }
}

void PrivateScheduler::Kill() {
    if (m_cupsd.state() == QProcess::NotRunning)
        return;
    m_cupsd.kill();
    m_cupsd.waitForFinished(5000);
}

bool PrivateScheduler::Run(const QString& tool, const QStringList& args, QString* error,
                           QString* output) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), Socket());
    p.setProcessEnvironment(env);
    p.start(tool, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("%1 %2: %3")
                         .arg(tool, args.join(QLatin1Char(' ')),
                              QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAllStandardOutput());
    return true;
}

bool PrivateScheduler::AddZebraQueue(const QString& name, QString* error, const QString& folder) {
    const QString uri =
        QStringLiteral("varnet-jobs:") + (folder.isEmpty() ? CaptureFolder() : folder);
    return Run(QStringLiteral("lpadmin"),
               {QStringLiteral("-p"), name, QStringLiteral("-v"), uri, QStringLiteral("-m"),
                QStringLiteral("drv:///sample.drv/zebra.ppd"), QStringLiteral("-E")},
               error) &&
           Run(QStringLiteral("lpadmin"),
               {QStringLiteral("-p"), name, QStringLiteral("-o"),
                QStringLiteral("PageSize=Custom.58x40mm"), QStringLiteral("-o"),
                QStringLiteral("printer-error-policy=abort-job")},
               error);
}

QStringList PrivateScheduler::CapturedJobs() const {
    return QDir(CaptureFolder()).entryList({QStringLiteral("job-*")}, QDir::Files, QDir::Name);
}

QString PrivateScheduler::LastJobBarcode() const {
    const QStringList jobs = CapturedJobs();
    if (jobs.isEmpty())
        return QStringLiteral("no job captured");
    QFile f(CaptureFolder() + QLatin1Char('/') + jobs.last());
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(f.fileName());
    QString error;
    const QImage dots = driverdots::DecodeZpl(f.readAll(), &error);
    return dots.isNull() ? error : printcapture::ReadBarcode(dots);
}
