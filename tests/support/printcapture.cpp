#include "support/printcapture.h"

#include "support/driverdots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace printcapture {

namespace {
QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

QString Queue() {
    return qEnvironmentVariable("VARNET_CUPS_QUEUE", QStringLiteral("VarnetPDF"));
}

QString Folder() {
    return qEnvironmentVariable("VARNET_CUPS_CAPTURE", QStringLiteral("/var/spool/varnet-jobs"));
}

QString Folder(const QString& queue) {
    if (queue == Queue())
        return Folder();
    if (queue == QLatin1String(kIpp))
        return Folder() + QStringLiteral("-ipp");
    return QDir(Folder()).filePath(queue);
}

QStringList Jobs() {
    return Jobs(Queue());
}

QStringList Jobs(const QString& queue) {
    const bool ipp = queue == QLatin1String(kIpp);
    const QStringList pattern = ipp                ? QStringList{QStringLiteral("*.pwg")}
                                : queue == Queue() ? QStringList{QStringLiteral("job-*.pdf")}
                                                   : QStringList{QStringLiteral("job-*")};
    QStringList jobs = QDir(Folder(queue)).entryList(pattern, QDir::Files);
    // By job number, not by name: job-10 comes after job-9.
    const int field = ipp ? 0 : 1;
    std::sort(jobs.begin(), jobs.end(), [field](const QString& a, const QString& b) {
        return a.section(QLatin1Char('-'), field, field).toInt() <
               b.section(QLatin1Char('-'), field, field).toInt();
    });
    return jobs;
}

QString WaitForNewJob(const QStringList& before, int timeoutMs) {
    return WaitForNewJob(Queue(), before, timeoutMs);
}

QString WaitForNewJob(const QString& queue, const QStringList& before, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        for (const QString& job : Jobs(queue))
            if (!before.contains(job)) {
                const QString path = QDir(Folder(queue)).filePath(job);
                // The IPP printer writes its file in place: wait until it stops growing.
                qint64 size = -1;
                while (QFileInfo(path).size() != size) {
                    size = QFileInfo(path).size();
                    QTest::qWait(200);
                }
                return path;
            }
        QTest::qWait(100);
    }
    return QString();
}

QImage JobDots(const QString& queue, const QString& path, const QSize& page, QString* error) {
    if (queue == QLatin1String(kIpp))
        return driverdots::DecodePwg(path, error);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return QImage();
    }
    const QByteArray data = f.readAll();
    if (queue == QLatin1String(kEpl))
        return driverdots::DecodeEpl(data, page, error);
    if (queue == QLatin1String(kDymo))
        return driverdots::DecodeDymo(data, page, error);
    return driverdots::DecodeZpl(data, error);
}

QString ReadBarcode(const QImage& dots) {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("dots.png"));
    if (!dots.save(png))
        return QString();
    return Run(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), png})
        .trimmed();
}

QString ReadBarcode(const QString& pdf, int dpi, QSize* size) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    Run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
         QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
    const QString png = prefix + QStringLiteral(".png");
    if (size)
        *size = QImage(png).size();
    return Run(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), png})
        .trimmed();
}

} // namespace printcapture
