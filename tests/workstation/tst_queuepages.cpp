// Queues whose PPDs describe pages that no label fits on: a printable area off the sheet or
// of no width, a sheet of no size or of 100 m, a resolution of 0, 1 or 100000 dpi. The
// workstation and varnet-label each refuse such a queue before anything is drawn, with one
// message that names the queue and what is wrong with its page, and send no job; the layout
// editor gives the same message; the same queue with ordinary figures prints.
#include "labels/labellayouts.h"
#include "labels/varnetcfg.h"
#include "platform/printer.h"
#include "support/driverdots.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/privatecups.h"
#include "support/testcounter.h"
#include "workstation/printflow.h"
#include "workstation/screenstate.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

// The driverless printer's PPD of the test queues, with the page figures given: the sheet
// and printable area in points, the resolution, and the form the page takes (PWG raster, or
// CUPS raster).
QByteArray Ppd(const QString& format, const QString& sheet, const QString& area,
               const QString& dpi) {
    QFile f(qEnvironmentVariable("VARNET_SOURCE_DIR") +
            QStringLiteral("/scripts/cups/varnet-ipp.ppd"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromLatin1(f.readAll());
    text.replace(QRegularExpression(QStringLiteral("PageSize\\[[^\\]]*\\]")),
                 QStringLiteral("PageSize[%1]").arg(sheet));
    text.replace(QRegularExpression(QStringLiteral("(\\*ImageableArea [^:]*: )\"[^\"]*\"")),
                 QStringLiteral("\\1\"%1\"").arg(area));
    text.replace(QRegularExpression(QStringLiteral("(\\*PaperDimension [^:]*: )\"[^\"]*\"")),
                 QStringLiteral("\\1\"%1\"").arg(sheet));
    text.replace(QRegularExpression(QStringLiteral("HWResolution\\[[^\\]]*\\]")),
                 QStringLiteral("HWResolution[%1]").arg(dpi));
    if (format == QLatin1String("cups"))
        text.replace(QStringLiteral("image/pwg-raster image/pwg-raster"),
                     QStringLiteral("application/vnd.cups-raster application/vnd.cups-raster"));
    return text.toLatin1();
}

const QString kSheet = QStringLiteral("164.41 113.39"); // 58 x 40 mm
const QString kArea = QStringLiteral("0 0 164.41 113.39");
const QString kDpi = QStringLiteral("203 203");

} // namespace

class TestQueuePages : public QObject {
    Q_OBJECT

    PrivateScheduler m_cups;
    std::unique_ptr<TestCounter> m_counter;
    QTemporaryDir m_dir;
    int m_nQueues = 0;

    QStringList Lpstat(const QString& queue) {
        QString jobs;
        m_cups.Run(QStringLiteral("lpstat"), {QStringLiteral("-o"), queue}, nullptr, &jobs);
        return jobs.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase() {
        platform::InstallSpoolerPrinters();
        QString error;
        QVERIFY2(m_cups.Start(&error), qPrintable(error));
        m_counter = std::make_unique<TestCounter>(TestCounterOptions{});
    }

    void cleanupTestCase() { m_counter.reset(); }

    void pageFigures_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QString>("dpi");
        QTest::addColumn<QString>("problem"); // empty: the label prints
        const QString off = QStringLiteral("область печати выходит за лист 58.0 × 40.0 мм");
        for (const char* format : {"pwg", "cups"}) {
            QTest::addRow("%s ordinary", format) << format << kSheet << kArea << kDpi << "";
            QTest::addRow("%s printable area left of the sheet", format)
                << format << kSheet << "-14.17 0 150.24 113.39" << kDpi
                << off + " (поля: слева -5.0, сверху 0.0, справа 5.0, снизу 0.0 мм)";
        }
        QTest::newRow("printable area above the sheet")
            << "pwg" << kSheet << "0 0 164.41 141.73" << kDpi
            << off + " (поля: слева 0.0, сверху -10.0, справа 0.0, снизу 0.0 мм)";
        QTest::newRow("printable area right of the sheet")
            << "pwg" << kSheet << "56.69 0 221.1 113.39" << kDpi
            << off + " (поля: слева 20.0, сверху 0.0, справа -20.0, снизу 0.0 мм)";
        QTest::newRow("printable area of no width")
            << "pwg" << kSheet << "80 0 80 113.39" << kDpi
            << "область печати пуста (поля: слева 28.2, сверху 0.0, справа 29.8, снизу 0.0 мм)";
        QTest::newRow("sheet of no width")
            << "pwg"
            << "0 113.39"
            << "0 0 0 113.39" << kDpi << "размер листа 0.0 × 40.0 мм";
        QTest::newRow("sheet of a hundred metres")
            << "cups"
            << "283464.57 113.39"
            << "0 0 283464.57 113.39" << kDpi << "размер листа 100000.0 × 40.0 мм";
        QTest::newRow("no resolution")
            << "cups" << kSheet << kArea << "0 0"
            << "разрешение 0 × 0 точек на дюйм (допустимо от 72 до 2400)";
        QTest::newRow("1 dpi") << "pwg" << kSheet << kArea << "1 1"
                               << "разрешение 1 × 1 точек на дюйм (допустимо от 72 до 2400)";
        QTest::newRow("100000 dpi")
            << "cups" << kSheet << kArea << "100000 100000"
            << "разрешение 100000 × 100000 точек на дюйм (допустимо от 72 до 2400)";
        QTest::newRow("a metre square at 2400 dpi")
            << "cups"
            << "2834.65 2834.65"
            << "0 0 2834.65 2834.65"
            << "2400 2400"
            << "страница 94488 × 94488 точек при 2400 × 2400 точек на дюйм";
    }

    void pageFigures() {
        QFETCH(QString, format);
        QFETCH(QString, sheet);
        QFETCH(QString, area);
        QFETCH(QString, dpi);
        QFETCH(QString, problem);
        const QString queue = QStringLiteral("Page%1").arg(++m_nQueues);
        const QString ppd = m_dir.filePath(queue + QStringLiteral(".ppd"));
        {
            QFile f(ppd);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(Ppd(format, sheet, area, dpi));
        }
        QString error;
        QVERIFY2(m_cups.Run(QStringLiteral("lpadmin"),
                            {QStringLiteral("-p"), queue, QStringLiteral("-v"),
                             QStringLiteral("varnet-jobs:") + m_cups.CaptureFolder(),
                             QStringLiteral("-P"), ppd, QStringLiteral("-E")},
                            &error),
                 qPrintable(error));
        const QString message =
            problem.isEmpty() ? QString() : platform::BadPageMessage(queue, problem);

        // The workstation.
        QStringList before = m_cups.CapturedJobs();
        m_counter->App().m_settings.PrinterName = queue;
        CScreenState state(m_counter->App().m_settings);
        CurrentProduct p;
        p.m_strCode = QStringLiteral("12");
        p.m_strName = QStringLiteral("Филе куриное");
        p.m_dPrice = 389.9;
        state.ShowProduct(p);
        state.OnWeightUpdate(0.512);
        {
            MessageRecorder recorder;
            PrintLabel(state, nullptr);
            QCOMPARE(recorder.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        }
        if (message.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), before.size() + 1, 30000);
            if (format == QLatin1String("pwg")) {
                // The dots as the printer gets them carry the barcode that was composed.
                QString why;
                const QImage dots = driverdots::DecodePwg(
                    m_cups.CaptureFolder() + QLatin1Char('/') + m_cups.CapturedJobs().last(), &why);
                QVERIFY2(!dots.isNull(), qPrintable(why));
                QCOMPARE(printcapture::ReadBarcode(dots), QStringLiteral("2700012005120"));
            }
        }

        // The layout editor names the same fault of the same queue, and only a fault.
        {
            MessageRecorder recorder;
            CVarnetCfg editor;
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            if (message.isEmpty()) {
                QTest::qWait(200);
                QVERIFY(recorder.Texts().isEmpty());
            } else {
                QTRY_COMPARE(recorder.Texts(), QStringList{message});
            }
        }

        // varnet-label.
        before = m_cups.CapturedJobs();
        QProcess tool;
        tool.start(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label"),
                   {QStringLiteral("print"), QStringLiteral("--printer"), queue,
                    QStringLiteral("--layout"), m_counter->Dir().File(QStringLiteral("Varnet.cfg")),
                    QStringLiteral("--barcode"), QStringLiteral("270001200512")});
        QVERIFY(tool.waitForFinished(60000));
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        if (message.isEmpty()) {
            QVERIFY2(tool.exitCode() == 0, qPrintable(err));
            QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), before.size() + 1, 30000);
        } else {
            QVERIFY(tool.exitCode() != 0);
            QCOMPARE(err.trimmed(), QStringLiteral("varnet-label: ") + message);
            // Nothing reached the scheduler, let alone the printer.
            QTest::qWait(500);
            QCOMPARE(m_cups.CapturedJobs(), before);
            QVERIFY(Lpstat(queue).isEmpty());
            QString all;
            m_cups.Run(QStringLiteral("lpstat"),
                       {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), queue},
                       nullptr, &all);
            QVERIFY2(all.trimmed().isEmpty(), qPrintable(all));
        }
        m_cups.Run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue});
    }
};

QTEST_MAIN(TestQueuePages)
#include "tst_queuepages.moc"
