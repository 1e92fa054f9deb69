// A label through the label-printer drivers that CUPS ships (Zebra ZPL at 203 and 300 dpi,
// Zebra EPL2, DYMO) and to a driverless IPP printer: what reaches the printer, decoded back
// to dots, is the page that varnet-label renders for that printer, dot for dot, and its
// barcode reads.
#include "labels/ean13.h"
#include "labels/labelinfo.h"
#include "labels/layoutfile.h"
#include "labels/samplelayout.h"
#include "support/driverdots.h"
#include "support/printcapture.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kDigits = QStringLiteral("200012305120");

QString Tool() {
    return qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label");
}

// varnet-label with the label's values; its standard error, or "exit N: ..." on failure.
QString RunTool(const QStringList& args) {
    QProcess p;
    p.start(Tool(),
            args + QStringList{QStringLiteral("--barcode"), kDigits, QStringLiteral("--name"),
                               QStringLiteral("Филе куриное"), QStringLiteral("--price"),
                               QStringLiteral("389.90"), QStringLiteral("--quantity"),
                               QStringLiteral("0.512"), QStringLiteral("--sum"),
                               QStringLiteral("199.63"), QStringLiteral("--expiry"),
                               QStringLiteral("2026-12-15T18:00"), QStringLiteral("--now"),
                               QStringLiteral("2026-12-10T09:30"), QStringLiteral("--units"),
                               QStringLiteral("--penny")});
    if (!p.waitForFinished(60000))
        return QStringLiteral("timed out");
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(err);
    return QString();
}

// The ready weight layout of a 58 x 40 mm label, or a layout of only the barcode, turned.
CBarCodeLabelInfo Layout(int angle) {
    if (angle < 0)
        return SampleLayout(true, 58, 40);
    CBarCodeLabelInfo l;
    l.SetDefaults(true);
    switch (angle) {
    case 0:
        l.SetBarcode(8, 6, 0.25, 12, 0);
        break;
    case 90:
        l.SetBarcode(14, 35, 0.25, 12, 90);
        break;
    case 180:
        l.SetBarcode(45, 30, 0.25, 12, 180);
        break;
    default:
        l.SetBarcode(40, 4, 0.25, 12, 270);
        break;
    }
    return l;
}

} // namespace

class TestDriverQueues : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_dir.setAutoRemove(qEnvironmentVariableIsEmpty("VARNET_KEEP_OUTPUT")); }
    void dotForDot_data();
    void dotForDot();

private:
    QTemporaryDir m_dir;
};

void TestDriverQueues::dotForDot_data() {
    QTest::addColumn<QString>("queue");
    QTest::addColumn<int>("angle"); // -1: the ready weight layout
    for (const char* queue : {printcapture::kZpl, printcapture::kEpl, printcapture::kDymo,
                              printcapture::kZpl300, printcapture::kIpp}) {
        QTest::addRow("%s weight layout", queue) << QString::fromLatin1(queue) << -1;
        for (int angle : {0, 90, 180, 270})
            QTest::addRow("%s barcode %d", queue, angle) << QString::fromLatin1(queue) << angle;
    }
}

void TestDriverQueues::dotForDot() {
    QFETCH(QString, queue);
    QFETCH(int, angle);
    const QString layout = m_dir.filePath(QStringLiteral("layout-%1.cfg").arg(angle));
    QVERIFY(labels::SaveLayout(layout, Layout(angle)));
    const QString png = m_dir.filePath(QStringLiteral("%1-%2.png").arg(queue).arg(angle));

    QString err = RunTool({QStringLiteral("render"), QStringLiteral("--printer"), queue,
                           QStringLiteral("--mono"), QStringLiteral("--layout"), layout,
                           QStringLiteral("--out"), png});
    QVERIFY2(err.isEmpty(), qPrintable(err));
    const QImage drawn(png);
    QVERIFY(!drawn.isNull());

    const QStringList before = printcapture::Jobs(queue);
    err = RunTool({QStringLiteral("print"), QStringLiteral("--printer"), queue,
                   QStringLiteral("--layout"), layout});
    QVERIFY2(err.isEmpty(), qPrintable(err));
    const QString job = printcapture::WaitForNewJob(queue, before);
    QVERIFY2(!job.isEmpty(), "the driver's output did not reach the capture folder");

    const QImage dots = printcapture::JobDots(queue, job, drawn.size(), &err);
    QVERIFY2(!dots.isNull(), qPrintable(err));
    dots.save(m_dir.filePath(QStringLiteral("%1-%2-printed.png").arg(queue).arg(angle)));
    const QString difference = driverdots::FirstDifference(dots, drawn);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(printcapture::ReadBarcode(dots),
             kDigits + QString::number(ean13::CheckDigit(kDigits)));
}

QTEST_MAIN(TestDriverQueues)
#include "tst_driverqueues.moc"
