// Benchmark: the memory of the main screen while the operator presses the auto-print key
// again and again. Each press swaps the key's icon and repaints it; the resident memory is
// printed every 500 presses, with its growth since the start.
#include "labels/labellayouts.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "workstation/varnetdlg.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// The resident set of this process now, in KiB.
long RssKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (::sysconf(_SC_PAGESIZE) / 1024) : -1;
}

void PressAutoPrintKey(CVarnetDlg& dlg) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-"));
    QApplication::sendEvent(&dlg, &press);
    QApplication::sendEvent(&dlg, &release);
    // The key repaints with its new icon, as on a screen.
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    QTemporaryDir dir;
    platform::SetModuleDirectoryOverride(dir.path());
    platform::SetMessageSink([](const platform::OperatorMessage&) {});

    // A counter without scale, printer or catalogue: the key is all there is to press.
    CVarnetApp app;
    app.SetLabelLayouts(std::make_unique<CLabelLayouts>());
    app.LoadSettings();
    CVarnetDlg dlg;
    dlg.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    // The first presses draw both icons for the first time.
    for (int i = 0; i < 50; ++i)
        PressAutoPrintKey(dlg);

    const long start = RssKiB();
    std::printf("%8s %12s %12s\n", "presses", "RSS KiB", "growth KiB");
    std::printf("%8d %12ld %12ld\n", 0, start, 0L);
    for (int i = 1; i <= presses; ++i) {
        PressAutoPrintKey(dlg);
        if (i % 500 == 0 || i == presses)
            std::printf("%8d %12ld %12ld\n", i, RssKiB(), RssKiB() - start);
    }
    const long growth = RssKiB() - start;
    std::printf("growth per press: %.1f bytes\n", growth * 1024.0 / presses);
    dlg.close();
    return 0;
}
