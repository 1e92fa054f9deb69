// Benchmark: the main screen with an OKA scale that sends one byte every 0.9 s. While an
// exchange with it runs, the operator chooses a product (its price goes to the scale) and
// types a digit: how long each key keeps the user-interface thread, and how long closing
// the window takes. The catalogue is a small SQLite demo catalogue.
#include "benchstats.h"
#include "democatalogue.h"
#include "labels/labellayouts.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "scalesimulator.h"
#include "ui/labelctrl.h"
#include "workstation/varnetdlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

// One key as the keyboard sends it; the screen handles it before returning.
double KeyMs(CVarnetDlg& dlg, const QString& text) {
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(&dlg, &press);
    QApplication::sendEvent(&dlg, &release);
    return t.nsecsElapsed() / 1e6;
}

void Print(const char* name, const std::vector<double>& ms) {
    const Timings t = Summarise(ms);
    std::printf("%-34s %8.3f %8.3f %8.3f %8.3f %8.3f\n", name, t.mean, t.median, t.p95, t.min,
                t.max);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    platform::SetModuleDirectoryOverride(dir.path());
    QStringList messages;
    platform::SetMessageSink([&](const platform::OperatorMessage& m) { messages.append(m.text); });

    const QString db = dir.filePath(QStringLiteral("catalogue.db"));
    {
        platform::odbc::Connection c;
        c.Open(QStringLiteral("Driver={SQLite3};DATABASE=") + db);
        democat::Options o;
        o.rows = 100;
        democat::CreateDemoCatalogue(c, o);
    }
    CScaleSimulator sim(CScaleSimulator::Protocol::Oka);
    sim.SetWeight(0.25);
    QString error;
    if (!sim.Start(&error) || !sim.LinkAs(dir.filePath(QStringLiteral("COM1")), &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    QFile ini(dir.filePath(QStringLiteral("Varnet.ini")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write(QStringLiteral("[Scale]\nRS232Port=1\nType=1\n[SQL]\nDriver=SQLite3\n"
                                 "Server=localhost\nDatabase=%1\nUser=sa\n")
                      .arg(db)
                      .toUtf8()) < 0)
        return 1;
    ini.close();

    CVarnetApp app;
    app.SetLabelLayouts(std::make_unique<CLabelLayouts>());
    app.LoadSettings();
    std::vector<double> productKey, digitKey;
    double closeMs = 0.0;
    {
        CVarnetDlg dlg;
        dlg.show();
        while (dlg.Poller().Weight() != 0.25)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        CScaleSimulator::Faults slow;
        slow.nByteGapMs = 900;
        sim.SetFaults(slow);
        for (int i = 0; i < rounds; ++i) {
            sim.WaitForRequests(sim.Requests() + 1, 5000); // an exchange with it runs now
            KeyMs(dlg, QStringLiteral("1"));
            KeyMs(dlg, QStringLiteral("2"));
            productKey.push_back(KeyMs(dlg, QStringLiteral("+")));
            digitKey.push_back(KeyMs(dlg, QStringLiteral("5")));
            if (dlg.Field(10004)->text() != QStringLiteral("5 ")) {
                std::fprintf(stderr, "the digit did not show\n");
                return 1;
            }
            KeyMs(dlg, QStringLiteral("\x1b")); // Escape clears the entry
        }
        sim.WaitForRequests(sim.Requests() + 1, 5000);
        QElapsedTimer t;
        t.start();
        dlg.close();
        closeMs = t.nsecsElapsed() / 1e6;
    }
    std::printf("main screen, OKA scale sending one byte every 900 ms, %d rounds\n", rounds);
    std::printf("%-34s %8s %8s %8s %8s %8s\n", "ms on the user-interface thread", "mean", "median",
                "p95", "min", "max");
    Print("product key (lookup, price handed)", productKey);
    Print("digit key", digitKey);
    std::printf("%-34s %8.1f\n", "closing during an exchange", closeMs);
    if (!messages.isEmpty())
        std::printf("messages: %s\n", qPrintable(messages.join(QStringLiteral("; "))));
    sim.Stop();
    platform::SetModuleDirectoryOverride(QString());
    return 0;
}
