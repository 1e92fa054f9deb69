// Every way a label can fail on its way to the spooler, each produced by a real fault of a
// scheduler of the test's own: a queue removed between the steps, a queue that rejects
// jobs, a scheduler stopped or killed in the middle of a job, a stopped queue, a queue
// paused by a failing printer. Each gives its one message and leaves no job behind, and
// printing works again when the fault ends.
#include "labels/labellayouts.h"
#include "platform/printer.h"
#include "platform/printjob.h"
#include "support/messagerecorder.h"
#include "support/privatecups.h"
#include "support/testcounter.h"
#include "workstation/printflow.h"
#include "workstation/screenstate.h"

#include <QProcess>
#include <QtTest>

#include <functional>
#include <memory>
#include <unistd.h>

namespace {

const QString kQueue = QStringLiteral("Faulty");

struct Printed {
    QStringList texts;
    QStringList captions;
};

} // namespace

class TestPrintFaults : public QObject {
    Q_OBJECT

    PrivateScheduler m_cups;
    std::unique_ptr<TestCounter> m_counter;

    // One label of product 12 at 0.512 kg through the print flow, with a fault put in
    // before the given step.
    Printed PrintOnce(std::optional<platform::PrintStep> at = std::nullopt,
                      const std::function<void()>& fault = {}) {
        CScreenState state(m_counter->App().m_settings);
        CurrentProduct p;
        p.m_strCode = QStringLiteral("12");
        p.m_strName = QStringLiteral("Филе куриное");
        p.m_dPrice = 389.9;
        state.ShowProduct(p);
        state.OnWeightUpdate(0.512);
        MessageRecorder recorder;
        platform::SetPrintStepHook([&](platform::PrintStep step) {
            if (at && step == *at && fault)
                fault();
        });
        PrintLabel(state, nullptr);
        platform::SetPrintStepHook({});
        Printed out;
        for (const platform::OperatorMessage& m : recorder.Messages()) {
            out.texts.append(m.text);
            out.captions.append(m.caption);
        }
        return out;
    }

    void Lp(const QString& tool, const QStringList& args) {
        QString error;
        QVERIFY2(m_cups.Run(tool, args, &error), qPrintable(error));
    }

    // No job waits in the scheduler and none reached the printer since before.
    void NothingLeft(const QStringList& before) {
        QTest::qWait(1500);
        QString jobs;
        QVERIFY(
            m_cups.Run(QStringLiteral("lpstat"), {QStringLiteral("-o"), kQueue}, nullptr, &jobs));
        QVERIFY2(jobs.trimmed().isEmpty(), qPrintable(jobs));
        QCOMPARE(m_cups.CapturedJobs(), before);
    }

    // The next label prints: the fault is over and nothing of it is left.
    void PrintsAgain() {
        const QStringList before = m_cups.CapturedJobs();
        const Printed printed = PrintOnce();
        QVERIFY2(printed.texts.isEmpty(), qPrintable(printed.texts.join(QLatin1Char('\n'))));
        QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), before.size() + 1, 30000);
    }

private slots:
    void initTestCase() {
        platform::InstallSpoolerPrinters();
        QString error;
        QVERIFY2(m_cups.Start(&error), qPrintable(error));
        QVERIFY2(m_cups.AddZebraQueue(kQueue, &error), qPrintable(error));
        TestCounterOptions o;
        o.printer = kQueue;
        m_counter = std::make_unique<TestCounter>(o);
    }

    void cleanupTestCase() { m_counter.reset(); }

    void printsAndReadsBack() {
        const QStringList before = m_cups.CapturedJobs();
        const Printed printed = PrintOnce();
        QVERIFY2(printed.texts.isEmpty(), qPrintable(printed.texts.join(QLatin1Char('\n'))));
        QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), before.size() + 1, 30000);
        // Mask 27, code 00012, 512 grams, and the check digit.
        QCOMPARE(m_cups.LastJobBarcode(), QStringLiteral("2700012005120"));
    }

    void stepFaults_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        using S = platform::PrintStep;
        QTest::newRow("queue removed before the job") << int(S::Open) << "remove"
                                                      << "Ошибка открытия принтера"
                                                      << "Ошибка";
        QTest::newRow("queue rejects jobs") << int(S::CreateJob) << "reject"
                                            << "Ошибка принтера: StartDocPrinter"
                                            << "Ошибка печати";
        QTest::newRow("scheduler stopped after the job was created")
            << int(S::StartDocument) << "stop"
            << "Ошибка принтера: StartPage"
            << "Ошибка печати";
        QTest::newRow("scheduler killed while the page is written")
            << int(S::WritePage) << "kill"
            << "Ошибка принтера: DrawBackgroudImage"
            << "Ошибка печати";
        QTest::newRow("scheduler stopped before the document is finished")
            << int(S::FinishDocument) << "stop"
            << "Ошибка принтера: EndPage"
            << "Ошибка печати";
    }

    void stepFaults() {
        QFETCH(int, step);
        QFETCH(QString, fault);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        const QStringList before = m_cups.CapturedJobs();
        const Printed printed = PrintOnce(platform::PrintStep(step), [&] {
            if (fault == QLatin1String("remove"))
                Lp(QStringLiteral("lpadmin"), {QStringLiteral("-x"), kQueue});
            else if (fault == QLatin1String("reject"))
                Lp(QStringLiteral("cupsreject"), {kQueue});
            else if (fault == QLatin1String("stop"))
                m_cups.Stop();
            else
                m_cups.Kill();
        });
        QCOMPARE(printed.texts, QStringList{text});
        QCOMPARE(printed.captions, QStringList{caption});

        // The fault ends: the scheduler comes back, the queue is there and takes jobs. A job
        // cut off by the fault must not print late.
        QString error;
        if (fault == QLatin1String("stop") || fault == QLatin1String("kill"))
            QVERIFY2(m_cups.Start(&error), qPrintable(error));
        if (fault == QLatin1String("remove"))
            QVERIFY2(m_cups.AddZebraQueue(kQueue, &error), qPrintable(error));
        if (fault == QLatin1String("reject"))
            Lp(QStringLiteral("cupsaccept"), {kQueue});
        // The next label cancels what the fault cut off, so that it cannot hold the queue.
        PrintsAgain();
        NothingLeft(before + QStringList{m_cups.CapturedJobs().last()});
    }

    // A label that would not scan, or a blank one, never reaches the spooler.
    void unreadableLabelLeavesNoJob_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text");
        QTest::newRow("barcode cut by the page edge") << "cut"
                                                      << "Штрих-код выходит за край этикетки";
        QTest::newRow("barcode overdrawn by a text") << "covered"
                                                     << "Штрих-код на этикетке не читается";
        // The layout that did not come from its file draws nothing: the file is named, with
        // how to make one (%1 stands for the weight layout's file).
        QTest::newRow("no layout files: a blank page")
            << "no files"
            << "Нет файла макета этикетки %1, поэтому этикетка пуста. Создайте макет в редакторе "
               "этикеток или образец 58 × 40 мм командой\nvarnet-label sample --kind weight "
               "--page 58x40 --out %1";
        QTest::newRow("a damaged layout file: a blank page")
            << "damaged"
            << "Файл макета этикетки %1 повреждён, поэтому этикетка пуста. Создайте макет в "
               "редакторе этикеток или образец 58 × 40 мм командой\nvarnet-label sample --kind "
               "weight --page 58x40 --out %1";
    }

    void unreadableLabelLeavesNoJob() {
        QFETCH(QString, fault);
        QFETCH(QString, text);
        CLabelLayouts& layouts = AppLayouts();
        const CBarCodeLabelInfo kept = layouts.Layout(true);
        CBarCodeLabelInfo& layout = layouts.Layout(true);
        TestModuleDir& dir = m_counter->Dir();
        const QByteArray weightFile = dir.Read(QStringLiteral("Varnet.cfg"));
        const QByteArray pieceFile = dir.Read(QStringLiteral("QLabel.cfg"));
        if (fault == QLatin1String("cut")) {
            layout.m_Barcode.m_dOffsetX = 40;
        } else if (fault == QLatin1String("covered")) {
            // The name, in a black face as tall as the bars, written over them.
            const LabelElement& b = layout.m_Barcode;
            LOGFONTW font = layout.m_Name.m_lfFont;
            font.lfHeight = -60;
            font.lfWeight = 900;
            layout.SetValueText(layout.m_Name, b.m_dOffsetX, b.m_dOffsetY - 1, 40, 14, font, 0, 0);
        } else if (fault == QLatin1String("damaged")) {
            dir.Write(QStringLiteral("Varnet.cfg"), QByteArray("\x0e\x00garbage", 9));
            layouts.LoadLabelLayouts(dir.Path());
        } else {
            QVERIFY(QFile::remove(dir.File(QStringLiteral("Varnet.cfg"))));
            QVERIFY(QFile::remove(dir.File(QStringLiteral("QLabel.cfg"))));
            layouts.LoadLabelLayouts(dir.Path());
        }
        if (text.contains(QLatin1String("%1")))
            text = text.arg(dir.File(QStringLiteral("Varnet.cfg")));
        const QStringList before = m_cups.CapturedJobs();
        CScreenState state(m_counter->App().m_settings);
        CurrentProduct p;
        p.m_strCode = QStringLiteral("12");
        // Full blocks: where the name is drawn over the bars, nothing of them is left.
        p.m_strName = QString(12, QChar(0x2588));
        p.m_dPrice = 389.9;
        state.ShowProduct(p);
        state.OnWeightUpdate(0.512);
        MessageRecorder recorder;
        PrintLabel(state, nullptr);
        layouts.Layout(true) = kept;
        if (fault == QLatin1String("no files") || fault == QLatin1String("damaged")) {
            dir.Write(QStringLiteral("Varnet.cfg"), weightFile);
            dir.Write(QStringLiteral("QLabel.cfg"), pieceFile);
            layouts.LoadLabelLayouts(dir.Path());
        }
        QCOMPARE(recorder.Texts(), QStringList{text});
        NothingLeft(before);
    }

    void schedulerDown() {
        m_cups.Stop();
        const Printed printed = PrintOnce();
        QString error;
        QVERIFY2(m_cups.Start(&error), qPrintable(error));
        QCOMPARE(printed.texts, QStringList{QStringLiteral("Принтер не установлен")});
        PrintsAgain();
    }

    // A disabled queue would keep the labels and print a pile of stale ones when enabled.
    void disabledQueueTakesNoJob() {
        const QStringList before = m_cups.CapturedJobs();
        Lp(QStringLiteral("cupsdisable"),
           {QStringLiteral("-r"), QStringLiteral("Нет этикеток"), kQueue});
        const Printed printed = PrintOnce();
        QCOMPARE(printed.texts, QStringList{QStringLiteral("Принтер остановлен: Нет этикеток")});
        QCOMPARE(printed.captions, QStringList{QStringLiteral("Ошибка печати")});
        Lp(QStringLiteral("cupsenable"), {kQueue});
        NothingLeft(before);
        PrintsAgain();
    }

    // A printer that fails stops its queue (error policy stop-printer): the label that
    // failed is the last one until the printer is seen to.
    void queuePausedByPrinterError() {
        QString error;
        const QString folder = m_cups.CaptureFolder() + QStringLiteral("-nobody");
        QVERIFY(QDir().mkpath(folder));
        // The backend refuses a folder that is not root's: the printer fails.
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        const QString paused = QStringLiteral("Paused");
        QVERIFY2(m_cups.AddZebraQueue(paused, &error, folder), qPrintable(error));
        Lp(QStringLiteral("lpadmin"), {QStringLiteral("-p"), paused, QStringLiteral("-o"),
                                       QStringLiteral("printer-error-policy=stop-printer")});
        m_counter->App().m_settings.PrinterName = paused;
        Printed printed = PrintOnce();
        QVERIFY2(printed.texts.isEmpty(), qPrintable(printed.texts.join(QLatin1Char('\n'))));
        QString state;
        QTRY_VERIFY_WITH_TIMEOUT(
            m_cups.Run(QStringLiteral("lpstat"), {QStringLiteral("-p"), paused}, nullptr, &state) &&
                state.contains(QLatin1String("disabled")),
            30000);
        printed = PrintOnce();
        m_counter->App().m_settings.PrinterName = kQueue;
        QCOMPARE(printed.texts.size(), 1);
        QVERIFY2(printed.texts.first().startsWith(QStringLiteral("Принтер остановлен")),
                 qPrintable(printed.texts.first()));
        QString jobs;
        QVERIFY(
            m_cups.Run(QStringLiteral("lpstat"), {QStringLiteral("-o"), paused}, nullptr, &jobs));
        QVERIFY2(jobs.count(QLatin1Char('\n')) <= 1, qPrintable(jobs)); // only the one that failed
        Lp(QStringLiteral("lpadmin"), {QStringLiteral("-x"), paused});
    }

    // The tool says so and exits non-zero when the spooler refuses or the queue is stopped.
    void toolExitsNonZero_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("undo");
        QTest::addColumn<QString>("text");
        QTest::newRow("rejecting") << "cupsreject"
                                   << "cupsaccept"
                                   << "Ошибка принтера: StartDocPrinter";
        QTest::newRow("stopped") << "cupsdisable"
                                 << "cupsenable"
                                 << "Принтер остановлен";
    }

    void toolExitsNonZero() {
        QFETCH(QString, tool);
        QFETCH(QString, undo);
        QFETCH(QString, text);
        const QStringList before = m_cups.CapturedJobs();
        QTemporaryDir dir;
        const QString layout = dir.filePath(QStringLiteral("Varnet.cfg"));
        const QString bin =
            qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label");
        QVERIFY(QProcess::execute(bin,
                                  {QStringLiteral("sample"), QStringLiteral("--kind"),
                                   QStringLiteral("weight"), QStringLiteral("--page"),
                                   QStringLiteral("58x40"), QStringLiteral("--out"), layout}) == 0);
        Lp(tool, {kQueue});
        QProcess p;
        p.start(bin, {QStringLiteral("print"), QStringLiteral("--printer"), kQueue,
                      QStringLiteral("--layout"), layout, QStringLiteral("--barcode"),
                      QStringLiteral("270001200512")});
        QVERIFY(p.waitForFinished(60000));
        Lp(undo, {kQueue});
        QVERIFY(p.exitCode() != 0);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(text), qPrintable(err));
        NothingLeft(before);
    }
};

QTEST_MAIN(TestPrintFaults)
#include "tst_printfaults.moc"
