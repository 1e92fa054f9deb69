// The real CUPS test queue: the printer's default figures as the spooler reports them, and
// a printed label that comes back from the queue's capture folder readable.
#include "app/varnetapp.h"
#include "labels/barcodelabel.h"
#include "labels/samplelayout.h"
#include "platform/printer.h"
#include "support/printcapture.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using printcapture::Jobs;
using printcapture::Queue;
using printcapture::WaitForNewJob;

QString Run(const QString& program, const QStringList& args, int* code = nullptr) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    if (code)
        *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString ReadJob(const QString& pdf, QSize* size) {
    return printcapture::ReadBarcode(pdf, 203, size);
}

} // namespace

class TestPrinter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void defaultFiguresOfTheQueue();
    void unknownPrinters_data();
    void unknownPrinters();
    void printedLabelReadsBack();
    void toolPrintsOneJobNamedPelgrin();

private:
    CVarnetApp m_app;
};

void TestPrinter::initTestCase() {
    platform::InstallSpoolerPrinters();
    QVERIFY2(platform::PrinterNames().contains(Queue()),
             qPrintable(platform::PrinterNames().join(QLatin1Char(','))));
}

void TestPrinter::defaultFiguresOfTheQueue() {
    // What the spooler itself says are the defaults: "*203dpi" and "*w164h113" (58 x 40 mm).
    const QString options = Run(QStringLiteral("lpoptions"), {"-p", Queue(), "-l"});
    const QRegularExpressionMatch res =
        QRegularExpression(QStringLiteral("^Resolution/.*\\*(\\d+)dpi"),
                           QRegularExpression::MultilineOption)
            .match(options);
    QVERIFY2(res.hasMatch(), qPrintable(options));
    QVERIFY(options.contains(QStringLiteral("*w164h113")));
    const int dpi = res.captured(1).toInt();

    const std::optional<platform::PrinterPage> page = platform::OpenPrinter(Queue());
    QVERIFY(page);
    QCOMPARE(page->m_nDpiX, dpi);
    QCOMPARE(page->m_nDpiY, dpi);
    QCOMPARE(page->m_nPageWidthMM, 58);
    QCOMPARE(page->m_nPageHeightMM, 40);
    QCOMPARE(page->m_nPageWidth, 464);  // 164.41 points at 203 dpi
    QCOMPARE(page->m_nPageHeight, 320); // 113.39 points

    m_app.m_settings.PrinterName = Queue();
    CBarCodeLabel label;
    QVERIFY(label.m_bValid);
    QCOMPARE(label.m_nDpiY, dpi);
    QCOMPARE(label.m_bmpPage.size(), QSize(464, 320));
}

void TestPrinter::unknownPrinters_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("unknown") << QStringLiteral("NoSuchPrinter");
}

void TestPrinter::unknownPrinters() {
    QFETCH(QString, name);
    QVERIFY(!platform::OpenPrinter(name));
    m_app.m_settings.PrinterName = name;
    CBarCodeLabel label;
    QVERIFY(!label.m_bValid);
    QString error;
    QVERIFY(!platform::PrintPageImage(name, QImage(10, 10, QImage::Format_Grayscale8),
                                      QStringLiteral("Pelgrin"), &error));
    QVERIFY2(error.startsWith(QStringLiteral("Ошибка открытия принтера")), qPrintable(error));
}

void TestPrinter::printedLabelReadsBack() {
    m_app.m_settings.PrinterName = Queue();
    m_app.m_settings.Penny = true;
    CBarCodeLabel label;
    QVERIFY(label.m_bValid);
    CBarCodeLabelInfo layout = SampleLayout(true, label.m_nPageWidthMM, label.m_nPageHeightMM);
    LabelData d;
    d.nBarcode = 270012300512;
    d.strName = QStringLiteral("Колбаса докторская");
    d.dPrice = 412.5;
    d.dQuantity = 0.512;
    d.dSum = 211.2;
    layout.SetValues(d);
    QVERIFY(label.Draw(layout));

    const QStringList before = Jobs();
    QString error;
    QVERIFY2(platform::PrintPageImage(Queue(), label.m_bmpPage, QStringLiteral("Pelgrin"), &error),
             qPrintable(error));
    const QString job = WaitForNewJob(before);
    QVERIFY2(!job.isEmpty(), "no job reached the capture folder within 60 s");
    QVERIFY(job.endsWith(QStringLiteral("-Pelgrin.pdf")));
    QSize size;
    QCOMPARE(ReadJob(job, &size), QStringLiteral("2700123005125"));
    QCOMPARE(size, QSize(464, 320)); // the page is the label, at the printer's resolution
}

void TestPrinter::toolPrintsOneJobNamedPelgrin() {
    const QStringList before = Jobs();
    int code = -1;
    Run(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label"),
        {"print", "--printer", Queue(), "--barcode", "123456789012", "--name", "Хлеб", "--layout",
         "/nonexistent/Varnet.cfg"},
        &code);
    QVERIFY(code != 0); // an unreadable layout prints nothing
    QTest::qWait(500);
    QCOMPARE(Jobs(), before);

    QTemporaryDir dir;
    const QString layout = dir.filePath(QStringLiteral("Varnet.cfg"));
    Run(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label"),
        {"sample", "--kind", "weight", "--page", "58x40", "--out", layout});
    Run(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label"),
        {"print", "--printer", Queue(), "--layout", layout, "--barcode", "123456789012", "--name",
         "Хлеб", "--price", "30", "--quantity", "1", "--sum", "30"},
        &code);
    QCOMPARE(code, 0);
    const QString job = WaitForNewJob(before);
    QVERIFY(!job.isEmpty());
    QVERIFY(job.endsWith(QStringLiteral("-Pelgrin.pdf")));
    QSize size;
    QCOMPARE(ReadJob(job, &size), QStringLiteral("1234567890128"));
    QTest::qWait(500);
    QCOMPARE(Jobs().size(), before.size() + 1); // one job
}

QTEST_MAIN(TestPrinter)
#include "tst_printer.moc"
