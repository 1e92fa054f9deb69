#include "support/printcapture.h"

#include <QDir>
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
    return qEnvironmentVariable("VARNET_CUPS_QUEUE", QStringLiteral("VarnetLabel"));
}

QString Folder() {
    return qEnvironmentVariable("VARNET_CUPS_CAPTURE", QStringLiteral("/tmp/varnet-cups-jobs"));
}

QStringList Jobs() {
    QStringList jobs = QDir(Folder()).entryList({QStringLiteral("job-*.pdf")}, QDir::Files);
    // By job number, not by name: job-10 comes after job-9.
    std::sort(jobs.begin(), jobs.end(), [](const QString& a, const QString& b) {
        return a.section(QLatin1Char('-'), 1, 1).toInt() <
               b.section(QLatin1Char('-'), 1, 1).toInt();
    });
    return jobs;
}

QString WaitForNewJob(const QStringList& before, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        for (const QString& job : Jobs())
            if (!before.contains(job))
                return QDir(Folder()).filePath(job);
        QTest::qWait(100);
    }
    return QString();
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
